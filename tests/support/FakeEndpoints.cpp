#include "FakeEndpoints.h"

#include "FakePlatform.h"

#include "models/Admin.h"
#include "models/EmptyResponse.h"
#include "models/Envelopes.h"
#include "models/Lottery.h"
#include "models/Payloads.h"
#include "models/WorkItems.h"
#include "rules/PermissionPolicy.h"
#include "rules/TextRules.h"
#include "json/Json.h"

#include <QDateTime>
#include <QJsonArray>
#include <QRegularExpression>
#include <QUrl>

using L = QLatin1StringView;

namespace {

const QString errUnauthorized = QStringLiteral("登录已失效，请重新登录");
const QString errForbidden = QStringLiteral("没有权限执行此操作");
const QString errNotMember = QStringLiteral("你不是该演出的成员");
const QString errProjectMissing = QStringLiteral("演出不存在");
const QString errItemMissing = QStringLiteral("节目不存在");
const QString errMemberMissing = QStringLiteral("成员不存在");
const QString errBadRequest = QStringLiteral("请求格式不正确");
const QString errUnknownAction = QStringLiteral("无法识别的操作");
const QString errFrozen = QStringLiteral("节目流程已冻结，暂不能修改");
const QString errBadRole = QStringLiteral("角色无效");

const QString roleChief = QStringLiteral("总导演");
const QString roleOwner = QStringLiteral("节目负责人");
const QString roleHost = QStringLiteral("主持人");
const QString rolePerformer = QStringLiteral("演员");
const QString roleStaff = QStringLiteral("工作人员");
const QString roleSound = QStringLiteral("音响师");
const QString roleVideo = QStringLiteral("视频师");
const QString roleMakeup = QStringLiteral("化妆师");

const QStringList standardTypes = {
    QStringLiteral("歌曲"), QStringLiteral("舞蹈"), QStringLiteral("主持"), QStringLiteral("互动"),
    QStringLiteral("抽奖"), QStringLiteral("访谈"), QStringLiteral("颁奖"), QStringLiteral("VCR"),
    QStringLiteral("换场"), QStringLiteral("节目"),
};

struct Refusal
{
    int status;
    QString error;
};

[[noreturn]] void refuse(int status, const QString &error)
{
    throw Refusal{status, error};
}

FakeReply jsonReply(const QJsonObject &object, int status = 200)
{
    FakeReply reply;
    reply.status = status;
    reply.body = json::serialize(object);
    return reply;
}

FakeReply okReply()
{
    return jsonReply(QJsonObject{{QStringLiteral("ok"), true}});
}

FakeReply errorReply(int status, const QString &error)
{
    return jsonReply(APIErrorPayload{error}.toJson(), status);
}

bool allRoles(const QString &role)
{
    for (ProjectRole r : ProjectRoles::all) {
        if (rawValue(r) == role) {
            return true;
        }
    }
    return false;
}

bool named(const QString &names, const QString &name)
{
    return PermissionPolicy::people(names).contains(name);
}

QString addName(const QString &names, const QString &name)
{
    QStringList list = PermissionPolicy::people(names);
    if (!list.contains(name)) {
        list.append(name);
    }
    return PermissionPolicy::joinNames(list);
}

QByteArray percentDecode(const QByteArray &raw)
{
    return QByteArray::fromPercentEncoding(raw);
}

QString mimeTypeFor(const QString &filename)
{
    const QString suffix = filename.section(QLatin1Char('.'), -1).toLower();
    if (suffix == QStringLiteral("wav")) {
        return QStringLiteral("audio/wav");
    }
    if (suffix == QStringLiteral("mp3")) {
        return QStringLiteral("audio/mpeg");
    }
    if (suffix == QStringLiteral("m4a")) {
        return QStringLiteral("audio/mp4");
    }
    if (suffix == QStringLiteral("mp4")) {
        return QStringLiteral("video/mp4");
    }
    if (suffix == QStringLiteral("webm")) {
        return QStringLiteral("video/webm");
    }
    if (suffix == QStringLiteral("mov")) {
        return QStringLiteral("video/quicktime");
    }
    return QStringLiteral("application/octet-stream");
}

// "3:30" or "210" to seconds; anything else to 0.
int parseDuration(const QString &text)
{
    const QString t = text.trimmed();
    bool ok = false;
    if (t.contains(QLatin1Char(':'))) {
        const int minutes = t.section(QLatin1Char(':'), 0, 0).toInt(&ok);
        if (!ok) {
            return 0;
        }
        const int seconds = t.section(QLatin1Char(':'), 1, 1).toInt(&ok);
        return ok ? minutes * 60 + seconds : 0;
    }
    const int seconds = t.toInt(&ok);
    return ok ? std::max(0, seconds) : 0;
}

struct MultipartPart
{
    QString name;
    std::optional<QString> filename;
    QByteArray content;
};

std::optional<QList<MultipartPart>> parseMultipart(const QByteArray &contentType, const QByteArray &body)
{
    static const QRegularExpression boundaryPattern(QStringLiteral("boundary=\"?([^\";]+)\"?"));
    const auto match = boundaryPattern.match(QString::fromLatin1(contentType));
    if (!match.hasMatch()) {
        return std::nullopt;
    }
    const QByteArray delimiter = "--" + match.captured(1).toLatin1();
    qsizetype pos = body.indexOf(delimiter);
    if (pos < 0) {
        return std::nullopt;
    }
    pos += delimiter.size();

    static const QRegularExpression namePattern(QStringLiteral("(?:^|[;\\s])name=\"([^\"]*)\""));
    static const QRegularExpression filenamePattern(QStringLiteral("filename=\"(.*)\"\\s*$"));
    QList<MultipartPart> parts;
    while (true) {
        if (body.mid(pos, 2) == "--") {
            return parts;
        }
        if (body.mid(pos, 2) != "\r\n") {
            return std::nullopt;
        }
        pos += 2;
        const qsizetype headerEnd = body.indexOf("\r\n\r\n", pos);
        if (headerEnd < 0) {
            return std::nullopt;
        }
        const qsizetype contentStart = headerEnd + 4;
        const qsizetype next = body.indexOf("\r\n" + delimiter, contentStart);
        if (next < 0) {
            return std::nullopt;
        }
        MultipartPart part;
        const QStringList headerLines =
            QString::fromUtf8(body.mid(pos, headerEnd - pos)).split(QStringLiteral("\r\n"));
        for (const QString &line : headerLines) {
            if (!line.startsWith(QStringLiteral("Content-Disposition:"), Qt::CaseInsensitive)) {
                continue;
            }
            if (const auto m = namePattern.match(line); m.hasMatch()) {
                part.name = m.captured(1);
            }
            if (const auto m = filenamePattern.match(line); m.hasMatch()) {
                part.filename = m.captured(1);
            }
        }
        part.content = body.mid(contentStart, next - contentStart);
        parts.append(part);
        pos = next + 2 + delimiter.size();
    }
}

// The caller in one project.
struct Access
{
    FakeProject *project = nullptr;
    FakeAccount *account = nullptr;
    QString memberId;
    QString role;
    QString name;

    bool manager() const { return PermissionPolicy::isManager(role); }
};

class Endpoints
{
public:
    Endpoints(FakePlatform &platform, const FakeCall &call)
        : m_p(platform)
        , m_call(call)
    {}

