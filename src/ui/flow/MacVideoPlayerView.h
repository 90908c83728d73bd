#pragma once

#include <QMediaPlayer>
#include <QPointer>
#include <QWidget>

class QSlider;
class QToolButton;
class QVideoWidget;

// The live video picture with inline play/pause and position controls, aspect ratio kept.
class MacVideoPlayerView : public QWidget
{
    Q_OBJECT

public:
    explicit MacVideoPlayerView(QMediaPlayer *player = nullptr, QWidget *parent = nullptr);
    ~MacVideoPlayerView() override;

    QMediaPlayer *player() const { return m_player; }
    // Rebinding the very same player leaves the view untouched.
    void setPlayer(QMediaPlayer *player);
    QVideoWidget *videoWidget() const { return m_video; }

private:
    void updateControls();

    QPointer<QMediaPlayer> m_player;
    QVideoWidget *m_video = nullptr;
    QToolButton *m_playPause = nullptr;
    QSlider *m_position = nullptr;
    QList<QMetaObject::Connection> m_connections;
};
