#include "MacFlowLiveButtons.h"

#include "FlowLiveControl.h"
#include "FlowPageState.h"
#include "common/AsyncAction.h"
#include "common/Theme.h"

#include <QHBoxLayout>
#include <QPushButton>

MacFlowLiveButtons::MacFlowLiveButtons(FlowPageState &state, FlowLiveControl &live, QWidget *parent)
    : QWidget(parent)
    , m_state(state)
    , m_live(live)
    , m_next(new QPushButton(this))
    , m_reset(new QPushButton(QStringLiteral("重置演出"), this))
{
    setObjectName(QStringLiteral("flowLiveButtons"));
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(10);

    m_next->setObjectName(QStringLiteral("flowStartNextButton"));
    m_next->setIcon(Theme::icon(QStringLiteral("play.fill"), Qt::white));
    Theme::makeProminent(m_next);
    row->addWidget(m_next);
    // Acts on the item that was shown, even if the rundown changed since.
    connect(m_next, &QPushButton::clicked, this, [this] {
        if (m_nextItem) {
            AsyncAction::run(
                &m_live, m_live.liveAction(QStringLiteral("start"), *m_nextItem), [] {},
                [](const QString &) {});
        }
    });

    m_reset->setObjectName(QStringLiteral("flowResetLiveButton"));
    Theme::setTextColour(m_reset, Theme::Colour::red);
    row->addWidget(m_reset);
    connect(m_reset, &QPushButton::clicked, this, [this] {
        AsyncAction::run(
            &m_live, m_live.resetLive(), [] {}, [](const QString &) {});
    });

    connect(&m_state, &FlowPageState::detailChanged, this, &MacFlowLiveButtons::refresh);
    refresh();
}

void MacFlowLiveButtons::refresh()
{
    const bool manage = m_state.canManage();
    m_nextItem = manage ? m_state.nextItem() : std::nullopt;
    m_next->setVisible(m_nextItem.has_value());
    m_next->setText(m_state.liveItem() ? QStringLiteral("推进下一节目") : QStringLiteral("开演下一节目"));
    m_reset->setVisible(manage);
    setVisible(manage);
    // A narrow window squeezes the header; these labels must stay whole.
    m_next->setMinimumWidth(m_next->sizeHint().width());
    m_reset->setMinimumWidth(m_reset->sizeHint().width());
}
