#include "MacAdminView.h"

#include "MacAdminProjectDetailSheet.h"
#include "MacAdminTable.h"
#include "MacAdminTransferPicker.h"
#include "api/APIClient.h"
#include "common/AsyncAction.h"
#include "common/ElidedLabel.h"
#include "common/LoadingFace.h"
#include "common/MacErrorBanner.h"
#include "common/Theme.h"
#include "common/TintedPanel.h"
#include "shell/VersionLine.h"

#include <QEvent>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStackedWidget>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <array>
#include <numeric>

namespace {

// Column layout of the users list; the source column takes what the others leave.
constexpr int userSourceColumn = 1;
constexpr std::array<int, 7> userColumnWidths = {150, 160, 110, 80, 86, 56, 76};
// Below the preferred widths the columns shrink towards these before the list scrolls sideways.
constexpr std::array<int, 7> userColumnMinimums = {140, 100, 92, 70, 78, 50, 68};
constexpr int leaderboardWidth = 280;
constexpr int userButtonColumn = 6;
constexpr int assetButtonColumn = 2;
constexpr int projectCardMinimumWidth = 360;
constexpr int projectGridSpacing = 14;

// Theme::divider draws the horizontal lines.
QFrame *verticalRule()
{
    auto *line = new QFrame;
    line->setFrameShape(QFrame::VLine);
    line->setFrameShadow(QFrame::Plain);
    line->setStyleSheet(QStringLiteral("color: %1;").arg(Theme::css(Theme::Colour::separator)));
    return line;
}

// Painted rather than styled: a style sheet on each card is parsed again for it and all its children,
// and the project cards are rebuilt as the administrator types.
TintedPanel *panel(const QString &objectName, const QColor &fill, int radius)
{
    auto *frame = new TintedPanel(fill, radius);
    frame->setObjectName(objectName);
    return frame;
}

QScrollArea *scrollArea(QWidget *content, const QString &objectName)
{
    auto *scroll = new QScrollArea;
    scroll->setObjectName(objectName);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setWidget(content);
    return scroll;
}

// A centred symbol over a title, in place of an empty list.
QWidget *unavailable(const QString &title, const QString &symbol, const QString &objectName)
{
    auto *face = new QWidget;
    face->setObjectName(objectName);
    face->setMinimumHeight(160);
    auto *layout = new QVBoxLayout(face);
    layout->setSpacing(10);
    layout->addStretch(1);
    auto *icon = new QLabel;
    icon->setPixmap(Theme::symbolPixmap(symbol, 40, Theme::colour(Theme::Colour::secondary)));
    layout->addWidget(icon, 0, Qt::AlignHCenter);
    auto *text = Theme::label(title, Theme::TextStyle::title3, QFont::Bold, Theme::Colour::secondary);
    text->setObjectName(objectName + QStringLiteral("Title"));
    layout->addWidget(text, 0, Qt::AlignHCenter);
    layout->addStretch(1);
    return face;
}

void clearLayout(QLayout *layout)
{
    while (QLayoutItem *item = layout->takeAt(0)) {
        if (QWidget *w = item->widget()) {
            w->hide();
            w->deleteLater();
        } else if (QLayout *inner = item->layout()) {
            clearLayout(inner);
        }
        delete item;
    }
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
    m_overviewPage = buildOverviewPage();
    m_usersPage = buildUsersPage();
    m_projectsPage = buildProjectsPage();
    m_assetsPage = buildAssetsPage();
    m_logsPage = buildLogsPage();
    for (QWidget *page : {m_overviewPage, m_usersPage, m_projectsPage, m_assetsPage, m_logsPage}) {
        m_pageArea->addWidget(page);
    }
    column->addWidget(m_pageArea, 1);
    return content;
}

// --- Pages -----------------------------------------------------------------------------------

QWidget *MacAdminView::buildOverviewPage()
{
    auto *host = new QWidget;
    m_overviewLayout = new QVBoxLayout(host);
    m_overviewLayout->setContentsMargins(0, 0, 0, 0);
    auto *scroll = scrollArea(host, QStringLiteral("adminOverviewPage"));
    return scroll;
}

QWidget *MacAdminView::buildUsersPage()
{
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("adminUsersPage"));
    auto *column = new QVBoxLayout(page);
    column->setContentsMargins(20, 20, 20, 20);
    column->setSpacing(16);
    m_sourceRowHost = new QVBoxLayout;
    m_sourceRowHost->setContentsMargins(0, 0, 0, 0);
    column->addLayout(m_sourceRowHost);

