#pragma once

#include "json/Json.h"

#include "models/ProjectRecords.h"
#include "models/Rundown.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// Request bodies the client sends. fromJson is there for the fake service, which reads them back.

struct LiveActionPayload
{
    QString liveAction; // "start" or "stop"
    QString id;

    QUILLORY_JSON(LiveActionPayload, liveAction, id)
};

struct ResetLivePayload
{
    bool resetLive = true;

    QUILLORY_JSON(ResetLivePayload, resetLive)
};

struct FreezeFlowPayload
{
    bool freezeFlow = false;

    QUILLORY_JSON(FreezeFlowPayload, freezeFlow)
};

struct ItemMutationPayload
{
    QString id;
    RundownItemPatch item;

    QUILLORY_JSON(ItemMutationPayload, id, item)
};

struct ItemOrderEntry
{
    QString id;
    qint64 order = 0; // 1-based position

    QUILLORY_JSON(ItemOrderEntry, id, order)
};

struct ItemOrderPayload
{
    QList<ItemOrderEntry> order;

    // The i-th id (from 0) gets order i + 1.
    static ItemOrderPayload fromItemIDs(const QStringList &itemIDs);

    QUILLORY_JSON(ItemOrderPayload, order)
};

struct RundownReplacePayload
{
    QList<RundownItem> items;

    QUILLORY_JSON(RundownReplacePayload, items)
};

struct RundownImportPayload
{
    QString contentBase64;

    // Standard alphabet, padded, no line breaks.
    static RundownImportPayload fromContent(const QByteArray &content);

    QUILLORY_JSON(RundownImportPayload, contentBase64)
};

struct CreateProjectPayload
{
    QString name;
    QString eventDate;
    QString startTime;

    QUILLORY_JSON(CreateProjectPayload, name, eventDate, startTime)
};

struct CheckInPayload
{
    QString memberId;
    bool checkedIn = false;

    QUILLORY_JSON(CheckInPayload, memberId, checkedIn)
};

struct MemberUpdatePayload
{
    QString memberId;
    QString name;
    QString role;
    QString detail;
    QString passAreas;

    QUILLORY_JSON(MemberUpdatePayload, memberId, name, role, detail, passAreas)
};

struct GroupActionPayload
{
    QString action;
    std::optional<QString> name;
    std::optional<QString> decision;
    std::optional<QString> groupId;
    std::optional<QString> memberId;

    // decision is "group" or "individual".
    static GroupActionPayload decide(const QString &name, const QString &decision);
    static GroupActionPayload memberChange(const QString &groupId, const QString &memberId, bool add);

    QUILLORY_JSON(GroupActionPayload, action, name, decision, groupId, memberId)
};

struct InvitationCreatePayload
{
    QString projectId;
    QString name;
    QString role;
    std::optional<QString> phone;
    std::optional<QString> itemId;
    std::optional<QString> field; // "performers" or "owner", with itemId
    std::optional<QString> groupId;

    QUILLORY_JSON(InvitationCreatePayload, projectId, name, role, phone, itemId, field, groupId)
};

struct InvitationSMSPayload
{
    QString action = QStringLiteral("sendSms");
    QString token;
    QString phone;

    QUILLORY_JSON(InvitationSMSPayload, action, token, phone)
};

struct OperationActionPayload
{
    QString action = QStringLiteral("confirmNotice");

    QUILLORY_JSON(OperationActionPayload, action)
};

struct SaveOperationsPayload
{
    QString action = QStringLiteral("saveOperations");
    QString noticeTitle;
    QString noticeContent;
    QString assemblyTime;
    QString checkinLocation;
    QString rehearsalTime;
    QString dinnerNote;

    // Only the six editable texts travel; the notice date and confirmations are the service's.
    static SaveOperationsPayload fromOperations(const ProjectOperations &operations);

    QUILLORY_JSON(SaveOperationsPayload, action, noticeTitle, noticeContent, assemblyTime, checkinLocation,
                  rehearsalTime, dinnerNote)
};

struct MakeupShiftPayload
{
    QString action = QStringLiteral("saveMakeupShift");
    QString artistMemberId;
    QString startTime;
    QString endTime;
    QString location;

    static MakeupShiftPayload fromShift(const MakeupShift &shift);

    QUILLORY_JSON(MakeupShiftPayload, action, artistMemberId, startTime, endTime, location)
};

struct MakeupAssignmentPayload
{
    QString action = QStringLiteral("saveMakeup");
    QString memberId;
    QString artistMemberId;
    QString scheduledTime;
    qint64 durationMinutes = 0;
    QString status;

    static MakeupAssignmentPayload fromAssignment(const MakeupAssignment &assignment);

    QUILLORY_JSON(MakeupAssignmentPayload, action, memberId, artistMemberId, scheduledTime, durationMinutes,
                  status)
};