    FakeReply run();

private:
    FakeReply route();

    // Request helpers.
    QJsonObject body() const;
    template<class T>
    T payload() const
    {
        try {
            return T::fromJson(body());
        } catch (const DecodingError &) {
            refuse(400, errBadRequest);
        }
    }
    std::optional<QString> optionalQuery(const QString &name) const
    {
        return FakeQuery::item(m_call.query, name);
    }
    QString query(const QString &name) const;
    FakeAccount *callerOrNull() const;
    FakeAccount &caller() const;
    FakeAccount &superAdmin() const;
    FakeProject &project(const QString &projectId) const;
    Access access(const QString &projectId) const;
    Access accessFromQuery() const { return access(query(QStringLiteral("projectId"))); }
    RundownItem &item(FakeProject &project, const QString &itemId) const;
    static void requireUnfrozen(const Access &a);

    // Rights that mirror what the pages offer.
    static bool canEdit(const Access &a, const RundownItem &item);
    static bool canEditScript(const Access &a, const RundownItem &item);
    static bool canUpload(const Access &a, const RundownItem &item, const QString &category);
    static bool canConfigureLottery(const Access &a, const RundownItem &item);
    static bool canOperateLottery(const Access &a, const RundownItem &item);

    void syncSystemItem(FakeProject &project, const QString &sourceKey, bool done, const QString &byMemberId);
    void audit(const FakeAccount &admin, const QString &action, const QString &targetType,
               const QString &targetId, const QString &summary);

    // Endpoints.
    FakeReply requestCode();
    FakeReply verifyCode();
    FakeReply session();
    FakeReply updateNickname();
    FakeReply logout();
    FakeReply projects();
    FakeReply createProject();
    FakeReply projectDetail();
    FakeReply replaceRundown();
    FakeReply patchProject();
    FakeReply liveAction(Access &a, const LiveActionPayload &payload);
    FakeReply addRundownItem();
    FakeReply importPreview();
    FakeReply exportRundown();
    FakeReply workItems();
    FakeReply createWorkItem();
    FakeReply updateWorkItem();
    FakeReply groups();
    FakeReply checkIn();
    FakeReply updateMember();
    FakeReply invitations();
    FakeReply operations();
    FakeReply lottery();
    FakeReply adminView();
    FakeReply adminAction();
    FakeReply downloadAsset();
    FakeReply uploadAsset();

    WorkItemsSnapshot snapshot(const Access &a) const;
    LotteryState lotteryState(const Access &a, const RundownItem &item, const FakeLottery &lottery) const;
    static qint64 drawnCount(const FakeLottery &lottery, const QString &prizeId);