    auto *row = new QBoxLayout(QBoxLayout::LeftToRight);
    m_usersRow = row;
    row->setSpacing(16);
    auto *listPanel =
        panel(QStringLiteral("adminUsersPanel"), Theme::colour(Theme::Colour::secondary, 0.035), 12);
    auto *listLayout = new QVBoxLayout(listPanel);
    listLayout->setContentsMargins(0, 0, 0, 0);
    m_usersModel = new MacAdminTableModel(int(userColumnWidths.size()), this);
    MacAdminTableView *usersTable = makeAdminTable(m_usersModel, 56, listPanel);
    m_usersTable = usersTable;
    m_usersTable->setObjectName(QStringLiteral("adminUsersTable"));
    m_usersTable->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    for (int i = 0; i < int(userColumnWidths.size()); ++i) {
        m_usersTable->setColumnWidth(i, userColumnWidths.at(std::size_t(i)));
    }
    m_usersTable->viewport()->installEventFilter(this);
    connect(usersTable, &MacAdminTableView::buttonClicked, this, [this](const QModelIndex &index) {
        if (index.column() == userButtonColumn && index.row() < m_shownUsers.size()) {
            const AdminUser user = m_shownUsers.at(index.row());
            propose({MacAdminPendingAction::Account{user, MacAdminRules::proposedAccountStatus(user)}});
        }
    });
    listLayout->addWidget(m_usersTable);
    row->addWidget(listPanel, 1);

    auto *board = panel(QStringLiteral("adminLeaderboard"), Theme::colour(Theme::Colour::indigo, 0.055), 12);
    board->setFixedWidth(leaderboardWidth);
    m_leaderboard = board;
    auto *boardColumn = new QVBoxLayout(board);
    boardColumn->setContentsMargins(14, 14, 14, 14);
    boardColumn->setSpacing(10);
    boardColumn->addWidget(Theme::label(QStringLiteral("邀请人数排行榜"), Theme::TextStyle::title3,
                                        QFont::Bold, Theme::Colour::primary));
    auto *note = Theme::label(QStringLiteral("只统计通过邀请首次注册的真实账号"), Theme::TextStyle::caption,
                              Theme::Colour::secondary);
    note->setWordWrap(true);
    boardColumn->addWidget(note);
    m_leaderboardContent = new QWidget;
    m_leaderboardContent->setObjectName(QStringLiteral("adminLeaderboardRows"));
    m_leaderboardContent->setAutoFillBackground(false);
    m_leaderboardRows = new QVBoxLayout(m_leaderboardContent);
    m_leaderboardRows->setContentsMargins(0, 0, 0, 0);
    m_leaderboardRows->setSpacing(0);
    auto *boardScroll = scrollArea(m_leaderboardContent, QStringLiteral("adminLeaderboardScroll"));
    boardScroll->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    boardScroll->setStyleSheet(QStringLiteral("QScrollArea { background: transparent; }"));
    boardScroll->viewport()->setAutoFillBackground(false);
    boardColumn->addWidget(boardScroll, 1);
    row->addWidget(board);
    column->addLayout(row, 1);
    page->installEventFilter(this);
    return page;
}

QWidget *MacAdminView::buildProjectsPage()
{
    auto *host = new QWidget;
    m_projectsGrid = new QGridLayout(host);
    m_projectsGrid->setContentsMargins(20, 20, 20, 20);
    m_projectsGrid->setHorizontalSpacing(projectGridSpacing);
    m_projectsGrid->setVerticalSpacing(projectGridSpacing);
    m_projectsGrid->setAlignment(Qt::AlignTop);
    m_projectsScroll = scrollArea(host, QStringLiteral("adminProjectsPage"));
    m_projectsScroll->viewport()->installEventFilter(this);
    return m_projectsScroll;
}

