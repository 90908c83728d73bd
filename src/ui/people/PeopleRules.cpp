#include "PeopleRules.h"

#include "rules/PermissionPolicy.h"
#include "rules/ProjectPermissions.h"
#include "rules/TextRules.h"

#include <algorithm>

namespace PeopleRules {

namespace {

const QString staffRole = QStringLiteral("工作人员");

bool isDirector(const QString &role)
{
    return role == QStringLiteral("总导演") || role == QStringLiteral("副导演");
}

QStringList sortedScalars(QStringList list)
{
    std::sort(list.begin(), list.end(), TextRules::scalarLess);
    return list;
}

} // namespace

const QStringList &presetAreas()
{
    static const QStringList areas = {QStringLiteral("内场"), QStringLiteral("外场")};
    return areas;
}

QSet<QString> areasFromText(const std::optional<QString> &passAreas)
{
    const QStringList parts = passAreas.value_or(QString()).split(areaSeparator, Qt::SkipEmptyParts);
    return QSet<QString>(parts.cbegin(), parts.cend());
}

QString areasText(const QString &role, const QSet<QString> &areas)
{
    if (role != staffRole) {
        return {};
    }
    return sortedScalars(QStringList(areas.cbegin(), areas.cend())).join(areaSeparator);
}

QStringList areaButtons(const QSet<QString> &areas)
{
    QStringList custom;
    for (const QString &area : areas) {
        if (!presetAreas().contains(area)) {
            custom.append(area);
        }
    }
    return presetAreas() + sortedScalars(custom);
}

QString filterPhone(const QString &typed)
{
    QString digits;
    bool plus = false;
    bool seenDigit = false;
    for (const QChar c : typed) {
        const char16_t u = c.unicode();
        if (u >= u'0' && u <= u'9') {
            digits.append(c);
            seenDigit = true;
        } else if (u >= 0xFF10 && u <= 0xFF19) { // full-width digits
            digits.append(QChar(u'0' + (u - 0xFF10)));
            seenDigit = true;
        } else if ((u == u'+' || u == 0xFF0B) && !seenDigit) {
            plus = true;
        }
    }
    if (plus) {
        if (digits.startsWith(QStringLiteral("86"))) {
            return digits.mid(2);
        }
        return QStringLiteral("+") + digits;
    }
    // "0086" is dropped only once the rest could be a number, so typing it stays possible.
    if (digits.startsWith(QStringLiteral("0086")) && digits.size() > 11) {
        return digits.mid(4);
    }
    return digits;
}

bool phoneSendable(const QString &phone)
{
    return phone.size() == 11 &&
           std::all_of(phone.cbegin(), phone.cend(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

QString shareText(const QString &name, const QString &inviterName, const QString &role,
                  const QString &projectName, const QString &link)
{
    return name + QStringLiteral("，您好！") + inviterName + QStringLiteral(" 邀请您以“") + role +
           QStringLiteral("”身份加入《") + projectName +
           QStringLiteral("》。点击链接登录后即可进入演出流程：") + link;
}

PassColour passColour(const QString &role)
{
    if (isDirector(role)) {
        return PassColour::green;
    }
    if (role == QStringLiteral("演员") || role == QStringLiteral("主持人")) {
        return PassColour::orange;
    }
    return PassColour::blue;
}

QString passAccess(const QString &role, const std::optional<QString> &passAreas)
{
    if (isDirector(role)) {
        return QStringLiteral("全区域通行");
    }
    if (role == QStringLiteral("演员") || role == QStringLiteral("主持人")) {
        return QStringLiteral("前台及后台");
    }
    if (passAreas && !passAreas->isEmpty()) {
        return *passAreas;
    }
    return QStringLiteral("通行区域待分配");
}

bool canManageGroups(const std::optional<ProjectDetailResponse> &detail)
{
    return PermissionPolicy::isManager(detail);
}

QList<PerformerGroup> groupsWithDecision(const std::optional<ProjectDetailResponse> &detail,
                                         const QString &decision)
{
    QList<PerformerGroup> out;
    if (detail) {
        std::copy_if(detail->performerGroups.cbegin(), detail->performerGroups.cend(),
                     std::back_inserter(out),
                     [&](const PerformerGroup &g) { return g.decision == decision; });
    }
    return out;
}

QStringList candidateNames(const std::optional<ProjectDetailResponse> &detail)
{
    if (!detail) {
        return {};
    }
    QSet<QString> seen; // NFC forms
    for (const PerformerGroup &group : detail->performerGroups) {
        seen.insert(group.name.normalized(QString::NormalizationForm_C));
    }
    QStringList names;
    for (const RundownItem &item : detail->items) {
        for (const QString &name : PermissionPolicy::people(item.performers)) {
            const QString canonical = name.normalized(QString::NormalizationForm_C);
            if (!seen.contains(canonical)) {
                seen.insert(canonical);
                names.append(name);
            }
        }
    }
    return sortedScalars(names);
}

QList<ProjectMember> resolvedMembers(const PerformerGroup &group, const QList<ProjectMember> &members)
{
    QList<ProjectMember> out;
    for (const QString &id : group.memberIds) {
        const auto found = std::find_if(members.cbegin(), members.cend(),
                                        [&](const ProjectMember &m) { return m.id == id; });
        if (found != members.cend()) {
            out.append(*found);
        }
    }
    return out;
}

bool allRegistered(const QList<ProjectMember> &resolved)
{
    return !resolved.isEmpty() && std::all_of(resolved.cbegin(), resolved.cend(),
                                              [](const ProjectMember &m) { return m.isRegistered(); });
}

QList<ProjectMember> pickerMembers(const PerformerGroup &group, const QList<ProjectMember> &members,
                                   const QString &query)
{
    QList<ProjectMember> out;
    for (const ProjectMember &m : members) {
        if (group.memberIds.contains(m.id)) {
            continue;
        }
        if (query.isEmpty() || (m.name + m.role + m.detail).contains(query, Qt::CaseInsensitive)) {
            out.append(m);
        }
    }
    return out;
}

const QStringList &makeupStatuses()
{
    static const QStringList statuses = {QStringLiteral("待化妆"), QStringLiteral("化妆中"),
                                         QStringLiteral("已完成"), QStringLiteral("迟到/需调整")};
    return statuses;
}

MakeupBoardModel makeupBoard(const ProjectDetailResponse &detail, bool canManage)
{
    MakeupBoardModel model;
    for (const ProjectMember &m : detail.members) {
        if (!model.currentMember && m.id == detail.membership.id) {
            model.currentMember = m;
        }
        if (m.role == makeupArtistRole) {
            model.artists.append(m);
        }
    }
    const bool ownArtist = model.currentMember && model.currentMember->role == makeupArtistRole;
    model.visible = canManage || ownArtist;
    model.artistOwnView = !canManage && ownArtist;
    if (canManage) {
        model.shiftRows = model.artists;
        model.visibleAssignments = detail.makeup;
    } else if (ownArtist) {
        for (const ProjectMember &a : std::as_const(model.artists)) {
            if (a.id == model.currentMember->id) {
                model.shiftRows.append(a);
            }
        }
        for (const MakeupAssignment &a : detail.makeup) {
            if (a.artistMemberId == model.currentMember->id) {
                model.visibleAssignments.append(a);
            }
        }
    }
    return model;
}

std::optional<MakeupShift> shiftOf(const ProjectDetailResponse &detail, const QString &artistId)
{
    for (const MakeupShift &shift : detail.makeupShifts) {
        if (shift.artistMemberId == artistId) {
            return shift;
        }
    }
    return std::nullopt;
}

QList<ProjectMember> assignableMembers(const ProjectDetailResponse &detail)
{
    QList<ProjectMember> out;
    for (const ProjectMember &m : detail.members) {
        const bool assigned = std::any_of(detail.makeup.cbegin(), detail.makeup.cend(),
                                          [&](const MakeupAssignment &a) { return a.memberId == m.id; });
        if (m.role != makeupArtistRole && !assigned) {
            out.append(m);
        }
    }
    return out;
}

bool canAssign(const ProjectDetailResponse &detail, const QString &memberId, const QString &artistId,
               bool saving)
{
    return !memberId.isEmpty() && !artistId.isEmpty() && !saving && shiftOf(detail, artistId).has_value();
}

int steppedDuration(int value, int direction)
{
    const int next = value + (direction > 0 ? durationStep : -durationStep);
    return std::clamp(next, minimumDuration, maximumDuration);
}

bool canStepDuration(int value, int direction)
{
    return direction > 0 ? value < maximumDuration : value > minimumDuration;
}

} // namespace PeopleRules