    FakePlatform &m_p;
    const FakeCall &m_call;
};

FakeReply Endpoints::run()
{
    try {
        return route();
    } catch (const Refusal &r) {
        return errorReply(r.status, r.error);
    } catch (const DecodingError &) {
        return errorReply(400, errBadRequest);
    }
}

FakeReply Endpoints::route()
{
    const QByteArray &m = m_call.method;
    const QByteArray &p = m_call.path;
    const auto is = [&](const char *method, const char *path) { return m == method && p == path; };

    if (is("POST", "/api/auth/request-code")) {
        return requestCode();
    }
    if (is("POST", "/api/auth/verify-code")) {
        return verifyCode();
    }
    if (is("GET", "/api/session")) {
        return session();
    }
    if (is("PATCH", "/api/session")) {
        return updateNickname();
    }
    if (is("DELETE", "/api/session")) {
        return logout();
    }
    if (is("GET", "/api/projects")) {
        return projects();
    }
    if (is("POST", "/api/projects")) {
        return createProject();
    }
    if (is("GET", "/api/project")) {
        return projectDetail();
    }
    if (is("PUT", "/api/project")) {
        return replaceRundown();
    }
    if (is("PATCH", "/api/project")) {
        return patchProject();
    }
    if (is("POST", "/api/rundown-items")) {
        return addRundownItem();
    }
    if (is("POST", "/api/rundown-import")) {
        return importPreview();
    }
    if (is("GET", "/api/rundown-export")) {
        return exportRundown();
    }
    if (is("GET", "/api/work-items")) {
        return workItems();
    }
    if (is("POST", "/api/work-items")) {
        return createWorkItem();
    }
    if (is("PATCH", "/api/work-items")) {
        return updateWorkItem();
    }
    if (is("PATCH", "/api/groups")) {
        return groups();
    }
    if (is("PATCH", "/api/checkin")) {
        return checkIn();
    }
    if (is("PATCH", "/api/members")) {
        return updateMember();
    }
    if (is("POST", "/api/invitations")) {
        return invitations();
    }
    if (is("PATCH", "/api/operations")) {
        return operations();
    }
    if (p == "/api/lottery" && (m == "GET" || m == "POST")) {
        return lottery();
    }
    if (is("GET", "/api/admin")) {
        return adminView();
    }
    if (is("PATCH", "/api/admin")) {
        return adminAction();
    }
    if (is("GET", "/api/assets")) {
        return downloadAsset();
    }
    if (is("POST", "/api/assets")) {
        return uploadAsset();
    }

    static const QList<QByteArray> knownPaths = {
        "/api/auth/request-code",
        "/api/auth/verify-code",
        "/api/session",
        "/api/projects",
        "/api/project",
        "/api/rundown-items",
        "/api/rundown-import",
        "/api/rundown-export",
        "/api/work-items",
        "/api/groups",
        "/api/checkin",
        "/api/members",
        "/api/invitations",
        "/api/operations",
        "/api/lottery",
        "/api/admin",
        "/api/assets",
    };
    if (knownPaths.contains(p)) {
        refuse(405, QStringLiteral("不支持的请求方法"));
    }
    refuse(404, QStringLiteral("接口不存在"));
}

QJsonObject Endpoints::body() const
{
    try {
        return json::parseObject(m_call.body);
    } catch (const DecodingError &) {
        refuse(400, errBadRequest);
    }
}

QString Endpoints::query(const QString &name) const
{
    const auto value = optionalQuery(name);
    if (!value) {
        refuse(400, QStringLiteral("缺少参数 %1").arg(name));
    }
    return *value;
}

FakeAccount *Endpoints::callerOrNull() const
{
    const QByteArray prefix = "Bearer ";
    if (!m_call.authorization.startsWith(prefix)) {
        return nullptr;
    }
    const QString token = QString::fromUtf8(m_call.authorization.mid(prefix.size()));
    const auto it = m_p.tokens.constFind(token);
    if (it == m_p.tokens.constEnd()) {
        return nullptr;
    }
    return m_p.account(*it);
}

FakeAccount &Endpoints::caller() const
{
    FakeAccount *account = callerOrNull();
    if (!account) {
        refuse(401, errUnauthorized);
    }
    return *account;
}

FakeAccount &Endpoints::superAdmin() const
{
    FakeAccount &account = caller();
    if (!account.account.superAdmin()) {
        refuse(403, errForbidden);
    }
    return account;
}

FakeProject &Endpoints::project(const QString &projectId) const
{
    FakeProject *p = m_p.project(projectId);
    if (!p) {
        refuse(404, errProjectMissing);
    }
    return *p;
}

Access Endpoints::access(const QString &projectId) const
{
    FakeAccount &account = caller();
    FakeProject &p = project(projectId);
    const ProjectMember *member = p.memberForAccount(account.account.id);
    if (!member) {
        refuse(403, errNotMember);
    }
    return Access{&p, &account, member->id, member->role, member->name};
}

RundownItem &Endpoints::item(FakeProject &project, const QString &itemId) const
{
    RundownItem *i = project.item(itemId);
    if (!i) {
        refuse(404, errItemMissing);
    }
    return *i;
}

void Endpoints::requireUnfrozen(const Access &a)
{
    if (a.project->summary.isFlowFrozen()) {
        refuse(409, errFrozen);
    }
}

bool Endpoints::canEdit(const Access &a, const RundownItem &item)
{
    return a.manager() || (a.role == roleOwner && named(item.owner, a.name));
}

bool Endpoints::canEditScript(const Access &a, const RundownItem &item)
{
    return canEdit(a, item) || (a.role == roleHost && named(item.performers, a.name));
}

bool Endpoints::canUpload(const Access &a, const RundownItem &item, const QString &category)
{
    if (canEdit(a, item)) {
        return true;
    }
    if (a.role == roleSound) {
        return category == QStringLiteral("audio");
    }
    if (a.role == roleVideo) {
        return category == QStringLiteral("video");
    }
    if (a.role != rolePerformer && a.role != roleHost) {
        return false;
    }
    if (named(item.performers, a.name)) {
        return true;
    }
    const QStringList names = PermissionPolicy::people(item.performers);
    return std::any_of(a.project->performerGroups.cbegin(), a.project->performerGroups.cend(),
                       [&](const PerformerGroup &g) {
                           return g.decision == QStringLiteral("group") && g.memberIds.contains(a.memberId) &&
                                  names.contains(g.name);
                       });
}

bool Endpoints::canConfigureLottery(const Access &a, const RundownItem &item)
{
    return a.manager() || (a.role == roleOwner && named(item.owner, a.name));
}

bool Endpoints::canOperateLottery(const Access &a, const RundownItem &item)
{
    return canConfigureLottery(a, item) || (a.role == roleHost && named(item.performers, a.name));
}

void Endpoints::syncSystemItem(FakeProject &project, const QString &sourceKey, bool done,
                               const QString &byMemberId)
{
    for (WorkItem &w : project.workItems) {
        if (w.sourceType != QStringLiteral("system") || w.sourceKey != sourceKey) {
            continue;
        }
        w.status = done ? WorkItemStatus::done : WorkItemStatus::todo;
        w.completedAt = done ? m_p.now() : QString();
        w.updatedAt = m_p.now();
        w.updatedByMemberId = byMemberId;
    }
}

void Endpoints::audit(const FakeAccount &admin, const QString &action, const QString &targetType,
                      const QString &targetId, const QString &summary)
{
    m_p.auditLogs.append(AdminAuditLog{
        m_p.nextId(QStringLiteral("log")),
        admin.account.name,
        action,
        targetType,
        targetId,
        summary,
        m_p.now(),
    });
}

// --- Sign-in and session ---------------------------------------------------------------------

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

FakeReply Endpoints::projectDetail()
{
    const Access a = accessFromQuery();
    const Membership membership{a.memberId, a.project->summary.id, a.name, a.role};
    return jsonReply(m_p.detail(*a.project, membership).toJson());
}

FakeReply Endpoints::replaceRundown()
{
    const Access a = accessFromQuery();
    if (!a.manager()) {
        refuse(403, errForbidden);
    }
    requireUnfrozen(a);
    auto payload = this->payload<RundownReplacePayload>();
    for (RundownItem &i : payload.items) {
        if (i.id.isEmpty()) {
            i.id = m_p.nextId(QStringLiteral("item"));
        }
    }
    a.project->items = payload.items;
    m_p.refreshReadiness(*a.project);
    return okReply();
}

FakeReply Endpoints::patchProject()
{
    Access a = accessFromQuery();
    const QJsonObject o = body();

    if (o.contains(L("liveAction"))) {
        return liveAction(a, payload<LiveActionPayload>());
    }
    if (o.contains(L("resetLive"))) {
        if (!PermissionPolicy::canOpenPlayback(a.role)) {
            refuse(403, errForbidden);
        }
        if (payload<ResetLivePayload>().resetLive) {
            for (RundownItem &i : a.project->items) {
                i.liveStatus.clear();
            }
        }
        return jsonReply(LiveControlResponse{true, a.project->items}.toJson());
    }
    if (o.contains(L("freezeFlow"))) {
        if (a.role != roleChief) {
            refuse(403, errForbidden);
        }
        a.project->summary.flowFrozen = payload<FreezeFlowPayload>().freezeFlow;
        return jsonReply(ProjectMutationResponse{true, a.project->summary}.toJson());
    }
    if (o.contains(L("order"))) {
        if (!a.manager()) {
            refuse(403, errForbidden);
        }
        requireUnfrozen(a);
        const auto payload = this->payload<ItemOrderPayload>();
        for (const ItemOrderEntry &entry : payload.order) {
            item(*a.project, entry.id); // every id must exist before anything changes
        }
        for (const ItemOrderEntry &entry : payload.order) {
            item(*a.project, entry.id).order = entry.order;
        }
        std::stable_sort(a.project->items.begin(), a.project->items.end(),
                         [](const RundownItem &x, const RundownItem &y) { return x.order < y.order; });
        return okReply();
    }
    if (o.contains(L("item"))) {
        const auto payload = this->payload<ItemMutationPayload>();
        RundownItem &target = item(*a.project, payload.id);
        const RundownItemPatch &patch = payload.item;
        const bool scriptOnly = !patch.title && !patch.type && !patch.duration && !patch.startTime &&
                                !patch.props && !patch.notes && !patch.performers && !patch.owner;
        if (!(canEdit(a, target) || (scriptOnly && canEditScript(a, target)))) {
            refuse(403, errForbidden);
        }
        requireUnfrozen(a);
        if (patch.duration && *patch.duration < 0) {
            refuse(400, QStringLiteral("时长无效"));
        }
        if (patch.title) {
            target.title = *patch.title;
        }
        if (patch.type) {
            target.type = *patch.type;
        }
        if (patch.duration) {
            target.duration = *patch.duration;
            target.durationSource = QStringLiteral("manual");
        }
        if (patch.startTime) {
            target.startTime = *patch.startTime;
        }
        if (patch.props) {
            target.props = *patch.props;
        }
        if (patch.notes) {
            target.notes = *patch.notes;
        }
        if (patch.performers) {
            target.performers = *patch.performers;
        }
        if (patch.owner) {
            target.owner = *patch.owner;
        }
        if (patch.script) {
            target.script = *patch.script;
        }
        m_p.refreshReadiness(*a.project);
        return okReply();
    }
    refuse(400, errUnknownAction);
}

FakeReply Endpoints::liveAction(Access &a, const LiveActionPayload &payload)
{
    if (!PermissionPolicy::canOpenPlayback(a.role)) {
        refuse(403, errForbidden);
    }
    RundownItem &target = item(*a.project, payload.id);
    if (payload.liveAction == QStringLiteral("start")) {
        for (RundownItem &i : a.project->items) {
            if (i.liveStatus == RundownValues::live && i.id != target.id) {
                i.liveStatus = RundownValues::finished;
            }
        }
        target.liveStatus = RundownValues::live;
    } else if (payload.liveAction == QStringLiteral("stop")) {
        target.liveStatus = RundownValues::finished;
    } else {
        refuse(400, errUnknownAction);
    }
    return jsonReply(LiveControlResponse{true, a.project->items}.toJson());
}

FakeReply Endpoints::addRundownItem()
{
    const Access a = accessFromQuery();
    if (!a.manager()) {
        refuse(403, errForbidden);
    }
    requireUnfrozen(a);
    const QString itemId = m_p.addItem(a.project->summary.id, QStringLiteral("新节目"));
    return jsonReply(RundownItemMutationResponse{true, *a.project->item(itemId)}.toJson());
}

FakeReply Endpoints::importPreview()
{
    const Access a = accessFromQuery();
    if (!a.manager()) {
        refuse(403, errForbidden);
    }
    const auto payload = this->payload<RundownImportPayload>();
    const auto decoded = QByteArray::fromBase64Encoding(payload.contentBase64.toLatin1(),
                                                        QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || decoded.decoded.isEmpty()) {
        refuse(400, QStringLiteral("无法读取表格文件"));
    }

    // Text is read as CSV lines: title, type, duration, performers, owner. A binary spreadsheet
    // cannot be read here, so it yields a fixed sample as a stand-in.
    QList<QStringList> rows;
    if (decoded.decoded.contains('\0') || decoded.decoded.startsWith("PK")) {
        rows = {
            {QStringLiteral("开场舞《春风》"), QStringLiteral("舞蹈"), QStringLiteral("4:00"),
             QStringLiteral("舞蹈队"), QStringLiteral("周敏")},
            {QStringLiteral("主持人开场"), QStringLiteral("主持"), QStringLiteral("2:00"),
             QStringLiteral("林悦、陈浩"), QStringLiteral("周敏")},
            {QStringLiteral("小品《加班》"), QStringLiteral("小品"), QStringLiteral("8:00"),
             QStringLiteral("王强"), QStringLiteral("赵磊")},
        };
    } else {
        const QStringList lines = QString::fromUtf8(decoded.decoded).split(QLatin1Char('\n'));
        for (QString line : lines) {
            line = line.trimmed();
            if (line.isEmpty()) {
                continue;
            }
            QStringList cells =
                line.split(line.contains(QLatin1Char('\t')) ? QLatin1Char('\t') : QLatin1Char(','));
            for (QString &cell : cells) {
                cell = cell.trimmed();
            }
            bool numbered = false;
            cells.first().toInt(&numbered);
            if (numbered && cells.size() > 1) {
                cells.removeFirst();
            }
            static const QStringList headings = {QStringLiteral("序号"), QStringLiteral("节目名称"),
                                                 QStringLiteral("节目"), QStringLiteral("title")};
            if (rows.isEmpty() && headings.contains(cells.first(), Qt::CaseInsensitive)) {
                continue;
            }
            rows.append(cells);
        }
    }
    if (rows.isEmpty()) {
        refuse(400, QStringLiteral("表格中没有可导入的节目"));
    }

    FakeProject scratch;
    RundownImportPreview preview;
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const QStringList &cells = rows.at(i);
        const auto cell = [&](qsizetype c) { return c < cells.size() ? cells.at(c) : QString(); };
        RundownItem imported;
        imported.id = QStringLiteral("import-%1").arg(i + 1);
        imported.order = static_cast<int>(i + 1);
        imported.section = QStringLiteral("正式演出");
        imported.title = cell(0);
        imported.type = cell(1);
        imported.duration = parseDuration(cell(2));
        imported.durationSource = QStringLiteral("import");
        imported.performers = cell(3);
        imported.owner = cell(4);
        scratch.items.append(imported);
        for (const QString &person :
             PermissionPolicy::people(imported.performers + QLatin1Char('\n') + imported.owner)) {
            if (!preview.people.contains(person)) {
                preview.people.append(person);
            }
        }
        if (!imported.type.isEmpty() && !standardTypes.contains(imported.type) &&
            !preview.legacyTypes.contains(imported.type)) {
            preview.legacyTypes.append(imported.type);
        }
    }
    m_p.refreshReadiness(scratch);
    preview.items = scratch.items;
    preview.selectedSheetName = QStringLiteral("节目单");
    preview.ignoredSheetCount = 0;
    preview.timeConflictCount = 0;
    return jsonReply(preview.toJson());
}

