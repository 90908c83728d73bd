#pragma once

#include "models/WorkItems.h"

#include <QWidget>

// Read-only board of the open work items of one snapshot. Placeholder until the work-items
// subsystem draws the full board.
class MacOperationsRiskBoard : public QWidget
{
    Q_OBJECT

public:
    explicit MacOperationsRiskBoard(WorkItemsSnapshot workItems, QWidget *parent = nullptr);

    const WorkItemsSnapshot &workItems() const { return m_workItems; }

private:
    WorkItemsSnapshot m_workItems;
};
