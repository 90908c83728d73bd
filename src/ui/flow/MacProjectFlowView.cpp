#include "MacProjectFlowView.h"

#include "FlowLiveControl.h"
#include "FlowPageState.h"
#include "FlowSheetPresenter.h"
#include "FlowStructureCommands.h"
#include "FlowTableModel.h"
#include "FlowTableView.h"
#include "MacFlowHeader.h"
#include "MacFlowLiveButtons.h"
#include "MacFlowPlayerBar.h"
#include "MacReadinessSummary.h"
#include "PlaybackCoordinator.h"
#include "api/APIClient.h"
#include "common/AfterRequestSent.h"
#include "common/PageStateStack.h"
#include "common/Theme.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// The longest the rest of the page waits for the first request to leave (a keychain asking for
// its password).
constexpr int detailPartsLimitMs = 50;

} // namespace

MacProjectFlowView::MacProjectFlowView(ProjectSummary project, std::function<void()> onOpenTasks,
                                       QWidget *parent)
    : MacProjectFlowView(std::move(project), APIClient::shared(), std::move(onOpenTasks), parent)
{}

MacProjectFlowView::MacProjectFlowView(ProjectSummary project, APIClient &client,
                                       std::function<void()> onOpenTasks, QWidget *parent)
    : QWidget(parent)
    , m_project(std::move(project))
    , m_client(client)
    , m_state(new FlowPageState(m_project, client, this))
    , m_model(new FlowTableModel(this))
{
    setObjectName(QStringLiteral("flowView"));
    m_state->setOnOpenTasks(std::move(onOpenTasks));

    // While the first load runs the page shows its header over the progress face: that much is
    // built now.
    m_column = new QVBoxLayout(this);
    m_column->setContentsMargins(0, 0, 0, 0);
    m_column->setSpacing(0);
    m_header = new MacFlowHeader(*m_state, this);
    m_column->addWidget(m_header);
    // The header's structure commands, and the sheets the page presents from its state.
    m_commands = new FlowStructureCommands(*m_state, this);
    m_commands->placeButtons(m_header->structureArea());
    m_sheets = new FlowSheetPresenter(*m_state, this);
    m_column->addWidget(Theme::divider(this));
    m_tableHost = new QWidget(this);
    auto *hostLayout = new QVBoxLayout(m_tableHost);
    hostLayout->setContentsMargins(0, 0, 0, 0);
    m_pages = new PageStateStack(QStringLiteral("正在读取节目流程…"), QStringLiteral("流程读取失败"),
                                 QStringLiteral("exclamationmark.triangle"), m_tableHost, this);
    m_pages->setObjectName(QStringLiteral("flowPageStates"));
    m_column->addWidget(m_pages, 1);
    connect(m_state, &FlowPageState::isLoadingChanged, this, &MacProjectFlowView::updateLayout);
    connect(m_state, &FlowPageState::errorChanged, this, &MacProjectFlowView::updateLayout);
    updateLayout();

    // The rest shows only with a detail. The first load's token is read from the keychain through
    // the event loop, so building the rest now would hold that request back: it is built once the
    // request is on its way, and with the first answer at the latest.
    afterRequestSent(
        client, this, [this] { buildDetailParts(); }, detailPartsLimitMs);
    connect(m_state, &FlowPageState::detailChanged, this, &MacProjectFlowView::buildDetailParts);
    m_state->start();
}

void MacProjectFlowView::buildDetailParts()
{
    if (m_live) {
        return;
    }
    disconnect(m_state, &FlowPageState::detailChanged, this, &MacProjectFlowView::buildDetailParts);

    int row = m_column->indexOf(m_header) + 1;
    m_frozenNotice = new QWidget(this);
    m_frozenNotice->setObjectName(QStringLiteral("flowFrozenNotice"));
    {
        auto *notice = new QHBoxLayout(m_frozenNotice);
        notice->setContentsMargins(20, 0, 20, 12);
        notice->setSpacing(6);
        auto *lock = new QLabel(m_frozenNotice);
        lock->setPixmap(
            Theme::symbolPixmap(QStringLiteral("lock.fill"), 14, Theme::colour(Theme::Colour::orange)));
        notice->addWidget(lock, 0, Qt::AlignTop);
        auto *text = Theme::label(
            QStringLiteral(
                "流程表已冻结：节目结构与基础资料仅可查看；任务处置、开演、播放、签到和抽奖仍可正常操作。"),
            Theme::TextStyle::callout, QFont::Bold, Theme::Colour::orange, m_frozenNotice);
        text->setWordWrap(true);
        notice->addWidget(text, 1);
    }
    m_frozenNotice->hide();
    m_column->insertWidget(row++, m_frozenNotice);

    m_summary = new MacReadinessSummary(this);
    m_summary->hide();
    connect(m_summary, &MacReadinessSummary::filterChosen, m_state, &FlowPageState::setReadinessFilter);
    m_column->insertWidget(row++, m_summary);

    // --- Player bar frame; its content is added by the live control ---
    m_playerBarHost = new QWidget(this);
    m_playerBarHost->setObjectName(QStringLiteral("flowPlayerBarHost"));
    m_playerBarHost->hide();
    {
        auto *inset = new QHBoxLayout(m_playerBarHost);
        inset->setContentsMargins(20, 0, 20, 12);
        m_playerBar = new QFrame(m_playerBarHost);
        m_playerBar->setObjectName(QStringLiteral("flowPlayerBar"));
        m_playerBar->setStyleSheet(QStringLiteral("#flowPlayerBar { background: %1; border-radius: 14px; }")
                                       .arg(Theme::css(Theme::Colour::green, 0.08)));
        m_playerBarLayout = new QHBoxLayout(m_playerBar);
        m_playerBarLayout->setContentsMargins(14, 14, 14, 14);
        m_playerBarLayout->setSpacing(14);
        inset->addWidget(m_playerBar);
        m_playerBar->hide();
        m_idleBar = makeIdleBar();
        inset->addWidget(m_idleBar);
    }
    m_playerBarHost->installEventFilter(this);
    m_column->insertWidget(row++, m_playerBarHost);

    m_table = new FlowTableView(*m_state, *m_model);
    m_tableHost->layout()->addWidget(m_table);

    const auto refreshRows = [this] { m_model->refresh(*m_state); };
    connect(m_state, &FlowPageState::detailChanged, this, [this, refreshRows] {
        refreshRows();
        updateLayout();
    });
    connect(m_state, &FlowPageState::queryChanged, this, refreshRows);
    connect(m_state, &FlowPageState::readinessFilterChanged, this, [this, refreshRows] {
        m_summary->setFilter(m_state->readinessFilter());
        refreshRows();
    });
    connect(m_state, &FlowPageState::busyItemIDChanged, this, refreshRows);

    // Live control: header buttons, player bar content and the playback coordinator.
    m_live = new FlowLiveControl(*m_state, new PlaybackCoordinator(m_client), this);
    m_liveButtons = new MacFlowLiveButtons(*m_state, *m_live, m_header);
    m_header->liveArea()->addWidget(m_liveButtons);
    m_playerBarContent = new MacFlowPlayerBar(*m_state, *m_live, m_playerBar);
    m_playerBarLayout->addWidget(m_playerBarContent);

    // Built in the middle of a change of the state, or after it: catch up.
    m_summary->setFilter(m_state->readinessFilter());
    refreshRows();
    updateLayout();
}

