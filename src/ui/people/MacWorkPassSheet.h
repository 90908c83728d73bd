#pragma once

#include "models/ProjectRecords.h"

#include <QDialog>

// One member's electronic work pass for the project. Open it with open(). Placeholder until the
// people subsystem is built: title, name, role and access areas, no clock.
class MacWorkPassSheet : public QDialog
{
    Q_OBJECT

public:
    MacWorkPassSheet(ProjectSummary project, ProjectMember member, QWidget *parent = nullptr);
};
