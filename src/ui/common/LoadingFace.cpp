#include "LoadingFace.h"

#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

QProgressBar *busyBar(QWidget *parent, int width)
{
    auto *bar = new QProgressBar(parent);
    bar->setRange(0, 0);
    bar->setTextVisible(false);
    bar->setFixedWidth(width);
    return bar;
}

void fillLoadingFace(QWidget *face, QLabel *caption)
{
    auto *layout = new QVBoxLayout(face);
    layout->addStretch(1);
    layout->addWidget(busyBar(face, 160), 0, Qt::AlignHCenter);
    layout->addWidget(caption, 0, Qt::AlignHCenter);
    layout->addStretch(1);
}