FakeReply Endpoints::exportRundown()
{
    const Access a = accessFromQuery();
    const auto csvCell = [](QString text) {
        if (text.contains(QLatin1Char(',')) || text.contains(QLatin1Char('"')) ||
            text.contains(QLatin1Char('\n'))) {
            text.replace(QStringLiteral("\""), QStringLiteral("\"\""));
            return QLatin1Char('"') + text + QLatin1Char('"');
        }
        return text;
    };
    QStringList lines{QStringLiteral("序号,节目名称,类型,时长,表演者,负责人,道具,备注")};
    for (const RundownItem &i : std::as_const(a.project->items)) {
        lines.append(QStringList{
            QString::number(i.order),
            csvCell(i.title),
            csvCell(i.type),
            QStringLiteral("%1:%2")
                .arg(i.duration / 60, 2, 10, QLatin1Char('0'))
                .arg(i.duration % 60, 2, 10, QLatin1Char('0')),
            csvCell(i.performers),
            csvCell(i.owner),
            csvCell(i.props),
            csvCell(i.notes),
        }
                         .join(QLatin1Char(',')));
    }
    const QByteArray csv = "\xEF\xBB\xBF" + lines.join(QStringLiteral("\r\n")).toUtf8() + "\r\n";
    const RundownExportResponse response{
        a.project->summary.name + QStringLiteral("-节目单.csv"),
        QString::fromLatin1(csv.toBase64()),
    };
    return jsonReply(response.toJson());
}

// --- Work items ------------------------------------------------------------------------------

WorkItemsSnapshot Endpoints::snapshot(const Access &a) const
{
    WorkItemsSnapshot s;
    s.items = a.project->workItems;
    for (const WorkItem &w : std::as_const(s.items)) {
        ++s.summary.total;
        if (isOpen(w.status)) {
            ++s.summary.open;
            if (w.priority == WorkItemPriority::urgent) {
                ++s.summary.urgent;
            }
        }
        if (w.status == WorkItemStatus::blocked) {
            ++s.summary.blocked;
        }
        if (w.status == WorkItemStatus::done) {
            ++s.summary.done;
        }
    }
    s.permissions.canCreateIncident = true;
    s.permissions.canCreatePreparation = a.manager() || a.role == roleOwner;
    s.permissions.canManageAll = a.manager();
    return s;
}

FakeReply Endpoints::workItems()
{
    return jsonReply(snapshot(accessFromQuery()).toJson());
}

