#pragma once

#include "models/Rundown.h"
#include "rules/PermissionPolicy.h"

#include <QString>

#include <optional>

// The permission rules read from the loaded project: the signed-in user's own role there,
// and the empty text (so every rule is false) while nothing is loaded.
namespace PermissionPolicy {

QString role(const std::optional<ProjectDetailResponse> &detail);

bool isManager(const std::optional<ProjectDetailResponse> &detail);
bool canManageMembers(const std::optional<ProjectDetailResponse> &detail);
bool canManageOperations(const std::optional<ProjectDetailResponse> &detail);
bool canOpenPlayback(const std::optional<ProjectDetailResponse> &detail);
bool canPrepareAudio(const std::optional<ProjectDetailResponse> &detail);
bool canPrepareVideo(const std::optional<ProjectDetailResponse> &detail);

} // namespace PermissionPolicy
