#include "LoadingFace.h"

#include "Theme.h"

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

QLabel *fillFailureFace(QWidget *face, const QString &title, const QString &symbol)
{
    auto *layout = new QVBoxLayout(face);
    layout->setSpacing(10);
    layout->addStretch(1);
    auto *icon = new QLabel(face);
    icon->setPixmap(Theme::symbolPixmap(symbol, 44, Theme::colour(Theme::Colour::secondary)));
    layout->addWidget(icon, 0, Qt::AlignHCenter);
    layout->addWidget(
        Theme::label(title, Theme::TextStyle::title2, QFont::Bold, Theme::Colour::primary, face), 0,
        Qt::AlignHCenter);
    auto *description = Theme::label(QString(), Theme::TextStyle::body, Theme::Colour::secondary, face);
    description->setTextFormat(Qt::PlainText);
    description->setWordWrap(true);
    description->setAlignment(Qt::AlignHCenter);
    layout->addWidget(description);
    layout->addStretch(1);
    return description;
}
