#pragma once

#include <functional>

class QMediaPlayer;
class QUrl;

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

// Runs change as setSource runs its source change: pipelines it adds to are held against other
// threads until it returns. For the gate's own test.
void whileSetting(const std::function<void()> &change);

} // namespace MediaSourceGate
