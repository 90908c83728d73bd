#include "MacWorkPassSheet.h"

#include "common/Theme.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

MacWorkPassSheet::MacWorkPassSheet(ProjectSummary project, ProjectMember member, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("workPassSheet"));
    setWindowTitle(QStringLiteral("工作证"));
    setWindowModality(Qt::WindowModal);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 24, 24, 24);
    layout->setSpacing(10);
    layout->addWidget(Theme::label(project.name, Theme::TextStyle::headline, Theme::Colour::secondary));
    auto *name = Theme::label(member.name, Theme::TextStyle::largeTitle);
    name->setObjectName(QStringLiteral("workPassName"));
    layout->addWidget(name);
    layout->addWidget(Theme::label(member.role, Theme::TextStyle::title3, Theme::Colour::indigo));
    const QString areas = member.passAreas.value_or(QString());
    if (!areas.isEmpty()) {
        layout->addWidget(Theme::label(areas, Theme::TextStyle::callout, Theme::Colour::secondary));
    }
    auto *close = new QPushButton(QStringLiteral("关闭"), this);
    close->setObjectName(QStringLiteral("workPassCloseButton"));
    layout->addWidget(close, 0, Qt::AlignRight);
    setMinimumWidth(360);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
}
