#pragma once

class QMediaPlayer;
class QUrl;

namespace MediaSourceGate {

// Installs GStreamer's hooks of the players; before the first player exists, so that its audio
// sink is configured too.
void install();

// QMediaPlayer::setSource for a player on this thread, without the backend's own threads being
// able to deadlock with it. Every source change of a player goes through here.
void setSource(QMediaPlayer &player, const QUrl &source);

} // namespace MediaSourceGate
