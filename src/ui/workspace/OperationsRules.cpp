#include "OperationsRules.h"

#include "rules/PermissionPolicy.h"

namespace OperationsRules {

bool canManage(const std::optional<ProjectDetailResponse> &detail)
{
    return detail && PermissionPolicy::canManageOperations(detail->membership.role);
}

bool confirmed(const std::optional<ProjectDetailResponse> &detail)
{
    return detail && detail->operations.confirmedMemberIds.contains(detail->membership.id);
}

ConfirmationControl confirmationControl(const ProjectOperations &operations, bool confirmed)
{
    if (confirmed) {
        return ConfirmationControl::confirmedLabel;
    }
    return operations.noticeContent.isEmpty() ? ConfirmationControl::none
                                              : ConfirmationControl::confirmButton;
}

QString cardLine(const QString &value)
{
    return value.isEmpty() ? QStringLiteral("待发布") : value;
}

QString noticeHeading(const ProjectOperations &operations)
{
    return operations.noticeTitle.isEmpty() ? QStringLiteral("活动公告") : operations.noticeTitle;
}

QString noticeText(const ProjectOperations &operations)
{
    return operations.noticeContent.isEmpty() ? QStringLiteral("导演组尚未发布活动公告。")
                                              : operations.noticeContent;
}

QString confirmationCount(const ProjectDetailResponse &detail)
{
    return QStringLiteral("%1/%2 已确认")
        .arg(detail.operations.confirmedMemberIds.size())
        .arg(detail.members.size());
}

bool showsMakeupSummary(const ProjectDetailResponse &detail)
{
    return !detail.makeupShifts.isEmpty() || !detail.makeup.isEmpty();
}

QList<MakeupSummaryRow> makeupSummary(const ProjectDetailResponse &detail)
{
    QList<MakeupSummaryRow> rows;
    rows.reserve(detail.makeupShifts.size());
    for (const MakeupShift &shift : detail.makeupShifts) {
        MakeupSummaryRow row;
        row.artistName = QStringLiteral("化妆师");
        for (const ProjectMember &member : detail.members) {
            if (member.id == shift.artistMemberId) {
                row.artistName = member.name;
                break;
            }
        }
        row.timeSpan = shift.startTime + QChar(0x2013) + shift.endTime;
        row.place = shift.location.isEmpty() ? QStringLiteral("地点待定") : shift.location;
        for (const MakeupAssignment &assignment : detail.makeup) {
            if (assignment.artistMemberId == shift.artistMemberId) {
                ++row.count;
            }
        }
        rows.append(row);
    }
    return rows;
}

ProjectOperations publishedOperations(QString noticeTitle, QString noticeContent, QString assemblyTime,
                                      QString checkinLocation, QString rehearsalTime, QString dinnerNote)
{
    ProjectOperations operations;
    operations.noticeTitle = std::move(noticeTitle);
    operations.noticeContent = std::move(noticeContent);
    operations.assemblyTime = std::move(assemblyTime);
    operations.checkinLocation = std::move(checkinLocation);
    operations.rehearsalTime = std::move(rehearsalTime);
    operations.dinnerNote = std::move(dinnerNote);
    return operations;
}

} // namespace OperationsRules
