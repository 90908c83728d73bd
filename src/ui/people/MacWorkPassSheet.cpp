#include "MacWorkPassSheet.h"

#include "PeopleRules.h"
#include "PeopleWidgets.h"
#include "common/SheetWidth.h"
#include "common/Theme.h"
#include "rules/TextRules.h"

#include <QDateTime>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {

Theme::Colour roleColour(const QString &role)
{
    switch (PeopleRules::passColour(role)) {
    case PeopleRules::PassColour::green:
        return Theme::Colour::green;
    case PeopleRules::PassColour::orange:
        return Theme::Colour::orange;
    case PeopleRules::PassColour::blue:
        break;
    }
    return Theme::Colour::blue;
}

QLabel *whiteLabel(const QString &text, const QFont &font, QWidget *parent, qreal opacity = 1.0)
{
    auto *label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setFont(font);
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    label->setStyleSheet(QStringLiteral("color: %1; background: transparent;")
                             .arg(Theme::css(QColor::fromRgbF(1, 1, 1, opacity))));
    return label;
}

// The locale's long time form is its short one with seconds and a time zone; the pass wants the
// seconds but no zone.
QString withoutTimeZone(const QString &format)
{
    QString out;
    bool quoted = false;
    for (const QChar c : format) {
        if (c == u'\'') {
            quoted = !quoted;
        }
        if (quoted || c != u't') {
            out.append(c);
        }
    }
    return out.trimmed();
}

} // namespace

MacWorkPassSheet::MacWorkPassSheet(ProjectSummary project, ProjectMember member, QWidget *parent)
    : QDialog(parent)
    , m_clock(nullptr)
    , m_timer(new QTimer(this))
{
    setObjectName(QStringLiteral("workPassSheet"));
    setWindowTitle(QStringLiteral("电子工作证"));
    setWindowModality(Qt::WindowModal);
    fixSheetWidth(this, 500);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto *top = new QHBoxLayout;
    top->setContentsMargins(18, 18, 18, 18);
    top->addWidget(Theme::label(QStringLiteral("Quillory · 电子工作证"), Theme::TextStyle::headline));
    top->addStretch(1);
    auto *close = new QPushButton(QStringLiteral("关闭"), this);
    close->setObjectName(QStringLiteral("workPassCloseButton"));
    top->addWidget(close);
    layout->addLayout(top);

    const Theme::Colour tint = roleColour(member.role);
    auto *card = new QWidget(this);
    card->setObjectName(QStringLiteral("workPassCard"));
    card->setAttribute(Qt::WA_StyledBackground);
    card->setStyleSheet(QStringLiteral("#workPassCard { background: %1; }").arg(Theme::gradientCss(tint)));
    auto *column = new QVBoxLayout(card);
    column->setContentsMargins(30, 30, 30, 30);
    column->setSpacing(18);

    QFont avatarFont = font();
    avatarFont.setPixelSize(42);
    avatarFont.setBold(true);
    auto *avatar =
        new PeopleWidgets::Disc(TextRules::prefixCharacters(member.name, 1), QColor::fromRgbF(1, 1, 1, 0.92),
                                Theme::colour(tint), 92, avatarFont, card);
    avatar->setObjectName(QStringLiteral("workPassAvatar"));
    column->addWidget(avatar, 0, Qt::AlignHCenter);

    auto *identity = new QVBoxLayout;
    identity->setSpacing(5);
    auto *name = whiteLabel(member.name, Theme::font(Theme::TextStyle::largeTitle, QFont::Bold), card);
    name->setObjectName(QStringLiteral("workPassName"));
    identity->addWidget(name);
    auto *role = whiteLabel(member.role, Theme::font(Theme::TextStyle::title3, QFont::Bold), card);
    role->setObjectName(QStringLiteral("workPassRole"));
    identity->addWidget(role);
    auto *projectName = whiteLabel(project.name, Theme::font(Theme::TextStyle::headline), card, 0.85);
    projectName->setObjectName(QStringLiteral("workPassProject"));
    identity->addWidget(projectName);
    column->addLayout(identity);

    auto *divider = new QFrame(card);
    divider->setFixedHeight(1);
    divider->setStyleSheet(QStringLiteral("background: rgba(255, 255, 255, 0.5);"));
    column->addWidget(divider);

    auto *accessRow = new QHBoxLayout;
    accessRow->addStretch(1);
    const int symbolSize = Theme::pixelSize(Theme::TextStyle::title2) + 2;
    accessRow->addWidget(
        PeopleWidgets::symbolLabel(QStringLiteral("checkmark.shield.fill"), symbolSize, Qt::white, card));
    auto *access = whiteLabel(PeopleRules::passAccess(member.role, member.passAreas),
                              Theme::font(Theme::TextStyle::title2, QFont::Bold), card);
    access->setObjectName(QStringLiteral("workPassAccess"));
    // Wraps only when the areas don't fit on one line of the card.
    access->setMinimumWidth(
        std::min(QFontMetrics(access->font()).horizontalAdvance(access->text()) + 4, 380));
    accessRow->addWidget(access);
    accessRow->addStretch(1);
    column->addLayout(accessRow);

    // Fixed-pitch digits: the ticking seconds don't move the text.
    QFont clockFont = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    clockFont.setPixelSize(Theme::pixelSize(Theme::TextStyle::title3));
    clockFont.setBold(true);
    m_clock = whiteLabel(QString(), clockFont, card);
    m_clock->setObjectName(QStringLiteral("workPassClock"));
    column->addWidget(m_clock);

    column->addWidget(whiteLabel(QStringLiteral("动态时间用于现场核验，请勿使用截图代替实时工作证。 "),
                                 Theme::font(Theme::TextStyle::caption), card));
    layout->addWidget(card);

    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    m_timer->setInterval(1000);
    connect(m_timer, &QTimer::timeout, this, &MacWorkPassSheet::tick);
    m_timer->start();
    tick();
}

QString MacWorkPassSheet::clockText(const QDateTime &now)
{
    const QLocale locale;
    QString dateFormat = locale.dateFormat(QLocale::ShortFormat);
    // Some locales (C among them) spell the month out even in their short form: keep the date numeric.
    if (dateFormat.contains(QLatin1String("MMM"))) {
        dateFormat = QStringLiteral("yyyy-MM-dd");
    }
    return locale.toString(now.date(), dateFormat) + QLatin1Char(' ') +
           locale.toString(now.time(), withoutTimeZone(locale.timeFormat(QLocale::LongFormat)));
}

void MacWorkPassSheet::tick()
{
    m_clock->setText(clockText(QDateTime::currentDateTime()));
}
