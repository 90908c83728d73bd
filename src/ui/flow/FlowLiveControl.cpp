#include "FlowLiveControl.h"

#include "lottery/LotteryRules.h"

#include "FlowPageState.h"
#include "FlowRules.h"
#include "PlaybackCoordinator.h"
#include "RequestOutcome.h"
#include "api/APIClient.h"
#include "common/AsyncAction.h"
#include "lottery/MacQRCodeImage.h"

#include <QCoreApplication>
#include <QPointer>

namespace {

const QString qrMode = QStringLiteral("qr");
const QEvent::Type syncEvent = static_cast<QEvent::Type>(QEvent::registerEventType());
const QString programMode = QStringLiteral("program");

} // namespace

FlowLiveControl::FlowLiveControl(FlowPageState &state, PlaybackCoordinator *playback, QObject *parent)
    : QObject(parent)
    , m_statePointer(&state)
    , m_state(state)
    , m_playback(playback)
{
    m_playback->setParent(this);
    m_playback->setItemProjectID(m_state.project().id);
    m_state.setLiveActionHandler(
        [this](QString action, RundownItem item) { return liveAction(std::move(action), std::move(item)); });
    m_state.setAfterReloadHook(
        [this](std::optional<RundownItem> live) { return afterReload(std::move(live)); });
    connect(&m_state, &FlowPageState::audioLinkedChanged, this, [this] { startSync(true); });
    connect(&m_state, &FlowPageState::videoLinkedChanged, this, [this] { startSync(true); });
}

FlowLiveControl::~FlowLiveControl()
{
    if (m_statePointer) {
        m_statePointer->setLiveActionHandler({});
        m_statePointer->setAfterReloadHook({});
    }
    m_playback->stop();
}

QCoro::Task<> FlowLiveControl::afterReload(std::optional<RundownItem> liveItem)
{
    // The reload ends here; the lottery mode and the media follow in the background.
    QPointer<FlowLiveControl> self(this);
    AsyncAction::run(
        this, refreshLotteryScreen(std::move(liveItem)),
        [self](bool changed) {
            if (self) {
                self->startSync(changed);
            }
        },
        [](const QString &) {});
    co_return;
}

QCoro::Task<> FlowLiveControl::liveAction(QString action, RundownItem item)
{
    QPointer<FlowLiveControl> self(this);
    m_state.setBusyItemID(item.id);
    auto sending = send(m_state.client().liveAction(m_state.project().id, item.id, action));
    const std::optional<LiveControlResponse> answer = co_await sending;
    if (!self) {
        co_return;
    }
    if (!answer) {
        m_state.setBusyItemID(std::nullopt);
        co_return;
    }
    Q_EMIT liveAnswerArrived();
    // A poll sent before this answer must not bring the former live item back.
    m_state.retireEarlierReloads();
    if (m_state.detail()) {
        m_state.setItems(answer->items);
    }
    auto refresh = refreshLotteryScreen(FlowRules::liveItem(answer->items));
    co_await refresh;
    if (!self) {
        co_return;
    }
    startSync(true);
    m_state.setBusyItemID(std::nullopt);
}

QCoro::Task<> FlowLiveControl::resetLive()
{
    QPointer<FlowLiveControl> self(this);
    auto sending = send(m_state.client().resetLive(m_state.project().id));
    const std::optional<LiveControlResponse> answer = co_await sending;
    if (!self || !answer) {
        co_return;
    }
    m_state.retireEarlierReloads();
    if (m_state.detail()) {
        m_state.setItems(answer->items);
    }
    m_playback->stop();
}

QCoro::Task<std::optional<LiveControlResponse>>
FlowLiveControl::send(QCoro::Task<LiveControlResponse> request)
{
    QPointer<FlowLiveControl> self(this);
    auto settling = settleRequest(std::move(request));
    RequestOutcome<LiveControlResponse> outcome = co_await settling;
    if (self) {
        if (outcome.value) {
            m_state.clearCommandError();
        } else {
            m_state.setError(outcome.failure);
        }
    }
    co_return std::move(outcome.value);
}

QCoro::Task<> FlowLiveControl::syncPlayback(bool force)
{
    if (!m_state.canControlPlayback()) {
        // Most roles never start a player: their polls leave the stopped players alone.
        if (m_playback->activeItemID()) {
            m_playback->stop();
        }
        co_return;
    }
    const bool audio = m_state.canOutputAudio() && m_state.audioLinked();
    const bool video =
        m_state.canOutputVideo() && m_state.videoLinked() && m_state.lotteryScreenMode() != qrMode;
    if (!m_playback->audioPlayer()) {
        // The item a director starts next: its media should not wait for the framework.
        const std::optional<RundownItem> next = m_state.nextItem();
        const auto has = [](const std::optional<QString> &asset) { return asset && !asset->isEmpty(); };
        if (next && ((m_state.canOutputAudio() && has(next->audioAssetId)) ||
                     (m_state.canOutputVideo() && has(next->videoAssetId)))) {
            m_playback->preparePlayers();
        }
    }
    auto synced = m_playback->sync(m_state.liveItem(), audio, video, force);
    co_await synced;
}

void FlowLiveControl::startSync(bool force)
{
    // Loading a file can block the GUI thread on GStreamer. Posted below the priority of paint
    // requests, so the table shows the new live item first.
    m_pendingSyncs.append(force);
    QCoreApplication::postEvent(this, new QEvent(syncEvent), Qt::LowEventPriority - 1);
}

bool FlowLiveControl::event(QEvent *event)
{
    if (event->type() != syncEvent) {
        return QObject::event(event);
    }
    if (!m_pendingSyncs.isEmpty()) {
        const bool force = m_pendingSyncs.takeFirst();
        AsyncAction::run(
            this, syncPlayback(force), [] {}, [](const QString &) {});
    }
    return true;
}

QCoro::Task<bool> FlowLiveControl::refreshLotteryScreen(std::optional<RundownItem> item)
{
    const quint64 number = ++m_lotteryRefreshes;
    const QString before = m_state.lotteryScreenMode();
    if (!m_state.canOutputVideo() || !item || !FlowRules::isLotteryItem(*item)) {
        m_state.setLotteryScreenMode(programMode);
        co_return m_state.lotteryScreenMode() != before;
    }
    QPointer<FlowLiveControl> self(this);
    QString mode = programMode;
    auto request = m_state.client().lottery(m_state.project().id, item->id);
    try {
        const LotteryState lottery = co_await request;
        mode = lottery.screenMode;
    } catch (...) {
        // The venue screen falls back to the programme; no error is shown.
    }
    if (!self || number != m_lotteryRefreshes) {
        co_return false;
    }
    m_state.setLotteryScreenMode(mode);
    co_return m_state.lotteryScreenMode() != before;
}

QImage FlowLiveControl::lotteryQRCode(const RundownItem &item) const
{
    // The same sign-up page as the lottery console's link.
    const auto url = LotteryRules::registrationURL(m_state.project().id, item.id);
    if (!url) {
        return {};
    }
    return macQRCodeModules(url->toString(QUrl::FullyEncoded));
}
