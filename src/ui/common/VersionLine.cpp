#include "VersionLine.h"

#include "common/Theme.h"

#include <QLabel>

namespace Shell {

QString versionLine()
{
    return QStringLiteral("Quillory ") + versionText;
}

QLabel *versionLineLabel(QWidget *parent)
{
    QLabel *label = Theme::label(versionLine(), Theme::TextStyle::caption2, Theme::Colour::tertiary, parent);
    label->setObjectName(QStringLiteral("versionLine"));
    label->setAlignment(Qt::AlignCenter);
    return label;
}

} // namespace Shell
