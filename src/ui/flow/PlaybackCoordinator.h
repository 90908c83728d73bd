#pragma once

#include "PlaybackPlayer.h"
#include "models/Rundown.h"

#include <QCoro/QCoroTask>
#include <QObject>
#include <QString>

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

    PlaybackPlayer &audioPlayer() { return *m_audioPlayer; }
    PlaybackPlayer &videoPlayer() { return *m_videoPlayer; }
    QMediaPlayer *videoMediaPlayer() { return m_videoPlayer->mediaPlayer(); }

    const QString &itemProjectID() const { return m_itemProjectID; }
    void setItemProjectID(const QString &projectID) { m_itemProjectID = projectID; }

    void stop();
    // Never throws; failures end in error().
    QCoro::Task<> sync(std::optional<RundownItem> item, bool audioEnabled, bool videoEnabled, bool force);

Q_SIGNALS:
    void activeItemIDChanged();
    void titleChanged();
    void audioNameChanged();
    void videoNameChanged();
    void isPreparingChanged();
    void errorChanged();

private:
    QCoro::Task<> start(RundownItem item, bool audioEnabled, bool videoEnabled);
    QCoro::Task<> updateVideoOutput(RundownItem item, bool enabled);
    QCoro::Task<QString> fetch(RundownItem item, QString category);
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
};
