#include "ProjectHomeView.h"

#include "AccountAccessPanel.h"
#include "CreateProjectSheet.h"
#include "admin/MacAdminView.h"
#include "common/AfterRequestSent.h"
#include "common/Theme.h"
#include "common/VersionLine.h"
#include "stores/AppStore.h"
#include "workspace/MacProjectWorkspaceView.h"

#include <QApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStyledItemDelegate>
#include <QTextLayout>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int projectIdRole = Qt::UserRole;
constexpr int captionRole = Qt::UserRole + 1;
constexpr int rowPaddingX = 10;
constexpr int rowPaddingY = 3 + 4; // the row's own margin plus room for the selection background
constexpr int lineGap = 5;
constexpr int nameLineLimit = 2;
// A workspace whose first request cannot leave yet is shown after this.
constexpr int revealLimitMs = 50;

// Lays the text out in at most maxLines lines of the given width; the last one ends in an ellipsis
// when text is left over.
QStringList wrappedLines(QString text, const QFont &font, int width, int maxLines)
{
    text.replace(QLatin1Char('\n'), QChar::LineSeparator);
    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    QStringList lines;
    layout.beginLayout();
    for (;;) {
        QTextLine line = layout.createLine();
        if (!line.isValid()) {
            break;
        }
        line.setLineWidth(width);
        QString part = text.mid(line.textStart(), line.textLength());
        part.remove(QChar::LineSeparator);
        if (lines.size() == maxLines - 1 && line.textStart() + line.textLength() < text.size()) {
            // More follows: the last shown line ends in an ellipsis.
            lines << QFontMetrics(font).elidedText(part + QStringLiteral("…"), Qt::ElideRight, width);
            break;
        }
        lines << part;
    }
    layout.endLayout();
    if (lines.isEmpty()) {
        lines << QString();
    }
    return lines;
}

class ProjectRowDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        const int width = textWidth(option);
        const QFont nameFont = Theme::font(Theme::TextStyle::headline);
        const int nameLines =
            int(wrappedLines(index.data(Qt::DisplayRole).toString(), nameFont, width, nameLineLimit).size());
        int height = rowPaddingY * 2 + nameLines * QFontMetrics(nameFont).lineSpacing();
        if (!index.data(captionRole).toString().isEmpty()) {
            height += lineGap + QFontMetrics(Theme::font(Theme::TextStyle::caption)).lineSpacing();
        }
        return {width + rowPaddingX * 2, height};
    }

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        const bool selected = option.state & QStyle::State_Selected;
        const QRectF background = QRectF(option.rect).adjusted(4, 2, -4, -2);
        if (selected) {
            QPainterPath path;
            path.addRoundedRect(background, 6, 6);
            painter->fillPath(path, Theme::colour(Theme::Colour::accent));
        } else if (option.state & QStyle::State_MouseOver) {
            QPainterPath path;
            path.addRoundedRect(background, 6, 6);
            painter->fillPath(path, Theme::colour(Theme::Colour::grey, 0.12));
        }

        const int width = textWidth(option);
        const QFont nameFont = Theme::font(Theme::TextStyle::headline);
        const QFontMetrics nameMetrics(nameFont);
        int y = option.rect.top() + rowPaddingY;
        const int x = option.rect.left() + rowPaddingX;
        painter->setFont(nameFont);
        painter->setPen(selected ? QColor(Qt::white) : Theme::colour(Theme::Colour::primary));
        for (const QString &line :
             wrappedLines(index.data(Qt::DisplayRole).toString(), nameFont, width, nameLineLimit)) {
            painter->drawText(QRect(x, y, width, nameMetrics.lineSpacing()), Qt::AlignLeft | Qt::AlignVCenter,
                              line);
            y += nameMetrics.lineSpacing();
        }

        const QString caption = index.data(captionRole).toString();
        if (!caption.isEmpty()) {
            const QFont captionFont = Theme::font(Theme::TextStyle::caption);
            const QFontMetrics captionMetrics(captionFont);
            y += lineGap;
            painter->setFont(captionFont);
            painter->setPen(selected ? QColor(255, 255, 255, 210) : Theme::colour(Theme::Colour::secondary));
            painter->drawText(QRect(x, y, width, captionMetrics.lineSpacing()),
                              Qt::AlignLeft | Qt::AlignVCenter,
                              captionMetrics.elidedText(caption, Qt::ElideRight, width));
        }
        painter->restore();
    }

