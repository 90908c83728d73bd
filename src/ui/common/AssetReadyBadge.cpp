#include "AssetReadyBadge.h"

#include "Theme.h"

#include <QHBoxLayout>
#include <QLabel>

AssetReadyBadge::AssetReadyBadge(QString name, QString icon, bool exists, QWidget *parent)
    : QWidget(parent)
    , m_name(std::move(name))
    , m_exists(exists)
    , m_text(new QLabel(this))
{
    const QColor tint =
        exists ? Theme::colour(Theme::Colour::indigo) : Theme::colour(Theme::Colour::secondary, 0.65);
    const int iconSize = Theme::pixelSize(Theme::TextStyle::caption) + 2;

    auto *symbol = new QLabel(this);
    symbol->setObjectName(QStringLiteral("assetBadgeIcon"));
    symbol->setPixmap(Theme::symbolPixmap(icon, iconSize, tint));

    m_text->setObjectName(QStringLiteral("assetBadgeText"));
    m_text->setTextFormat(Qt::PlainText);
    Theme::setTextStyle(m_text, Theme::TextStyle::caption);
    Theme::setTextColour(m_text, tint);
    const int spacing = 4;
    const int textWidth = width - iconSize - spacing;
    const QString full = text(m_name, exists);
    m_text->setText(m_text->fontMetrics().elidedText(full, Qt::ElideRight, textWidth));
    if (m_text->text() != full) {
        m_text->setToolTip(full);
    }

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(spacing);
    layout->addWidget(symbol);
    layout->addWidget(m_text, 1);
    setFixedWidth(width);
}

QString AssetReadyBadge::text(const QString &name, bool exists)
{
    if (!exists) {
        return QStringLiteral("未上传");
    }
    return name.isEmpty() ? QStringLiteral("已上传") : name;
}

QString AssetReadyBadge::text() const
{
    return text(m_name, m_exists);
}
