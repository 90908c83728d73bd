#include "PlaybackCoordinator.h"
#include "NotifyingAssign.h"

#include "Error.h"
#include "api/APIClient.h"
#include "api/PreparedAssetCache.h"

#include "rules/TextRules.h"

#include <QLoggingCategory>
#include <QMediaPlayer>
#include <QPointer>

#include <algorithm>
#include <limits>

namespace {

const QString audioCategory = QStringLiteral("audio");
const QString videoCategory = QStringLiteral("video");
// A picture this far from its sound, steadily, is moved to where the sound is; this far, at once.
constexpr qint64 apartMs = 80;
constexpr qint64 farApartMs = 1000;
// How often the picture is compared with the sound, and over how many comparisons.
constexpr auto keepTogetherEvery = std::chrono::milliseconds(100);
constexpr qsizetype togetherSamples = 5;
// Positions that advance within this of the time that passed run steadily.
constexpr qint64 steadyPercent = 15;
// A moved picture takes a while to show again (about this long here); what it took is learnt,
// within this bound.
constexpr qint64 firstSeekLeadMs = 100;
constexpr qint64 longestSeekLeadMs = 400;
constexpr qint64 relearnWithinMs = 3000;

Q_LOGGING_CATEGORY(lcPlayback, "quillory.media", QtWarningMsg)

bool hasAsset(const std::optional<QString> &assetID)
{
    return assetID && !assetID->isEmpty();
}

} // namespace

PlaybackCoordinator::PlaybackCoordinator(APIClient &client, QObject *parent)
    : PlaybackCoordinator(client, nullptr, nullptr, parent)
{}

PlaybackCoordinator::PlaybackCoordinator(APIClient &client, std::unique_ptr<PlaybackPlayer> audioPlayer,
                                         std::unique_ptr<PlaybackPlayer> videoPlayer, QObject *parent)
    : QObject(parent)
    , m_client(client)
    , m_audioPlayer(std::move(audioPlayer))
    , m_videoPlayer(std::move(videoPlayer))
    , m_seekLeadMs(firstSeekLeadMs)
{
    m_keepTogether.setInterval(keepTogetherEvery);
    connect(&m_keepTogether, &QTimer::timeout, this,
            [this] { QCoro::connect(keepPictureWithSound(), this, [] {}); });
    followReplacedPlayers();
}

PlaybackCoordinator::~PlaybackCoordinator() = default;

void PlaybackCoordinator::borrowPlayers()
{
    if (m_audioPlayer) {
        return;
    }
    m_audioPlayer = makeMediaPlayer();
    m_videoPlayer = makeMediaPlayer();
    followReplacedPlayers();
    Q_EMIT playersChanged();
}

void PlaybackCoordinator::followReplacedPlayers()
{
    for (PlaybackPlayer *player : {m_audioPlayer.get(), m_videoPlayer.get()}) {
        if (player) {
            player->onMediaPlayerReplaced([this] { Q_EMIT playersChanged(); });
        }
    }
    // A file that cannot be played is said so in the bar; the other player goes on.
    if (m_audioPlayer) {
        m_audioPlayer->onFailed([this](const QString &reason) {
            setError(QStringLiteral("无法播放音频“%1”：%2").arg(m_audioName, reason));
        });
        m_videoPlayer->onFailed([this](const QString &reason) {
            setError(QStringLiteral("无法播放视频“%1”：%2").arg(m_videoName, reason));
        });
    }
}

void PlaybackCoordinator::stop()
{
    ++m_generation;
    ++m_videoGeneration;
    m_keepTogether.stop();
    m_together.clear();
    if (m_audioPlayer) {
        m_audioPlayer->pause();
        m_videoPlayer->pause();
        m_audioPlayer->setSource({});
        m_videoPlayer->setSource({});
    }
    setActiveItemID(std::nullopt);
    m_lastAudioEnabled = false;
    m_lastVideoEnabled = false;
    setTitle({});
    setAudioName({});
    setVideoName({});
    setError({});
    // Work still in flight belongs to a generation that is gone and will not report back.
    m_startPreparing = false;
    m_videoPreparing = false;
    updatePreparing();
}

QCoro::Task<> PlaybackCoordinator::sync(std::optional<RundownItem> item, bool audioEnabled, bool videoEnabled,
                                        bool force)
{
    if (!item || item->liveStatus != RundownValues::live) {
        // Already stopped: the poll of a show with nothing live touches no player.
        if (m_activeItemID) {
            stop();
        }
        co_return;
    }
    const bool sameItem = m_activeItemID == item->id;
    if (sameItem) {
        // The live item can be renamed while it plays.
        setTitle(TextRules::programTitle(item->title));
    }
    if (sameItem && audioEnabled == m_lastAudioEnabled && videoEnabled != m_lastVideoEnabled) {
        // Recorded before the wait, so a poll arriving meanwhile sees nothing to do.
        m_lastVideoEnabled = videoEnabled;
        auto update = updateVideoOutput(std::move(*item), videoEnabled);
        co_await update;
        co_return;
    }
    if (sameItem && !force) {
        co_return;
    }
    auto started = start(std::move(*item), audioEnabled, videoEnabled);
    co_await started;
}

