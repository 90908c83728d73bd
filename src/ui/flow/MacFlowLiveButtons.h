#pragma once

#include "models/Rundown.h"

#include <QWidget>

#include <optional>

class FlowLiveControl;
class FlowPageState;
class QPushButton;

// The header's live buttons: start or advance to the next item, and reset the show.
class MacFlowLiveButtons : public QWidget
{
    Q_OBJECT

public:
    MacFlowLiveButtons(FlowPageState &state, FlowLiveControl &live, QWidget *parent = nullptr);

    QPushButton *nextButton() const { return m_next; }
    QPushButton *resetButton() const { return m_reset; }
    void refresh();

private:
    FlowPageState &m_state;
    FlowLiveControl &m_live;
    std::optional<RundownItem> m_nextItem;
    QPushButton *m_next;
    QPushButton *m_reset;
};
