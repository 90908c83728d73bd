#include "MacLotteryConsoleSheet.h"

#include "LotteryRules.h"
#include "MacQRCodeImage.h"
#include "RequestOutcome.h"
#include "api/APIClient.h"
#include "common/LoadingFace.h"
#include "common/Theme.h"
#include "common/TintedPanel.h"

#include <QClipboard>
#include <QComboBox>
#include <QDesktopServices>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QStackedWidget>
#include <QToolButton>
#include <QUuid>
#include <QVBoxLayout>

#include <algorithm>
#include <limits>

// One figure of the overview on a tint of its colour.
class LotteryMetricCell : public QWidget
{
public:
    LotteryMetricCell(const QString &title, QWidget *parent)
        : QWidget(parent)
        , m_title(Theme::label(title, Theme::TextStyle::caption, Theme::Colour::secondary, this))
        , m_value(
              Theme::label(QString(), Theme::TextStyle::title2, QFont::Bold, Theme::Colour::primary, this))
        , m_detail(Theme::label(QString(), Theme::TextStyle::caption, Theme::Colour::secondary, this))
    {
        m_value->setObjectName(QStringLiteral("metricValue"));
        m_detail->setObjectName(QStringLiteral("metricDetail"));
        auto *layout = new QVBoxLayout(this);
        layout->setContentsMargins(14, 14, 14, 14);
        layout->setSpacing(5);
        layout->addWidget(m_title);
        layout->addWidget(m_value);
        layout->addWidget(m_detail);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    }

    void setFigures(const QString &value, const QString &detail, Theme::Colour colour)
    {
        m_value->setText(value);
        m_detail->setText(detail);
        m_colour = colour;
        Theme::setTextColour(m_value, colour);
        update();
    }

    QString value() const { return m_value->text(); }
    QString detail() const { return m_detail->text(); }

protected:
    void paintEvent(QPaintEvent *) override { paintRoundedFill(this, Theme::colour(m_colour, 0.08), 12); }

private:
    QLabel *m_title;
    QLabel *m_value;
    QLabel *m_detail;
    Theme::Colour m_colour = Theme::Colour::indigo;
};

// The sign-up QR code, drawn without smoothing so the modules stay sharp at any size.
class LotteryQRCodeView : public QWidget
{
public:
    explicit LotteryQRCodeView(QWidget *parent)
        : QWidget(parent)
    {
        setObjectName(QStringLiteral("registrationQRCode"));
        setFixedSize(132, 132);
    }

    void setImage(const QImage &image)
    {
        m_image = image;
        setVisible(!image.isNull());
        update();
    }
    const QImage &image() const { return m_image; }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
        painter.drawImage(rect(), m_image);
    }

private:
    QImage m_image;
};

namespace {

const QString synced = QStringLiteral("操作已同步");

QPushButton *button(const QString &text, const QString &objectName, QWidget *parent = nullptr)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(objectName);
    // Return in a field must not press a button of the sheet.
    b->setAutoDefault(false);
    b->setDefault(false);
    // A click leaves the focus where the operator was typing, as buttons do on the desktop.
    b->setFocusPolicy(Qt::TabFocus);
    return b;
}

void tint(QPushButton *b, Theme::Colour colour)
{
    const QColor c = Theme::colour(colour);
    b->setStyleSheet(
        QStringLiteral("QPushButton { background: %1; color: white; border: none; border-radius: 6px;"
                       " padding: 5px 14px; }"
                       "QPushButton:disabled { background: %2; color: rgba(255, 255, 255, 0.85); }")
            .arg(Theme::css(c), Theme::css(colour, 0.45)));
}

QProgressBar *spinner(QWidget *parent, int width)
{
    auto *bar = new QProgressBar(parent);
    bar->setRange(0, 0);
    bar->setTextVisible(false);
    bar->setFixedSize(width, 8);
    return bar;
}

// A titled frame with a symbol, in the manner of a group box.
QWidget *section(const QString &title, const QString &symbol, const QString &objectName, QWidget *content)
{
    auto *box = new QWidget;
    box->setObjectName(objectName);
    auto *layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    auto *header = new QHBoxLayout;
    header->setSpacing(6);
    if (Theme::hasThemeImage(symbol)) {
        auto *icon = new QLabel(box);
        icon->setPixmap(Theme::symbolPixmap(symbol, 16, Theme::colour(Theme::Colour::secondary)));
        header->addWidget(icon);
    }
    header->addWidget(Theme::label(title, Theme::TextStyle::headline, Theme::Colour::primary, box));
    header->addStretch(1);
    layout->addLayout(header);
    auto *body = new QFrame(box);
    body->setObjectName(QStringLiteral("sectionBody"));
    body->setStyleSheet(
        QStringLiteral("QFrame#sectionBody { background: %1; border: 1px solid %2; border-radius: 8px; }")
            .arg(Theme::css(Theme::Colour::controlBackground), Theme::css(Theme::Colour::separator)));
    auto *bodyLayout = new QVBoxLayout(body);
    bodyLayout->setContentsMargins(6, 6, 6, 6);
    bodyLayout->addWidget(content);
    layout->addWidget(body);
    return box;
}

// Rows are replaced from inside their own buttons' clicks: let go of them now, delete them later.
void discard(QList<QWidget *> &rows)
{
    for (QWidget *row : std::as_const(rows)) {
        row->hide();
        row->setParent(nullptr);
        row->deleteLater();
    }
    rows.clear();
}

// Sent when the console closes; nobody waits for it and its outcome is not reported.
QCoro::Task<> returnScreenToProgram(APIClient &client, QString projectID, QString itemID)
{
    try {
        auto request = client.setLotteryScreen(projectID, itemID, LotteryValues::screenProgram);
        co_await request;
    } catch (...) {
    }
}

} // namespace

