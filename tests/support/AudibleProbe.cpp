#include "AudibleProbe.h"

#include <QAudioFormat>
#include <QAudioSource>
#include <QMediaDevices>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr int scanWindowMs = 10;

qint64 nanosecondsNow()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(AudibleProbe::Clock::now().time_since_epoch())
        .count();
}

// Goertzel: the power of one frequency in the samples.
double powerAt(const float *samples, qsizetype count, double frequency, int rate)
{
    const double coefficient = 2 * std::cos(2 * std::numbers::pi * frequency / rate);
    double previous = 0;
    double beforePrevious = 0;
    for (qsizetype i = 0; i < count; ++i) {
        const double current = samples[i] + coefficient * previous - beforePrevious;
        beforePrevious = previous;
        previous = current;
    }
    return previous * previous + beforePrevious * beforePrevious - coefficient * previous * beforePrevious;
}

} // namespace

AudibleProbe::AudibleProbe(QObject *parent)
    : QObject(parent)
{
    mark();
}

AudibleProbe::~AudibleProbe()
{
    stop();
}

std::optional<QAudioDevice> AudibleProbe::monitorDevice()
{
    for (const QAudioDevice &device : QMediaDevices::audioInputs()) {
        if (device.id() == "quillory_null_heard") {
            return device;
        }
    }
    return std::nullopt;
}

bool AudibleProbe::start()
{
    stop();
    const std::optional<QAudioDevice> device = monitorDevice();
    if (!device) {
        return false;
    }
    QAudioFormat format;
    format.setSampleRate(m_rate);
    format.setChannelCount(1);
    format.setSampleFormat(QAudioFormat::Int16);
    if (!device->isFormatSupported(format)) {
        return false;
    }
    m_samples.clear();
    m_first = 0;
    m_received = 0;
    m_oddByte.clear();
    m_anchorNs.reset();
    m_reanchor = false;
    m_source = new QAudioSource(*device, format, this);
    // Short reads, so a sample reaches this process soon after the sink plays it. They also keep
    // the null sink's blocks short: it renders as far ahead as its clients allow, and its monitor
    // keeps a block rendered before a new sound came in, where a sound card would be rewound.
    // Read in blocks of 2 s, a known tone is heard 1.6 s late and an item loses its first 0.2 s.
    m_source->setBufferSize(format.bytesForDuration(20000));
    m_device = m_source->start();
    if (!m_device) {
        stop();
        return false;
    }
    connect(m_device, &QIODevice::readyRead, this, &AudibleProbe::read);
    return true;
}

void AudibleProbe::stop()
{
    if (!m_source) {
        return;
    }
    if (m_device) {
        m_device->disconnect(this);
    }
    m_source->stop();
    delete m_source;
    m_source = nullptr;
    m_device = nullptr;
}

void AudibleProbe::read()
{
    if (!m_device) {
        return;
    }
    const qint64 now = nanosecondsNow();
    QByteArray bytes = m_oddByte + m_device->readAll();
    const qsizetype count = bytes.size() / 2;
    m_oddByte = bytes.mid(count * 2);
    if (count == 0) {
        return;
    }
    const auto *samples = reinterpret_cast<const qint16 *>(bytes.constData());
    for (qsizetype i = 0; i < count; ++i) {
        m_samples.push_back(float(samples[i]) / 32768.0f);
    }
    m_received += count;
    // The last sample of this read was captured at the latest now; the read with the least delay
    // since the mark fixes the time line best. (The monitor's sample clock drifts from the steady
    // clock by about 0.1 ms a second, so an older read would not.)
    const qint64 anchor = now - m_received * 1'000'000'000 / m_rate;
    m_anchorNs = m_anchorNs && !m_reanchor ? std::min(*m_anchorNs, anchor) : anchor;
    m_reanchor = false;
    Q_EMIT recorded();
}

