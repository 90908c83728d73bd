#pragma once

class QLabel;
class QWidget;

// Lays out an endless busy bar above `caption`, both centred in `face`: what a page shows while its
// data loads.
void fillLoadingFace(QWidget *face, QLabel *caption);
