#pragma once

#include <QByteArray>

// Small media files for the fake service and for upload tests, made without external tools.
namespace FakeMedia {

// A mono 16-bit PCM WAV file holding a sine tone.
QByteArray sineWav(int milliseconds, int frequency = 440, int sampleRate = 8000);
// A two-second 160x90 H.264/AAC MP4 test clip (about 13 KB), embedded as a resource.
QByteArray demoVideo();

} // namespace FakeMedia
