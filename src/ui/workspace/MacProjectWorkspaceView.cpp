#include "MacProjectWorkspaceView.h"

#include "MacMembersView.h"
#include "MacOperationsView.h"
#include "MacPreparationView.h"
#include "MacTodayView.h"
#include "api/APIClient.h"
#include "common/Theme.h"
#include "flow/MacProjectFlowView.h"
#include "rules/PermissionPolicy.h"
#include "stores/MacProjectDataStore.h"
#include "workitems/MacWorkItemsView.h"

#include <QApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QMetaEnum>
#include <QPixmapCache>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// A shown window or dialog other than `own` and the dialogs that belong to it.
bool anotherWindowOpen(const QWidget *own)
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    return std::any_of(windows.cbegin(), windows.cend(), [own](const QWidget *w) {
        const Qt::WindowType type = w->windowType();
        if (!w->isVisible() || (type != Qt::Window && type != Qt::Dialog)) {
            return false;
        }
        for (const QWidget *up = w; up; up = up->parentWidget()) {
            if (up == own) {
                return false;
            }
        }
        return true;
    });
}

} // namespace

QString MacProjectWorkspaceView::title(Page page)
{
    switch (page) {
    case Page::flow:
        return QStringLiteral("节目流程");
    case Page::today:
        return QStringLiteral("我的当天安排");
    case Page::operations:
        return QStringLiteral("现场安排");
    case Page::tasks:
        return QStringLiteral("任务与处置");
    case Page::members:
        return QStringLiteral("成员管理");
    case Page::playback:
        return QStringLiteral("播放控制");
    }
    return {};
}

QString MacProjectWorkspaceView::symbol(Page page)
{
    switch (page) {
    case Page::flow:
        return QStringLiteral("tablecells");
    case Page::today:
        return QStringLiteral("calendar");
    case Page::operations:
        return QStringLiteral("clock");
    case Page::tasks:
        return QStringLiteral("checklist");
    case Page::members:
        return QStringLiteral("person.2");
    case Page::playback:
        return QStringLiteral("play.rectangle.on.rectangle");
    }
    return {};
}

std::optional<MacProjectWorkspaceView::Page> MacProjectWorkspaceView::pageFromTitle(const QString &text)
{
    for (Page page : allPages) {
        if (title(page) == text) {
            return page;
        }
    }
    return std::nullopt;
}

QList<MacProjectWorkspaceView::Page> MacProjectWorkspaceView::availablePages(const QString &role)
{
    QList<Page> pages;
    for (Page page : allPages) {
        if (page != Page::playback || PermissionPolicy::canOpenPlayback(role)) {
            pages.append(page);
        }
    }
    return pages;
}

MacProjectWorkspaceView::Page MacProjectWorkspaceView::pageFor(WorkItemDestination destination)
{
    switch (destination) {
    case WorkItemDestination::flow:
        return Page::flow;
    case WorkItemDestination::members:
        return Page::members;
    case WorkItemDestination::operations:
        return Page::operations;
    }
    return Page::flow;
}

MacProjectWorkspaceView::Page MacProjectWorkspaceView::pageAfterRoleChange(Page page, const QString &newRole)
{
    if (page == Page::playback && !PermissionPolicy::canOpenPlayback(newRole)) {
        return Page::flow;
    }
    return page;
}

MacProjectWorkspaceView::MacProjectWorkspaceView(ProjectSummary project, QWidget *parent)
    : MacProjectWorkspaceView(std::move(project), APIClient::shared(), parent)
{}

MacProjectWorkspaceView::MacProjectWorkspaceView(ProjectSummary project, APIClient &client, QWidget *parent)
    : QWidget(parent)
    , m_project(std::move(project))
    , m_store(std::make_unique<MacProjectDataStore>(m_project, client))
{
    setObjectName(QStringLiteral("projectWorkspace"));

    m_pageHost = new QWidget(this);
    m_pageLayout = new QVBoxLayout(m_pageHost);
    m_pageLayout->setContentsMargins(0, 0, 0, 0);
    m_pageLayout->setSpacing(0);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(buildPageBar());
    layout->addWidget(Theme::divider(this));
    layout->addWidget(m_pageHost, 1);

    connect(m_store.get(), &MacProjectDataStore::detailChanged, this,
            &MacProjectWorkspaceView::onDetailChanged);

    m_pageView = makePageView(m_page);
    m_pageLayout->addWidget(m_pageView);
    updatePageBar();
}

MacProjectWorkspaceView::~MacProjectWorkspaceView()
{
    // The page views observe the store: they go first.
    delete m_pageHost;
    m_pageHost = nullptr;
    m_pageView = nullptr;
    // The style keeps the pictures of this project's controls in the process-wide pixmap cache,
    // under palettes that die with them: left there, every project opened added its share until
    // the cache was full. Its keys are the style's own and cannot be told apart, so the cache is
    // only emptied when no other window would have to draw all of its pictures again; otherwise
    // the dead ones are the first the cache lets go once it is full.
    if (!anotherWindowOpen(window())) {
        QPixmapCache::clear();
    }
}

