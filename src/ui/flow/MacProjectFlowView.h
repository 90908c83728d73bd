#pragma once

#include "models/ProjectRecords.h"

#include <QWidget>

#include <functional>

class APIClient;
class FlowLiveControl;
class FlowPageState;
class FlowSheetPresenter;
class FlowStructureCommands;
class FlowTableModel;
class FlowTableView;
class MacFlowHeader;
class MacFlowLiveButtons;
class MacFlowPlayerBar;
class MacReadinessSummary;
class PageStateStack;
class QHBoxLayout;
class QLabel;

// The rundown page "节目流程" of one project. It keeps its own copy of the project in its page
// state (FlowPageState), loads it when built and reloads it silently every 2 seconds while it
// lives; it does not read the workspace's data store.
class MacProjectFlowView : public QWidget
{
    Q_OBJECT

public:
    // Requests go through APIClient::shared().
    MacProjectFlowView(ProjectSummary project, std::function<void()> onOpenTasks, QWidget *parent = nullptr);
    MacProjectFlowView(ProjectSummary project, APIClient &client, std::function<void()> onOpenTasks,
                       QWidget *parent = nullptr);
    ~MacProjectFlowView() override;

    const ProjectSummary &project() const { return m_project; }
    FlowPageState &state() const { return *m_state; }
    FlowTableModel &model() const { return *m_model; }
    FlowTableView *flowTable() const { return m_table; }
    MacFlowHeader *header() const { return m_header; }
    // The header's structure commands and the sheets presented from the page state.
    FlowStructureCommands &commands() const { return *m_commands; }
    FlowSheetPresenter &sheets() const { return *m_sheets; }
    MacReadinessSummary *readinessSummary() const { return m_summary; }
    // The player bar's frame; the player bar content goes into playerBarLayout(). Shown only
    // while an item is live, the role may control playback and the frame has content.
    QWidget *playerBar() const { return m_playerBar; }
    QHBoxLayout *playerBarLayout() const { return m_playerBarLayout; }
    PageStateStack *pageStates() const { return m_pages; }
    // Live control and playback.
    FlowLiveControl &liveControl() const { return *m_live; }
    MacFlowLiveButtons *liveButtons() const { return m_liveButtons; }
    MacFlowPlayerBar *playerBarContent() const { return m_playerBarContent; }

    // Shows or hides the parts of the page that depend on the state.
    void updateLayout();

private:

    ProjectSummary m_project;
    FlowPageState *m_state;
    FlowTableModel *m_model;
    MacFlowHeader *m_header = nullptr;
    FlowStructureCommands *m_commands = nullptr;
    FlowSheetPresenter *m_sheets = nullptr;
    QWidget *m_frozenNotice = nullptr;
    MacReadinessSummary *m_summary = nullptr;
    QWidget *m_playerBarHost = nullptr;
    QWidget *m_playerBar = nullptr;
    QHBoxLayout *m_playerBarLayout = nullptr;
    FlowTableView *m_table = nullptr;
    PageStateStack *m_pages = nullptr;
    FlowLiveControl *m_live = nullptr;
    MacFlowLiveButtons *m_liveButtons = nullptr;
    MacFlowPlayerBar *m_playerBarContent = nullptr;
};
