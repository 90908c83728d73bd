#pragma once

#include "models/Rundown.h"

#include <QList>
#include <QString>

// What the playback preparation page derives from the rundown, kept free of widgets.
namespace PreparationRules {

inline const QString audio = QStringLiteral("audio");
inline const QString video = QStringLiteral("video");

// One planned download: an item's asset of one category.
struct Job
{
    RundownItem item;
    QString category;
};

// Items with an uploaded asset of that kind, in rundown order.
QList<RundownItem> audioItems(const QList<RundownItem> &items);
QList<RundownItem> videoItems(const QList<RundownItem> &items);

QList<Job> jobs(const QList<RundownItem> &items, const QString &category);
// Every audio download first, then every video download; an item with both is listed twice.
QList<Job> allJobs(const QList<RundownItem> &items);

// The file name the download asks for: the audio name for "audio", the video name otherwise.
QString fileName(const RundownItem &item, const QString &category);
// The shown text of a failed download: the item's title, a full-width colon, the error.
QString failureMessage(const RundownItem &item, const QString &errorDescription);

struct ButtonStates
{
    bool audio = false;
    bool video = false;
    bool all = false;
};
// role is empty while no detail is loaded.
ButtonStates buttonStates(const QString &role, bool preparing, qsizetype audioCount, qsizetype videoCount);

// The value of the run card: "completed/total" while running, else "待开始".
QString runValue(bool preparing, int completed, int total);

} // namespace PreparationRules
