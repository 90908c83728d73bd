#pragma once

#include "models/ProjectRecords.h"

#include <QWidget>

#include <functional>

// The rundown page of one project. It keeps its own copy of the project and does not read the
// workspace's data store. Placeholder until the rundown itself is built.
class MacProjectFlowView : public QWidget
{
    Q_OBJECT

public:
    MacProjectFlowView(ProjectSummary project, std::function<void()> onOpenTasks, QWidget *parent = nullptr);

    const ProjectSummary &project() const { return m_project; }

private:
    ProjectSummary m_project;
    std::function<void()> m_onOpenTasks;
};
