#pragma once

#include "AudibleProbe.h"

#include <QList>
#include <QObject>

#include <optional>
#include <utility>

class QMediaPlayer;
class QVideoFrame;
class QVideoSink;

// The step-tone clip's frames as a picture shows them, set against the steps a listener hears:
// how much later than the picture reached a step the listener heard it. Frames count while the
// player plays; their place in the file is their time stamp less the first frame's (the clip's
// frames start late by its decoder's delay).
class ShownSteps : public QObject
{
public:
    ShownSteps(QVideoSink &picture, const QMediaPlayer &player, QObject *parent = nullptr);

    // Forgets the frames shown and counts time from now on; the probe is marked at the same time.
    void restart(AudibleProbe &probe);
    // The same, for a file already playing: long into it, the probe's time line is drawn afresh.
    // Also for the clip started again with a picture that may join it past its start: its frames
    // keep the clip's first stamp seen before.
    void remark(AudibleProbe &probe);
    // Milliseconds since the last restart.
    double sinceMs() const;
    // For each step the picture reached between fromMs and toMs: how much later it was heard.
    QList<double> heardLate(const AudibleProbe &probe, double fromMs, double toMs) const;

    // The middle of such figures, and the farthest any is from a reference.
    static double median(QList<double> late);
    static double farthestFrom(const QList<double> &late, double reference);
    // When (ms since the mark) the picture went back to an earlier step than the one it showed.
    QList<double> steppedBack(double fromMs, double toMs) const;

private:
    void shown(const QVideoFrame &frame);

    const QMediaPlayer &m_player;
    AudibleProbe::Clock::time_point m_marked = AudibleProbe::Clock::now();
    QList<std::pair<double, qint64>> m_frames; // (ms since the mark, ms into the file)
    std::optional<qint64> m_firstStamp;
    bool m_newSource = false;
    bool m_keepFirstStamp = false;
};
