#include "TintedPanel.h"

#include <QPainter>
#include <QPainterPath>

void paintRoundedFill(QWidget *widget, const QColor &fill, qreal radius)
{
    QPainter painter(widget);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(QRectF(widget->rect()), radius, radius);
    painter.fillPath(path, fill);
}

TintedPanel::TintedPanel(QColor fill, qreal radius, QWidget *parent)
    : QWidget(parent)
    , m_fill(std::move(fill))
    , m_radius(radius)
{}

void TintedPanel::setFill(const QColor &fill)
{
    m_fill = fill;
    update();
}

void TintedPanel::paintEvent(QPaintEvent *)
{
    paintRoundedFill(this, m_fill, m_radius);
}
