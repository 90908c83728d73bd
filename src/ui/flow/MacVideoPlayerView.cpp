#include "MacVideoPlayerView.h"
#include "MediaSourceGate.h"

#include "common/Theme.h"

#include <QHBoxLayout>
#include <QMediaPlayer>
#include <QMouseEvent>
#include <QSlider>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>
#include <QVideoFrame>
#include <QVideoSink>
#include <QVideoWidget>

#include <cstdlib>

namespace {

// How far a click's pointer may shift while the button is down and still be a click: a hand is
// never quite still, and one pixel of a long file is seconds of it. Past it, a drag, however short.
constexpr int wobblePx = 2;

// A picture widget sets up a native video window and its renderer when made (under X11 a GL
// context with its own threads). Made afresh for every page, their freed memory stayed scattered
// over the allocator's per-thread arenas and the process grew with every project switch while a
// video played. So pictures are made once and handed from page to page, as the players are.
QList<QPointer<QVideoWidget>> &idlePictures()
{
    static QList<QPointer<QVideoWidget>> pictures;
    return pictures;
}

QVideoWidget *borrowPicture(QWidget *parent)
{
    while (!idlePictures().isEmpty()) {
        if (QVideoWidget *picture = idlePictures().takeLast()) {
            picture->setParent(parent);
            picture->show();
            return picture;
        }
    }
    return new QVideoWidget(parent);
}

void giveBackPicture(QVideoWidget *picture)
{
    picture->hide();
    picture->setParent(nullptr);
    // The next page must not show this page's last frame.
    picture->videoSink()->setVideoFrame(QVideoFrame());
    idlePictures().append(picture);
}

} // namespace

MacVideoPlayerView::MacVideoPlayerView(QMediaPlayer *player, QWidget *parent)
    : QWidget(parent)
    , m_video(borrowPicture(this))
    , m_playPause(new QToolButton(this))
    , m_position(new QSlider(Qt::Horizontal, this))
{
    setObjectName(QStringLiteral("videoPlayerView"));
    m_video->setObjectName(QStringLiteral("videoPicture"));
    m_video->setAspectRatioMode(Qt::KeepAspectRatio);
    m_video->setStyleSheet(QStringLiteral("background: black;"));
    m_playPause->setObjectName(QStringLiteral("videoPlayPause"));
    m_playPause->setAutoRaise(true);
    m_position->setObjectName(QStringLiteral("videoPosition"));
    m_position->setRange(0, 0);
    // Only the pointer moves the handle, so it never shows a place the players are not going to:
    // no steps for the wheel or a click on the groove, no keyboard focus.
    m_position->setSingleStep(0);
    m_position->setPageStep(0);
    m_position->setFocusPolicy(Qt::NoFocus);

    auto *controls = new QHBoxLayout;
    controls->setContentsMargins(4, 0, 4, 0);
    controls->setSpacing(4);
    controls->addWidget(m_playPause);
    controls->addWidget(m_position, 1);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_video, 1);
    layout->addLayout(controls);

    connect(m_playPause, &QToolButton::clicked, this, [this] {
        if (!m_player) {
            return;
        }
        const bool play = !isPlaying();
        if (m_playControl.setPlaying) {
            m_playControl.setPlaying(play);
        } else if (play) {
            m_player->play();
        } else {
            m_player->pause();
        }
        updateControls();
    });
    // Only a drag, or the style's jump-to click, moves the players: the held slider's value is as
    // old as the press, and moving there on a click would take the sound back.
    m_position->installEventFilter(this);
    connect(m_position, &QSlider::sliderMoved, this, [this](int value) {
        if (!m_dragging || m_updating) {
            return;
        }
        if (m_moveHandler) {
            m_moveHandler(value, false);
        } else if (m_player) {
            m_player->setPosition(value);
        }
    });
    connect(m_position, &QSlider::sliderReleased, this, [this] {
        if (!std::exchange(m_dragging, false) || m_dragLost) {
            return;
        }
        if (m_moveHandler) {
            m_moveHandler(m_position->value(), true);
        } else if (m_player) {
            m_player->setPosition(m_position->value());
        }
    });
    setPlayer(player);
}

MacVideoPlayerView::~MacVideoPlayerView()
{
    // The player outlives the view; it must not keep drawing into a widget that is gone.
    if (m_player && m_player->videoOutput() == m_video) {
        m_player->setVideoOutput(nullptr);
    }
    giveBackPicture(m_video);
}

