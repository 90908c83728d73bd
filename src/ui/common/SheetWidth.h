#pragma once

class QDialog;

// Gives a sheet a fixed width and, kept up as its content changes, the height that content needs
// at that width. Nothing about it can be resized, so the window manager draws no resize handle
// along its bottom edge.
void fixSheetWidth(QDialog *sheet, int width);
