#include "MacAdminView.h"

#include "MacAdminActions.h"
#include "MacAdminAssetsPage.h"
#include "MacAdminLogsPage.h"
#include "MacAdminOverviewPage.h"
#include "MacAdminProjectDetailSheet.h"
#include "MacAdminProjectsPage.h"
#include "MacAdminUsersPage.h"
#include "api/APIClient.h"
#include "common/LoadingFace.h"
#include "common/MacErrorBanner.h"
#include "common/Theme.h"
#include "common/VersionLine.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace {

// Theme::divider draws the horizontal lines.
QFrame *verticalRule()
{
    auto *line = new QFrame;
    line->setFrameShape(QFrame::VLine);
    line->setFrameShadow(QFrame::Plain);
    line->setStyleSheet(QStringLiteral("color: %1;").arg(Theme::css(Theme::Colour::separator)));
    return line;
}

QString pageKey(MacAdminPage page)
{
    switch (page) {
    case MacAdminPage::overview:
        return QStringLiteral("overview");
    case MacAdminPage::users:
        return QStringLiteral("users");
    case MacAdminPage::projects:
        return QStringLiteral("projects");
    case MacAdminPage::assets:
        return QStringLiteral("assets");
    case MacAdminPage::logs:
        return QStringLiteral("logs");
    }
    return {};
}

} // namespace

MacAdminView::MacAdminView(QString accountName, std::function<void()> onExit, QWidget *parent)
    : MacAdminView(std::move(accountName), std::move(onExit), APIClient::shared(), parent)
{}

MacAdminView::MacAdminView(QString accountName, std::function<void()> onExit, APIClient &client,
                           QWidget *parent)
    : QWidget(parent)
    , m_client(client)
    , m_onExit(std::move(onExit))
{
    setObjectName(QStringLiteral("adminView"));
    m_actions = new MacAdminActions(m_client, this);
    connect(m_actions, &MacAdminActions::performed, this, &MacAdminView::load);
    connect(m_actions, &MacAdminActions::failed, this, &MacAdminView::setActionError);

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(buildSidebar(accountName));
    layout->addWidget(verticalRule());
    layout->addWidget(buildContent(), 1);

    m_banner = new MacErrorBanner(QString());
    m_banner->setObjectName(QStringLiteral("adminErrorBanner"));
    m_banner->attachToBottom(this);

    updateChrome();
    updateOverview();
    updateUsers();
    updateProjects();
    updateAssets();
    updateLogs();
    load();
}

MacAdminView::~MacAdminView() = default;

QWidget *MacAdminView::buildSidebar(const QString &accountName)
{
    auto *sidebar = new QWidget;
    sidebar->setObjectName(QStringLiteral("adminSidebar"));
    sidebar->setFixedWidth(220);
    sidebar->setAutoFillBackground(true);
    QPalette palette = sidebar->palette();
    palette.setColor(QPalette::Window, Theme::colour(Theme::Colour::controlBackground));
    sidebar->setPalette(palette);

    auto *column = new QVBoxLayout(sidebar);
    column->setContentsMargins(16, 16, 16, 16);
    column->setSpacing(8);

    auto *brand = new QHBoxLayout;
    brand->setSpacing(10);
    auto *badge = new QLabel(QStringLiteral("Q"));
    badge->setFixedSize(42, 42);
    badge->setAlignment(Qt::AlignCenter);
    badge->setFont(Theme::font(Theme::TextStyle::title2, QFont::Bold));
    badge->setStyleSheet(QStringLiteral("color: white; background: %1; border-radius: 11px;")
                             .arg(Theme::gradientCss(Theme::Colour::indigo)));
    brand->addWidget(badge);
    auto *brandText = new QVBoxLayout;
    brandText->setSpacing(2);
    brandText->addWidget(Theme::label(QStringLiteral("Quillory"), Theme::TextStyle::headline));
    brandText->addWidget(
        Theme::label(QStringLiteral("超级管理员后台"), Theme::TextStyle::caption, Theme::Colour::secondary));
    brand->addLayout(brandText, 1);
    column->addLayout(brand);
    column->addSpacing(14);

    for (MacAdminPage page : MacAdminPages::allCases()) {
        auto *button = new QPushButton(Theme::icon(MacAdminPages::symbol(page)), MacAdminPages::title(page));
        button->setObjectName(QStringLiteral("adminPage_") + pageKey(page));
        button->setFlat(true);
        button->setCursor(Qt::PointingHandCursor);
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        connect(button, &QPushButton::clicked, this, [this, page] { choosePage(page); });
        column->addWidget(button);
        m_pageButtons.append(button);
    }
    column->addStretch(1);

    auto *account = new QVBoxLayout;
    account->setSpacing(3);
    auto *name = Theme::label(accountName, Theme::TextStyle::headline);
    name->setObjectName(QStringLiteral("adminAccountName"));
    account->addWidget(name);
    account->addWidget(
        Theme::label(QStringLiteral("平台超级管理员"), Theme::TextStyle::caption, Theme::Colour::secondary));
    column->addLayout(account);

    auto *exit = new QPushButton(QStringLiteral("返回演出协作台"));
    exit->setObjectName(QStringLiteral("exitAdminButton"));
    connect(exit, &QPushButton::clicked, this, [this] {
        if (m_onExit) {
            m_onExit();
        }
    });
    column->addWidget(exit);
    auto *version = Theme::label(Shell::versionText, Theme::TextStyle::caption2, Theme::Colour::tertiary);
    version->setAlignment(Qt::AlignHCenter);
    column->addWidget(version);
    return sidebar;
}

