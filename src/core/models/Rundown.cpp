#include "Rundown.h"

#include "json/Json.h"

using json::Reader;
using json::Writer;
using L = QLatin1StringView;

RundownItem RundownItem::fromJson(const QJsonObject &o)
{
    const Reader r(o);
    return RundownItem{
        r.required<QString>(L("id")),
        r.required<qint64>(L("order")),
        r.required<QString>(L("section")),
        r.required<QString>(L("title")),
        r.required<QString>(L("type")),
        r.required<qint64>(L("duration")),
        r.required<QString>(L("durationSource")),
        r.required<qint64>(L("audioDuration")),
        r.required<qint64>(L("videoDuration")),
        r.required<QString>(L("startTime")),
        r.required<QString>(L("performers")),
        r.required<QString>(L("owner")),
        r.required<QString>(L("script")),
        r.required<QString>(L("stage")),
        r.required<QString>(L("props")),
        r.required<QString>(L("notes")),
        r.required<QString>(L("status")),
        r.required<QString>(L("liveStatus")),
        r.required<QString>(L("audioName")),
        r.required<QString>(L("videoName")),
        r.optional<QString>(L("audioAssetId")),
        r.optional<QString>(L("videoAssetId")),
    };
}

QJsonObject RundownItem::toJson() const
{
    return Writer()
        .put(L("id"), id)
        .put(L("order"), order)
        .put(L("section"), section)
        .put(L("title"), title)
        .put(L("type"), type)
        .put(L("duration"), duration)
        .put(L("durationSource"), durationSource)
        .put(L("audioDuration"), audioDuration)
        .put(L("videoDuration"), videoDuration)
        .put(L("startTime"), startTime)
        .put(L("performers"), performers)
        .put(L("owner"), owner)
        .put(L("script"), script)
        .put(L("stage"), stage)
        .put(L("props"), props)
        .put(L("notes"), notes)
        .put(L("status"), status)
        .put(L("liveStatus"), liveStatus)
        .put(L("audioName"), audioName)
        .put(L("videoName"), videoName)
        .put(L("audioAssetId"), audioAssetId)
        .put(L("videoAssetId"), videoAssetId)
        .object();
}

QJsonObject RundownItemPatch::toJson() const
{
    return Writer()
        .put(L("title"), title)
        .put(L("type"), type)
        .put(L("duration"), duration)
        .put(L("startTime"), startTime)
        .put(L("props"), props)
        .put(L("notes"), notes)
        .put(L("performers"), performers)
        .put(L("owner"), owner)
        .put(L("script"), script)
        .object();
}

RundownItemPatch RundownItemPatch::fromJson(const QJsonObject &o)
{
    const Reader r(o);
    return RundownItemPatch{
        r.optional<QString>(L("title")),      r.optional<QString>(L("type")),
        r.optional<qint64>(L("duration")),    r.optional<QString>(L("startTime")),
        r.optional<QString>(L("props")),      r.optional<QString>(L("notes")),
        r.optional<QString>(L("performers")), r.optional<QString>(L("owner")),
        r.optional<QString>(L("script")),
    };
}

ProjectDetailResponse ProjectDetailResponse::fromJson(const QJsonObject &o)
{
    const Reader r(o);
    return ProjectDetailResponse{
        r.required<ProjectSummary>(L("project")),
        r.required<Membership>(L("membership")),
        r.required<QList<ProjectMember>>(L("members")),
        r.required<QList<PerformerGroup>>(L("performerGroups")),
        r.required<QList<MakeupAssignment>>(L("makeup")),
        r.required<QList<MakeupShift>>(L("makeupShifts")),
        r.required<ProjectOperations>(L("operations")),
        r.required<QList<RundownItem>>(L("items")),
    };
}

QJsonObject ProjectDetailResponse::toJson() const
{
    return Writer()
        .put(L("project"), project)
        .put(L("membership"), membership)
        .put(L("members"), members)
        .put(L("performerGroups"), performerGroups)
        .put(L("makeup"), makeup)
        .put(L("makeupShifts"), makeupShifts)
        .put(L("operations"), operations)
        .put(L("items"), items)
        .object();
}
