#include "MacFlowPlayerBar.h"

#include "FlowLiveControl.h"
#include "FlowPageState.h"
#include "FlowRules.h"
#include "MacVideoPlayerView.h"
#include "PlaybackCoordinator.h"
#include "common/AsyncAction.h"
#include "common/ElidedLabel.h"
#include "common/LoadingFace.h"
#include "common/Theme.h"

#include "rules/TextRules.h"
#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QProgressBar>
#include <QPushButton>
#include <QResizeEvent>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int pictureWidth = 220;
constexpr int pictureHeight = 124;
constexpr int qrSide = 116;
constexpr int statusSpacing = 7;

// Shortens its text to the width it gets instead of claiming it, so a narrow window keeps the
// whole bar on screen; a few characters always stay.
ElidedLabel *elidedLabel(QWidget *parent, Qt::TextElideMode mode = Qt::ElideMiddle)
{
    auto *label = new ElidedLabel(parent, mode);
    label->setTextFormat(Qt::PlainText);
    label->setMinimumWidth(60);
    return label;
}

// Every poll refreshes the bar: an unchanged text needs no repaint. The tooltip shows what the
// ellipsis hides.
void setFullText(QLabel *label, const QString &text)
{
    if (text == label->text()) {
        return;
    }
    label->setText(text);
    label->setToolTip(text);
}

void tintProminent(QPushButton *button, Theme::Colour tint)
{
    const QColor c = Theme::colour(tint);
    button->setStyleSheet(QStringLiteral("QPushButton { background: %1; color: white; border: none;"
                                         " border-radius: 6px; padding: 5px 12px; }"
                                         "QPushButton:hover { background: %2; }"
                                         "QPushButton:pressed { background: %3; }")
                              .arg(Theme::css(c), Theme::css(c.lighter(110)), Theme::css(c.darker(115))));
}

int heightOf(const QWidget *widget)
{
    return std::max(widget->sizeHint().height(), widget->minimumHeight());
}

// A row of a symbol and a text.
QWidget *symbolRow(QLabel *&iconLabel, QLabel *&textLabel, QWidget *parent, bool elided)
{
    auto *row = new QWidget(parent);
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(5);
    iconLabel = new QLabel(row);
    textLabel = elided ? elidedLabel(row) : new QLabel(row);
    textLabel->setTextFormat(Qt::PlainText);
    layout->addWidget(iconLabel);
    layout->addWidget(textLabel, 1);
    return row;
}

} // namespace