QWidget *MacAdminView::buildAssetSection(const QString &title, const QString &note, bool trashed)
{
    const QString key = trashed ? QStringLiteral("Trash") : QStringLiteral("Assets");
    auto *section =
        panel(QStringLiteral("admin%1Section").arg(key), Theme::colour(Theme::Colour::controlBackground), 14);
    auto *column = new QVBoxLayout(section);
    column->setContentsMargins(14, 14, 14, 14);
    column->setSpacing(10);
    auto *header = new QHBoxLayout;
    auto *titles = new QVBoxLayout;
    titles->setSpacing(2);
    titles->addWidget(Theme::label(title, Theme::TextStyle::title3, QFont::Bold, Theme::Colour::primary));
    titles->addWidget(Theme::label(note, Theme::TextStyle::caption, Theme::Colour::secondary));
    header->addLayout(titles, 1);
    auto *count =
        Theme::label(QStringLiteral("0 个"), Theme::TextStyle::body, QFont::Bold, Theme::Colour::primary);
    count->setObjectName(QStringLiteral("admin%1Count").arg(key));
    header->addWidget(count);
    column->addLayout(header);

    QWidget *placeholder = unavailable(QStringLiteral("暂无素材"),
                                       trashed ? QStringLiteral("trash") : QStringLiteral("externaldrive"),
                                       QStringLiteral("admin%1Empty").arg(key));
    column->addWidget(placeholder);
    auto *model = new MacAdminTableModel(3, this);
    MacAdminTableView *table = makeAdminTable(model, 58, section);
    table->setObjectName(QStringLiteral("admin%1Table").arg(key));
    table->setColumnWidth(0, 46);
    table->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    table->horizontalHeader()->setSectionResizeMode(assetButtonColumn, QHeaderView::Fixed);
    table->setColumnWidth(assetButtonColumn, 112);
    column->addWidget(table, 1);
    column->addStretch(0);
    connect(table, &MacAdminTableView::buttonClicked, this, [this, trashed](const QModelIndex &index) {
        if (index.column() != assetButtonColumn) {
            return;
        }
        if (trashed) {
            if (m_assetsData && index.row() < m_assetsData->trash.size()) {
                propose({MacAdminPendingAction::Restore{m_assetsData->trash.at(index.row())}});
            }
        } else if (index.row() < m_shownAssets.size()) {
            propose({MacAdminPendingAction::Archive{m_shownAssets.at(index.row())}});
        }
    });
    if (trashed) {
        m_trashModel = model;
        m_trashTable = table;
        m_trashCount = count;
        m_trashPlaceholder = placeholder;
    } else {
        m_assetsModel = model;
        m_assetsTable = table;
        m_assetsCount = count;
        m_assetsPlaceholder = placeholder;
    }
    return section;
}

QWidget *MacAdminView::buildAssetsPage()
{
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("adminAssetsPage"));
    auto *row = new QHBoxLayout(page);
    row->setContentsMargins(20, 20, 20, 20);
    row->setSpacing(16);
    row->addWidget(
        buildAssetSection(QStringLiteral("当前素材"), QStringLiteral("清理操作先进入回收站，可恢复"), false),
        1);
    row->addWidget(
        buildAssetSection(QStringLiteral("素材回收站"), QStringLiteral("当前不提供不可逆永久删除"), true), 1);
    return page;
}

QWidget *MacAdminView::buildLogsPage()
{
    m_logsModel = new MacAdminTableModel(3, this);
    m_logsTable = makeAdminTable(m_logsModel, 60, nullptr);
    m_logsTable->setObjectName(QStringLiteral("adminLogsTable"));
    m_logsTable->setColumnWidth(0, 46);
    m_logsTable->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    m_logsTable->horizontalHeader()->setSectionResizeMode(2, QHeaderView::Fixed);
    m_logsTable->setColumnWidth(2, 150);
    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(8, 0, 0, 0);
    layout->addWidget(m_logsTable);
    return page;
}

// --- Page contents ---------------------------------------------------------------------------

QWidget *MacAdminView::adminMetric(const QString &title, const QString &value, const QString &detail,
                                   Theme::Colour colour, QWidget *parent)
{
    TintedPanel *card = panel(QStringLiteral("adminMetric"), Theme::colour(colour, 0.08), 12);
    card->setParent(parent);
    card->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    card->setMinimumWidth(90);
    auto *column = new QVBoxLayout(card);
    column->setContentsMargins(14, 14, 14, 14);
    column->setSpacing(5);
    auto *titleLabel = Theme::label(title, Theme::TextStyle::caption, Theme::Colour::secondary);
    titleLabel->setObjectName(QStringLiteral("adminMetricTitle"));
    auto *valueLabel = Theme::label(value, Theme::TextStyle::title, QFont::Bold, colour);
    valueLabel->setObjectName(QStringLiteral("adminMetricValue"));
    auto *detailLabel = Theme::label(detail, Theme::TextStyle::caption, Theme::Colour::secondary);
    detailLabel->setObjectName(QStringLiteral("adminMetricDetail"));
    for (QLabel *label : {titleLabel, valueLabel, detailLabel}) {
        label->setWordWrap(true);
        column->addWidget(label);
    }
    return card;
}

