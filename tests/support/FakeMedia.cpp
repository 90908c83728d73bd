#include "FakeMedia.h"

#include <QDataStream>
#include <QFile>

#include <cmath>
#include <numbers>

namespace FakeMedia {

namespace {

// The 44-byte header of a mono PCM WAV file, as a stream the caller appends its samples to.
void writeWavHeader(QDataStream &stream, int sampleRate, int bytesPerSample, qint32 dataBytes)
{
    stream.setByteOrder(QDataStream::LittleEndian);
    stream.writeRawData("RIFF", 4);
    stream << qint32(36 + dataBytes);
    stream.writeRawData("WAVEfmt ", 8);
    stream << qint32(16) << qint16(1) << qint16(1) << qint32(sampleRate)
           << qint32(sampleRate * bytesPerSample) << qint16(bytesPerSample) << qint16(8 * bytesPerSample);
    stream.writeRawData("data", 4);
    stream << dataBytes;
}

QByteArray resource(const QString &name)
{
    QFile file(QStringLiteral(":/fake-service/") + name);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return file.readAll();
}

} // namespace

QByteArray sineWav(int milliseconds, int frequency, int sampleRate)
{
    const qint32 samples =
        static_cast<qint32>(static_cast<qint64>(sampleRate) * std::max(0, milliseconds) / 1000);
    QByteArray out;
    QDataStream stream(&out, QIODevice::WriteOnly);
    writeWavHeader(stream, sampleRate, 2, samples * 2);
    for (qint32 i = 0; i < samples; ++i) {
        const double t = static_cast<double>(i) / sampleRate;
        stream << static_cast<qint16>(
            std::lround(0.3 * 32767 * std::sin(2 * std::numbers::pi * frequency * t)));
    }
    return out;
}

QByteArray demoVideo()
{
    return resource(QStringLiteral("demo-clip.mp4"));
}

QByteArray toneWav(int seconds, int frequency)
{
    constexpr int sampleRate = 8000;
    // One second holds whole periods of an integer frequency, so it repeats seamlessly.
    QByteArray second(sampleRate, char(128));
    for (int i = 0; i < sampleRate * 7 / 10; ++i) {
        const double t = static_cast<double>(i) / sampleRate;
        second[i] = static_cast<char>(128 + std::lround(40 * std::sin(2 * std::numbers::pi * frequency * t)));
    }
    const qint32 dataBytes = sampleRate * std::max(0, seconds);
    QByteArray out;
    out.reserve(44 + dataBytes);
    QDataStream stream(&out, QIODevice::WriteOnly);
    writeWavHeader(stream, sampleRate, 1, dataBytes);
    for (int i = 0; i < seconds; ++i) {
        out.append(second);
    }
    return out;
}

QByteArray demoVcrVideo()
{
    return resource(QStringLiteral("demo-vcr.mp4"));
}

QByteArray demoStarsVideo()
{
    return resource(QStringLiteral("demo-stars.mp4"));
}

int stepToneFrequency(int step)
{
    return 500 + 100 * step;
}

QList<int> stepToneFrequencies()
{
    QList<int> frequencies;
    for (int step = 0; step < stepToneSteps; ++step) {
        frequencies.append(stepToneFrequency(step));
    }
    return frequencies;
}

QByteArray stepToneVideo()
{
    return resource(QStringLiteral("step-tone.mp4"));
}

QByteArray stepToneWav(int seconds)
{
    constexpr int sampleRate = 16000;
    constexpr int stepSamples = sampleRate * stepToneStepMs / 1000;
    const qint32 samples = sampleRate * std::max(0, seconds);
    QByteArray out;
    out.reserve(44 + 2 * samples);
    QDataStream stream(&out, QIODevice::WriteOnly);
    writeWavHeader(stream, sampleRate, 2, 2 * samples);
    for (qint32 i = 0; i < samples; ++i) {
        const qint64 frequency = stepToneFrequency(i / stepSamples % stepToneSteps);
        // Every step holds whole periods, so the phase, taken exactly, runs on across steps.
        const double cycle = double(frequency * i % sampleRate) / sampleRate;
        stream << static_cast<qint16>(std::lround(0.4 * 32767 * std::sin(2 * std::numbers::pi * cycle)));
    }
    return out;
}

} // namespace FakeMedia
