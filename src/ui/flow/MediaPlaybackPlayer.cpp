#include "MediaAudioSink.h"
#include "MediaPlayerUpkeep.h"
#include "MediaSinkFlow.h"
#include "MediaSourceGate.h"
#include "PlaybackStallWatch.h"
#include "PlaybackPlayer.h"

#include "common/SignalOrTimeout.h"

#include <QAudioOutput>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QMediaPlayer>
#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <QVideoSink>

#include <algorithm>
#include <chrono>
#include <optional>
#include <utility>

namespace {

using namespace std::chrono_literals;

Q_LOGGING_CATEGORY(lcMedia, "quillory.media", QtWarningMsg)

// The picture counts as quiet after this long without a new frame; new frames extend the wait
// up to the second figure.
constexpr int quietMs = 40;
constexpr int longestQuietMs = 300;
// A file loaded again may wait this long paused and still be heard at once when played: a pause,
// move and play made meanwhile (the picture keeper's) take a few turns of the event loop.
constexpr qint64 longestPausedWaitMs = 50;

std::chrono::milliseconds &loadLimit()
{
    static std::chrono::milliseconds limit = 10s;
    return limit;
}

// One QMediaPlayer with its own audio output, made once and lent to one PlaybackPlayer at a time:
// the first player of a process loads the media framework, which takes a noticeable while.
//
// Every setSource is a request, carried out by a small state machine:
//   settled  --request-->  quieting  --picture quiet-->  loading  --status-->  settled
// - A request silences the player at once: it is paused, unless its pipeline is still being built.
// - On GStreamer, replacing a source stops the pipeline synchronously on the GUI thread. The video
//   sink hands every frame to the GUI thread and waits for it, so the change waits until the
//   paused picture is quiet.
// - A source is never replaced while the pipeline is still being built: the streaming thread then
//   links the new pads under locks that the synchronous stop waits for, and both wait for good.
//   The player's own status says when loading is over. A player that never gets there is put
//   aside, untouched, for a new one, and its file is said to have stalled. The new player is left
//   empty: opening the file again would wait on the read that stalled, on the GUI thread. Until
//   that load ends, the file asked for again is refused the same way.
// - The same file asked for again is loaded again, from its beginning.
// - Playing starts only once the file is loaded, from its start and at its volume: no pipeline
//   is set playing while its pads are still being linked. A play or pause asked for meanwhile is
//   carried out once the file is in place.
// - Whether a file that is to play plays is told by what reaches its sinks (PlaybackStallWatch).
class PooledMediaPlayer : public QObject
{
    Q_OBJECT

public:
    PooledMediaPlayer()
        : QObject(QCoreApplication::instance())
        , m_watch(watchedSinks(), this)
    {
        MediaSourceGate::install(); // done at start-up; here for programs that did not
        m_quiet.setSingleShot(true);
        connect(&m_quiet, &QTimer::timeout, this, &PooledMediaPlayer::apply);
        m_stuck.setSingleShot(true);
        connect(&m_stuck, &QTimer::timeout, this, &PooledMediaPlayer::putAside);
        connect(&m_watch, &PlaybackStallWatch::stalled, this, &PooledMediaPlayer::loadAgain);
        connect(&m_watch, &PlaybackStallWatch::failed, this, [this] {
            m_failedLease = m_lease;
            Q_EMIT failed(PlaybackFailure::stalled);
        });
        makePlayer();
    }
    ~PooledMediaPlayer() override
    {
        if (m_phase == Phase::loading) {
            disconnect(m_player, nullptr, this, nullptr);
            MediaPlayerUpkeep::abandon(m_player, m_output);
        } else {
            MediaPlayerUpkeep::empty(m_player);
        }
    }

