#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <array>

// The nine project roles; the wire string is the only form a role has on the wire.
enum class ProjectRole {
    chiefDirector,
    deputyDirector,
    programOwner,
    host,
    performer,
    staff,
    soundEngineer,
    videoEngineer,
    makeupArtist,
};

namespace ProjectRoles {
inline constexpr std::array<ProjectRole, 9> all = {
    ProjectRole::chiefDirector, ProjectRole::deputyDirector, ProjectRole::programOwner,
    ProjectRole::host,          ProjectRole::performer,      ProjectRole::staff,
    ProjectRole::soundEngineer, ProjectRole::videoEngineer,  ProjectRole::makeupArtist,
};
} // namespace ProjectRoles

QString rawValue(ProjectRole role);

// Rights on the workspace pages, from the signed-in user's own role in the opened project.
// Roles compare as exact texts; pass the empty text while no project detail is loaded.
namespace PermissionPolicy {

bool isManager(const QString &role);
bool canManageMembers(const QString &role);
bool canManageOperations(const QString &role);
bool canOpenPlayback(const QString &role);
bool canPrepareAudio(const QString &role);
bool canPrepareVideo(const QString &role);

// Splits a names text (performers, owners) into names: at any of 、，,&＆/+;； and the line feed,
// each piece trimmed, empty pieces dropped; order and duplicates kept.
QStringList people(const QString &text);
// Joins names with "、".
QString joinNames(const QStringList &names);

} // namespace PermissionPolicy
