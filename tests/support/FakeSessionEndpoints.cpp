#include "FakeEndpointsInternal.h"

namespace fake {

FakeReply Endpoints::requestCode()
{
    const QJsonObject object = body();
    const QString phone = json::Reader(object).required<QString>(L("phone")).trimmed();
    static const QRegularExpression pattern(QStringLiteral("^1\\d{10}$"));
    if (phone.isEmpty()) {
        refuse(400, QStringLiteral("请输入手机号"));
    }
    if (!pattern.match(phone).hasMatch()) {
        refuse(400, QStringLiteral("手机号格式不正确"));
    }
    m_p.requestedCodes.insert(phone, FakePlatform::smsCode);
    return okReply();
}

FakeReply Endpoints::verifyCode()
{
    // Reader keeps a reference: the object must outlive it.
    const QJsonObject object = body();
    const json::Reader r(object);
    const QString phone = r.required<QString>(L("phone")).trimmed();
    const QString code = r.required<QString>(L("code")).trimmed();
    const QString name = TextRules::trimmed(r.optional<QString>(L("name")).value_or(QString()));
    const auto expected = m_p.requestedCodes.constFind(phone);
    if (expected == m_p.requestedCodes.constEnd() || *expected != code) {
        refuse(401, QStringLiteral("验证码错误或已过期"));
    }

    FakeAccount *account = m_p.accountByPhone(phone);
    if (account && account->status != QStringLiteral("active")) {
        refuse(403, QStringLiteral("账号已停用"));
    }
    m_p.requestedCodes.remove(phone);
    const bool created = !account;
    if (created) {
        const QString fallback = QStringLiteral("用户%1").arg(phone.right(4));
        account = m_p.account(m_p.addAccount(phone, name.isEmpty() ? fallback : name));
    }
    account->lastLoginAt = m_p.now();

    // Pending invitations for this phone bring the person into their projects.
    for (FakeInvitation &invitation : m_p.invitations) {
        if (invitation.accepted || invitation.phone != phone) {
            continue;
        }
        FakeProject *p = m_p.project(invitation.projectId);
        ProjectMember *member = p ? p->member(invitation.memberId) : nullptr;
        if (!member || member->isRegistered() || p->memberForAccount(account->account.id)) {
            continue;
        }
        member->accountId = account->account.id;
        invitation.accepted = true;
        if (created) {
            account->registrationSource = QStringLiteral("invitation");
            account->invitedByAccountId = invitation.invitedByAccountId;
            account->registrationProjectName = p->summary.name;
        }
    }

    const LoginResponse response{
        true,
        m_p.issueToken(account->account.id),
        QStringLiteral("Bearer"),
        QDateTime::currentDateTimeUtc().addDays(30).toString(Qt::ISODate),
    };
    return jsonReply(response.toJson());
}

FakeReply Endpoints::session()
{
    const FakeAccount *account = callerOrNull();
    if (!account) {
        return jsonReply(SessionResponse{false, std::nullopt, std::nullopt}.toJson());
    }
    return jsonReply(
        SessionResponse{true, account->account, m_p.membershipsOf(account->account.id)}.toJson());
}

FakeReply Endpoints::updateNickname()
{
    FakeAccount &account = caller();
    const QJsonObject object = body();
    const QString nickname = TextRules::trimmed(json::Reader(object).required<QString>(L("nickname")));
    if (TextRules::characterCount(nickname) > 24) {
        refuse(400, QStringLiteral("昵称不能超过 24 个字"));
    }
    // An empty nickname clears it.
    account.account.nickname = nickname.isEmpty() ? std::nullopt : std::optional<QString>(nickname);
    return jsonReply(NicknameMutationResponse{true, nickname}.toJson());
}

FakeReply Endpoints::logout()
{
    const QByteArray prefix = "Bearer ";
    if (m_call.authorization.startsWith(prefix)) {
        m_p.tokens.remove(QString::fromUtf8(m_call.authorization.mid(prefix.size())));
    }
    return okReply();
}

// --- Projects --------------------------------------------------------------------------------

FakeReply Endpoints::projects()
{
    const FakeAccount &account = caller();
    ProjectsResponse response;
    for (const FakeProject &p : std::as_const(m_p.projects)) {
        if (p.memberForAccount(account.account.id)) {
            response.projects.append(p.summary);
        }
    }
    return jsonReply(response.toJson());
}

FakeReply Endpoints::createProject()
{
    const FakeAccount &account = caller();
    const auto payload = this->payload<CreateProjectPayload>();
    const QString name = TextRules::trimmed(payload.name);
    if (name.isEmpty()) {
        refuse(400, QStringLiteral("请填写演出名称"));
    }
    const QString accountId = account.account.id;
    const QString projectId = m_p.addProject(name, accountId, roleChief);
    FakeProject &p = project(projectId);
    p.summary.eventDate = payload.eventDate;
    p.summary.startTime = payload.startTime;
    const CreateProjectResponse response{p.summary, *m_p.membershipOf(p, accountId)};
    return jsonReply(response.toJson());
}

} // namespace fake
