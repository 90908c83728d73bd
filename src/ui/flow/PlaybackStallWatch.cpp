#include "PlaybackStallWatch.h"

#include <QLoggingCategory>

#include <algorithm>
#include <utility>

namespace {

Q_LOGGING_CATEGORY(lcStall, "quillory.media", QtWarningMsg)

} // namespace

PlaybackStallWatch::PlaybackStallWatch(Sinks sinks, QObject *parent)
    : QObject(parent)
    , m_sinks(std::move(sinks))
{
    m_clock.start();
    connect(&m_timer, &QTimer::timeout, this, &PlaybackStallWatch::look);
}

qint64 PlaybackStallWatch::now() const
{
    return m_sinks.now ? m_sinks.now() : m_clock.elapsed();
}

void PlaybackStallWatch::newFile()
{
    m_timer.stop();
    m_state = State::resting;
    m_retried = false;
    m_movedTo.reset();
}

void PlaybackStallWatch::played()
{
    watchFrom(m_movedTo ? *m_movedTo : m_sinks.position());
}

void PlaybackStallWatch::moved(qint64 milliseconds, bool playing)
{
    m_movedTo = milliseconds;
    if (playing) {
        watchFrom(milliseconds);
    }
}

void PlaybackStallWatch::paused()
{
    if (m_state == State::watching) {
        m_timer.stop();
        m_state = State::resting;
    }
}

void PlaybackStallWatch::watchFrom(qint64 milliseconds)
{
    if (m_state == State::failed) {
        return; // said once, until its next file
    }
    m_state = State::watching;
    m_from = milliseconds;
    m_since = now();
    m_quietSince = m_since;
    m_flow = m_sinks.flow();
    m_timer.start(std::max<qint64>(m_sinks.checkTime().count() / 5, 50));
}

void PlaybackStallWatch::look()
{
    if (m_state != State::watching) {
        return;
    }
    const qint64 at = now();
    const qint64 check = m_sinks.checkTime().count();
    const quint64 flow = m_sinks.flow();
    if (flow != m_flow) {
        m_flow = flow;
        m_quietSince = at;
        m_movedTo.reset();
        if (at - m_since >= 2 * check) {
            paused(); // it plays: at rest until the next play or move
        }
        return;
    }
    if (m_sinks.mayStandStill()) {
        m_quietSince = at; // quiet for a reason of its own: the check's time counts from its end
        return;
    }
    if (at - m_quietSince < check) {
        return;
    }
    m_timer.stop();
    if (!takeRetry()) {
        qCWarning(lcStall) << "nothing flowed again for" << check << "ms: stalled";
        m_state = State::failed;
        Q_EMIT failed();
        return;
    }
    qCWarning(lcStall) << "nothing flowed for" << check << "ms: loading it again from" << m_from;
    m_state = State::resting;
    Q_EMIT stalled(m_from);
}
