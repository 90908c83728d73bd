#pragma once

#include "MacCreateWorkItemSheet.h"
#include "MacWorkItemResolutionSheet.h"
#include "WorkItemsListView.h"
#include "WorkItemsRules.h"
#include "common/DeferredRefresh.h"
#include "models/WorkItems.h"

#include <QCoro/QCoroTask>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <optional>

class MacProjectDataStore;
class PageStateStack;
class QAbstractButton;
class QButtonGroup;
class QLabel;
class QPushButton;
class QStackedWidget;
class QVBoxLayout;

namespace WorkItemsViewDetail {
class CountCard;
} // namespace WorkItemsViewDetail

// The workspace page "任务与处置": the service's counts, a three-way filter and one card per
// work item with the actions the member may take. Reads the store at every change and keeps no
// copy of the items; every change goes to the service and is seen through a silent reload.
class MacWorkItemsView : public QWidget
{
    Q_OBJECT

public:
    using Filter = WorkItemRules::Filter;

    MacWorkItemsView(MacProjectDataStore &store, std::function<void(WorkItemDestination)> onOpenDestination,
                     QWidget *parent = nullptr);
    ~MacWorkItemsView() override;

    Filter filter() const { return m_filter; }
    void setFilter(Filter filter);
    const std::optional<QString> &busyID() const { return m_busyID; }
    const std::optional<WorkItemResolutionContext> &resolutionContext() const { return m_resolutionContext; }
    MacCreateWorkItemSheet *createSheet() const { return m_createSheet.data(); }
    MacWorkItemResolutionSheet *resolutionSheet() const { return m_resolutionSheet.data(); }
    WorkItemsListView *list() const { return m_list; }

private:
    QWidget *buildContent();
    void scheduleRefresh();
    void refresh();
    void reconcileRows();
    void setBusyID(std::optional<QString> id);

    void act(const WorkItem &item, WorkItemsListView::Action action);
    void openCreate();
    void openResolution(const WorkItem &item, WorkItemStatus nextStatus);
    void changeStatus(const WorkItem &item, WorkItemStatus status);

    // The status change of one item through the store; marks the page busy meanwhile. Safe when
    // the page or the store goes away.
    static QCoro::Task<bool> updateWorkItem(QPointer<MacWorkItemsView> page,
                                            QPointer<MacProjectDataStore> store, WorkItem item,
                                            WorkItemPatch patch);
    static QCoro::Task<bool> create(QPointer<MacProjectDataStore> store, WorkItemKind kind, QString itemID,
                                    QString assigneeID, QString title, QString description,
                                    WorkItemPriority priority);

    MacProjectDataStore &m_store;
    std::function<void(WorkItemDestination)> m_onOpenDestination;
    Filter m_filter = Filter::open;
    std::optional<QString> m_busyID;
    std::optional<WorkItemResolutionContext> m_resolutionContext;
    QPointer<MacCreateWorkItemSheet> m_createSheet;
    QPointer<MacWorkItemResolutionSheet> m_resolutionSheet;

    PageStateStack *m_states = nullptr;
    QLabel *m_note = nullptr;
    QPushButton *m_createButton = nullptr;
    QList<WorkItemsViewDetail::CountCard *> m_cards;
    QButtonGroup *m_filterGroup = nullptr;
    QStackedWidget *m_listStack = nullptr;
    QLabel *m_emptyTitle = nullptr;
    WorkItemsListModel *m_model = nullptr;
    WorkItemsListView *m_list = nullptr;
    DeferredRefresh m_refreshLater{this, [this] { refresh(); }};
    bool m_sheetInputsChanged = false;
};
