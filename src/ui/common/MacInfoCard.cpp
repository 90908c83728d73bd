#include "MacInfoCard.h"

#include "Theme.h"
#include "TintedPanel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

MacInfoCard::MacInfoCard(QString title, QString icon, QColor accent, QStringList lines, QWidget *parent)
    : QWidget(parent)
    , m_title(std::move(title))
    , m_accent(std::move(accent))
    , m_lineBox(new QVBoxLayout)
{
    auto *heading = new QHBoxLayout;
    heading->setSpacing(6);
    const int iconSize = Theme::pixelSize(Theme::TextStyle::headline) + 2;
    auto *symbol = new QLabel(this);
    symbol->setObjectName(QStringLiteral("infoCardIcon"));
    symbol->setPixmap(Theme::symbolPixmap(icon, iconSize, m_accent));
    auto *titleLabel = Theme::label(m_title, Theme::TextStyle::headline, Theme::Colour::primary, this);
    titleLabel->setObjectName(QStringLiteral("infoCardTitle"));
    Theme::setTextColour(titleLabel, m_accent);
    heading->addWidget(symbol);
    heading->addWidget(titleLabel, 1);

    m_lineBox->setSpacing(8);
    m_lineBox->setContentsMargins(0, 0, 0, 0);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(15, 15, 15, 15);
    layout->setSpacing(8);
    layout->addLayout(heading);
    layout->addLayout(m_lineBox);
    layout->addStretch(1);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);

    setLines(lines);
}

void MacInfoCard::setLines(const QStringList &lines)
{
    m_lines = lines;
    while (QLayoutItem *item = m_lineBox->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    for (const QString &line : lines) {
        auto *label = Theme::label(line, Theme::TextStyle::callout, Theme::Colour::primary, this);
        label->setObjectName(QStringLiteral("infoCardLine"));
        label->setWordWrap(true);
        label->setTextFormat(Qt::PlainText);
        m_lineBox->addWidget(label);
    }
}

void MacInfoCard::paintEvent(QPaintEvent *)
{
    QColor fill = m_accent;
    fill.setAlphaF(fill.alphaF() * 0.07);
    paintRoundedFill(this, fill, 13);
}