    QMediaPlayer *player() const { return m_player; }
    // Changes with every request and whenever the player is lent or given back: a wait begun for
    // an earlier request or borrower ends there.
    quint64 lease() const { return m_lease; }
    bool isInPlace(quint64 lease) const
    {
        return lease == m_lease && !m_pending && m_phase == Phase::settled;
    }
    bool wantsToPlay() const { return m_wantPlaying; }

    static PooledMediaPlayer *borrow()
    {
        PooledMediaPlayer *player = nullptr;
        while (!player && !idle().isEmpty()) {
            player = idle().takeLast();
        }
        if (!player) {
            player = new PooledMediaPlayer;
            // After the first player, which sets the media framework up on this thread.
            static const bool warming = [] {
                if (QCoreApplication::instance()) {
                    MediaPlayerUpkeep::warmUpDecoders();
                }
                return true;
            }();
            Q_UNUSED(warming);
        }
        ++player->m_lease;
        return player;
    }
    void giveBack()
    {
        setSource({});
        setMuted(false);
        m_timeFrom.clear();
        idle().append(this);
    }

    void setSource(const QString &localFile)
    {
        ++m_lease;
        qCDebug(lcMedia) << this << "request" << m_lease << localFile << "phase" << int(m_phase)
                         << m_player->mediaStatus();
        m_wanted = localFile;
        m_wantPlaying = false;
        m_pending = true;
        m_reload = {};
        m_watch.newFile();
        hush();
        advance();
    }
    void play()
    {
        m_wantPlaying = true;
        advance();
    }
    void pause()
    {
        m_wantPlaying = false;
        m_watch.paused();
        hush();
    }
    void setMuted(bool muted)
    {
        m_muted = muted;
        m_output->setMuted(muted);
        keepTime();
    }
    void keepTimeWith(PooledMediaPlayer *sound)
    {
        m_timeFrom = sound;
        keepTime();
    }
    qint64 position() const
    {
        if (!isInPlace(m_lease) || m_applied.isEmpty()) {
            return 0;
        }
        return m_reload.resumeAt.value_or(m_player->position());
    }
    // Only for the request in place; a position set while loading is dropped by the backend.
    void seekInPlace(qint64 milliseconds)
    {
        if (!isInPlace(m_lease) || m_applied.isEmpty()) {
            return;
        }
        // The latest move wins over where a file loaded again was to go on from.
        const bool held = std::exchange(m_reload.resumeAt, std::nullopt).has_value();
        moveTo(milliseconds);
        if (held) {
            advance(); // the play it held
        }
    }

Q_SIGNALS:
    void settled();
    void playerReplaced();
    // The file in place cannot be played: it could not be opened or decoded, or it stalled.
    void failed(PlaybackFailure why);

private:
    enum class Phase { settled, quieting, loading };

    // The players belong to the application object and go with it.
    static QList<QPointer<PooledMediaPlayer>> &idle()
    {
        static QList<QPointer<PooledMediaPlayer>> players;
        return players;
    }

    PlaybackStallWatch::Sinks watchedSinks()
    {
        // A picture keeping time with a sound through which nothing flows stands still with it.
        auto soundFlow = std::make_shared<quint64>(0);
        const auto clockStill = [this, soundFlow] {
            if (!m_timeFrom) {
                return false;
            }
            const quint64 flow = m_timeFrom->flow();
            return std::exchange(*soundFlow, flow) == flow ||
                   m_timeFrom->player()->playbackState() != QMediaPlayer::PlayingState;
        };
        return {
            [this] { return flow(); },
            [this, clockStill] {
                return !isInPlace(m_lease) || m_player->playbackState() != QMediaPlayer::PlayingState ||
                       m_player->mediaStatus() == QMediaPlayer::EndOfMedia || clockStill();
            },
            [this] { return position(); },
            [] { return std::max(loadLimit() / 4, std::chrono::milliseconds(1000)); },
            {},
        };
    }
    quint64 flow() const { return MediaSinkFlow::reached(MediaSourceGate::pipelineOf(*m_player)); }

