#pragma once

#include "models/ProjectRecords.h"

#include <QCoro/QCoroTask>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <optional>

class APIClient;
class AppStore;
class MacAdminView;
class MacProjectWorkspaceView;
class QListWidget;
class QToolButton;
class QVBoxLayout;

// The screen of a signed-in window: the projects in a sidebar, the selected project's workspace
// beside it, and a toolbar for the account panel, signing out and the administration console.
class ProjectHomeView : public QWidget
{
    Q_OBJECT

public:
    ProjectHomeView(AppStore &store, APIClient &client, QWidget *parent = nullptr);
    ~ProjectHomeView() override;

    // The row's second line: date and time, each left out when empty, joined by " · ".
    static QString caption(const ProjectSummary &project);

    const std::optional<QString> &selection() const { return m_selection; }
    // Selects the project with that id; its workspace replaces any other.
    void select(const QString &projectID);
    bool isAdminMode() const { return m_adminMode; }
    bool isCreatingProject() const { return m_createSheet && m_createSheet->isVisible(); }
    bool isShowingAccountAccess() const { return m_accountPopover && m_accountPopover->isVisible(); }
    // The workspace of the selected project, when one is shown.
    MacProjectWorkspaceView *workspace() const { return m_workspace; }

private:
    static QCoro::Task<> createAndSelect(QPointer<ProjectHomeView> home, QPointer<AppStore> store,
                                         QString name, QString eventDate, QString startTime);

    void showHome();
    void showAdmin();
    QWidget *buildHome();
    QWidget *buildToolbar(QWidget *parent);
    QWidget *buildSidebar();
    QWidget *buildEmptyState();
    void rebuildProjectList();
    void syncListSelection();
    void onListSelectionChanged();
    void updateDetail();
    // Shows the workspace of the latest selection once its page's first request is on its way.
    void revealWorkspace();
    void discardWorkspace();
    void updateToolbar();
    void openCreateSheet();
    void openAccountPopover();

    AppStore &m_store;
    APIClient &m_client;
    std::optional<QString> m_selection;
    bool m_adminMode = false;
    // Watched, not owned by connections: they may go down together with this view.
    QPointer<QWidget> m_createSheet;
    QPointer<QWidget> m_accountPopover;

    QVBoxLayout *m_layout = nullptr;
    QWidget *m_home = nullptr;
    MacAdminView *m_admin = nullptr;
    QToolButton *m_adminButton = nullptr;
    QToolButton *m_accountButton = nullptr;
    QListWidget *m_projectList = nullptr;
    QWidget *m_detail = nullptr;
    QVBoxLayout *m_detailLayout = nullptr;
    QWidget *m_emptyState = nullptr;
    MacProjectWorkspaceView *m_workspace = nullptr;
    bool m_revealPending = false;
};
