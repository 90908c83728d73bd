#include "FakeEndpointsInternal.h"

namespace fake {

FakeReply Endpoints::groups()
{
    const Access a = accessFromQuery();
    if (!a.manager()) {
        refuse(403, errForbidden);
    }
    const auto payload = this->payload<GroupActionPayload>();
    QList<PerformerGroup> &groups = a.project->performerGroups;
    if (payload.action == QStringLiteral("decide")) {
        if (!payload.name || !payload.decision) {
            refuse(400, errBadRequest);
        }
        if (*payload.decision != QStringLiteral("group") &&
            *payload.decision != QStringLiteral("individual")) {
            refuse(400, QStringLiteral("无效的判定"));
        }
        if (TextRules::trimmed(*payload.name).isEmpty()) {
            refuse(400, errBadRequest);
        }
        auto it = std::find_if(groups.begin(), groups.end(),
                               [&](const PerformerGroup &g) { return g.name == *payload.name; });
        // A performer name marked by hand has no record yet: the decision creates it, for a name
        // the rundown actually has.
        if (it == groups.end()) {
            const bool inRundown =
                std::any_of(a.project->items.cbegin(), a.project->items.cend(),
                            [&](const RundownItem &i) { return named(i.performers, *payload.name); });
            if (!inRundown) {
                refuse(404, QStringLiteral("流程中没有这个演员名称"));
            }
            groups.append(PerformerGroup{m_p.nextId(QStringLiteral("group")), *payload.name, {}, {}});
            it = std::prev(groups.end());
        }
        it->decision = *payload.decision;
        return jsonReply(PerformerGroupMutationResponse{*it, std::nullopt, std::nullopt}.toJson());
    }
    if (payload.action == QStringLiteral("addMember") || payload.action == QStringLiteral("removeMember")) {
        if (!payload.groupId || !payload.memberId) {
            refuse(400, errBadRequest);
        }
        const auto it = std::find_if(groups.begin(), groups.end(),
                                     [&](const PerformerGroup &g) { return g.id == *payload.groupId; });
        if (it == groups.end()) {
            refuse(404, QStringLiteral("组合不存在"));
        }
        if (!a.project->member(*payload.memberId)) {
            refuse(404, errMemberMissing);
        }
        if (payload.action == QStringLiteral("addMember")) {
            if (!it->memberIds.contains(*payload.memberId)) {
                it->memberIds.append(*payload.memberId);
            }
            return jsonReply(PerformerGroupMutationResponse{*it, std::nullopt, std::nullopt}.toJson());
        }
        it->memberIds.removeAll(*payload.memberId);
        return jsonReply(PerformerGroupMutationResponse{*it, *payload.memberId, std::nullopt}.toJson());
    }
    refuse(400, errUnknownAction);
}

FakeReply Endpoints::checkIn()
{
    const Access a = accessFromQuery();
    const auto payload = this->payload<CheckInPayload>();
    ProjectMember *member = a.project->member(payload.memberId);
    if (!member) {
        refuse(404, errMemberMissing);
    }
    // Others may only check themselves in; taking a check-in back is for managers.
    if (!a.manager() && (member->id != a.memberId || !payload.checkedIn)) {
        refuse(403, errForbidden);
    }
    if (payload.checkedIn) {
        member->checkedInAt = m_p.now();
        member->checkedInBy = a.name;
    } else {
        member->checkedInAt.reset();
        member->checkedInBy.reset();
    }
    const CheckInResponse response{true, member->checkedInAt, member->checkedInBy};
    syncSystemItem(*a.project, QStringLiteral("checkin:") + payload.memberId, payload.checkedIn, a.memberId);
    return jsonReply(response.toJson());
}

FakeReply Endpoints::updateMember()
{
    const Access a = accessFromQuery();
    if (!a.manager()) {
        refuse(403, errForbidden);
    }
    const auto payload = this->payload<MemberUpdatePayload>();
    ProjectMember *member = a.project->member(payload.memberId);
    if (!member) {
        refuse(404, errMemberMissing);
    }
    const QString name = TextRules::trimmed(payload.name);
    if (name.isEmpty()) {
        refuse(400, QStringLiteral("姓名不能为空"));
    }
    if (!allRoles(payload.role)) {
        refuse(400, errBadRole);
    }
    member->name = name;
    member->role = payload.role;
    member->detail = payload.detail;
    if (payload.passAreas.isEmpty()) {
        member->passAreas.reset();
    } else {
        member->passAreas = payload.passAreas;
    }
    return okReply();
}

FakeReply Endpoints::invitations()
{
    const QJsonObject o = body();
    if (o.value(L("action")).toString() == QStringLiteral("sendSms")) {
        const auto payload = this->payload<InvitationSMSPayload>();
        const auto it = std::find_if(m_p.invitations.begin(), m_p.invitations.end(),
                                     [&](const FakeInvitation &i) { return i.token == payload.token; });
        if (it == m_p.invitations.end()) {
            refuse(404, QStringLiteral("邀请不存在或已过期"));
        }
        const Access a = access(it->projectId);
        if (!a.manager() && a.role != roleOwner) {
            refuse(403, errForbidden);
        }
        static const QRegularExpression pattern(QStringLiteral("^1\\d{10}$"));
        if (!pattern.match(payload.phone).hasMatch()) {
            refuse(400, QStringLiteral("手机号格式不正确"));
        }
        if (!m_p.smsConfigured) {
            ++m_p.smsFailures;
            refuse(503, QStringLiteral("短信服务未配置"));
        }
        it->phone = payload.phone;
        ++it->smsSent;
        return okReply();
    }

    const auto payload = this->payload<InvitationCreatePayload>();
    const Access a = access(payload.projectId);
    if (!a.manager() && a.role != roleOwner) {
        refuse(403, errForbidden);
    }
    const QString name = TextRules::trimmed(payload.name);
    if (name.isEmpty()) {
        refuse(400, QStringLiteral("请填写受邀人姓名"));
    }
    if (!allRoles(payload.role) || payload.role == roleChief) {
        refuse(400, errBadRole);
    }
    if (payload.field && *payload.field != QStringLiteral("performers") &&
        *payload.field != QStringLiteral("owner")) {
        refuse(400, errBadRequest);
    }
    if (payload.itemId) {
        const RundownItem &target = item(*a.project, *payload.itemId);
        // Inviting into an item's people field edits that item.
        if (payload.field) {
            if (!canEdit(a, target)) {
                refuse(403, errForbidden);
            }
            requireUnfrozen(a);
        }
    }

    QString memberId;
    for (const ProjectMember &m : std::as_const(a.project->members)) {
        if (m.name == name && !m.isRegistered()) {
            memberId = m.id;
            break;
        }
    }
    if (memberId.isEmpty()) {
        memberId = m_p.addMember(a.project->summary.id, name, payload.role);
    }
    if (payload.itemId && payload.field) {
        RundownItem &target = item(*a.project, *payload.itemId);
        QString &names = *payload.field == QStringLiteral("owner") ? target.owner : target.performers;
        names = addName(names, name);
        m_p.refreshReadiness(*a.project);
    }

    FakeInvitation invitation;
    invitation.token = m_p.newToken().left(20);
    invitation.projectId = a.project->summary.id;
    invitation.memberId = memberId;
    invitation.name = name;
    invitation.role = payload.role;
    invitation.phone = payload.phone;
    invitation.itemId = payload.itemId;
    invitation.field = payload.field;
    invitation.groupId = payload.groupId;
    invitation.invitedByAccountId = a.account->account.id;
    invitation.expiresAt = QDateTime::currentDateTimeUtc().addDays(7).toString(Qt::ISODate);
    m_p.invitations.append(invitation);

    const InvitationResponse response{
        true,
        invitation.token,
        QStringLiteral("https://join.quillory.test/invite/") + invitation.token,
        invitation.expiresAt,
    };
    return jsonReply(response.toJson());
}

FakeReply Endpoints::operations()
{
    const Access a = accessFromQuery();
    const QJsonObject object = body();
    const QString action = json::Reader(object).required<QString>(L("action"));
    FakeProject &p = *a.project;

    if (action == QStringLiteral("confirmNotice")) {
        if (!p.operations.confirmedMemberIds.contains(a.memberId)) {
            p.operations.confirmedMemberIds.append(a.memberId);
        }
        syncSystemItem(p, QStringLiteral("notice:") + a.memberId, true, a.memberId);
        return okReply();
    }
    if (action == QStringLiteral("saveOperations")) {
        if (!a.manager()) {
            refuse(403, errForbidden);
        }
        const auto payload = this->payload<SaveOperationsPayload>();
        p.operations.noticeTitle = payload.noticeTitle;
        p.operations.noticeContent = payload.noticeContent;
        p.operations.assemblyTime = payload.assemblyTime;
        p.operations.checkinLocation = payload.checkinLocation;
        p.operations.rehearsalTime = payload.rehearsalTime;
        p.operations.dinnerNote = payload.dinnerNote;
        p.operations.noticeUpdatedAt = m_p.now();
        p.operations.confirmedMemberIds.clear();
        return jsonReply(OperationsMutationResponse{true, p.operations}.toJson());
    }
    if (action == QStringLiteral("saveMakeupShift")) {
        if (!a.manager()) {
            refuse(403, errForbidden);
        }
        const auto payload = this->payload<MakeupShiftPayload>();
        if (!p.member(payload.artistMemberId)) {
            refuse(404, errMemberMissing);
        }
        const MakeupShift shift{payload.artistMemberId, payload.startTime, payload.endTime, payload.location};
        const auto it = std::find_if(p.makeupShifts.begin(), p.makeupShifts.end(), [&](const MakeupShift &s) {
            return s.artistMemberId == shift.artistMemberId;
        });
        if (it == p.makeupShifts.end()) {
            p.makeupShifts.append(shift);
        } else {
            *it = shift;
        }
        return okReply();
    }
    if (action == QStringLiteral("saveMakeup")) {
        const auto payload = this->payload<MakeupAssignmentPayload>();
        if (!a.manager()) {
            // An artist changes time, duration and status of their own assignments, nothing else.
            const auto own = std::find_if(p.makeup.cbegin(), p.makeup.cend(), [&](const MakeupAssignment &m) {
                return m.memberId == payload.memberId;
            });
            if (a.role != roleMakeup || own == p.makeup.cend() || own->artistMemberId != a.memberId ||
                payload.artistMemberId != a.memberId) {
                refuse(403, errForbidden);
            }
        }
        if (!p.member(payload.memberId) ||
            (!payload.artistMemberId.isEmpty() && !p.member(payload.artistMemberId))) {
            refuse(404, errMemberMissing);
        }
        if (payload.durationMinutes < 0) {
            refuse(400, QStringLiteral("时长无效"));
        }
        const MakeupAssignment assignment{payload.memberId, payload.artistMemberId, payload.scheduledTime,
                                          payload.durationMinutes, payload.status};
        const auto it = std::find_if(p.makeup.begin(), p.makeup.end(), [&](const MakeupAssignment &m) {
            return m.memberId == assignment.memberId;
        });
        if (it == p.makeup.end()) {
            p.makeup.append(assignment);
        } else {
            *it = assignment;
        }
        syncSystemItem(p, QStringLiteral("makeup:") + payload.memberId,
                       payload.status == QStringLiteral("已完成"), a.memberId);
        return okReply();
    }
    refuse(400, errUnknownAction);
}

// --- Lottery ---------------------------------------------------------------------------------

} // namespace fake