    void makePlayer()
    {
        m_player = new QMediaPlayer(this);
        m_output = new QAudioOutput(this);
        m_output->setMuted(m_muted);
        m_player->setAudioOutput(m_output);
        connect(m_player, &QMediaPlayer::mediaStatusChanged, this, &PooledMediaPlayer::statusChanged);
        connect(m_player, &QMediaPlayer::errorOccurred, this,
                [this](QMediaPlayer::Error error, const QString &text) {
                    // Only the request being loaded or in place: an earlier file's failure is over,
                    // also when it is reported after the next source was set.
                    if (error == QMediaPlayer::NoError || m_pending || m_applied.isEmpty() ||
                        m_failedLease == m_lease || !MediaSourceGate::failedSinceSourceSet(*m_player)) {
                        return;
                    }
                    const std::optional<PlaybackFailure> why =
                        MediaSourceGate::failureSinceSourceSet(*m_player);
                    if (!why && m_player->duration() > 0 && m_watch.takeRetry()) {
                        // A file that loaded, failing with no reason of its own (a stream error of
                        // a loaded machine, moved just after its load), is loaded anew once.
                        qCWarning(lcMedia)
                            << this << "failed after loading" << m_applied << text << ": loading it again";
                        loadAgain(m_reload.resumeAt.value_or(m_player->position()));
                        return;
                    }
                    m_failedLease = m_lease;
                    qCDebug(lcMedia) << this << "failed" << m_lease << m_applied << error << text;
                    // Qt calls most failures a resource error, an undecodable file too: the
                    // pipeline's own error tells them apart. Qt says a format error only for one
                    // the pipeline told as such: an error that told nothing is said unreadable.
                    Q_EMIT failed(why.value_or(PlaybackFailure::resource));
                });
        connect(m_player, &QMediaPlayer::playbackStateChanged, this,
                [this](QMediaPlayer::PlaybackState state) {
                    if (state == QMediaPlayer::PlayingState && !isInPlace(m_lease)) {
                        hush(); // started by someone else while a change waits
                    } else if (state == QMediaPlayer::PausedState) {
                        leaveOwnSoundClock(); // set going again, its sound's clock could leap
                        // Its sound timed afresh when set going again; not when paused for a new
                        // file, which empties the pipeline.
                        QTimer::singleShot(0, this, [this, lease = m_lease] {
                            if (m_offSoundClock && isInPlace(lease) &&
                                m_player->playbackState() == QMediaPlayer::PausedState) {
                                MediaAudioSink::flushPaused(MediaSourceGate::pipelineOf(*m_player));
                            }
                        });
                    }
                });
    }

    void keepTime()
    {
        if (m_offSoundClock) {
            return; // until its next file
        }
        MediaAudioSink::runOnSoundClock(MediaSourceGate::pipelineOf(*m_player),
                                        m_timeFrom ? MediaSourceGate::pipelineOf(*m_timeFrom->player())
                                                   : nullptr,
                                        m_player->hasAudio() && !m_muted);
    }

    // A picture playing with its own sound runs on that sound's clock from its start (what is shown
    // follows what is heard); once it is moved or paused, on the system clock for the rest of the
    // file: the sound's clock can leap when its stream is flushed or set going again.
    void leaveOwnSoundClock()
    {
        if (m_offSoundClock || m_timeFrom || m_muted || !m_player->hasAudio() || !m_player->hasVideo()) {
            return;
        }
        m_offSoundClock = true;
        MediaAudioSink::leaveSoundClock(MediaSourceGate::pipelineOf(*m_player));
    }

    void hush()
    {
        // A pipeline still being built is never playing (play waits for the load), and pausing it
        // would flush what it has prerolled.
        if (m_phase != Phase::loading && m_player->playbackState() == QMediaPlayer::PlayingState) {
            m_player->pause();
        }
    }

