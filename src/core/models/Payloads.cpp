#include "Payloads.h"

#include "json/Json.h"

using json::Reader;
using json::Writer;
using L = QLatin1StringView;

LiveActionPayload LiveActionPayload::fromJson(const QJsonObject &o)
{
    const Reader r(o);
    return LiveActionPayload{r.required<QString>(L("liveAction")), r.required<QString>(L("id"))};
}

QJsonObject LiveActionPayload::toJson() const
{
    return Writer().put(L("liveAction"), liveAction).put(L("id"), id).object();
}

ResetLivePayload ResetLivePayload::fromJson(const QJsonObject &o)
{
    return ResetLivePayload{Reader(o).required<bool>(L("resetLive"))};
}

QJsonObject ResetLivePayload::toJson() const
{
    return Writer().put(L("resetLive"), resetLive).object();
}

FreezeFlowPayload FreezeFlowPayload::fromJson(const QJsonObject &o)
{
    return FreezeFlowPayload{Reader(o).required<bool>(L("freezeFlow"))};
}

QJsonObject FreezeFlowPayload::toJson() const
{
    return Writer().put(L("freezeFlow"), freezeFlow).object();
}

ItemMutationPayload ItemMutationPayload::fromJson(const QJsonObject &o)
{
    const Reader r(o);
    return ItemMutationPayload{r.required<QString>(L("id")), r.required<RundownItemPatch>(L("item"))};
}

QJsonObject ItemMutationPayload::toJson() const
{
    return Writer().put(L("id"), id).put(L("item"), item).object();
}

ItemOrderEntry ItemOrderEntry::fromJson(const QJsonObject &o)
{
    const Reader r(o);
    return ItemOrderEntry{r.required<QString>(L("id")), r.required<qint64>(L("order"))};
}

QJsonObject ItemOrderEntry::toJson() const
{
    return Writer().put(L("id"), id).put(L("order"), order).object();
}

ItemOrderPayload ItemOrderPayload::fromItemIDs(const QStringList &itemIDs)
{
    ItemOrderPayload payload;
    payload.order.reserve(itemIDs.size());
    for (qsizetype i = 0; i < itemIDs.size(); ++i) {
        payload.order.append(ItemOrderEntry{itemIDs.at(i), static_cast<int>(i + 1)});
    }
    return payload;
}

ItemOrderPayload ItemOrderPayload::fromJson(const QJsonObject &o)
{
    return ItemOrderPayload{Reader(o).required<QList<ItemOrderEntry>>(L("order"))};
}

QJsonObject ItemOrderPayload::toJson() const
{
    return Writer().put(L("order"), order).object();
}

RundownReplacePayload RundownReplacePayload::fromJson(const QJsonObject &o)
{
    return RundownReplacePayload{Reader(o).required<QList<RundownItem>>(L("items"))};
}

QJsonObject RundownReplacePayload::toJson() const
{
    return Writer().put(L("items"), items).object();
}

RundownImportPayload RundownImportPayload::fromContent(const QByteArray &content)
{
    return RundownImportPayload{QString::fromLatin1(content.toBase64(QByteArray::Base64Encoding))};
}

RundownImportPayload RundownImportPayload::fromJson(const QJsonObject &o)
{
    return RundownImportPayload{Reader(o).required<QString>(L("contentBase64"))};
}

QJsonObject RundownImportPayload::toJson() const
{
    return Writer().put(L("contentBase64"), contentBase64).object();
}

CreateProjectPayload CreateProjectPayload::fromJson(const QJsonObject &o)
{
    const Reader r(o);
    return CreateProjectPayload{
        r.required<QString>(L("name")),
        r.required<QString>(L("eventDate")),
        r.required<QString>(L("startTime")),
    };
}

QJsonObject CreateProjectPayload::toJson() const
{
    return Writer()
        .put(L("name"), name)
        .put(L("eventDate"), eventDate)
        .put(L("startTime"), startTime)
        .object();
}

CheckInPayload CheckInPayload::fromJson(const QJsonObject &o)
{
    const Reader r(o);
    return CheckInPayload{r.required<QString>(L("memberId")), r.required<bool>(L("checkedIn"))};
}

QJsonObject CheckInPayload::toJson() const
{
    return Writer().put(L("memberId"), memberId).put(L("checkedIn"), checkedIn).object();
}

MemberUpdatePayload MemberUpdatePayload::fromJson(const QJsonObject &o)
{
    const Reader r(o);
    return MemberUpdatePayload{
        r.required<QString>(L("memberId")),  r.required<QString>(L("name")),
        r.required<QString>(L("role")),      r.required<QString>(L("detail")),
        r.required<QString>(L("passAreas")),
    };
}

QJsonObject MemberUpdatePayload::toJson() const
{
    return Writer()
        .put(L("memberId"), memberId)
        .put(L("name"), name)
        .put(L("role"), role)
        .put(L("detail"), detail)
        .put(L("passAreas"), passAreas)
        .object();
}

GroupActionPayload GroupActionPayload::decide(const QString &name, const QString &decision)
{
    return GroupActionPayload{QStringLiteral("decide"), name, decision, std::nullopt, std::nullopt};
}

GroupActionPayload GroupActionPayload::memberChange(const QString &groupId, const QString &memberId, bool add)
{
    return GroupActionPayload{add ? QStringLiteral("addMember") : QStringLiteral("removeMember"),
                              std::nullopt, std::nullopt, groupId, memberId};
}

GroupActionPayload GroupActionPayload::fromJson(const QJsonObject &o)
{
    const Reader r(o);
    return GroupActionPayload{
        r.required<QString>(L("action")),   r.optional<QString>(L("name")),
        r.optional<QString>(L("decision")), r.optional<QString>(L("groupId")),
        r.optional<QString>(L("memberId")),
    };
}