MacLotteryConsoleSheet::MacLotteryConsoleSheet(ProjectSummary project, MacLotteryContext context,
                                               QWidget *parent)
    : MacLotteryConsoleSheet(std::move(project), std::move(context), APIClient::shared(), parent)
{}

MacLotteryConsoleSheet::MacLotteryConsoleSheet(ProjectSummary project, MacLotteryContext context,
                                               APIClient &client, QWidget *parent)
    : QDialog(parent)
    , m_project(std::move(project))
    , m_context(std::move(context))
    , m_client(client)
{
    const bool console = m_context.presentation == MacLotteryContext::Presentation::console;
    setObjectName(QStringLiteral("lotteryConsoleSheet"));
    setWindowTitle(console ? QStringLiteral("抽奖控制台") : QStringLiteral("奖项设置"));
    setWindowModality(Qt::WindowModal);
    const QScreen *screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
    const int available = screen ? screen->availableGeometry().height() - 40 : 820;
    setMinimumSize(720, std::min(700, available));
    resize(820, std::max(std::min(820, available), minimumHeight()));

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(buildHeader());
    layout->addWidget(Theme::divider(this));

    m_faces = new QStackedWidget(this);
    m_faces->setObjectName(QStringLiteral("lotteryFaces"));
    m_loadingFace = new QWidget;
    m_loadingFace->setObjectName(QStringLiteral("lotteryLoading"));
    fillLoadingFace(m_loadingFace, Theme::label(QStringLiteral("正在读取抽奖设置…"), Theme::TextStyle::body,
                                                Theme::Colour::secondary));
    m_failureFace = new QWidget;
    m_failureFace->setObjectName(QStringLiteral("lotteryFailure"));
    {
        auto *l = new QVBoxLayout(m_failureFace);
        l->setSpacing(8);
        l->addStretch(1);
        auto *icon = new QLabel(m_failureFace);
        icon->setPixmap(Theme::symbolPixmap(QStringLiteral("exclamationmark.triangle"), 40,
                                            Theme::colour(Theme::Colour::secondary)));
        l->addWidget(icon, 0, Qt::AlignHCenter);
        l->addWidget(Theme::label(QStringLiteral("抽奖读取失败"), Theme::TextStyle::title3, QFont::Bold,
                                  Theme::Colour::primary, m_failureFace),
                     0, Qt::AlignHCenter);
        m_failureText =
            Theme::label(QString(), Theme::TextStyle::body, Theme::Colour::secondary, m_failureFace);
        m_failureText->setObjectName(QStringLiteral("lotteryFailureText"));
        m_failureText->setWordWrap(true);
        m_failureText->setAlignment(Qt::AlignHCenter);
        l->addWidget(m_failureText);
        l->addStretch(1);
    }
    m_contentFace = new QScrollArea;
    m_contentFace->setObjectName(QStringLiteral("lotteryScroll"));
    m_contentFace->setWidgetResizable(true);
    m_contentFace->setFrameShape(QFrame::NoFrame);
    m_contentFace->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_contentFace->setWidget(buildContent());
    m_faces->addWidget(m_loadingFace);
    m_faces->addWidget(m_failureFace);
    m_faces->addWidget(m_contentFace);
    layout->addWidget(m_faces, 1);

    m_messageLine = Theme::label(QString(), Theme::TextStyle::callout, Theme::Colour::secondary, this);
    m_messageLine->setObjectName(QStringLiteral("lotteryMessage"));
    m_messageLine->setWordWrap(true);
    m_messageLine->setContentsMargins(20, 8, 20, 12);
    layout->addWidget(m_messageLine);

    connect(this, &MacLotteryConsoleSheet::stateChanged, this, &MacLotteryConsoleSheet::refresh);
    refresh();
}

MacLotteryConsoleSheet::~MacLotteryConsoleSheet()
{
    // A console that goes away without closing (its window went) still hands the screen back.
    if (m_presented) {
        sendProgramScreen();
    }
}

QWidget *MacLotteryConsoleSheet::buildHeader()
{
    const bool console = m_context.presentation == MacLotteryContext::Presentation::console;
    auto *header = new QWidget(this);
    auto *row = new QHBoxLayout(header);
    row->setContentsMargins(20, 20, 20, 20);

    auto *badge = new QLabel(header);
    badge->setFixedSize(48, 48);
    badge->setAlignment(Qt::AlignCenter);
    badge->setStyleSheet(QStringLiteral("QLabel { background: %1; border-radius: 12px; }")
                             .arg(Theme::css(Theme::Colour::indigo)));
    badge->setPixmap(Theme::symbolPixmap(QStringLiteral("gift.fill"),
                                         Theme::pixelSize(Theme::TextStyle::title2), QColor(Qt::white)));
    row->addWidget(badge);

    auto *texts = new QVBoxLayout;
    texts->setSpacing(3);
    auto *title = Theme::label(console ? QStringLiteral("抽奖控制台") : QStringLiteral("奖项设置"),
                               Theme::TextStyle::title2, QFont::Bold, Theme::Colour::primary, header);
    title->setObjectName(QStringLiteral("lotteryTitle"));
    auto *subtitle = Theme::label(LotteryRules::subtitle(m_context.item.title, m_project.name),
                                  Theme::TextStyle::body, Theme::Colour::secondary, header);
    subtitle->setObjectName(QStringLiteral("lotterySubtitle"));
    subtitle->setWordWrap(true);
    texts->addWidget(title);
    texts->addWidget(subtitle);
    row->addLayout(texts, 1);

    m_headerProgress = spinner(header, 60);
    m_headerProgress->setObjectName(QStringLiteral("lotteryLoadingIndicator"));
    row->addWidget(m_headerProgress);

    auto *close = new QToolButton(header);
    close->setObjectName(QStringLiteral("closeButton"));
    close->setIcon(Theme::icon(QStringLiteral("xmark")));
    close->setToolTip(QStringLiteral("关闭"));
    close->setAutoRaise(true);
    connect(close, &QToolButton::clicked, this, &QDialog::reject);
    row->addWidget(close);
    return header;
}

