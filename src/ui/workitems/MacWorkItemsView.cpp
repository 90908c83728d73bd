#include "MacWorkItemsView.h"

#include "MacCreateWorkItemSheet.h"
#include "api/APIClient.h"
#include "common/AsyncAction.h"
#include "common/Theme.h"
#include "stores/MacProjectDataStore.h"
#include "workspace/PageStateStack.h"

#include <QButtonGroup>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScrollArea>
#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace WorkItemsViewDetail {

namespace {

const QString systemSource = QStringLiteral("system");

Theme::Colour priorityColour(WorkItemPriority priority)
{
    switch (priority) {
    case WorkItemPriority::normal:
        return Theme::Colour::blue;
    case WorkItemPriority::important:
        return Theme::Colour::orange;
    case WorkItemPriority::urgent:
        return Theme::Colour::red;
    }
    return Theme::Colour::blue;
}

Theme::Colour statusColour(WorkItemStatus status)
{
    switch (status) {
    case WorkItemStatus::todo:
        return Theme::Colour::orange;
    case WorkItemStatus::doing:
        return Theme::Colour::blue;
    case WorkItemStatus::blocked:
        return Theme::Colour::red;
    case WorkItemStatus::done:
        return Theme::Colour::green;
    case WorkItemStatus::cancelled:
        return Theme::Colour::secondary;
    }
    return Theme::Colour::secondary;
}

QLabel *badge(const QString &text, Theme::Colour colour, QWidget *parent)
{
    auto *label = Theme::label(text, Theme::TextStyle::caption, QFont::Bold, colour, parent);
    label->setTextFormat(Qt::PlainText);
    label->setStyleSheet(
        QStringLiteral("background: %1; border-radius: 9px; padding: 4px 8px;").arg(Theme::css(colour, 0.1)));
    return label;
}

QLabel *wrapped(const QString &text, Theme::TextStyle style, Theme::Colour colour, QWidget *parent)
{
    auto *label = Theme::label(text, style, colour, parent);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

void fillRounded(QWidget *widget, const QColor &fill, qreal radius)
{
    QPainter painter(widget);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(QRectF(widget->rect()), radius, radius);
    painter.fillPath(path, fill);
}

class Stripe : public QWidget
{
public:
    Stripe(QColor fill, QWidget *parent)
        : QWidget(parent)
        , m_fill(std::move(fill))
    {
        setFixedWidth(5);
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    }

protected:
    void paintEvent(QPaintEvent *) override { fillRounded(this, m_fill, 3); }

private:
    QColor m_fill;
};

} // namespace

// One count of the service's summary.
class CountCard : public QWidget
{
public:
    CountCard(const QString &title, Theme::Colour colour, const QString &name, QWidget *parent)
        : QWidget(parent)
        , m_colour(colour)
    {
        setObjectName(QStringLiteral("countCard_") + name);
        auto *row = new QHBoxLayout(this);
        row->setContentsMargins(12, 12, 12, 12);
        auto *column = new QVBoxLayout;
        column->setSpacing(2);
        column->addWidget(Theme::label(title, Theme::TextStyle::caption, Theme::Colour::secondary, this));
        m_value = Theme::label(QStringLiteral("0"), Theme::TextStyle::title2, QFont::Bold, colour, this);
        m_value->setObjectName(QStringLiteral("countValue_") + name);
        column->addWidget(m_value);
        row->addLayout(column);
        row->addStretch(1);
    }

    void setValue(qint64 value) { m_value->setText(QString::number(value)); }

protected:
    void paintEvent(QPaintEvent *) override { fillRounded(this, Theme::colour(m_colour, 0.07), 12); }

private:
    Theme::Colour m_colour;
    QLabel *m_value = nullptr;
};

// The card of one work item. Rebuilt only when what it shows changed, so a reload leaves
// untouched rows (and the scroll position) alone.
class TaskRow : public QWidget
{
public:
    struct Actions
    {
        std::function<void(const WorkItem &)> openDestination;
        std::function<void(const WorkItem &, WorkItemStatus)> changeStatus;
        std::function<void(const WorkItem &, WorkItemStatus)> resolve;
    };

