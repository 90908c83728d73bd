#pragma once

#include "models/ProjectRecords.h"
#include "models/Rundown.h"

#include <QJsonObject>
#include <QList>
#include <QString>

#include <optional>

// What the platform administration service answers the super-administrator console.

struct AdminOverview
{
    qint64 users = 0;
    qint64 activeUsers = 0;
    qint64 projects = 0;
    qint64 activeProjects = 0;
    qint64 assets = 0;
    qint64 assetBytes = 0;
    qint64 pendingInvites = 0;
    qint64 smsFailures = 0;
    std::optional<bool> smsConfigured;

    // Only an explicit false means SMS is not configured.
    bool isSmsConfigured() const { return smsConfigured.value_or(true); }

    friend bool operator==(const AdminOverview &, const AdminOverview &) = default;

    static AdminOverview fromJson(const QJsonObject &o);
    QJsonObject toJson() const;
};

struct AdminOverviewResponse
{
    AdminOverview overview;

    static AdminOverviewResponse fromJson(const QJsonObject &o);
    QJsonObject toJson() const;
};

struct AdminUser
{
    QString id;
    QString name;
    std::optional<QString> nickname;
    QString phone;
    QString status;
    QString createdAt;
    QString registrationSource;
    std::optional<QString> invitedByAccountId;
    std::optional<QString> inviterName;
    std::optional<QString> inviterPhone;
    std::optional<QString> registrationProjectName;
    std::optional<QString> registrationItemTitle;
    qint64 projectCount = 0;
    std::optional<QString> lastLoginAt;
    qint64 invitedCount = 0;

    friend bool operator==(const AdminUser &, const AdminUser &) = default;

    static AdminUser fromJson(const QJsonObject &o);
    QJsonObject toJson() const;
};

struct AdminInviteLeader
{
    QString id;
    QString name;
    QString phone;
    qint64 invitedCount = 0;

    friend bool operator==(const AdminInviteLeader &, const AdminInviteLeader &) = default;

    static AdminInviteLeader fromJson(const QJsonObject &o);
    QJsonObject toJson() const;
};

// An absent count is unknown, not 0.
struct AdminSourceSummary
{
    qint64 total = 0;
    std::optional<qint64> directCount;
    std::optional<qint64> invitationCount;
    std::optional<qint64> lotteryCount;
    std::optional<qint64> legacyCount;

    friend bool operator==(const AdminSourceSummary &, const AdminSourceSummary &) = default;

    static AdminSourceSummary fromJson(const QJsonObject &o);
    QJsonObject toJson() const;
};

struct AdminUsersResponse
{
    QList<AdminUser> users;
    QList<AdminInviteLeader> leaderboard;
    AdminSourceSummary sourceSummary;

    static AdminUsersResponse fromJson(const QJsonObject &o);
    QJsonObject toJson() const;
};

struct AdminProject
{
    QString id;
    QString name;
    QString eventDate;
    QString startTime;
    QString status;
    std::optional<QString> ownerAccountId;
    std::optional<QString> ownerName;
    std::optional<QString> ownerPhone;
    qint64 memberCount = 0;
    qint64 itemCount = 0;
    qint64 assetCount = 0;
    qint64 assetBytes = 0;

    friend bool operator==(const AdminProject &, const AdminProject &) = default;

    static AdminProject fromJson(const QJsonObject &o);
    QJsonObject toJson() const;
};

struct AdminProjectsResponse
{
    QList<AdminProject> projects;

    static AdminProjectsResponse fromJson(const QJsonObject &o);
    QJsonObject toJson() const;
};

struct AdminProjectDetailResponse
{
    ProjectSummary project;
    QList<ProjectMember> members;
    QList<RundownItem> items;

    static AdminProjectDetailResponse fromJson(const QJsonObject &o);
    QJsonObject toJson() const;
};

// Keys mix camel and snake case on the wire: "asset_id", "file_size", "project_id", "item_id",
// "created_at", "trashed_at"; the rest are the field names.
struct AdminAsset
{
    std::optional<QString> id;
    std::optional<QString> assetId;
    QString filename;
    QString category;
    std::optional<qint64> fileSize;
    std::optional<QString> projectName;
    std::optional<QString> projectId;
    std::optional<QString> itemTitle;
    std::optional<QString> itemId;
    std::optional<QString> createdAt;
    std::optional<QString> trashedAt;

    // The row key: `id`, else `assetId`, else projectId + "-" + filename. Presence alone decides,
    // so a present empty `id` is returned as it is.
    QString stableID() const;

    friend bool operator==(const AdminAsset &, const AdminAsset &) = default;

    static AdminAsset fromJson(const QJsonObject &o);
    QJsonObject toJson() const;
};

struct AdminAssetsResponse
{
    QList<AdminAsset> assets;
    QList<AdminAsset> trash;

    static AdminAssetsResponse fromJson(const QJsonObject &o);
    QJsonObject toJson() const;
};

// Keys "target_type", "target_id" and "created_at" are snake case; "adminName" is not.
struct AdminAuditLog
{
    QString id;
    std::optional<QString> adminName;
    QString action;
    std::optional<QString> targetType;
    std::optional<QString> targetId;
    QString summary;
    std::optional<QString> createdAt;

    friend bool operator==(const AdminAuditLog &, const AdminAuditLog &) = default;

    static AdminAuditLog fromJson(const QJsonObject &o);
    QJsonObject toJson() const;
};

struct AdminLogsResponse
{
    QList<AdminAuditLog> logs;

    static AdminLogsResponse fromJson(const QJsonObject &o);
    QJsonObject toJson() const;
};

// The body of every administrative change; `status` and `targetAccountId` only where the action
// names them.
struct AdminActionPayload
{
    QString action;
    QString id;
    std::optional<QString> status;
    std::optional<QString> targetAccountId;

    static AdminActionPayload fromJson(const QJsonObject &o);
    QJsonObject toJson() const;
};
