#include "WorkItems.h"

#include "rules/PermissionPolicy.h"
#include "json/Json.h"

using json::Reader;
using json::Writer;
using L = QLatin1StringView;

namespace {

template<typename E, std::size_t N>
bool matchWire(const QString &text, const std::array<E, N> &cases, E &out)
{
    for (const E e : cases) {
        if (text == toWire(e)) {
            out = e;
            return true;
        }
    }
    return false;
}

} // namespace

QString toWire(WorkItemKind kind)
{
    switch (kind) {
    case WorkItemKind::preShow:
        return QStringLiteral("pre_show");
    case WorkItemKind::incident:
        return QStringLiteral("incident");
    }
    return {};
}

bool fromWire(const QString &text, WorkItemKind &out)
{
    return matchWire(text, WorkItemKinds::all, out);
}

QString toWire(WorkItemStatus status)
{
    switch (status) {
    case WorkItemStatus::todo:
        return QStringLiteral("todo");
    case WorkItemStatus::doing:
        return QStringLiteral("doing");
    case WorkItemStatus::blocked:
        return QStringLiteral("blocked");
    case WorkItemStatus::done:
        return QStringLiteral("done");
    case WorkItemStatus::cancelled:
        return QStringLiteral("cancelled");
    }
    return {};
}

bool fromWire(const QString &text, WorkItemStatus &out)
{
    return matchWire(text, WorkItemStatuses::all, out);
}

QString toWire(WorkItemPriority priority)
{
    switch (priority) {
    case WorkItemPriority::normal:
        return QStringLiteral("normal");
    case WorkItemPriority::important:
        return QStringLiteral("important");
    case WorkItemPriority::urgent:
        return QStringLiteral("urgent");
    }
    return {};
}

bool fromWire(const QString &text, WorkItemPriority &out)
{
    return matchWire(text, WorkItemPriorities::all, out);
}

bool isOpen(WorkItemStatus status)
{
    switch (status) {
    case WorkItemStatus::todo:
    case WorkItemStatus::doing:
    case WorkItemStatus::blocked:
        return true;
    case WorkItemStatus::done:
    case WorkItemStatus::cancelled:
        return false;
    }
    return false;
}

WorkItem WorkItem::fromJson(const QJsonObject &o)
{
    const Reader r(o);
    return WorkItem{
        r.required<QString>(L("id")),
        r.required<QString>(L("projectId")),
        r.required<QString>(L("itemId")),
        r.required<QString>(L("memberId")),
        r.required<QString>(L("assigneeMemberId")),
        r.required<WorkItemKind>(L("kind")),
        r.required<QString>(L("sourceType")),
        r.required<QString>(L("sourceKey")),
        r.required<QString>(L("title")),
        r.required<QString>(L("description")),
        r.required<WorkItemStatus>(L("status")),
        r.required<WorkItemPriority>(L("priority")),
        r.required<QString>(L("dueAt")),
        r.required<bool>(L("blocking")),
        r.required<QString>(L("resolution")),
        r.required<QString>(L("createdByMemberId")),
        r.required<QString>(L("updatedByMemberId")),
        r.required<QString>(L("createdAt")),
        r.required<QString>(L("updatedAt")),
        r.required<QString>(L("completedAt")),
    };
}

QJsonObject WorkItem::toJson() const
{
    return Writer()
        .put(L("id"), id)
        .put(L("projectId"), projectId)
        .put(L("itemId"), itemId)
        .put(L("memberId"), memberId)
        .put(L("assigneeMemberId"), assigneeMemberId)
        .put(L("kind"), kind)
        .put(L("sourceType"), sourceType)
        .put(L("sourceKey"), sourceKey)
        .put(L("title"), title)
        .put(L("description"), description)
        .put(L("status"), status)
        .put(L("priority"), priority)
        .put(L("dueAt"), dueAt)
        .put(L("blocking"), blocking)
        .put(L("resolution"), resolution)
        .put(L("createdByMemberId"), createdByMemberId)
        .put(L("updatedByMemberId"), updatedByMemberId)
        .put(L("createdAt"), createdAt)
        .put(L("updatedAt"), updatedAt)
        .put(L("completedAt"), completedAt)
        .object();
}

WorkItemsSummary WorkItemsSummary::fromJson(const QJsonObject &o)
{
    const Reader r(o);
    return WorkItemsSummary{
        r.required<qint64>(L("total")),  r.required<qint64>(L("open")), r.required<qint64>(L("blocked")),
        r.required<qint64>(L("urgent")), r.required<qint64>(L("done")),
    };
}

