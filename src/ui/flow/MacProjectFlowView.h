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
class QVBoxLayout;

// The rundown page "节目流程" of one project. It keeps its own copy of the project in its page
// state (FlowPageState), loads it when built and reloads it silently every 2 seconds while it
// lives; it does not read the workspace's data store.
//
// The parts that show only with a detail (the table, the summary, the player bar, the live control
// and its buttons) are built once the first request is on its way (at most 50 ms later), and with the first
// answer at the latest; asking for one of them builds them at once.
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
    FlowTableView *flowTable() { return built(m_table); }
    MacFlowHeader *header() const { return m_header; }
    // The header's structure commands and the sheets presented from the page state.
    FlowStructureCommands &commands() const { return *m_commands; }
    FlowSheetPresenter &sheets() const { return *m_sheets; }
    MacReadinessSummary *readinessSummary() { return built(m_summary); }
    // The player bar's frame; the player bar content goes into playerBarLayout(). Shown only
    // while an item is live, the role may control playback and the frame has content.
    QWidget *playerBar() { return built(m_playerBar); }
    // Takes the bar's place, at its height, once the show has stopped: the rows below stay
    // where they were until the page is left.
    QWidget *idlePlayerBar() { return built(m_idleBar); }
    QHBoxLayout *playerBarLayout() { return built(m_playerBarLayout); }
    PageStateStack *pageStates() const { return m_pages; }
    // Live control and playback.
    FlowLiveControl &liveControl() { return *built(m_live); }
    MacFlowLiveButtons *liveButtons() { return built(m_liveButtons); }
    MacFlowPlayerBar *playerBarContent() { return built(m_playerBarContent); }

    // Shows or hides the parts of the page that depend on the state.
    void updateLayout();

private:
    void buildDetailParts();
    QWidget *makeIdleBar();
    bool eventFilter(QObject *watched, QEvent *event) override;
    // A part read through a getter: built first if it is not yet.
    template<typename T>
    T &built(T &part)
    {
        buildDetailParts();
        return part;
    }

    ProjectSummary m_project;
    APIClient &m_client;
    QVBoxLayout *m_column = nullptr;
    QWidget *m_tableHost = nullptr;
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
    QWidget *m_idleBar = nullptr;
    // The tallest the bar's room has been; kept once the bar has shown.
    int m_barRoom = 0;
    bool m_barRoomKept = false;
    FlowTableView *m_table = nullptr;
    PageStateStack *m_pages = nullptr;
    FlowLiveControl *m_live = nullptr;
    MacFlowLiveButtons *m_liveButtons = nullptr;
    MacFlowPlayerBar *m_playerBarContent = nullptr;
};
