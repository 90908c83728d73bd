#pragma once

#include "admin/MacAdminRules.h"
#include "models/Admin.h"

#include <QCoro/QCoroTask>
#include <QList>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>
#include <optional>

class APIClient;
class MacAdminActions;
class MacAdminAssetsPage;
class MacAdminLogsPage;
class MacAdminOverviewPage;
class MacAdminProjectDetailSheet;
class MacAdminProjectsPage;
class MacAdminUsersPage;
class MacErrorBanner;
class QLabel;
class QLineEdit;
class QPushButton;
class QStackedWidget;

// The platform super-administrator console, filling the window in place of the project home:
// five pages of platform data, each change confirmed in a dialog and followed by a reload.
class MacAdminView : public QWidget
{
    Q_OBJECT

public:
    // Requests go through APIClient::shared().
    MacAdminView(QString accountName, std::function<void()> onExit, QWidget *parent = nullptr);
    MacAdminView(QString accountName, std::function<void()> onExit, APIClient &client,
                 QWidget *parent = nullptr);
    ~MacAdminView() override;

    MacAdminPage page() const { return m_page; }
    const QString &query() const { return m_query; }
    bool isLoading() const { return m_isLoading; }
    const QString &error() const { return m_error; }
    const std::optional<MacAdminPendingAction> &pendingAction() const;
    const std::optional<AdminProject> &selectedProject() const { return m_selectedProject; }
    const std::optional<AdminOverview> &overview() const { return m_overview; }
    const std::optional<AdminUsersResponse> &usersData() const { return m_usersData; }
    const QList<AdminProject> &projects() const { return m_projects; }
    const std::optional<AdminAssetsResponse> &assetsData() const { return m_assetsData; }
    const QList<AdminAuditLog> &logs() const { return m_logs; }

    // What the sidebar's page buttons do: empty the search, and load when the page changes.
    void choosePage(MacAdminPage page);
    // Proposes a change and asks for confirmation; nothing is sent before it is confirmed.
    void propose(MacAdminPendingAction action);
    // Opens the read-only sheet of a project.
    void showProject(const AdminProject &project);
    // What the refresh button does.
    void refresh();

Q_SIGNALS:
    void loadFinished(); // the newest load ended, with or without success

private:
    QWidget *buildSidebar(const QString &accountName);
    QWidget *buildContent();

    void load();
    QCoro::Task<> runLoad(quint64 number, MacAdminPage page);
    void setIsLoading(bool loading);
    void setError(const QString &error);
    // An action's failure: it stays until a load started after it ends.
    void setActionError(const QString &error);
    // Whether the page's data ever arrived; until then a failed load shows its failure, not an
    // empty page.
    bool hasLoaded(MacAdminPage page) const;
    void updateChrome();
    void updatePageArea();
    void updateOverview();
    void updateUsers();
    void updateUserRows(bool keepPlace = false);
    void updateProjects();
    void updateAssets(bool keepPlace = false);
    void updateLogs(bool keepPlace = false);
    void updateCurrentPage();

    APIClient &m_client;
    std::function<void()> m_onExit;

    MacAdminPage m_page = MacAdminPage::overview;
    std::optional<AdminOverview> m_overview;
    std::optional<AdminUsersResponse> m_usersData;
    QList<AdminProject> m_projects;
    std::optional<AdminAssetsResponse> m_assetsData;
    QList<AdminAuditLog> m_logs;
    std::optional<AdminProject> m_selectedProject;
    QString m_query;
    bool m_isLoading = false;
    QString m_error;
    // While m_error is an action's failure: the number of the last load started before it.
    std::optional<quint64> m_actionErrorAfterLoad;
    bool m_projectsLoaded = false;
    bool m_logsLoaded = false;
    quint64 m_startedLoads = 0;
    // Set by a page change: the page's list still shows an earlier visit until a load builds it.
    bool m_listAwaitsLoad = false;

    MacAdminActions *m_actions = nullptr;

    QList<QPushButton *> m_pageButtons;
    QLabel *m_pageTitle = nullptr;
    QLineEdit *m_search = nullptr;
    QStackedWidget *m_pageArea = nullptr;
    QWidget *m_loadingFace = nullptr;
    QWidget *m_failedFace = nullptr;
    QLabel *m_failedDescription = nullptr;
    MacAdminOverviewPage *m_overviewPage = nullptr;
    MacAdminUsersPage *m_usersPage = nullptr;
    MacAdminProjectsPage *m_projectsPage = nullptr;
    MacAdminAssetsPage *m_assetsPage = nullptr;
    MacAdminLogsPage *m_logsPage = nullptr;
    MacErrorBanner *m_banner = nullptr;

    QPointer<MacAdminProjectDetailSheet> m_sheet;
};