QWidget *MacLotteryConsoleSheet::buildContent()
{
    auto *content = new QWidget;
    content->setObjectName(QStringLiteral("lotteryContent"));
    auto *column = new QVBoxLayout(content);
    column->setContentsMargins(20, 20, 20, 20);
    column->setSpacing(16);
    column->addWidget(buildOverview());
    column->addWidget(section(QStringLiteral("报名二维码"), QStringLiteral("qrcode"),
                              QStringLiteral("registrationSection"), buildRegistrationCard()));
    column->addWidget(section(QStringLiteral("奖项与奖品"), QStringLiteral("gift"),
                              QStringLiteral("prizeSection"), buildPrizeSettings()));
    if (m_context.presentation == MacLotteryContext::Presentation::console) {
        column->addWidget(section(QStringLiteral("开奖控制"), QStringLiteral("sparkles"),
                                  QStringLiteral("drawSection"), buildDrawControls()));
        column->addWidget(section(QStringLiteral("中奖结果"),
                                  QStringLiteral("person.crop.circle.badge.checkmark"),
                                  QStringLiteral("winnersSection"), buildWinnersCard()));
        column->addWidget(section(QStringLiteral("领奖核销"), QStringLiteral("checkmark.seal"),
                                  QStringLiteral("claimSection"), buildClaimCard()));
    }
    column->addStretch(1);
    return content;
}

QWidget *MacLotteryConsoleSheet::buildOverview()
{
    auto *overview = new QWidget;
    overview->setObjectName(QStringLiteral("lotteryOverview"));
    auto *row = new QHBoxLayout(overview);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(12);
    m_entriesCell = new LotteryMetricCell(QStringLiteral("报名人数"), overview);
    m_entriesCell->setObjectName(QStringLiteral("entriesMetric"));
    m_modeCell = new LotteryMetricCell(QStringLiteral("抽奖模式"), overview);
    m_modeCell->setObjectName(QStringLiteral("modeMetric"));
    m_prizesCell = new LotteryMetricCell(QStringLiteral("奖项"), overview);
    m_prizesCell->setObjectName(QStringLiteral("prizesMetric"));
    for (LotteryMetricCell *cell : {m_entriesCell, m_modeCell, m_prizesCell}) {
        row->addWidget(cell, 1);
    }
    return overview;
}

QWidget *MacLotteryConsoleSheet::buildRegistrationCard()
{
    auto *card = new QWidget;
    auto *row = new QHBoxLayout(card);
    row->setContentsMargins(6, 6, 6, 6);
    row->setSpacing(18);
    m_qrCode = new LotteryQRCodeView(card);
    row->addWidget(m_qrCode, 0, Qt::AlignVCenter);

    auto *column = new QVBoxLayout;
    column->setSpacing(9);
    column->addWidget(Theme::label(QStringLiteral("观众扫码登录后自动加入抽奖池"), Theme::TextStyle::headline,
                                   Theme::Colour::primary, card));
    // A link has no spaces to wrap at: break anywhere, two lines at most, still selectable.
    m_linkText = new QPlainTextEdit(card);
    m_linkText->setObjectName(QStringLiteral("registrationLinkText"));
    m_linkText->setReadOnly(true);
    m_linkText->setFrameShape(QFrame::NoFrame);
    m_linkText->setWordWrapMode(QTextOption::WrapAnywhere);
    m_linkText->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_linkText->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_linkText->setFont(Theme::font(Theme::TextStyle::caption));
    m_linkText->document()->setDocumentMargin(0);
    m_linkText->setStyleSheet(QStringLiteral("QPlainTextEdit { background: transparent; color: %1; }")
                                  .arg(Theme::css(Theme::Colour::secondary)));
    m_linkText->setFixedHeight(QFontMetrics(m_linkText->font()).lineSpacing() * 2 + 4);
    column->addWidget(m_linkText);

    auto *buttons = new QHBoxLayout;
    auto *copy = button(QStringLiteral("复制报名链接"), QStringLiteral("copyLinkButton"), card);
    auto *open = button(QStringLiteral("打开报名页"), QStringLiteral("openLinkButton"), card);
    m_entryButton = button(QString(), QStringLiteral("entryButton"), card);
    connect(copy, &QPushButton::clicked, this, &MacLotteryConsoleSheet::copyLink);
    connect(open, &QPushButton::clicked, this, &MacLotteryConsoleSheet::openLink);
    connect(m_entryButton, &QPushButton::clicked, this, &MacLotteryConsoleSheet::toggleEntry);
    buttons->addWidget(copy);
    buttons->addWidget(open);
    buttons->addWidget(m_entryButton);
    buttons->addStretch(1);
    column->addLayout(buttons);
    row->addLayout(column, 1);
    return card;
}

QWidget *MacLotteryConsoleSheet::buildPrizeSettings()
{
    auto *card = new QWidget;
    auto *column = new QVBoxLayout(card);
    column->setContentsMargins(6, 6, 6, 6);
    column->setSpacing(10);
    m_noPrizesText = Theme::label(QStringLiteral("还没有奖项，点击下方按钮添加。 "), Theme::TextStyle::body,
                                  Theme::Colour::secondary, card);
    m_noPrizesText->setObjectName(QStringLiteral("noPrizesText"));
    column->addWidget(m_noPrizesText);
    m_prizeRows = new QVBoxLayout;
    m_prizeRows->setSpacing(8);
    column->addLayout(m_prizeRows);

    auto *buttons = new QHBoxLayout;
    m_addPrizeButton = button(QStringLiteral("＋ 添加奖项"), QStringLiteral("addPrizeButton"), card);
    m_savePrizesButton = button(QStringLiteral("保存奖项设置"), QStringLiteral("savePrizesButton"), card);
    Theme::makeProminent(m_savePrizesButton);
    connect(m_addPrizeButton, &QPushButton::clicked, this, &MacLotteryConsoleSheet::addPrize);
    connect(m_savePrizesButton, &QPushButton::clicked, this, [this] {
        if (m_lottery) {
            savePrizes(*m_lottery);
        }
    });
    buttons->addWidget(m_addPrizeButton);
    buttons->addStretch(1);
    buttons->addWidget(m_savePrizesButton);
    column->addLayout(buttons);
    return card;
}

