#pragma once

#include "json/Json.h"

#include "models/ProjectRecords.h"

#include <QJsonObject>
#include <QList>
#include <QString>

#include <optional>

// One act of the show's rundown.
struct RundownItem
{
    QString id;
    qint64 order = 0;
    QString section;
    QString title;
    QString type;
    qint64 duration = 0;
    QString durationSource;
    qint64 audioDuration = 0;
    qint64 videoDuration = 0;
    QString startTime;
    QString performers;
    QString owner;
    QString script;
    QString stage;
    QString props;
    QString notes;
    QString status;
    QString liveStatus;
    QString audioName;
    QString videoName;
    std::optional<QString> audioAssetId;
    std::optional<QString> videoAssetId;

    bool hasAudio() const { return audioAssetId && !audioAssetId->isEmpty(); }
    bool hasVideo() const { return videoAssetId && !videoAssetId->isEmpty(); }

    QUILLORY_JSON(RundownItem, id, order, section, title, type, duration, durationSource, audioDuration,
                  videoDuration, startTime, performers, owner, script, stage, props, notes, status,
                  liveStatus, audioName, videoName, audioAssetId, videoAssetId)
};

// The values of RundownItem::liveStatus and ::status that the client compares.
namespace RundownValues {
inline const QString live = QStringLiteral("正在演出");
inline const QString finished = QStringLiteral("已完成");
inline const QString ready = QStringLiteral("已就绪");
inline const QString preparing = QStringLiteral("准备中");
inline const QString incomplete = QStringLiteral("待完善");
inline const QString standingBy = QStringLiteral("候场");
} // namespace RundownValues

// A partial change of one item: only present fields are sent.
struct RundownItemPatch
{
    std::optional<QString> title;
    std::optional<QString> type;
    std::optional<qint64> duration;
    std::optional<QString> startTime;
    std::optional<QString> props;
    std::optional<QString> notes;
    std::optional<QString> performers;
    std::optional<QString> owner;
    std::optional<QString> script;

    QUILLORY_JSON(RundownItemPatch, title, type, duration, startTime, props, notes, performers, owner, script)
};

// The whole project as one aggregate.
struct ProjectDetailResponse
{
    ProjectSummary project;
    Membership membership;
    QList<ProjectMember> members;
    QList<PerformerGroup> performerGroups;
    QList<MakeupAssignment> makeup;
    QList<MakeupShift> makeupShifts;
    ProjectOperations operations;
    QList<RundownItem> items;

    QUILLORY_JSON(ProjectDetailResponse, project, membership, members, performerGroups, makeup, makeupShifts,
                  operations, items)
};