QCoro::Task<> PlaybackCoordinator::start(RundownItem item, bool audioEnabled, bool videoEnabled)
{
    stop();
    const quint64 generation = m_generation;
    const quint64 videoGeneration = m_videoGeneration;
    setActiveItemID(item.id);
    m_lastAudioEnabled = audioEnabled;
    m_lastVideoEnabled = videoEnabled;
    setTitle(TextRules::programTitle(item.title));
    setAudioName(audioEnabled ? item.audioName : QString());
    setVideoName(videoEnabled ? item.videoName : QString());
    m_startPreparing = true;
    updatePreparing();

    const bool audioAsset = hasAsset(item.audioAssetId);
    if ((audioEnabled && audioAsset) || (videoEnabled && hasAsset(item.videoAssetId))) {
        // Before the downloads, so the decoders load meanwhile.
        borrowPlayers();
    }
    QPointer<PlaybackCoordinator> self(this);
    const auto superseded = [&] { return !self || !isCurrent(generation); };
    // A video switch during the downloads takes the video player over from this start.
    const auto ownsVideo = [&] { return m_videoGeneration == videoGeneration; };
    QString audioFile;
    QString videoFile;
    try {
        if (audioEnabled && audioAsset) {
            auto download = fetch(item, audioCategory);
            audioFile = co_await download;
            if (superseded()) {
                co_return;
            }
        }
        if (videoEnabled && hasAsset(item.videoAssetId) && ownsVideo()) {
            auto download = fetch(item, videoCategory);
            videoFile = co_await download;
            if (superseded()) {
                co_return;
            }
        }
    } catch (...) {
        const QString text = describeCurrentException();
        if (superseded()) {
            co_return;
        }
        setError(text);
        m_startPreparing = false;
        updatePreparing();
        co_return;
    }

    if (!m_audioPlayer) {
        // Nothing of this item plays here.
        m_startPreparing = false;
        updatePreparing();
        co_return;
    }
    if (!audioFile.isEmpty()) {
        m_audioPlayer->setSource(audioFile);
    }
    if (ownsVideo()) {
        if (!videoFile.isEmpty()) {
            m_videoPlayer->setSource(videoFile);
        }
        // A separate audio track replaces the video's own sound, whether or not it plays here.
        m_videoPlayer->setMuted(audioAsset);
    }
    // Both play from their first frame, started in one turn once both are loaded: the picture
    // and the sound set out together.
    if (!audioFile.isEmpty()) {
        auto loaded = m_audioPlayer->loaded();
        co_await loaded;
        if (superseded()) {
            co_return;
        }
    }
    if (!videoFile.isEmpty() && ownsVideo()) {
        auto loaded = m_videoPlayer->loaded();
        co_await loaded;
        if (superseded()) {
            co_return;
        }
    }
    m_audioPlayer->play();
    if (ownsVideo()) {
        m_videoPlayer->play();
    }
    if (!audioFile.isEmpty()) {
        m_keepTogether.start();
    }
    m_startPreparing = false;
    updatePreparing();
}

QCoro::Task<> PlaybackCoordinator::updateVideoOutput(RundownItem item, bool enabled)
{
    const quint64 generation = m_generation;
    const quint64 videoGeneration = ++m_videoGeneration;
    if (!enabled) {
        if (m_videoPlayer) {
            m_videoPlayer->pause();
            m_videoPlayer->setSource({});
        }
        setVideoName({});
        m_videoPreparing = false;
        updatePreparing();
        co_return;
    }
    if (!hasAsset(item.videoAssetId)) {
        setVideoName({});
        co_return;
    }
    borrowPlayers();
    m_videoPreparing = true;
    updatePreparing();

    QPointer<PlaybackCoordinator> self(this);
    const auto superseded = [&] {
        return !self || !isCurrent(generation) || m_videoGeneration != videoGeneration;
    };
    QString file;
    try {
        auto download = fetch(item, videoCategory);
        file = co_await download;
    } catch (...) {
        const QString text = describeCurrentException();
        if (superseded()) {
            co_return;
        }
        setError(text);
        m_videoPreparing = false;
        updatePreparing();
        co_return;
    }
    if (superseded()) {
        co_return;
    }
    m_videoPlayer->setSource(file);
    m_videoPlayer->setMuted(hasAsset(item.audioAssetId));
    setVideoName(item.videoName);
    auto loaded = m_videoPlayer->loaded();
    co_await loaded;
    if (superseded()) {
        co_return;
    }
    if (m_lastAudioEnabled) {
        // The video joins the running audio where it stands once loaded.
        auto seek = m_videoPlayer->seek(m_audioPlayer->position());
        co_await seek;
        if (superseded()) {
            co_return;
        }
    }
    m_videoPlayer->play();
    m_videoPreparing = false;
    updatePreparing();
}