    void advance()
    {
        if (m_phase != Phase::settled) {
            return; // the timer or the player's status moves on
        }
        if (m_pending) {
            quieten();
            return;
        }
        const QMediaPlayer::MediaStatus status = m_player->mediaStatus();
        const bool playable = status == QMediaPlayer::LoadedMedia || status == QMediaPlayer::BufferedMedia ||
                              status == QMediaPlayer::EndOfMedia;
        if (m_reload.resumeAt) {
            return; // played once moved there
        }
        if (m_wantPlaying && playable && m_player->playbackState() != QMediaPlayer::PlayingState) {
            // Loaded again while it was not to play, it waited with its sound's stream open:
            // PulseAudio's stream time runs on meanwhile, and the file would stand silent as long
            // once played, muted or not. Left so more than a moment, it is loaded anew now, and
            // plays as soon as it is loaded.
            const QElapsedTimer waited = std::exchange(m_reload.waitingPaused, {});
            if (waited.isValid() && waited.elapsed() > longestPausedWaitMs && m_player->hasAudio()) {
                m_reload.resumeAt = m_player->position();
                reload();
                return;
            }
            qCDebug(lcMedia) << this << "play" << m_lease << "at" << m_player->position();
            m_player->play();
            m_watch.played();
        }
    }

    // A file loaded again is moved before its first play: its sound's stream never ran, and it
    // keeps its sound's clock.
    void moveTo(qint64 milliseconds, bool beforeFirstPlay = false)
    {
        if (m_player->position() != milliseconds) {
            if (!beforeFirstPlay) {
                leaveOwnSoundClock();
            }
            m_player->setPosition(milliseconds);
        }
        m_watch.moved(milliseconds, m_wantPlaying && m_player->playbackState() == QMediaPlayer::PlayingState);
    }

    // The change is made from the event loop, once no frame has come for a while: only the last
    // of several requests in one turn is carried out.
    void quieten()
    {
        m_phase = Phase::quieting;
        m_quietSince.start();
        disconnect(m_frames);
        QVideoSink *sink = m_player->videoSink();
        if (!sink || m_player->source().isEmpty()) {
            m_quiet.start(0);
            return;
        }
        m_frames = connect(sink, &QVideoSink::videoFrameChanged, this, [this] {
            if (m_quiet.isActive() && m_quietSince.elapsed() < longestQuietMs) {
                m_quiet.start(quietMs);
            }
        });
        m_quiet.start(quietMs);
    }

    void apply()
    {
        disconnect(m_frames);
        m_phase = Phase::settled;
        if (!m_pending) {
            advance();
            return;
        }
        if (m_player->playbackState() == QMediaPlayer::PlayingState) {
            // Started meanwhile by someone else: paused, then quiet again.
            m_player->pause();
            quieten();
            return;
        }
        m_pending = false;
        qCDebug(lcMedia) << this << "apply" << m_lease << m_wanted << "over" << m_applied
                         << m_player->mediaStatus();
        if (MediaPlayerUpkeep::stalledFiles().contains(m_wanted)) {
            // Its stalled read still hangs: opening it again would hang this thread with it.
            if (!m_player->source().isEmpty()) {
                MediaSourceGate::setSource(*m_player, QUrl());
            }
            m_applied.clear();
            reportStalled();
            return;
        }
        if (!m_wanted.isEmpty() && m_wanted == m_applied) {
            // The same file again is loaded anew, from its start: a seek back on the pipeline
            // built for it, played at once, could stall its sound or misreport where it stands.
            m_player->setSource(QUrl());
        }
        m_applied = m_wanted;
        m_replayed = false;
        m_offSoundClock = false;
        MediaSourceGate::setSource(*m_player, m_applied.isEmpty() ? QUrl() : QUrl::fromLocalFile(m_applied));
        if (m_player->mediaStatus() == QMediaPlayer::LoadingMedia) {
            m_phase = Phase::loading;
            m_stuck.start(loadLimit());
            return;
        }
        done();
    }

