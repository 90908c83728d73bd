#pragma once

#include "models/Rundown.h"

#include <QWidget>

class MacProjectDataStore;

// The makeup scheduling board. Placeholder until the makeup subsystem is built: it shows the
// number of shifts and appointments, read-only.
class MacMakeupBoard : public QWidget
{
    Q_OBJECT

public:
    MacMakeupBoard(MacProjectDataStore &store, ProjectDetailResponse detail, bool canManage,
                   QWidget *parent = nullptr);

    bool canManage() const { return m_canManage; }

private:
    MacProjectDataStore &m_store;
    ProjectDetailResponse m_detail;
    bool m_canManage;
};
