#pragma once

#include <QEvent>
#include <QHBoxLayout>
#include <QWidget>

#include <algorithm>

// Lays its children out in one row, leading-aligned and vertically centred; it never wraps.
// Children keep their natural width; those that do not fit are cut off at its edge, so a long
// row never widens the view around it nor squeezes every child's text.
class FlowLayout : public QWidget
{
public:
    explicit FlowLayout(int spacing, QWidget *parent = nullptr)
        : QWidget(parent)
        , m_content(new QWidget(this))
        , m_row(new QHBoxLayout(m_content))
    {
        m_row->setContentsMargins(0, 0, 0, 0);
        m_row->setSpacing(spacing);
        m_row->addStretch(1);
        setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    }

    void addWidget(QWidget *child)
    {
        m_row->insertWidget(m_row->count() - 1, child, 0, Qt::AlignVCenter);
        updateGeometry();
        placeContent();
    }

    QSize sizeHint() const override { return m_content->sizeHint(); }
    QSize minimumSizeHint() const override { return {0, m_content->sizeHint().height()}; }

protected:
    void resizeEvent(QResizeEvent *event) override
    {
        QWidget::resizeEvent(event);
        placeContent();
    }

    bool event(QEvent *event) override
    {
        // The row's own layout asks for room through its parent: follow its new natural size.
        if (event->type() == QEvent::LayoutRequest) {
            updateGeometry();
            placeContent();
        }
        return QWidget::event(event);
    }

private:
    void placeContent()
    {
        m_content->setGeometry(0, 0, std::max(width(), m_content->sizeHint().width()), height());
    }

    QWidget *m_content;
    QHBoxLayout *m_row;
};
