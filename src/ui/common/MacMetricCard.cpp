#include "MacMetricCard.h"

#include "Theme.h"
#include "TintedPanel.h"

#include <QLabel>
#include <QVBoxLayout>

MacMetricCard::MacMetricCard(QString title, QString value, QString note, QWidget *parent)
    : QWidget(parent)
    , m_title(Theme::label(title, Theme::TextStyle::caption, Theme::Colour::secondary, this))
    , m_value(Theme::label(value, Theme::TextStyle::title2, QFont::Bold, Theme::Colour::primary, this))
    , m_note(Theme::label(note, Theme::TextStyle::caption2, Theme::Colour::secondary, this))
{
    m_title->setObjectName(QStringLiteral("metricTitle"));
    m_value->setObjectName(QStringLiteral("metricValue"));
    m_note->setObjectName(QStringLiteral("metricNote"));
    // One line whatever its length: a long value is cut at the card's edge, never wrapped, and
    // never widens the card.
    m_value->setWordWrap(false);
    m_value->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_value->setMinimumWidth(1);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(14, 14, 14, 14);
    layout->setSpacing(4);
    layout->addWidget(m_title);
    layout->addWidget(m_value);
    layout->addWidget(m_note);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

QString MacMetricCard::title() const
{
    return m_title->text();
}

QString MacMetricCard::value() const
{
    return m_value->text();
}

QString MacMetricCard::note() const
{
    return m_note->text();
}

void MacMetricCard::setValue(const QString &value)
{
    m_value->setText(value);
}

void MacMetricCard::setNote(const QString &note)
{
    m_note->setText(note);
}

void MacMetricCard::paintEvent(QPaintEvent *)
{
    paintRoundedFill(this, Theme::colour(Theme::Colour::secondary, 0.06), 12);
}
