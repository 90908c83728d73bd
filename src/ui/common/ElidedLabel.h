#pragma once

#include <QLabel>
#include <QPainter>

// A one-line label that ends in an ellipsis instead of growing: long user text never widens a
// row past its window.
class ElidedLabel : public QLabel
{
public:
    explicit ElidedLabel(QWidget *parent = nullptr, Qt::TextElideMode mode = Qt::ElideRight)
        : QLabel(parent)
        , m_mode(mode)
    {}
    explicit ElidedLabel(const QString &text, QWidget *parent = nullptr,
                         Qt::TextElideMode mode = Qt::ElideRight)
        : QLabel(text, parent)
        , m_mode(mode)
    {}

    QSize minimumSizeHint() const override { return {0, QLabel::minimumSizeHint().height()}; }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setPen(palette().color(QPalette::WindowText));
        const QString shown = fontMetrics().elidedText(text(), m_mode, contentsRect().width());
        painter.drawText(contentsRect(), int(alignment()) | Qt::TextSingleLine, shown);
    }

private:
    Qt::TextElideMode m_mode;
};
