#pragma once

#include <QByteArray>

// Small media files for the fake service and for upload tests, made without external tools.
namespace FakeMedia {

// A mono 16-bit PCM WAV file holding a sine tone.
QByteArray sineWav(int milliseconds, int frequency = 440, int sampleRate = 8000);
// A two-second 160x90 H.264/AAC MP4 test clip (about 13 KB), embedded as a resource.
QByteArray demoVideo();

// A mono 8-bit WAV at 8 kHz (64 kbit/s) lasting that many seconds: each second a 0.7 s beep of
// the frequency and a pause, so a listener hears it advance.
QByteArray toneWav(int seconds, int frequency);
// The demo show's clips (320x180, moving picture, about 10 kbit/s), embedded as resources:
// a 150-second clip with sound and a 330-second background picture without sound.
QByteArray demoVcrVideo();
QByteArray demoStarsVideo();

} // namespace FakeMedia