void AudibleProbe::mark(Clock::time_point at)
{
    m_markNs = std::chrono::duration_cast<std::chrono::nanoseconds>(at.time_since_epoch()).count();
    if (!m_anchorNs) {
        return;
    }
    const qint64 keepFrom = std::clamp<qint64>(indexAt(-1000), m_first, m_first + qint64(m_samples.size()));
    m_samples.erase(m_samples.begin(), m_samples.begin() + (keepFrom - m_first));
    m_first = keepFrom;
    m_reanchor = true;
}

qint64 AudibleProbe::indexAt(double ms) const
{
    const double fromAnchorNs = double(m_markNs - *m_anchorNs) + ms * 1e6;
    return qint64(std::ceil(fromAnchorNs * m_rate / 1e9));
}

double AudibleProbe::msAt(qint64 index) const
{
    return (double(*m_anchorNs - m_markNs) + double(index) * 1e9 / m_rate) / 1e6;
}

std::optional<double> AudibleProbe::recordedUntilMs() const
{
    if (!m_anchorNs) {
        return std::nullopt;
    }
    return msAt(m_received);
}

bool AudibleProbe::covers(double fromMs) const
{
    return m_anchorNs && indexAt(fromMs) >= m_first;
}

std::optional<double> AudibleProbe::firstAudibleMs(double fromMs, double threshold) const
{
    if (!covers(fromMs)) {
        return std::nullopt;
    }
    const qint64 end = m_first + qint64(m_samples.size());
    for (qint64 i = indexAt(fromMs); i < end; ++i) {
        if (std::abs(m_samples[i - m_first]) >= threshold) {
            return msAt(i);
        }
    }
    return std::nullopt;
}

std::optional<int> AudibleProbe::dominantFrequency(double atMs, const QList<int> &candidates, double windowMs,
                                                   double threshold) const
{
    if (!m_anchorNs || candidates.isEmpty()) {
        return std::nullopt;
    }
    const qint64 begin = indexAt(atMs);
    const qint64 count = qint64(std::lround(windowMs * m_rate / 1000));
    if (begin < m_first || begin + count > m_first + qint64(m_samples.size()) || count <= 0) {
        return std::nullopt;
    }
    const float *window = m_samples.data() + (begin - m_first);
    double energy = 0;
    float loudest = 0;
    for (qint64 i = 0; i < count; ++i) {
        energy += double(window[i]) * window[i];
        loudest = std::max(loudest, std::abs(window[i]));
    }
    if (loudest < threshold) {
        return std::nullopt;
    }
    int best = candidates.first();
    double bestPower = -1;
    for (int frequency : candidates) {
        const double power = powerAt(window, count, frequency, m_rate);
        if (power > bestPower) {
            best = frequency;
            bestPower = power;
        }
    }
    // A pure tone filling the window gives a power of (N / 2) times its energy.
    if (bestPower < 0.5 * (double(count) / 2) * energy) {
        return std::nullopt;
    }
    return best;
}

std::optional<double> AudibleProbe::firstHeardMs(const QList<int> &candidates, double fromMs,
                                                 double threshold) const
{
    const std::optional<double> until = recordedUntilMs();
    if (!until || !covers(fromMs)) {
        return std::nullopt;
    }
    // Steps of a quarter window: the first window a tone dominates is mostly filled by it, so
    // the tone began at most one window earlier. It begins after the last millisecond of silence
    // in that window, or, when another sound ran into it, with the window.
    const qint64 from = indexAt(fromMs);
    const qint64 silence = m_rate / 1000;
    for (double at = fromMs; at + scanWindowMs <= *until; at += scanWindowMs / 4.0) {
        if (!dominantFrequency(at, candidates, scanWindowMs, threshold)) {
            continue;
        }
        const qint64 start = indexAt(at);
        const qint64 earliest = std::max(from, start - qint64(scanWindowMs) * m_rate / 1000);
        qint64 quiet = 0;
        for (qint64 i = start - 1; i >= earliest; --i) {
            quiet = std::abs(m_samples[i - m_first]) < threshold ? quiet + 1 : 0;
            if (quiet >= silence) {
                return firstAudibleMs(msAt(i), threshold);
            }
        }
        return firstAudibleMs(at, threshold);
    }
    return std::nullopt;
}

