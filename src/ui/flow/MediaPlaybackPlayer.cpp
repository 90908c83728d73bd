#include "PlaybackPlayer.h"

#include <QAudioOutput>
#include <QCoro/QCoroSignal>
#include <QMediaPlayer>
#include <QPointer>
#include <QUrl>

#include <chrono>

namespace {

using namespace std::chrono_literals;

class MediaPlaybackPlayer final : public PlaybackPlayer
{
public:
    MediaPlaybackPlayer()
        : m_player(new QMediaPlayer)
        , m_output(new QAudioOutput(m_player))
    {
        m_player->setAudioOutput(m_output);
    }
    // Released without pausing first; a pending seek holds only a QPointer to the player.
    ~MediaPlaybackPlayer() override { delete m_player; }

    void setSource(const QString &localFile) override
    {
        // Unloading a file blocks the GUI thread for 0.3-1 s on GStreamer (the pipeline is torn
        // down synchronously). A cleared player therefore only pauses and stays silent until the
        // next file replaces the old one.
        if (localFile.isEmpty()) {
            m_player->pause();
            m_cleared = true;
            return;
        }
        m_cleared = false;
        m_player->setSource(QUrl::fromLocalFile(localFile));
    }
    void play() override
    {
        if (!m_cleared) {
            m_player->play();
        }
    }
    void pause() override { m_player->pause(); }
    void setMuted(bool muted) override { m_output->setMuted(muted); }
    qint64 position() const override { return m_cleared ? 0 : m_player->position(); }

    QCoro::Task<> seek(qint64 milliseconds) override
    {
        QPointer<QMediaPlayer> player(m_player);
        // A position set before the media is loaded is dropped by the backend.
        if (player->mediaStatus() == QMediaPlayer::LoadingMedia) {
            auto loaded = qCoro(player.data(), &QMediaPlayer::mediaStatusChanged, 5s);
            co_await loaded;
            if (!player) {
                co_return;
            }
        }
        if (!player->isSeekable()) {
            auto seekable = qCoro(player.data(), &QMediaPlayer::seekableChanged, 2s);
            co_await seekable;
            if (!player) {
                co_return;
            }
        }
        player->setPosition(milliseconds);
    }

    QMediaPlayer *mediaPlayer() override { return m_player; }

private:
    QMediaPlayer *m_player;
    QAudioOutput *m_output;
    bool m_cleared = true;
};

} // namespace

std::unique_ptr<PlaybackPlayer> makeMediaPlayer()
{
    return std::make_unique<MediaPlaybackPlayer>();
}
