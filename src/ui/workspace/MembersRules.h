#pragma once

#include "models/ProjectRecords.h"

#include <QColor>
#include <QList>
#include <QString>

// What the members page derives from the loaded members, kept free of widgets.
namespace MembersRules {

// Counters over all members, never the filtered list.
struct MemberCounts
{
    int total = 0;
    int registered = 0;
    int checkedIn = 0;
    int waiting = 0;
};
MemberCounts countMembers(const QList<ProjectMember> &members);

// Members whose name, role and detail, joined with nothing between them, contain the query
// ignoring letter case. The query is not trimmed: blanks are searched for like any text.
QList<ProjectMember> filterMembers(const QList<ProjectMember> &members, const QString &query);

inline constexpr quint32 fallbackColorValue = 0x8D8F99;
// The member's colour text read as a hexadecimal number: non-alphanumerics stripped from both
// ends, then every character must be a hex digit and the value must fit 64 bits; otherwise the
// fallback grey. Only the low 24 bits are used.
quint64 colorValue(const QString &text);
QColor color(const QString &text);

// The first user-perceived character of the name, for the avatar.
QString avatarText(const QString &name);

// The work pass opens only for registered members: a manager's on every row, others' on their own.
bool workPassEnabled(bool canManage, bool ownRow, bool registered);
// One check-in at a time across all rows; a non-manager may only check themselves in, never out.
bool checkInEnabled(bool canManage, bool ownRow, bool checkedIn, bool checkInRunning);
QString checkInLabel(bool canManage, bool checkedIn);
bool inviteShown(bool canManage, bool registered);
// Nobody is invited as chief director: the invitation starts as deputy instead.
QString inviteStartingRole(const QString &memberRole);

} // namespace MembersRules
