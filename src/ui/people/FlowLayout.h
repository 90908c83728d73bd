#pragma once

#include <QHBoxLayout>
#include <QWidget>

// Lays its children out in one row, leading-aligned and vertically centred; it never wraps.
class FlowLayout : public QWidget
{
public:
    explicit FlowLayout(int spacing, QWidget *parent = nullptr)
        : QWidget(parent)
        , m_row(new QHBoxLayout(this))
    {
        m_row->setContentsMargins(0, 0, 0, 0);
        m_row->setSpacing(spacing);
        m_row->addStretch(1);
    }

    void addWidget(QWidget *child) { m_row->insertWidget(m_row->count() - 1, child, 0, Qt::AlignVCenter); }

private:
    QHBoxLayout *m_row;
};