MacFlowPlayerBar::MacFlowPlayerBar(FlowPageState &state, FlowLiveControl &live, QWidget *parent)
    : QWidget(parent)
    , m_state(state)
    , m_live(live)
{
    setObjectName(QStringLiteral("flowPlayerBarContent"));
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(14);

    // --- Picture: the sign-up code or the live video ---
    m_qrBlock = new QWidget(this);
    m_qrBlock->setObjectName(QStringLiteral("flowLotteryQRBlock"));
    // As tall as the code and its caption need: a code shrunk to fit 124 points scans worse.
    m_qrBlock->setFixedWidth(pictureWidth);
    m_qrBlock->setMinimumHeight(pictureHeight);
    m_qrBlock->setAttribute(Qt::WA_StyledBackground);
    m_qrBlock->setStyleSheet(
        QStringLiteral("#flowLotteryQRBlock { background: white; border-radius: 10px; }"));
    {
        auto *column = new QVBoxLayout(m_qrBlock);
        column->setContentsMargins(0, 14, 0, 8);
        column->setSpacing(12);
        m_qrImage = new QLabel(m_qrBlock);
        m_qrImage->setObjectName(QStringLiteral("flowLotteryQRImage"));
        m_qrImage->setFixedSize(qrSide, qrSide);
        column->addStretch(1);
        column->addWidget(m_qrImage, 0, Qt::AlignHCenter);
        auto *caption = Theme::label(QStringLiteral("扫码参与抽奖"), Theme::TextStyle::caption, QFont::Bold,
                                     Theme::Colour::primary, m_qrBlock);
        Theme::setTextColour(caption, QColor(Qt::black));
        column->addWidget(caption, 0, Qt::AlignHCenter);
        column->addStretch(1);
    }
    row->addWidget(m_qrBlock);
    m_row = row;
    // The video view follows once the players exist (attachVideo).

    // --- What is playing ---
    auto *status = new QVBoxLayout;
    status->setSpacing(statusSpacing);
    status->addStretch(1);
    QLabel *playingIcon = nullptr;
    QLabel *playingText = nullptr;
    m_playingRow = symbolRow(playingIcon, playingText, this, false);
    setLabelIcon(playingIcon, QStringLiteral("waveform"), Theme::colour(Theme::Colour::green));
    playingText->setText(QStringLiteral("正在播放"));
    Theme::setTextStyle(playingText, Theme::TextStyle::caption, QFont::Bold);
    Theme::setTextColour(playingText, Theme::Colour::green);
    status->addWidget(m_playingRow);
    m_title = elidedLabel(this);
    Theme::setTextStyle(m_title, Theme::TextStyle::headline);
    m_title->setObjectName(QStringLiteral("flowPlayingTitle"));
    status->addWidget(m_title);
    QLabel *audioIcon = nullptr;
    m_audioRow = symbolRow(audioIcon, m_audioName, this, true);
    m_audioName->setObjectName(QStringLiteral("flowPlayingAudioName"));
    setLabelIcon(audioIcon, QStringLiteral("music.note"), Theme::colour(Theme::Colour::secondary));
    Theme::setTextStyle(m_audioName, Theme::TextStyle::callout);
    status->addWidget(m_audioRow);
    QLabel *videoIcon = nullptr;
    m_videoRow = symbolRow(videoIcon, m_videoName, this, true);
    m_videoName->setObjectName(QStringLiteral("flowPlayingVideoName"));
    setLabelIcon(videoIcon, QStringLiteral("play.rectangle"), Theme::colour(Theme::Colour::secondary));
    Theme::setTextStyle(m_videoName, Theme::TextStyle::callout);
    status->addWidget(m_videoRow);
    m_preparingRow = new QWidget(this);
    m_preparingRow->setObjectName(QStringLiteral("flowPreparingIndicator"));
    {
        auto *layout = new QHBoxLayout(m_preparingRow);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(6);
        QProgressBar *spinner = busyBar(m_preparingRow, 48);
        spinner->setFixedHeight(6);
        layout->addWidget(spinner);
        layout->addWidget(Theme::label(QStringLiteral("正在准备素材…"), Theme::TextStyle::caption,
                                       Theme::Colour::secondary, m_preparingRow),
                          1);
    }
    status->addWidget(m_preparingRow);
    m_error = Theme::label(QString(), Theme::TextStyle::caption, Theme::Colour::red, this);
    m_error->setObjectName(QStringLiteral("flowPlaybackError"));
    m_error->setWordWrap(true);
    status->addWidget(m_error);
    status->addStretch(1);
    row->addLayout(status, 1);

    // --- The next item ---
    m_nextColumn = new QWidget(this);
    {
        auto *column = new QVBoxLayout(m_nextColumn);
        column->setContentsMargins(0, 0, 0, 0);
        column->setSpacing(5);
        column->addWidget(Theme::label(QStringLiteral("下一节目"), Theme::TextStyle::caption,
                                       Theme::Colour::secondary, m_nextColumn),
                          0, Qt::AlignRight);
        m_nextTitle = elidedLabel(m_nextColumn, Qt::ElideRight);
        Theme::setTextStyle(m_nextTitle, Theme::TextStyle::headline);
        m_nextTitle->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        m_nextTitle->setObjectName(QStringLiteral("flowNextItemTitle"));
        m_nextTitle->setMaximumWidth(260);
        column->addWidget(m_nextTitle);
        m_nextButton = new QPushButton(QStringLiteral("结束并开演下一个"), m_nextColumn);
        m_nextButton->setObjectName(QStringLiteral("flowPlayerNextButton"));
        tintProminent(m_nextButton, Theme::Colour::green);
        column->addWidget(m_nextButton, 0, Qt::AlignRight);
    }
    // Kept together in the middle of a bar held taller than they are.
    row->addWidget(m_nextColumn, 0, Qt::AlignVCenter);
    connect(m_nextButton, &QPushButton::clicked, this, [this] {
        if (m_next) {
            AsyncAction::run(
                &m_live, m_live.liveAction(QStringLiteral("start"), *m_next), [] {}, [](const QString &) {});
        }
    });

    m_consoleButton = new QPushButton(QStringLiteral("抽奖控制台"), this);
    m_consoleButton->setObjectName(QStringLiteral("flowPlayerLotteryConsoleButton"));
    tintProminent(m_consoleButton, Theme::Colour::orange);
    row->addWidget(m_consoleButton);
    connect(m_consoleButton, &QPushButton::clicked, this, [this] {
        if (const auto live = m_state.liveItem()) {
            m_state.setLotteryContext(MacLotteryContext{*live, MacLotteryContext::Presentation::console});
        }
    });

    // --- Output switches ---
    auto *toggles = new QVBoxLayout;
    toggles->setSpacing(6);
    toggles->setAlignment(Qt::AlignVCenter);
    m_audioToggle = new QCheckBox(QStringLiteral("联动音频"), this);
    m_audioToggle->setObjectName(QStringLiteral("flowAudioLinkedToggle"));
    m_videoToggle = new QCheckBox(QStringLiteral("联动视频"), this);
    m_videoToggle->setObjectName(QStringLiteral("flowVideoLinkedToggle"));
    toggles->addWidget(m_audioToggle);
    toggles->addWidget(m_videoToggle);
    row->addLayout(toggles);
    connect(m_audioToggle, &QCheckBox::toggled, &m_state, &FlowPageState::setAudioLinked);
    connect(m_videoToggle, &QCheckBox::toggled, &m_state, &FlowPageState::setVideoLinked);

    for (auto signal : {&FlowPageState::detailChanged, &FlowPageState::lotteryScreenModeChanged,
                        &FlowPageState::audioLinkedChanged, &FlowPageState::videoLinkedChanged}) {
        connect(&m_state, signal, this, &MacFlowPlayerBar::refresh);
    }
    PlaybackCoordinator *playback = &m_live.playback();
    connect(playback, &PlaybackCoordinator::playersChanged, this, &MacFlowPlayerBar::attachVideo);
    attachVideo();
    for (auto signal : {&PlaybackCoordinator::titleChanged, &PlaybackCoordinator::audioNameChanged,
                        &PlaybackCoordinator::videoNameChanged, &PlaybackCoordinator::isPreparingChanged,
                        &PlaybackCoordinator::errorChanged}) {
        connect(playback, signal, this, &MacFlowPlayerBar::refresh);
    }
    refresh();
}

