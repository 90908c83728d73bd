#pragma once

class QLabel;
class QProgressBar;
class QString;
class QWidget;

// An endless busy bar, `width` wide: the one look of waiting without a known end.
QProgressBar *busyBar(QWidget *parent, int width);

// Lays out an endless busy bar above `caption`, both centred in `face`: what a page shows while its
// data loads.
void fillLoadingFace(QWidget *face, QLabel *caption);

// Lays out a symbol, a bold title and a description below it, centred in `face`: what a page shows
// when its data could not be read. Returns the description label, which takes the error as plain
// text.
QLabel *fillFailureFace(QWidget *face, const QString &title, const QString &symbol);
