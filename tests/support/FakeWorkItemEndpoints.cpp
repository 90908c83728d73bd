#include "FakeEndpointsInternal.h"

#include <QSet>

namespace fake {

namespace {

const QString systemSource = QStringLiteral("system");

// One fact that a system work item mirrors: open while the fact is missing.
struct SystemFact
{
    QString sourceKey;
    bool met = false;
    QString title;
    QString description;
    QString itemId;
    QString memberId;
    QString assigneeMemberId;
    WorkItemPriority priority = WorkItemPriority::normal;
    bool blocking = false;
};

QString firstManagerId(const FakeProject &p)
{
    for (const ProjectMember &m : p.members) {
        if (PermissionPolicy::isManager(m.role)) {
            return m.id;
        }
    }
    return {};
}

QList<SystemFact> systemFacts(const FakeProject &p)
{
    QList<SystemFact> facts;
    const ProjectOperations &ops = p.operations;

    // Arrival matters once an assembly time is set.
    if (!TextRules::trimmed(ops.assemblyTime).isEmpty()) {
        for (const ProjectMember &m : p.members) {
            SystemFact f;
            f.sourceKey = QStringLiteral("checkin:") + m.id;
            f.met = m.checkedInAt.has_value() && !m.checkedInAt->isEmpty();
            f.title = m.name + QStringLiteral("尚未签到");
            f.description = QStringLiteral("集合时间 %1，请联系本人确认到场时间。").arg(ops.assemblyTime);
            f.memberId = m.id;
            f.assigneeMemberId = m.id;
            f.priority = WorkItemPriority::important;
            facts.append(f);
        }
    }

    for (const MakeupAssignment &a : p.makeup) {
        const ProjectMember *m = p.member(a.memberId);
        if (!m) {
            continue;
        }
        SystemFact f;
        f.sourceKey = QStringLiteral("makeup:") + a.memberId;
        f.met = a.status == QStringLiteral("已完成");
        f.title = m->name + QStringLiteral("待化妆");
        f.description =
            a.scheduledTime.isEmpty() ? a.status : a.scheduledTime + QStringLiteral(" · ") + a.status;
        f.memberId = a.memberId;
        f.assigneeMemberId = a.artistMemberId;
        facts.append(f);
    }

    // Only members with an account can confirm a published notice.
    if (!ops.noticeUpdatedAt.isEmpty()) {
        for (const ProjectMember &m : p.members) {
            if (m.accountId.value_or(QString()).isEmpty()) {
                continue;
            }
            SystemFact f;
            f.sourceKey = QStringLiteral("notice:") + m.id;
            f.met = ops.confirmedMemberIds.contains(m.id);
            f.title = m.name + QStringLiteral("未确认演出通知");
            f.memberId = m.id;
            f.assigneeMemberId = m.id;
            facts.append(f);
        }
    }

    const QString manager = firstManagerId(p);
    for (const RundownItem &item : p.items) {
        const QStringList missing = FakePlatform::missingInformation(item);
        SystemFact f;
        f.sourceKey = QStringLiteral("rundown:") + item.id;
        f.met = missing.isEmpty();
        const QString name = TextRules::trimmed(item.title).isEmpty()
                                 ? QStringLiteral("第 %1 个节目").arg(item.order)
                                 : item.title;
        f.title = name + QStringLiteral("缺少") + missing.join(QStringLiteral("、"));
        f.itemId = item.id;
        f.assigneeMemberId = manager;
        f.priority = WorkItemPriority::important;
        f.blocking = true;
        facts.append(f);
    }
    return facts;
}

} // namespace

// The service keeps its own work items in step with the facts they mirror: it opens one when a
// fact is missing, closes it when the fact is met, reopens it when the fact goes missing again,
// and cancels it when its subject is gone.
void syncSystemWorkItems(FakePlatform &platform, FakeProject &p)
{
    const QList<SystemFact> facts = systemFacts(p);
    QHash<QString, const SystemFact *> byKey;
    for (const SystemFact &f : facts) {
        byKey.insert(f.sourceKey, &f);
    }
    const QString now = platform.now();
    QSet<QString> present;
    for (WorkItem &w : p.workItems) {
        if (w.sourceType != systemSource) {
            continue;
        }
        present.insert(w.sourceKey);
        const SystemFact *f = byKey.value(w.sourceKey);
        WorkItemStatus wanted = w.status;
        if (!f) {
            wanted = isOpen(w.status) ? WorkItemStatus::cancelled : w.status;
        } else if (f->met) {
            wanted = isOpen(w.status) ? WorkItemStatus::done : w.status;
        } else if (!isOpen(w.status)) {
            wanted = WorkItemStatus::todo;
            w.title = f->title;
            if (!f->description.isEmpty()) {
                w.description = f->description;
            }
        }
        if (wanted != w.status) {
            w.status = wanted;
            w.completedAt = isOpen(wanted) ? QString() : now;
            w.updatedAt = now;
            w.updatedByMemberId.clear();
        }
    }
    for (const SystemFact &f : facts) {
        if (f.met || present.contains(f.sourceKey)) {
            continue;
        }
        WorkItem w;
        w.id = platform.nextId(QStringLiteral("work"));
        w.projectId = p.summary.id;
        w.itemId = f.itemId;
        w.memberId = f.memberId;
        w.assigneeMemberId = f.assigneeMemberId;
        w.kind = WorkItemKind::preShow;
        w.sourceType = systemSource;
        w.sourceKey = f.sourceKey;
        w.title = f.title;
        w.description = f.description;
        w.priority = f.priority;
        w.blocking = f.blocking;
        w.createdAt = now;
        w.updatedAt = now;
        p.workItems.append(w);
    }
    platform.refreshReadiness(p);
}

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
    // Performers report problems through the crew; everyone else may raise an incident.
    s.permissions.canCreateIncident = a.role != rolePerformer;
    s.permissions.canCreatePreparation = a.manager() || a.role == roleOwner;
    s.permissions.canManageAll = a.manager();
    return s;
}