void MacFlowPlayerBar::attachVideo()
{
    // A video view loads the media framework: made only once there is a player to show.
    QMediaPlayer *player = m_live.playback().videoMediaPlayer();
    if (!player) {
        return;
    }
    if (!m_video) {
        m_video = new MacVideoPlayerView(nullptr, this);
        m_video->setFixedSize(pictureWidth, pictureHeight);
        QPainterPath rounded;
        rounded.addRoundedRect(QRectF(0, 0, pictureWidth, pictureHeight), 10, 10);
        m_video->setMask(QRegion(rounded.toFillPolygon().toPolygon()));
        m_video->hide();
        m_row->insertWidget(m_row->indexOf(m_qrBlock) + 1, m_video);
        // A picture with its own separate sound takes the sound along.
        m_video->setMoveHandler(
            [this](qint64 milliseconds, bool done) { m_live.playback().moveTo(milliseconds, done); });
        m_video->setPlayControl({[this] { return m_live.playback().picturePlays(); },
                                 [this](bool play) { m_live.playback().setPicturePlaying(play); }});
    }
    m_video->setPlayer(player);
    refresh();
}

void MacFlowPlayerBar::setLabelIcon(QLabel *label, const QString &symbol, const QColor &tint)
{
    label->setPixmap(Theme::symbolPixmap(symbol, 14, tint));
}