private:
    static int textWidth(const QStyleOptionViewItem &option)
    {
        const auto *view = qobject_cast<const QAbstractItemView *>(option.widget);
        const int available = view ? view->viewport()->width() : option.rect.width();
        return std::max(40, available - rowPaddingX * 2);
    }
};

QToolButton *toolbarButton(const QString &text, const QString &objectName, QWidget *parent)
{
    auto *button = new QToolButton(parent);
    button->setObjectName(objectName);
    button->setText(text);
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    button->setAutoRaise(true);
    button->setCursor(Qt::PointingHandCursor);
    Theme::setTextStyle(button, Theme::TextStyle::body);
    return button;
}

} // namespace

QString ProjectHomeView::caption(const ProjectSummary &project)
{
    QStringList parts;
    for (const QString &part : {project.eventDate, project.startTime}) {
        if (!part.isEmpty()) {
            parts << part;
        }
    }
    return parts.join(QStringLiteral(" · "));
}

ProjectHomeView::ProjectHomeView(AppStore &store, APIClient &client, QWidget *parent)
    : QWidget(parent)
    , m_store(store)
    , m_client(client)
{
    setObjectName(QStringLiteral("projectHome"));
    m_layout = new QVBoxLayout(this);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);

    connect(&m_store, &AppStore::projectsChanged, this, [this] {
        if (m_home) {
            rebuildProjectList();
            updateDetail();
        }
    });
    connect(&m_store, &AppStore::accountChanged, this, &ProjectHomeView::updateToolbar);
    showHome();
}

ProjectHomeView::~ProjectHomeView()
{
    // The list may report a last selection change while it is torn down with the children.
    if (m_projectList) {
        disconnect(m_projectList, nullptr, this, nullptr);
    }
}

void ProjectHomeView::showHome()
{
    m_adminMode = false;
    if (m_admin) {
        // Deferred: the console's own button is what got us here.
        m_admin->hide();
        m_admin->deleteLater();
        m_admin = nullptr;
    }
    m_home = buildHome();
    m_layout->addWidget(m_home);
    rebuildProjectList();
    updateDetail();
    updateToolbar();
}

void ProjectHomeView::showAdmin()
{
    m_adminMode = true;
    discardWorkspace();
    if (m_home) {
        // Deferred: the button that got us here lives in it.
        m_home->hide();
        m_home->deleteLater();
        m_home = nullptr;
        m_projectList = nullptr;
        m_detail = nullptr;
        m_detailLayout = nullptr;
        m_emptyState = nullptr;
        m_adminButton = nullptr;
        m_accountButton = nullptr;
    }
    const QString name = m_store.account() ? m_store.account()->name : QStringLiteral("超级管理员");
    m_admin = new MacAdminView(
        name, [this] { showHome(); }, this);
    m_layout->addWidget(m_admin);
}

QWidget *ProjectHomeView::buildHome()
{
    auto *home = new QWidget(this);
    home->setObjectName(QStringLiteral("homeContent"));

    auto *splitter = new QSplitter(Qt::Horizontal, home);
    splitter->setObjectName(QStringLiteral("homeSplitter"));
    splitter->setChildrenCollapsible(false);
    splitter->setHandleWidth(1);
    QWidget *sidebar = buildSidebar();
    splitter->addWidget(sidebar);

    m_detail = new QWidget(splitter);
    m_detail->setObjectName(QStringLiteral("detailArea"));
    m_detail->setAutoFillBackground(true);
    QPalette detailPalette = m_detail->palette();
    detailPalette.setColor(QPalette::Window, Theme::colour(Theme::Colour::controlBackground));
    m_detail->setPalette(detailPalette);
    m_detailLayout = new QVBoxLayout(m_detail);
    m_detailLayout->setContentsMargins(0, 0, 0, 0);
    m_emptyState = buildEmptyState();
    m_detailLayout->addWidget(m_emptyState);
    splitter->addWidget(m_detail);
    splitter->setStretchFactor(0, 0);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({280, 900});

    auto *layout = new QVBoxLayout(home);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(buildToolbar(home));
    layout->addWidget(splitter, 1);
    auto *bottom = new QFrame(home);
    bottom->setObjectName(QStringLiteral("versionBar"));
    bottom->setStyleSheet(QStringLiteral("#versionBar { border-top: 1px solid %1; }")
                              .arg(Theme::css(Theme::Colour::separator)));
    auto *bottomLayout = new QVBoxLayout(bottom);
    bottomLayout->setContentsMargins(6, 6, 6, 6);
    bottomLayout->addWidget(Shell::versionLineLabel(bottom));
    layout->addWidget(bottom);
    return home;
}

