#include "WorkItems.h"

#include "rules/PermissionPolicy.h"
#include "json/Json.h"

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

const WorkItemsSnapshot &WorkItemsSnapshot::empty()
{
    static const WorkItemsSnapshot snapshot{};
    return snapshot;
}

namespace WorkItemRules {

QStringList people(const QString &names)
{
    return PermissionPolicy::people(names);
}

} // namespace WorkItemRules
