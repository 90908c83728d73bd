#include "MembersRules.h"

#include "rules/TextRules.h"

namespace MembersRules {

namespace {

// Unicode general categories L, M and N.
bool isAlphanumeric(char32_t c)
{
    switch (QChar::category(c)) {
    case QChar::Letter_Uppercase:
    case QChar::Letter_Lowercase:
    case QChar::Letter_Titlecase:
    case QChar::Letter_Modifier:
    case QChar::Letter_Other:
    case QChar::Mark_NonSpacing:
    case QChar::Mark_SpacingCombining:
    case QChar::Mark_Enclosing:
    case QChar::Number_DecimalDigit:
    case QChar::Number_Letter:
    case QChar::Number_Other:
        return true;
    default:
        return false;
    }
}

int hexDigit(char32_t c)
{
    if (c >= U'0' && c <= U'9') {
        return int(c - U'0');
    }
    if (c >= U'a' && c <= U'f') {
        return int(c - U'a') + 10;
    }
    if (c >= U'A' && c <= U'F') {
        return int(c - U'A') + 10;
    }
    return -1;
}

} // namespace

MemberCounts countMembers(const QList<ProjectMember> &members)
{
    MemberCounts counts;
    counts.total = int(members.size());
    for (const ProjectMember &m : members) {
        if (m.isRegistered()) {
            ++counts.registered;
        }
        if (m.isCheckedIn()) {
            ++counts.checkedIn;
        } else {
            ++counts.waiting;
        }
    }
    return counts;
}

QList<ProjectMember> filterMembers(const QList<ProjectMember> &members, const QString &query)
{
    if (query.isEmpty()) {
        return members;
    }
    QList<ProjectMember> result;
    for (const ProjectMember &m : members) {
        if ((m.name + m.role + m.detail).contains(query, Qt::CaseInsensitive)) {
            result.append(m);
        }
    }
    return result;
}

quint64 colorValue(const QString &text)
{
    const QList<uint> scalars = text.toUcs4();
    qsizetype begin = 0;
    qsizetype end = scalars.size();
    while (begin < end && !isAlphanumeric(scalars[begin])) {
        ++begin;
    }
    while (end > begin && !isAlphanumeric(scalars[end - 1])) {
        --end;
    }
    if (begin == end) {
        return fallbackColorValue;
    }
    quint64 value = 0;
    int significant = 0;
    for (qsizetype i = begin; i < end; ++i) {
        const int digit = hexDigit(scalars[i]);
        if (digit < 0) {
            return fallbackColorValue;
        }
        if (significant > 0 || digit != 0) {
            if (++significant > 16) {
                return fallbackColorValue;
            }
        }
        value = (value << 4) | quint64(digit);
    }
    return value;
}

QColor color(const QString &text)
{
    const quint64 value = colorValue(text);
    return QColor::fromRgb(int((value >> 16) & 0xFF), int((value >> 8) & 0xFF), int(value & 0xFF));
}

QString avatarText(const QString &name)
{
    return TextRules::prefixCharacters(name, 1);
}

bool workPassEnabled(bool canManage, bool ownRow, bool registered)
{
    return registered && (canManage || ownRow);
}

bool checkInEnabled(bool canManage, bool ownRow, bool checkedIn, bool checkInRunning)
{
    if (checkInRunning) {
        return false;
    }
    return canManage || (ownRow && !checkedIn);
}

QString checkInLabel(bool canManage, bool checkedIn)
{
    if (checkedIn) {
        return QStringLiteral("✓ 已签到");
    }
    return canManage ? QStringLiteral("代签到") : QStringLiteral("签到");
}

bool inviteShown(bool canManage, bool registered)
{
    return canManage && !registered;
}

QString inviteStartingRole(const QString &memberRole)
{
    return memberRole == QStringLiteral("总导演") ? QStringLiteral("副导演") : memberRole;
}

} // namespace MembersRules