QWidget *ProjectHomeView::buildToolbar(QWidget *parent)
{
    auto *bar = new QFrame(parent);
    bar->setObjectName(QStringLiteral("homeToolbar"));
    bar->setStyleSheet(QStringLiteral("#homeToolbar { border-bottom: 1px solid %1; }")
                           .arg(Theme::css(Theme::Colour::separator)));

    m_adminButton = toolbarButton(QStringLiteral("超级管理员后台"), QStringLiteral("adminButton"), bar);
    m_accountButton = toolbarButton(QStringLiteral("账号与权限"), QStringLiteral("accountButton"), bar);
    m_accountButton->setIcon(Theme::icon(QStringLiteral("person.crop.circle")));
    QToolButton *signOut = toolbarButton(QStringLiteral("退出"), QStringLiteral("signOutButton"), bar);

    auto *layout = new QHBoxLayout(bar);
    layout->setContentsMargins(12, 6, 12, 6);
    layout->setSpacing(6);
    layout->addStretch(1);
    layout->addWidget(m_adminButton);
    layout->addWidget(m_accountButton);
    layout->addWidget(signOut);

    connect(m_adminButton, &QToolButton::clicked, this, &ProjectHomeView::showAdmin);
    connect(m_accountButton, &QToolButton::clicked, this, &ProjectHomeView::openAccountPopover);
    // No busy state: pressing twice signs out twice to the same end.
    connect(signOut, &QToolButton::clicked, this, [this] { m_store.signOut(); });
    return bar;
}

QWidget *ProjectHomeView::buildSidebar()
{
    auto *sidebar = new QWidget;
    sidebar->setObjectName(QStringLiteral("sidebar"));
    sidebar->setMinimumWidth(230);
    sidebar->setMaximumWidth(380);

    QLabel *title = Theme::label(QStringLiteral("我的演出"), Theme::TextStyle::title3, QFont::Bold,
                                 Theme::Colour::primary, sidebar);
    title->setObjectName(QStringLiteral("sidebarTitle"));

    auto *create =
        new QPushButton(Theme::icon(QStringLiteral("plus.circle.fill"), Theme::colour(Theme::Colour::indigo)),
                        QStringLiteral("创建新演出"), sidebar);
    create->setObjectName(QStringLiteral("createProjectButton"));
    create->setFlat(true);
    create->setCursor(Qt::PointingHandCursor);
    create->setFont(Theme::font(Theme::TextStyle::headline));
    create->setIconSize(QSize(18, 18));
    create->setStyleSheet(
        QStringLiteral("QPushButton { color: %1; text-align: left; padding: 5px 8px; border: none; }"
                       "QPushButton:hover { background: %2; border-radius: 6px; }")
            .arg(Theme::css(Theme::Colour::indigo), Theme::css(Theme::Colour::indigo, 0.08)));

    QLabel *section = Theme::label(QStringLiteral("演出项目"), Theme::TextStyle::caption, QFont::DemiBold,
                                   Theme::Colour::secondary, sidebar);
    section->setObjectName(QStringLiteral("projectSectionHeader"));

    m_projectList = new QListWidget(sidebar);
    m_projectList->setObjectName(QStringLiteral("projectList"));
    m_projectList->setSelectionMode(QAbstractItemView::SingleSelection);
    m_projectList->setFrameShape(QFrame::NoFrame);
    m_projectList->setItemDelegate(new ProjectRowDelegate(m_projectList));
    m_projectList->setResizeMode(QListView::Adjust);
    m_projectList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_projectList->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_projectList->setMouseTracking(true);
    m_projectList->setStyleSheet(QStringLiteral("QListWidget { background: transparent; }"));

    auto *layout = new QVBoxLayout(sidebar);
    layout->setContentsMargins(8, 12, 8, 8);
    layout->setSpacing(6);
    layout->addWidget(title);
    layout->addWidget(create);
    layout->addSpacing(4);
    layout->addWidget(section);
    layout->addWidget(m_projectList, 1);

    connect(create, &QPushButton::clicked, this, &ProjectHomeView::openCreateSheet);
    connect(m_projectList, &QListWidget::itemSelectionChanged, this,
            &ProjectHomeView::onListSelectionChanged);
    return sidebar;
}

