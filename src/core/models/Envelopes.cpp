#include "Envelopes.h"

#include "json/Json.h"

using json::Reader;
using json::Writer;
using L = QLatin1StringView;

SessionResponse SessionResponse::fromJson(const QJsonObject &o)
{
    const Reader r(o);
    return SessionResponse{
        r.required<bool>(L("authenticated")),
        r.optional<Account>(L("account")),
        r.optional<QList<Membership>>(L("memberships")),
    };
}

QJsonObject SessionResponse::toJson() const
{
    return Writer()
        .put(L("authenticated"), authenticated)
        .put(L("account"), account)
        .put(L("memberships"), memberships)
        .object();
}

LoginResponse LoginResponse::fromJson(const QJsonObject &o)
{
    const Reader r(o);
    return LoginResponse{
        r.required<bool>(L("ok")),
        r.required<QString>(L("accessToken")),
        r.required<QString>(L("tokenType")),
        r.required<QString>(L("expiresAt")),
    };
}

QJsonObject LoginResponse::toJson() const
{
    return Writer()
        .put(L("ok"), ok)
        .put(L("accessToken"), accessToken)
        .put(L("tokenType"), tokenType)
        .put(L("expiresAt"), expiresAt)
        .object();
}

NicknameMutationResponse NicknameMutationResponse::fromJson(const QJsonObject &o)
{
    const Reader r(o);
    return NicknameMutationResponse{r.required<bool>(L("ok")), r.required<QString>(L("nickname"))};
}

QJsonObject NicknameMutationResponse::toJson() const
{
    return Writer().put(L("ok"), ok).put(L("nickname"), nickname).object();
}

ProjectsResponse ProjectsResponse::fromJson(const QJsonObject &o)
{
    return ProjectsResponse{Reader(o).required<QList<ProjectSummary>>(L("projects"))};
}

QJsonObject ProjectsResponse::toJson() const
{
    return Writer().put(L("projects"), projects).object();
}

CreateProjectResponse CreateProjectResponse::fromJson(const QJsonObject &o)
{
    const Reader r(o);
    return CreateProjectResponse{r.required<ProjectSummary>(L("project")),
                                 r.required<Membership>(L("membership"))};
}

QJsonObject CreateProjectResponse::toJson() const
{
    return Writer().put(L("project"), project).put(L("membership"), membership).object();
}

RundownItemMutationResponse RundownItemMutationResponse::fromJson(const QJsonObject &o)
{
    const Reader r(o);
    return RundownItemMutationResponse{r.required<bool>(L("ok")), r.required<RundownItem>(L("item"))};
}

QJsonObject RundownItemMutationResponse::toJson() const
{
    return Writer().put(L("ok"), ok).put(L("item"), item).object();
}

LiveControlResponse LiveControlResponse::fromJson(const QJsonObject &o)
{
    const Reader r(o);
    return LiveControlResponse{r.required<bool>(L("ok")), r.required<QList<RundownItem>>(L("items"))};
}

QJsonObject LiveControlResponse::toJson() const
{
    return Writer().put(L("ok"), ok).put(L("items"), items).object();
}

ProjectMutationResponse ProjectMutationResponse::fromJson(const QJsonObject &o)
{
    const Reader r(o);
    return ProjectMutationResponse{r.required<bool>(L("ok")), r.required<ProjectSummary>(L("project"))};
}

QJsonObject ProjectMutationResponse::toJson() const
{
    return Writer().put(L("ok"), ok).put(L("project"), project).object();
}

RundownImportPreview RundownImportPreview::fromJson(const QJsonObject &o)
{
    const Reader r(o);
    return RundownImportPreview{
        r.required<QList<RundownItem>>(L("items")),  r.required<QStringList>(L("people")),
        r.required<QString>(L("selectedSheetName")), r.required<qint64>(L("ignoredSheetCount")),
        r.required<qint64>(L("timeConflictCount")),  r.required<QStringList>(L("legacyTypes")),
    };
}

