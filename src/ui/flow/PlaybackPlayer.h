#pragma once

#include <QCoro/QCoroTask>
#include <QString>

#include <chrono>
#include <functional>
#include <memory>

class QMediaPlayer;

// Why a player could not play the file it was given.
enum class PlaybackFailure {
    format,   // not a media file it can decode
    resource, // the file cannot be opened or read
    access,   // not allowed to read it
    network,
    stalled, // loading never finished: the file does not answer
};

// The few player operations live playback needs; tests stand in recording fakes.
class PlaybackPlayer
{
public:
    virtual ~PlaybackPlayer() = default;

    // A local file to play from its start, or the empty text for none. Every call is a request of
    // its own: the same file asked for again starts again from its beginning.
    virtual void setSource(const QString &localFile) = 0;
    virtual void play() = 0;
    virtual void pause() = 0;
    virtual void setMuted(bool muted) = 0;
    virtual qint64 position() const = 0; // milliseconds
    virtual bool isPlaying() const { return false; }
    // Playing, or to play once the file asked for is in place.
    virtual bool wantsToPlay() const { return isPlaying(); }
    // The file asked for has played to its end.
    virtual bool hasEnded() const { return false; }
    // Ends once the file last asked for is in place: loaded, or found unplayable. Also ends when a
    // later request or another borrower took the player over.
    virtual QCoro::Task<> loaded() { co_return; }
    // Ends once the player took the new position (or the request it was meant for is gone).
    virtual QCoro::Task<> seek(qint64 milliseconds) = 0;
    // What this player shows keeps time with what `sound` plays, from its next play on; none: with
    // its own sound.
    virtual void keepTimeWith(PlaybackPlayer *sound) { Q_UNUSED(sound); }
    // The platform player behind it, for the video view; none for fakes. It can change: a player
    // whose media never finishes loading is put aside for a new one.
    virtual QMediaPlayer *mediaPlayer() { return nullptr; }
    virtual void onMediaPlayerReplaced(std::function<void()> callback) { Q_UNUSED(callback); }
    // Called when the file last asked for cannot be played: it could not be opened or decoded,
    // or its loading stalled.
    virtual void onFailed(std::function<void(PlaybackFailure why)> callback) { Q_UNUSED(callback); }
};

// A QMediaPlayer with its own QAudioOutput.
std::unique_ptr<PlaybackPlayer> makeMediaPlayer();

// How long a player may take to load a file before it is put aside for a new one. The default
// suits a loaded machine; tests shorten it.
void setMediaLoadLimit(std::chrono::milliseconds limit);
