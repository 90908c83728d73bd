#include "PictureKeeper.h"

#include "PlaybackPlayer.h"

#include <QLoggingCategory>
#include <QPointer>

#include <algorithm>
#include <limits>

namespace {

// A picture this far from its sound, steadily, is moved to where the sound is; this far, at once.
// Both run on the sound's clock, so their positions say what is heard and what is shown.
constexpr qint64 apartMs = 40;
// A gap that wavers more than this over the comparisons is not read yet.
constexpr qint64 waverMs = 40;
constexpr qint64 farApartMs = 1000;
// How often the picture is compared with the sound, and over how many comparisons.
constexpr auto checkEvery = std::chrono::milliseconds(100);
constexpr qsizetype samplesCompared = 5;
// Positions that advance within this of the time that passed run steadily.
constexpr qint64 steadyPercent = 15;
// A moved picture takes a while to show again (about this long here); what it took is learnt,
// within these bounds.
constexpr qint64 firstSeekLeadMs = 100;
constexpr qint64 longestSeekLeadMs = 400;
// Each move that leaves the picture out of bounds makes the next one wait longer; after a few,
// the item is left as it is: a freeze and a jump every second are worse than a steady gap.
constexpr qint64 firstBackOffMs = 1000;
constexpr int missesAllowed = 3;
constexpr int movesAllowed = 10;
// A drag with no step for this long has ended, whether or not its end was said.
constexpr auto dragEndsAfter = std::chrono::milliseconds(1000);

Q_LOGGING_CATEGORY(lcKeeper, "quillory.media", QtWarningMsg)

qint64 gapOf(qint64 sound, qint64 picture)
{
    return sound - picture; // how far the picture is behind
}

} // namespace

PictureKeeper::PictureKeeper(QObject *parent)
    : QObject(parent)
    , m_seekLeadMs(firstSeekLeadMs)
{
    m_timer.setInterval(checkEvery);
    connect(&m_timer, &QTimer::timeout, this, [this] { compare(m_clock.elapsed()); });
    m_dragEnd.setSingleShot(true);
    m_dragEnd.setInterval(dragEndsAfter);
    connect(&m_dragEnd, &QTimer::timeout, this, [this] { QCoro::connect(moveSound(), this, [] {}); });
}

void PictureKeeper::start(PlaybackPlayer *sound, PlaybackPlayer *picture)
{
    const std::optional<HeldMove> held = std::exchange(m_heldMove, std::nullopt);
    reset();
    m_sound = sound;
    m_picture = picture;
    m_clock.start();
    m_timer.start();
    if (held) {
        moveSoundTo(held->milliseconds, held->done);
    }
}

void PictureKeeper::stop()
{
    reset();
    m_sound = nullptr;
    m_picture = nullptr;
    m_heldMove.reset();
}

void PictureKeeper::reset()
{
    ++m_run;
    m_timer.stop();
    m_dragEnd.stop();
    forgetSamples();
    m_seeking = false;
    m_awaitingOutcome = false;
    m_pictureOnOwnClock = false;
    m_seekLeadMs = firstSeekLeadMs;
    m_moves = 0;
    m_misses = 0;
    m_notBeforeMs = 0;
    m_soundTarget.reset();
    m_soundMoving = false;
}

void PictureKeeper::forgetSamples()
{
    m_samples.clear();
}

void PictureKeeper::moveBoth(qint64 milliseconds, bool done)
{
    if (!m_sound) {
        return;
    }
    // Nothing seen before this tells how a move of the keeper's own turned out.
    ++m_run;
    m_seeking = false;
    m_awaitingOutcome = false;
    forgetSamples();
    QCoro::connect(m_picture->seek(milliseconds), this, [] {});
    moveSoundTo(milliseconds, done);
}

void PictureKeeper::moveSoundTo(qint64 milliseconds, bool done)
{
    m_soundTarget = milliseconds;
    if (done) {
        m_dragEnd.stop();
        QCoro::connect(moveSound(), this, [] {});
    } else {
        m_dragEnd.start();
    }
}

QCoro::Task<> PictureKeeper::moveSound()
{
    if (m_soundMoving) {
        co_return; // the move under way takes the new target up
    }
    QPointer<PictureKeeper> self(this);
    while (m_sound && m_soundTarget && !m_dragEnd.isActive()) {
        const qint64 target = *std::exchange(m_soundTarget, std::nullopt);
        m_soundMoving = true;
        // Moved while paused and set going again: a sound that is its own pipeline's clock,
        // flushed while playing, could stand still for good.
        const bool playing = m_sound->isPlaying();
        if (playing) {
            m_sound->pause();
        }
        auto seek = m_sound->seek(target);
        co_await seek;
        if (!self) {
            co_return;
        }
        if (playing && m_sound) {
            m_sound->play();
        }
        m_soundMoving = false;
    }
    forgetSamples();
}