    TaskRow(Actions actions, QWidget *parent)
        : QWidget(parent)
        , m_actions(std::move(actions))
    {
        setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
    }

    void display(const WorkItem &item, const QString &meta, bool canAct)
    {
        if (m_built && item == m_item && meta == m_meta && canAct == m_canAct) {
            return;
        }
        m_item = item;
        m_meta = meta;
        m_canAct = canAct;
        m_built = true;
        setObjectName(QStringLiteral("taskRow_") + item.id);
        rebuild();
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        fillRounded(this, Theme::colour(Theme::Colour::secondary, 0.045), 14);
    }

private:
    void rebuild()
    {
        delete layout();
        for (QWidget *child : findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly)) {
            delete child;
        }
        const WorkItem &item = m_item;
        const QString &id = item.id;

        auto *row = new QHBoxLayout(this);
        row->setContentsMargins(15, 15, 15, 15);
        row->setSpacing(16);
        row->addWidget(new Stripe(Theme::colour(priorityColour(item.priority)), this));

        auto *column = new QVBoxLayout;
        column->setSpacing(7);
        auto *badges = new QHBoxLayout;
        badges->setSpacing(7);
        badges->addWidget(
            badge(WorkItemRules::kindText(item.kind),
                  item.kind == WorkItemKind::incident ? Theme::Colour::orange : Theme::Colour::indigo, this));
        badges->addWidget(
            badge(WorkItemRules::priorityText(item.priority), priorityColour(item.priority), this));
        if (item.sourceType == systemSource) {
            badges->addWidget(badge(QStringLiteral("系统同步"), Theme::Colour::secondary, this));
        }
        badges->addStretch(1);
        column->addLayout(badges);
        auto *title = wrapped(item.title, Theme::TextStyle::headline, Theme::Colour::primary, this);
        title->setObjectName(QStringLiteral("taskTitle"));
        column->addWidget(title);
        if (!item.description.isEmpty()) {
            auto *description =
                wrapped(item.description, Theme::TextStyle::body, Theme::Colour::secondary, this);
            description->setObjectName(QStringLiteral("taskDescription"));
            column->addWidget(description);
        }
        auto *meta = wrapped(m_meta, Theme::TextStyle::caption, Theme::Colour::secondary, this);
        meta->setObjectName(QStringLiteral("taskMeta"));
        column->addWidget(meta);
        if (!item.resolution.isEmpty()) {
            auto *resolution = wrapped(QStringLiteral("处理记录：") + item.resolution,
                                       Theme::TextStyle::caption, Theme::Colour::secondary, this);
            resolution->setObjectName(QStringLiteral("taskResolution"));
            column->addWidget(resolution);
        }
        row->addLayout(column, 1);

