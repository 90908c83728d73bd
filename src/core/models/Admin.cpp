#include "Admin.h"

#include "json/Json.h"

using json::Reader;
using json::Writer;
using L = QLatin1StringView;

AdminOverview AdminOverview::fromJson(const QJsonObject &o)
{
    const Reader r(o);
    return AdminOverview{
        r.required<qint64>(L("users")),          r.required<qint64>(L("activeUsers")),
        r.required<qint64>(L("projects")),       r.required<qint64>(L("activeProjects")),
        r.required<qint64>(L("assets")),         r.required<qint64>(L("assetBytes")),
        r.required<qint64>(L("pendingInvites")), r.required<qint64>(L("smsFailures")),
        r.optional<bool>(L("smsConfigured")),
    };
}

QJsonObject AdminOverview::toJson() const
{
    return Writer()
        .put(L("users"), users)
        .put(L("activeUsers"), activeUsers)
        .put(L("projects"), projects)
        .put(L("activeProjects"), activeProjects)
        .put(L("assets"), assets)
        .put(L("assetBytes"), assetBytes)
        .put(L("pendingInvites"), pendingInvites)
        .put(L("smsFailures"), smsFailures)
        .put(L("smsConfigured"), smsConfigured)
        .object();
}

AdminOverviewResponse AdminOverviewResponse::fromJson(const QJsonObject &o)
{
    return AdminOverviewResponse{Reader(o).required<AdminOverview>(L("overview"))};
}

QJsonObject AdminOverviewResponse::toJson() const
{
    return Writer().put(L("overview"), overview).object();
}

AdminUser AdminUser::fromJson(const QJsonObject &o)
{
    const Reader r(o);
    return AdminUser{
        r.required<QString>(L("id")),
        r.required<QString>(L("name")),
        r.optional<QString>(L("nickname")),
        r.required<QString>(L("phone")),
        r.required<QString>(L("status")),
        r.required<QString>(L("createdAt")),
        r.required<QString>(L("registrationSource")),
        r.optional<QString>(L("invitedByAccountId")),
        r.optional<QString>(L("inviterName")),
        r.optional<QString>(L("inviterPhone")),
        r.optional<QString>(L("registrationProjectName")),
        r.optional<QString>(L("registrationItemTitle")),
        r.required<qint64>(L("projectCount")),
        r.optional<QString>(L("lastLoginAt")),
        r.required<qint64>(L("invitedCount")),
    };
}

QJsonObject AdminUser::toJson() const
{
    return Writer()
        .put(L("id"), id)
        .put(L("name"), name)
        .put(L("nickname"), nickname)
        .put(L("phone"), phone)
        .put(L("status"), status)
        .put(L("createdAt"), createdAt)
        .put(L("registrationSource"), registrationSource)
        .put(L("invitedByAccountId"), invitedByAccountId)
        .put(L("inviterName"), inviterName)
        .put(L("inviterPhone"), inviterPhone)
        .put(L("registrationProjectName"), registrationProjectName)
        .put(L("registrationItemTitle"), registrationItemTitle)
        .put(L("projectCount"), projectCount)
        .put(L("lastLoginAt"), lastLoginAt)
        .put(L("invitedCount"), invitedCount)
        .object();
}

AdminInviteLeader AdminInviteLeader::fromJson(const QJsonObject &o)
{
    const Reader r(o);
    return AdminInviteLeader{
        r.required<QString>(L("id")),
        r.required<QString>(L("name")),
        r.required<QString>(L("phone")),
        r.required<qint64>(L("invitedCount")),
    };
}

QJsonObject AdminInviteLeader::toJson() const
{
    return Writer()
        .put(L("id"), id)
        .put(L("name"), name)
        .put(L("phone"), phone)
        .put(L("invitedCount"), invitedCount)
        .object();
}

AdminSourceSummary AdminSourceSummary::fromJson(const QJsonObject &o)
{
    const Reader r(o);
    return AdminSourceSummary{
        r.required<qint64>(L("total")),           r.optional<qint64>(L("directCount")),
        r.optional<qint64>(L("invitationCount")), r.optional<qint64>(L("lotteryCount")),
        r.optional<qint64>(L("legacyCount")),
    };
}

QJsonObject AdminSourceSummary::toJson() const
{
    return Writer()
        .put(L("total"), total)
        .put(L("directCount"), directCount)
        .put(L("invitationCount"), invitationCount)
        .put(L("lotteryCount"), lotteryCount)
        .put(L("legacyCount"), legacyCount)
        .object();
}

AdminUsersResponse AdminUsersResponse::fromJson(const QJsonObject &o)
{
    const Reader r(o);
    return AdminUsersResponse{
        r.required<QList<AdminUser>>(L("users")),
        r.required<QList<AdminInviteLeader>>(L("leaderboard")),
        r.required<AdminSourceSummary>(L("sourceSummary")),
    };
}

QJsonObject AdminUsersResponse::toJson() const
{
    return Writer()
        .put(L("users"), users)
        .put(L("leaderboard"), leaderboard)
        .put(L("sourceSummary"), sourceSummary)
        .object();
}