QWidget *MacAdminView::projectMetric(const QString &title, const QString &value, QWidget *parent)
{
    auto *cell = new QWidget(parent);
    cell->setObjectName(QStringLiteral("adminProjectMetric"));
    cell->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    auto *column = new QVBoxLayout(cell);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(3);
    column->addWidget(Theme::label(title, Theme::TextStyle::caption, Theme::Colour::secondary));
    auto *valueLabel = new ElidedLabel(value, cell);
    valueLabel->setTextFormat(Qt::PlainText);
    Theme::setTextStyle(valueLabel, Theme::TextStyle::callout, QFont::Bold);
    valueLabel->setObjectName(QStringLiteral("adminProjectMetricValue"));
    valueLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    valueLabel->setToolTip(value);
    column->addWidget(valueLabel);
    return cell;
}

void MacAdminView::updateOverview()
{
    if (m_overviewContent) {
        m_overviewContent->hide();
        m_overviewContent->deleteLater();
    }
    m_overviewContent = new QWidget;
    m_overviewLayout->addWidget(m_overviewContent);
    auto *column = new QVBoxLayout(m_overviewContent);
    if (!m_overview) {
        column->addWidget(unavailable(QStringLiteral("暂无总览数据"), QStringLiteral("chart.bar"),
                                      QStringLiteral("adminOverviewEmpty")));
        return;
    }
    const AdminOverview &o = *m_overview;
    using MacAdminRules::number;
    column->setContentsMargins(20, 20, 20, 20);
    column->setSpacing(18);
    auto *metrics = new QHBoxLayout;
    metrics->setSpacing(12);
    const bool smsFine = o.smsFailures < 1;
    metrics->addWidget(adminMetric(QStringLiteral("注册用户"), number(o.users),
                                   number(o.activeUsers) + QStringLiteral(" 个正常账号"),
                                   Theme::Colour::indigo));
    metrics->addWidget(adminMetric(QStringLiteral("演出项目"), number(o.projects),
                                   number(o.activeProjects) + QStringLiteral(" 个未归档"),
                                   Theme::Colour::blue));
    metrics->addWidget(adminMetric(QStringLiteral("素材文件"), number(o.assets), bytes(o.assetBytes),
                                   Theme::Colour::purple));
    metrics->addWidget(adminMetric(QStringLiteral("待接受邀请"), number(o.pendingInvites),
                                   QStringLiteral("尚未完成入驻"), Theme::Colour::orange));
    metrics->addWidget(adminMetric(QStringLiteral("短信失败"), number(o.smsFailures),
                                   o.smsConfigured == false ? QStringLiteral("短信服务尚未配置")
                                                            : QStringLiteral("需要人工关注"),
                                   smsFine ? Theme::Colour::green : Theme::Colour::red));
    column->addLayout(metrics);

    TintedPanel *intro = panel(QStringLiteral("adminIntro"), Theme::colour(Theme::Colour::indigo, 0.06), 14);
    auto *introRow = new QHBoxLayout(intro);
    introRow->setContentsMargins(20, 20, 20, 20);
    auto *texts = new QVBoxLayout;
    texts->setSpacing(6);
    texts->addWidget(Theme::label(QStringLiteral("平台运行入口"), Theme::TextStyle::caption, QFont::Bold,
                                  Theme::Colour::indigo));
    texts->addWidget(Theme::label(QStringLiteral("先看全局，再处理异常"), Theme::TextStyle::title2,
                                  QFont::Bold, Theme::Colour::primary));
    auto *body =
        Theme::label(QStringLiteral("用户、项目、素材和短信情况统一汇总。所有后台修改均写入审计记录。 "),
                     Theme::TextStyle::body, Theme::Colour::secondary);
    body->setWordWrap(true);
    texts->addWidget(body);
    introRow->addLayout(texts, 1);
    auto *status = new QHBoxLayout;
    status->setSpacing(6);
    const Theme::Colour tint = smsFine ? Theme::Colour::green : Theme::Colour::orange;
    auto *icon = new QLabel;
    icon->setPixmap(Theme::symbolPixmap(smsFine ? QStringLiteral("checkmark.circle.fill")
                                                : QStringLiteral("exclamationmark.triangle.fill"),
                                        18, Theme::colour(tint)));
    status->addWidget(icon);
    auto *statusText = Theme::label(smsFine ? QStringLiteral("当前无短信异常")
                                            : number(o.smsFailures) + QStringLiteral(" 条短信异常待处理"),
                                    Theme::TextStyle::headline, tint);
    statusText->setObjectName(QStringLiteral("adminSmsStatus"));
    status->addWidget(statusText);
    introRow->addLayout(status);
    column->addWidget(intro);
    column->addStretch(1);
}

