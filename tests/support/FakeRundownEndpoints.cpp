#include "FakeEndpointsInternal.h"

namespace fake {

FakeReply Endpoints::projectDetail()
{
    const Access a = accessFromQuery();
    const Membership membership{a.memberId, a.project->summary.id, a.name, a.role};
    // Live actions move the item that stands by.
    m_p.refreshReadiness(*a.project);
    return recordReply(m_p.detail(*a.project, membership));
}

FakeReply Endpoints::replaceRundown()
{
    const Access a = accessFromQuery();
    if (!a.manager()) {
        refuse(403, errForbidden);
    }
    requireUnfrozen(a);
    auto payload = this->payload<RundownReplacePayload>();
    for (RundownItem &i : payload.items) {
        if (i.id.isEmpty()) {
            i.id = m_p.nextId(QStringLiteral("item"));
        }
    }
    a.project->items = payload.items;
    m_p.refreshReadiness(*a.project);
    return okReply();
}

FakeReply Endpoints::patchProject()
{
    Access a = accessFromQuery();
    const QJsonObject o = body();

    if (o.contains(L("liveAction"))) {
        return liveAction(a, payload<LiveActionPayload>());
    }
    if (o.contains(L("resetLive"))) {
        return resetLive(a, payload<ResetLivePayload>());
    }
    if (o.contains(L("freezeFlow"))) {
        if (a.role != roleChief) {
            refuse(403, errForbidden);
        }
        a.project->summary.flowFrozen = payload<FreezeFlowPayload>().freezeFlow;
        return jsonReply(ProjectMutationResponse{true, a.project->summary}.toJson());
    }
    if (o.contains(L("order"))) {
        if (!a.manager()) {
            refuse(403, errForbidden);
        }
        requireUnfrozen(a);
        const auto payload = this->payload<ItemOrderPayload>();
        for (const ItemOrderEntry &entry : payload.order) {
            item(*a.project, entry.id); // every id must exist before anything changes
        }
        for (const ItemOrderEntry &entry : payload.order) {
            item(*a.project, entry.id).order = entry.order;
        }
        std::stable_sort(a.project->items.begin(), a.project->items.end(),
                         [](const RundownItem &x, const RundownItem &y) { return x.order < y.order; });
        return okReply();
    }
    if (o.contains(L("item"))) {
        const auto payload = this->payload<ItemMutationPayload>();
        RundownItem &target = item(*a.project, payload.id);
        const RundownItemPatch &patch = payload.item;
        const bool scriptOnly = !patch.title && !patch.type && !patch.duration && !patch.startTime &&
                                !patch.props && !patch.notes && !patch.performers && !patch.owner;
        if (!(canEdit(a, target) || (scriptOnly && canEditScript(a, target)))) {
            refuse(403, errForbidden);
        }
        requireUnfrozen(a);
        if (patch.duration && *patch.duration < 0) {
            refuse(400, QStringLiteral("时长无效"));
        }
        if (patch.title) {
            target.title = *patch.title;
        }
        if (patch.type) {
            target.type = *patch.type;
        }
        if (patch.duration) {
            target.duration = *patch.duration;
            target.durationSource = QStringLiteral("manual");
        }
        if (patch.startTime) {
            target.startTime = *patch.startTime;
        }
        if (patch.props) {
            target.props = *patch.props;
        }
        if (patch.notes) {
            target.notes = *patch.notes;
        }
        if (patch.performers) {
            target.performers = *patch.performers;
        }
        if (patch.owner) {
            target.owner = *patch.owner;
        }
        if (patch.script) {
            target.script = *patch.script;
        }
        m_p.refreshReadiness(*a.project);
        return okReply();
    }
    refuse(400, errUnknownAction);
}

FakeReply Endpoints::addRundownItem()
{
    const Access a = accessFromQuery();
    if (!a.manager()) {
        refuse(403, errForbidden);
    }
    requireUnfrozen(a);
    const QString itemId = m_p.addItem(a.project->summary.id, QString());
    return jsonReply(RundownItemMutationResponse{true, *a.project->item(itemId)}.toJson());
}

// --- Work items ------------------------------------------------------------------------------

} // namespace fake
