#include "PlaybackPlayer.h"

#include "common/SignalOrTimeout.h"

#include <QAudioOutput>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QMediaPlayer>
#include <QPointer>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <QVideoSink>

#include <chrono>

namespace {

using namespace std::chrono_literals;

// The picture counts as quiet after this long without a new frame; new frames extend the wait
// up to the second figure, a file still loading up to the third.
constexpr int quietMs = 40;
constexpr int longestSettleMs = 300;
constexpr int longestLoadMs = 2000;

// The first media a process plays makes GStreamer load its decoder libraries (libav): tens of
// milliseconds, seconds on a busy machine, and meanwhile the backend's bus handling on the GUI
// thread can wait for the loader. So a tiny clip is loaded once, muted, by a player in a thread of
// its own as soon as the first player exists, and the first item of a show finds them loaded.
class DecoderWarmUp final : public QThread
{
public:
    explicit DecoderWarmUp(QObject *parent)
        : QThread(parent)
    {
        setObjectName(QStringLiteral("media warm-up"));
    }
    ~DecoderWarmUp() override
    {
        quit();
        wait();
    }

protected:
    void run() override
    {
        QFile clip(QStringLiteral(":/media/warm-up.mp4"));
        if (!clip.open(QIODevice::ReadOnly)) {
            return;
        }
        QMediaPlayer player;
        QAudioOutput output;
        output.setMuted(true);
        player.setAudioOutput(&output);
        connect(&player, &QMediaPlayer::mediaStatusChanged, &player,
                [this](QMediaPlayer::MediaStatus status) {
                    if (status != QMediaPlayer::LoadingMedia && status != QMediaPlayer::NoMedia) {
                        quit();
                    }
                });
        QTimer::singleShot(10000, &player, [this] { quit(); });
        player.setSourceDevice(&clip, QUrl(QStringLiteral("warm-up.mp4")));
        exec();
    }
};

// One QMediaPlayer with its own audio output, made once and lent to one PlaybackPlayer at a time:
// the first player of a process loads the media framework, which takes a noticeable while.
//
// On GStreamer, replacing or removing a source first stops the pipeline synchronously on the GUI
// thread. The video sink hands every frame to the GUI thread and waits up to 300 ms for it, and a
// file still loading is waited for up to a second, so a change made while a frame waits or while
// the file loads blocks the interface that long. A change therefore silences the player at once
// and is made from the event loop once the file has loaded, the player is paused and the picture
// is quiet; until then the player plays nothing, whoever asks. (Pausing a file that is still
// loading can keep it from ever finishing, so such a file is silenced by its volume instead.)
class PooledMediaPlayer : public QObject
{
    Q_OBJECT

public:
    PooledMediaPlayer()
        : QObject(QCoreApplication::instance())
        , m_player(new QMediaPlayer(this))
        , m_output(new QAudioOutput(this))
    {
        m_player->setAudioOutput(m_output);
        m_quiet.setSingleShot(true);
        connect(&m_quiet, &QTimer::timeout, this, &PooledMediaPlayer::settleNow);
        connect(m_player, &QMediaPlayer::playbackStateChanged, this,
                [this](QMediaPlayer::PlaybackState state) {
                    if (state == QMediaPlayer::PlayingState && m_wanted != m_applied) {
                        silence();
                    }
                });
    }

    QMediaPlayer *player() const { return m_player; }
    // Changes whenever the player is lent, given back or given another source: a wait begun for
    // an earlier file or borrower ends there.
    quint64 lease() const { return m_lease; }

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
                    (new DecoderWarmUp(QCoreApplication::instance()))->start(QThread::LowPriority);
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
        ++m_lease;
        setSource({});
        m_output->setMuted(false);
        idle().append(this);
    }

    void setSource(const QString &localFile)
    {
        ++m_lease;
        m_wanted = localFile;
        m_wantPlaying = false;
        silence();
        settle();
    }
    void play()
    {
        m_wantPlaying = true;
        if (!m_quiet.isActive() && !m_applied.isEmpty()) {
            m_player->play();
        }
    }
    void pause()
    {
        m_wantPlaying = false;
        if (m_player->mediaStatus() != QMediaPlayer::LoadingMedia) {
            m_player->pause();
        }
    }
    void setMuted(bool muted) { m_output->setMuted(muted); }
    qint64 position() const
    {
        return m_wanted != m_applied || m_applied.isEmpty() ? 0 : m_player->position();
    }
    bool isSettling() const { return m_quiet.isActive(); }

