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
struct AdminRow;
class MacAdminProjectDetailSheet;
class MacAdminTableModel;
class MacErrorBanner;
class QBoxLayout;
class QGridLayout;
class QLabel;
class QLineEdit;
class QMessageBox;
class QPushButton;
class QScrollArea;
class QStackedWidget;
class QTableView;
class QVBoxLayout;

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
    const std::optional<MacAdminPendingAction> &pendingAction() const { return m_pendingAction; }
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

    // The coloured metric card of the overview and users pages, and the small cell of a project card.
    static QWidget *adminMetric(const QString &title, const QString &value, const QString &detail,
                                Theme::Colour colour, QWidget *parent = nullptr);
    static QWidget *projectMetric(const QString &title, const QString &value, QWidget *parent = nullptr);
    static QString bytes(qint64 value) { return MacAdminRules::bytes(value); }

Q_SIGNALS:
    void loadFinished(); // the newest load ended, with or without success

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *buildSidebar(const QString &accountName);
    QWidget *buildContent();
    QWidget *buildOverviewPage();
    QWidget *buildUsersPage();
    QWidget *buildProjectsPage();
    QWidget *buildAssetsPage();
    QWidget *buildLogsPage();
    QWidget *buildAssetSection(const QString &title, const QString &note, bool trashed);

    void load();
    QCoro::Task<> runLoad(quint64 number, MacAdminPage page);
    void perform(MacAdminPendingAction action);
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
    void setRows(QTableView *view, MacAdminTableModel *model, QList<AdminRow> rows, bool keepPlace);
    void updateCurrentPage();
    int projectColumns() const;
    void fitUserColumns();

    APIClient &m_client;
    std::function<void()> m_onExit;

    MacAdminPage m_page = MacAdminPage::overview;
    std::optional<AdminOverview> m_overview;
    std::optional<AdminUsersResponse> m_usersData;
    QList<AdminProject> m_projects;
    std::optional<AdminAssetsResponse> m_assetsData;
    QList<AdminAuditLog> m_logs;
    std::optional<AdminProject> m_selectedProject;
    std::optional<MacAdminPendingAction> m_pendingAction;
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

    // What the lists show, in row order, for the row buttons.
    QList<AdminUser> m_shownUsers;
    QList<AdminAsset> m_shownAssets;

    QList<QPushButton *> m_pageButtons;
    QLabel *m_pageTitle = nullptr;
    QLineEdit *m_search = nullptr;
    QStackedWidget *m_pageArea = nullptr;
    QWidget *m_loadingFace = nullptr;
    QWidget *m_failedFace = nullptr;
    QLabel *m_failedDescription = nullptr;
    QWidget *m_overviewPage = nullptr;
    QWidget *m_usersPage = nullptr;
    QWidget *m_projectsPage = nullptr;
    QWidget *m_assetsPage = nullptr;
    QWidget *m_logsPage = nullptr;
    MacErrorBanner *m_banner = nullptr;

    QVBoxLayout *m_overviewLayout = nullptr;
    QWidget *m_overviewContent = nullptr;

    QWidget *m_sourceRow = nullptr;
    QVBoxLayout *m_sourceRowHost = nullptr;
    MacAdminTableModel *m_usersModel = nullptr;
    QTableView *m_usersTable = nullptr;
    QBoxLayout *m_usersRow = nullptr;
    QWidget *m_leaderboard = nullptr;
    QVBoxLayout *m_leaderboardRows = nullptr;
    QWidget *m_leaderboardContent = nullptr;

    QScrollArea *m_projectsScroll = nullptr;
    QGridLayout *m_projectsGrid = nullptr;
    int m_shownProjectColumns = 0;

    MacAdminTableModel *m_assetsModel = nullptr;
    MacAdminTableModel *m_trashModel = nullptr;
    QTableView *m_assetsTable = nullptr;
    QTableView *m_trashTable = nullptr;
    QLabel *m_assetsCount = nullptr;
    QLabel *m_trashCount = nullptr;
    QWidget *m_assetsPlaceholder = nullptr;
    QWidget *m_trashPlaceholder = nullptr;

    MacAdminTableModel *m_logsModel = nullptr;
    QTableView *m_logsTable = nullptr;

    QPointer<QMessageBox> m_confirmation;
    QPointer<MacAdminProjectDetailSheet> m_sheet;
};
