#pragma once

#include "models/ProjectRecords.h"
#include "models/Rundown.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <optional>

// The rules of the people sheets, the groups view and the makeup board, free of widgets.
namespace PeopleRules {

// --- Member editor -------------------------------------------------------------------------

inline const QString areaSeparator = QStringLiteral("、");
const QStringList &presetAreas();
// The areas of a stored text: split on "、" only, empty parts dropped, parts kept untrimmed.
QSet<QString> areasFromText(const std::optional<QString> &passAreas);
// The areas text to send: the sorted areas joined by "、" for staff, else empty.
QString areasText(const QString &role, const QSet<QString> &areas);
// The toggles shown: the presets, then the other selected areas in ascending order.
QStringList areaButtons(const QSet<QString> &areas);

// --- Invitation ----------------------------------------------------------------------------

// A typed or pasted phone as the field keeps it: digits only (full-width ones mapped to 0-9),
// a leading "+86" or "0086" dropped; a leading "+" of another code stays so the number is refused.
// Never shortened: a longer number is kept whole and refused.
QString filterPhone(const QString &typed);
// Exactly 11 digits 0-9.
bool phoneSendable(const QString &phone);
QString shareText(const QString &name, const QString &inviterName, const QString &role,
                  const QString &projectName, const QString &link);

// --- Work pass -----------------------------------------------------------------------------

enum class PassColour { green, orange, blue };
PassColour passColour(const QString &role);
QString passAccess(const QString &role, const std::optional<QString> &passAreas);

// --- Performer groups ----------------------------------------------------------------------

bool canManageGroups(const std::optional<ProjectDetailResponse> &detail);
QList<PerformerGroup> groupsWithDecision(const std::optional<ProjectDetailResponse> &detail,
                                         const QString &decision);
// The rundown's performer names without a group record, deduplicated, in code-point order of NFC.
QStringList candidateNames(const std::optional<ProjectDetailResponse> &detail);
// The group's members that exist, in memberIds order.
QList<ProjectMember> resolvedMembers(const PerformerGroup &group, const QList<ProjectMember> &members);
bool allRegistered(const QList<ProjectMember> &resolved);
// The members the picker offers for a group.
QList<ProjectMember> pickerMembers(const PerformerGroup &group, const QList<ProjectMember> &members,
                                   const QString &query);

// --- Makeup --------------------------------------------------------------------------------

inline const QString makeupArtistRole = QStringLiteral("化妆师");
const QStringList &makeupStatuses();
inline constexpr int minimumDuration = 5;
inline constexpr int maximumDuration = 180;
inline constexpr int durationStep = 5;

struct MakeupBoardModel
{
    bool visible = false;
    bool artistOwnView = false;
    std::optional<ProjectMember> currentMember;
    QList<ProjectMember> artists;
    QList<ProjectMember> shiftRows;
    QList<MakeupAssignment> visibleAssignments;
};
MakeupBoardModel makeupBoard(const ProjectDetailResponse &detail, bool canManage);
std::optional<MakeupShift> shiftOf(const ProjectDetailResponse &detail, const QString &artistId);
// Members that may still be assigned: not makeup artists and without an assignment.
QList<ProjectMember> assignableMembers(const ProjectDetailResponse &detail);
bool canAssign(const ProjectDetailResponse &detail, const QString &memberId, const QString &artistId,
               bool saving);
// The duration after one step up (+1) or down (-1); a value outside the range enters it.
int steppedDuration(int value, int direction);
bool canStepDuration(int value, int direction);

// A field seeded from a record. After a reload it follows the record unless the user changed it.
template<typename T>
struct SeededField
{
    T seed;

    // What the field shows after the record brings `next`.
    T reseed(const T &current, const T &next)
    {
        const T shown = current == seed ? next : current;
        seed = next;
        return shown;
    }
};

} // namespace PeopleRules
