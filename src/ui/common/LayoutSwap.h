#pragma once

#include <QBoxLayout>
#include <QWidget>

// Shows `replacement` where `shown` stands in `layout` (inserted at `index` the first time), deletes
// the widget it replaces and remembers the replacement in `shown`. Never call it from a handler of
// the widget being replaced.
inline void swapLayoutWidget(QBoxLayout *layout, QWidget *&shown, QWidget *replacement, int index)
{
    if (shown) {
        delete layout->replaceWidget(shown, replacement); // the old item is ours
        delete shown;
    } else {
        layout->insertWidget(index, replacement);
    }
    shown = replacement;
    // A layout shows a widget added to a shown parent only on a later turn of the event loop: until
    // then the place stands empty, a flicker, and none of the new content counts as visible.
    replacement->show();
}
