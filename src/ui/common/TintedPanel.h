#pragma once

#include <QColor>
#include <QWidget>

// Fills the whole widget with `fill` on a rounded rectangle; for use inside its paintEvent.
void paintRoundedFill(QWidget *widget, const QColor &fill, qreal radius);

// A plain widget on a rounded tint.
class TintedPanel : public QWidget
{
public:
    TintedPanel(QColor fill, qreal radius, QWidget *parent = nullptr);

    void setFill(const QColor &fill);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor m_fill;
    qreal m_radius;
};
