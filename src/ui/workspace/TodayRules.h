#pragma once

#include "models/ProjectRecords.h"
#include "models/Rundown.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// What the today page derives from the loaded project detail, kept free of widgets.
namespace TodayRules {

// The signed-in person's member record: the first member with the membership's id.
std::optional<ProjectMember> me(const ProjectDetailResponse &detail);

// Items that name me among the performers or owners, or name one of my confirmed groups among the
// performers. Whole names, compared exactly; rundown order; each item once.
QList<RundownItem> myItems(const ProjectDetailResponse &detail, const ProjectMember &me);

std::optional<MakeupAssignment> myMakeup(const ProjectDetailResponse &detail, const ProjectMember &me);
std::optional<ProjectMember> makeupArtist(const ProjectDetailResponse &detail,
                                          const MakeupAssignment &makeup);

// Minutes and seconds, the minutes growing past 59.
QString durationText(qint64 seconds);
// Type and live status, the empty ones left out, joined by " · ".
QString itemSubtitle(const RundownItem &item);
QString itemTitle(const RundownItem &item);

// Lines of the three time cards: assembly, rehearsal, dinner.
QStringList assemblyLines(const ProjectOperations &operations);
QStringList rehearsalLines(const ProjectOperations &operations);
QStringList dinnerLines(const ProjectOperations &operations);
QStringList makeupLines(const MakeupAssignment &makeup, const std::optional<ProjectMember> &artist);

QString checkInLabel(bool checkedIn);
bool checkInEnabled(bool checkedIn, bool checkInRunning);

} // namespace TodayRules
