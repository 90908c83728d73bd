#pragma once

#include <QString>

class QLabel;
class QWidget;

namespace Shell {

// The one version constant of the program.
inline const QString versionText = QStringLiteral("v0.18.2（Build 55）");

// "Quillory v0.18.2（Build 55）", the line the shell screens end with.
QString versionLine();
// That line in the smallest caption font and the faintest text colour.
QLabel *versionLineLabel(QWidget *parent = nullptr);

} // namespace Shell
