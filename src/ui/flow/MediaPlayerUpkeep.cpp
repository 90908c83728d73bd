#include "MediaPlayerUpkeep.h"

#include <QAudioOutput>
#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QList>
#include <QMediaPlayer>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QPointer>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <QVideoSink>

namespace {

// The first media a process plays makes GStreamer load its decoder libraries (libav): tens of
// milliseconds, seconds on a busy machine, and meanwhile the backend's bus handling on the GUI
// thread can wait for the loader. So a tiny clip is loaded once, muted, by a player in a thread of
// its own as soon as the first player exists, and the first item of a show finds them loaded.
// The first picture shown likewise loads the graphics driver on the GUI thread, while the video
// sink, and with it the item's sound, waits: a throwaway context loads it here first.
class DecoderWarmUp final : public QThread
{
public:
    explicit DecoderWarmUp(QObject *parent)
        : QThread(parent)
    {
        setObjectName(QStringLiteral("media warm-up"));
        if (qobject_cast<QGuiApplication *>(QCoreApplication::instance()) &&
            QGuiApplication::platformName() != QLatin1String("offscreen") &&
            QOpenGLContext::supportsThreadedOpenGL()) {
            m_surface.create(); // made on the GUI thread, used on the warm-up's
        }
    }
    ~DecoderWarmUp() override
    {
        quit();
        wait();
    }

protected:
    void run() override
    {
        if (m_surface.isValid()) {
            QOpenGLContext context;
            if (context.create() && context.makeCurrent(&m_surface)) {
                context.doneCurrent();
            }
        }
        QFile clip(QStringLiteral(":/media/warm-up.mp4"));
        if (!clip.open(QIODevice::ReadOnly)) {
            return;
        }
        QMediaPlayer player;
        QAudioOutput output;
        output.setMuted(true);
        player.setAudioOutput(&output);
        // A picture too, so the video path (decoder, conversion, the sink) is loaded as well.
        QVideoSink picture;
        player.setVideoSink(&picture);
        connect(&player, &QMediaPlayer::mediaStatusChanged, &player,
                [this](QMediaPlayer::MediaStatus status) {
                    if (status != QMediaPlayer::LoadingMedia && status != QMediaPlayer::NoMedia) {
                        quit();
                    }
                });
        QTimer::singleShot(10000, &player, [this] { quit(); });
        player.setSourceDevice(&clip, QUrl(QStringLiteral("warm-up.mp4")));
        exec();
        // Torn down while the player is whole: its destructor would otherwise stop a pipeline
        // whose streaming thread still reports pads to the half-destroyed player.
        MediaPlayerUpkeep::empty(&player);
    }

private:
    QOffscreenSurface m_surface;
};

} // namespace

namespace MediaPlayerUpkeep {

void empty(QMediaPlayer *player)
{
    player->stop();
    player->setSource(QUrl());
}

QHash<QString, int> &stalledFiles()
{
    static QHash<QString, int> files;
    return files;
}

void abandon(QMediaPlayer *player, QAudioOutput *output, const QString &stalledFile)
{
    static auto *const abandoned = new QList<QPointer<QObject>>; // reachable until the process ends
    abandoned->removeAll(nullptr);
    for (QObject *object : {static_cast<QObject *>(player), static_cast<QObject *>(output)}) {
        object->setParent(nullptr);
        abandoned->append(object);
    }
    if (!stalledFile.isEmpty()) {
        ++stalledFiles()[stalledFile];
    }
    QObject::connect(player, &QMediaPlayer::mediaStatusChanged, player,
                     [player, output, stalledFile](QMediaPlayer::MediaStatus status) {
                         if (status != QMediaPlayer::LoadingMedia) {
                             // Once: emptying it reports a status again.
                             QObject::disconnect(player, nullptr, player, nullptr);
                             if (!stalledFile.isEmpty() && --stalledFiles()[stalledFile] == 0) {
                                 stalledFiles().remove(stalledFile);
                             }
                             empty(player);
                             player->deleteLater();
                             output->deleteLater();
                         }
                     });
}

void warmUpDecoders()
{
    (new DecoderWarmUp(QCoreApplication::instance()))->start(QThread::LowPriority);
}

} // namespace MediaPlayerUpkeep
