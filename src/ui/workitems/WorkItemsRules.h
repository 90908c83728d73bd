#pragma once

#include "models/ProjectRecords.h"
#include "models/Rundown.h"
#include "models/WorkItems.h"

#include <QHash>
#include <QList>
#include <QString>

#include <array>
#include <optional>

// The decisions of the task page, its sheets and the risk board, free of widgets.
namespace WorkItemRules {

// The detail's programs and members by id, built once so that a list of rows does not search
// the detail for every row. Borrows the detail: it must outlive the index.
class DetailIndex
{
public:
    explicit DetailIndex(const ProjectDetailResponse &detail);
    DetailIndex(ProjectDetailResponse &&) = delete;

    const ProjectDetailResponse &detail() const { return m_detail; }
    // The first program or member with that id, or nullptr.
    const RundownItem *program(const QString &itemId) const { return m_programs.value(itemId); }
    const ProjectMember *member(const QString &memberId) const { return m_members.value(memberId); }

private:
    const ProjectDetailResponse &m_detail;
    QHash<QString, const RundownItem *> m_programs;
    QHash<QString, const ProjectMember *> m_members;
};

// Whether a row offers its status buttons to the signed-in member.
bool canAct(const WorkItem &item, const ProjectDetailResponse &detail,
            const WorkItemPermissions &permissions);
bool canAct(const WorkItem &item, const DetailIndex &index, const WorkItemPermissions &permissions);

// Where a service-made item leads, by the exact prefix of its source key.
WorkItemDestination destination(const WorkItem &item);

// The three list filters, in segment order.
enum class Filter { open, all, done };
inline constexpr std::array<Filter, 3> filters = {Filter::open, Filter::all, Filter::done};
QString rawValue(Filter filter);
std::optional<Filter> filterFromRaw(const QString &raw);
bool passes(Filter filter, WorkItemStatus status);
QList<WorkItem> visibleItems(const QList<WorkItem> &items, Filter filter);
QString emptyTitle(Filter filter);

// Row texts.
QString kindText(WorkItemKind kind);
QString priorityText(WorkItemPriority priority);
QString statusText(WorkItemStatus status);
// "节目：…" or "整场演出", then " · 负责人：…" or " · 未指派".
QString programAndAssignee(const WorkItem &item, const ProjectDetailResponse &detail);
QString programAndAssignee(const WorkItem &item, const DetailIndex &index);
// The status a row's first button moves to: back to the queue from doing, else to doing.
WorkItemStatus toggledStatus(WorkItemStatus status);

// The create sheet: the kinds the member may create, in picker order (the first is preselected).
QList<WorkItemKind> offeredKinds(const WorkItemPermissions &permissions);
QList<RundownItem> preparationPrograms(const ProjectDetailResponse &detail,
                                       const WorkItemPermissions &permissions);
QList<RundownItem> programs(WorkItemKind kind, const ProjectDetailResponse &detail,
                            const WorkItemPermissions &permissions);
QString programLabel(const RundownItem &item);
bool canSubmit(WorkItemKind kind, const QString &itemID, const QString &title,
               const WorkItemPermissions &permissions);

// The resolution sheet: a blocking reason must not be blank.
bool canConfirmResolution(WorkItemStatus nextStatus, const QString &resolution);

// The risk board's four counters over the open items.
struct RiskCounts
{
    qsizetype checkinAttention = 0;
    qsizetype makeup = 0;
    qsizetype rundown = 0;
    qsizetype notice = 0;

    friend bool operator==(const RiskCounts &, const RiskCounts &) = default;
};
RiskCounts riskCounts(const QList<WorkItem> &items);

} // namespace WorkItemRules
