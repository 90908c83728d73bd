#include "MacWorkItemsView.h"

#include "common/Theme.h"
#include "stores/MacProjectDataStore.h"

#include <QLabel>
#include <QVBoxLayout>

MacWorkItemsView::MacWorkItemsView(MacProjectDataStore &store,
                                   std::function<void(WorkItemDestination)> onOpenDestination,
                                   QWidget *parent)
    : QWidget(parent)
    , m_store(store)
    , m_onOpenDestination(std::move(onOpenDestination))
    , m_summary(Theme::label({}, Theme::TextStyle::callout, Theme::Colour::secondary))
{
    setObjectName(QStringLiteral("workItemsView"));
    m_summary->setObjectName(QStringLiteral("workItemsSummary"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(22, 22, 22, 22);
    layout->setSpacing(10);
    layout->addWidget(Theme::label(QStringLiteral("任务与处置"), Theme::TextStyle::title, QFont::Bold));
    layout->addWidget(m_summary);
    layout->addStretch(1);
    connect(&m_store, &MacProjectDataStore::workItemsChanged, this, &MacWorkItemsView::refresh);
    refresh();
}

void MacWorkItemsView::refresh()
{
    const WorkItemsSummary &summary = m_store.workItems().summary;
    m_summary->setText(QStringLiteral("共 %1 项 · 未完成 %2 · 受阻 %3 · 紧急 %4 · 已完成 %5")
                           .arg(summary.total)
                           .arg(summary.open)
                           .arg(summary.blocked)
                           .arg(summary.urgent)
                           .arg(summary.done));
}