    // Emits `settled` once the player may change its source without blocking, and a wanted
    // source is in place.
    void settle()
    {
        if (m_quiet.isActive()) {
            return;
        }
        m_settling.start();
        disconnect(m_frames);
        if (QVideoSink *sink = m_player->videoSink()) {
            m_frames = connect(sink, &QVideoSink::videoFrameChanged, this, [this] {
                if (m_quiet.isActive() && m_settling.elapsed() < longestSettleMs) {
                    m_quiet.start(quietMs);
                }
            });
            m_quiet.start(quietMs);
        } else {
            // Audio alone never waits for the GUI thread; the change still leaves the caller's turn.
            m_quiet.start(0);
        }
    }

Q_SIGNALS:
    void settled();

private:
    // The players belong to the application object and go with it.
    static QList<QPointer<PooledMediaPlayer>> &idle()
    {
        static QList<QPointer<PooledMediaPlayer>> players;
        return players;
    }

    void silence()
    {
        if (m_player->mediaStatus() == QMediaPlayer::LoadingMedia) {
            m_output->setVolume(0);
        } else {
            m_player->pause();
        }
    }

    void settleNow()
    {
        if (m_player->mediaStatus() == QMediaPlayer::LoadingMedia && m_settling.elapsed() < longestLoadMs) {
            m_quiet.start(quietMs);
            return;
        }
        if (m_wanted != m_applied && m_player->playbackState() == QMediaPlayer::PlayingState) {
            // Loaded meanwhile, and started as asked before the change: paused, then quiet again.
            m_player->pause();
            m_quiet.start(quietMs);
            return;
        }
        disconnect(m_frames);
        if (m_wanted != m_applied) {
            m_applied = m_wanted;
            m_player->setSource(m_applied.isEmpty() ? QUrl() : QUrl::fromLocalFile(m_applied));
        } else if (!m_wantPlaying && m_player->playbackState() == QMediaPlayer::PlayingState) {
            // The same file asked for again while it loaded, and it started meanwhile.
            m_player->pause();
        }
        // Silenced while it loaded, even when the same file was asked for again.
        m_output->setVolume(1);
        if (m_wantPlaying && !m_applied.isEmpty()) {
            m_player->play();
        }
        Q_EMIT settled();
    }

    QMediaPlayer *m_player;
    QAudioOutput *m_output;
    QString m_wanted;
    QString m_applied;
    bool m_wantPlaying = false;
    quint64 m_lease = 0;
    QTimer m_quiet;
    QElapsedTimer m_settling;
    QMetaObject::Connection m_frames;
};

class MediaPlaybackPlayer final : public PlaybackPlayer
{
public:
    MediaPlaybackPlayer()
        : m_player(PooledMediaPlayer::borrow())
    {}
    // Given back paused and emptied: a player nobody holds never plays on.
    ~MediaPlaybackPlayer() override { m_player->giveBack(); }

    void setSource(const QString &localFile) override { m_player->setSource(localFile); }
    void play() override { m_player->play(); }
    void pause() override { m_player->pause(); }
    void setMuted(bool muted) override { m_player->setMuted(muted); }
    qint64 position() const override { return m_player->position(); }

    QCoro::Task<> seek(qint64 milliseconds) override
    {
        QPointer<PooledMediaPlayer> pooled(m_player);
        const quint64 lease = pooled->lease();
        const auto gone = [&] { return !pooled || pooled->lease() != lease; };
        const auto settled = [&]() -> QCoro::Task<> {
            if (pooled->isSettling()) {
                SignalOrTimeout done(pooled.data(), &PooledMediaPlayer::settled, 2s);
                co_await done;
            }
        };
        co_await settled();
        if (gone()) {
            co_return;
        }
        QMediaPlayer *player = pooled->player();
        // A position set before the media is loaded is dropped by the backend.
        if (player->mediaStatus() == QMediaPlayer::LoadingMedia) {
            SignalOrTimeout loaded(player, &QMediaPlayer::mediaStatusChanged, 5s);
            co_await loaded;
            if (gone()) {
                co_return;
            }
        }
        if (!player->isSeekable()) {
            SignalOrTimeout seekable(player, &QMediaPlayer::seekableChanged, 2s);
            co_await seekable;
            if (gone()) {
                co_return;
            }
        }
        // A seek flushes the pipeline too: the first picture of the file must have been taken.
        pooled->settle();
        co_await settled();
        if (gone()) {
            co_return;
        }
        player->setPosition(milliseconds);
    }

    QMediaPlayer *mediaPlayer() override { return m_player->player(); }

private:
    PooledMediaPlayer *m_player;
};

} // namespace

std::unique_ptr<PlaybackPlayer> makeMediaPlayer()
{
    return std::make_unique<MediaPlaybackPlayer>();
}

#include "MediaPlaybackPlayer.moc"
