#pragma once

#include <chrono>
#include <functional>
#include <optional>

enum class PlaybackFailure;
class QMediaPlayer;
class QUrl;
typedef struct _GstElement GstElement;

namespace MediaSourceGate {

// Registers the players' GStreamer hooks (the gate's, and the audio sinks' buffer). Called once
// at start-up, before any pipeline runs: GStreamer's hook table is not safe to change while
// other threads trace through it, and a sink made before would keep its default buffer.
void install();

// QMediaPlayer::setSource for a player on this thread, without the backend's own threads being
// able to deadlock with it. Every source change of a player goes through here, always from the
// same (GUI) thread.
void setSource(QMediaPlayer &player, const QUrl &source);

// Whether the pipeline of the player's last source has reached its end since that source was
// set. An end of media reported without it is the previous source's, reported late.
bool endedSinceSourceSet(const QMediaPlayer &player);

// Whether the pipeline of the player's last source has posted an error since that source began to
// be built, while it was being set included: a file that cannot be opened fails there. An error
// reported without it is the previous source's, reported late.
bool failedSinceSourceSet(const QMediaPlayer &player);

// Why the pipeline of the player's last source failed, as its latest error since that source was
// set tells it; none when no error since did (the generic ones that follow a first, telling one
// say nothing of their own).
std::optional<PlaybackFailure> failureSinceSourceSet(const QMediaPlayer &player);

// Ends the process `limit` from now unless it has ended by then, saying so on stderr, with the
// status below: tearing down stops the media pipelines, and one whose file never answers would
// hold the exit for good. Called once the event loop has returned.
constexpr int tearDownCutShort = 3;
void boundTearDown(std::chrono::milliseconds limit);

// Runs change as setSource runs its source change: pipelines it adds to are held against other
// threads until it returns. For the gate's own test.
void whileSetting(const std::function<void()> &change);
// How many threads the gate is holding now, and the pipeline of a player's last source. For the
// gate's own test.
int heldThreads();
GstElement *pipelineOf(const QMediaPlayer &player);

} // namespace MediaSourceGate
