#pragma once

#include "common/Theme.h"

#include <QList>
#include <QString>

class QProgressBar;
class QPushButton;
class QWidget;

// Controls shared by the cards of the lottery sheet.
namespace LotteryWidgets {

// A push button that neither presses on Return in a field nor keeps the focus after a click.
QPushButton *button(const QString &text, const QString &objectName, QWidget *parent = nullptr);
// Fills the button with `colour` under white text.
void tint(QPushButton *button, Theme::Colour colour);
// An indeterminate bar in place of a spinner.
QProgressBar *spinner(QWidget *parent, int width);
// Rows are replaced from inside their own buttons' clicks: let go of them now, delete them later.
void discard(QList<QWidget *> &rows);

} // namespace LotteryWidgets