        auto *trailing = new QVBoxLayout;
        trailing->setSpacing(8);
        auto *status = badge(WorkItemRules::statusText(item.status), statusColour(item.status), this);
        status->setObjectName(QStringLiteral("taskStatus"));
        trailing->addWidget(status, 0, Qt::AlignRight);
        if (item.sourceType == systemSource) {
            auto *go = new QPushButton(QStringLiteral("去对应功能处理"), this);
            go->setObjectName(QStringLiteral("destinationButton_") + id);
            QObject::connect(go, &QPushButton::clicked, this, [this] { m_actions.openDestination(m_item); });
            trailing->addWidget(go, 0, Qt::AlignRight);
        } else if (m_canAct && isOpen(item.status)) {
            auto *buttons = new QHBoxLayout;
            const WorkItemStatus toggled = WorkItemRules::toggledStatus(item.status);
            auto *toggle = new QPushButton(toggled == WorkItemStatus::todo ? QStringLiteral("退回待处理")
                                                                           : QStringLiteral("开始处理"),
                                           this);
            toggle->setObjectName(QStringLiteral("toggleButton_") + id);
            QObject::connect(toggle, &QPushButton::clicked, this,
                             [this, toggled] { m_actions.changeStatus(m_item, toggled); });
            auto *block = new QPushButton(QStringLiteral("标记阻塞"), this);
            block->setObjectName(QStringLiteral("blockButton_") + id);
            QObject::connect(block, &QPushButton::clicked, this,
                             [this] { m_actions.resolve(m_item, WorkItemStatus::blocked); });
            auto *done = new QPushButton(QStringLiteral("完成"), this);
            done->setObjectName(QStringLiteral("completeButton_") + id);
            const QColor green = Theme::colour(Theme::Colour::green);
            done->setStyleSheet(QStringLiteral("QPushButton { background: %1; color: white; border: none;"
                                               " border-radius: 6px; padding: 4px 12px; }"
                                               "QPushButton:disabled { background: %2; }")
                                    .arg(Theme::css(green), Theme::css(Theme::Colour::green, 0.45)));
            QObject::connect(done, &QPushButton::clicked, this,
                             [this] { m_actions.resolve(m_item, WorkItemStatus::done); });
            buttons->addWidget(toggle);
            buttons->addWidget(block);
            buttons->addWidget(done);
            trailing->addLayout(buttons);
        }
        trailing->addStretch(1);
        row->addLayout(trailing);
    }

    Actions m_actions;
    WorkItem m_item;
    QString m_meta;
    bool m_canAct = false;
    bool m_built = false;
};

} // namespace WorkItemsViewDetail

using namespace WorkItemsViewDetail;

MacWorkItemsView::MacWorkItemsView(MacProjectDataStore &store,
                                   std::function<void(WorkItemDestination)> onOpenDestination,
                                   QWidget *parent)
    : QWidget(parent)
    , m_store(store)
    , m_onOpenDestination(std::move(onOpenDestination))
{
    setObjectName(QStringLiteral("workItemsView"));
    m_states = new PageStateStack(QStringLiteral("正在读取任务…"), QStringLiteral("任务读取失败"),
                                  QStringLiteral("exclamationmark.triangle"), buildContent(), this);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_states);

    connect(&m_store, &MacProjectDataStore::detailChanged, this, &MacWorkItemsView::scheduleRefresh);
    connect(&m_store, &MacProjectDataStore::workItemsChanged, this, &MacWorkItemsView::scheduleRefresh);
    connect(&m_store, &MacProjectDataStore::isLoadingChanged, this, &MacWorkItemsView::scheduleRefresh);
    connect(&m_store, &MacProjectDataStore::errorChanged, this, &MacWorkItemsView::scheduleRefresh);
    refresh();
}

MacWorkItemsView::~MacWorkItemsView() = default;

