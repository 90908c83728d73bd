#pragma once

#include "json/Json.h"

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

    QUILLORY_JSON(AdminOverview, users, activeUsers, projects, activeProjects, assets, assetBytes,
                  pendingInvites, smsFailures, smsConfigured)
};

struct AdminOverviewResponse
{
    AdminOverview overview;

    QUILLORY_JSON(AdminOverviewResponse, overview)
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

    QUILLORY_JSON(AdminUser, id, name, nickname, phone, status, createdAt, registrationSource,
                  invitedByAccountId, inviterName, inviterPhone, registrationProjectName,
                  registrationItemTitle, projectCount, lastLoginAt, invitedCount)
};

struct AdminInviteLeader
{
    QString id;
    QString name;
    QString phone;
    qint64 invitedCount = 0;

    friend bool operator==(const AdminInviteLeader &, const AdminInviteLeader &) = default;

    QUILLORY_JSON(AdminInviteLeader, id, name, phone, invitedCount)
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

    QUILLORY_JSON(AdminSourceSummary, total, directCount, invitationCount, lotteryCount, legacyCount)
};

struct AdminUsersResponse
{
    QList<AdminUser> users;
    QList<AdminInviteLeader> leaderboard;
    AdminSourceSummary sourceSummary;

    QUILLORY_JSON(AdminUsersResponse, users, leaderboard, sourceSummary)
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

    QUILLORY_JSON(AdminProject, id, name, eventDate, startTime, status, ownerAccountId, ownerName, ownerPhone,
                  memberCount, itemCount, assetCount, assetBytes)
};

struct AdminProjectsResponse
{
    QList<AdminProject> projects;

    QUILLORY_JSON(AdminProjectsResponse, projects)
};

struct AdminProjectDetailResponse
{
    ProjectSummary project;
    QList<ProjectMember> members;
    QList<RundownItem> items;

    QUILLORY_JSON(AdminProjectDetailResponse, project, members, items)
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

    static constexpr auto jsonFields()
    {
        return std::make_tuple(
            json::field("id", &AdminAsset::id), json::field("asset_id", &AdminAsset::assetId),
            json::field("filename", &AdminAsset::filename), json::field("category", &AdminAsset::category),
            json::field("file_size", &AdminAsset::fileSize),
            json::field("projectName", &AdminAsset::projectName),
            json::field("project_id", &AdminAsset::projectId),
            json::field("itemTitle", &AdminAsset::itemTitle), json::field("item_id", &AdminAsset::itemId),
            json::field("created_at", &AdminAsset::createdAt),
            json::field("trashed_at", &AdminAsset::trashedAt));
    }
    QUILLORY_JSON_METHODS(AdminAsset)
};

struct AdminAssetsResponse
{
    QList<AdminAsset> assets;
    QList<AdminAsset> trash;

    QUILLORY_JSON(AdminAssetsResponse, assets, trash)
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

    static constexpr auto jsonFields()
    {
        return std::make_tuple(json::field("id", &AdminAuditLog::id),
                               json::field("adminName", &AdminAuditLog::adminName),
                               json::field("action", &AdminAuditLog::action),
                               json::field("target_type", &AdminAuditLog::targetType),
                               json::field("target_id", &AdminAuditLog::targetId),
                               json::field("summary", &AdminAuditLog::summary),
                               json::field("created_at", &AdminAuditLog::createdAt));
    }
    QUILLORY_JSON_METHODS(AdminAuditLog)
};

struct AdminLogsResponse
{
    QList<AdminAuditLog> logs;

    QUILLORY_JSON(AdminLogsResponse, logs)
};

// The body of every administrative change; `status` and `targetAccountId` only where the action
// names them.
struct AdminActionPayload
{
    QString action;
    QString id;
    std::optional<QString> status;
    std::optional<QString> targetAccountId;

    QUILLORY_JSON(AdminActionPayload, action, id, status, targetAccountId)
};
