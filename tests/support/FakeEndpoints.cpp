#include "FakeEndpoints.h"
#include "FakeEndpointsInternal.h"

namespace fake {

FakeReply jsonReply(const QJsonObject &object, int status)
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

} // namespace fake

namespace FakeQuery {

std::optional<QString> item(const QByteArray &rawQuery, const QString &name)
{
    const QByteArray wanted = name.toUtf8();
    for (const QByteArray &pair : rawQuery.split('&')) {
        const qsizetype eq = pair.indexOf('=');
        const QByteArray key = eq < 0 ? pair : pair.left(eq);
        if (fake::percentDecode(key) == wanted) {
            return QString::fromUtf8(fake::percentDecode(eq < 0 ? QByteArray() : pair.mid(eq + 1)));
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

FakeReply beginCall(FakePlatform &platform, const FakeCall &call)
{
    if (call.spreadsheet) {
        return fake::Endpoints(platform, call).run();
    }
    FakeCall prepared = call;
    prepareCall(prepared);
    return fake::Endpoints(platform, prepared).run();
}

FakeReply answerCall(FakePlatform &platform, const FakeCall &call)
{
    FakeReply reply = beginCall(platform, call);
    if (const auto finish = std::exchange(reply.finish, {})) {
        finish(reply);
    }
    return reply;
}