QCoro::Task<QString> PlaybackCoordinator::fetch(RundownItem item, QString category)
{
    const QString projectID = m_itemProjectID;
    const bool audio = category == audioCategory;
    const QString assetID = (audio ? item.audioAssetId : item.videoAssetId).value_or(QString());
    PreparedAssetCache &cache = PreparedAssetCache::shared();
    if (const auto path = cache.lookup(projectID, item.id, category, assetID)) {
        co_return *path;
    }
    auto download = m_client.downloadAsset(projectID, item.id, category, assetID,
                                           audio ? item.audioName : item.videoName);
    const QString path = co_await download;
    cache.remember(projectID, item.id, category, assetID, path);
    co_return path;
}

void PlaybackCoordinator::setActiveItemID(std::optional<QString> id)
{
    assignAndNotify(m_activeItemID, std::move(id), this, &PlaybackCoordinator::activeItemIDChanged);
}

void PlaybackCoordinator::setTitle(const QString &title)
{
    assignAndNotify(m_title, title, this, &PlaybackCoordinator::titleChanged);
}

void PlaybackCoordinator::setAudioName(const QString &name)
{
    assignAndNotify(m_audioName, name, this, &PlaybackCoordinator::audioNameChanged);
}

void PlaybackCoordinator::setVideoName(const QString &name)
{
    assignAndNotify(m_videoName, name, this, &PlaybackCoordinator::videoNameChanged);
}

void PlaybackCoordinator::setError(const QString &error)
{
    assignAndNotify(m_error, error, this, &PlaybackCoordinator::errorChanged);
}

void PlaybackCoordinator::updatePreparing()
{
    const bool preparing = m_startPreparing || m_videoPreparing;
    assignAndNotify(m_isPreparing, preparing, this, &PlaybackCoordinator::isPreparingChanged);
}

QCoro::Task<> PlaybackCoordinator::keepPictureWithSound()
{
    QMediaPlayer *audio = m_audioPlayer ? m_audioPlayer->mediaPlayer() : nullptr;
    QMediaPlayer *video = m_videoPlayer ? m_videoPlayer->mediaPlayer() : nullptr;
    if (m_seeking || !audio || !video || audio->playbackState() != QMediaPlayer::PlayingState ||
        video->playbackState() != QMediaPlayer::PlayingState) {
        m_together.clear(); // a paused picture waits where it is; played again, it rejoins the sound
        co_return;
    }
    if (!m_togetherClock.isValid()) {
        m_togetherClock.start();
    }
    m_together.append({m_togetherClock.elapsed(), m_audioPlayer->position(), m_videoPlayer->position()});
    if (m_together.size() > togetherSamples) {
        m_together.removeFirst();
    }
    const auto gap = [](const Sample &sample) { return sample.sound - sample.picture; };
    const qint64 behind = gap(m_together.last());
    // A picture seconds away (paused alone, then played) is moved at once; any other only when
    // both have run steadily apart for a while: the sound's position is coarse and settles only
    // after its first seconds.
    const bool farApart = m_together.size() >= 2 && std::abs(behind) > farApartMs &&
                          std::abs(gap(m_together.at(m_together.size() - 2))) > farApartMs;
    if (!farApart) {
        if (m_together.size() < togetherSamples) {
            co_return;
        }
        const Sample &first = m_together.first();
        const Sample &last = m_together.last();
        const qint64 ran = last.at - first.at;
        const auto steady = [ran](qint64 moved) {
            return std::abs(moved - ran) * 100 <= steadyPercent * ran;
        };
        qint64 least = std::numeric_limits<qint64>::max();
        qint64 most = std::numeric_limits<qint64>::min();
        for (const Sample &sample : std::as_const(m_together)) {
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
    qCDebug(lcPlayback) << "picture" << behind << "ms behind its sound: moved" << m_seekLeadMs
                        << "ms ahead of it";
    const quint64 generation = m_generation;
    const quint64 videoGeneration = m_videoGeneration;
    QPointer<PlaybackCoordinator> self(this);
    m_seeking = true;
    m_together.clear();
    auto seek = m_videoPlayer->seek(m_audioPlayer->position() + m_seekLeadMs);
    co_await seek;
    if (!self) {
        co_return;
    }
    m_seeking = false;
    if (isCurrent(generation) && m_videoGeneration == videoGeneration) {
        m_lastSeek.start();
    }
}
