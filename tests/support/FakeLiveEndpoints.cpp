#include "FakeEndpointsInternal.h"

namespace fake {

FakeReply Endpoints::liveAction(Access &a, const LiveActionPayload &payload)
{
    if (!PermissionPolicy::canOpenPlayback(a.role)) {
        refuse(403, errForbidden);
    }
    RundownItem &target = item(*a.project, payload.id);
    if (payload.liveAction == QStringLiteral("start")) {
        for (RundownItem &i : a.project->items) {
            if (i.liveStatus == RundownValues::live && i.id != target.id) {
                i.liveStatus = RundownValues::finished;
            }
        }
        target.liveStatus = RundownValues::live;
    } else if (payload.liveAction == QStringLiteral("stop")) {
        target.liveStatus = RundownValues::finished;
    } else {
        refuse(400, errUnknownAction);
    }
    return jsonReply(LiveControlResponse{true, a.project->items}.toJson());
}

} // namespace fake
