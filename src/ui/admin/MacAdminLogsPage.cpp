#include "MacAdminLogsPage.h"

#include "MacAdminRules.h"
#include "MacAdminTable.h"
#include "MacAdminWidgets.h"
#include "common/Theme.h"

#include <QHeaderView>
#include <QVBoxLayout>

MacAdminLogsPage::MacAdminLogsPage(QWidget *parent)
    : QWidget(parent)
{
    m_logsModel = new MacAdminTableModel(3, this);
    m_logsTable = makeAdminTable(m_logsModel, 60, nullptr);
    m_logsTable->setObjectName(QStringLiteral("adminLogsTable"));
    m_logsTable->setColumnWidth(0, 46);
    m_logsTable->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    m_logsTable->horizontalHeader()->setSectionResizeMode(2, QHeaderView::Fixed);
    m_logsTable->setColumnWidth(2, 150);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 0, 0, 0);
    layout->addWidget(m_logsTable);
}

void MacAdminLogsPage::showLogs(const QList<AdminAuditLog> &logs, const QString &query, bool keepPlace)
{
    QList<AdminRow> rows;
    const QList<AdminAuditLog> shown = MacAdminRules::shownLogs(logs, query);
    rows.reserve(shown.size());
    for (const AdminAuditLog &log : shown) {
        rows.append({log.id,
                     {AdminCell::symbol(QStringLiteral("clock.arrow.circlepath")),
                      AdminCell::twoLines(log.summary, MacAdminRules::logActorLine(log)),
                      AdminCell::line(MacAdminRules::shortTime(log.createdAt), Theme::TextStyle::caption,
                                      Theme::Colour::secondary, Qt::AlignRight)}});
    }
    MacAdminWidgets::setRows(m_logsTable, m_logsModel, std::move(rows), keepPlace);
}