AdminProject AdminProject::fromJson(const QJsonObject &o)
{
    const Reader r(o);
    return AdminProject{
        r.required<QString>(L("id")),         r.required<QString>(L("name")),
        r.required<QString>(L("eventDate")),  r.required<QString>(L("startTime")),
        r.required<QString>(L("status")),     r.optional<QString>(L("ownerAccountId")),
        r.optional<QString>(L("ownerName")),  r.optional<QString>(L("ownerPhone")),
        r.required<qint64>(L("memberCount")), r.required<qint64>(L("itemCount")),
        r.required<qint64>(L("assetCount")),  r.required<qint64>(L("assetBytes")),
    };
}

QJsonObject AdminProject::toJson() const
{
    return Writer()
        .put(L("id"), id)
        .put(L("name"), name)
        .put(L("eventDate"), eventDate)
        .put(L("startTime"), startTime)
        .put(L("status"), status)
        .put(L("ownerAccountId"), ownerAccountId)
        .put(L("ownerName"), ownerName)
        .put(L("ownerPhone"), ownerPhone)
        .put(L("memberCount"), memberCount)
        .put(L("itemCount"), itemCount)
        .put(L("assetCount"), assetCount)
        .put(L("assetBytes"), assetBytes)
        .object();
}

AdminProjectsResponse AdminProjectsResponse::fromJson(const QJsonObject &o)
{
    return AdminProjectsResponse{Reader(o).required<QList<AdminProject>>(L("projects"))};
}

QJsonObject AdminProjectsResponse::toJson() const
{
    return Writer().put(L("projects"), projects).object();
}

AdminProjectDetailResponse AdminProjectDetailResponse::fromJson(const QJsonObject &o)
{
    const Reader r(o);
    return AdminProjectDetailResponse{
        r.required<ProjectSummary>(L("project")),
        r.required<QList<ProjectMember>>(L("members")),
        r.required<QList<RundownItem>>(L("items")),
    };
}

QJsonObject AdminProjectDetailResponse::toJson() const
{
    return Writer().put(L("project"), project).put(L("members"), members).put(L("items"), items).object();
}

QString AdminAsset::stableID() const
{
    if (id) {
        return *id;
    }
    if (assetId) {
        return *assetId;
    }
    return projectId.value_or(QString()) + QLatin1Char('-') + filename;
}

AdminAsset AdminAsset::fromJson(const QJsonObject &o)
{
    const Reader r(o);
    return AdminAsset{
        r.optional<QString>(L("id")),         r.optional<QString>(L("asset_id")),
        r.required<QString>(L("filename")),   r.required<QString>(L("category")),
        r.optional<qint64>(L("file_size")),   r.optional<QString>(L("projectName")),
        r.optional<QString>(L("project_id")), r.optional<QString>(L("itemTitle")),
        r.optional<QString>(L("item_id")),    r.optional<QString>(L("created_at")),
        r.optional<QString>(L("trashed_at")),
    };
}

QJsonObject AdminAsset::toJson() const
{
    return Writer()
        .put(L("id"), id)
        .put(L("filename"), filename)
        .put(L("category"), category)
        .put(L("projectName"), projectName)
        .put(L("itemTitle"), itemTitle)
        .put(L("asset_id"), assetId)
        .put(L("file_size"), fileSize)
        .put(L("project_id"), projectId)
        .put(L("item_id"), itemId)
        .put(L("created_at"), createdAt)
        .put(L("trashed_at"), trashedAt)
        .object();
}

AdminAssetsResponse AdminAssetsResponse::fromJson(const QJsonObject &o)
{
    const Reader r(o);
    return AdminAssetsResponse{
        r.required<QList<AdminAsset>>(L("assets")),
        r.required<QList<AdminAsset>>(L("trash")),
    };
}

QJsonObject AdminAssetsResponse::toJson() const
{
    return Writer().put(L("assets"), assets).put(L("trash"), trash).object();
}

AdminAuditLog AdminAuditLog::fromJson(const QJsonObject &o)
{
    const Reader r(o);
    return AdminAuditLog{
        r.required<QString>(L("id")),         r.optional<QString>(L("adminName")),
        r.required<QString>(L("action")),     r.optional<QString>(L("target_type")),
        r.optional<QString>(L("target_id")),  r.required<QString>(L("summary")),
        r.optional<QString>(L("created_at")),
    };
}

QJsonObject AdminAuditLog::toJson() const
{
    return Writer()
        .put(L("id"), id)
        .put(L("adminName"), adminName)
        .put(L("action"), action)
        .put(L("summary"), summary)
        .put(L("target_type"), targetType)
        .put(L("target_id"), targetId)
        .put(L("created_at"), createdAt)
        .object();
}

AdminLogsResponse AdminLogsResponse::fromJson(const QJsonObject &o)
{
    return AdminLogsResponse{Reader(o).required<QList<AdminAuditLog>>(L("logs"))};
}

QJsonObject AdminLogsResponse::toJson() const
{
    return Writer().put(L("logs"), logs).object();
}

AdminActionPayload AdminActionPayload::fromJson(const QJsonObject &o)
{
    const Reader r(o);
    return AdminActionPayload{
        r.required<QString>(L("action")),
        r.required<QString>(L("id")),
        r.optional<QString>(L("status")),
        r.optional<QString>(L("targetAccountId")),
    };
}

QJsonObject AdminActionPayload::toJson() const
{
    return Writer()
        .put(L("action"), action)
        .put(L("id"), id)
        .put(L("status"), status)
        .put(L("targetAccountId"), targetAccountId)
        .object();
}
