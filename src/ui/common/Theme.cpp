#include "Theme.h"

#include <QApplication>
#include <cstring>

namespace Theme {

QFont font(const char *style)
{
    QFont f = QApplication::font();
    if (std::strcmp(style, "largeTitle") == 0) {
        f.setPointSizeF(f.pointSizeF() * 2.0);
        f.setBold(true);
    }
    return f;
}

} // namespace Theme