void MacVideoPlayerView::setPlayer(QMediaPlayer *player)
{
    if (player == m_player) {
        return;
    }
    for (const QMetaObject::Connection &c : std::as_const(m_connections)) {
        disconnect(c);
    }
    m_connections.clear();
    if (m_player && m_player->videoOutput() == m_video) {
        m_player->setVideoOutput(nullptr);
    }
    m_player = player;
    m_failed = false;
    m_dragging = false;
    if (m_player) {
        m_player->setVideoOutput(m_video);
        m_connections = {
            connect(m_player, &QMediaPlayer::playbackStateChanged, this, &MacVideoPlayerView::updateControls),
            connect(m_player, &QMediaPlayer::durationChanged, this, &MacVideoPlayerView::updateControls),
            connect(m_player, &QMediaPlayer::sourceChanged, this,
                    [this](const QUrl &source) {
                        m_failed = false;
                        // A drag ends with the file it began on; the same file loaded again goes on.
                        if (!source.isEmpty() && source != m_draggedFile) {
                            m_dragging = false;
                            m_dragLost = true;
                        }
                        updateControls();
                    }),
            connect(m_player, &QMediaPlayer::mediaStatusChanged, this, &MacVideoPlayerView::updateControls),
            connect(m_player, &QMediaPlayer::errorOccurred, this,
                    [this](QMediaPlayer::Error error) {
                        // The previous file's failure, reported late, leaves the new one's controls.
                        m_failed = m_failed || (error != QMediaPlayer::NoError &&
                                                MediaSourceGate::failedSinceSourceSet(*m_player));
                        updateControls();
                    }),
            connect(m_player, &QMediaPlayer::positionChanged, this,
                    [this](qint64 position) {
                        if (!m_position->isSliderDown()) {
                            m_position->setValue(static_cast<int>(position));
                        }
                    }),
        };
    }
    updateControls();
}

bool MacVideoPlayerView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_position) {
        if (event->type() == QEvent::MouseButtonPress) {
            const auto *press = static_cast<QMouseEvent *>(event);
            m_pressedAt = press->position().toPoint();
            // The jump-to button puts the handle where it is pressed: a move of its own.
            const auto jumpTo =
                Qt::MouseButtons(m_position->style()->styleHint(QStyle::SH_Slider_AbsoluteSetButtons));
            m_dragging = (press->button() & jumpTo) != 0;
            m_draggedFile = m_player ? m_player->source() : QUrl();
            m_dragLost = false;
        } else if (event->type() == QEvent::MouseMove && !m_dragging &&
                   static_cast<QMouseEvent *>(event)->buttons() != Qt::NoButton) {
            if (m_dragLost) {
                return true; // its file is gone: the held handle moves nothing
            }
            const int moved = static_cast<QMouseEvent *>(event)->position().toPoint().x() - m_pressedAt.x();
            if (std::abs(moved) <= wobblePx) {
                return true; // the handle stays where the players are
            }
            m_dragging = true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void MacVideoPlayerView::updateControls()
{
    // An emptied player, or one whose file cannot be played, has nothing to offer: its button
    // would turn to pause while nothing plays. Its status is no guide: the backend calls the media
    // invalid on any error, the previous file's too.
    const bool loaded = m_player && !m_player->source().isEmpty() && !m_failed;
    const bool playing = loaded && isPlaying();
    m_playPause->setIcon(Theme::icon(playing ? QStringLiteral("pause.circle") : QStringLiteral("play.circle"),
                                     Theme::colour(Theme::Colour::primary)));
    m_playPause->setToolTip(playing ? tr("暂停") : tr("播放"));
    m_playPause->setEnabled(loaded);
    m_position->setEnabled(loaded);
    m_updating = true;
    m_position->setRange(0, loaded ? static_cast<int>(m_player->duration()) : 0);
    m_updating = false;
}

void MacVideoPlayerView::setPlayControl(PlayControl control)
{
    m_playControl = std::move(control);
    updateControls();
}

bool MacVideoPlayerView::isPlaying() const
{
    return m_playControl.playing ? m_playControl.playing()
                                 : m_player && m_player->playbackState() == QMediaPlayer::PlayingState;
}
