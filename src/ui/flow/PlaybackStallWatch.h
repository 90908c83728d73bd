#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <functional>
#include <optional>

// Tells whether a file that is to play really plays, by what reaches its sinks (sound buffers at
// its sound output, frames at its picture), never by the position its player reports: Qt leaves
// that standing while a pipeline that cannot answer plays on.
//
//   resting  --play, or a move while playing-->  watching  --flow over twice the check's time-->  resting
//   watching --nothing flows for the check's time-->  stalled: the file's one retry, else failed
//
// A first stall asks for the file to be loaded again from where it was played or moved (its
// position may stand there whatever played since); a stall after that retry is said. A pause puts
// it to rest; a new file starts afresh, its retry unspent.
class PlaybackStallWatch : public QObject
{
    Q_OBJECT

public:
    enum class State { resting, watching, failed };

    // What it watches.
    struct Sinks
    {
        std::function<quint64()> flow;         // buffers that reached the file's sinks so far
        std::function<bool()> mayStandStill;   // nothing need flow now: its end, a clock standing still
        std::function<qint64()> position;      // where the player says it is, in milliseconds
        std::function<std::chrono::milliseconds()> checkTime;
        std::function<qint64()> now;           // milliseconds; none: the watch's own clock
    };

    explicit PlaybackStallWatch(Sinks sinks, QObject *parent = nullptr);

    void newFile();
    void played();
    void moved(qint64 milliseconds, bool playing);
    void paused();
    // Spends the file's one retry on another failure; false when it is spent.
    bool takeRetry() { return !std::exchange(m_retried, true); }

    State state() const { return m_state; }
    // One look at the flow; the timer looks every fifth of the check's time while it watches.
    void look();

Q_SIGNALS:
    // Nothing flowed: load the file again and go on from `resumeFrom`.
    void stalled(qint64 resumeFrom);
    // Nothing flowed after the retry either.
    void failed();

private:
    qint64 now() const;
    void watchFrom(qint64 milliseconds);

    Sinks m_sinks;
    State m_state = State::resting;
    bool m_retried = false;
    QTimer m_timer;
    QElapsedTimer m_clock;
    // Where the latest move took the file, until anything flowed after it.
    std::optional<qint64> m_movedTo;
    // The watch under way: where and when it set out, the flow last seen, and since when nothing
    // has flowed that had to.
    qint64 m_from = 0;
    qint64 m_since = 0;
    quint64 m_flow = 0;
    qint64 m_quietSince = 0;
};