void MacAdminView::updateUsers()
{
    // Source cards: rebuilt only when the data changed, not on every keystroke.
    const bool hasData = m_usersData.has_value();
    if (m_sourceRow) {
        m_sourceRow->hide();
        m_sourceRow->deleteLater();
        m_sourceRow = nullptr;
    }
    if (hasData) {
        const AdminSourceSummary &s = m_usersData->sourceSummary;
        using MacAdminRules::number;
        m_sourceRow = new QWidget;
        m_sourceRow->setObjectName(QStringLiteral("adminSourceRow"));
        auto *row = new QHBoxLayout(m_sourceRow);
        row->setContentsMargins(0, 0, 0, 0);
        row->setSpacing(12);
        row->addWidget(adminMetric(QStringLiteral("全部用户"), number(s.total),
                                   QStringLiteral("首次注册来源"), Theme::Colour::indigo));
        row->addWidget(adminMetric(QStringLiteral("直接注册"), number(s.directCount.value_or(0)),
                                   QStringLiteral("自行进入产品"), Theme::Colour::blue));
        row->addWidget(adminMetric(QStringLiteral("邀请注册"), number(s.invitationCount.value_or(0)),
                                   QStringLiteral("通过成员邀请"), Theme::Colour::green));
        row->addWidget(adminMetric(QStringLiteral("抽奖注册"), number(s.lotteryCount.value_or(0)),
                                   QStringLiteral("来自现场抽奖"), Theme::Colour::orange));
        row->addWidget(adminMetric(QStringLiteral("历史用户"), number(s.legacyCount.value_or(0)),
                                   QStringLiteral("来源未记录"), Theme::Colour::secondary));
        m_sourceRowHost->addWidget(m_sourceRow);
    }

    clearLayout(m_leaderboardRows);
    const QList<AdminInviteLeader> leaders =
        hasData ? m_usersData->leaderboard.mid(0, 20) : QList<AdminInviteLeader>();
    for (int p = 0; p < leaders.size(); ++p) {
        const AdminInviteLeader &leader = leaders.at(p);
        auto *entry = new QWidget;
        entry->setObjectName(QStringLiteral("adminLeader_") + leader.id);
        auto *line = new QHBoxLayout(entry);
        line->setContentsMargins(8, 8, 8, 8);
        auto *place = Theme::label(QString::number(p + 1), Theme::TextStyle::headline, Theme::Colour::indigo);
        place->setFixedWidth(25);
        line->addWidget(place);
        auto *who = new QVBoxLayout;
        who->setSpacing(2);
        auto *name = Theme::label(leader.name, Theme::TextStyle::headline);
        name->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        who->addWidget(name);
        who->addWidget(Theme::label(leader.phone, Theme::TextStyle::caption, Theme::Colour::secondary));
        line->addLayout(who, 1);
        line->addWidget(Theme::label(MacAdminRules::number(leader.invitedCount) + QStringLiteral(" 人"),
                                     Theme::TextStyle::body, QFont::Bold, Theme::Colour::primary));
        m_leaderboardRows->addWidget(entry);
    }
    m_leaderboardRows->addStretch(1);
}

