#pragma once

#include <QObject>

class FlowPageState;
class FlowStructureCommands;
class QHBoxLayout;
class QPushButton;

// The managers' structure buttons ("导入 Excel", "导出 Excel", "添加空白节目") and the chief
// director's freeze switch, placed into the header's structure area and kept in step with the
// page state: shown by role, disabled while frozen or while any action is in flight.
class MacFlowHeaderCommands : public QObject
{
    Q_OBJECT

public:
    MacFlowHeaderCommands(FlowPageState &state, FlowStructureCommands &commands, QHBoxLayout *area,
                          QObject *parent);

    void refresh();

private:
    FlowPageState &m_state;
    QPushButton *m_import;
    QPushButton *m_export;
    QPushButton *m_add;
    QPushButton *m_freeze;
};
