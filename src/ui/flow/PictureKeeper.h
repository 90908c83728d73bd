#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QTimer>

#include <QCoro/QCoroTask>

class PlaybackPlayer;

// Keeps an item's picture with its separate sound: a picture that strayed from the sound (a
// drift, or a pause of the picture alone) is moved back to where the sound is.
class PictureKeeper : public QObject
{
    Q_OBJECT

public:
    explicit PictureKeeper(QObject *parent = nullptr);

    // From now on the picture follows the sound, until stop().
    void start(PlaybackPlayer *sound, PlaybackPlayer *picture);
    void stop();
    bool isRunning() const { return m_timer.isActive(); }

private:
    QCoro::Task<> check();

    PlaybackPlayer *m_sound = nullptr;
    PlaybackPlayer *m_picture = nullptr;
    QTimer m_timer;
    struct Sample
    {
        qint64 at;
        qint64 sound;
        qint64 picture;
    };
    QList<Sample> m_samples;
    QElapsedTimer m_clock;
    // Every start and stop begins a new run; a move that finds its run gone drops its outcome.
    quint64 m_run = 0;
    bool m_seeking = false;
    qint64 m_seekLeadMs;
    QElapsedTimer m_lastSeek;
};
