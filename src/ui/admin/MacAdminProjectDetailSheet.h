#pragma once

#include "models/Admin.h"

#include <QDialog>

#include <optional>

class APIClient;
class QLabel;
class MacAdminTableModel;
class QTableView;
class QStackedLayout;

// A project's members and rundown, read-only, for the platform administrator. Loads once when
// it opens; closing it while the request runs is safe.
class MacAdminProjectDetailSheet : public QDialog
{
    Q_OBJECT

public:
    MacAdminProjectDetailSheet(AdminProject project, APIClient &client, QWidget *parent = nullptr);

    const std::optional<AdminProjectDetailResponse> &detail() const { return m_detail; }
    const QString &error() const { return m_error; }

    static QString memberLine(const ProjectMember &member);
    static QString itemTitleLine(const RundownItem &item);
    static QString itemDetailLine(const RundownItem &item);

Q_SIGNALS:
    void loaded();

private:
    void showDetail(AdminProjectDetailResponse detail);
    void fail(const QString &error);

    AdminProject m_project;
    std::optional<AdminProjectDetailResponse> m_detail;
    QString m_error;

    QStackedLayout *m_stack;
    QWidget *m_loadingFace;
    QWidget *m_listsFace;
    QWidget *m_failedFace;
    QLabel *m_failedDescription;
    MacAdminTableModel *m_membersModel;
    MacAdminTableModel *m_itemsModel;
    QTableView *m_members;
    QTableView *m_items;
};
