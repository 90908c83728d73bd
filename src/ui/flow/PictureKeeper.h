#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QTimer>

#include <QCoro/QCoroTask>

#include <optional>

class PlaybackPlayer;

// Keeps an item's picture with its separate sound: a picture that strayed from the sound (a
// drift, or a pause of the picture alone) is moved back to where the sound is. It never moves a
// picture paused alone, learns how long its moves take only from their outcome, and gives up on
// an item whose picture its moves cannot bring back.
class PictureKeeper : public QObject
{
    Q_OBJECT

public:
    explicit PictureKeeper(QObject *parent = nullptr);

    // From now on the picture follows the sound, until stop(). Every item starts afresh.
    void start(PlaybackPlayer *sound, PlaybackPlayer *picture);
    void stop();
    bool isRunning() const { return m_sound != nullptr; }

    // The operator moved the picture: the sound goes with it, and keeping starts afresh there.
    // A drag moves the picture at every step and the sound once, where the drag ends (`done`):
    // sound moved again while it settles from a move can stall for good.
    void moveBoth(qint64 milliseconds, bool done);
    // The operator moved the picture before the keeping starts (its sound not out yet): the
    // sound goes there once it starts, and the picture is left where it was put. Until stop().
    void holdMove(qint64 milliseconds, bool done) { m_heldMove = HeldMove{milliseconds, done}; }

    // One comparison of the picture with the sound, `atMs` into the item; the timer makes one
    // every 100 ms.
    void compare(qint64 atMs);

    // How far ahead of the sound a moved picture is put, to make up for the time the move takes.
    qint64 seekLeadMs() const { return m_seekLeadMs; }

    // The keeper's own moves of this item.
    int moves() const { return m_moves; }

private:
    struct Sample
    {
        qint64 at;
        qint64 sound;
        qint64 picture;
    };

    void reset();
    void forgetSamples();
    bool steadyWindow() const;
    qint64 meanGap() const;
    void judge(qint64 atMs);
    QCoro::Task<> movePicture();
    void moveSoundTo(qint64 milliseconds, bool done);
    QCoro::Task<> moveSound();

    PlaybackPlayer *m_sound = nullptr;
    PlaybackPlayer *m_picture = nullptr;
    QTimer m_timer;
    QElapsedTimer m_clock;
    QList<Sample> m_samples;
    // Every start, stop and operator's move begins a new run; a move that finds its run gone
    // drops its outcome.
    quint64 m_run = 0;
    bool m_seeking = false;
    // A move of the keeper's own is done; the first steady comparison tells how it turned out.
    bool m_awaitingOutcome = false;
    bool m_pictureOnOwnClock = false;
    qint64 m_seekLeadMs;
    int m_moves = 0;
    int m_misses = 0;
    qint64 m_notBeforeMs = 0;

    // Where the operator's drag will leave the sound; a drag whose end never comes ends on its own.
    QTimer m_dragEnd;
    std::optional<qint64> m_soundTarget;
    bool m_soundMoving = false;

    struct HeldMove
    {
        qint64 milliseconds;
        bool done;
    };
    std::optional<HeldMove> m_heldMove;
};
