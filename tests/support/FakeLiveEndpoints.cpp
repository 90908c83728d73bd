#include "FakeEndpointsInternal.h"

namespace fake {

namespace {

// Only the directors run the show; the sound and video desks follow it.
void requireLiveControl(const Access &a)
{
    if (!a.manager()) {
        refuse(403, errForbidden);
    }
}

// A lottery whose item is no longer live hands the venue screen back to the programme.
void releaseScreens(FakeProject &project)
{
    for (auto it = project.lotteries.begin(); it != project.lotteries.end(); ++it) {
        const RundownItem *owner = project.item(it.key());
        if (!owner || owner->liveStatus != RundownValues::live) {
            it->screenMode = QStringLiteral("program");
        }
    }
}

} // namespace

FakeReply Endpoints::liveAction(Access &a, const LiveActionPayload &payload)
{
    requireLiveControl(a);
    RundownItem &target = item(*a.project, payload.id);
    if (payload.liveAction == QStringLiteral("start")) {
        for (RundownItem &i : a.project->items) {
            if (i.liveStatus == RundownValues::live && i.id != target.id) {
                i.liveStatus = RundownValues::finished;
            }
        }
        target.liveStatus = RundownValues::live;
    } else if (payload.liveAction == QStringLiteral("stop")) {
        // Stopping an item that is not live changes nothing: two directors may press at once.
        if (target.liveStatus == RundownValues::live) {
            target.liveStatus = RundownValues::finished;
        }
    } else {
        refuse(400, errUnknownAction);
    }
    releaseScreens(*a.project);
    // The answer's items replace the client's rundown: they must show who stands by now.
    m_p.refreshReadiness(*a.project);
    return recordReply(LiveControlResponse{true, a.project->items});
}

FakeReply Endpoints::resetLive(Access &a, const ResetLivePayload &payload)
{
    requireLiveControl(a);
    if (payload.resetLive) {
        for (RundownItem &i : a.project->items) {
            i.liveStatus.clear();
        }
        releaseScreens(*a.project);
        m_p.refreshReadiness(*a.project);
    }
    return recordReply(LiveControlResponse{true, a.project->items});
}

} // namespace fake