void MacAdminView::updateProjects()
{
    const int scrollValue = m_projectsScroll->verticalScrollBar()->value();
    clearLayout(m_projectsGrid);
    const int columns = projectColumns();
    m_shownProjectColumns = columns;
    for (int c = 0; c < 8; ++c) {
        m_projectsGrid->setColumnStretch(c, c < columns ? 1 : 0);
    }
    const QList<AdminProject> shown = MacAdminRules::shownProjects(m_projects, m_query);
    for (int i = 0; i < shown.size(); ++i) {
        const AdminProject &project = shown.at(i);
        TintedPanel *card =
            panel(QStringLiteral("adminProjectCard"), Theme::colour(Theme::Colour::secondary, 0.045), 14);
        card->setProperty("projectId", project.id);
        card->setMinimumWidth(projectCardMinimumWidth - 40);
        auto *column = new QVBoxLayout(card);
        column->setContentsMargins(16, 16, 16, 16);
        column->setSpacing(12);

        auto *header = new QHBoxLayout;
        auto *status =
            Theme::label(project.status, Theme::TextStyle::caption, QFont::Bold, Theme::Colour::indigo);
        status->setObjectName(QStringLiteral("adminProjectStatus"));
        header->addWidget(status);
        header->addStretch(1);
        auto *details = new QPushButton(QStringLiteral("查看详情"));
        details->setObjectName(QStringLiteral("adminProjectDetails_") + project.id);
        connect(details, &QPushButton::clicked, this, [this, project] { showProject(project); });
        header->addWidget(details);
        column->addLayout(header);

        auto *name =
            Theme::label(project.name, Theme::TextStyle::title3, QFont::Bold, Theme::Colour::primary);
        name->setObjectName(QStringLiteral("adminProjectName"));
        name->setWordWrap(true);
        column->addWidget(name);
        auto *date = Theme::label(MacAdminRules::projectDateLine(project), Theme::TextStyle::body,
                                  Theme::Colour::secondary);
        date->setObjectName(QStringLiteral("adminProjectDate"));
        column->addWidget(date);

        auto *metrics = new QHBoxLayout;
        metrics->addWidget(
            projectMetric(QStringLiteral("创建人"), project.ownerName.value_or(QStringLiteral("未知"))));
        metrics->addWidget(projectMetric(QStringLiteral("成员"), MacAdminRules::number(project.memberCount)));
        metrics->addWidget(projectMetric(QStringLiteral("节目"), MacAdminRules::number(project.itemCount)));
        metrics->addWidget(projectMetric(QStringLiteral("素材"), MacAdminRules::projectAssetsText(project)));
        column->addLayout(metrics);

        auto *statusButton = new QPushButton(QStringLiteral("调整项目状态"));
        statusButton->setObjectName(QStringLiteral("adminProjectStatusMenu_") + project.id);
        auto *statusMenu = new QMenu(statusButton);
        statusMenu->setObjectName(QStringLiteral("adminProjectStatusEntries"));
        for (const QString &entry : MacAdminRules::projectStatuses()) {
            QAction *action = statusMenu->addAction(entry);
            connect(action, &QAction::triggered, this, [this, project, entry] {
                if (entry != project.status) {
                    propose({MacAdminPendingAction::Project{project, entry}});
                }
            });
        }
        statusButton->setMenu(statusMenu);
        column->addWidget(statusButton);

        auto *transferButton = new QPushButton(QStringLiteral("移交项目"));
        transferButton->setObjectName(QStringLiteral("adminProjectTransferMenu_") + project.id);
        connect(transferButton, &QPushButton::clicked, this, [this, transferButton, project] {
            const QList<AdminUser> users = m_usersData ? m_usersData->users : QList<AdminUser>();
            auto *picker = new MacAdminTransferPicker(
                MacAdminRules::transferCandidates(users, project),
                [this, project](const AdminUser &user) {
                    propose({MacAdminPendingAction::Transfer{project, user}});
                },
                this);
            picker->popup(transferButton);
        });
        column->addWidget(transferButton);

        m_projectsGrid->addWidget(card, i / columns, i % columns);
    }
    m_projectsScroll->verticalScrollBar()->setValue(scrollValue);
}

int MacAdminView::projectColumns() const
{
    const int width = m_projectsScroll->viewport()->width() - 40;
    return std::max(1, (width + projectGridSpacing) / (projectCardMinimumWidth + projectGridSpacing));
}

void MacAdminView::updateAssets(bool keepPlace)
{
    const QList<AdminAsset> current = m_assetsData ? m_assetsData->assets : QList<AdminAsset>();
    m_shownAssets = MacAdminRules::shownAssets(current, m_query);
    const QList<AdminAsset> trash = m_assetsData ? m_assetsData->trash : QList<AdminAsset>();

    const auto rows = [](const QList<AdminAsset> &assets, bool trashed) {
        QList<AdminRow> out;
        out.reserve(assets.size());
        for (const AdminAsset &asset : assets) {
            out.append(
                {asset.stableID(),
                 {AdminCell::badge(MacAdminRules::assetBadge(asset, trashed)),
                  AdminCell::twoLines(asset.filename, MacAdminRules::assetDetailLine(asset)),
                  AdminCell::button(trashed ? QStringLiteral("恢复") : QStringLiteral("移入回收站"))}});
        }
        return out;
    };
    setRows(m_assetsTable, m_assetsModel, rows(m_shownAssets, false), keepPlace);
    setRows(m_trashTable, m_trashModel, rows(trash, true), keepPlace);
    m_assetsCount->setText(MacAdminRules::number(m_shownAssets.size()) + QStringLiteral(" 个"));
    m_trashCount->setText(MacAdminRules::number(trash.size()) + QStringLiteral(" 个"));
    m_assetsPlaceholder->setVisible(m_shownAssets.isEmpty());
    m_assetsTable->setVisible(!m_shownAssets.isEmpty());
    m_trashPlaceholder->setVisible(trash.isEmpty());
    m_trashTable->setVisible(!trash.isEmpty());
}

