#include "PermissionPolicy.h"

#include "TextRules.h"

QString rawValue(ProjectRole role)
{
    switch (role) {
    case ProjectRole::chiefDirector:
        return QStringLiteral("总导演");
    case ProjectRole::deputyDirector:
        return QStringLiteral("副导演");
    case ProjectRole::programOwner:
        return QStringLiteral("节目负责人");
    case ProjectRole::host:
        return QStringLiteral("主持人");
    case ProjectRole::performer:
        return QStringLiteral("演员");
    case ProjectRole::staff:
        return QStringLiteral("工作人员");
    case ProjectRole::soundEngineer:
        return QStringLiteral("音响师");
    case ProjectRole::videoEngineer:
        return QStringLiteral("视频师");
    case ProjectRole::makeupArtist:
        return QStringLiteral("化妆师");
    }
    return {};
}

namespace PermissionPolicy {

namespace {

bool isOneOf(const QString &role, std::initializer_list<ProjectRole> roles)
{
    for (ProjectRole r : roles) {
        if (role == rawValue(r)) {
            return true;
        }
    }
    return false;
}

bool isNameSeparator(QChar c)
{
    switch (c.unicode()) {
    case 0x3001: // 、
    case 0xFF0C: // ，
    case u',':
    case u'&':
    case 0xFF06: // ＆
    case u'/':
    case u'+':
    case u';':
    case 0xFF1B: // ；
    case u'\n':
        return true;
    default:
        return false;
    }
}

} // namespace

bool isManager(const QString &role)
{
    return isOneOf(role, {ProjectRole::chiefDirector, ProjectRole::deputyDirector});
}

bool canManageMembers(const QString &role)
{
    return isManager(role);
}

bool canManageOperations(const QString &role)
{
    return isManager(role);
}

bool canOpenPlayback(const QString &role)
{
    return isOneOf(role, {ProjectRole::chiefDirector, ProjectRole::deputyDirector, ProjectRole::soundEngineer,
                          ProjectRole::videoEngineer});
}

bool canPrepareAudio(const QString &role)
{
    return isOneOf(role,
                   {ProjectRole::chiefDirector, ProjectRole::deputyDirector, ProjectRole::soundEngineer});
}

bool canPrepareVideo(const QString &role)
{
    return isOneOf(role,
                   {ProjectRole::chiefDirector, ProjectRole::deputyDirector, ProjectRole::videoEngineer});
}

QStringList people(const QString &text)
{
    QStringList names;
    qsizetype start = 0;
    const auto take = [&](qsizetype end) {
        QString piece = TextRules::trimmed(QStringView(text).mid(start, end - start));
        if (!piece.isEmpty()) {
            names.append(std::move(piece));
        }
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (isNameSeparator(text.at(i))) {
            take(i);
            start = i + 1;
        }
    }
    take(text.size());
    return names;
}

QString joinNames(const QStringList &names)
{
    return names.join(QChar(0x3001));
}

} // namespace PermissionPolicy