QWidget *ProjectHomeView::buildEmptyState()
{
    auto *panel = new QWidget(m_detail);
    panel->setObjectName(QStringLiteral("emptyState"));
    auto *symbol = new QLabel(panel);
    symbol->setPixmap(
        Theme::symbolPixmap(QStringLiteral("music.note.list"), 44, Theme::colour(Theme::Colour::tertiary)));
    QLabel *title = Theme::label(QStringLiteral("选择一场演出"), Theme::TextStyle::title2, QFont::Bold,
                                 Theme::Colour::primary, panel);
    title->setObjectName(QStringLiteral("emptyStateTitle"));
    QLabel *description = Theme::label(QStringLiteral("进入节目流程、当天安排或播放控制"),
                                       Theme::TextStyle::callout, Theme::Colour::secondary, panel);
    auto *layout = new QVBoxLayout(panel);
    layout->setSpacing(10);
    layout->addStretch(1);
    layout->addWidget(symbol, 0, Qt::AlignHCenter);
    layout->addWidget(title, 0, Qt::AlignHCenter);
    layout->addWidget(description, 0, Qt::AlignHCenter);
    layout->addStretch(1);
    return panel;
}

void ProjectHomeView::rebuildProjectList()
{
    if (!m_projectList) {
        return;
    }
    const QSignalBlocker blocker(m_projectList);
    m_projectList->clear();
    for (const ProjectSummary &project : m_store.projects()) {
        auto *item = new QListWidgetItem(project.name, m_projectList);
        item->setData(projectIdRole, project.id);
        item->setData(captionRole, caption(project));
        item->setToolTip(project.name);
    }
    syncListSelection();
}

void ProjectHomeView::syncListSelection()
{
    if (!m_projectList) {
        return;
    }
    const QSignalBlocker blocker(m_projectList);
    m_projectList->clearSelection();
    if (!m_selection) {
        return;
    }
    for (int row = 0; row < m_projectList->count(); ++row) {
        QListWidgetItem *item = m_projectList->item(row);
        if (item->data(projectIdRole).toString() == *m_selection) {
            m_projectList->setCurrentItem(item);
            item->setSelected(true);
            return;
        }
    }
}

void ProjectHomeView::onListSelectionChanged()
{
    const QList<QListWidgetItem *> selected = m_projectList->selectedItems();
    if (selected.isEmpty()) {
        m_selection.reset();
    } else {
        m_selection = selected.first()->data(projectIdRole).toString();
    }
    updateDetail();
}

void ProjectHomeView::select(const QString &projectID)
{
    m_selection = projectID;
    syncListSelection();
    updateDetail();
}