bool PictureKeeper::steadyWindow() const
{
    if (m_samples.size() < samplesCompared) {
        return false;
    }
    const Sample &first = m_samples.first();
    const Sample &last = m_samples.last();
    const qint64 ran = last.at - first.at;
    const auto steady = [ran](qint64 moved) {
        return ran > 0 && std::abs(moved - ran) * 100 <= steadyPercent * ran;
    };
    qint64 least = std::numeric_limits<qint64>::max();
    qint64 most = std::numeric_limits<qint64>::min();
    for (const Sample &sample : m_samples) {
        least = std::min(least, gapOf(sample.sound, sample.picture));
        most = std::max(most, gapOf(sample.sound, sample.picture));
    }
    // The sound's position is coarse: a gap that wavers more than this is not read yet.
    return most - least <= waverMs && steady(last.sound - first.sound) &&
           steady(last.picture - first.picture);
}

qint64 PictureKeeper::meanGap() const
{
    qint64 sum = 0;
    for (const Sample &sample : m_samples) {
        sum += gapOf(sample.sound, sample.picture);
    }
    return sum / m_samples.size();
}

void PictureKeeper::compare(qint64 atMs)
{
    if (!m_sound || m_seeking || m_soundMoving || m_soundTarget) {
        forgetSamples();
        return;
    }
    if (m_sound->hasEnded() && !m_pictureOnOwnClock && m_picture->isPlaying()) {
        // The sound has ended, and with it the clock the picture keeps time by: the picture plays
        // on by a clock of its own, taken up as it is set going again. A sound that only stands
        // still a while (loaded again, or moved) keeps its picture.
        m_pictureOnOwnClock = true;
        m_picture->keepTimeWith(nullptr);
        m_picture->pause();
        m_picture->play();
    } else if (m_pictureOnOwnClock && m_sound->isPlaying()) {
        // Played again (moved back from its end): the picture keeps time with it again.
        m_pictureOnOwnClock = false;
        m_picture->keepTimeWith(m_sound);
        m_picture->pause();
        m_picture->play();
    }
    if (!m_sound->isPlaying() || !m_picture->isPlaying()) {
        // A picture paused alone waits where it is; played again, it rejoins the sound. What a
        // pause leaves behind is no outcome of a move.
        forgetSamples();
        m_awaitingOutcome = false;
        return;
    }
    m_samples.append({atMs, m_sound->position(), m_picture->position()});
    if (m_samples.size() > samplesCompared) {
        m_samples.removeFirst();
    }
    const bool steady = steadyWindow();
    if (m_awaitingOutcome) {
        if (steady) {
            judge(atMs);
        }
        // One move at a time: the next waits for what this one did.
        return;
    }
    if (m_misses >= missesAllowed || m_moves >= movesAllowed || atMs < m_notBeforeMs) {
        return;
    }
    const auto gapAt = [this](qsizetype i) { return gapOf(m_samples.at(i).sound, m_samples.at(i).picture); };
    // A picture seconds away (paused alone, then played) is moved at once; any other only when
    // both have run steadily apart for a while: the sound's position is coarse and settles only
    // after its first seconds.
    const qsizetype n = m_samples.size();
    const bool farApart =
        n >= 2 && std::abs(gapAt(n - 1)) > farApartMs && std::abs(gapAt(n - 2)) > farApartMs;
    if (!farApart) {
        if (!steady) {
            return;
        }
        const qint64 gap = meanGap();
        if (std::abs(gap) <= apartMs) {
            return;
        }
    }
    QCoro::connect(movePicture(), this, [] {});
}

void PictureKeeper::judge(qint64 atMs)
{
    m_awaitingOutcome = false;
    // Left behind, the move took longer than its lead; ahead, less.
    const qint64 gap = meanGap();
    m_seekLeadMs = std::clamp(m_seekLeadMs + gap, qint64(0), longestSeekLeadMs);
    if (std::abs(gap) > apartMs) {
        ++m_misses;
        m_notBeforeMs = atMs + (firstBackOffMs << (m_misses - 1));
    }
    qCDebug(lcKeeper).nospace() << "keeper: move left the picture " << gap << " ms behind its sound; lead "
                                << m_seekLeadMs << " ms";
}

QCoro::Task<> PictureKeeper::movePicture()
{
    const Sample &last = m_samples.last();
    const qint64 behind = gapOf(last.sound, last.picture);
    const qint64 target = m_sound->position() + m_seekLeadMs;
    ++m_moves;
    qCDebug(lcKeeper).nospace() << "keeper: moved picture " << behind << " ms behind its sound to " << target
                                << " ms (lead " << m_seekLeadMs << " ms, move " << m_moves << ")";
    const quint64 run = m_run;
    QPointer<PictureKeeper> self(this);
    m_seeking = true;
    forgetSamples();
    auto seek = m_picture->seek(target);
    co_await seek;
    if (!self || run != m_run) {
        co_return;
    }
    m_seeking = false;
    m_awaitingOutcome = true;
}