QWidget *MacProjectWorkspaceView::buildPageBar()
{
    auto *bar = new QWidget(this);
    bar->setObjectName(QStringLiteral("pageBar"));
    bar->setAttribute(Qt::WA_StyledBackground);
    bar->setStyleSheet(QStringLiteral("#pageBar { background: %1; }")
                           .arg(Theme::css(Theme::colour(Theme::Colour::controlBackground))));
    // Tight enough that every label fits whole in the smallest window beside the narrowest sidebar.
    auto *row = new QHBoxLayout(bar);
    row->setContentsMargins(12, 10, 12, 10);
    row->setSpacing(2);

    const QMetaEnum pages = QMetaEnum::fromType<Page>();
    for (Page page : allPages) {
        auto *button = new QToolButton(bar);
        button->setObjectName(
            QStringLiteral("pageButton_%1").arg(QLatin1String(pages.valueToKey(int(page)))));
        button->setText(title(page));
        button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        button->setAutoRaise(true);
        button->setCursor(Qt::PointingHandCursor);
        // Never narrower than its label: the window makes room instead of eliding it.
        button->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Fixed);
        connect(button, &QToolButton::clicked, this, [this, page] { setPage(page); });
        m_pageButtons[std::size_t(page)] = button;
        row->addWidget(button, 0, Qt::AlignVCenter);
    }
    row->addStretch(1);

    m_refreshButton = new QToolButton(bar);
    m_refreshButton->setObjectName(QStringLiteral("refreshButton"));
    m_refreshButton->setText(QStringLiteral("刷新"));
    m_refreshButton->setIcon(Theme::icon(QStringLiteral("arrow.clockwise")));
    m_refreshButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_refreshButton->setAutoRaise(true);
    m_refreshButton->setCursor(Qt::PointingHandCursor);
    m_refreshButton->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Fixed);
    const int iconSize = Theme::pixelSize(Theme::TextStyle::callout) + 3;
    m_refreshButton->setIconSize(QSize(iconSize, iconSize));
    Theme::setTextStyle(m_refreshButton, Theme::TextStyle::callout);
    m_refreshButton->setStyleSheet(
        QStringLiteral("QToolButton { color: %1; background: transparent; border: none;"
                       " border-radius: 9px; padding: 6px 8px; }"
                       "QToolButton:hover { background: %2; }")
            .arg(Theme::css(Theme::Colour::primary), Theme::css(Theme::Colour::indigo, 0.06)));
    // Not tied to the page: the load runs to its end, and the store survives its workspace safely.
    connect(m_refreshButton, &QToolButton::clicked, this, [this] { m_store->load(false); });
    row->addWidget(m_refreshButton, 0, Qt::AlignVCenter);
    return bar;
}

void MacProjectWorkspaceView::updatePageBar()
{
    const QList<Page> available = availablePages(m_role);
    const int iconSize = Theme::pixelSize(Theme::TextStyle::callout) + 3;
    for (Page page : allPages) {
        QToolButton *button = m_pageButtons[std::size_t(page)];
        const bool selected = page == m_page;
        const QColor content = Theme::colour(selected ? Theme::Colour::indigo : Theme::Colour::primary);
        button->setVisible(available.contains(page));
        button->setIcon(Theme::icon(symbol(page), content));
        button->setIconSize(QSize(iconSize, iconSize));
        Theme::setTextStyle(button, Theme::TextStyle::callout, selected ? QFont::DemiBold : QFont::Normal);
        button->setStyleSheet(
            QStringLiteral("QToolButton { color: %1; background: %2; border: none;"
                           " border-radius: 9px; padding: 6px 8px; }"
                           "QToolButton:hover { background: %3; }")
                .arg(Theme::css(content),
                     selected ? Theme::css(Theme::Colour::indigo, 0.13) : QStringLiteral("transparent"),
                     Theme::css(Theme::Colour::indigo, selected ? 0.13 : 0.06)));
    }
    m_refreshButton->setVisible(m_page != Page::flow);
}

QWidget *MacProjectWorkspaceView::makePageView(Page page)
{
    MacProjectDataStore &store = *m_store;
    switch (page) {
    case Page::flow:
        return new MacProjectFlowView(
            m_project, store.client(), [this] { setPage(Page::tasks); }, m_pageHost);
    case Page::today:
        return new MacTodayView(store, m_pageHost);
    case Page::operations:
        return new MacOperationsView(store, m_pageHost);
    case Page::tasks:
        return new MacWorkItemsView(
            store, [this](WorkItemDestination destination) { setPage(pageFor(destination)); }, m_pageHost);
    case Page::members:
        return new MacMembersView(store, m_pageHost);
    case Page::playback:
        return new MacPreparationView(store, m_pageHost);
    }
    return new QWidget(m_pageHost);
}

void MacProjectWorkspaceView::setPage(Page page)
{
    if (page == m_page) {
        return;
    }
    m_page = page;

    // The old view may be the sender of this very change (a button inside it): let it finish
    // first. It is still a child of the page host, so it never outlives the store.
    if (m_pageView) {
        m_pageLayout->removeWidget(m_pageView);
        m_pageView->hide();
        m_pageView->deleteLater();
    }
    m_pageView = makePageView(page);
    m_pageLayout->addWidget(m_pageView);
    m_pageView->show();
    updatePageBar();

    if (page != Page::flow) {
        m_store->load(true);
    }
    Q_EMIT pageChanged(page);
}

void MacProjectWorkspaceView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!m_opened) {
        m_opened = true;
        m_store->load(false);
    }
}

void MacProjectWorkspaceView::onDetailChanged()
{
    const QString role = m_store->role();
    if (role == m_role) {
        return;
    }
    m_role = role;
    const Page next = pageAfterRoleChange(m_page, role);
    updatePageBar();
    if (next != m_page) {
        setPage(next);
    }
}
