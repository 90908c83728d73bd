#pragma once

#include "models/ProjectRecords.h"
#include "models/Rundown.h"

#include <QList>
#include <QString>

#include <optional>

// What the arrangements page derives from the loaded project detail, kept free of widgets.
// No text is trimmed: a field is empty only when it has no characters.
namespace OperationsRules {

// Directors edit and publish the arrangements and see the risk board.
bool canManage(const std::optional<ProjectDetailResponse> &detail);
// The signed-in member's id is among the confirmations of the current notice.
bool confirmed(const std::optional<ProjectDetailResponse> &detail);

enum class ConfirmationControl {
    none,
    confirmButton,
    confirmedLabel,
};
ConfirmationControl confirmationControl(const ProjectOperations &operations, bool confirmed);

// A card's one line: the value, or "待发布" while nothing is published.
QString cardLine(const QString &value);
QString noticeHeading(const ProjectOperations &operations);
QString noticeText(const ProjectOperations &operations);
// "3/12 已确认": confirmations out of all members, registered or not.
QString confirmationCount(const ProjectDetailResponse &detail);

struct MakeupSummaryRow
{
    QString artistName;
    QString timeSpan;
    QString place;
    qsizetype count = 0;
};
bool showsMakeupSummary(const ProjectDetailResponse &detail);
// One row per shift, in list order.
QList<MakeupSummaryRow> makeupSummary(const ProjectDetailResponse &detail);

// What a publish sends: the six fields as typed; the service stamps the time and the
// confirmations start over.
ProjectOperations publishedOperations(QString noticeTitle, QString noticeContent, QString assemblyTime,
                                      QString checkinLocation, QString rehearsalTime, QString dinnerNote);

} // namespace OperationsRules
