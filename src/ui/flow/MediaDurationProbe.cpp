#include "MediaDurationProbe.h"

#include "MediaSourceGate.h"

#include <QAudioOutput>
#include <QCoro/QCoroSignal>
#include <QMediaPlayer>
#include <QTimer>
#include <QUrl>

#include <cmath>
#include <limits>

namespace {

// Reports once, by `finished`, and then deletes itself; a time-out guarantees the report.
class Probe : public QObject
{
    Q_OBJECT

public:
    Probe(const QString &path, int timeoutMs)
    {
        // Without an audio output some backends fail an audio-only file before its length is
        // known; the output stays silent.
        m_output.setVolume(0);
        m_output.setMuted(true);
        m_player.setAudioOutput(&m_output);
        connect(&m_player, &QMediaPlayer::durationChanged, this, [this](qint64 ms) {
            if (ms > 0) {
                finish(ms);
            }
        });
        connect(&m_player, &QMediaPlayer::mediaStatusChanged, this, [this](QMediaPlayer::MediaStatus status) {
            if (status == QMediaPlayer::InvalidMedia) {
                finish(-1);
            } else if (status == QMediaPlayer::LoadedMedia || status == QMediaPlayer::BufferedMedia) {
                if (m_player.duration() > 0) {
                    finish(m_player.duration());
                } else if (m_timer.remainingTime() > loadedGraceMs) {
                    // The length may still follow the loaded state; a file without one ends sooner.
                    m_timer.start(loadedGraceMs);
                }
            }
        });
        connect(&m_player, &QMediaPlayer::errorOccurred, this, [this] { finish(-1); });
        m_timer.setSingleShot(true);
        m_timer.setInterval(timeoutMs);
        connect(&m_timer, &QTimer::timeout, this, [this] { finish(-1); });
        // Started from the event loop, after the caller is listening for `finished`.
        QTimer::singleShot(0, this, [this, path] {
            m_timer.start();
            MediaSourceGate::setSource(m_player, QUrl::fromLocalFile(path));
        });
    }

Q_SIGNALS:
    void finished(qint64 ms);

private:
    static constexpr int loadedGraceMs = 1500;

    void finish(qint64 ms)
    {
        if (m_done) {
            return;
        }
        m_done = true;
        m_timer.stop();
        Q_EMIT finished(ms);
        deleteLater();
    }

    QAudioOutput m_output;
    QMediaPlayer m_player;
    QTimer m_timer;
    bool m_done = false;
};

} // namespace

namespace MediaDurationProbe {

QCoro::Task<std::optional<qint64>> measure(QString path, int timeoutMs)
{
    auto *probe = new Probe(path, timeoutMs);
    auto report = qCoro(probe, &Probe::finished);
    const qint64 ms = co_await report;
    co_return ms > 0 ? std::optional<qint64>(ms) : std::nullopt;
}

qint64 roundedSeconds(std::optional<double> seconds)
{
    if (!seconds) {
        return 0;
    }
    const double rounded = std::round(*seconds);
    // 2^63 itself is out of range; the largest double below it is the last one that converts.
    if (!std::isfinite(rounded) || rounded >= 9223372036854775808.0 || rounded < -9223372036854775808.0) {
        return 0;
    }
    return static_cast<qint64>(rounded);
}

} // namespace MediaDurationProbe

#include "MediaDurationProbe.moc"
