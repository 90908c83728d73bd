#pragma once

#include "json/Json.h"

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

// Pre-show tasks and on-site incidents. The service makes, counts and judges them; the client
// only reads the whole snapshot and sends creations and partial changes back.

enum class WorkItemKind {
    preShow,
    incident,
};

enum class WorkItemStatus {
    todo,
    doing,
    blocked,
    done,
    cancelled,
};

enum class WorkItemPriority {
    normal,
    important,
    urgent,
};

namespace WorkItemKinds {
inline constexpr std::array<WorkItemKind, 2> all = {WorkItemKind::preShow, WorkItemKind::incident};
} // namespace WorkItemKinds

namespace WorkItemStatuses {
inline constexpr std::array<WorkItemStatus, 5> all = {
    WorkItemStatus::todo, WorkItemStatus::doing,     WorkItemStatus::blocked,
    WorkItemStatus::done, WorkItemStatus::cancelled,
};
} // namespace WorkItemStatuses

namespace WorkItemPriorities {
inline constexpr std::array<WorkItemPriority, 3> all = {
    WorkItemPriority::normal,
    WorkItemPriority::important,
    WorkItemPriority::urgent,
};
} // namespace WorkItemPriorities

// Wire texts: exact and case-sensitive; any other text yields no case.
bool fromWire(const QString &text, WorkItemKind &out);
QString toWire(WorkItemKind kind);
bool fromWire(const QString &text, WorkItemStatus &out);
QString toWire(WorkItemStatus status);
bool fromWire(const QString &text, WorkItemPriority &out);
QString toWire(WorkItemPriority priority);

// todo, doing and blocked are open; done and cancelled are not.
bool isOpen(WorkItemStatus status);

// The workspace page a task row leads to. No wire form.
enum class WorkItemDestination {
    flow,
    members,
    operations,
};

struct WorkItem
{
    QString id;
    QString projectId;
    QString itemId;
    QString memberId;
    QString assigneeMemberId;
    WorkItemKind kind = WorkItemKind::preShow;
    QString sourceType;
    QString sourceKey;
    QString title;
    QString description;
    WorkItemStatus status = WorkItemStatus::todo;
    WorkItemPriority priority = WorkItemPriority::normal;
    QString dueAt;
    bool blocking = false;
    QString resolution;
    QString createdByMemberId;
    QString updatedByMemberId;
    QString createdAt;
    QString updatedAt;
    QString completedAt;

    friend bool operator==(const WorkItem &, const WorkItem &) = default;

    QUILLORY_JSON(WorkItem, id, projectId, itemId, memberId, assigneeMemberId, kind, sourceType, sourceKey,
                  title, description, status, priority, dueAt, blocking, resolution, createdByMemberId,
                  updatedByMemberId, createdAt, updatedAt, completedAt)
};

struct WorkItemsSummary
{
    qint64 total = 0;
    qint64 open = 0;
    qint64 blocked = 0;
    qint64 urgent = 0;
    qint64 done = 0;

    friend bool operator==(const WorkItemsSummary &, const WorkItemsSummary &) = default;

    QUILLORY_JSON(WorkItemsSummary, total, open, blocked, urgent, done)
};

struct WorkItemPermissions
{
    bool canCreateIncident = false;
    bool canCreatePreparation = false;
    bool canManageAll = false;

    friend bool operator==(const WorkItemPermissions &, const WorkItemPermissions &) = default;

    QUILLORY_JSON(WorkItemPermissions, canCreateIncident, canCreatePreparation, canManageAll)
};

// The answer of the work-items list, decoded all or nothing.
struct WorkItemsSnapshot
{
    QList<WorkItem> items;
    WorkItemsSummary summary;
    WorkItemPermissions permissions;

    // No items, all counts 0, no rights: what a store holds before its first load.
    static const WorkItemsSnapshot &empty();

    friend bool operator==(const WorkItemsSnapshot &, const WorkItemsSnapshot &) = default;

    QUILLORY_JSON(WorkItemsSnapshot, items, summary, permissions)
};

// A partial change of one work item: only present fields are sent; none set gives {}.
struct WorkItemPatch
{
    std::optional<QString> title;
    std::optional<QString> description;
    std::optional<WorkItemStatus> status;
    std::optional<WorkItemPriority> priority;
    std::optional<QString> dueAt;
    std::optional<bool> blocking;
    std::optional<QString> resolution;
    std::optional<QString> assigneeMemberId;
    std::optional<QString> memberId;

    friend bool operator==(const WorkItemPatch &, const WorkItemPatch &) = default;

    QUILLORY_JSON(WorkItemPatch, title, description, status, priority, dueAt, blocking, resolution,
                  assigneeMemberId, memberId)
};

struct WorkItemCreatePayload
{
    WorkItemKind kind = WorkItemKind::preShow;
    QString itemId;
    QString assigneeMemberId;
    QString title;
    QString description;
    WorkItemPriority priority = WorkItemPriority::normal;
    // Created items always hold up readiness.
    bool blocking = true;

    QUILLORY_JSON(WorkItemCreatePayload, kind, itemId, assigneeMemberId, title, description, priority,
                  blocking)
};

struct WorkItemMutationPayload
{
    QString id;
    WorkItemPatch workItem;

    QUILLORY_JSON(WorkItemMutationPayload, id, workItem)
};

struct WorkItemMutationResponse
{
    bool ok = false;
    WorkItem workItem;

    QUILLORY_JSON(WorkItemMutationResponse, ok, workItem)
};

namespace WorkItemRules {

// The shared names rule: split at the ten separators, trim, drop empties, keep order and repeats.
QStringList people(const QString &names);

} // namespace WorkItemRules
