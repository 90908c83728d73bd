#include "PlaybackCoordinator.h"
#include "NotifyingAssign.h"

#include "Error.h"
#include "api/APIClient.h"
#include "api/PreparedAssetCache.h"

#include "rules/TextRules.h"

#include <QLoggingCategory>
#include <QPointer>


namespace {

const QString audioCategory = QStringLiteral("audio");
const QString videoCategory = QStringLiteral("video");

QString describeFailure(PlaybackFailure why, bool video, const QString &name)
{
    if (why == PlaybackFailure::stalled) {
        return QStringLiteral("素材读取超时：%1").arg(name);
    }
    QString reason;
    switch (why) {
    case PlaybackFailure::format:
        reason = QStringLiteral("文件格式不受支持或已损坏");
        break;
    case PlaybackFailure::access:
        reason = QStringLiteral("没有读取该文件的权限");
        break;
    case PlaybackFailure::network:
        reason = QStringLiteral("网络错误");
        break;
    default:
        reason = QStringLiteral("文件无法打开或读取");
        break;
    }
    return (video ? QStringLiteral("无法播放视频“%1”：%2") : QStringLiteral("无法播放音频“%1”：%2")).arg(name, reason);
}

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
{
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
        m_audioPlayer->onFailed([this](PlaybackFailure why) { setError(describeFailure(why, false, m_audioName)); });
        m_videoPlayer->onFailed([this](PlaybackFailure why) { setError(describeFailure(why, true, m_videoName)); });
    }
}

void PlaybackCoordinator::stop()
{
    ++m_generation;
    ++m_videoGeneration;
    m_keeper.stop();
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

void PlaybackCoordinator::moveTo(qint64 milliseconds, bool done)
{
    if (m_keeper.isRunning()) {
        m_keeper.moveBoth(milliseconds, done);
    } else if (m_videoPlayer) {
        QCoro::connect(m_videoPlayer->seek(milliseconds), this, [] {});
    }
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
        m_keeper.start(m_audioPlayer.get(), m_videoPlayer.get());
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
