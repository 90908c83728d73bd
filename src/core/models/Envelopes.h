#pragma once

#include "json/Json.h"

#include "models/ProjectRecords.h"
#include "models/Rundown.h"

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// Answers of the service around the records.

struct SessionResponse
{
    bool authenticated = false;
    std::optional<Account> account;
    std::optional<QList<Membership>> memberships;

    QUILLORY_JSON(SessionResponse, authenticated, account, memberships)
};

struct LoginResponse
{
    bool ok = false;
    QString accessToken;
    QString tokenType;
    QString expiresAt;

    QUILLORY_JSON(LoginResponse, ok, accessToken, tokenType, expiresAt)
};

struct NicknameMutationResponse
{
    bool ok = false;
    QString nickname;

    QUILLORY_JSON(NicknameMutationResponse, ok, nickname)
};

struct ProjectsResponse
{
    QList<ProjectSummary> projects;

    QUILLORY_JSON(ProjectsResponse, projects)
};

struct CreateProjectResponse
{
    ProjectSummary project;
    Membership membership;

    QUILLORY_JSON(CreateProjectResponse, project, membership)
};

struct RundownItemMutationResponse
{
    bool ok = false;
    RundownItem item;

    QUILLORY_JSON(RundownItemMutationResponse, ok, item)
};

struct LiveControlResponse
{
    bool ok = false;
    QList<RundownItem> items;

    QUILLORY_JSON(LiveControlResponse, ok, items)
};

struct ProjectMutationResponse
{
    bool ok = false;
    ProjectSummary project;

    QUILLORY_JSON(ProjectMutationResponse, ok, project)
};

struct RundownImportPreview
{
    QList<RundownItem> items;
    QStringList people;
    QString selectedSheetName;
    qint64 ignoredSheetCount = 0;
    qint64 timeConflictCount = 0;
    QStringList legacyTypes;

    QUILLORY_JSON(RundownImportPreview, items, people, selectedSheetName, ignoredSheetCount,
                  timeConflictCount, legacyTypes)
};

struct RundownExportResponse
{
    QString filename;
    QString contentBase64;

    QUILLORY_JSON(RundownExportResponse, filename, contentBase64)
};

struct AssetUploadResponse
{
    bool ok = false;
    QString assetId;
    QString filename;
    qint64 duration = 0;
    QString durationSource;
    qint64 audioDuration = 0;
    qint64 videoDuration = 0;
    bool durationUpdated = false;

    QUILLORY_JSON(AssetUploadResponse, ok, assetId, filename, duration, durationSource, audioDuration,
                  videoDuration, durationUpdated)
};

struct PerformerGroupMutationResponse
{
    PerformerGroup group;
    std::optional<QString> removedMemberId;
    std::optional<ProjectMember> restoredMember;

    QUILLORY_JSON(PerformerGroupMutationResponse, group, removedMemberId, restoredMember)
};

struct CheckInResponse
{
    bool ok = false;
    std::optional<QString> checkedInAt;
    std::optional<QString> checkedInBy;

    QUILLORY_JSON(CheckInResponse, ok, checkedInAt, checkedInBy)
};

struct OperationsMutationResponse
{
    bool ok = false;
    std::optional<ProjectOperations> operations;

    QUILLORY_JSON(OperationsMutationResponse, ok, operations)
};

struct InvitationResponse
{
    bool ok = false;
    QString token;
    QString link;
    QString expiresAt;

    QUILLORY_JSON(InvitationResponse, ok, token, link, expiresAt)
};