void MacFlowPlayerBar::refresh()
{
    const PlaybackCoordinator &playback = m_live.playback();
    const std::optional<RundownItem> live = m_state.liveItem();

    // Picture: the code while the venue screen shows it, else the video while one plays here.
    // The code depends on the item alone: encoded once per item, not on every poll.
    const bool qrMode = live && m_state.lotteryScreenMode() == QStringLiteral("qr");
    if (qrMode && m_qrItemID != live->id) {
        m_qrItemID.clear();
        const QImage code = m_live.lotteryQRCode(*live);
        if (!code.isNull()) {
            m_qrItemID = live->id;
            // Whole device pixels per module, no smoothing: crisp at any scale. The white block's
            // margins are the quiet zone.
            const qreal ratio = devicePixelRatioF();
            const int side = qRound(qrSide * ratio);
            const int modules = code.width();
            const int scale = std::max(1, side / modules);
            QPixmap pixmap(side, side);
            pixmap.fill(Qt::white);
            {
                QPainter painter(&pixmap);
                const int offset = (side - modules * scale) / 2;
                painter.drawImage(QRect(offset, offset, modules * scale, modules * scale), code);
            }
            pixmap.setDevicePixelRatio(ratio);
            m_qrImage->setPixmap(pixmap);
        }
    }
    const bool showsCode = qrMode && m_qrItemID == live->id;
    m_qrBlock->setVisible(showsCode);
    if (m_video) {
        m_video->setVisible(!showsCode && !playback.videoName().isEmpty() && m_state.canOutputVideo());
    }

    setFullText(m_title, playback.title());
    setFullText(m_audioName, playback.audioName());
    m_audioRow->setVisible(!playback.audioName().isEmpty());
    setFullText(m_videoName, playback.videoName());
    m_videoRow->setVisible(!playback.videoName().isEmpty());
    m_preparingRow->setVisible(playback.isPreparing());
    m_error->setText(playback.error());
    m_error->setVisible(!playback.error().isEmpty());

    m_next = m_state.canManage() ? m_state.nextItem() : std::nullopt;
    m_nextColumn->setVisible(m_next.has_value());
    if (m_next) {
        const QString text =
            QString::number(m_next->order) + QStringLiteral(". ") + TextRules::programTitle(m_next->title);
        setFullText(m_nextTitle, text);
    }

    m_consoleButton->setVisible(live && FlowRules::isLotteryItem(*live) && m_state.canOperateLottery(*live));

    // While the show runs, a change of live item moves neither the rows below the bar nor its
    // buttons: the bar is as tall as its tallest face from the start, and the console button
    // keeps its room where the show has one.
    if (live) {
        hold(tallestFace());
    } else {
        m_heldHeight = 0;
        setMinimumHeight(0);
    }
    QSizePolicy consolePolicy = m_consoleButton->sizePolicy();
    consolePolicy.setRetainSizeWhenHidden(
        live && std::ranges::any_of(m_state.detail()->items, [this](const RundownItem &item) {
            return FlowRules::isLotteryItem(item) && m_state.canOperateLottery(item);
        }));
    m_consoleButton->setSizePolicy(consolePolicy);

    m_audioToggle->setVisible(m_state.canOutputAudio());
    m_videoToggle->setVisible(m_state.canOutputVideo());
    const QSignalBlocker audioBlocker(m_audioToggle);
    const QSignalBlocker videoBlocker(m_videoToggle);
    m_audioToggle->setChecked(m_state.audioLinked());
    m_videoToggle->setChecked(m_state.videoLinked());
}

void MacFlowPlayerBar::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    // A face taller than foreseen (a long error) is kept until the show ends.
    if (m_heldHeight > 0) {
        hold(event->size().height());
    }
}

void MacFlowPlayerBar::hold(int height)
{
    m_heldHeight = std::max(m_heldHeight, height);
    setMinimumHeight(m_heldHeight);
}

int MacFlowPlayerBar::tallestFace() const
{
    const bool audioOut = m_state.canOutputAudio();
    const bool videoOut = m_state.canOutputVideo();
    bool audio = false;
    bool video = false;
    bool lottery = false;
    for (const RundownItem &item : m_state.detail()->items) {
        audio = audio || (audioOut && !item.audioName.isEmpty());
        video = video || (videoOut && !item.videoName.isEmpty());
        lottery = lottery || (videoOut && FlowRules::isLotteryItem(item));
    }
    int tallest = 0;
    if (video) {
        tallest = pictureHeight;
    }
    if (lottery) {
        tallest = std::max(tallest, heightOf(m_qrBlock));
    }

    // Every line the status column may show; the progress and an error come only with media.
    QList<const QWidget *> lines{m_playingRow, m_title};
    if (audio) {
        lines.append(m_audioRow);
    }
    if (video) {
        lines.append(m_videoRow);
    }
    int status = 0;
    for (const QWidget *line : lines) {
        status += heightOf(line) + statusSpacing;
    }
    if (audio || video) {
        status += heightOf(m_preparingRow) + statusSpacing + m_error->fontMetrics().height() + statusSpacing;
    }
    tallest = std::max(tallest, status - statusSpacing);

    // The next item's column goes with the last item.
    if (m_state.canManage()) {
        tallest = std::max(tallest, heightOf(m_nextColumn));
    }
    return tallest;
}
