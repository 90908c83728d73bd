#pragma once

#include <QMediaPlayer>
#include <QPointer>
#include <QUrl>
#include <QWidget>

#include <functional>

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
    // Where the slider's moves go instead of the player: a picture that follows another player
    // takes that one along. Called at every step of a drag, and once more where it ends (done);
    // a press and release within a click's wobble calls nothing.
    using MoveHandler = std::function<void(qint64 milliseconds, bool done)>;
    void setMoveHandler(MoveHandler handler) { m_moveHandler = std::move(handler); }
    // Where the button's play and pause go instead of the player, and whether it shows the picture
    // as playing: a player still loading its file carries either out once the file is in place.
    struct PlayControl
    {
        std::function<bool()> playing;
        std::function<void(bool play)> setPlaying;
    };
    void setPlayControl(PlayControl control);

private:
    void updateControls();

    QPointer<QMediaPlayer> m_player;
    QVideoWidget *m_video = nullptr;
    QToolButton *m_playPause = nullptr;
    QSlider *m_position = nullptr;
    QList<QMetaObject::Connection> m_connections;
    MoveHandler m_moveHandler;
    PlayControl m_playControl;
    bool isPlaying() const;
    // The player's file cannot be played: nothing to offer until it gets another.
    bool m_failed = false;
    bool eventFilter(QObject *watched, QEvent *event) override;

    // Where the handle was pressed, whether the pointer has since gone past a click's wobble, and
    // the file the drag began on: it moves no other.
    QPoint m_pressedAt;
    bool m_dragging = false;
    QUrl m_draggedFile;
    bool m_dragLost = false;
    // The slider's range is being set: the moves that makes are no one's.
    bool m_updating = false;
};
