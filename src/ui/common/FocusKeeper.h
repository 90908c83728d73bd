#pragma once

#include <QPointer>
#include <QWidget>

// Disabling the control that has keyboard focus makes Qt tab on to the next field, which selects
// all of its text, so the next keystroke replaces it. A screen that turns busy parks the focus on
// itself first and gives it back when the work is done.
namespace FocusKeeper {

// Moves the focus from a control inside `view` onto `view` itself; returns that control, or null
// when the focus was elsewhere.
QPointer<QWidget> park(QWidget *view);
// Gives the focus to `control` if it can take it, without selecting any text.
void restore(const QPointer<QWidget> &control);

} // namespace FocusKeeper
