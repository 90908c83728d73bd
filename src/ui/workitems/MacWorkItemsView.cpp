#include "MacWorkItemsView.h"

#include "MacCreateWorkItemSheet.h"
#include "WorkItemsListView.h"
#include "api/APIClient.h"
#include "common/PageStateStack.h"
#include "common/Theme.h"
#include "common/TintedPanel.h"
#include "stores/MacProjectDataStore.h"

#include <QButtonGroup>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace WorkItemsViewDetail {

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
    void paintEvent(QPaintEvent *) override { paintRoundedFill(this, Theme::colour(m_colour, 0.07), 12); }

private:
    Theme::Colour m_colour;
    QLabel *m_value = nullptr;
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

    // An open create sheet follows new data only; rebuilding its pickers otherwise would close an
    // open drop-down for nothing.
    const auto inputsChanged = [this] {
        m_sheetInputsChanged = true;
        scheduleRefresh();
    };
    connect(&m_store, &MacProjectDataStore::detailChanged, this, inputsChanged);
    connect(&m_store, &MacProjectDataStore::workItemsChanged, this, inputsChanged);
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

    layout->addWidget(Theme::divider(content));

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

    m_model = new WorkItemsListModel(this);
    m_list = new WorkItemsListView(m_model, m_listStack);
    m_list->setObjectName(QStringLiteral("workItemsList"));
    connect(m_list, &WorkItemsListView::actionTriggered, this, &MacWorkItemsView::act);
    m_listStack->addWidget(m_list);
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
    m_refreshLater.schedule();
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
    if (m_createSheet && detail && m_sheetInputsChanged) {
        m_createSheet->setInputs(*detail, rights);
    }
    m_sheetInputsChanged = false;
}

void MacWorkItemsView::reconcileRows()
{
    const auto &detail = m_store.detail();
    // Borrowed, not copied: the detail carries the whole rundown and crew.
    static const ProjectDetailResponse noDetail;
    const ProjectDetailResponse &shownDetail = detail ? *detail : noDetail;
    const WorkItemRules::DetailIndex index(shownDetail);
    const WorkItemPermissions &rights = m_store.workItems().permissions;
    QList<WorkItemsListModel::Row> rows;
    for (const WorkItem &item : WorkItemRules::visibleItems(m_store.workItems().items, m_filter)) {
        rows.append({item, WorkItemRules::programAndAssignee(item, index),
                     WorkItemRules::canAct(item, index, rights)});
    }
    m_model->reconcile(rows);
    m_list->relayout();
    m_emptyTitle->setText(WorkItemRules::emptyTitle(m_filter));
    m_listStack->setCurrentIndex(rows.isEmpty() ? 0 : 1);
    m_list->setActionsEnabled(!m_busyID.has_value());
}

void MacWorkItemsView::setBusyID(std::optional<QString> id)
{
    m_busyID = std::move(id);
    m_list->setActionsEnabled(!m_busyID.has_value());
}

void MacWorkItemsView::act(const WorkItem &item, WorkItemsListView::Action action)
{
    if (m_busyID) {
        return;
    }
    switch (action) {
    case WorkItemsListView::Action::openDestination:
        m_onOpenDestination(WorkItemRules::destination(item));
        break;
    case WorkItemsListView::Action::toggle:
        changeStatus(item, WorkItemRules::toggledStatus(item.status));
        break;
    case WorkItemsListView::Action::block:
        openResolution(item, WorkItemStatus::blocked);
        break;
    case WorkItemsListView::Action::complete:
        openResolution(item, WorkItemStatus::done);
        break;
    }
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
    auto mutation = store->mutate(store->client().createWorkItem(store->project().id, kind, itemID,
                                                                 assigneeID, title, description, priority));
    co_return co_await mutation;
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