QWidget *MacAdminView::buildContent()
{
    auto *content = new QWidget;
    auto *column = new QVBoxLayout(content);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    auto *header = new QHBoxLayout;
    header->setContentsMargins(20, 20, 20, 20);
    header->setSpacing(10);
    auto *titles = new QVBoxLayout;
    titles->setSpacing(2);
    titles->addWidget(
        Theme::label(QStringLiteral("平台级管理"), Theme::TextStyle::caption, Theme::Colour::secondary));
    m_pageTitle = Theme::label(QString(), Theme::TextStyle::title, QFont::Bold, Theme::Colour::primary);
    m_pageTitle->setObjectName(QStringLiteral("adminPageTitle"));
    titles->addWidget(m_pageTitle);
    header->addLayout(titles);
    header->addStretch(1);
    m_search = new QLineEdit;
    m_search->setObjectName(QStringLiteral("adminSearchField"));
    m_search->setFixedWidth(300);
    m_search->setClearButtonEnabled(true);
    connect(m_search, &QLineEdit::textEdited, this, [this](const QString &text) {
        m_query = text;
        updateCurrentPage();
    });
    header->addWidget(m_search);
    auto *refreshButton =
        new QPushButton(Theme::icon(QStringLiteral("arrow.clockwise")), QStringLiteral("刷新"));
    refreshButton->setObjectName(QStringLiteral("adminRefreshButton"));
    connect(refreshButton, &QPushButton::clicked, this, &MacAdminView::refresh);
    header->addWidget(refreshButton);
    column->addLayout(header);
    column->addWidget(Theme::divider());

    m_pageArea = new QStackedWidget;
    m_pageArea->setObjectName(QStringLiteral("adminPageArea"));
    m_loadingFace = new QWidget;
    m_loadingFace->setObjectName(QStringLiteral("adminLoading"));
    fillLoadingFace(m_loadingFace, Theme::label(QStringLiteral("正在读取平台数据…"), Theme::TextStyle::body,
                                                Theme::Colour::secondary));
    m_pageArea->addWidget(m_loadingFace);
    m_failedFace = new QWidget;
    m_failedFace->setObjectName(QStringLiteral("adminLoadFailed"));
    m_failedDescription = fillFailureFace(m_failedFace, QStringLiteral("平台数据读取失败"),
                                          QStringLiteral("exclamationmark.triangle"));
    m_failedDescription->setObjectName(QStringLiteral("adminLoadFailedDescription"));
    m_pageArea->addWidget(m_failedFace);
    m_overviewPage = new MacAdminOverviewPage;
    m_usersPage = new MacAdminUsersPage;
    connect(m_usersPage, &MacAdminUsersPage::proposed, this, &MacAdminView::propose);
    m_projectsPage =
        new MacAdminProjectsPage([this] { return m_usersData ? m_usersData->users : QList<AdminUser>(); });
    connect(m_projectsPage, &MacAdminProjectsPage::proposed, this, &MacAdminView::propose);
    connect(m_projectsPage, &MacAdminProjectsPage::detailsRequested, this, &MacAdminView::showProject);
    connect(m_projectsPage, &MacAdminProjectsPage::columnsChanged, this, &MacAdminView::updateProjects);
    m_assetsPage = new MacAdminAssetsPage;
    connect(m_assetsPage, &MacAdminAssetsPage::proposed, this, &MacAdminView::propose);
    m_logsPage = new MacAdminLogsPage;
    for (QWidget *page : std::initializer_list<QWidget *>{m_overviewPage, m_usersPage, m_projectsPage,
                                                          m_assetsPage, m_logsPage}) {
        m_pageArea->addWidget(page);
    }
    column->addWidget(m_pageArea, 1);
    return content;
}