QJsonObject RundownImportPreview::toJson() const
{
    return Writer()
        .put(L("items"), items)
        .put(L("people"), people)
        .put(L("selectedSheetName"), selectedSheetName)
        .put(L("ignoredSheetCount"), ignoredSheetCount)
        .put(L("timeConflictCount"), timeConflictCount)
        .put(L("legacyTypes"), legacyTypes)
        .object();
}

RundownExportResponse RundownExportResponse::fromJson(const QJsonObject &o)
{
    const Reader r(o);
    return RundownExportResponse{r.required<QString>(L("filename")), r.required<QString>(L("contentBase64"))};
}

QJsonObject RundownExportResponse::toJson() const
{
    return Writer().put(L("filename"), filename).put(L("contentBase64"), contentBase64).object();
}

AssetUploadResponse AssetUploadResponse::fromJson(const QJsonObject &o)
{
    const Reader r(o);
    return AssetUploadResponse{
        r.required<bool>(L("ok")),
        r.required<QString>(L("assetId")),
        r.required<QString>(L("filename")),
        r.required<qint64>(L("duration")),
        r.required<QString>(L("durationSource")),
        r.required<qint64>(L("audioDuration")),
        r.required<qint64>(L("videoDuration")),
        r.required<bool>(L("durationUpdated")),
    };
}

QJsonObject AssetUploadResponse::toJson() const
{
    return Writer()
        .put(L("ok"), ok)
        .put(L("assetId"), assetId)
        .put(L("filename"), filename)
        .put(L("duration"), duration)
        .put(L("durationSource"), durationSource)
        .put(L("audioDuration"), audioDuration)
        .put(L("videoDuration"), videoDuration)
        .put(L("durationUpdated"), durationUpdated)
        .object();
}

PerformerGroupMutationResponse PerformerGroupMutationResponse::fromJson(const QJsonObject &o)
{
    const Reader r(o);
    return PerformerGroupMutationResponse{
        r.required<PerformerGroup>(L("group")),
        r.optional<QString>(L("removedMemberId")),
        r.optional<ProjectMember>(L("restoredMember")),
    };
}

QJsonObject PerformerGroupMutationResponse::toJson() const
{
    return Writer()
        .put(L("group"), group)
        .put(L("removedMemberId"), removedMemberId)
        .put(L("restoredMember"), restoredMember)
        .object();
}

CheckInResponse CheckInResponse::fromJson(const QJsonObject &o)
{
    const Reader r(o);
    return CheckInResponse{
        r.required<bool>(L("ok")),
        r.optional<QString>(L("checkedInAt")),
        r.optional<QString>(L("checkedInBy")),
    };
}

QJsonObject CheckInResponse::toJson() const
{
    return Writer()
        .put(L("ok"), ok)
        .put(L("checkedInAt"), checkedInAt)
        .put(L("checkedInBy"), checkedInBy)
        .object();
}

OperationsMutationResponse OperationsMutationResponse::fromJson(const QJsonObject &o)
{
    const Reader r(o);
    return OperationsMutationResponse{r.required<bool>(L("ok")),
                                      r.optional<ProjectOperations>(L("operations"))};
}

QJsonObject OperationsMutationResponse::toJson() const
{
    return Writer().put(L("ok"), ok).put(L("operations"), operations).object();
}

InvitationResponse InvitationResponse::fromJson(const QJsonObject &o)
{
    const Reader r(o);
    return InvitationResponse{
        r.required<bool>(L("ok")),
        r.required<QString>(L("token")),
        r.required<QString>(L("link")),
        r.required<QString>(L("expiresAt")),
    };
}

QJsonObject InvitationResponse::toJson() const
{
    return Writer()
        .put(L("ok"), ok)
        .put(L("token"), token)
        .put(L("link"), link)
        .put(L("expiresAt"), expiresAt)
        .object();
}