FakeReply Endpoints::workItems()
{
    const Access a = accessFromQuery();
    syncSystemWorkItems(m_p, *a.project);
    return jsonReply(snapshot(a).toJson());
}

FakeReply Endpoints::createWorkItem()
{
    const Access a = accessFromQuery();
    const auto payload = this->payload<WorkItemCreatePayload>();
    syncSystemWorkItems(m_p, *a.project);
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
    // A program lead prepares only the programs he leads.
    if (payload.kind == WorkItemKind::preShow && !rights.permissions.canManageAll &&
        (payload.itemId.isEmpty() || !named(item(*a.project, payload.itemId).owner, a.name))) {
        refuse(403, errForbidden);
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
    syncSystemWorkItems(m_p, *a.project);
    WorkItem *w = a.project->workItem(payload.id);
    if (!w) {
        refuse(404, QStringLiteral("任务不存在"));
    }
    const bool involved =
        w->assigneeMemberId == a.memberId || w->memberId == a.memberId || w->createdByMemberId == a.memberId;
    const RundownItem *program = w->itemId.isEmpty() ? nullptr : a.project->item(w->itemId);
    const bool leadsProgram = a.role == roleOwner && program && named(program->owner, a.name);
    if (!a.manager() && !involved && !leadsProgram) {
        refuse(403, errForbidden);
    }
    if (w->sourceType == systemSource) {
        refuse(409, QStringLiteral("系统同步的任务由对应功能自动更新"));
    }
    const WorkItemPatch &patch = payload.workItem;
    if (patch.title && TextRules::trimmed(*patch.title).isEmpty()) {
        refuse(400, QStringLiteral("请填写标题"));
    }
    if (patch.status == WorkItemStatus::blocked &&
        TextRules::trimmed(patch.resolution.value_or(w->resolution)).isEmpty()) {
        refuse(400, QStringLiteral("请填写阻塞原因"));
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

} // namespace fake
