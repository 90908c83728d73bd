#include "ProjectRecords.h"

#include "rules/TextRules.h"
#include "json/Json.h"

using json::Reader;
using json::Writer;
using L = QLatin1StringView;

QString Account::maskedPhone() const
{
    if (TextRules::characterCount(phone) < 7) {
        return phone;
    }
    return TextRules::prefixCharacters(phone, 3) + QStringLiteral("****") +
           TextRules::suffixCharacters(phone, 4);
}

Account Account::fromJson(const QJsonObject &o)
{
    const Reader r(o);
    return Account{
        r.required<QString>(L("id")),        r.required<QString>(L("name")),
        r.optional<QString>(L("nickname")),  r.required<QString>(L("phone")),
        r.optional<bool>(L("isSuperAdmin")),
    };
}

QJsonObject Account::toJson() const
{
    return Writer()
        .put(L("id"), id)
        .put(L("name"), name)
        .put(L("nickname"), nickname)
        .put(L("phone"), phone)
        .put(L("isSuperAdmin"), isSuperAdmin)
        .object();
}

Membership Membership::fromJson(const QJsonObject &o)
{
    const Reader r(o);
    return Membership{
        r.required<QString>(L("id")),
        r.required<QString>(L("projectId")),
        r.required<QString>(L("name")),
        r.required<QString>(L("role")),
    };
}

QJsonObject Membership::toJson() const
{
    return Writer()
        .put(L("id"), id)
        .put(L("projectId"), projectId)
        .put(L("name"), name)
        .put(L("role"), role)
        .object();
}

ProjectSummary ProjectSummary::fromJson(const QJsonObject &o)
{
    const Reader r(o);
    return ProjectSummary{
        r.required<QString>(L("id")),        r.required<QString>(L("name")),
        r.required<QString>(L("eventDate")), r.required<QString>(L("startTime")),
        r.required<QString>(L("status")),    r.optional<QString>(L("venue")),
        r.optional<bool>(L("flowFrozen")),
    };
}

QJsonObject ProjectSummary::toJson() const
{
    return Writer()
        .put(L("id"), id)
        .put(L("name"), name)
        .put(L("eventDate"), eventDate)
        .put(L("startTime"), startTime)
        .put(L("status"), status)
        .put(L("venue"), venue)
        .put(L("flowFrozen"), flowFrozen)
        .object();
}

ProjectMember ProjectMember::fromJson(const QJsonObject &o)
{
    const Reader r(o);
    return ProjectMember{
        r.required<QString>(L("id")),          r.optional<QString>(L("accountId")),
        r.optional<QString>(L("projectId")),   r.required<QString>(L("name")),
        r.required<QString>(L("role")),        r.required<QString>(L("detail")),
        r.required<QString>(L("color")),       r.optional<QString>(L("passAreas")),
        r.optional<QString>(L("checkedInAt")), r.optional<QString>(L("checkedInBy")),
    };
}

QJsonObject ProjectMember::toJson() const
{
    return Writer()
        .put(L("id"), id)
        .put(L("accountId"), accountId)
        .put(L("projectId"), projectId)
        .put(L("name"), name)
        .put(L("role"), role)
        .put(L("detail"), detail)
        .put(L("color"), color)
        .put(L("passAreas"), passAreas)
        .put(L("checkedInAt"), checkedInAt)
        .put(L("checkedInBy"), checkedInBy)
        .object();
}

PerformerGroup PerformerGroup::fromJson(const QJsonObject &o)
{
    const Reader r(o);
    return PerformerGroup{
        r.required<QString>(L("id")),
        r.required<QString>(L("name")),
        r.required<QString>(L("decision")),
        r.required<QStringList>(L("memberIds")),
    };
}

QJsonObject PerformerGroup::toJson() const
{
    return Writer()
        .put(L("id"), id)
        .put(L("name"), name)
        .put(L("decision"), decision)
        .put(L("memberIds"), memberIds)
        .object();
}

MakeupShift MakeupShift::fromJson(const QJsonObject &o)
{
    const Reader r(o);
    return MakeupShift{
        r.required<QString>(L("artistMemberId")),
        r.required<QString>(L("startTime")),
        r.required<QString>(L("endTime")),
        r.required<QString>(L("location")),
    };
}

QJsonObject MakeupShift::toJson() const
{
    return Writer()
        .put(L("artistMemberId"), artistMemberId)
        .put(L("startTime"), startTime)
        .put(L("endTime"), endTime)
        .put(L("location"), location)
        .object();
}

MakeupAssignment MakeupAssignment::fromJson(const QJsonObject &o)
{
    const Reader r(o);
    return MakeupAssignment{
        r.required<QString>(L("memberId")),      r.required<QString>(L("artistMemberId")),
        r.required<QString>(L("scheduledTime")), r.required<qint64>(L("durationMinutes")),
        r.required<QString>(L("status")),
    };
}

QJsonObject MakeupAssignment::toJson() const
{
    return Writer()
        .put(L("memberId"), memberId)
        .put(L("artistMemberId"), artistMemberId)
        .put(L("scheduledTime"), scheduledTime)
        .put(L("durationMinutes"), durationMinutes)
        .put(L("status"), status)
        .object();
}

ProjectOperations ProjectOperations::fromJson(const QJsonObject &o)
{
    const Reader r(o);
    return ProjectOperations{
        r.required<QString>(L("noticeTitle")),     r.required<QString>(L("noticeContent")),
        r.required<QString>(L("assemblyTime")),    r.required<QString>(L("checkinLocation")),
        r.required<QString>(L("rehearsalTime")),   r.required<QString>(L("dinnerNote")),
        r.required<QString>(L("noticeUpdatedAt")), r.required<QStringList>(L("confirmedMemberIds")),
    };
}

QJsonObject ProjectOperations::toJson() const
{
    return Writer()
        .put(L("noticeTitle"), noticeTitle)
        .put(L("noticeContent"), noticeContent)
        .put(L("assemblyTime"), assemblyTime)
        .put(L("checkinLocation"), checkinLocation)
        .put(L("rehearsalTime"), rehearsalTime)
        .put(L("dinnerNote"), dinnerNote)
        .put(L("noticeUpdatedAt"), noticeUpdatedAt)
        .put(L("confirmedMemberIds"), confirmedMemberIds)
        .object();
}