void MacAdminView::updateLogs(bool keepPlace)
{
    QList<AdminRow> rows;
    const QList<AdminAuditLog> shown = MacAdminRules::shownLogs(m_logs, m_query);
    rows.reserve(shown.size());
    for (const AdminAuditLog &log : shown) {
        rows.append({log.id,
                     {AdminCell::symbol(QStringLiteral("clock.arrow.circlepath")),
                      AdminCell::twoLines(log.summary, MacAdminRules::logActorLine(log)),
                      AdminCell::line(MacAdminRules::shortTime(log.createdAt), Theme::TextStyle::caption,
                                      Theme::Colour::secondary, Qt::AlignRight)}});
    }
    setRows(m_logsTable, m_logsModel, std::move(rows), keepPlace);
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

void MacAdminView::updateUserRows(bool keepPlace)
{
    const QList<AdminUser> all = m_usersData ? m_usersData->users : QList<AdminUser>();
    m_shownUsers = MacAdminRules::shownUsers(all, m_query);
    QList<AdminRow> rows;
    rows.reserve(m_shownUsers.size());
    for (const AdminUser &user : std::as_const(m_shownUsers)) {
        const MacAdminRules::SourceStyle source = MacAdminRules::sourceStyle(user);
        AdminCell sourceCell =
            AdminCell::twoLines(source.label, MacAdminRules::sourceNote(user), Theme::TextStyle::caption);
        sourceCell.weight = QFont::Bold;
        sourceCell.colour = source.colour;
        sourceCell.detailStyle = Theme::TextStyle::caption2;
        const bool isSuspended = user.status == QStringLiteral("suspended");
        rows.append(
            {user.id,
             {AdminCell::twoLines(user.name,
                                  MacAdminRules::shortTime(user.createdAt) + QStringLiteral(" 注册")),
              sourceCell,
              AdminCell::line(user.phone, Theme::TextStyle::callout, Theme::Colour::primary,
                              Qt::AlignHCenter),
              AdminCell::line(MacAdminRules::number(user.projectCount) + QStringLiteral(" 个项目"),
                              Theme::TextStyle::body, Theme::Colour::primary, Qt::AlignHCenter),
              AdminCell::line(QStringLiteral("邀请 ") + MacAdminRules::number(user.invitedCount) +
                                  QStringLiteral(" 人"),
                              Theme::TextStyle::body, Theme::Colour::primary, Qt::AlignHCenter),
              AdminCell::line(isSuspended ? QStringLiteral("已停用") : QStringLiteral("正常"),
                              Theme::TextStyle::body, isSuspended ? Theme::Colour::red : Theme::Colour::green,
                              Qt::AlignHCenter),
              AdminCell::button(MacAdminRules::accountButtonTitle(user))}});
    }
    setRows(m_usersTable, m_usersModel, std::move(rows), keepPlace);
}

void MacAdminView::fitUserColumns()
{
    const int available = m_usersTable->viewport()->width();
    const int preferred = std::accumulate(userColumnWidths.cbegin(), userColumnWidths.cend(), 0);
    const int minimum = std::accumulate(userColumnMinimums.cbegin(), userColumnMinimums.cend(), 0);
    const double share =
        preferred > minimum ? std::clamp(double(available - minimum) / (preferred - minimum), 0.0, 1.0) : 1.0;
    for (std::size_t i = 0; i < userColumnWidths.size(); ++i) {
        int width =
            userColumnMinimums.at(i) + int(share * (userColumnWidths.at(i) - userColumnMinimums.at(i)));
        if (int(i) == userSourceColumn && available > preferred) {
            width += available - preferred;
        }
        m_usersTable->setColumnWidth(int(i), width);
    }
}

void MacAdminView::setRows(QTableView *view, MacAdminTableModel *model, QList<AdminRow> rows, bool keepPlace)
{
    // A reload after an action keeps the list where the administrator was; a new search starts
    // at the top.
    const int place = view->verticalScrollBar()->value();
    model->setRows(std::move(rows));
    view->verticalScrollBar()->setValue(keepPlace ? place : 0);
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

void MacAdminView::propose(MacAdminPendingAction action)
{
    if (m_confirmation) {
        m_confirmation->disconnect(this);
        m_confirmation->deleteLater();
    }
    m_pendingAction = action;
    auto *box = new QMessageBox(this);
    box->setObjectName(QStringLiteral("adminConfirmation"));
    box->setWindowModality(Qt::WindowModal);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setIcon(QMessageBox::Warning);
    box->setTextFormat(Qt::PlainText);
    box->setWindowTitle(action.title());
    box->setText(action.title());
    box->setInformativeText(action.message());
    QPushButton *confirm = box->addButton(QStringLiteral("确认执行"), QMessageBox::DestructiveRole);
    confirm->setObjectName(QStringLiteral("confirmAdminAction"));
    QPushButton *cancel = box->addButton(QStringLiteral("取消"), QMessageBox::RejectRole);
    cancel->setObjectName(QStringLiteral("cancelAdminAction"));
    box->setDefaultButton(cancel);
    box->setEscapeButton(cancel);
    connect(box, &QDialog::finished, this, [this, box, confirm] {
        const bool confirmed = box->clickedButton() == confirm;
        std::optional<MacAdminPendingAction> action = std::move(m_pendingAction);
        m_pendingAction.reset();
        if (confirmed && action) {
            perform(std::move(*action));
        }
    });
    m_confirmation = box;
    box->open();
}

void MacAdminView::perform(MacAdminPendingAction action)
{
    m_pendingAction.reset();
    std::optional<QCoro::Task<>> request;
    QString missing;
    if (const auto *a = std::get_if<MacAdminPendingAction::Account>(&action.value)) {
        request.emplace(m_client.setAdminAccountStatus(a->user.id, a->status));
    } else if (const auto *p = std::get_if<MacAdminPendingAction::Project>(&action.value)) {
        request.emplace(m_client.setAdminProjectStatus(p->project.id, p->status));
    } else if (const auto *t = std::get_if<MacAdminPendingAction::Transfer>(&action.value)) {
        request.emplace(m_client.transferAdminProject(t->project.id, t->user.id));
    } else if (const auto *archive = std::get_if<MacAdminPendingAction::Archive>(&action.value)) {
        if (const auto id = MacAdminRules::archiveTarget(archive->asset)) {
            request.emplace(m_client.archiveAdminAsset(*id));
        } else {
            missing = QStringLiteral("素材“%1”缺少编号，无法移入回收站").arg(archive->asset.filename);
        }
    } else if (const auto *restore = std::get_if<MacAdminPendingAction::Restore>(&action.value)) {
        if (const auto id = MacAdminRules::restoreTarget(restore->asset)) {
            request.emplace(m_client.restoreAdminAsset(*id));
        } else {
            missing = QStringLiteral("素材“%1”缺少编号，无法恢复").arg(restore->asset.filename);
        }
    }
    if (!request) {
        setActionError(missing);
        return;
    }
    AsyncAction::run(
        this, std::move(*request), [this] { load(); },
        [this](const QString &error) { setActionError(error); });
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

bool MacAdminView::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Resize) {
        if (m_usersTable && watched == m_usersTable->viewport()) {
            fitUserColumns();
        } else if (watched == m_usersPage) {
            // Side by side when there is room for the list's columns, else the board goes below.
            const int minimumList =
                std::accumulate(userColumnMinimums.cbegin(), userColumnMinimums.cend(), 0);
            const bool sideBySide = m_usersPage->width() >= minimumList + 16 + leaderboardWidth + 60;
            m_usersRow->setDirection(sideBySide ? QBoxLayout::LeftToRight : QBoxLayout::TopToBottom);
            m_leaderboard->setMaximumWidth(sideBySide ? leaderboardWidth : QWIDGETSIZE_MAX);
            m_leaderboard->setMinimumWidth(sideBySide ? leaderboardWidth : 0);
            m_leaderboard->setMaximumHeight(sideBySide ? QWIDGETSIZE_MAX : 210);
        } else if (m_projectsScroll && watched == m_projectsScroll->viewport() &&
                   projectColumns() != m_shownProjectColumns) {
            updateProjects();
        }
    }
    return QWidget::eventFilter(watched, event);
}
