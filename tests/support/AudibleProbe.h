#pragma once

#include <QAudioDevice>
#include <QList>
#include <QObject>

#include <chrono>
#include <optional>
#include <vector>

class QAudioSource;
class QIODevice;

// Hears what the null sink of tests/support/run-with-audio.sh plays, through the sink's monitor
// (the source quillory_null_heard), as a listener in the room would: after every buffer of the
// players, the sink and the monitor.
//
// It records on the thread's event loop (one read per readyRead) and never waits: a question
// about sound not recorded yet, or from before the recording began, has no answer (nullopt).
// Times are milliseconds of the steady clock after the mark.
//
// A sample's time is read from the recording's own sample count, anchored at the read since the
// mark that came soonest after its samples, so an event loop that stood still delays no time
// stamp. The time line settles within a few reads; ask once the sound has been heard a while.
// What the monitor itself adds (the capture buffer and the pipe to this process) is not
// subtracted.
class AudibleProbe : public QObject
{
    Q_OBJECT

public:
    using Clock = std::chrono::steady_clock;
    // About -34 dBFS: far below any tone played, far above the null sink's digital silence.
    static constexpr double defaultThreshold = 0.02;

    explicit AudibleProbe(QObject *parent = nullptr);
    ~AudibleProbe() override;

    // The monitor of the null sink, when the audio system lists it.
    static std::optional<QAudioDevice> monitorDevice();

    // False when there is no monitor or it cannot be opened. Starting again restarts.
    bool start();
    void stop();
    bool isRecording() const { return m_source != nullptr; }
    // The monitor has delivered sound. It may take a second or two after start(); sound from
    // before the first sample delivered is never reported.
    bool isHearing() const { return m_anchorNs.has_value(); }

    // Times are measured from here on; sound recorded more than a second before it is dropped.
    void mark(Clock::time_point at = Clock::now());
    // The end of the recording so far.
    std::optional<double> recordedUntilMs() const;

    // The first sample at or after fromMs whose magnitude reaches threshold (full scale is 1).
    std::optional<double> firstAudibleMs(double fromMs = 0, double threshold = defaultThreshold) const;
    // The candidate frequency (Hz) that holds at least half the energy of the window
    // [atMs, atMs + windowMs); none when the window is not recorded yet, has no audible sample or
    // no candidate dominates. Candidates a multiple of 1000 / windowMs Hz apart do not leak into
    // each other.
    std::optional<int> dominantFrequency(double atMs, const QList<int> &candidates, double windowMs = 20,
                                         double threshold = defaultThreshold) const;
    // When one of the candidates is first heard at or after fromMs: the first audible sample of the
    // first 10 ms window a candidate dominates.
    std::optional<double> firstHeardMs(const QList<int> &candidates, double fromMs = 0,
                                       double threshold = defaultThreshold) const;
    // How long frequency dominated between fromMs and toMs, counted in 10 ms windows among the
    // candidates.
    double heardForMs(int frequency, const QList<int> &candidates, double fromMs, double toMs) const;
    // The lengths (ms) of the silences longer than minMs between fromMs and toMs: runs of samples
    // below threshold, as a dropout inside a tone sounds. Empty when that span is not recorded.
    QList<double> gapsOverMs(double fromMs, double toMs, double minMs,
                             double threshold = defaultThreshold) const;

    // A stretch in which one candidate frequency dominated, from the edge where it took over from
    // another candidate to the edge where the next one took over (ms after the mark).
    struct Step
    {
        int frequency = 0;
        double fromMs = 0;
        double toMs = 0;
        double lengthMs() const { return toMs - fromMs; }
    };
    // The steps between fromMs and toMs with a change of candidate at both ends. Every edge is
    // timed alike, whatever the pitches: where a 10 ms window sliding in 0.25 ms steps first holds
    // more of the new candidate than of the old one. An error of the method is then the same at
    // both ends of a step and falls out of its length, which an onset per pitch would not.
    // A silence inside a step lengthens it.
    QList<Step> stepsBetween(const QList<int> &candidates, double fromMs, double toMs) const;

Q_SIGNALS:
    // New samples have been recorded.
    void recorded();

private:
    void read();
    // Whether the recording reaches back to fromMs, so that a sound found after it began there.
    bool covers(double fromMs) const;
    // The absolute index of the first sample at or after ms, and ms of an absolute index.
    qint64 indexAt(double ms) const;
    double msAt(qint64 index) const;
    // The power of frequency in the window [atMs, atMs + windowMs); 0 where not recorded.
    double powerIn(double atMs, double windowMs, int frequency) const;

    QAudioSource *m_source = nullptr;
    QIODevice *m_device = nullptr;
    int m_rate = 48000;
    std::vector<float> m_samples; // from absolute index m_first on
    qint64 m_first = 0;
    qint64 m_received = 0;
    QByteArray m_oddByte;
    // Steady-clock nanoseconds of absolute sample 0, and of the mark.
    std::optional<qint64> m_anchorNs;
    bool m_reanchor = false;
    qint64 m_markNs = 0;
};
