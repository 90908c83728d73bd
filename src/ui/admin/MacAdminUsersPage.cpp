#include "MacAdminUsersPage.h"

#include "MacAdminTable.h"
#include "MacAdminWidgets.h"
#include "common/Theme.h"
#include "common/TintedPanel.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QScrollArea>
#include <QVBoxLayout>

#include <algorithm>
#include <array>
#include <numeric>

using MacAdminWidgets::adminMetric;
using MacAdminWidgets::panel;
using MacAdminWidgets::scrollArea;

namespace {

// Column layout of the users list; the source column takes what the others leave.
constexpr int userSourceColumn = 1;
constexpr std::array<int, 7> userColumnWidths = {150, 160, 110, 80, 86, 56, 76};
// Below the preferred widths the columns shrink towards these before the list scrolls sideways.
constexpr std::array<int, 7> userColumnMinimums = {140, 100, 92, 70, 78, 50, 68};
constexpr int leaderboardWidth = 280;
constexpr int userButtonColumn = 6;

} // namespace

MacAdminUsersPage::MacAdminUsersPage(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("adminUsersPage"));
    auto *column = new QVBoxLayout(this);
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
            Q_EMIT proposed(
                {MacAdminPendingAction::Account{user, MacAdminRules::proposedAccountStatus(user)}});
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
    installEventFilter(this);
}

void MacAdminUsersPage::showSummary(const std::optional<AdminUsersResponse> &data)
{
    const bool hasData = data.has_value();
    if (m_sourceRow) {
        m_sourceRow->hide();
        m_sourceRow->deleteLater();
        m_sourceRow = nullptr;
    }
    if (hasData) {
        const AdminSourceSummary &s = data->sourceSummary;
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

    MacAdminWidgets::clearLayout(m_leaderboardRows);
    const QList<AdminInviteLeader> leaders =
        hasData ? data->leaderboard.mid(0, 20) : QList<AdminInviteLeader>();
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

void MacAdminUsersPage::showUsers(const QList<AdminUser> &users, const QString &query, bool keepPlace)
{
    m_shownUsers = MacAdminRules::shownUsers(users, query);
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
    MacAdminWidgets::setRows(m_usersTable, m_usersModel, std::move(rows), keepPlace);
}

void MacAdminUsersPage::fitColumns()
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

bool MacAdminUsersPage::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Resize) {
        if (m_usersTable && watched == m_usersTable->viewport()) {
            fitColumns();
        } else if (watched == this) {
            // Side by side when there is room for the list's columns, else the board goes below.
            const int minimumList =
                std::accumulate(userColumnMinimums.cbegin(), userColumnMinimums.cend(), 0);
            const bool sideBySide = width() >= minimumList + 16 + leaderboardWidth + 60;
            m_usersRow->setDirection(sideBySide ? QBoxLayout::LeftToRight : QBoxLayout::TopToBottom);
            m_leaderboard->setMaximumWidth(sideBySide ? leaderboardWidth : QWIDGETSIZE_MAX);
            m_leaderboard->setMinimumWidth(sideBySide ? leaderboardWidth : 0);
            m_leaderboard->setMaximumHeight(sideBySide ? QWIDGETSIZE_MAX : 210);
        }
    }
    return QWidget::eventFilter(watched, event);
}
