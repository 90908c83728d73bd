#pragma once

#include <QCoro/QCoroTask>
#include <QString>

#include <memory>

class QMediaPlayer;

// The few player operations live playback needs; tests stand in recording fakes.
class PlaybackPlayer
{
public:
    virtual ~PlaybackPlayer() = default;

    // A local file to play, or the empty text for none.
    virtual void setSource(const QString &localFile) = 0;
    virtual void play() = 0;
    virtual void pause() = 0;
    virtual void setMuted(bool muted) = 0;
    virtual qint64 position() const = 0; // milliseconds
    // Ends once the player took the new position (or gave up waiting for the media).
    virtual QCoro::Task<> seek(qint64 milliseconds) = 0;
    // The platform player behind it, for the video view; none for fakes.
    virtual QMediaPlayer *mediaPlayer() { return nullptr; }
};

// A QMediaPlayer with its own QAudioOutput.
std::unique_ptr<PlaybackPlayer> makeMediaPlayer();