QJsonObject WorkItemsSummary::toJson() const
{
    return Writer()
        .put(L("total"), total)
        .put(L("open"), open)
        .put(L("blocked"), blocked)
        .put(L("urgent"), urgent)
        .put(L("done"), done)
        .object();
}

WorkItemPermissions WorkItemPermissions::fromJson(const QJsonObject &o)
{
    const Reader r(o);
    return WorkItemPermissions{
        r.required<bool>(L("canCreateIncident")),
        r.required<bool>(L("canCreatePreparation")),
        r.required<bool>(L("canManageAll")),
    };
}

QJsonObject WorkItemPermissions::toJson() const
{
    return Writer()
        .put(L("canCreateIncident"), canCreateIncident)
        .put(L("canCreatePreparation"), canCreatePreparation)
        .put(L("canManageAll"), canManageAll)
        .object();
}

const WorkItemsSnapshot &WorkItemsSnapshot::empty()
{
    static const WorkItemsSnapshot snapshot{};
    return snapshot;
}

WorkItemsSnapshot WorkItemsSnapshot::fromJson(const QJsonObject &o)
{
    const Reader r(o);
    return WorkItemsSnapshot{
        r.required<QList<WorkItem>>(L("items")),
        r.required<WorkItemsSummary>(L("summary")),
        r.required<WorkItemPermissions>(L("permissions")),
    };
}

QJsonObject WorkItemsSnapshot::toJson() const
{
    return Writer()
        .put(L("items"), items)
        .put(L("summary"), summary)
        .put(L("permissions"), permissions)
        .object();
}

QJsonObject WorkItemPatch::toJson() const
{
    return Writer()
        .put(L("title"), title)
        .put(L("description"), description)
        .put(L("status"), status)
        .put(L("priority"), priority)
        .put(L("dueAt"), dueAt)
        .put(L("blocking"), blocking)
        .put(L("resolution"), resolution)
        .put(L("assigneeMemberId"), assigneeMemberId)
        .put(L("memberId"), memberId)
        .object();
}

WorkItemPatch WorkItemPatch::fromJson(const QJsonObject &o)
{
    const Reader r(o);
    return WorkItemPatch{
        r.optional<QString>(L("title")),         r.optional<QString>(L("description")),
        r.optional<WorkItemStatus>(L("status")), r.optional<WorkItemPriority>(L("priority")),
        r.optional<QString>(L("dueAt")),         r.optional<bool>(L("blocking")),
        r.optional<QString>(L("resolution")),    r.optional<QString>(L("assigneeMemberId")),
        r.optional<QString>(L("memberId")),
    };
}

WorkItemCreatePayload WorkItemCreatePayload::fromJson(const QJsonObject &o)
{
    const Reader r(o);
    return WorkItemCreatePayload{
        r.required<WorkItemKind>(L("kind")),
        r.required<QString>(L("itemId")),
        r.required<QString>(L("assigneeMemberId")),
        r.required<QString>(L("title")),
        r.required<QString>(L("description")),
        r.required<WorkItemPriority>(L("priority")),
        r.required<bool>(L("blocking")),
    };
}

QJsonObject WorkItemCreatePayload::toJson() const
{
    return Writer()
        .put(L("kind"), kind)
        .put(L("itemId"), itemId)
        .put(L("assigneeMemberId"), assigneeMemberId)
        .put(L("title"), title)
        .put(L("description"), description)
        .put(L("priority"), priority)
        .put(L("blocking"), blocking)
        .object();
}

WorkItemMutationPayload WorkItemMutationPayload::fromJson(const QJsonObject &o)
{
    const Reader r(o);
    return WorkItemMutationPayload{
        r.required<QString>(L("id")),
        r.required<WorkItemPatch>(L("workItem")),
    };
}

QJsonObject WorkItemMutationPayload::toJson() const
{
    return Writer().put(L("id"), id).put(L("workItem"), workItem).object();
}

WorkItemMutationResponse WorkItemMutationResponse::fromJson(const QJsonObject &o)
{
    const Reader r(o);
    return WorkItemMutationResponse{
        r.required<bool>(L("ok")),
        r.required<WorkItem>(L("workItem")),
    };
}

QJsonObject WorkItemMutationResponse::toJson() const
{
    return Writer().put(L("ok"), ok).put(L("workItem"), workItem).object();
}

namespace WorkItemRules {

QStringList people(const QString &names)
{
    return PermissionPolicy::people(names);
}

} // namespace WorkItemRules
