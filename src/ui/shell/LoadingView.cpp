#include "LoadingView.h"

#include "common/LoadingFace.h"
#include "common/Theme.h"
#include "common/VersionLine.h"

#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

LoadingView::LoadingView(QWidget *parent)
    : QWidget(parent)
{
    QProgressBar *progress = busyBar(this, 180);
    progress->setObjectName(QStringLiteral("loadingProgress"));

    QLabel *caption = Theme::label(QStringLiteral("正在进入Quillory…"), Theme::TextStyle::body);
    caption->setObjectName(QStringLiteral("loadingLabel"));
    caption->setAlignment(Qt::AlignCenter);

    // The indicator and its label form the first row, the version line the second.
    auto *indicator = new QVBoxLayout;
    indicator->setSpacing(8);
    indicator->addWidget(progress, 0, Qt::AlignHCenter);
    indicator->addWidget(caption, 0, Qt::AlignHCenter);

    auto *layout = new QVBoxLayout(this);
    layout->setSpacing(12);
    layout->addStretch(1);
    layout->addLayout(indicator);
    layout->addWidget(Shell::versionLineLabel(), 0, Qt::AlignHCenter);
    layout->addStretch(1);
}
