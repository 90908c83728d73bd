#pragma once

#include "json/Json.h"

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// People and projects as the service sends them.

struct Account
{
    QString id;
    QString name;
    std::optional<QString> nickname;
    QString phone;
    std::optional<bool> isSuperAdmin;

    // Only a present `true` counts.
    bool superAdmin() const { return isSuperAdmin.value_or(false); }
    // First 3 and last 4 user-perceived characters around four asterisks, from 7 characters up.
    QString maskedPhone() const;

    QUILLORY_JSON(Account, id, name, nickname, phone, isSuperAdmin)
};

struct Membership
{
    QString id;
    QString projectId;
    QString name;
    QString role;

    QUILLORY_JSON(Membership, id, projectId, name, role)
};

struct ProjectSummary
{
    QString id;
    QString name;
    QString eventDate;
    QString startTime;
    QString status;
    std::optional<QString> venue;
    std::optional<bool> flowFrozen;

    bool isFlowFrozen() const { return flowFrozen.value_or(false); }

    QUILLORY_JSON(ProjectSummary, id, name, eventDate, startTime, status, venue, flowFrozen)
};

struct ProjectMember
{
    QString id;
    std::optional<QString> accountId;
    std::optional<QString> projectId;
    QString name;
    QString role;
    QString detail;
    QString color;
    std::optional<QString> passAreas;
    std::optional<QString> checkedInAt;
    std::optional<QString> checkedInBy;

    bool isRegistered() const { return accountId && !accountId->isEmpty(); }
    bool isCheckedIn() const { return checkedInAt && !checkedInAt->isEmpty(); }

    QUILLORY_JSON(ProjectMember, id, accountId, projectId, name, role, detail, color, passAreas, checkedInAt,
                  checkedInBy)
};

struct PerformerGroup
{
    QString id;
    QString name;
    QString decision;
    QStringList memberIds;

    QUILLORY_JSON(PerformerGroup, id, name, decision, memberIds)
};

struct MakeupShift
{
    QString artistMemberId;
    QString startTime;
    QString endTime;
    QString location;

    QUILLORY_JSON(MakeupShift, artistMemberId, startTime, endTime, location)
};

struct MakeupAssignment
{
    QString memberId;
    QString artistMemberId;
    QString scheduledTime;
    qint64 durationMinutes = 0;
    QString status;

    QUILLORY_JSON(MakeupAssignment, memberId, artistMemberId, scheduledTime, durationMinutes, status)
};

struct ProjectOperations
{
    QString noticeTitle;
    QString noticeContent;
    QString assemblyTime;
    QString checkinLocation;
    QString rehearsalTime;
    QString dinnerNote;
    QString noticeUpdatedAt;
    QStringList confirmedMemberIds;

    QUILLORY_JSON(ProjectOperations, noticeTitle, noticeContent, assemblyTime, checkinLocation, rehearsalTime,
                  dinnerNote, noticeUpdatedAt, confirmedMemberIds)
};
