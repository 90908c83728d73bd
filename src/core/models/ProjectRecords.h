#pragma once

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

    static Account fromJson(const QJsonObject &o);
    QJsonObject toJson() const;
};

struct Membership
{
    QString id;
    QString projectId;
    QString name;
    QString role;

    static Membership fromJson(const QJsonObject &o);
    QJsonObject toJson() const;
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

    static ProjectSummary fromJson(const QJsonObject &o);
    QJsonObject toJson() const;
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

    static ProjectMember fromJson(const QJsonObject &o);
    QJsonObject toJson() const;
};

struct PerformerGroup
{
    QString id;
    QString name;
    QString decision;
    QStringList memberIds;

    static PerformerGroup fromJson(const QJsonObject &o);
    QJsonObject toJson() const;
};

struct MakeupShift
{
    QString artistMemberId;
    QString startTime;
    QString endTime;
    QString location;

    static MakeupShift fromJson(const QJsonObject &o);
    QJsonObject toJson() const;
};

struct MakeupAssignment
{
    QString memberId;
    QString artistMemberId;
    QString scheduledTime;
    qint64 durationMinutes = 0;
    QString status;

    static MakeupAssignment fromJson(const QJsonObject &o);
    QJsonObject toJson() const;
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

    static ProjectOperations fromJson(const QJsonObject &o);
    QJsonObject toJson() const;
};
