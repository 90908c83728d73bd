#include "TodayRules.h"

#include "rules/PermissionPolicy.h"

#include <QSet>

namespace TodayRules {

namespace {

QString orFallback(const QString &text, const char16_t *fallback)
{
    return text.isEmpty() ? QString::fromUtf16(fallback) : text;
}

} // namespace

std::optional<ProjectMember> me(const ProjectDetailResponse &detail)
{
    for (const ProjectMember &m : detail.members) {
        if (m.id == detail.membership.id) {
            return m;
        }
    }
    return std::nullopt;
}

QList<RundownItem> myItems(const ProjectDetailResponse &detail, const ProjectMember &me)
{
    // Only groups the director confirmed count; a suspected group may not be one at all.
    QSet<QString> myGroups;
    for (const PerformerGroup &g : detail.performerGroups) {
        if (g.decision == QStringLiteral("group") && g.memberIds.contains(me.id)) {
            myGroups.insert(g.name);
        }
    }
    QList<RundownItem> result;
    for (const RundownItem &item : detail.items) {
        const QStringList performers = PermissionPolicy::people(item.performers);
        bool mine = performers.contains(me.name);
        for (qsizetype i = 0; !mine && i < performers.size(); ++i) {
            mine = myGroups.contains(performers[i]);
        }
        if (!mine) {
            mine = PermissionPolicy::people(item.owner).contains(me.name);
        }
        if (mine) {
            result.append(item);
        }
    }
    return result;
}

std::optional<MakeupAssignment> myMakeup(const ProjectDetailResponse &detail, const ProjectMember &me)
{
    for (const MakeupAssignment &a : detail.makeup) {
        if (a.memberId == me.id) {
            return a;
        }
    }
    return std::nullopt;
}

std::optional<ProjectMember> makeupArtist(const ProjectDetailResponse &detail, const MakeupAssignment &makeup)
{
    if (makeup.artistMemberId.isEmpty()) {
        return std::nullopt;
    }
    for (const ProjectMember &m : detail.members) {
        if (m.id == makeup.artistMemberId) {
            return m;
        }
    }
    return std::nullopt;
}

QString durationText(qint64 seconds)
{
    const qint64 minutes = seconds / 60;
    return QString::asprintf("%02lld:%02lld", static_cast<long long>(minutes),
                             static_cast<long long>(seconds - 60 * minutes));
}

QString itemSubtitle(const RundownItem &item)
{
    QStringList parts;
    if (!item.type.isEmpty()) {
        parts << item.type;
    }
    if (!item.liveStatus.isEmpty()) {
        parts << item.liveStatus;
    }
    return parts.join(QStringLiteral(" · "));
}

QString itemTitle(const RundownItem &item)
{
    return orFallback(item.title, u"未命名节目");
}

QStringList assemblyLines(const ProjectOperations &operations)
{
    return {orFallback(operations.assemblyTime, u"时间待通知"),
            orFallback(operations.checkinLocation, u"地点待通知")};
}

QStringList rehearsalLines(const ProjectOperations &operations)
{
    return {orFallback(operations.rehearsalTime, u"时间待通知")};
}

QStringList dinnerLines(const ProjectOperations &operations)
{
    return {orFallback(operations.dinnerNote, u"安排待通知")};
}

QStringList makeupLines(const MakeupAssignment &makeup, const std::optional<ProjectMember> &artist)
{
    return {orFallback(makeup.scheduledTime, u"时间待定") + QStringLiteral(" · ") +
                QString::number(makeup.durationMinutes) + QStringLiteral(" 分钟"),
            QStringLiteral("化妆师：") + (artist ? artist->name : QStringLiteral("待安排")),
            QStringLiteral("状态：") + makeup.status};
}

QString checkInLabel(bool checkedIn)
{
    return checkedIn ? QStringLiteral("已到场签到") : QStringLiteral("到场签到");
}

bool checkInEnabled(bool checkedIn, bool checkInRunning)
{
    return !checkedIn && !checkInRunning;
}

} // namespace TodayRules
