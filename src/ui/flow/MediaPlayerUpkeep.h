#pragma once

#include <QHash>
#include <QString>

class QAudioOutput;
class QMediaPlayer;

// What the pooled media players need around them: their decoders loaded ahead, and letting go of
// a player whose file never finishes loading.
namespace MediaPlayerUpkeep {

// Empties a player before it is destroyed: its destructor would otherwise stop a pipeline whose
// streaming thread still reports pads to the half-destroyed player.
void empty(QMediaPlayer *player);

// Files whose loading stalled, with how many put-aside players still load each. A read of such a
// file can hang in the kernel, and the thread opening it again with it, for as long as the file
// does not answer: it is not opened again until that load ends.
QHash<QString, int> &stalledFiles();

// A player whose file never finished loading cannot be stopped: stopping waits for a streaming
// thread that waits on the file. Such a player is let go of, never destroyed, and the process
// ends without stopping it. It is deleted should its loading ever end.
void abandon(QMediaPlayer *player, QAudioOutput *output, const QString &stalledFile = {});

// Loads the decoders and the graphics driver in a thread of their own, once a process: see the
// source. Needs the application object.
void warmUpDecoders();

} // namespace MediaPlayerUpkeep
