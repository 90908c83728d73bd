#pragma once

#include "models/WorkItems.h"

#include <QWidget>

class QLabel;

// The directors' read-only board: open work items counted per feature by their source key.
class MacOperationsRiskBoard : public QWidget
{
    Q_OBJECT

public:
    explicit MacOperationsRiskBoard(WorkItemsSnapshot workItems, QWidget *parent = nullptr);

    const WorkItemsSnapshot &workItems() const { return m_workItems; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QWidget *risk(const QString &label, qsizetype count, const QColor &color, const QString &name);

    WorkItemsSnapshot m_workItems;
};
