#pragma once

#include <QStringList>

// The role lists the people sheets offer.
namespace MacProjectRoles {

// Every role a member may be given, in the roles' declaration order.
const QStringList &editable();
// The roles a person may be invited to: all but "总导演".
const QStringList &inviteable();

} // namespace MacProjectRoles
