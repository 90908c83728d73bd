#pragma once

#include "PictureKeeper.h"
#include "PlaybackPlayer.h"
#include "api/PreparedAssetCache.h"
#include "models/Rundown.h"

#include <QCoro/QCoroTask>
#include <QObject>
#include <QString>

#include <chrono>
#include <memory>
#include <optional>

class APIClient;
class QMediaPlayer;

// Plays the live rundown item's audio and video on this computer. It has no timer: the rundown
// page syncs it after every reload and live action and stops it when the page goes.
class PlaybackCoordinator : public QObject
{
    Q_OBJECT

public:
    // The media players are borrowed when a live item has a file to play here, or ahead of one
    // (preparePlayers): a page whose role never plays, or whose show has no media where it
    // stands, never loads the media framework.
    explicit PlaybackCoordinator(APIClient &client, QObject *parent = nullptr);
    PlaybackCoordinator(APIClient &client, std::unique_ptr<PlaybackPlayer> audioPlayer,
                        std::unique_ptr<PlaybackPlayer> videoPlayer, QObject *parent = nullptr);
    ~PlaybackCoordinator() override;

    const std::optional<QString> &activeItemID() const { return m_activeItemID; }
    const QString &title() const { return m_title; }
    const QString &audioName() const { return m_audioName; }
    const QString &videoName() const { return m_videoName; }
    bool isPreparing() const { return m_isPreparing; }
    const QString &error() const { return m_error; }
    bool lastAudioEnabled() const { return m_lastAudioEnabled; }
    bool lastVideoEnabled() const { return m_lastVideoEnabled; }

    // None until the first item with media to play here.
    PlaybackPlayer *audioPlayer() const { return m_audioPlayer.get(); }
    PlaybackPlayer *videoPlayer() const { return m_videoPlayer.get(); }
    QMediaPlayer *videoMediaPlayer() const { return m_videoPlayer ? m_videoPlayer->mediaPlayer() : nullptr; }

    const QString &itemProjectID() const { return m_itemProjectID; }
    void setItemProjectID(const QString &projectID) { m_itemProjectID = projectID; }

    // Borrows the players ahead of an item that will need them. The first players of a process
    // set the media framework up on this thread, a stall the live action that starts the item
    // would otherwise wait for.
    void preparePlayers() { borrowPlayers(); }
    void stop();
    // The operator moved the picture: a separate sound playing here goes with it, once a drag
    // is `done`.
    void moveTo(qint64 milliseconds, bool done = true);
    // The operator's play and pause of the picture; a separate sound plays on, and the keeper
    // rejoins the picture to it once it plays again.
    void setPicturePlaying(bool play);
    bool picturePlays() const
    {
        return m_videoPlayer && m_videoPlayer->wantsToPlay() && !m_videoPlayer->hasEnded();
    }
    // Never throws; failures end in error().
    QCoro::Task<> sync(std::optional<RundownItem> item, bool audioEnabled, bool videoEnabled, bool force);

Q_SIGNALS:
    void playersChanged();
    void activeItemIDChanged();
    void titleChanged();
    void audioNameChanged();
    void videoNameChanged();
    void isPreparingChanged();
    void errorChanged();
    // A file of the start or video switch in progress is in place, or failed.
    void loadSettled(QPrivateSignal);

private:
    void borrowPlayers();
    void followReplacedPlayers();
    QCoro::Task<> start(RundownItem item, bool audioEnabled, bool videoEnabled);
    QCoro::Task<> updateVideoOutput(RundownItem item, bool enabled);
    struct Fetched
    {
        QString file;
        QString error; // what to say when the download failed
        PreparedAssetCache::Hold hold;
    };
    // Never throws.
    QCoro::Task<Fetched> fetch(RundownItem item, QString category);
    enum class Load { idle, pending, loaded, failed };
    void followLoad(bool picture);
    void settleLoad(bool picture, Load outcome);
    QCoro::Task<> loadNews(std::chrono::milliseconds within);
    // Ends early when the picture is no longer this join's (`videoGeneration`).
    QCoro::Task<> joinSound(quint64 videoGeneration);
    bool isCurrent(quint64 generation) const { return generation == m_generation; }

    void setActiveItemID(std::optional<QString> id);
    void setTitle(const QString &title);
    void setAudioName(const QString &name);
    void setVideoName(const QString &name);
    void setError(const QString &error);
    void updatePreparing();

    APIClient &m_client;
    std::optional<QString> m_activeItemID;
    QString m_title;
    QString m_audioName;
    QString m_videoName;
    bool m_isPreparing = false;
    QString m_error;
    bool m_lastAudioEnabled = false;
    bool m_lastVideoEnabled = false;
    std::unique_ptr<PlaybackPlayer> m_audioPlayer;
    std::unique_ptr<PlaybackPlayer> m_videoPlayer;
    QString m_itemProjectID;

    // Every stop and start begins a new generation, every video switch a new video generation;
    // work that finds its generation gone after a wait drops its result.
    quint64 m_generation = 0;
    quint64 m_videoGeneration = 0;
    bool m_startPreparing = false;
    bool m_videoPreparing = false;
    // Where the files of the start (the sound) and of the latest video switch (the picture) stand.
    Load m_soundLoad = Load::idle;
    Load m_pictureLoad = Load::idle;

    // The files the players were given, kept on disk while they may play them.
    PreparedAssetCache::Hold m_soundHold;
    PreparedAssetCache::Hold m_pictureHold;

    // Runs while an item's own audio track plays here.
    PictureKeeper m_keeper;
};