// --- Page contents ---------------------------------------------------------------------------

void MacAdminView::updateOverview()
{
    m_overviewPage->showOverview(m_overview);
}

void MacAdminView::updateUsers()
{
    m_usersPage->showSummary(m_usersData);
}

void MacAdminView::updateUserRows(bool keepPlace)
{
    m_usersPage->showUsers(m_usersData ? m_usersData->users : QList<AdminUser>(), m_query, keepPlace);
}

void MacAdminView::updateProjects()
{
    m_projectsPage->showProjects(m_projects, m_query);
}

void MacAdminView::updateAssets(bool keepPlace)
{
    m_assetsPage->showAssets(m_assetsData, m_query, keepPlace);
}

void MacAdminView::updateLogs(bool keepPlace)
{
    m_logsPage->showLogs(m_logs, m_query, keepPlace);
}

void MacAdminView::updateCurrentPage()
{
    switch (m_page) {
    case MacAdminPage::overview:
        break;
    case MacAdminPage::users:
        updateUserRows();
        break;
    case MacAdminPage::projects:
        updateProjects();
        break;
    case MacAdminPage::assets:
        updateAssets();
        break;
    case MacAdminPage::logs:
        updateLogs();
        break;
    }
}

// --- State -----------------------------------------------------------------------------------

void MacAdminView::updateChrome()
{
    for (int i = 0; i < m_pageButtons.size(); ++i) {
        const bool current = MacAdminPages::allCases().at(i) == m_page;
        QPushButton *button = m_pageButtons.at(i);
        button->setStyleSheet(
            QStringLiteral(
                "QPushButton { text-align: left; padding: 9px 11px; border: none; border-radius: 9px;"
                " color: %1; background: %2; }")
                .arg(Theme::css(current ? Theme::Colour::indigo : Theme::Colour::primary),
                     current ? Theme::css(Theme::Colour::indigo, 0.14) : QStringLiteral("transparent")));
        button->setIcon(Theme::icon(MacAdminPages::symbol(MacAdminPages::allCases().at(i)),
                                    Theme::colour(current ? Theme::Colour::indigo : Theme::Colour::primary)));
    }
    m_pageTitle->setText(MacAdminPages::title(m_page));
    const QString placeholder = MacAdminPages::searchPlaceholder(m_page);
    m_search->setVisible(m_page != MacAdminPage::overview);
    m_search->setPlaceholderText(placeholder);
    if (m_search->text() != m_query) {
        m_search->setText(m_query);
    }
    updatePageArea();
}

void MacAdminView::updatePageArea()
{
    if (m_isLoading) {
        m_pageArea->setCurrentWidget(m_loadingFace);
        return;
    }
    if (!hasLoaded(m_page) && !m_error.isEmpty()) {
        m_failedDescription->setText(m_error);
        m_pageArea->setCurrentWidget(m_failedFace);
        return;
    }
    switch (m_page) {
    case MacAdminPage::overview:
        m_pageArea->setCurrentWidget(m_overviewPage);
        break;
    case MacAdminPage::users:
        m_pageArea->setCurrentWidget(m_usersPage);
        break;
    case MacAdminPage::projects:
        m_pageArea->setCurrentWidget(m_projectsPage);
        break;
    case MacAdminPage::assets:
        m_pageArea->setCurrentWidget(m_assetsPage);
        break;
    case MacAdminPage::logs:
        m_pageArea->setCurrentWidget(m_logsPage);
        break;
    }
}

void MacAdminView::setIsLoading(bool loading)
{
    m_isLoading = loading;
    updatePageArea();
}

void MacAdminView::setError(const QString &error)
{
    m_actionErrorAfterLoad.reset();
    m_error = error;
    m_banner->setMessage(error);
    updatePageArea();
}

void MacAdminView::setActionError(const QString &error)
{
    setError(error);
    m_actionErrorAfterLoad = m_startedLoads;
}