QJsonObject GroupActionPayload::toJson() const
{
    return Writer()
        .put(L("action"), action)
        .put(L("name"), name)
        .put(L("decision"), decision)
        .put(L("groupId"), groupId)
        .put(L("memberId"), memberId)
        .object();
}

InvitationCreatePayload InvitationCreatePayload::fromJson(const QJsonObject &o)
{
    const Reader r(o);
    return InvitationCreatePayload{
        r.required<QString>(L("projectId")), r.required<QString>(L("name")),
        r.required<QString>(L("role")),      r.optional<QString>(L("phone")),
        r.optional<QString>(L("itemId")),    r.optional<QString>(L("field")),
        r.optional<QString>(L("groupId")),
    };
}

QJsonObject InvitationCreatePayload::toJson() const
{
    return Writer()
        .put(L("projectId"), projectId)
        .put(L("name"), name)
        .put(L("role"), role)
        .put(L("phone"), phone)
        .put(L("itemId"), itemId)
        .put(L("field"), field)
        .put(L("groupId"), groupId)
        .object();
}

InvitationSMSPayload InvitationSMSPayload::fromJson(const QJsonObject &o)
{
    const Reader r(o);
    return InvitationSMSPayload{
        r.required<QString>(L("action")),
        r.required<QString>(L("token")),
        r.required<QString>(L("phone")),
    };
}

QJsonObject InvitationSMSPayload::toJson() const
{
    return Writer().put(L("action"), action).put(L("token"), token).put(L("phone"), phone).object();
}

OperationActionPayload OperationActionPayload::fromJson(const QJsonObject &o)
{
    return OperationActionPayload{Reader(o).required<QString>(L("action"))};
}

QJsonObject OperationActionPayload::toJson() const
{
    return Writer().put(L("action"), action).object();
}

SaveOperationsPayload SaveOperationsPayload::fromOperations(const ProjectOperations &operations)
{
    SaveOperationsPayload payload;
    payload.noticeTitle = operations.noticeTitle;
    payload.noticeContent = operations.noticeContent;
    payload.assemblyTime = operations.assemblyTime;
    payload.checkinLocation = operations.checkinLocation;
    payload.rehearsalTime = operations.rehearsalTime;
    payload.dinnerNote = operations.dinnerNote;
    return payload;
}

SaveOperationsPayload SaveOperationsPayload::fromJson(const QJsonObject &o)
{
    const Reader r(o);
    return SaveOperationsPayload{
        r.required<QString>(L("action")),          r.required<QString>(L("noticeTitle")),
        r.required<QString>(L("noticeContent")),   r.required<QString>(L("assemblyTime")),
        r.required<QString>(L("checkinLocation")), r.required<QString>(L("rehearsalTime")),
        r.required<QString>(L("dinnerNote")),
    };
}

QJsonObject SaveOperationsPayload::toJson() const
{
    return Writer()
        .put(L("action"), action)
        .put(L("noticeTitle"), noticeTitle)
        .put(L("noticeContent"), noticeContent)
        .put(L("assemblyTime"), assemblyTime)
        .put(L("checkinLocation"), checkinLocation)
        .put(L("rehearsalTime"), rehearsalTime)
        .put(L("dinnerNote"), dinnerNote)
        .object();
}

MakeupShiftPayload MakeupShiftPayload::fromShift(const MakeupShift &shift)
{
    MakeupShiftPayload payload;
    payload.artistMemberId = shift.artistMemberId;
    payload.startTime = shift.startTime;
    payload.endTime = shift.endTime;
    payload.location = shift.location;
    return payload;
}

MakeupShiftPayload MakeupShiftPayload::fromJson(const QJsonObject &o)
{
    const Reader r(o);
    return MakeupShiftPayload{
        r.required<QString>(L("action")),    r.required<QString>(L("artistMemberId")),
        r.required<QString>(L("startTime")), r.required<QString>(L("endTime")),
        r.required<QString>(L("location")),
    };
}

QJsonObject MakeupShiftPayload::toJson() const
{
    return Writer()
        .put(L("action"), action)
        .put(L("artistMemberId"), artistMemberId)
        .put(L("startTime"), startTime)
        .put(L("endTime"), endTime)
        .put(L("location"), location)
        .object();
}

MakeupAssignmentPayload MakeupAssignmentPayload::fromAssignment(const MakeupAssignment &assignment)
{
    MakeupAssignmentPayload payload;
    payload.memberId = assignment.memberId;
    payload.artistMemberId = assignment.artistMemberId;
    payload.scheduledTime = assignment.scheduledTime;
    payload.durationMinutes = assignment.durationMinutes;
    payload.status = assignment.status;
    return payload;
}

MakeupAssignmentPayload MakeupAssignmentPayload::fromJson(const QJsonObject &o)
{
    const Reader r(o);
    return MakeupAssignmentPayload{
        r.required<QString>(L("action")),         r.required<QString>(L("memberId")),
        r.required<QString>(L("artistMemberId")), r.required<QString>(L("scheduledTime")),
        r.required<qint64>(L("durationMinutes")), r.required<QString>(L("status")),
    };
}

QJsonObject MakeupAssignmentPayload::toJson() const
{
    return Writer()
        .put(L("action"), action)
        .put(L("memberId"), memberId)
        .put(L("artistMemberId"), artistMemberId)
        .put(L("scheduledTime"), scheduledTime)
        .put(L("durationMinutes"), durationMinutes)
        .put(L("status"), status)
        .object();
}
