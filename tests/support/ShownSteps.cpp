#include "ShownSteps.h"

#include "FakeMedia.h"

#include <QMediaPlayer>
#include <QVideoFrame>
#include <QVideoSink>

#include <algorithm>
#include <cmath>

ShownSteps::ShownSteps(QVideoSink &picture, const QMediaPlayer &player, QObject *parent)
    : QObject(parent)
    , m_player(player)
{
    connect(&picture, &QVideoSink::videoFrameChanged, this, &ShownSteps::shown);
    // Another file's frames have time stamps of their own; a file joined past its start keeps
    // the first stamp seen of it before.
    connect(&player, &QMediaPlayer::sourceChanged, this, [this] {
        m_frames.clear();
        m_newSource = true;
    });
}

void ShownSteps::restart(AudibleProbe &probe)
{
    m_frames.clear();
    m_firstStamp.reset();
    m_keepFirstStamp = false;
    m_marked = AudibleProbe::Clock::now();
    probe.mark(m_marked);
}

void ShownSteps::remark(AudibleProbe &probe)
{
    m_frames.clear();
    m_keepFirstStamp = m_firstStamp.has_value();
    m_marked = AudibleProbe::Clock::now();
    probe.mark(m_marked);
}

double ShownSteps::sinceMs() const
{
    return std::chrono::duration<double, std::milli>(AudibleProbe::Clock::now() - m_marked).count();
}

void ShownSteps::shown(const QVideoFrame &frame)
{
    if (!frame.isValid() || frame.startTime() < 0 || m_player.playbackState() != QMediaPlayer::PlayingState) {
        return;
    }
    const qint64 stamp = frame.startTime() / 1000;
    if (!m_firstStamp || (m_newSource && !m_keepFirstStamp && stamp < FakeMedia::stepToneStepMs)) {
        m_firstStamp = stamp;
    }
    m_newSource = false;
    m_frames.append({sinceMs(), stamp - *m_firstStamp});
}

QList<double> ShownSteps::heardLate(const AudibleProbe &probe, double fromMs, double toMs) const
{
    QList<double> late;
    for (const auto &[at, into] : m_frames) {
        const qint64 intoStep = into % FakeMedia::stepToneStepMs;
        // The first frame of each step but the file's first, which has no step before it to end.
        if (at < fromMs || at >= toMs || intoStep >= 100 || into < FakeMedia::stepToneStepMs) {
            continue;
        }
        const int step = int(into / FakeMedia::stepToneStepMs) % FakeMedia::stepToneSteps;
        const double pictureAt = at - intoStep;
        if (const auto heard = probe.firstHeardMs({FakeMedia::stepToneFrequency(step)}, pictureAt - 400)) {
            late.append(*heard - pictureAt);
        }
    }
    return late;
}

QList<double> ShownSteps::steppedBack(double fromMs, double toMs) const
{
    QList<double> back;
    qint64 previous = 0;
    for (const auto &[at, into] : m_frames) {
        const qint64 step = into / FakeMedia::stepToneStepMs;
        if (at >= fromMs && at < toMs && step < previous) {
            back.append(at);
        }
        previous = step;
    }
    return back;
}

double ShownSteps::median(QList<double> late)
{
    std::sort(late.begin(), late.end());
    return late.isEmpty() ? 0.0 : late.at(late.size() / 2);
}

double ShownSteps::farthestFrom(const QList<double> &late, double reference)
{
    double most = 0;
    for (double l : late) {
        most = std::max(most, std::abs(l - reference));
    }
    return most;
}