FakeReply Endpoints::createWorkItem()
{
    const Access a = accessFromQuery();
    const auto payload = this->payload<WorkItemCreatePayload>();
    const WorkItemsSnapshot rights = snapshot(a);
    const bool allowed = payload.kind == WorkItemKind::incident ? rights.permissions.canCreateIncident
                                                                : rights.permissions.canCreatePreparation;
    if (!allowed) {
        refuse(403, errForbidden);
    }
    if (TextRules::trimmed(payload.title).isEmpty()) {
        refuse(400, QStringLiteral("请填写标题"));
    }
    if (!payload.itemId.isEmpty()) {
        item(*a.project, payload.itemId);
    }
    if (!payload.assigneeMemberId.isEmpty() && !a.project->member(payload.assigneeMemberId)) {
        refuse(404, errMemberMissing);
    }
    WorkItem w;
    w.id = m_p.nextId(QStringLiteral("work"));
    w.projectId = a.project->summary.id;
    w.itemId = payload.itemId;
    w.assigneeMemberId = payload.assigneeMemberId;
    w.kind = payload.kind;
    w.sourceType = QStringLiteral("manual");
    w.title = TextRules::trimmed(payload.title);
    w.description = payload.description;
    w.priority = payload.priority;
    w.blocking = payload.blocking;
    w.createdByMemberId = a.memberId;
    w.updatedByMemberId = a.memberId;
    w.createdAt = m_p.now();
    w.updatedAt = w.createdAt;
    a.project->workItems.append(w);
    m_p.refreshReadiness(*a.project);
    return jsonReply(WorkItemMutationResponse{true, w}.toJson());
}

FakeReply Endpoints::updateWorkItem()
{
    const Access a = accessFromQuery();
    const auto payload = this->payload<WorkItemMutationPayload>();
    WorkItem *w = a.project->workItem(payload.id);
    if (!w) {
        refuse(404, QStringLiteral("任务不存在"));
    }
    const bool involved =
        w->assigneeMemberId == a.memberId || w->memberId == a.memberId || w->createdByMemberId == a.memberId;
    if (!a.manager() && !involved) {
        refuse(403, errForbidden);
    }
    const WorkItemPatch &patch = payload.workItem;
    if (patch.title && TextRules::trimmed(*patch.title).isEmpty()) {
        refuse(400, QStringLiteral("请填写标题"));
    }
    if (patch.assigneeMemberId && !patch.assigneeMemberId->isEmpty() &&
        !a.project->member(*patch.assigneeMemberId)) {
        refuse(404, errMemberMissing);
    }
    if (patch.title) {
        w->title = TextRules::trimmed(*patch.title);
    }
    if (patch.description) {
        w->description = *patch.description;
    }
    if (patch.status && *patch.status != w->status) {
        w->status = *patch.status;
        w->completedAt = isOpen(w->status) ? QString() : m_p.now();
    }
    if (patch.priority) {
        w->priority = *patch.priority;
    }
    if (patch.dueAt) {
        w->dueAt = *patch.dueAt;
    }
    if (patch.blocking) {
        w->blocking = *patch.blocking;
    }
    if (patch.resolution) {
        w->resolution = *patch.resolution;
    }
    if (patch.assigneeMemberId) {
        w->assigneeMemberId = *patch.assigneeMemberId;
    }
    if (patch.memberId) {
        w->memberId = *patch.memberId;
    }
    w->updatedByMemberId = a.memberId;
    w->updatedAt = m_p.now();
    const WorkItem updated = *w;
    m_p.refreshReadiness(*a.project);
    return jsonReply(WorkItemMutationResponse{true, updated}.toJson());
}

