#include "FakeEndpointsInternal.h"

namespace fake {

WorkItemsSnapshot Endpoints::snapshot(const Access &a) const
{
    WorkItemsSnapshot s;
    s.items = a.project->workItems;
    for (const WorkItem &w : std::as_const(s.items)) {
        ++s.summary.total;
        if (isOpen(w.status)) {
            ++s.summary.open;
            if (w.priority == WorkItemPriority::urgent) {
                ++s.summary.urgent;
            }
        }
        if (w.status == WorkItemStatus::blocked) {
            ++s.summary.blocked;
        }
        if (w.status == WorkItemStatus::done) {
            ++s.summary.done;
        }
    }
    s.permissions.canCreateIncident = true;
    s.permissions.canCreatePreparation = a.manager() || a.role == roleOwner;
    s.permissions.canManageAll = a.manager();
    return s;
}

FakeReply Endpoints::workItems()
{
    return jsonReply(snapshot(accessFromQuery()).toJson());
}

FakeReply Endpoints::createWorkItem()
{
    const Access a = accessFromQuery();
    const auto payload = this->payload<WorkItemCreatePayload>();
    const WorkItemsSnapshot rights = snapshot(a);
    const bool allowed = payload.kind == WorkItemKind::incident ? rights.permissions.canCreateIncident
                                                                : rights.permissions.canCreatePreparation;
    if (!allowed) {
        refuse(403, errForbidden);
    }
    if (TextRules::trimmed(payload.title).isEmpty()) {
        refuse(400, QStringLiteral("请填写标题"));
    }
    if (!payload.itemId.isEmpty()) {
        item(*a.project, payload.itemId);
    }
    if (!payload.assigneeMemberId.isEmpty() && !a.project->member(payload.assigneeMemberId)) {
        refuse(404, errMemberMissing);
    }
    WorkItem w;
    w.id = m_p.nextId(QStringLiteral("work"));
    w.projectId = a.project->summary.id;
    w.itemId = payload.itemId;
    w.assigneeMemberId = payload.assigneeMemberId;
    w.kind = payload.kind;
    w.sourceType = QStringLiteral("manual");
    w.title = TextRules::trimmed(payload.title);
    w.description = payload.description;
    w.priority = payload.priority;
    w.blocking = payload.blocking;
    w.createdByMemberId = a.memberId;
    w.updatedByMemberId = a.memberId;
    w.createdAt = m_p.now();
    w.updatedAt = w.createdAt;
    a.project->workItems.append(w);
    m_p.refreshReadiness(*a.project);
    return jsonReply(WorkItemMutationResponse{true, w}.toJson());
}

FakeReply Endpoints::updateWorkItem()
{
    const Access a = accessFromQuery();
    const auto payload = this->payload<WorkItemMutationPayload>();
    WorkItem *w = a.project->workItem(payload.id);
    if (!w) {
        refuse(404, QStringLiteral("任务不存在"));
    }
    const bool involved =
        w->assigneeMemberId == a.memberId || w->memberId == a.memberId || w->createdByMemberId == a.memberId;
    if (!a.manager() && !involved) {
        refuse(403, errForbidden);
    }
    const WorkItemPatch &patch = payload.workItem;
    if (patch.title && TextRules::trimmed(*patch.title).isEmpty()) {
        refuse(400, QStringLiteral("请填写标题"));
    }
    if (patch.assigneeMemberId && !patch.assigneeMemberId->isEmpty() &&
        !a.project->member(*patch.assigneeMemberId)) {
        refuse(404, errMemberMissing);
    }
    if (patch.title) {
        w->title = TextRules::trimmed(*patch.title);
    }
    if (patch.description) {
        w->description = *patch.description;
    }
    if (patch.status && *patch.status != w->status) {
        w->status = *patch.status;
        w->completedAt = isOpen(w->status) ? QString() : m_p.now();
    }
    if (patch.priority) {
        w->priority = *patch.priority;
    }
    if (patch.dueAt) {
        w->dueAt = *patch.dueAt;
    }
    if (patch.blocking) {
        w->blocking = *patch.blocking;
    }
    if (patch.resolution) {
        w->resolution = *patch.resolution;
    }
    if (patch.assigneeMemberId) {
        w->assigneeMemberId = *patch.assigneeMemberId;
    }
    if (patch.memberId) {
        w->memberId = *patch.memberId;
    }
    w->updatedByMemberId = a.memberId;
    w->updatedAt = m_p.now();
    const WorkItem updated = *w;
    m_p.refreshReadiness(*a.project);
    return jsonReply(WorkItemMutationResponse{true, updated}.toJson());
}

// --- People ----------------------------------------------------------------------------------

} // namespace fake
