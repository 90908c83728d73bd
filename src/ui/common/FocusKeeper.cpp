#include "FocusKeeper.h"

#include <QApplication>

namespace FocusKeeper {

QPointer<QWidget> park(QWidget *view)
{
    QWidget *focused = QApplication::focusWidget();
    if (!view || !focused || !view->isAncestorOf(focused)) {
        return nullptr;
    }
    view->setFocus(Qt::OtherFocusReason);
    return focused;
}

void restore(const QPointer<QWidget> &control)
{
    if (control && control->isEnabled() && control->isVisible()) {
        control->setFocus(Qt::OtherFocusReason);
    }
}

} // namespace FocusKeeper
