#include "MacGroupsView.h"

#include "common/Theme.h"
#include "stores/MacProjectDataStore.h"

#include <QLabel>
#include <QVBoxLayout>

MacGroupsView::MacGroupsView(MacProjectDataStore &store, QWidget *parent)
    : QWidget(parent)
    , m_store(store)
    , m_list(Theme::label({}, Theme::TextStyle::callout))
{
    setObjectName(QStringLiteral("groupsView"));
    m_list->setObjectName(QStringLiteral("groupsList"));
    m_list->setWordWrap(true);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(22, 22, 22, 22);
    layout->setSpacing(10);
    layout->addWidget(Theme::label(QStringLiteral("演员组合"), Theme::TextStyle::title2, QFont::Bold));
    layout->addWidget(m_list);
    layout->addStretch(1);
    connect(&m_store, &MacProjectDataStore::detailChanged, this, &MacGroupsView::refresh);
    refresh();
}

void MacGroupsView::refresh()
{
    QStringList lines;
    if (m_store.detail()) {
        for (const PerformerGroup &group : m_store.detail()->performerGroups) {
            const QString state = group.decision == QLatin1String("group") ? QStringLiteral("已确认组合")
                                  : group.decision == QLatin1String("suspected")
                                      ? QStringLiteral("待导演确认")
                                      : QStringLiteral("非组合");
            lines << QStringLiteral("%1 · %2").arg(group.name, state);
        }
    }
    m_list->setText(lines.join(QLatin1Char('\n')));
}
