#pragma once

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

    static SessionResponse fromJson(const QJsonObject &o);
    QJsonObject toJson() const;
};

struct LoginResponse
{
    bool ok = false;
    QString accessToken;
    QString tokenType;
    QString expiresAt;

    static LoginResponse fromJson(const QJsonObject &o);
    QJsonObject toJson() const;
};

struct NicknameMutationResponse
{
    bool ok = false;
    QString nickname;

    static NicknameMutationResponse fromJson(const QJsonObject &o);
    QJsonObject toJson() const;
};

struct ProjectsResponse
{
    QList<ProjectSummary> projects;

    static ProjectsResponse fromJson(const QJsonObject &o);
    QJsonObject toJson() const;
};

struct CreateProjectResponse
{
    ProjectSummary project;
    Membership membership;

    static CreateProjectResponse fromJson(const QJsonObject &o);
    QJsonObject toJson() const;
};

struct RundownItemMutationResponse
{
    bool ok = false;
    RundownItem item;

    static RundownItemMutationResponse fromJson(const QJsonObject &o);
    QJsonObject toJson() const;
};

struct LiveControlResponse
{
    bool ok = false;
    QList<RundownItem> items;

    static LiveControlResponse fromJson(const QJsonObject &o);
    QJsonObject toJson() const;
};

struct ProjectMutationResponse
{
    bool ok = false;
    ProjectSummary project;

    static ProjectMutationResponse fromJson(const QJsonObject &o);
    QJsonObject toJson() const;
};

struct RundownImportPreview
{
    QList<RundownItem> items;
    QStringList people;
    QString selectedSheetName;
    qint64 ignoredSheetCount = 0;
    qint64 timeConflictCount = 0;
    QStringList legacyTypes;

    static RundownImportPreview fromJson(const QJsonObject &o);
    QJsonObject toJson() const;
};

struct RundownExportResponse
{
    QString filename;
    QString contentBase64;

    static RundownExportResponse fromJson(const QJsonObject &o);
    QJsonObject toJson() const;
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

    static AssetUploadResponse fromJson(const QJsonObject &o);
    QJsonObject toJson() const;
};

struct PerformerGroupMutationResponse
{
    PerformerGroup group;
    std::optional<QString> removedMemberId;
    std::optional<ProjectMember> restoredMember;

    static PerformerGroupMutationResponse fromJson(const QJsonObject &o);
    QJsonObject toJson() const;
};

struct CheckInResponse
{
    bool ok = false;
    std::optional<QString> checkedInAt;
    std::optional<QString> checkedInBy;

    static CheckInResponse fromJson(const QJsonObject &o);
    QJsonObject toJson() const;
};

struct OperationsMutationResponse
{
    bool ok = false;
    std::optional<ProjectOperations> operations;

    static OperationsMutationResponse fromJson(const QJsonObject &o);
    QJsonObject toJson() const;
};

struct InvitationResponse
{
    bool ok = false;
    QString token;
    QString link;
    QString expiresAt;

    static InvitationResponse fromJson(const QJsonObject &o);
    QJsonObject toJson() const;
};