QWidget *MacProjectFlowView::makeIdleBar()
{
    auto *bar = new QFrame(m_playerBarHost);
    bar->setObjectName(QStringLiteral("flowPlayerBarIdle"));
    bar->setStyleSheet(QStringLiteral("#flowPlayerBarIdle { background: %1; border: 1px dashed %2;"
                                      " border-radius: 14px; }")
                           .arg(Theme::css(Theme::Colour::grey, 0.06), Theme::css(Theme::Colour::separator)));
    bar->hide();
    auto *row = new QHBoxLayout(bar);
    row->setContentsMargins(14, 14, 14, 14);
    row->setSpacing(10);
    auto *symbol = new QLabel(bar);
    symbol->setPixmap(
        Theme::symbolPixmap(QStringLiteral("stop.circle"), 22, Theme::colour(Theme::Colour::secondary)));
    row->addWidget(symbol, 0, Qt::AlignVCenter);
    auto *text = new QVBoxLayout;
    text->setSpacing(4);
    text->addStretch(1);
    text->addWidget(Theme::label(QStringLiteral("当前没有节目在演出"), Theme::TextStyle::headline,
                                 Theme::Colour::secondary, bar));
    text->addWidget(Theme::label(QStringLiteral("开演后，这里显示正在播放的节目"), Theme::TextStyle::caption,
                                 Theme::Colour::secondary, bar));
    text->addStretch(1);
    row->addLayout(text, 1);
    return bar;
}

bool MacProjectFlowView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_playerBarHost && event->type() == QEvent::Resize && !m_playerBar->isHidden()) {
        m_barRoom = std::max(m_barRoom, m_playerBarHost->height());
    }
    return QWidget::eventFilter(watched, event);
}

MacProjectFlowView::~MacProjectFlowView()
{
    m_state->stop();
}

void MacProjectFlowView::updateLayout()
{
    const auto &detail = m_state->detail();
    // A non-silent reload (the header's refresh) shows the progress face in place of the table.
    m_pages->showState(m_state->isLoading(), detail.has_value() && !m_state->isLoading(), m_state->error());
    m_pages->setBannerMessage(detail.has_value() && !m_state->isLoading() ? m_state->error() : QString());
    if (!m_live) {
        return;
    }
    m_frozenNotice->setVisible(m_state->flowFrozen());
    const bool showSummary = !m_state->isLoading() && detail.has_value();
    m_summary->setVisible(showSummary);
    if (showSummary) {
        m_summary->setCounts(m_state->readinessCounts());
    }
    const std::optional<RundownItem> live = m_state->liveItem();
    const bool showBar = live && m_state->canControlPlayback() && m_playerBarLayout->count() > 0;
    if (showBar && m_playerBar->isHidden()) {
        // Showing the bar lays the page out at once: its content must hold its height by then.
        m_playerBarContent->refresh();
        if (m_playerBarHost->isHidden() && m_state->busyItemID() == live->id) {
            // Started here: at the top of the table the bar would cover the started row.
            m_table->keepInView(live->id);
        }
    }
    if (!showBar && !m_playerBar->isHidden()) {
        // A stop at the top would move the next row's button under the pointer: the bar's room
        // stays, with a face that tells the show is not running.
        m_barRoom = std::max(m_barRoom, m_playerBarHost->sizeHint().height());
        m_playerBarHost->setMinimumHeight(m_barRoom);
    }
    m_barRoomKept = m_barRoomKept || showBar;
    m_playerBar->setVisible(showBar);
    m_idleBar->setVisible(!showBar);
    m_playerBarHost->setVisible(showBar || (m_barRoomKept && m_state->canControlPlayback()));
}
