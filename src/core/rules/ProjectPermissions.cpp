#include "ProjectPermissions.h"

namespace PermissionPolicy {

QString role(const std::optional<ProjectDetailResponse> &detail)
{
    return detail ? detail->membership.role : QString();
}

bool isManager(const std::optional<ProjectDetailResponse> &detail)
{
    return isManager(role(detail));
}

bool canManageMembers(const std::optional<ProjectDetailResponse> &detail)
{
    return canManageMembers(role(detail));
}

bool canManageOperations(const std::optional<ProjectDetailResponse> &detail)
{
    return canManageOperations(role(detail));
}

bool canOpenPlayback(const std::optional<ProjectDetailResponse> &detail)
{
    return canOpenPlayback(role(detail));
}

bool canPrepareAudio(const std::optional<ProjectDetailResponse> &detail)
{
    return canPrepareAudio(role(detail));
}

bool canPrepareVideo(const std::optional<ProjectDetailResponse> &detail)
{
    return canPrepareVideo(role(detail));
}

} // namespace PermissionPolicy
