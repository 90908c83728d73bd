#include "PreparationRules.h"

#include "rules/PermissionPolicy.h"

namespace PreparationRules {

QList<RundownItem> audioItems(const QList<RundownItem> &items)
{
    QList<RundownItem> result;
    for (const RundownItem &item : items) {
        if (item.hasAudio()) {
            result.append(item);
        }
    }
    return result;
}

QList<RundownItem> videoItems(const QList<RundownItem> &items)
{
    QList<RundownItem> result;
    for (const RundownItem &item : items) {
        if (item.hasVideo()) {
            result.append(item);
        }
    }
    return result;
}

QList<Job> jobs(const QList<RundownItem> &items, const QString &category)
{
    QList<Job> result;
    result.reserve(items.size());
    for (const RundownItem &item : items) {
        result.append({item, category});
    }
    return result;
}

QList<Job> allJobs(const QList<RundownItem> &items)
{
    return jobs(audioItems(items), audio) + jobs(videoItems(items), video);
}

QString fileName(const RundownItem &item, const QString &category)
{
    return category == audio ? item.audioName : item.videoName;
}

QString failureMessage(const RundownItem &item, const QString &errorDescription)
{
    const QString title = item.title.isEmpty() ? QStringLiteral("未命名节目") : item.title;
    return title + QStringLiteral("：") + errorDescription;
}

ButtonStates buttonStates(const QString &role, bool preparing, qsizetype audioCount, qsizetype videoCount)
{
    const bool canAudio = PermissionPolicy::canPrepareAudio(role);
    const bool canVideo = PermissionPolicy::canPrepareVideo(role);
    ButtonStates states;
    states.audio = canAudio && !preparing && audioCount > 0;
    states.video = canVideo && !preparing && videoCount > 0;
    states.all = canAudio && canVideo && !preparing && (audioCount > 0 || videoCount > 0);
    return states;
}

QString runValue(bool preparing, int completed, int total)
{
    if (!preparing) {
        return QStringLiteral("待开始");
    }
    return QString::number(completed) + QLatin1Char('/') + QString::number(total);
}

} // namespace PreparationRules
