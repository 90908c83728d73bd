#pragma once

#include <QByteArray>
#include <QList>

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

// The step tone: half-second steps of 500, 600, 700 … 2,800 Hz, so the pitch heard tells where in
// the file playback is (a step is identified by a 10 ms window or longer).
constexpr int stepToneSteps = 24;
constexpr int stepToneStepMs = 500;
// The frequency of step `step` (0 is the file's first half second), and all of them in order.
int stepToneFrequency(int step);
QList<int> stepToneFrequencies();
// A 12-second 160x90 H.264/AAC MP4 (16 kHz sound, about 34 KB) whose soundtrack is the step tone
// at 0.4 of full scale and whose picture shows the step's frequency; embedded as a resource.
QByteArray stepToneVideo();
// The same steps as a mono 16-bit WAV at 16 kHz, starting over every 12 seconds.
QByteArray stepToneWav(int seconds);

} // namespace FakeMedia