QWidget *MacWorkItemsView::buildContent()
{
    auto *content = new QWidget;
    auto *layout = new QVBoxLayout(content);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto *header = new QVBoxLayout;
    header->setContentsMargins(20, 20, 20, 20);
    header->setSpacing(14);
    auto *top = new QHBoxLayout;
    auto *titles = new QVBoxLayout;
    titles->setSpacing(4);
    titles->addWidget(Theme::label(QStringLiteral("演前任务与现场处置"), Theme::TextStyle::title, QFont::Bold,
                                   Theme::Colour::primary, content));
    m_note = Theme::label(QString(), Theme::TextStyle::body, Theme::Colour::secondary, content);
    m_note->setObjectName(QStringLiteral("workItemsNote"));
    m_note->setWordWrap(true);
    titles->addWidget(m_note);
    top->addLayout(titles, 1);
    m_createButton = new QPushButton(QStringLiteral("＋ 新建任务/问题"), content);
    m_createButton->setObjectName(QStringLiteral("createWorkItemButton"));
    Theme::makeProminent(m_createButton);
    connect(m_createButton, &QPushButton::clicked, this, &MacWorkItemsView::openCreate);
    top->addWidget(m_createButton, 0, Qt::AlignTop);
    header->addLayout(top);

    auto *cards = new QHBoxLayout;
    cards->setSpacing(12);
    m_cards = {
        new CountCard(QStringLiteral("待处理"), Theme::Colour::orange, QStringLiteral("open"), content),
        new CountCard(QStringLiteral("已阻塞"), Theme::Colour::red, QStringLiteral("blocked"), content),
        new CountCard(QStringLiteral("紧急"), Theme::Colour::purple, QStringLiteral("urgent"), content),
        new CountCard(QStringLiteral("已完成"), Theme::Colour::green, QStringLiteral("done"), content),
    };
    for (CountCard *card : std::as_const(m_cards)) {
        cards->addWidget(card, 1);
    }
    header->addLayout(cards);
    layout->addLayout(header);

    auto *filterBar = new QHBoxLayout;
    filterBar->setContentsMargins(20, 0, 20, 12);
    auto *segments = new QWidget(content);
    segments->setObjectName(QStringLiteral("filterPicker"));
    segments->setFixedWidth(300);
    segments->setAccessibleName(QStringLiteral("筛选"));
    auto *segmentRow = new QHBoxLayout(segments);
    segmentRow->setContentsMargins(0, 0, 0, 0);
    segmentRow->setSpacing(0);
    m_filterGroup = new QButtonGroup(this);
    m_filterGroup->setExclusive(true);
    const QString segmentStyle =
        QStringLiteral("QPushButton { border: 1px solid %1; padding: 4px 0; background: %2; }"
                       "QPushButton:checked { background: %3; color: white; border-color: %3; }")
            .arg(Theme::css(Theme::Colour::separator), Theme::css(Theme::Colour::controlBackground),
                 Theme::css(Theme::Colour::accent));
    static const char *const names[] = {"filter_open", "filter_all", "filter_done"};
    for (Filter filter : WorkItemRules::filters) {
        const int index = int(filter);
        auto *segment = new QPushButton(WorkItemRules::rawValue(filter), segments);
        segment->setObjectName(QLatin1String(names[index]));
        segment->setCheckable(true);
        segment->setChecked(filter == m_filter);
        segment->setStyleSheet(segmentStyle);
        m_filterGroup->addButton(segment, index);
        segmentRow->addWidget(segment, 1);
    }
    connect(m_filterGroup, &QButtonGroup::idClicked, this, [this](int id) { setFilter(Filter(id)); });
    filterBar->addWidget(segments);
    filterBar->addStretch(1);
    filterBar->addWidget(Theme::label(QStringLiteral("唯一状态源"), Theme::TextStyle::caption, QFont::Bold,
                                      Theme::Colour::indigo, content));
    layout->addLayout(filterBar);

    auto *line = new QFrame(content);
    line->setFrameShape(QFrame::HLine);
    line->setFixedHeight(1);
    line->setStyleSheet(
        QStringLiteral("background: %1; border: none;").arg(Theme::css(Theme::Colour::separator)));
    layout->addWidget(line);

    m_listStack = new QStackedWidget(content);
    auto *empty = new QWidget(m_listStack);
    empty->setObjectName(QStringLiteral("workItemsEmpty"));
    auto *emptyColumn = new QVBoxLayout(empty);
    emptyColumn->addStretch(1);
    auto *symbol = new QLabel(empty);
    symbol->setPixmap(
        Theme::symbolPixmap(QStringLiteral("checklist"), 44, Theme::colour(Theme::Colour::secondary)));
    emptyColumn->addWidget(symbol, 0, Qt::AlignHCenter);
    m_emptyTitle =
        Theme::label(QString(), Theme::TextStyle::title2, QFont::Bold, Theme::Colour::primary, empty);
    m_emptyTitle->setObjectName(QStringLiteral("workItemsEmptyTitle"));
    emptyColumn->addWidget(m_emptyTitle, 0, Qt::AlignHCenter);
    emptyColumn->addStretch(1);
    m_listStack->addWidget(empty);

    auto *scroll = new QScrollArea(m_listStack);
    scroll->setObjectName(QStringLiteral("workItemsScroll"));
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_rowsHost = new QWidget;
    m_rowsHost->setObjectName(QStringLiteral("workItemRows"));
    m_rowsLayout = new QVBoxLayout(m_rowsHost);
    m_rowsLayout->setContentsMargins(20, 20, 20, 20);
    m_rowsLayout->setSpacing(10);
    m_rowsLayout->addStretch(1);
    scroll->setWidget(m_rowsHost);
    m_listStack->addWidget(scroll);
    layout->addWidget(m_listStack, 1);
    return content;
}

