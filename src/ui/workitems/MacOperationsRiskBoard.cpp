#include "MacOperationsRiskBoard.h"

#include "common/Theme.h"

#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

MacOperationsRiskBoard::MacOperationsRiskBoard(WorkItemsSnapshot workItems, QWidget *parent)
    : QWidget(parent)
    , m_workItems(std::move(workItems))
{
    setObjectName(QStringLiteral("riskBoard"));
    qsizetype open = 0;
    for (const WorkItem &item : m_workItems.items) {
        if (isOpen(item.status)) {
            ++open;
        }
    }
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    layout->addWidget(Theme::label(QStringLiteral("现场异常看板"), Theme::TextStyle::title2, QFont::Bold));
    auto *count = Theme::label(QStringLiteral("未关闭 %1 项").arg(open), Theme::TextStyle::callout,
                               Theme::Colour::secondary);
    count->setObjectName(QStringLiteral("riskBoardOpenCount"));
    layout->addWidget(count);
}
