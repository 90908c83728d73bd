#pragma once

#include "models/WorkItems.h"

#include <QWidget>

#include <functional>

class MacProjectDataStore;
class QLabel;

// The tasks and incidents page over the workspace's store. Placeholder until the work-items
// page is built.
class MacWorkItemsView : public QWidget
{
    Q_OBJECT

public:
    MacWorkItemsView(MacProjectDataStore &store, std::function<void(WorkItemDestination)> onOpenDestination,
                     QWidget *parent = nullptr);

private:
    void refresh();

    MacProjectDataStore &m_store;
    std::function<void(WorkItemDestination)> m_onOpenDestination;
    QLabel *m_summary;
};