void MacWorkItemsView::setFilter(Filter filter)
{
    m_filter = filter;
    if (QAbstractButton *segment = m_filterGroup->button(int(filter))) {
        segment->setChecked(true);
    }
    refresh();
}

void MacWorkItemsView::scheduleRefresh()
{
    // Store signals may arrive from inside a row's own click; rows change only once control is
    // back in the event loop.
    if (m_refreshPending) {
        return;
    }
    m_refreshPending = true;
    QTimer::singleShot(0, this, [this] {
        m_refreshPending = false;
        refresh();
    });
}

void MacWorkItemsView::refresh()
{
    const auto &detail = m_store.detail();
    m_states->showState(m_store.isLoading(), detail.has_value(), m_store.error());
    m_states->setBannerMessage(m_store.error());

    const WorkItemsSnapshot &snapshot = m_store.workItems();
    const WorkItemPermissions &rights = snapshot.permissions;
    m_createButton->setVisible(rights.canCreateIncident || rights.canCreatePreparation);
    m_note->setText(detail && detail->project.flowFrozen.value_or(false)
                        ? QStringLiteral("流程已冻结，任务仍可指派、处理和完成。")
                        : QStringLiteral("节目准备状态由任务与业务事实自动生成。"));
    const qint64 values[] = {snapshot.summary.open, snapshot.summary.blocked, snapshot.summary.urgent,
                             snapshot.summary.done};
    for (qsizetype i = 0; i < m_cards.size(); ++i) {
        m_cards.at(i)->setValue(values[i]);
    }
    reconcileRows();
    if (m_createSheet && detail) {
        m_createSheet->setInputs(*detail, rights);
    }
}

void MacWorkItemsView::reconcileRows()
{
    const auto &detail = m_store.detail();
    const ProjectDetailResponse shownDetail = detail.value_or(ProjectDetailResponse{});
    const QList<WorkItem> visible = WorkItemRules::visibleItems(m_store.workItems().items, m_filter);
    const WorkItemPermissions &rights = m_store.workItems().permissions;

    QHash<QString, TaskRow *> kept;
    int position = 0;
    for (const WorkItem &item : visible) {
        TaskRow *row = m_rows.take(item.id);
        if (!row) {
            row = new TaskRow(
                {[this](const WorkItem &w) { m_onOpenDestination(WorkItemRules::destination(w)); },
                 [this](const WorkItem &w, WorkItemStatus s) { changeStatus(w, s); },
                 [this](const WorkItem &w, WorkItemStatus s) { openResolution(w, s); }},
                m_rowsHost);
        }
        row->display(item, WorkItemRules::programAndAssignee(item, shownDetail),
                     WorkItemRules::canAct(item, shownDetail, rights));
        // The service's order, kept across reloads.
        if (m_rowsLayout->indexOf(row) != position) {
            m_rowsLayout->removeWidget(row);
            m_rowsLayout->insertWidget(position, row);
        }
        row->setVisible(true);
        kept.insert(item.id, row);
        ++position;
    }
    for (TaskRow *gone : std::as_const(m_rows)) {
        m_rowsLayout->removeWidget(gone);
        gone->hide();
        gone->deleteLater();
    }
    m_rows = kept;
    m_emptyTitle->setText(WorkItemRules::emptyTitle(m_filter));
    m_listStack->setCurrentIndex(visible.isEmpty() ? 0 : 1);
    m_rowsHost->setEnabled(!m_busyID.has_value());
}

