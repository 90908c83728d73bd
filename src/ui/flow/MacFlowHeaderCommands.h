#pragma once

#include <QObject>

class FlowPageState;
class FlowStructureCommands;
class QHBoxLayout;
class QPushButton;
class QWidget;

// The managers' structure buttons ("导入 Excel", "导出 Excel", "添加空白节目") and the chief
// director's freeze switch, placed into the header's structure area and kept in step with the
// page state: shown by role, disabled while frozen or while any action is in flight.
class MacFlowHeaderCommands : public QObject
{
    Q_OBJECT

public:
    MacFlowHeaderCommands(FlowPageState &state, FlowStructureCommands &commands, QHBoxLayout *area,
                          QObject *parent);

    void update();
    // Icon-only buttons, their texts in tooltips, while the header is too narrow for the labels.
    bool isCompact() const { return m_compact; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void fitToWidth();
    void applyLabels();

    FlowPageState &m_state;
    QWidget *m_header = nullptr;
    bool m_compact = false;
    QPushButton *m_import;
    QPushButton *m_export;
    QPushButton *m_add;
    QPushButton *m_freeze;
};
