#pragma once

class QLabel;
class QProgressBar;
class QWidget;

// An endless busy bar, `width` wide: the one look of waiting without a known end.
QProgressBar *busyBar(QWidget *parent, int width);

// Lays out an endless busy bar above `caption`, both centred in `face`: what a page shows while its
// data loads.
void fillLoadingFace(QWidget *face, QLabel *caption);