bool MacAdminView::hasLoaded(MacAdminPage page) const
{
    switch (page) {
    case MacAdminPage::overview:
        return m_overview.has_value();
    case MacAdminPage::users:
        return m_usersData.has_value();
    case MacAdminPage::projects:
        return m_projectsLoaded;
    case MacAdminPage::assets:
        return m_assetsData.has_value();
    case MacAdminPage::logs:
        return m_logsLoaded;
    }
    return false;
}

void MacAdminView::choosePage(MacAdminPage page)
{
    const bool changed = page != m_page;
    m_page = page;
    m_query.clear();
    updateChrome();
    if (changed) {
        // The load builds the list when its answer arrives; the loading face covers it until then.
        m_listAwaitsLoad = true;
        load();
    } else {
        updateCurrentPage();
    }
}

void MacAdminView::refresh()
{
    load();
}

void MacAdminView::load()
{
    const quint64 number = ++m_startedLoads;
    setIsLoading(true);
    // Nobody awaits the run: it catches everything itself.
    runLoad(number, m_page);
}

QCoro::Task<> MacAdminView::runLoad(quint64 number, MacAdminPage page)
{
    QPointer<MacAdminView> self(this);
    // Only the newest load writes: one that a page change, a refresh or an action's reload
    // superseded ends without a trace.
    const auto current = [&] { return self && number == m_startedLoads; };
    // An action that failed while this load ran keeps its error on screen.
    const auto ownsError = [&] { return !m_actionErrorAfterLoad || number > *m_actionErrorAfterLoad; };
    try {
        switch (page) {
        case MacAdminPage::overview: {
            auto request = m_client.adminOverview();
            AdminOverviewResponse response = co_await request;
            if (!current()) {
                co_return;
            }
            m_overview = response.overview;
            updateOverview();
            break;
        }
        case MacAdminPage::users: {
            auto request = m_client.adminUsers();
            AdminUsersResponse response = co_await request;
            if (!current()) {
                co_return;
            }
            m_usersData = std::move(response);
            updateUsers();
            updateUserRows(true);
            break;
        }
        case MacAdminPage::projects: {
            auto request = m_client.adminProjects();
            AdminProjectsResponse response = co_await request;
            if (!current()) {
                co_return;
            }
            m_projects = std::move(response.projects);
            m_projectsLoaded = true;
            updateProjects();
            auto usersRequest = m_client.adminUsers();
            AdminUsersResponse users = co_await usersRequest;
            if (!current()) {
                co_return;
            }
            // The cards do not show users; the transfer picker reads them when it opens. The
            // users list is rebuilt from them when its page is chosen.
            m_usersData = std::move(users);
            updateUsers();
            break;
        }
        case MacAdminPage::assets: {
            auto request = m_client.adminAssets();
            AdminAssetsResponse response = co_await request;
            if (!current()) {
                co_return;
            }
            m_assetsData = std::move(response);
            updateAssets(true);
            break;
        }
        case MacAdminPage::logs: {
            auto request = m_client.adminLogs();
            AdminLogsResponse response = co_await request;
            if (!current()) {
                co_return;
            }
            m_logs = std::move(response.logs);
            m_logsLoaded = true;
            updateLogs(true);
            break;
        }
        }
        m_listAwaitsLoad = false;
        if (ownsError()) {
            setError(QString());
        }
        setIsLoading(false);
        Q_EMIT loadFinished();
    } catch (...) {
        const QString text = describeCurrentException();
        if (current()) {
            if (m_listAwaitsLoad) {
                // What was loaded before, under the emptied search.
                m_listAwaitsLoad = false;
                updateCurrentPage();
            }
            if (ownsError()) {
                setError(text);
            }
            setIsLoading(false);
            Q_EMIT loadFinished();
        }
    }
}

const std::optional<MacAdminPendingAction> &MacAdminView::pendingAction() const
{
    return m_actions->pendingAction();
}

void MacAdminView::propose(MacAdminPendingAction action)
{
    m_actions->propose(std::move(action));
}

void MacAdminView::showProject(const AdminProject &project)
{
    if (m_sheet) {
        return;
    }
    m_selectedProject = project;
    auto *sheet = new MacAdminProjectDetailSheet(project, m_client, this);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    connect(sheet, &QDialog::finished, this, [this] {
        m_selectedProject.reset();
        m_sheet = nullptr;
    });
    m_sheet = sheet;
    sheet->open();
}
