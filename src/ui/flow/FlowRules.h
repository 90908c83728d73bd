#pragma once

#include "models/Rundown.h"

#include <QColor>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// The program types the type selector offers; any other stored type is a legacy type.
namespace ProgramTypeCatalog {
extern const QStringList standard;
}

// The rundown page's role rules and derived values, as free functions over the page's copy of
// the project. Every rule is false without a detail.
namespace FlowRules {

using Detail = std::optional<ProjectDetailResponse>;

inline const QString allStatuses = QStringLiteral("全部");

bool canManage(const Detail &detail);
bool canFreeze(const Detail &detail);
bool canControlPlayback(const Detail &detail);
bool canOutputAudio(const Detail &detail);
bool canOutputVideo(const Detail &detail);
bool flowFrozen(const Detail &detail);
bool canEdit(const Detail &detail, const RundownItem &item);
bool canEditScript(const Detail &detail, const RundownItem &item);
bool canUpload(const Detail &detail, const RundownItem &item);
bool canConfigureLottery(const Detail &detail, const RundownItem &item);
bool canOperateLottery(const Detail &detail, const RundownItem &item);

// The items the table shows: search over title + performers + owner, then the readiness filter.
QList<RundownItem> visibleItems(const Detail &detail, const QString &query, const QString &readinessFilter);
// Whether visibleItems keeps `item`.
bool isVisible(const RundownItem &item, const QString &query, const QString &readinessFilter);
std::optional<RundownItem> liveItem(const Detail &detail);
std::optional<RundownItem> liveItem(const QList<RundownItem> &items);
std::optional<RundownItem> nextItem(const Detail &detail);
// Start time text per item id, counting on from the project start over empty start times.
QHash<QString, QString> timeMap(const Detail &detail);

// The running clock of timeMap, one item at a time: next() takes the items of detail.items in
// list order and gives each one's start time text. Without a text per item to format: a start
// counted on is one of the shared texts of the minutes of a day.
class StartClock
{
public:
    explicit StartClock(const Detail &detail);
    // Counting on from `clock`, as after an earlier item.
    explicit StartClock(qint64 clock)
        : m_clock(clock)
    {}
    const QString &next(const RundownItem &item);
    // Where an item without a start of its own would start now, in seconds.
    qint64 clock() const { return m_clock; }

private:
    qint64 m_clock = 0;
    QString m_text; // a count outside the day's minutes
};

// "HH:mm" with 0..23 and 0..59 to seconds since midnight; pieces that are not numbers are dropped.
std::optional<int> clockSeconds(const QString &text);
QStringList people(const QString &text);
// The type or, when it has none, the title mentions a lottery.
bool isLotteryItem(const RundownItem &item);
QColor typeColor(const QString &type);
QColor rowColor(const RundownItem &item);
// Colour of the readiness capsule.
QColor statusColor(const QString &status);

// Cell texts and checks of the table's editors.
bool isValidStartTime(const QString &text);
bool isValidDuration(const QString &text);
// Minutes and seconds of a duration text; none unless exactly two numbers.
std::optional<qint64> durationSeconds(const QString &text);
QString durationText(qint64 seconds);

// Whether two items would be drawn alike (every field compared).
bool sameItem(const RundownItem &a, const RundownItem &b);

struct ReadinessCounts
{
    int total = 0;
    int ready = 0;
    int preparing = 0;
    int incomplete = 0;
};
ReadinessCounts readinessCounts(const QList<RundownItem> &items);
// Whole-number share of ready items, truncated: 29 of 50 is 58, 1 of 3 is 33, none is 0.
int readinessPercentage(int ready, int total);

// What the scans over the whole rundown (live item, next item, readiness counts) read of each
// item, packed beside detail.items: a poll that changes one item re-reads that one, and the scans
// read a few cache lines instead of every item.
class ItemMarks
{
public:
    void rebuild(const QList<RundownItem> &items);
    // items [first, first + inserted) took the place of `removed` marked items.
    void update(const QList<RundownItem> &items, qsizetype first, qsizetype removed, qsizetype inserted);
    qsizetype size() const { return m_marks.size(); }
    // Indexes into the items, as liveItem and nextItem choose them.
    std::optional<qsizetype> liveIndex() const;
    std::optional<qsizetype> nextIndex() const;
    ReadinessCounts readinessCounts() const;

private:
    struct Mark
    {
        qint64 order = 0;
        quint8 readiness = 0; // 1 ready, 2 preparing, 3 incomplete
        bool live = false;
        bool finished = false;
    };
    static Mark markOf(const RundownItem &item);
    QList<Mark> m_marks;
};

} // namespace FlowRules
