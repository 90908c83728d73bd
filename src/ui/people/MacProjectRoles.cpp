#include "MacProjectRoles.h"

#include "rules/PermissionPolicy.h"

namespace MacProjectRoles {

const QStringList &editable()
{
    static const QStringList roles = [] {
        QStringList list;
        for (ProjectRole role : ProjectRoles::all) {
            list.append(rawValue(role));
        }
        return list;
    }();
    return roles;
}

const QStringList &inviteable()
{
    static const QStringList roles = [] {
        QStringList list = editable();
        list.removeAll(rawValue(ProjectRole::chiefDirector));
        return list;
    }();
    return roles;
}

} // namespace MacProjectRoles