    void statusChanged(QMediaPlayer::MediaStatus status)
    {
        qCDebug(lcMedia) << this << "status" << status << "phase" << int(m_phase) << m_player->position()
                         << m_player->duration();
        if (status == QMediaPlayer::EndOfMedia && !MediaSourceGate::endedSinceSourceSet(*m_player)) {
            // The end of the pipeline's previous file, reported late: this one has just begun.
            if (m_phase == Phase::loading) {
                qCDebug(lcMedia) << this << "stale end of media while loading";
                return;
            }
            if (isInPlace(m_lease) && m_wantPlaying && !m_replayed) {
                qCDebug(lcMedia) << this << "stale end of media: playing on";
                m_replayed = true;
                m_player->play();
                return;
            }
        }
        if (m_phase != Phase::loading || status == QMediaPlayer::LoadingMedia) {
            return;
        }
        m_stuck.stop();
        m_phase = Phase::settled;
        if (m_pending) {
            advance();
        } else {
            done();
        }
    }

    void done()
    {
        keepTime(); // whether it has a sound of its own is known now
        if (std::exchange(m_reload.loading, false) && !m_wantPlaying) {
            m_reload.waitingPaused.start();
        }
        Q_EMIT settled();
        if (m_reload.resumeAt) {
            // Moved before it plays: a sound flushed just after it was set going can stay silent a
            // while. Not at once: the backend takes no move until it has said the file is seekable,
            // just after it said it is loaded. A move asked for meanwhile wins.
            QTimer::singleShot(0, this, [this, lease = m_lease] {
                if (lease == m_lease) {
                    resume();
                }
            });
        }
        advance();
    }

    void resume()
    {
        const std::optional<qint64> at = std::exchange(m_reload.resumeAt, std::nullopt);
        const QMediaPlayer::MediaStatus status = m_player->mediaStatus();
        if (at && isInPlace(m_lease) &&
            (status == QMediaPlayer::LoadedMedia || status == QMediaPlayer::BufferedMedia)) {
            moveTo(*at, true);
        }
        advance();
    }

    void reportStalled()
    {
        qCDebug(lcMedia) << this << "stalled" << m_lease << m_wanted;
        m_failedLease = m_lease;
        Q_EMIT failed(PlaybackFailure::stalled);
        done();
    }

    // The file in place is loaded again, once, going on from `from`, and played if it was to play.
    void loadAgain(qint64 from)
    {
        m_reload.resumeAt = from;
        reload();
    }

    void reload()
    {
        m_reload.loading = true;
        m_reload.waitingPaused.invalidate();
        ++m_lease;
        m_wanted = m_applied;
        m_pending = true;
        m_watch.paused();
        hush();
        advance();
    }

    // A player still loading long after it was asked to is left alone: anything asked of it could
    // wait on its pipeline.
    void putAside()
    {
        if (m_phase != Phase::loading) {
            return;
        }
        qCWarning(lcMedia) << this << "still loading" << m_applied << "after" << loadLimit().count()
                           << "ms: put aside for a new player";
        QMediaPlayer *stuck = m_player;
        disconnect(stuck, nullptr, this, nullptr);
        MediaPlayerUpkeep::abandon(stuck, m_output, std::exchange(m_applied, QString()));
        QObject *view = stuck->videoOutput();
        makePlayer();
        if (view) {
            m_player->setVideoOutput(view);
        }
        m_phase = Phase::settled;
        Q_EMIT playerReplaced();
        if (m_pending) {
            advance(); // a later request, on the new player
        } else {
            reportStalled();
        }
    }

