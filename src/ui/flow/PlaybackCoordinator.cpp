#include "PlaybackCoordinator.h"
#include "NotifyingAssign.h"

#include "Error.h"
#include "api/APIClient.h"
#include "api/PreparedAssetCache.h"
#include "common/SignalOrTimeout.h"

#include "rules/TextRules.h"

#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QPointer>

namespace {

const QString audioCategory = QStringLiteral("audio");
const QString videoCategory = QStringLiteral("video");

// A picture loads within about this here: a sound waits as long for its picture, so that both set
// out together; a slower picture joins the running sound.
constexpr std::chrono::milliseconds pictureLoadWait(100);
// What a move of the picture takes to show here: it joins its running sound that far ahead.
constexpr qint64 joinLeadMs = 100;
// Waits for a load re-check now and then whether the start they belong to is still current.
constexpr std::chrono::milliseconds recheckEvery(1000);
// A picture loaded before anything of its sound is heard waits so long at most for it, looking
// this often.
constexpr std::chrono::milliseconds soundHeardWithin(1000);
constexpr std::chrono::milliseconds soundHeardCheckEvery(10);

Q_LOGGING_CATEGORY(lcStart, "quillory.media", QtWarningMsg)

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
    return (video ? QStringLiteral("无法播放视频“%1”：%2") : QStringLiteral("无法播放音频“%1”：%2"))
        .arg(name, reason);
}

// The bar says every file of the item that cannot play, one a line; the same one failing again is
// said once.
QString withFailure(const QString &shown, const QString &failure)
{
    if (shown.isEmpty()) {
        return failure;
    }
    return shown.split(QLatin1Char('\n')).contains(failure) ? shown : shown + QLatin1Char('\n') + failure;
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
        m_audioPlayer->onFailed([this](PlaybackFailure why) {
            setError(withFailure(m_error, describeFailure(why, false, m_audioName)));
            settleLoad(false, Load::failed);
        });
        m_videoPlayer->onFailed([this](PlaybackFailure why) {
            setError(withFailure(m_error, describeFailure(why, true, m_videoName)));
            settleLoad(true, Load::failed);
        });
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
    m_soundHold.reset();
    m_pictureHold.reset();
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
        // A picture loaded before its separate sound: the sound is taken there once it starts,
        // instead of the keeper taking the picture back to the sound's start.
        m_keeper.holdMove(milliseconds, done);
    }
}

