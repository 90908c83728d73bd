#include "PictureKeeper.h"

#include "PlaybackPlayer.h"

#include <QLoggingCategory>
#include <QPointer>

#include <algorithm>
#include <limits>

namespace {

// A picture this far from its sound, steadily, is moved to where the sound is; this far, at once.
constexpr qint64 apartMs = 80;
constexpr qint64 farApartMs = 1000;
// How often the picture is compared with the sound, and over how many comparisons.
constexpr auto checkEvery = std::chrono::milliseconds(100);
constexpr qsizetype samplesCompared = 5;
// Positions that advance within this of the time that passed run steadily.
constexpr qint64 steadyPercent = 15;
// A moved picture takes a while to show again (about this long here); what it took is learnt,
// within this bound.
constexpr qint64 firstSeekLeadMs = 100;
constexpr qint64 longestSeekLeadMs = 400;
constexpr qint64 relearnWithinMs = 3000;

Q_LOGGING_CATEGORY(lcKeeper, "quillory.media", QtWarningMsg)

} // namespace

PictureKeeper::PictureKeeper(QObject *parent)
    : QObject(parent)
    , m_seekLeadMs(firstSeekLeadMs)
{
    m_timer.setInterval(checkEvery);
    connect(&m_timer, &QTimer::timeout, this, [this] { QCoro::connect(check(), this, [] {}); });
}

void PictureKeeper::start(PlaybackPlayer *sound, PlaybackPlayer *picture)
{
    stop();
    m_sound = sound;
    m_picture = picture;
    m_timer.start();
}

void PictureKeeper::stop()
{
    ++m_run;
    m_timer.stop();
    m_samples.clear();
    m_seeking = false;
}

QCoro::Task<> PictureKeeper::check()
{
    if (m_seeking || !m_sound || !m_picture || !m_sound->isPlaying() || !m_picture->isPlaying()) {
        m_samples.clear(); // a paused picture waits where it is; played again, it rejoins the sound
        co_return;
    }
    if (!m_clock.isValid()) {
        m_clock.start();
    }
    m_samples.append({m_clock.elapsed(), m_sound->position(), m_picture->position()});
    if (m_samples.size() > samplesCompared) {
        m_samples.removeFirst();
    }
    const auto gap = [](const Sample &sample) { return sample.sound - sample.picture; };
    const qint64 behind = gap(m_samples.last());
    // A picture seconds away (paused alone, then played) is moved at once; any other only when
    // both have run steadily apart for a while: the sound's position is coarse and settles only
    // after its first seconds.
    const bool farApart = m_samples.size() >= 2 && std::abs(behind) > farApartMs &&
                          std::abs(gap(m_samples.at(m_samples.size() - 2))) > farApartMs;
    if (!farApart) {
        if (m_samples.size() < samplesCompared) {
            co_return;
        }
        const Sample &first = m_samples.first();
        const Sample &last = m_samples.last();
        const qint64 ran = last.at - first.at;
        const auto steady = [ran](qint64 moved) { return std::abs(moved - ran) * 100 <= steadyPercent * ran; };
        qint64 least = std::numeric_limits<qint64>::max();
        qint64 most = std::numeric_limits<qint64>::min();
        for (const Sample &sample : std::as_const(m_samples)) {
            least = std::min(least, gap(sample));
            most = std::max(most, gap(sample));
        }
        const bool apart = least > apartMs || most < -apartMs;
        if (!apart || most - least > apartMs / 2 || !steady(last.sound - first.sound) ||
            !steady(last.picture - first.picture)) {
            co_return;
        }
    }
    if (m_lastSeek.isValid() && m_lastSeek.elapsed() < relearnWithinMs) {
        // Moved a moment ago and apart again the same way: the move itself took that much longer.
        m_seekLeadMs = std::clamp(m_seekLeadMs + behind, qint64(0), longestSeekLeadMs);
    }
    qCDebug(lcKeeper) << "picture" << behind << "ms behind its sound: moved" << m_seekLeadMs << "ms ahead of it";
    const quint64 run = m_run;
    QPointer<PictureKeeper> self(this);
    m_seeking = true;
    m_samples.clear();
    auto seek = m_picture->seek(m_sound->position() + m_seekLeadMs);
    co_await seek;
    if (!self || run != m_run) {
        co_return;
    }
    m_seeking = false;
    m_lastSeek.start();
}
