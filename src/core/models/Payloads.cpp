#include "Payloads.h"

#include "json/Json.h"

ItemOrderPayload ItemOrderPayload::fromItemIDs(const QStringList &itemIDs)
{
    ItemOrderPayload payload;
    payload.order.reserve(itemIDs.size());
    for (qsizetype i = 0; i < itemIDs.size(); ++i) {
        payload.order.append(ItemOrderEntry{.id = itemIDs.at(i), .order = i + 1});
    }
    return payload;
}

RundownImportPayload RundownImportPayload::fromContent(const QByteArray &content)
{
    return RundownImportPayload{QString::fromLatin1(content.toBase64(QByteArray::Base64Encoding))};
}

GroupActionPayload GroupActionPayload::decide(const QString &name, const QString &decision)
{
    GroupActionPayload payload;
    payload.action = QStringLiteral("decide");
    payload.name = name;
    payload.decision = decision;
    return payload;
}

GroupActionPayload GroupActionPayload::memberChange(const QString &groupId, const QString &memberId, bool add)
{
    GroupActionPayload payload;
    payload.action = add ? QStringLiteral("addMember") : QStringLiteral("removeMember");
    payload.groupId = groupId;
    payload.memberId = memberId;
    return payload;
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

MakeupShiftPayload MakeupShiftPayload::fromShift(const MakeupShift &shift)
{
    MakeupShiftPayload payload;
    payload.artistMemberId = shift.artistMemberId;
    payload.startTime = shift.startTime;
    payload.endTime = shift.endTime;
    payload.location = shift.location;
    return payload;
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
