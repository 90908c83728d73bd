#pragma once

#include "models/Admin.h"

#include <QList>
#include <QString>
#include <QWidget>

class MacAdminTableModel;
class QTableView;

// The audit-log page: what was done on the platform, by whom and when.
class MacAdminLogsPage : public QWidget
{
    Q_OBJECT

public:
    explicit MacAdminLogsPage(QWidget *parent = nullptr);

    void showLogs(const QList<AdminAuditLog> &logs, const QString &query, bool keepPlace);

private:
    MacAdminTableModel *m_logsModel = nullptr;
    QTableView *m_logsTable = nullptr;
};
