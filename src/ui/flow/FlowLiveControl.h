#pragma once

#include "models/Envelopes.h"
#include "models/Rundown.h"

#include <QCoro/QCoroTask>
#include <QImage>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <optional>

class FlowPageState;
class PlaybackCoordinator;

// Runs the show from the rundown page: sends live actions and the reset, keeps the venue-screen
// mode of a live lottery item in step with the service and hands the live item to the playback
// coordinator with the outputs the role and the two switches allow.
//
// The page's table is never held back by media: the reload and a live action show their answer
// at once and the coordinator prepares the media in the background (its isPreparing tells).
class FlowLiveControl : public QObject
{
    Q_OBJECT

public:
    // Installs itself as the page state's live-action handler and after-reload hook.
    FlowLiveControl(FlowPageState &state, PlaybackCoordinator *playback, QObject *parent = nullptr);
    ~FlowLiveControl() override;

    PlaybackCoordinator &playback() const { return *m_playback; }

    // Never throw; failures end in the page's error.
    QCoro::Task<> liveAction(QString action, RundownItem item);
    QCoro::Task<> resetLive();
    QCoro::Task<> syncPlayback(bool force);
    // True when the screen mode changed. A newer refresh outdates an older one still waiting.
    QCoro::Task<bool> refreshLotteryScreen(std::optional<RundownItem> item);
    // Starts a sync that nobody waits for, once the event loop is back.
    void startSync(bool force);

    QImage lotteryQRCode(const RundownItem &item) const;

protected:
    bool event(QEvent *event) override;

Q_SIGNALS:
    // A live action's answer arrived and is about to be shown (for the benchmark).
    void liveAnswerArrived();

private:
    // The request's answer; nullopt once its failure is the page's error.
    QCoro::Task<std::optional<LiveControlResponse>> send(QCoro::Task<LiveControlResponse> request);
    QCoro::Task<> afterReload(std::optional<RundownItem> liveItem);

    // The page state may go first when the page is torn down.
    QPointer<FlowPageState> m_statePointer;
    FlowPageState &m_state;
    PlaybackCoordinator *m_playback;
    quint64 m_lotteryRefreshes = 0;
    QList<bool> m_pendingSyncs;
};