// --- People ----------------------------------------------------------------------------------

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
        // A performer name marked by hand has no record yet: the decision creates it.
        if (it == groups.end()) {
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
        item(*a.project, *payload.itemId);
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
    const bool makeupRights = a.manager() || a.role == roleMakeup;
    if (action == QStringLiteral("saveMakeupShift")) {
        if (!makeupRights) {
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
        if (!makeupRights) {
            refuse(403, errForbidden);
        }
        const auto payload = this->payload<MakeupAssignmentPayload>();
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

qint64 Endpoints::drawnCount(const FakeLottery &lottery, const QString &prizeId)
{
    const bool rehearsal = lottery.mode == LotteryValues::rehearsal;
    return std::count_if(lottery.winners.cbegin(), lottery.winners.cend(), [&](const FakeLotteryWinner &w) {
        return w.prizeId == prizeId && w.rehearsal == rehearsal && w.status != LotteryValues::noShow;
    });
}

LotteryState Endpoints::lotteryState(const Access &a, const RundownItem &item,
                                     const FakeLottery &lottery) const
{
    LotteryState s;
    s.project = LotteryProject{a.project->summary.id, a.project->summary.name, a.project->summary.eventDate};
    s.item = LotteryItem{item.id, item.title};
    s.mode = lottery.mode;
    s.entryOpen = lottery.entryOpen;
    s.drawStatus = lottery.drawStatus;
    s.screenMode = lottery.screenMode;
    s.drawingPrizeId = lottery.drawingPrizeId;
    s.entryCount = lottery.entries.size();
    for (const FakeLotteryPrize &prize : lottery.prizes) {
        s.prizes.append(LotteryPrize{prize.id, prize.name, prize.giftName, prize.winnerCount, prize.imageUrl,
                                     drawnCount(lottery, prize.id)});
    }
    const bool rehearsal = lottery.mode == LotteryValues::rehearsal;
    for (const FakeLotteryWinner &w : lottery.winners) {
        if (w.rehearsal != rehearsal) {
            continue;
        }
        Account masked;
        masked.phone = w.phone;
        s.winners.append(LotteryWinner{w.id, w.prizeId, w.displayName, masked.maskedPhone(), w.status,
                                       w.drawnAt, w.claimedAt});
    }
    s.canConfigure = canConfigureLottery(a, item);
    s.canOperate = canOperateLottery(a, item);
    s.canClaim = s.canOperate || a.role == roleStaff;
    return s;
}

FakeReply Endpoints::lottery()
{
    const Access a = accessFromQuery();
    RundownItem &target = item(*a.project, query(QStringLiteral("itemId")));
    if (!target.type.contains(QStringLiteral("抽奖")) && !target.title.contains(QStringLiteral("抽奖"))) {
        refuse(400, QStringLiteral("该节目不是抽奖环节"));
    }
    FakeLottery &l = a.project->lotteries[target.id];
    l.itemId = target.id;
    const auto answer = [&](const QString &message, std::optional<QString> result = std::nullopt,
                            bool ok = true) {
        return jsonReply(LotteryMutationResponse{ok, lotteryState(a, target, l), result, message}.toJson());
    };
    if (m_call.method == "GET") {
        return jsonReply(lotteryState(a, target, l).toJson());
    }

    const auto payload = this->payload<LotteryActionPayload>();
    const bool configure = canConfigureLottery(a, target);
    const bool operate = canOperateLottery(a, target);
    const bool rolling = l.drawStatus == LotteryValues::rolling;
    const bool rehearsal = l.mode == LotteryValues::rehearsal;
    const auto require = [](bool allowed) {
        if (!allowed) {
            refuse(403, errForbidden);
        }
    };
    const auto requireField = [](const auto &field) {
        if (!field) {
            refuse(400, errBadRequest);
        }
        return *field;
    };

    if (payload.action == QStringLiteral("save")) {
        require(configure);
        if (rolling) {
            refuse(409, QStringLiteral("抽奖进行中，暂不能修改奖项"));
        }
        const QList<LotteryPrize> prizes = requireField(payload.prizes);
        if (payload.mode) {
            if (*payload.mode != LotteryValues::formal && *payload.mode != LotteryValues::rehearsal) {
                refuse(400, errBadRequest);
            }
            l.mode = *payload.mode;
        }
        QList<FakeLotteryPrize> saved;
        for (const LotteryPrize &prize : prizes) {
            if (TextRules::trimmed(prize.name).isEmpty()) {
                refuse(400, QStringLiteral("请填写奖项名称"));
            }
            if (prize.winnerCount < 1) {
                refuse(400, QStringLiteral("中奖名额无效"));
            }
            saved.append(FakeLotteryPrize{prize.id.isEmpty() ? m_p.nextId(QStringLiteral("prize")) : prize.id,
                                          prize.name, prize.giftName, prize.winnerCount, prize.imageUrl});
        }
        l.prizes = saved;
        return answer(QStringLiteral("奖项已保存"));
    }
    if (payload.action == QStringLiteral("screen")) {
        require(operate);
        const QString mode = requireField(payload.mode);
        if (mode != LotteryValues::screenQR && mode != LotteryValues::screenProgram) {
            refuse(400, errBadRequest);
        }
        l.screenMode = mode;
        return answer(mode == LotteryValues::screenQR ? QStringLiteral("大屏已切换为报名二维码")
                                                      : QStringLiteral("大屏已切换为节目画面"));
    }
    if (payload.action == QStringLiteral("mode")) {
        require(operate);
        const QString mode = requireField(payload.mode);
        if (mode != LotteryValues::formal && mode != LotteryValues::rehearsal) {
            refuse(400, errBadRequest);
        }
        if (rolling) {
            refuse(409, QStringLiteral("抽奖进行中，暂不能切换模式"));
        }
        l.mode = mode;
        return answer(mode == LotteryValues::formal ? QStringLiteral("已进入正式抽奖")
                                                    : QStringLiteral("已切换为彩排模式"));
    }
    if (payload.action == QStringLiteral("entry")) {
        require(operate);
        l.entryOpen = requireField(payload.open);
        return answer(l.entryOpen ? QStringLiteral("观众报名已开启") : QStringLiteral("观众报名已关闭"));
    }
    if (payload.action == QStringLiteral("drawStart")) {
        require(operate);
        const QString prizeId = requireField(payload.prizeId);
        const auto prize = std::find_if(l.prizes.cbegin(), l.prizes.cend(),
                                        [&](const FakeLotteryPrize &p) { return p.id == prizeId; });
        if (prize == l.prizes.cend()) {
            refuse(404, QStringLiteral("奖项不存在"));
        }
        if (rolling) {
            refuse(409, QStringLiteral("正在抽奖中"));
        }
        if (drawnCount(l, prizeId) >= prize->winnerCount) {
            refuse(409, QStringLiteral("该奖项名额已抽完"));
        }
        l.drawStatus = LotteryValues::rolling;
        l.drawingPrizeId = prizeId;
        return answer(QStringLiteral("开始抽取%1").arg(prize->name));
    }
    if (payload.action == QStringLiteral("drawStop")) {
        require(operate);
        if (!rolling || !l.drawingPrizeId) {
            refuse(409, QStringLiteral("当前没有进行中的抽奖"));
        }
        l.drawStatus = QStringLiteral("idle");
        const QString prizeId = *l.drawingPrizeId;
        const auto prize = std::find_if(l.prizes.cbegin(), l.prizes.cend(),
                                        [&](const FakeLotteryPrize &p) { return p.id == prizeId; });
        qint64 places = prize == l.prizes.cend() ? 0 : prize->winnerCount - drawnCount(l, prizeId);
        int drawn = 0;
        for (const FakeLotteryEntry &entry : std::as_const(l.entries)) {
            if (places <= 0) {
                break;
            }
            const bool alreadyWon =
                std::any_of(l.winners.cbegin(), l.winners.cend(), [&](const FakeLotteryWinner &w) {
                    return w.phone == entry.phone && w.rehearsal == rehearsal;
                });
            if (alreadyWon) {
                continue;
            }
            l.winners.append(FakeLotteryWinner{m_p.nextId(QStringLiteral("win")), prizeId, entry.displayName,
                                               entry.phone, LotteryValues::pending, m_p.now(), std::nullopt,
                                               rehearsal});
            --places;
            ++drawn;
        }
        if (drawn == 0) {
            return answer(QStringLiteral("没有可抽取的观众"), QStringLiteral("empty"));
        }
        return answer(QStringLiteral("已抽出 %1 位中奖观众").arg(drawn), QStringLiteral("drawn"));
    }
    if (payload.action == QStringLiteral("resetRehearsal")) {
        require(operate);
        if (!rehearsal) {
            refuse(409, QStringLiteral("正式抽奖结果不能重置"));
        }
        l.winners.removeIf([](const FakeLotteryWinner &w) { return w.rehearsal; });
        l.drawStatus = QStringLiteral("idle");
        return answer(QStringLiteral("彩排结果已清空"));
    }
    if (payload.action == QStringLiteral("noShow")) {
        require(operate);
        const QString winId = requireField(payload.winId);
        const auto it = std::find_if(l.winners.begin(), l.winners.end(),
                                     [&](const FakeLotteryWinner &w) { return w.id == winId; });
        if (it == l.winners.end()) {
            refuse(404, QStringLiteral("中奖记录不存在"));
        }
        if (it->status != LotteryValues::pending) {
            refuse(409, QStringLiteral("该中奖记录不能标记为未到场"));
        }
        it->status = LotteryValues::noShow;
        return answer(QStringLiteral("已标记未到场，可补抽该名额"));
    }
    if (payload.action == QStringLiteral("claim")) {
        require(operate || a.role == roleStaff);
        const QString phone = TextRules::trimmed(requireField(payload.phone));
        const auto it = std::find_if(l.winners.begin(), l.winners.end(), [&](const FakeLotteryWinner &w) {
            return w.phone == phone && w.rehearsal == rehearsal && w.status != LotteryValues::noShow;
        });
        if (it == l.winners.end()) {
            return answer(QStringLiteral("未找到该手机号的中奖记录"), QStringLiteral("not_found"), false);
        }
        if (it->status == LotteryValues::claimed) {
            return answer(QStringLiteral("该手机号已领奖"), QStringLiteral("already_claimed"), false);
        }
        it->status = LotteryValues::claimed;
        it->claimedAt = m_p.now();
        return answer(QStringLiteral("领奖成功：%1").arg(it->displayName), QStringLiteral("claimed"));
    }
    refuse(400, errUnknownAction);
}

// --- Administration --------------------------------------------------------------------------

FakeReply Endpoints::adminView()
{
    superAdmin();
    const QString view = query(QStringLiteral("view"));
    const auto liveAssets = [&] {
        QList<const FakeAsset *> out;
        for (const FakeAsset &asset : std::as_const(m_p.assets)) {
            if (!asset.trashedAt) {
                out.append(&asset);
            }
        }
        return out;
    };

    if (view == QStringLiteral("overview")) {
        AdminOverview o;
        o.users = m_p.accounts.size();
        o.activeUsers = std::count_if(m_p.accounts.cbegin(), m_p.accounts.cend(), [](const FakeAccount &a) {
            return a.status == QStringLiteral("active");
        });
        o.projects = m_p.projects.size();
        o.activeProjects =
            std::count_if(m_p.projects.cbegin(), m_p.projects.cend(),
                          [](const FakeProject &p) { return p.summary.status != QStringLiteral("已归档"); });
        for (const FakeAsset *asset : liveAssets()) {
            ++o.assets;
            o.assetBytes += asset->bytes.size();
        }
        o.pendingInvites = std::count_if(m_p.invitations.cbegin(), m_p.invitations.cend(),
                                         [](const FakeInvitation &i) { return !i.accepted; });
        o.smsFailures = m_p.smsFailures;
        o.smsConfigured = m_p.smsConfigured;
        return jsonReply(AdminOverviewResponse{o}.toJson());
    }
    if (view == QStringLiteral("users")) {
        AdminUsersResponse response;
        response.sourceSummary.total = m_p.accounts.size();
        qint64 direct = 0;
        qint64 invitation = 0;
        qint64 lottery = 0;
        qint64 legacy = 0;
        for (const FakeAccount &account : std::as_const(m_p.accounts)) {
            AdminUser u;
            u.id = account.account.id;
            u.name = account.account.name;
            u.nickname = account.account.nickname;
            u.phone = account.account.phone;
            u.status = account.status;
            u.createdAt = account.createdAt;
            u.registrationSource = account.registrationSource;
            u.invitedByAccountId = account.invitedByAccountId;
            if (account.invitedByAccountId) {
                if (const FakeAccount *inviter = m_p.account(*account.invitedByAccountId)) {
                    u.inviterName = inviter->account.name;
                    u.inviterPhone = inviter->account.phone;
                }
            }
            u.registrationProjectName = account.registrationProjectName;
            u.registrationItemTitle = account.registrationItemTitle;
            u.projectCount = m_p.membershipsOf(account.account.id).size();
            u.lastLoginAt = account.lastLoginAt;
            u.invitedCount =
                std::count_if(m_p.accounts.cbegin(), m_p.accounts.cend(), [&](const FakeAccount &other) {
                    return other.invitedByAccountId == account.account.id;
                });
            response.users.append(u);
            if (u.invitedCount > 0) {
                response.leaderboard.append(AdminInviteLeader{u.id, u.name, u.phone, u.invitedCount});
            }
            if (account.registrationSource == QStringLiteral("direct")) {
                ++direct;
            } else if (account.registrationSource == QStringLiteral("invitation")) {
                ++invitation;
            } else if (account.registrationSource == QStringLiteral("lottery")) {
                ++lottery;
            } else {
                ++legacy;
            }
        }
        std::stable_sort(response.leaderboard.begin(), response.leaderboard.end(),
                         [](const AdminInviteLeader &x, const AdminInviteLeader &y) {
                             return x.invitedCount > y.invitedCount;
                         });
        response.sourceSummary.directCount = direct;
        response.sourceSummary.invitationCount = invitation;
        response.sourceSummary.lotteryCount = lottery;
        response.sourceSummary.legacyCount = legacy;
        return jsonReply(response.toJson());
    }
    if (view == QStringLiteral("projects")) {
        AdminProjectsResponse response;
        for (const FakeProject &p : std::as_const(m_p.projects)) {
            AdminProject row;
            row.id = p.summary.id;
            row.name = p.summary.name;
            row.eventDate = p.summary.eventDate;
            row.startTime = p.summary.startTime;
            row.status = p.summary.status;
            if (const FakeAccount *owner = m_p.account(p.ownerAccountId)) {
                row.ownerAccountId = owner->account.id;
                row.ownerName = owner->account.name;
                row.ownerPhone = owner->account.phone;
            }
            row.memberCount = p.members.size();
            row.itemCount = p.items.size();
            for (const FakeAsset *asset : liveAssets()) {
                if (asset->projectId == p.summary.id) {
                    ++row.assetCount;
                    row.assetBytes += asset->bytes.size();
                }
            }
            response.projects.append(row);
        }
        return jsonReply(response.toJson());
    }
    if (view == QStringLiteral("assets")) {
        AdminAssetsResponse response;
        for (const FakeAsset &asset : std::as_const(m_p.assets)) {
            AdminAsset row;
            row.id = asset.id;
            row.assetId = asset.id;
            row.filename = asset.filename;
            row.category = asset.category;
            row.fileSize = asset.bytes.size();
            row.projectId = asset.projectId;
            row.itemId = asset.itemId;
            row.createdAt = asset.createdAt;
            row.trashedAt = asset.trashedAt;
            if (const FakeProject *p = m_p.project(asset.projectId)) {
                row.projectName = p->summary.name;
                if (const RundownItem *i = p->item(asset.itemId)) {
                    row.itemTitle = i->title;
                }
            }
            (asset.trashedAt ? response.trash : response.assets).append(row);
        }
        return jsonReply(response.toJson());
    }
    if (view == QStringLiteral("logs")) {
        AdminLogsResponse response;
        for (auto it = m_p.auditLogs.crbegin(); it != m_p.auditLogs.crend(); ++it) {
            response.logs.append(*it);
        }
        return jsonReply(response.toJson());
    }
    if (view == QStringLiteral("project")) {
        const FakeProject &p = project(query(QStringLiteral("id")));
        return jsonReply(AdminProjectDetailResponse{p.summary, p.members, p.items}.toJson());
    }
    refuse(400, QStringLiteral("未知的视图"));
}

FakeReply Endpoints::adminAction()
{
    const FakeAccount &admin = superAdmin();
    const auto payload = this->payload<AdminActionPayload>();

    if (payload.action == QStringLiteral("accountStatus")) {
        const QString status = payload.status.value_or(QString());
        if (status != QStringLiteral("active") && status != QStringLiteral("suspended")) {
            refuse(400, QStringLiteral("无效的状态"));
        }
        FakeAccount *account = m_p.account(payload.id);
        if (!account) {
            refuse(404, QStringLiteral("账号不存在"));
        }
        if (account->account.id == admin.account.id && status == QStringLiteral("suspended")) {
            refuse(409, QStringLiteral("不能停用自己的账号"));
        }
        account->status = status;
        if (status == QStringLiteral("suspended")) {
            for (auto it = m_p.tokens.begin(); it != m_p.tokens.end();) {
                it = it.value() == payload.id ? m_p.tokens.erase(it) : std::next(it);
            }
        }
        audit(admin, payload.action, QStringLiteral("account"), payload.id,
              QStringLiteral("%1账号 %2")
                  .arg(status == QStringLiteral("active") ? QStringLiteral("恢复") : QStringLiteral("停用"),
                       account->account.name));
        return okReply();
    }
    if (payload.action == QStringLiteral("projectStatus")) {
        static const QStringList statuses = {QStringLiteral("筹备中"), QStringLiteral("进行中"),
                                             QStringLiteral("已暂停"), QStringLiteral("已归档")};
        const QString status = payload.status.value_or(QString());
        if (!statuses.contains(status)) {
            refuse(400, QStringLiteral("无效的状态"));
        }
        FakeProject &p = project(payload.id);
        p.summary.status = status;
        audit(admin, payload.action, QStringLiteral("project"), payload.id,
              QStringLiteral("将演出《%1》设为%2").arg(p.summary.name, status));
        return okReply();
    }
    if (payload.action == QStringLiteral("transferProject")) {
        FakeProject &p = project(payload.id);
        const FakeAccount *target = m_p.account(payload.targetAccountId.value_or(QString()));
        if (!target) {
            refuse(404, QStringLiteral("账号不存在"));
        }
        p.ownerAccountId = target->account.id;
        if (ProjectMember *member = p.memberForAccount(target->account.id)) {
            member->role = roleChief;
        } else {
            m_p.addMember(p.summary.id, target->account.name, roleChief, target->account.id);
        }
        audit(admin, payload.action, QStringLiteral("project"), payload.id,
              QStringLiteral("将演出《%1》转交给 %2").arg(p.summary.name, target->account.name));
        return okReply();
    }
    if (payload.action == QStringLiteral("archiveAsset") ||
        payload.action == QStringLiteral("restoreAsset")) {
        FakeAsset *asset = m_p.asset(payload.id);
        if (!asset) {
            refuse(404, QStringLiteral("素材不存在"));
        }
        const bool archive = payload.action == QStringLiteral("archiveAsset");
        FakeProject *p = m_p.project(asset->projectId);
        RundownItem *i = p ? p->item(asset->itemId) : nullptr;
        const bool audio = asset->category == QStringLiteral("audio");
        if (archive) {
            asset->trashedAt = m_p.now();
            if (i && (audio ? i->audioAssetId : i->videoAssetId) == asset->id) {
                (audio ? i->audioAssetId : i->videoAssetId).reset();
                (audio ? i->audioName : i->videoName).clear();
                (audio ? i->audioDuration : i->videoDuration) = 0;
            }
        } else {
            asset->trashedAt.reset();
            if (i && !(audio ? i->hasAudio() : i->hasVideo())) {
                (audio ? i->audioAssetId : i->videoAssetId) = asset->id;
                (audio ? i->audioName : i->videoName) = asset->filename;
            }
        }
        if (p) {
            m_p.refreshReadiness(*p);
        }
        audit(admin, payload.action, QStringLiteral("asset"), payload.id,
              QStringLiteral("%1素材 %2")
                  .arg(archive ? QStringLiteral("归档") : QStringLiteral("恢复"), asset->filename));
        return okReply();
    }
    refuse(400, errUnknownAction);
}

// --- Assets ----------------------------------------------------------------------------------

FakeReply Endpoints::downloadAsset()
{
    const FakeAccount &account = caller();
    FakeProject &p = project(query(QStringLiteral("projectId")));
    if (!p.memberForAccount(account.account.id) && !account.account.superAdmin()) {
        refuse(403, errNotMember);
    }
    const RundownItem &target = item(p, query(QStringLiteral("itemId")));
    const QString category = query(QStringLiteral("category"));
    const std::optional<QString> &assetId = category == QStringLiteral("audio")   ? target.audioAssetId
                                            : category == QStringLiteral("video") ? target.videoAssetId
                                                                                  : std::optional<QString>();
    const FakeAsset *asset = assetId ? m_p.asset(*assetId) : nullptr;
    if (!asset || asset->trashedAt) {
        refuse(404, QStringLiteral("素材不存在"));
    }
    FakeReply reply;
    reply.body = asset->bytes;
    reply.contentType = mimeTypeFor(asset->filename).toLatin1();
    const bool inline_ = optionalQuery(QStringLiteral("inline")) == QStringLiteral("1");
    reply.headers.append({"Content-Disposition", (inline_ ? "inline" : "attachment") +
                                                     QByteArray("; filename*=UTF-8''") +
                                                     QUrl::toPercentEncoding(asset->filename)});
    return reply;
}

FakeReply Endpoints::uploadAsset()
{
    caller(); // a missing sign-in outranks a malformed body
    if (!m_call.contentType.startsWith("multipart/form-data")) {
        refuse(400, errBadRequest);
    }
    const auto parts = parseMultipart(m_call.contentType, m_call.body);
    if (!parts) {
        refuse(400, errBadRequest);
    }
    QHash<QString, QString> fields;
    const MultipartPart *file = nullptr;
    for (const MultipartPart &part : *parts) {
        if (part.name == QStringLiteral("file") && part.filename) {
            file = &part;
        } else {
            fields.insert(part.name, QString::fromUtf8(part.content));
        }
    }
    static const QStringList required = {QStringLiteral("projectId"), QStringLiteral("itemId"),
                                         QStringLiteral("category"), QStringLiteral("durationSeconds")};
    for (const QString &name : required) {
        if (!fields.contains(name)) {
            refuse(400, QStringLiteral("上传内容不完整"));
        }
    }
    if (!file) {
        refuse(400, QStringLiteral("上传内容不完整"));
    }
    const QString category = fields.value(QStringLiteral("category"));
    if (category != QStringLiteral("audio") && category != QStringLiteral("video")) {
        refuse(400, QStringLiteral("素材类别无效"));
    }
    if (file->content.isEmpty() || file->content.size() > 209715200) {
        refuse(400, QStringLiteral("文件为空或超过 200MB"));
    }
    const Access a = access(fields.value(QStringLiteral("projectId")));
    RundownItem &target = item(*a.project, fields.value(QStringLiteral("itemId")));
    if (!canUpload(a, target, category)) {
        refuse(403, errForbidden);
    }
    requireUnfrozen(a);
    const int duration = std::max(0, fields.value(QStringLiteral("durationSeconds")).toInt());

    // A replaced file stays recoverable in the recycle bin.
    const std::optional<QString> previous =
        category == QStringLiteral("audio") ? target.audioAssetId : target.videoAssetId;
    if (previous) {
        if (FakeAsset *old = m_p.asset(*previous)) {
            old->trashedAt = m_p.now();
        }
    }
    const QString itemId = target.id;
    const QString assetId =
        m_p.attachAsset(a.project->summary.id, itemId, category, *file->filename, file->content, duration);
    RundownItem &updated = item(*a.project, itemId);
    bool durationUpdated = false;
    if (duration > 0 && (updated.duration == 0 || updated.durationSource != QStringLiteral("manual"))) {
        updated.duration = duration;
        updated.durationSource = category;
        durationUpdated = true;
    }
    const AssetUploadResponse response{
        true,
        assetId,
        *file->filename,
        updated.duration,
        updated.durationSource,
        updated.audioDuration,
        updated.videoDuration,
        durationUpdated,
    };
    return jsonReply(response.toJson());
}

} // namespace

namespace FakeQuery {

std::optional<QString> item(const QByteArray &rawQuery, const QString &name)
{
    const QByteArray wanted = name.toUtf8();
    for (const QByteArray &pair : rawQuery.split('&')) {
        const qsizetype eq = pair.indexOf('=');
        const QByteArray key = eq < 0 ? pair : pair.left(eq);
        if (percentDecode(key) == wanted) {
            return QString::fromUtf8(percentDecode(eq < 0 ? QByteArray() : pair.mid(eq + 1)));
        }
    }
    return std::nullopt;
}

QList<QByteArray> names(const QByteArray &rawQuery)
{
    QList<QByteArray> out;
    if (rawQuery.isEmpty()) {
        return out;
    }
    for (const QByteArray &pair : rawQuery.split('&')) {
        const qsizetype eq = pair.indexOf('=');
        out.append(eq < 0 ? pair : pair.left(eq));
    }
    return out;
}

} // namespace FakeQuery

FakeReply answerCall(FakePlatform &platform, const FakeCall &call)
{
    return Endpoints(platform, call).run();
}