    QMediaPlayer *m_player = nullptr;
    QAudioOutput *m_output = nullptr;
    Phase m_phase = Phase::settled;
    QString m_wanted;
    QString m_applied;
    bool m_pending = false;
    bool m_wantPlaying = false;
    bool m_muted = false;
    bool m_replayed = false;
    bool m_offSoundClock = false;
    // The file in place loaded again: where it goes on from once it plays, whether it is loading,
    // and since when it has waited loaded but paused.
    struct Reload
    {
        std::optional<qint64> resumeAt;
        bool loading = false;
        QElapsedTimer waitingPaused;
    };
    Reload m_reload;
    quint64 m_lease = 0;
    quint64 m_failedLease = 0;
    QTimer m_quiet;
    QTimer m_stuck;
    QElapsedTimer m_quietSince;
    QMetaObject::Connection m_frames;
    QPointer<PooledMediaPlayer> m_timeFrom;
    PlaybackStallWatch m_watch;
};

// Ends once `lease` is in place on the player, or has been replaced. Waits on the player's own
// signal, re-checking now and then.
QCoro::Task<> inPlace(QPointer<PooledMediaPlayer> pooled, quint64 lease)
{
    while (pooled && pooled->lease() == lease && !pooled->isInPlace(lease)) {
        SignalOrTimeout settled(pooled.data(), &PooledMediaPlayer::settled, 1s);
        co_await settled;
    }
}

class MediaPlaybackPlayer final : public PlaybackPlayer
{
public:
    MediaPlaybackPlayer()
        : m_player(PooledMediaPlayer::borrow())
    {}
    // Given back paused and emptied: a player nobody holds never plays on.
    ~MediaPlaybackPlayer() override
    {
        QObject::disconnect(m_replaced);
        QObject::disconnect(m_failed);
        m_player->giveBack();
    }

    void setSource(const QString &localFile) override { m_player->setSource(localFile); }
    void play() override { m_player->play(); }
    void pause() override { m_player->pause(); }
    void setMuted(bool muted) override { m_player->setMuted(muted); }
    qint64 position() const override { return m_player->position(); }
    bool isPlaying() const override
    {
        return m_player->player()->playbackState() == QMediaPlayer::PlayingState;
    }
    bool wantsToPlay() const override { return m_player->wantsToPlay(); }
    bool hasEnded() const override
    {
        const QMediaPlayer &player = *m_player->player();
        return player.mediaStatus() == QMediaPlayer::EndOfMedia &&
               MediaSourceGate::endedSinceSourceSet(player);
    }

    QCoro::Task<> loaded() override { return inPlace(m_player, m_player->lease()); }

    QCoro::Task<> seek(qint64 milliseconds) override
    {
        QPointer<PooledMediaPlayer> pooled(m_player);
        const quint64 lease = pooled->lease();
        auto ready = inPlace(pooled, lease);
        co_await ready;
        if (pooled && pooled->lease() == lease) {
            pooled->seekInPlace(milliseconds);
        }
    }

    void keepTimeWith(PlaybackPlayer *sound) override
    {
        auto *real = dynamic_cast<MediaPlaybackPlayer *>(sound);
        m_player->keepTimeWith(real ? real->m_player : nullptr);
    }

    QMediaPlayer *mediaPlayer() override { return m_player->player(); }
    void onMediaPlayerReplaced(std::function<void()> callback) override
    {
        QObject::disconnect(m_replaced);
        m_replaced =
            QObject::connect(m_player, &PooledMediaPlayer::playerReplaced, m_player, std::move(callback));
    }
    void onFailed(std::function<void(PlaybackFailure why)> callback) override
    {
        QObject::disconnect(m_failed);
        m_failed = QObject::connect(m_player, &PooledMediaPlayer::failed, m_player, std::move(callback));
    }

private:
    PooledMediaPlayer *m_player;
    QMetaObject::Connection m_replaced;
    QMetaObject::Connection m_failed;
};

} // namespace

std::unique_ptr<PlaybackPlayer> makeMediaPlayer()
{
    return std::make_unique<MediaPlaybackPlayer>();
}

void setMediaLoadLimit(std::chrono::milliseconds limit)
{
    loadLimit() = limit;
}

#include "MediaPlaybackPlayer.moc"