QWidget *MacLotteryConsoleSheet::buildDrawControls()
{
    auto *card = new QWidget;
    auto *column = new QVBoxLayout(card);
    column->setContentsMargins(6, 6, 6, 6);
    column->setSpacing(12);

    auto *modeRow = new QHBoxLayout;
    auto *modeBox = new QWidget(card);
    modeBox->setFixedWidth(220);
    auto *modeLayout = new QHBoxLayout(modeBox);
    modeLayout->setContentsMargins(0, 0, 0, 0);
    modeLayout->addWidget(
        Theme::label(QStringLiteral("抽奖模式"), Theme::TextStyle::body, Theme::Colour::primary));
    m_modePicker = new QComboBox(modeBox);
    m_modePicker->setObjectName(QStringLiteral("modePicker"));
    m_modePicker->addItem(QStringLiteral("彩排模式"), LotteryValues::rehearsal);
    m_modePicker->addItem(QStringLiteral("正式抽奖"), LotteryValues::formal);
    connect(m_modePicker, &QComboBox::activated, this, &MacLotteryConsoleSheet::chooseMode);
    modeLayout->addWidget(m_modePicker, 1);
    modeRow->addWidget(modeBox);
    m_resetButton = button(QStringLiteral("重置彩排结果"), QStringLiteral("resetRehearsalButton"), card);
    connect(m_resetButton, &QPushButton::clicked, this, [this] {
        m_showResetConfirmation = true;
        m_resetConfirmation = confirm(
            QStringLiteral("resetConfirmation"), QStringLiteral("重置彩排结果？"),
            QStringLiteral("只清除彩排中奖记录，观众报名和正式中奖记录保持不变。"),
            QStringLiteral("重置彩排"),
            [this] {
                runCommand(
                    [this] { return m_client.resetLotteryRehearsal(m_project.id, m_context.item.id); });
            },
            [this] { m_showResetConfirmation = false; });
    });
    modeRow->addWidget(m_resetButton);
    modeRow->addStretch(1);
    m_modeNote = Theme::label(QString(), Theme::TextStyle::caption, Theme::Colour::secondary, card);
    m_modeNote->setObjectName(QStringLiteral("modeNote"));
    modeRow->addWidget(m_modeNote);
    column->addLayout(modeRow);

    auto *prizeRow = new QHBoxLayout;
    prizeRow->addWidget(
        Theme::label(QStringLiteral("当前奖项"), Theme::TextStyle::body, Theme::Colour::primary));
    m_prizePicker = new QComboBox(card);
    m_prizePicker->setObjectName(QStringLiteral("prizePicker"));
    m_prizePicker->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    m_prizePicker->setMinimumWidth(220);
    connect(m_prizePicker, &QComboBox::activated, this, [this](int index) {
        m_selectedPrizeID = m_prizePicker->itemData(index).toString();
        changed();
    });
    prizeRow->addWidget(m_prizePicker);
    prizeRow->addStretch(1);
    column->addLayout(prizeRow);

    m_rollingRow = new QWidget(card);
    m_rollingRow->setObjectName(QStringLiteral("rollingRow"));
    {
        auto *row = new QHBoxLayout(m_rollingRow);
        row->setContentsMargins(0, 0, 0, 0);
        row->addWidget(spinner(m_rollingRow, 40));
        m_rollingText =
            Theme::label(QString(), Theme::TextStyle::headline, Theme::Colour::primary, m_rollingRow);
        m_rollingText->setObjectName(QStringLiteral("rollingText"));
        row->addWidget(m_rollingText, 1);
        m_stopButton =
            button(QStringLiteral("停止并产生结果"), QStringLiteral("stopDrawButton"), m_rollingRow);
        tint(m_stopButton, Theme::Colour::orange);
        // Never disabled, not by a running command nor by the rights shown: a rolling draw must
        // always be stoppable, and the service refuses a stop it does not allow.
        connect(m_stopButton, &QPushButton::clicked, this, [this] {
            runCommand([this] { return m_client.stopLotteryDraw(m_project.id, m_context.item.id); });
        });
        row->addWidget(m_stopButton);
    }
    m_idleRow = new QWidget(card);
    m_idleRow->setObjectName(QStringLiteral("idleRow"));
    {
        auto *row = new QHBoxLayout(m_idleRow);
        row->setContentsMargins(0, 0, 0, 0);
        m_idleText = Theme::label(QString(), Theme::TextStyle::body, Theme::Colour::secondary, m_idleRow);
        m_idleText->setObjectName(QStringLiteral("idleDrawText"));
        row->addWidget(m_idleText, 1);
        m_startButton = button(QStringLiteral("开始抽奖"), QStringLiteral("startDrawButton"), m_idleRow);
        Theme::makeProminent(m_startButton);
        connect(m_startButton, &QPushButton::clicked, this, [this] { startDraw(); });
        row->addWidget(m_startButton);
    }
    column->addWidget(m_rollingRow);
    column->addWidget(m_idleRow);
    return card;
}