double AudibleProbe::heardForMs(int frequency, const QList<int> &candidates, double fromMs, double toMs) const
{
    double heard = 0;
    for (double at = fromMs; at + scanWindowMs <= toMs; at += scanWindowMs) {
        if (dominantFrequency(at, candidates, scanWindowMs) == frequency) {
            heard += scanWindowMs;
        }
    }
    return heard;
}

QList<double> AudibleProbe::gapsOverMs(double fromMs, double toMs, double minMs, double threshold) const
{
    QList<double> gaps;
    if (!covers(fromMs) || recordedUntilMs() < toMs) {
        return gaps;
    }
    const qint64 end = std::min(indexAt(toMs), m_first + qint64(m_samples.size()));
    const double longerThan = minMs * m_rate / 1000;
    qint64 quiet = 0;
    for (qint64 i = indexAt(fromMs); i <= end; ++i) {
        if (i < end && std::abs(m_samples[i - m_first]) < threshold) {
            ++quiet;
            continue;
        }
        if (quiet > longerThan) {
            gaps.append(double(quiet) * 1000 / m_rate);
        }
        quiet = 0;
    }
    return gaps;
}

double AudibleProbe::powerIn(double atMs, double windowMs, int frequency) const
{
    const qint64 begin = indexAt(atMs);
    const qint64 count = qint64(std::lround(windowMs * m_rate / 1000));
    if (begin < m_first || begin + count > m_first + qint64(m_samples.size())) {
        return 0;
    }
    return powerAt(m_samples.data() + (begin - m_first), count, frequency, m_rate);
}

QList<AudibleProbe::Step> AudibleProbe::stepsBetween(const QList<int> &candidates, double fromMs,
                                                     double toMs) const
{
    struct Edge
    {
        int from;
        int to;
        double atMs;
    };
    constexpr double scanStepMs = scanWindowMs / 4.0;
    constexpr double edgeStepMs = 0.25;
    // A candidate takes over once it dominates this many windows running: one window straddling
    // two steps can be read as a third candidate.
    constexpr int windowsToTakeOver = 3;
    QList<Edge> edges;
    if (!covers(fromMs) || recordedUntilMs() < toMs) {
        return {};
    }
    int current = 0;
    double currentLastMs = 0;
    int pending = 0;
    int pendingCount = 0;
    double pendingFirstMs = 0;
    for (double at = fromMs; at + scanWindowMs <= toMs; at += scanStepMs) {
        const int heard = dominantFrequency(at, candidates, scanWindowMs).value_or(0);
        if (heard == 0) {
            pendingCount = 0;
            continue;
        }
        if (heard == current) {
            currentLastMs = at;
            pendingCount = 0;
            continue;
        }
        if (heard != pending || pendingCount == 0) {
            pending = heard;
            pendingCount = 0;
            pendingFirstMs = at;
        }
        if (++pendingCount < windowsToTakeOver) {
            continue;
        }
        if (current != 0) {
            // Between the last window of the old candidate and the first of the new one.
            double edge = pendingFirstMs + scanWindowMs / 2;
            for (double p = currentLastMs; p <= pendingFirstMs; p += edgeStepMs) {
                if (powerIn(p, scanWindowMs, pending) > powerIn(p, scanWindowMs, current)) {
                    edge = p + scanWindowMs / 2;
                    break;
                }
            }
            edges.append({current, pending, edge});
        }
        current = pending;
        currentLastMs = at;
        pendingCount = 0;
    }
    QList<Step> steps;
    for (qsizetype i = 1; i < edges.size(); ++i) {
        if (edges.at(i).from == edges.at(i - 1).to) {
            steps.append({edges.at(i).from, edges.at(i - 1).atMs, edges.at(i).atMs});
        }
    }
    return steps;
}