void PlaybackCoordinator::setPicturePlaying(bool play)
{
    if (!m_videoPlayer) {
        return;
    }
    if (play) {
        m_videoPlayer->play();
    } else {
        m_videoPlayer->pause();
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
    const bool wantsSound = audioEnabled && audioAsset;
    const bool wantsPicture = videoEnabled && hasAsset(item.videoAssetId);
    if (wantsSound || wantsPicture) {
        // Before the downloads, so the decoders load meanwhile.
        borrowPlayers();
    }
    QPointer<PlaybackCoordinator> self(this);
    const auto superseded = [&] { return !self || !isCurrent(generation); };
    // A video switch during the start takes the video player over from it.
    const auto ownsVideo = [&] { return m_videoGeneration == videoGeneration; };
    const auto pictureLoading = [&] { return ownsVideo() && m_pictureLoad == Load::pending; };

    // Side by side: a large picture still downloading never holds its sound.
    std::optional<QCoro::Task<Fetched>> soundDownload;
    std::optional<QCoro::Task<Fetched>> pictureDownload;
    if (wantsSound) {
        soundDownload = fetch(item, audioCategory);
    }
    if (wantsPicture) {
        pictureDownload = fetch(item, videoCategory);
    }
    m_soundLoad = Load::idle;
    m_pictureLoad = wantsPicture ? Load::pending : Load::idle;
    QString soundFile;
    PreparedAssetCache::Hold soundHold;
    if (soundDownload) {
        const Fetched sound = co_await *soundDownload;
        if (superseded()) {
            co_return;
        }
        if (!sound.error.isEmpty()) {
            // Nothing of the item plays without its sound; the picture's download is dropped.
            setError(sound.error);
            m_startPreparing = false;
            updatePreparing();
            co_return;
        }
        soundFile = sound.file;
        soundHold = sound.hold;
    }
    if (!m_audioPlayer) {
        // Nothing of this item plays here.
        m_startPreparing = false;
        updatePreparing();
        co_return;
    }
    if (!soundFile.isEmpty()) {
        m_audioPlayer->setSource(soundFile);
        m_soundHold = std::move(soundHold);
        followLoad(false);
    }
    if (ownsVideo()) {
        // A separate audio track replaces the video's own sound, whether or not it plays here.
        m_videoPlayer->setMuted(audioAsset);
        if (pictureDownload) {
            QCoro::connect(std::move(*pictureDownload), this,
                           [this, videoGeneration](const Fetched &picture) {
                               if (m_videoGeneration != videoGeneration) {
                                   return;
                               }
                               if (!picture.error.isEmpty()) {
                                   setError(picture.error);
                                   settleLoad(true, Load::failed);
                                   return;
                               }
                               m_videoPlayer->setSource(picture.file);
                               m_pictureHold = picture.hold;
                               followLoad(true);
                           });
        }
    }

    while (m_soundLoad == Load::pending) {
        auto news = loadNews(recheckEvery);
        co_await news;
        if (superseded()) {
            co_return;
        }
    }
    // A picture that loads as soon as pictures do here sets out with its sound, both from their
    // first frame in one turn; a slower one joins the running sound once loaded. Without a sound
    // that plays, the picture plays when it is loaded.
    const bool soundPlays = m_soundLoad == Load::loaded;
    QElapsedTimer waited;
    waited.start();
    while (pictureLoading() && (!soundPlays || waited.elapsed() < pictureLoadWait.count())) {
        auto news = loadNews(soundPlays ? pictureLoadWait - std::chrono::milliseconds(waited.elapsed())
                                        : recheckEvery);
        co_await news;
        if (superseded()) {
            co_return;
        }
    }
    m_audioPlayer->play();
    const bool pictureJoins = pictureLoading();
    if (ownsVideo()) {
        // A separate sound sets the time of a picture that sets out with it; a video's own sound,
        // its own. A picture that joins later keeps its own clock, and the keeper keeps it with
        // the sound: moved and set going on another pipeline's clock, a loaded machine's picture
        // failed with a stream error.
        m_videoPlayer->keepTimeWith(soundPlays && !pictureJoins ? m_audioPlayer.get() : nullptr);
    }
    qCDebug(lcStart) << "sound out after" << waited.elapsed() << "ms for its picture;"
                     << (pictureJoins ? "the picture joins later" : "together");
    if (ownsVideo() && !pictureJoins && m_pictureLoad != Load::failed) {
        m_videoPlayer->play();
    }
    if (!soundFile.isEmpty()) {
        m_keeper.start(m_audioPlayer.get(), m_videoPlayer.get());
    }
    while (pictureLoading()) {
        auto news = loadNews(recheckEvery);
        co_await news;
        if (superseded()) {
            co_return;
        }
    }
    if (pictureJoins && ownsVideo() && m_pictureLoad == Load::loaded) {
        qCDebug(lcStart) << "picture joins" << waited.elapsed() << "ms after its sound's load";
        auto join = joinSound(videoGeneration);
        co_await join;
        if (superseded()) {
            co_return;
        }
    }
    m_startPreparing = false;
    updatePreparing();
}

QCoro::Task<> PlaybackCoordinator::updateVideoOutput(RundownItem item, bool enabled)
{
    const quint64 generation = m_generation;
    const quint64 videoGeneration = ++m_videoGeneration;
    // A start still waiting for its picture stops waiting: the picture is this switch's now.
    m_pictureLoad = Load::idle;
    Q_EMIT loadSettled(QPrivateSignal());
    if (!enabled) {
        if (m_videoPlayer) {
            m_videoPlayer->pause();
            m_videoPlayer->setSource({});
        }
        m_pictureHold.reset();
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
    auto download = fetch(item, videoCategory);
    const Fetched picture = co_await download;
    if (superseded()) {
        co_return;
    }
    if (!picture.error.isEmpty()) {
        setError(picture.error);
        m_videoPreparing = false;
        updatePreparing();
        co_return;
    }
    m_videoPlayer->setSource(picture.file);
    m_pictureHold = picture.hold;
    m_videoPlayer->setMuted(hasAsset(item.audioAssetId));
    setVideoName(item.videoName);
    followLoad(true);
    while (m_pictureLoad == Load::pending) {
        auto news = loadNews(recheckEvery);
        co_await news;
        if (superseded()) {
            co_return;
        }
    }
    if (m_pictureLoad == Load::loaded) {
        if (m_lastAudioEnabled && hasAsset(item.audioAssetId)) {
            auto join = joinSound(videoGeneration);
            co_await join;
            if (superseded()) {
                co_return;
            }
        } else {
            m_videoPlayer->keepTimeWith(nullptr);
            m_videoPlayer->play();
        }
    }
    m_videoPreparing = false;
    updatePreparing();
}

// Notes when the file just asked of a player is in place; its failure (onFailed) ends the wait too.
void PlaybackCoordinator::followLoad(bool picture)
{
    (picture ? m_pictureLoad : m_soundLoad) = Load::pending;
    const quint64 run = picture ? m_videoGeneration : m_generation;
    QCoro::connect((picture ? m_videoPlayer : m_audioPlayer)->loaded(), this, [this, picture, run] {
        if (run == (picture ? m_videoGeneration : m_generation)) {
            settleLoad(picture, Load::loaded);
        }
    });
}

void PlaybackCoordinator::settleLoad(bool picture, Load outcome)
{
    Load &load = picture ? m_pictureLoad : m_soundLoad;
    if (load == Load::pending) {
        load = outcome;
        Q_EMIT loadSettled(QPrivateSignal());
    }
}

QCoro::Task<> PlaybackCoordinator::loadNews(std::chrono::milliseconds within)
{
    SignalOrTimeout news(this, &PlaybackCoordinator::loadSettled, within);
    co_await news;
}

// The picture joins the running sound where the sound will be once the move shows, once the sound
// is heard: set going before, it ran ahead of a sound whose position had yet to leave its start.
QCoro::Task<> PlaybackCoordinator::joinSound(quint64 videoGeneration)
{
    QPointer<PlaybackCoordinator> self(this);
    QElapsedTimer waited;
    waited.start();
    while (m_audioPlayer->isPlaying() && m_audioPlayer->position() == 0 &&
           waited.elapsed() < soundHeardWithin.count()) {
        auto news = loadNews(soundHeardCheckEvery);
        co_await news;
        if (!self || m_videoGeneration != videoGeneration) {
            co_return;
        }
    }
    // Set going, then moved, as the keeper moves a playing picture: a picture moved just after
    // its load and set going at once failed with a stream error on a loaded machine.
    m_videoPlayer->keepTimeWith(nullptr);
    m_videoPlayer->play();
    auto seek = m_videoPlayer->seek(m_audioPlayer->position() + joinLeadMs);
    co_await seek;
}

QCoro::Task<PlaybackCoordinator::Fetched> PlaybackCoordinator::fetch(RundownItem item, QString category)
{
    const QString projectID = m_itemProjectID;
    const bool audio = category == audioCategory;
    const QString assetID = (audio ? item.audioAssetId : item.videoAssetId).value_or(QString());
    PreparedAssetCache &cache = PreparedAssetCache::shared();
    if (PreparedAssetCache::Hold held = cache.lookup(projectID, item.id, category, assetID)) {
        co_return Fetched{*held, {}, held};
    }
    try {
        auto download = m_client.downloadAsset(projectID, item.id, category, assetID,
                                               audio ? item.audioName : item.videoName);
        const QString path = co_await download;
        cache.remember(projectID, item.id, category, assetID, path);
        co_return Fetched{path, {}, cache.hold(path)};
    } catch (...) {
        co_return Fetched{{}, describeCurrentException(), {}};
    }
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
