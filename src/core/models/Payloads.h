#pragma once

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

    static LiveActionPayload fromJson(const QJsonObject &o);
    QJsonObject toJson() const;
};

struct ResetLivePayload
{
    bool resetLive = true;

    static ResetLivePayload fromJson(const QJsonObject &o);
    QJsonObject toJson() const;
};

struct FreezeFlowPayload
{
    bool freezeFlow = false;

    static FreezeFlowPayload fromJson(const QJsonObject &o);
    QJsonObject toJson() const;
};

struct ItemMutationPayload
{
    QString id;
    RundownItemPatch item;

    static ItemMutationPayload fromJson(const QJsonObject &o);
    QJsonObject toJson() const;
};

struct ItemOrderEntry
{
    QString id;
    qint64 order = 0; // 1-based position

    static ItemOrderEntry fromJson(const QJsonObject &o);
    QJsonObject toJson() const;
};

struct ItemOrderPayload
{
    QList<ItemOrderEntry> order;

    // The i-th id (from 0) gets order i + 1.
    static ItemOrderPayload fromItemIDs(const QStringList &itemIDs);

    static ItemOrderPayload fromJson(const QJsonObject &o);
    QJsonObject toJson() const;
};

struct RundownReplacePayload
{
    QList<RundownItem> items;

    static RundownReplacePayload fromJson(const QJsonObject &o);
    QJsonObject toJson() const;
};

struct RundownImportPayload
{
    QString contentBase64;

    // Standard alphabet, padded, no line breaks.
    static RundownImportPayload fromContent(const QByteArray &content);

    static RundownImportPayload fromJson(const QJsonObject &o);
    QJsonObject toJson() const;
};

struct CreateProjectPayload
{
    QString name;
    QString eventDate;
    QString startTime;

    static CreateProjectPayload fromJson(const QJsonObject &o);
    QJsonObject toJson() const;
};

struct CheckInPayload
{
    QString memberId;
    bool checkedIn = false;

    static CheckInPayload fromJson(const QJsonObject &o);
    QJsonObject toJson() const;
};

struct MemberUpdatePayload
{
    QString memberId;
    QString name;
    QString role;
    QString detail;
    QString passAreas;

    static MemberUpdatePayload fromJson(const QJsonObject &o);
    QJsonObject toJson() const;
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

    static GroupActionPayload fromJson(const QJsonObject &o);
    QJsonObject toJson() const;
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

    static InvitationCreatePayload fromJson(const QJsonObject &o);
    QJsonObject toJson() const;
};

struct InvitationSMSPayload
{
    QString action = QStringLiteral("sendSms");
    QString token;
    QString phone;

    static InvitationSMSPayload fromJson(const QJsonObject &o);
    QJsonObject toJson() const;
};

struct OperationActionPayload
{
    QString action = QStringLiteral("confirmNotice");

    static OperationActionPayload fromJson(const QJsonObject &o);
    QJsonObject toJson() const;
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

    static SaveOperationsPayload fromJson(const QJsonObject &o);
    QJsonObject toJson() const;
};

struct MakeupShiftPayload
{
    QString action = QStringLiteral("saveMakeupShift");
    QString artistMemberId;
    QString startTime;
    QString endTime;
    QString location;

    static MakeupShiftPayload fromShift(const MakeupShift &shift);

    static MakeupShiftPayload fromJson(const QJsonObject &o);
    QJsonObject toJson() const;
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

    static MakeupAssignmentPayload fromJson(const QJsonObject &o);
    QJsonObject toJson() const;
};
