#pragma once

#include <QColor>
#include <QFont>

// Text styles and colours of the whole program.
namespace Theme {
QFont font(const char *style);
} // namespace Theme
