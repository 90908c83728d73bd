#include "MacProjectFlowView.h"

#include "common/Theme.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

MacProjectFlowView::MacProjectFlowView(ProjectSummary project, std::function<void()> onOpenTasks,
                                       QWidget *parent)
    : QWidget(parent)
    , m_project(std::move(project))
    , m_onOpenTasks(std::move(onOpenTasks))
{
    setObjectName(QStringLiteral("flowView"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(22, 22, 22, 22);
    layout->setSpacing(10);
    layout->addWidget(Theme::label(QStringLiteral("节目流程"), Theme::TextStyle::title, QFont::Bold));
    auto *name = Theme::label(m_project.name, Theme::TextStyle::headline, Theme::Colour::secondary);
    name->setObjectName(QStringLiteral("flowProjectName"));
    layout->addWidget(name);

    auto *openTasks = new QPushButton(QStringLiteral("查看任务"), this);
    openTasks->setObjectName(QStringLiteral("flowOpenTasksButton"));
    connect(openTasks, &QPushButton::clicked, this, [this] {
        if (m_onOpenTasks) {
            m_onOpenTasks();
        }
    });
    layout->addWidget(openTasks, 0, Qt::AlignLeft);
    layout->addStretch(1);
}