QWidget *MacLotteryConsoleSheet::buildWinnersCard()
{
    auto *card = new QWidget;
    card->setObjectName(QStringLiteral("winnersCard"));
    auto *column = new QVBoxLayout(card);
    column->setContentsMargins(6, 0, 6, 0);
    column->setSpacing(0);
    m_noWinnersText = Theme::label(QStringLiteral("尚未产生中奖结果"), Theme::TextStyle::body,
                                   Theme::Colour::secondary, card);
    m_noWinnersText->setObjectName(QStringLiteral("noWinnersText"));
    m_noWinnersText->setContentsMargins(8, 8, 8, 8);
    column->addWidget(m_noWinnersText);
    m_winnerRows = new QVBoxLayout;
    m_winnerRows->setSpacing(0);
    column->addLayout(m_winnerRows);
    return card;
}

QWidget *MacLotteryConsoleSheet::buildClaimCard()
{
    auto *card = new QWidget;
    auto *row = new QHBoxLayout(card);
    row->setContentsMargins(6, 6, 6, 6);
    m_claimField = new QLineEdit(card);
    m_claimField->setObjectName(QStringLiteral("claimPhoneField"));
    m_claimField->setPlaceholderText(QStringLiteral("输入中奖者完整手机号"));
    connect(m_claimField, &QLineEdit::textEdited, this, [this](const QString &text) {
        m_claimPhone = text;
        changed();
    });
    row->addWidget(m_claimField, 1);
    m_claimButton = button(QStringLiteral("核销领奖"), QStringLiteral("claimButton"), card);
    Theme::makeProminent(m_claimButton);
    connect(m_claimButton, &QPushButton::clicked, this, [this] { claim(); });
    row->addWidget(m_claimButton);
    return card;
}

// --- State ----------------------------------------------------------------------------------

std::optional<QUrl> MacLotteryConsoleSheet::registrationURL() const
{
    return LotteryRules::registrationURL(m_project.id, m_context.item.id);
}

std::optional<LotteryPrize> MacLotteryConsoleSheet::selectedPrize() const
{
    return m_lottery ? LotteryRules::prize(*m_lottery, m_selectedPrizeID) : std::nullopt;
}

bool MacLotteryConsoleSheet::isRolling() const
{
    return m_lottery && m_lottery->drawStatus == LotteryValues::rolling;
}

void MacLotteryConsoleSheet::changed()
{
    Q_EMIT stateChanged();
}

void MacLotteryConsoleSheet::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!m_presented) {
        m_presented = true;
        present();
    }
}

void MacLotteryConsoleSheet::done(int result)
{
    m_closed = true;
    if (m_presented) {
        sendProgramScreen();
    }
    QDialog::done(result);
}

void MacLotteryConsoleSheet::sendProgramScreen()
{
    if (m_context.presentation != MacLotteryContext::Presentation::console || m_programSent) {
        return;
    }
    m_programSent = true;
    returnScreenToProgram(m_client, m_project.id, m_context.item.id);
}

QCoro::Task<> MacLotteryConsoleSheet::present()
{
    QPointer<MacLotteryConsoleSheet> self(this);
    auto loading = load();
    co_await loading;
    // A console closed while it loaded must not put the QR code up after handing the screen back.
    if (!self || m_closed || m_context.presentation != MacLotteryContext::Presentation::console) {
        co_return;
    }
    auto screen = setScreen(LotteryValues::screenQR);
    co_await screen;
}

QCoro::Task<> MacLotteryConsoleSheet::load()
{
    QPointer<MacLotteryConsoleSheet> self(this);
    m_isLoading = !m_lottery.has_value();
    changed();
    auto settling = settleRequest(m_client.lottery(m_project.id, m_context.item.id));
    RequestOutcome<LotteryState> outcome = co_await settling;
    if (!self) {
        co_return;
    }
    if (outcome.value) {
        m_lottery = *outcome.value;
        if (m_draftPrizes.isEmpty()) {
            m_draftPrizes = outcome.value->prizes;
        }
        if (m_selectedPrizeID.isEmpty()) {
            m_selectedPrizeID = LotteryRules::initialPrizeID(*outcome.value);
        }
        m_message.clear();
    } else {
        m_message = outcome.failure;
    }
    m_isLoading = false;
    changed();
}

QCoro::Task<> MacLotteryConsoleSheet::runCommand(Request request)
{
    QPointer<MacLotteryConsoleSheet> self(this);
    m_isBusy = true;
    changed();
    auto settling = settleRequest(request());
    RequestOutcome<LotteryMutationResponse> outcome = co_await settling;
    if (!self) {
        co_return;
    }
    if (outcome.value) {
        if (outcome.value->lottery) {
            m_lottery = *outcome.value->lottery;
            m_draftPrizes = outcome.value->lottery->prizes;
        }
        m_message = outcome.value->message.value_or(synced);
    } else {
        m_message = outcome.failure;
    }
    m_isBusy = false;
    changed();
}

QCoro::Task<> MacLotteryConsoleSheet::setScreen(QString mode)
{
    auto command =
        runCommand([this, mode] { return m_client.setLotteryScreen(m_project.id, m_context.item.id, mode); });
    co_await command;
}

QCoro::Task<> MacLotteryConsoleSheet::setMode(QString mode)
{
    auto command =
        runCommand([this, mode] { return m_client.setLotteryMode(m_project.id, m_context.item.id, mode); });
    co_await command;
}

QCoro::Task<> MacLotteryConsoleSheet::savePrizes(LotteryState state)
{
    if (LotteryRules::hasIncompletePrize(m_draftPrizes)) {
        m_message = QStringLiteral("请完整填写奖项名称和奖品");
        changed();
        co_return;
    }
    auto command = runCommand([this, mode = state.mode, prizes = m_draftPrizes] {
        return m_client.saveLottery(m_project.id, m_context.item.id, mode, prizes);
    });
    co_await command;
}

QCoro::Task<> MacLotteryConsoleSheet::startDraw()
{
    auto command = runCommand([this, prizeID = m_selectedPrizeID] {
        return m_client.startLotteryDraw(m_project.id, m_context.item.id, prizeID);
    });
    co_await command;
}

