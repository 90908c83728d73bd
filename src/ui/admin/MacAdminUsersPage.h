#pragma once

#include "admin/MacAdminRules.h"
#include "models/Admin.h"

#include <QList>
#include <QString>
#include <QWidget>

#include <optional>

class MacAdminTableModel;
class QBoxLayout;
class QTableView;
class QVBoxLayout;

// The users page: where accounts came from, the accounts with their status button, and the
// leaderboard of invitations beside the list, or under it when the page is narrow.
class MacAdminUsersPage : public QWidget
{
    Q_OBJECT

public:
    explicit MacAdminUsersPage(QWidget *parent = nullptr);

    // The source cards and the leaderboard: rebuilt only when the data changed, not on every keystroke.
    void showSummary(const std::optional<AdminUsersResponse> &data);
    void showUsers(const QList<AdminUser> &users, const QString &query, bool keepPlace);

Q_SIGNALS:
    void proposed(const MacAdminPendingAction &action);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void fitColumns();

    // What the list shows, in row order, for the row buttons.
    QList<AdminUser> m_shownUsers;

    QWidget *m_sourceRow = nullptr;
    QVBoxLayout *m_sourceRowHost = nullptr;
    MacAdminTableModel *m_usersModel = nullptr;
    QTableView *m_usersTable = nullptr;
    QBoxLayout *m_usersRow = nullptr;
    QWidget *m_leaderboard = nullptr;
    QVBoxLayout *m_leaderboardRows = nullptr;
    QWidget *m_leaderboardContent = nullptr;
};
