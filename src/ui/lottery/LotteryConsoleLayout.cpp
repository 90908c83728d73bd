#include "LotteryConsoleLayout.h"

#include "LotteryRules.h"
#include "LotteryWidgets.h"
#include "MacQRCodeImage.h"
#include "common/LoadingFace.h"
#include "common/Theme.h"
#include "common/TintedPanel.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>

using LotteryWidgets::button;
using LotteryWidgets::spinner;
using LotteryWidgets::tint;

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

} // namespace

LotteryConsoleLayout::LotteryConsoleLayout(const QString &title, const QString &subtitle, const Cards &cards,
                                           QWidget *parent)
    : QWidget(parent)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(buildHeader(title, subtitle));
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
    m_contentFace->setWidget(buildContent(cards));
    m_faces->addWidget(m_loadingFace);
    m_faces->addWidget(m_failureFace);
    m_faces->addWidget(m_contentFace);
    layout->addWidget(m_faces, 1);

    m_messageLine = Theme::label(QString(), Theme::TextStyle::callout, Theme::Colour::secondary, this);
    m_messageLine->setObjectName(QStringLiteral("lotteryMessage"));
    m_messageLine->setWordWrap(true);
    m_messageLine->setContentsMargins(20, 8, 20, 12);
    layout->addWidget(m_messageLine);
}

QWidget *LotteryConsoleLayout::buildHeader(const QString &title, const QString &subtitle)
{
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
    auto *titleLabel =
        Theme::label(title, Theme::TextStyle::title2, QFont::Bold, Theme::Colour::primary, header);
    titleLabel->setObjectName(QStringLiteral("lotteryTitle"));
    auto *subtitleLabel = Theme::label(subtitle, Theme::TextStyle::body, Theme::Colour::secondary, header);
    subtitleLabel->setObjectName(QStringLiteral("lotterySubtitle"));
    subtitleLabel->setWordWrap(true);
    texts->addWidget(titleLabel);
    texts->addWidget(subtitleLabel);
    row->addLayout(texts, 1);

    m_headerProgress = spinner(header, 60);
    m_headerProgress->setObjectName(QStringLiteral("lotteryLoadingIndicator"));
    row->addWidget(m_headerProgress);

    auto *close = new QToolButton(header);
    close->setObjectName(QStringLiteral("closeButton"));
    close->setIcon(Theme::icon(QStringLiteral("xmark")));
    close->setToolTip(QStringLiteral("关闭"));
    close->setAutoRaise(true);
    connect(close, &QToolButton::clicked, this, &LotteryConsoleLayout::closeRequested);
    row->addWidget(close);
    return header;
}

QWidget *LotteryConsoleLayout::buildContent(const Cards &cards)
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
                              QStringLiteral("prizeSection"), cards.prizeSettings));
    if (cards.drawControls) {
        column->addWidget(section(QStringLiteral("开奖控制"), QStringLiteral("sparkles"),
                                  QStringLiteral("drawSection"), cards.drawControls));
    }
    if (cards.winners) {
        column->addWidget(section(QStringLiteral("中奖结果"),
                                  QStringLiteral("person.crop.circle.badge.checkmark"),
                                  QStringLiteral("winnersSection"), cards.winners));
    }
    if (cards.claim) {
        column->addWidget(section(QStringLiteral("领奖核销"), QStringLiteral("checkmark.seal"),
                                  QStringLiteral("claimSection"), cards.claim));
    }
    column->addStretch(1);
    return content;
}

QWidget *LotteryConsoleLayout::buildOverview()
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

QWidget *LotteryConsoleLayout::buildRegistrationCard()
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
    connect(copy, &QPushButton::clicked, this, &LotteryConsoleLayout::copyLinkRequested);
    connect(open, &QPushButton::clicked, this, &LotteryConsoleLayout::openLinkRequested);
    connect(m_entryButton, &QPushButton::clicked, this, &LotteryConsoleLayout::entryToggleRequested);
    buttons->addWidget(copy);
    buttons->addWidget(open);
    buttons->addWidget(m_entryButton);
    buttons->addStretch(1);
    column->addLayout(buttons);
    row->addLayout(column, 1);
    return card;
}

void LotteryConsoleLayout::refresh(bool isLoading, bool hasLottery, const QString &message)
{
    m_headerProgress->setVisible(isLoading);
    if (hasLottery) {
        m_faces->setCurrentWidget(m_contentFace);
    } else if (message.isEmpty()) {
        m_faces->setCurrentWidget(m_loadingFace);
    } else {
        m_failureText->setText(message);
        m_faces->setCurrentWidget(m_failureFace);
    }
    m_messageLine->setVisible(hasLottery && !message.isEmpty());
    m_messageLine->setText(message);
    Theme::setTextColour(m_messageLine,
                         LotteryRules::isAlarming(message) ? Theme::Colour::red : Theme::Colour::secondary);
}

void LotteryConsoleLayout::refreshLottery(const LotteryState &state, bool rolling,
                                          const std::optional<QUrl> &registrationURL)
{
    const bool formal = state.mode == LotteryValues::formal;
    m_entriesCell->setFigures(QString::number(state.entryCount),
                              state.entryOpen ? QStringLiteral("报名开放") : QStringLiteral("报名关闭"),
                              Theme::Colour::indigo);
    m_modeCell->setFigures(formal ? QStringLiteral("正式") : QStringLiteral("彩排"),
                           rolling ? QStringLiteral("正在滚动") : QStringLiteral("等待操作"),
                           formal ? Theme::Colour::orange : Theme::Colour::blue);
    m_prizesCell->setFigures(QString::number(state.prizes.size()),
                             QStringLiteral("共 ") + QString::number(LotteryRules::seatTotal(state.prizes)) +
                                 QStringLiteral(" 个名额"),
                             Theme::Colour::purple);

    const QString link = registrationURL ? registrationURL->toString(QUrl::FullyEncoded) : QString();
    if (m_linkText->toPlainText() != link) {
        m_linkText->setPlainText(link);
        m_qrCode->setImage(link.isEmpty() ? QImage() : macQRCodeImage(link));
    }
    m_entryButton->setVisible(state.canOperate);
    m_entryButton->setText(state.entryOpen ? QStringLiteral("关闭报名") : QStringLiteral("重新开放报名"));
    tint(m_entryButton, state.entryOpen ? Theme::Colour::orange : Theme::Colour::green);
}