QCoro::Task<> MacLotteryConsoleSheet::markNoShow()
{
    if (!m_noShowWinner) {
        co_return;
    }
    QPointer<MacLotteryConsoleSheet> self(this);
    auto command = runCommand([this, winID = m_noShowWinner->id] {
        return m_client.markLotteryNoShow(m_project.id, m_context.item.id, winID);
    });
    co_await command;
    if (!self) {
        co_return;
    }
    m_noShowWinner.reset();
    changed();
}

QCoro::Task<> MacLotteryConsoleSheet::claim()
{
    QPointer<MacLotteryConsoleSheet> self(this);
    m_isBusy = true;
    changed();
    auto settling = settleRequest(m_client.claimLottery(m_project.id, m_context.item.id, m_claimPhone));
    RequestOutcome<LotteryMutationResponse> outcome = co_await settling;
    if (!self) {
        co_return;
    }
    if (!outcome.value) {
        // The typed phone stays for another try.
        m_message = outcome.failure;
        m_isBusy = false;
        changed();
        co_return;
    }
    const QString result = outcome.value->message.value_or(QStringLiteral("核销完成"));
    m_message = result;
    m_claimPhone.clear();
    changed();
    auto reload = load();
    co_await reload;
    if (!self) {
        co_return;
    }
    // The reload clears the status line, yet the operator must still see whether the prize was
    // handed out; a failed reload adds its own text.
    m_message = m_message.isEmpty() ? result : result + QStringLiteral("；") + m_message;
    m_isBusy = false;
    changed();
}

// --- Controls -------------------------------------------------------------------------------

void MacLotteryConsoleSheet::copyLink()
{
    const auto url = registrationURL();
    if (!url) {
        return;
    }
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(url->toString(QUrl::FullyEncoded));
    m_message = QStringLiteral("报名链接已复制");
    changed();
}

void MacLotteryConsoleSheet::openLink()
{
    if (const auto url = registrationURL()) {
        QDesktopServices::openUrl(*url);
    }
}

void MacLotteryConsoleSheet::toggleEntry()
{
    if (!m_lottery) {
        return;
    }
    runCommand([this, open = !m_lottery->entryOpen] {
        return m_client.setLotteryEntry(m_project.id, m_context.item.id, open);
    });
}

void MacLotteryConsoleSheet::addPrize()
{
    LotteryPrize prize;
    prize.id = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    prize.winnerCount = 1;
    prize.drawnCount = 0;
    m_draftPrizes.append(prize);
    changed();
    if (!m_prizeRowWidgets.isEmpty()) {
        if (auto *name = m_prizeRowWidgets.last()->findChild<QLineEdit *>(QStringLiteral("prizeNameField"))) {
            name->setFocus();
        }
    }
}

void MacLotteryConsoleSheet::removePrize(const QString &prizeID)
{
    m_draftPrizes.removeIf([&](const LotteryPrize &p) { return p.id == prizeID; });
    changed();
}

void MacLotteryConsoleSheet::chooseMode(int index)
{
    const QString value = m_modePicker->itemData(index).toString();
    const bool differs = m_lottery && value != m_lottery->mode;
    // The picker shows the service's mode until a new lottery says otherwise.
    refresh();
    if (!differs) {
        return;
    }
    if (value == LotteryValues::formal) {
        m_showFormalConfirmation = true;
        m_formalConfirmation = confirm(
            QStringLiteral("formalConfirmation"), QStringLiteral("切换到正式抽奖？"),
            QStringLiteral("正式中奖记录用于现场领奖核销，不会随彩排重置。"), QStringLiteral("进入正式抽奖"),
            [this] { setMode(LotteryValues::formal); }, [this] { m_showFormalConfirmation = false; });
    } else {
        setMode(LotteryValues::rehearsal);
    }
}

void MacLotteryConsoleSheet::askNoShow(const LotteryWinner &winner)
{
    m_noShowWinner = winner;
    changed();
    m_noShowConfirmation = confirm(
        QStringLiteral("noShowConfirmation"), QStringLiteral("标记中奖人未到场？"),
        QStringLiteral("该中奖记录将显示为“中奖未到场失效”，并释放一个中奖名额。"),
        QStringLiteral("失效并允许重抽"),
        // Reads the winner as the button is pressed, before the dialog's closing clears it.
        [this] { markNoShow(); },
        [this] {
            m_noShowWinner.reset();
            changed();
        });
}

QMessageBox *MacLotteryConsoleSheet::confirm(const QString &objectName, const QString &title,
                                             const QString &text, const QString &confirmText,
                                             std::function<void()> onConfirm,
                                             std::function<void()> onFinished)
{
    auto *box = new QMessageBox(this);
    box->setObjectName(objectName);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::WindowModal);
    box->setIcon(QMessageBox::Warning);
    box->setWindowTitle(title);
    box->setText(title);
    box->setInformativeText(text);
    // Without a width of its own the dialog wraps its message after a few characters.
    if (auto *informative = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_informativelabel"))) {
        informative->setMinimumWidth(340);
    }
    QPushButton *confirmButton = box->addButton(confirmText, QMessageBox::DestructiveRole);
    confirmButton->setObjectName(QStringLiteral("confirmButton"));
    QPushButton *cancel = box->addButton(QStringLiteral("取消"), QMessageBox::RejectRole);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    box->setDefaultButton(cancel);
    box->setEscapeButton(cancel);
    connect(box, &QMessageBox::buttonClicked, this, [confirmButton, onConfirm](QAbstractButton *clicked) {
        if (clicked == confirmButton) {
            onConfirm();
        }
    });
    connect(box, &QMessageBox::finished, this, [onFinished] { onFinished(); });
    box->open();
    return box;
}

