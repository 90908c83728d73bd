#include "WorkItemsRules.h"

#include "rules/TextRules.h"

#include <algorithm>

namespace WorkItemRules {

namespace {

const QString systemSource = QStringLiteral("system");
const QString ownerRole = QStringLiteral("节目负责人");

bool namesMember(const RundownItem &item, const Membership &membership)
{
    return people(item.owner).contains(membership.name);
}

} // namespace

DetailIndex::DetailIndex(const ProjectDetailResponse &detail)
    : m_detail(detail)
{
    m_programs.reserve(detail.items.size());
    for (const RundownItem &item : detail.items) {
        // A repeated id keeps its first entry, as a search from the front would find.
        if (!m_programs.contains(item.id)) {
            m_programs.insert(item.id, &item);
        }
    }
    m_members.reserve(detail.members.size());
    for (const ProjectMember &member : detail.members) {
        if (!m_members.contains(member.id)) {
            m_members.insert(member.id, &member);
        }
    }
}

bool canAct(const WorkItem &item, const ProjectDetailResponse &detail, const WorkItemPermissions &permissions)
{
    return canAct(item, DetailIndex(detail), permissions);
}

bool canAct(const WorkItem &item, const DetailIndex &index, const WorkItemPermissions &permissions)
{
    const ProjectDetailResponse &detail = index.detail();
    if (item.sourceType == systemSource) {
        return false;
    }
    if (permissions.canManageAll) {
        return true;
    }
    const Membership &me = detail.membership;
    if (item.assigneeMemberId == me.id || item.createdByMemberId == me.id) {
        return true;
    }
    if (me.role != ownerRole) {
        return false;
    }
    const RundownItem *program = index.program(item.itemId);
    return program && namesMember(*program, me);
}

WorkItemDestination destination(const WorkItem &item)
{
    if (item.sourceKey.startsWith(QStringLiteral("checkin:"))) {
        return WorkItemDestination::members;
    }
    if (item.sourceKey.startsWith(QStringLiteral("makeup:")) ||
        item.sourceKey.startsWith(QStringLiteral("notice:"))) {
        return WorkItemDestination::operations;
    }
    return WorkItemDestination::flow;
}

QString rawValue(Filter filter)
{
    switch (filter) {
    case Filter::open:
        return QStringLiteral("待处理");
    case Filter::all:
        return QStringLiteral("全部");
    case Filter::done:
        return QStringLiteral("已完成");
    }
    return {};
}

std::optional<Filter> filterFromRaw(const QString &raw)
{
    for (Filter filter : filters) {
        if (rawValue(filter) == raw) {
            return filter;
        }
    }
    return std::nullopt;
}

bool passes(Filter filter, WorkItemStatus status)
{
    switch (filter) {
    case Filter::open:
        return isOpen(status);
    case Filter::all:
        return true;
    case Filter::done:
        return status == WorkItemStatus::done;
    }
    return false;
}

QList<WorkItem> visibleItems(const QList<WorkItem> &items, Filter filter)
{
    QList<WorkItem> out;
    std::copy_if(items.cbegin(), items.cend(), std::back_inserter(out),
                 [&](const WorkItem &item) { return passes(filter, item.status); });
    return out;
}

QString emptyTitle(Filter filter)
{
    return filter == Filter::open ? QStringLiteral("当前没有待处理任务") : QStringLiteral("暂无任务记录");
}

QString kindText(WorkItemKind kind)
{
    return kind == WorkItemKind::incident ? QStringLiteral("现场问题") : QStringLiteral("演前任务");
}

QString priorityText(WorkItemPriority priority)
{
    switch (priority) {
    case WorkItemPriority::normal:
        return QStringLiteral("普通");
    case WorkItemPriority::important:
        return QStringLiteral("重要");
    case WorkItemPriority::urgent:
        return QStringLiteral("紧急");
    }
    return {};
}

QString statusText(WorkItemStatus status)
{
    switch (status) {
    case WorkItemStatus::todo:
        return QStringLiteral("待处理");
    case WorkItemStatus::doing:
        return QStringLiteral("处理中");
    case WorkItemStatus::blocked:
        return QStringLiteral("已阻塞");
    case WorkItemStatus::done:
        return QStringLiteral("已完成");
    case WorkItemStatus::cancelled:
        return QStringLiteral("已取消");
    }
    return {};
}

QString programAndAssignee(const WorkItem &item, const ProjectDetailResponse &detail)
{
    return programAndAssignee(item, DetailIndex(detail));
}

QString programAndAssignee(const WorkItem &item, const DetailIndex &index)
{
    QString text;
    if (const RundownItem *program = index.program(item.itemId)) {
        text = QStringLiteral("节目：") + TextRules::programTitle(program->title);
    } else {
        text = QStringLiteral("整场演出");
    }
    if (const ProjectMember *assignee = index.member(item.assigneeMemberId)) {
        text += QStringLiteral(" · 负责人：") + assignee->name;
    } else {
        text += QStringLiteral(" · 未指派");
    }
    return text;
}

WorkItemStatus toggledStatus(WorkItemStatus status)
{
    return status == WorkItemStatus::doing ? WorkItemStatus::todo : WorkItemStatus::doing;
}

QList<WorkItemKind> offeredKinds(const WorkItemPermissions &permissions)
{
    QList<WorkItemKind> kinds;
    if (permissions.canCreateIncident) {
        kinds.append(WorkItemKind::incident);
    }
    if (permissions.canCreatePreparation) {
        kinds.append(WorkItemKind::preShow);
    }
    return kinds;
}

QList<RundownItem> preparationPrograms(const ProjectDetailResponse &detail,
                                       const WorkItemPermissions &permissions)
{
    if (permissions.canManageAll) {
        return detail.items;
    }
    QList<RundownItem> out;
    if (detail.membership.role == ownerRole) {
        std::copy_if(detail.items.cbegin(), detail.items.cend(), std::back_inserter(out),
                     [&](const RundownItem &item) { return namesMember(item, detail.membership); });
    }
    return out;
}

QList<RundownItem> programs(WorkItemKind kind, const ProjectDetailResponse &detail,
                            const WorkItemPermissions &permissions)
{
    return kind == WorkItemKind::incident ? detail.items : preparationPrograms(detail, permissions);
}

QString programLabel(const RundownItem &item)
{
    return QString::number(item.order) + QStringLiteral(". ") + TextRules::programTitle(item.title);
}

bool canSubmit(WorkItemKind kind, const QString &itemID, const QString &title,
               const WorkItemPermissions &permissions)
{
    if (TextRules::trimmed(title).isEmpty()) {
        return false;
    }
    // The sheet offers only the kinds the member may create; the check keeps a stale kind out.
    if (!offeredKinds(permissions).contains(kind)) {
        return false;
    }
    return kind == WorkItemKind::incident || !itemID.isEmpty() || permissions.canManageAll;
}

bool canConfirmResolution(WorkItemStatus nextStatus, const QString &resolution)
{
    return nextStatus != WorkItemStatus::blocked || !TextRules::trimmed(resolution).isEmpty();
}

RiskCounts riskCounts(const QList<WorkItem> &items)
{
    RiskCounts counts;
    for (const WorkItem &item : items) {
        if (!isOpen(item.status)) {
            continue;
        }
        const QString &key = item.sourceKey;
        if (key.startsWith(QStringLiteral("checkin:"))) {
            ++counts.checkinAttention;
        } else if (key.startsWith(QStringLiteral("makeup:"))) {
            ++counts.makeup;
        } else if (key.startsWith(QStringLiteral("rundown:"))) {
            ++counts.rundown;
        } else if (key.startsWith(QStringLiteral("notice:"))) {
            ++counts.notice;
        }
    }
    return counts;
}

} // namespace WorkItemRules
