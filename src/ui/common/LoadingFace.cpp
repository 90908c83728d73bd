#include "LoadingFace.h"

#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

void fillLoadingFace(QWidget *face, QLabel *caption)
{
    auto *layout = new QVBoxLayout(face);
    layout->addStretch(1);
    auto *spinner = new QProgressBar(face);
    spinner->setRange(0, 0);
    spinner->setTextVisible(false);
    spinner->setFixedWidth(160);
    layout->addWidget(spinner, 0, Qt::AlignHCenter);
    layout->addWidget(caption, 0, Qt::AlignHCenter);
    layout->addStretch(1);
}
