#pragma once

#include <QWidget>

class MacProjectDataStore;
class QLabel;

// The performer groups of the project over the workspace's store. Placeholder until the groups
// view is built: it lists the groups and their decision, read-only.
class MacGroupsView : public QWidget
{
    Q_OBJECT

public:
    explicit MacGroupsView(MacProjectDataStore &store, QWidget *parent = nullptr);

private:
    void refresh();

    MacProjectDataStore &m_store;
    QLabel *m_list;
};