void MacWorkItemsView::setBusyID(std::optional<QString> id)
{
    m_busyID = std::move(id);
    m_rowsHost->setEnabled(!m_busyID.has_value());
}

void MacWorkItemsView::changeStatus(const WorkItem &item, WorkItemStatus status)
{
    WorkItemPatch patch;
    patch.status = status;
    updateWorkItem(this, &m_store, item, patch);
}

QCoro::Task<bool> MacWorkItemsView::updateWorkItem(QPointer<MacWorkItemsView> page,
                                                   QPointer<MacProjectDataStore> store, WorkItem item,
                                                   WorkItemPatch patch)
{
    if (!page || !store) {
        co_return false;
    }
    page->setBusyID(item.id);
    auto updating = store->updateWorkItem(item, patch);
    const bool saved = co_await updating;
    if (page) {
        page->setBusyID(std::nullopt);
    }
    co_return saved;
}

QCoro::Task<bool> MacWorkItemsView::create(QPointer<MacProjectDataStore> store, WorkItemKind kind,
                                           QString itemID, QString assigneeID, QString title,
                                           QString description, WorkItemPriority priority)
{
    if (!store) {
        co_return false;
    }
    std::optional<QString> failure;
    try {
        auto request = store->client().createWorkItem(store->project().id, kind, itemID, assigneeID, title,
                                                      description, priority);
        co_await request;
    } catch (...) {
        failure = AsyncAction::describeCurrentException();
    }
    if (failure) {
        if (store) {
            store->setError(*failure);
        }
        co_return false;
    }
    if (store) {
        auto reload = store->load(true);
        co_await reload;
    }
    co_return true;
}

void MacWorkItemsView::openCreate()
{
    const auto &detail = m_store.detail();
    if (!detail || m_createSheet) {
        return;
    }
    // The handler must not capture the page: the sheet may run it after the page is gone.
    MacCreateWorkItemSheet::CreateAction onCreate =
        [store = QPointer<MacProjectDataStore>(&m_store)](WorkItemKind kind, QString itemID,
                                                          QString assigneeID, QString title,
                                                          QString description, WorkItemPriority priority) {
            return create(store, kind, std::move(itemID), std::move(assigneeID), std::move(title),
                          std::move(description), priority);
        };
    auto *sheet =
        new MacCreateWorkItemSheet(*detail, m_store.workItems().permissions, std::move(onCreate), this);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    m_createSheet = sheet;
    sheet->open();
}

void MacWorkItemsView::openResolution(const WorkItem &item, WorkItemStatus nextStatus)
{
    if (m_resolutionSheet) {
        return;
    }
    WorkItemResolutionContext context{item, nextStatus};
    m_resolutionContext = context;
    MacWorkItemResolutionSheet::SaveAction onSave = [page = QPointer<MacWorkItemsView>(this),
                                                     store = QPointer<MacProjectDataStore>(&m_store),
                                                     context](QString resolution) {
        WorkItemPatch patch;
        patch.status = context.nextStatus;
        patch.resolution = std::move(resolution);
        return updateWorkItem(page, store, context.item, patch);
    };
    auto *sheet = new MacWorkItemResolutionSheet(context, std::move(onSave), this);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    connect(sheet, &QDialog::finished, this, [this] { m_resolutionContext.reset(); });
    m_resolutionSheet = sheet;
    sheet->open();
}