// --- Presentation ---------------------------------------------------------------------------

void MacLotteryConsoleSheet::refresh()
{
    m_headerProgress->setVisible(m_isLoading);
    if (m_lottery) {
        m_faces->setCurrentWidget(m_contentFace);
    } else if (m_message.isEmpty()) {
        m_faces->setCurrentWidget(m_loadingFace);
    } else {
        m_failureText->setText(m_message);
        m_faces->setCurrentWidget(m_failureFace);
    }
    m_messageLine->setVisible(m_lottery && !m_message.isEmpty());
    m_messageLine->setText(m_message);
    Theme::setTextColour(m_messageLine,
                         LotteryRules::isAlarming(m_message) ? Theme::Colour::red : Theme::Colour::secondary);
    if (!m_lottery) {
        return;
    }
    const LotteryState &state = *m_lottery;

    const bool formal = state.mode == LotteryValues::formal;
    m_entriesCell->setFigures(QString::number(state.entryCount),
                              state.entryOpen ? QStringLiteral("报名开放") : QStringLiteral("报名关闭"),
                              Theme::Colour::indigo);
    m_modeCell->setFigures(formal ? QStringLiteral("正式") : QStringLiteral("彩排"),
                           isRolling() ? QStringLiteral("正在滚动") : QStringLiteral("等待操作"),
                           formal ? Theme::Colour::orange : Theme::Colour::blue);
    m_prizesCell->setFigures(QString::number(state.prizes.size()),
                             QStringLiteral("共 ") + QString::number(LotteryRules::seatTotal(state.prizes)) +
                                 QStringLiteral(" 个名额"),
                             Theme::Colour::purple);

    refreshRegistration(state);
    refreshPrizeSettings(state);
    if (m_context.presentation == MacLotteryContext::Presentation::console) {
        refreshDrawControls(state);
        refreshWinners(state);
        refreshClaim(state);
    }
}

void MacLotteryConsoleSheet::refreshRegistration(const LotteryState &state)
{
    const auto url = registrationURL();
    const QString link = url ? url->toString(QUrl::FullyEncoded) : QString();
    if (m_linkText->toPlainText() != link) {
        m_linkText->setPlainText(link);
        m_qrCode->setImage(link.isEmpty() ? QImage() : macQRCodeImage(link));
    }
    m_entryButton->setVisible(state.canOperate);
    m_entryButton->setText(state.entryOpen ? QStringLiteral("关闭报名") : QStringLiteral("重新开放报名"));
    tint(m_entryButton, state.entryOpen ? Theme::Colour::orange : Theme::Colour::green);
}

void MacLotteryConsoleSheet::refreshPrizeSettings(const LotteryState &state)
{
    m_noPrizesText->setVisible(m_draftPrizes.isEmpty());
    syncPrizeRows();
    for (QWidget *row : std::as_const(m_prizeRowWidgets)) {
        row->setEnabled(state.canConfigure);
    }
    m_addPrizeButton->setEnabled(state.canConfigure);
    m_savePrizesButton->setEnabled(state.canConfigure && !m_isBusy);
}

void MacLotteryConsoleSheet::syncPrizeRows()
{
    QStringList ids;
    for (const LotteryPrize &prize : std::as_const(m_draftPrizes)) {
        ids.append(prize.id);
    }
    if (ids != m_prizeRowIDs) {
        // Rows are bound to their place in the list, so any change of the list rebuilds them.
        discard(m_prizeRowWidgets);
        for (qsizetype i = 0; i < m_draftPrizes.size(); ++i) {
            auto *row = new QWidget;
            row->setObjectName(QStringLiteral("prizeRow"));
            row->setProperty("prizeId", m_draftPrizes.at(i).id);
            auto *layout = new QHBoxLayout(row);
            layout->setContentsMargins(0, 0, 0, 0);
            auto *name = new QLineEdit(row);
            name->setObjectName(QStringLiteral("prizeNameField"));
            name->setPlaceholderText(QStringLiteral("奖项名称，例如一等奖"));
            auto *gift = new QLineEdit(row);
            gift->setObjectName(QStringLiteral("prizeGiftField"));
            gift->setPlaceholderText(QStringLiteral("奖品，例如儿童耳机"));
            auto *count = new QSpinBox(row);
            count->setObjectName(QStringLiteral("prizeCountStepper"));
            count->setSuffix(QStringLiteral(" 人"));
            count->setFixedWidth(125);
            auto *remove = new QToolButton(row);
            remove->setObjectName(QStringLiteral("deletePrizeButton"));
            remove->setIcon(Theme::icon(QStringLiteral("trash"), Theme::colour(Theme::Colour::red)));
            remove->setToolTip(QStringLiteral("删除奖项"));
            remove->setAutoRaise(true);
            layout->addWidget(name, 1);
            layout->addWidget(gift, 1);
            layout->addWidget(count);
            layout->addWidget(remove);
            connect(name, &QLineEdit::textEdited, this, [this, i](const QString &text) {
                if (i < m_draftPrizes.size()) {
                    m_draftPrizes[i].name = text;
                }
            });
            connect(gift, &QLineEdit::textEdited, this, [this, i](const QString &text) {
                if (i < m_draftPrizes.size()) {
                    m_draftPrizes[i].giftName = text;
                }
            });
            connect(count, &QSpinBox::valueChanged, this, [this, i](int value) {
                if (i < m_draftPrizes.size()) {
                    m_draftPrizes[i].winnerCount = value;
                }
            });
            const QString id = m_draftPrizes.at(i).id;
            connect(remove, &QToolButton::clicked, this, [this, id] { removePrize(id); });
            m_prizeRows->addWidget(row);
            m_prizeRowWidgets.append(row);
        }
        m_prizeRowIDs = ids;
    }
    for (qsizetype i = 0; i < m_draftPrizes.size(); ++i) {
        const LotteryPrize &prize = m_draftPrizes.at(i);
        QWidget *row = m_prizeRowWidgets.at(i);
        auto *name = row->findChild<QLineEdit *>(QStringLiteral("prizeNameField"));
        auto *gift = row->findChild<QLineEdit *>(QStringLiteral("prizeGiftField"));
        auto *count = row->findChild<QSpinBox *>(QStringLiteral("prizeCountStepper"));
        if (name->text() != prize.name) {
            name->setText(prize.name);
        }
        if (gift->text() != prize.giftName) {
            gift->setText(prize.giftName);
        }
        // The editor keeps 1 to 100; a count the service sent outside that is still shown as it is.
        constexpr qint64 intMax = std::numeric_limits<int>::max();
        constexpr qint64 intMin = std::numeric_limits<int>::min();
        const int value = int(std::clamp(prize.winnerCount, intMin, intMax));
        const QSignalBlocker blocker(count);
        count->setRange(std::min(1, value), std::max(100, value));
        count->setValue(value);
    }
}