void ProjectHomeView::updateDetail()
{
    if (!m_detail) {
        return;
    }
    const QList<ProjectSummary> &projects = m_store.projects();
    const auto found = m_selection
                           ? std::find_if(projects.cbegin(), projects.cend(),
                                          [&](const ProjectSummary &p) { return p.id == *m_selection; })
                           : projects.cend();
    if (found == projects.cend()) {
        discardWorkspace();
        m_emptyState->show();
        return;
    }
    // Same project, same workspace: a re-sort of the list must not reload it.
    if (m_workspace && m_workspace->project().id == found->id) {
        return;
    }
    discardWorkspace();
    m_emptyState->hide();
    // The new rundown page asks for its rundown as it is made, and the token of that request is
    // read through the event loop: the workspace is painted once the request is on its way.
    afterRequestSent(
        m_client, this, [this] { revealWorkspace(); }, revealLimitMs);
    m_workspace = new MacProjectWorkspaceView(*found, m_client, m_detail);
    m_workspace->setObjectName(QStringLiteral("projectWorkspace"));
    m_workspace->hide();
    m_detailLayout->addWidget(m_workspace);
    m_revealPending = true;
}

void ProjectHomeView::revealWorkspace()
{
    if (!m_revealPending || !m_workspace) {
        return;
    }
    m_revealPending = false;
    m_workspace->show();
}

void ProjectHomeView::discardWorkspace()
{
    m_revealPending = false;
    if (!m_workspace) {
        return;
    }
    // Hidden now so nothing of the old project shows; deleted once control is back in the event loop.
    m_workspace->hide();
    if (m_detailLayout) {
        m_detailLayout->removeWidget(m_workspace);
    }
    m_workspace->deleteLater();
    m_workspace = nullptr;
}

void ProjectHomeView::updateToolbar()
{
    if (m_adminButton) {
        const std::optional<Account> &account = m_store.account();
        m_adminButton->setVisible(account && account->superAdmin());
    }
}

QCoro::Task<> ProjectHomeView::createAndSelect(QPointer<ProjectHomeView> home, QPointer<AppStore> store,
                                               QString name, QString eventDate, QString startTime)
{
    if (!store) {
        co_return;
    }
    auto creating = store->createProject(std::move(name), std::move(eventDate), std::move(startTime));
    const ProjectSummary project = co_await creating;
    if (home) {
        home->select(project.id);
    }
}

void ProjectHomeView::openCreateSheet()
{
    // The action outlives the sheet if "取消" is pressed mid-creation, so it holds nothing by reference.
    auto *sheet = new CreateProjectSheet(
        [home = QPointer<ProjectHomeView>(this),
         store = QPointer<AppStore>(&m_store)](QString name, QString eventDate, QString startTime) {
            return createAndSelect(home, store, std::move(name), std::move(eventDate), std::move(startTime));
        },
        this);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    m_createSheet = sheet;
    sheet->open();
}

void ProjectHomeView::openAccountPopover()
{
    if (!m_accountButton) {
        return;
    }
    auto *popover = new QFrame(this, Qt::Popup);
    popover->setObjectName(QStringLiteral("accountPopover"));
    popover->setAttribute(Qt::WA_DeleteOnClose);
    popover->setFrameShape(QFrame::StyledPanel);
    popover->setAutoFillBackground(true);
    auto *layout = new QVBoxLayout(popover);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    // A new panel each time: empty message, the account's current nickname.
    if (m_store.account()) {
        layout->addWidget(new AccountAccessPanel(m_store, popover));
    }
    m_accountPopover = popover;
    popover->adjustSize();

    const QPoint anchor =
        m_accountButton->mapToGlobal(QPoint(m_accountButton->width() / 2, m_accountButton->height()));
    QPoint topLeft(anchor.x() - popover->width() / 2, anchor.y() + 4);
    // Inside the window where it fits, and never off the screen.
    const QWidget *window = m_accountButton->window();
    QRect area(window->mapToGlobal(QPoint(0, 0)), window->size());
    if (const QScreen *screen = m_accountButton->screen()) {
        area = area.intersected(screen->availableGeometry());
    }
    if (!area.isEmpty()) {
        topLeft.setX(
            std::clamp(topLeft.x(), area.left(), std::max(area.left(), area.right() + 1 - popover->width())));
        topLeft.setY(
            std::clamp(topLeft.y(), area.top(), std::max(area.top(), area.bottom() + 1 - popover->height())));
    }
    popover->move(topLeft);
    popover->show();
}
