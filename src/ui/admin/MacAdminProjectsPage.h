#pragma once

#include "admin/MacAdminRules.h"
#include "models/Admin.h"

#include <QList>
#include <QScrollArea>
#include <QString>

#include <functional>

class QGridLayout;

// The projects page: a card per project in as many columns as the width holds, each with its
// details, its status menu and its transfer picker.
class MacAdminProjectsPage : public QScrollArea
{
    Q_OBJECT

public:
    // `users` gives the accounts the transfer picker offers, read as the picker opens.
    explicit MacAdminProjectsPage(std::function<QList<AdminUser>()> users, QWidget *parent = nullptr);

    void showProjects(const QList<AdminProject> &projects, const QString &query);

Q_SIGNALS:
    void proposed(const MacAdminPendingAction &action);
    void detailsRequested(const AdminProject &project);
    // The width now holds another number of columns than the cards were laid out in.
    void columnsChanged();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    int fittingColumns() const;

    std::function<QList<AdminUser>()> m_users;
    QGridLayout *m_grid = nullptr;
    int m_shownColumns = 0;
};