void MacLotteryConsoleSheet::refreshDrawControls(const LotteryState &state)
{
    const bool rolling = isRolling();
    m_modePicker->setCurrentIndex(m_modePicker->findData(state.mode));
    m_modePicker->setEnabled(LotteryRules::canChangeMode(state, m_isBusy, rolling));
    m_resetButton->setVisible(state.mode == LotteryValues::rehearsal);
    m_resetButton->setEnabled(LotteryRules::canResetRehearsal(state, m_isBusy));
    m_modeNote->setText(state.mode == LotteryValues::formal ? QStringLiteral("正式中奖结果将用于核销")
                                                            : QStringLiteral("彩排结果可随时重置"));

    QStringList shown;
    for (int i = 0; i < m_prizePicker->count(); ++i) {
        shown.append(m_prizePicker->itemData(i).toString() + QLatin1Char('\n') + m_prizePicker->itemText(i));
    }
    QStringList wanted{QStringLiteral("\n请选择奖项")};
    for (const LotteryPrize &prize : state.prizes) {
        wanted.append(prize.id + QLatin1Char('\n') + LotteryRules::prizeOptionLabel(prize));
    }
    if (shown != wanted) {
        const QSignalBlocker blocker(m_prizePicker);
        m_prizePicker->clear();
        m_prizePicker->addItem(QStringLiteral("请选择奖项"), QString());
        for (const LotteryPrize &prize : state.prizes) {
            m_prizePicker->addItem(LotteryRules::prizeOptionLabel(prize), prize.id);
        }
    }
    {
        const QSignalBlocker blocker(m_prizePicker);
        m_prizePicker->setCurrentIndex(m_prizePicker->findData(m_selectedPrizeID));
    }
    m_prizePicker->setEnabled(!rolling && state.canOperate);

    m_rollingRow->setVisible(rolling);
    m_idleRow->setVisible(!rolling);
    m_rollingText->setText(LotteryRules::rollingText(selectedPrize()));
    m_idleText->setText(LotteryRules::idleDrawText(state.entryCount));
    m_startButton->setEnabled(LotteryRules::canStartDraw(state, m_selectedPrizeID, m_isBusy));
}

void MacLotteryConsoleSheet::refreshWinners(const LotteryState &state)
{
    m_noWinnersText->setVisible(state.winners.isEmpty());
    const bool same = m_winnersShown && m_winnersShown->winners == state.winners &&
                      m_winnersShown->prizes == state.prizes &&
                      m_winnersShown->canOperate == state.canOperate;
    if (same) {
        return;
    }
    m_winnersShown = state;
    discard(m_winnerRowWidgets);
    for (const LotteryWinner &winner : state.winners) {
        auto *holder = new QWidget;
        holder->setObjectName(QStringLiteral("winnerRow"));
        holder->setProperty("winnerId", winner.id);
        auto *outer = new QVBoxLayout(holder);
        outer->setContentsMargins(0, 0, 0, 0);
        outer->setSpacing(0);
        auto *row = new QHBoxLayout;
        row->setContentsMargins(0, 8, 0, 8);
        row->setSpacing(10);
        auto *who = new QVBoxLayout;
        who->setSpacing(2);
        auto *name =
            Theme::label(winner.displayName, Theme::TextStyle::headline, Theme::Colour::primary, holder);
        auto *phone =
            Theme::label(winner.maskedPhone, Theme::TextStyle::caption, Theme::Colour::secondary, holder);
        who->addWidget(name);
        who->addWidget(phone);
        row->addLayout(who);
        row->addStretch(1);
        auto *prize = Theme::label(LotteryRules::winnerPrizeName(state, winner), Theme::TextStyle::body,
                                   Theme::Colour::secondary, holder);
        row->addWidget(prize);
        auto *status = Theme::label(LotteryRules::statusLabel(winner.status), Theme::TextStyle::caption,
                                    QFont::Bold, LotteryRules::statusColour(winner.status), holder);
        status->setObjectName(QStringLiteral("winnerStatus"));
        row->addWidget(status);
        if (LotteryRules::canMarkNoShow(state, winner)) {
            auto *noShow = button(QStringLiteral("未到场"), QStringLiteral("noShowButton"), holder);
            connect(noShow, &QPushButton::clicked, this, [this, winner] { askNoShow(winner); });
            row->addWidget(noShow);
        }
        outer->addLayout(row);
        outer->addWidget(Theme::divider(holder));
        m_winnerRows->addWidget(holder);
        m_winnerRowWidgets.append(holder);
    }
}

void MacLotteryConsoleSheet::refreshClaim(const LotteryState &state)
{
    if (m_claimField->text() != m_claimPhone) {
        m_claimField->setText(m_claimPhone);
    }
    m_claimButton->setEnabled(LotteryRules::canClaim(state, m_claimPhone, m_isBusy));
}
