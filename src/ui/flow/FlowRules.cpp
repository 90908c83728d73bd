#include "FlowRules.h"
#include "json/SameRecord.h"

#include "common/Theme.h"
#include "rules/PermissionPolicy.h"
#include "rules/TextRules.h"

#include <QRegularExpression>

#include <cstring>

namespace ProgramTypeCatalog {
const QStringList standard = {
    QString(),
    QStringLiteral("歌曲"),
    QStringLiteral("舞蹈"),
    QStringLiteral("主持"),
    QStringLiteral("互动"),
    QStringLiteral("抽奖"),
    QStringLiteral("访谈"),
    QStringLiteral("颁奖"),
    QStringLiteral("VCR"),
    QStringLiteral("换场"),
    QStringLiteral("节目"),
};
}

namespace FlowRules {

namespace {

const QString chief = QStringLiteral("总导演");
const QString deputy = QStringLiteral("副导演");
const QString owner = QStringLiteral("节目负责人");
const QString host = QStringLiteral("主持人");
const QString performer = QStringLiteral("演员");
const QString sound = QStringLiteral("音响师");
const QString video = QStringLiteral("视频师");

QString role(const Detail &detail)
{
    return detail ? detail->membership.role : QString();
}

bool isManagerRole(const QString &r)
{
    return r == chief || r == deputy;
}

bool named(const Detail &detail, const QString &names)
{
    return detail && people(names).contains(detail->membership.name);
}

bool ownsItem(const Detail &detail, const RundownItem &item)
{
    return role(detail) == owner && named(detail, item.owner);
}

bool hostOfItem(const Detail &detail, const RundownItem &item)
{
    return role(detail) == host && named(detail, item.performers);
}

// A performer may act for an item that names a confirmed group they belong to.
bool inNamedGroup(const Detail &detail, const RundownItem &item)
{
    if (named(detail, item.performers)) {
        return true;
    }
    const QStringList names = people(item.performers);
    for (const PerformerGroup &group : detail->performerGroups) {
        if (group.decision == QStringLiteral("group") && group.memberIds.contains(detail->membership.id) &&
            names.contains(group.name)) {
            return true;
        }
    }
    return false;
}

// A base-10 whole number with an optional sign and nothing else.
std::optional<qint64> wholeNumber(const QString &piece)
{
    qsizetype start = 0;
    if (piece.startsWith(QLatin1Char('+')) || piece.startsWith(QLatin1Char('-'))) {
        start = 1;
    }
    if (start >= piece.size()) {
        return std::nullopt;
    }
    for (qsizetype i = start; i < piece.size(); ++i) {
        const QChar c = piece.at(i);
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) {
            return std::nullopt;
        }
    }
    bool ok = false;
    const qint64 value = piece.toLongLong(&ok, 10);
    return ok ? std::optional<qint64>(value) : std::nullopt;
}

QList<qint64> numbers(const QString &text)
{
    QList<qint64> out;
    for (const QString &piece : text.split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
        if (const auto n = wholeNumber(piece)) {
            out.append(*n);
        }
    }
    return out;
}

// For the statuses the loops over every item compare: equal texts, without the general
// comparison's call per item.
bool isText(const QString &text, const QString &value)
{
    return text.size() == value.size() &&
           std::memcmp(text.constData(), value.constData(), std::size_t(text.size()) * sizeof(QChar)) == 0;
}

QColor withOpacity(QColor c, qreal opacity)
{
    c.setAlphaF(c.alphaF() * opacity);
    return c;
}

} // namespace

bool canManage(const Detail &detail)
{
    return isManagerRole(role(detail));
}

bool canFreeze(const Detail &detail)
{
    return role(detail) == chief;
}

bool canControlPlayback(const Detail &detail)
{
    const QString r = role(detail);
    return isManagerRole(r) || r == sound || r == video;
}

bool canOutputAudio(const Detail &detail)
{
    const QString r = role(detail);
    return isManagerRole(r) || r == sound;
}

bool canOutputVideo(const Detail &detail)
{
    const QString r = role(detail);
    return isManagerRole(r) || r == video;
}

bool flowFrozen(const Detail &detail)
{
    return detail && detail->project.isFlowFrozen();
}

bool canEdit(const Detail &detail, const RundownItem &item)
{
    if (!detail || flowFrozen(detail)) {
        return false;
    }
    return isManagerRole(role(detail)) || ownsItem(detail, item);
}

bool canEditScript(const Detail &detail, const RundownItem &item)
{
    if (!detail || flowFrozen(detail)) {
        return false;
    }
    return canEdit(detail, item) || hostOfItem(detail, item);
}

bool canUpload(const Detail &detail, const RundownItem &item)
{
    if (!detail || flowFrozen(detail)) {
        return false;
    }
    const QString r = role(detail);
    if (isManagerRole(r) || ownsItem(detail, item)) {
        return true;
    }
    return (r == performer || r == host) && inNamedGroup(detail, item);
}

bool canConfigureLottery(const Detail &detail, const RundownItem &item)
{
    return detail && (isManagerRole(role(detail)) || ownsItem(detail, item));
}

bool canOperateLottery(const Detail &detail, const RundownItem &item)
{
    return canConfigureLottery(detail, item) || (detail && hostOfItem(detail, item));
}

QList<RundownItem> visibleItems(const Detail &detail, const QString &query, const QString &readinessFilter)
{
    QList<RundownItem> out;
    if (!detail) {
        return out;
    }
    if (query.isEmpty() && readinessFilter == allStatuses) {
        return detail->items;
    }
    for (const RundownItem &item : detail->items) {
        if (isVisible(item, query, readinessFilter)) {
            out.append(item);
        }
    }
    return out;
}

bool isVisible(const RundownItem &item, const QString &query, const QString &readinessFilter)
{
    if (!query.isEmpty() &&
        !(item.title + item.performers + item.owner).contains(query, Qt::CaseInsensitive)) {
        return false;
    }
    return readinessFilter == allStatuses || item.status == readinessFilter;
}

std::optional<RundownItem> liveItem(const Detail &detail)
{
    return detail ? liveItem(detail->items) : std::nullopt;
}

std::optional<RundownItem> liveItem(const QList<RundownItem> &items)
{
    for (const RundownItem &item : items) {
        if (isText(item.liveStatus, RundownValues::live)) {
            return item;
        }
    }
    return std::nullopt;
}

std::optional<RundownItem> nextItem(const Detail &detail)
{
    if (!detail) {
        return std::nullopt;
    }
    const auto live = liveItem(detail);
    for (const RundownItem &item : detail->items) {
        if (isText(item.liveStatus, RundownValues::finished)) {
            continue;
        }
        if (!live || item.order > live->order) {
            return item;
        }
    }
    return std::nullopt;
}

QHash<QString, QString> timeMap(const Detail &detail)
{
    QHash<QString, QString> map;
    if (!detail) {
        return map;
    }
    map.reserve(detail->items.size());
    StartClock clock(detail);
    for (const RundownItem &item : detail->items) {
        map.insert(item.id, clock.next(item));
    }
    return map;
}

StartClock::StartClock(const Detail &detail)
    : m_clock(detail ? clockSeconds(detail->project.startTime).value_or(0) : 0)
{}

const QString &StartClock::next(const RundownItem &item)
{
    const auto own = clockSeconds(item.startTime);
    const qint64 t = own ? *own : m_clock;
    m_clock = t + item.duration;
    if (!item.startTime.isEmpty()) {
        return item.startTime;
    }
    static const QList<QString> minutesOfDay = [] {
        QList<QString> texts;
        texts.reserve(24 * 60);
        for (int h = 0; h < 24; ++h) {
            for (int m = 0; m < 60; ++m) {
                texts.append(QString::asprintf("%02d:%02d", h, m));
            }
        }
        return texts;
    }();
    if (t >= 0) {
        return minutesOfDay.at(((t / 3600) % 24) * 60 + (t / 60) % 60);
    }
    // A negative duration before it: the remainders are negative too.
    m_text = QString::asprintf("%02lld:%02lld", (t / 3600) % 24, (t / 60) % 60);
    return m_text;
}

std::optional<int> clockSeconds(const QString &text)
{
    if (text.isEmpty()) {
        return std::nullopt;
    }
    const QList<qint64> n = numbers(text);
    if (n.size() != 2 || n[0] < 0 || n[0] > 23 || n[1] < 0 || n[1] > 59) {
        return std::nullopt;
    }
    return static_cast<int>(n[0] * 3600 + n[1] * 60);
}

QStringList people(const QString &text)
{
    return PermissionPolicy::people(text);
}

bool isLotteryItem(const RundownItem &item)
{
    const QString lottery = QStringLiteral("抽奖");
    return item.type.contains(lottery) || item.title.contains(lottery);
}

QColor typeColor(const QString &type)
{
    using Theme::Colour;
    struct Rule
    {
        const char *text;
        Colour colour;
    };
    static const Rule rules[] = {
        {"主持", Colour::purple}, {"抽奖", Colour::orange}, {"互动", Colour::pink},
        {"歌", Colour::blue},     {"音乐", Colour::blue},   {"舞蹈", Colour::mint},
    };
    for (const Rule &rule : rules) {
        if (type.contains(QString::fromUtf8(rule.text))) {
            return Theme::colour(rule.colour);
        }
    }
    if (type.toUpper().contains(QStringLiteral("VCR"))) {
        return Theme::colour(Colour::teal);
    }
    static const Rule later[] = {
        {"访谈", Colour::indigo},
        {"颁奖", Colour::yellow},
        {"换场", Colour::brown},
    };
    for (const Rule &rule : later) {
        if (type.contains(QString::fromUtf8(rule.text))) {
            return Theme::colour(rule.colour);
        }
    }
    return Theme::colour(Colour::secondary);
}

QColor rowColor(const RundownItem &item)
{
    if (item.liveStatus == RundownValues::live) {
        return Theme::colour(Theme::Colour::green, 0.13);
    }
    if (item.liveStatus == RundownValues::finished) {
        return Theme::colour(Theme::Colour::grey, 0.1);
    }
    if (item.status == RundownValues::standingBy || item.status == RundownValues::preparing) {
        return Theme::colour(Theme::Colour::orange, 0.1);
    }
    return withOpacity(typeColor(item.type), 0.045);
}

QColor statusColor(const QString &status)
{
    if (status == RundownValues::ready) {
        return Theme::colour(Theme::Colour::green);
    }
    if (status == RundownValues::preparing) {
        return Theme::colour(Theme::Colour::orange);
    }
    return Theme::colour(Theme::Colour::red);
}

bool isValidStartTime(const QString &text)
{
    static const QRegularExpression pattern(QStringLiteral("^(?:[01]\\d|2[0-3]):[0-5]\\d$"));
    return pattern.match(TextRules::trimmed(text)).hasMatch();
}

bool isValidDuration(const QString &text)
{
    static const QRegularExpression pattern(QStringLiteral("^\\d{1,3}:[0-5]\\d$"));
    return pattern.match(TextRules::trimmed(text)).hasMatch();
}

std::optional<qint64> durationSeconds(const QString &text)
{
    const QList<qint64> n = numbers(text);
    if (n.size() != 2) {
        return std::nullopt;
    }
    return n[0] * 60 + n[1];
}

QString durationText(qint64 seconds)
{
    return QString::asprintf("%02lld:%02lld", seconds / 60, seconds % 60);
}

bool sameItem(const RundownItem &a, const RundownItem &b)
{
    return sameRecord(a, b);
}

ReadinessCounts readinessCounts(const QList<RundownItem> &items)
{
    ReadinessCounts counts;
    counts.total = static_cast<int>(items.size());
    for (const RundownItem &item : items) {
        if (isText(item.status, RundownValues::ready)) {
            ++counts.ready;
        } else if (isText(item.status, RundownValues::preparing)) {
            ++counts.preparing;
        } else if (isText(item.status, RundownValues::incomplete)) {
            ++counts.incomplete;
        }
    }
    return counts;
}

int readinessPercentage(int ready, int total)
{
    if (total <= 0) {
        return 0;
    }
    return static_cast<int>(static_cast<qint64>(ready) * 100 / total);
}

ItemMarks::Mark ItemMarks::markOf(const RundownItem &item)
{
    Mark mark;
    mark.order = item.order;
    if (isText(item.status, RundownValues::ready)) {
        mark.readiness = 1;
    } else if (isText(item.status, RundownValues::preparing)) {
        mark.readiness = 2;
    } else if (isText(item.status, RundownValues::incomplete)) {
        mark.readiness = 3;
    }
    mark.live = isText(item.liveStatus, RundownValues::live);
    mark.finished = isText(item.liveStatus, RundownValues::finished);
    return mark;
}

void ItemMarks::rebuild(const QList<RundownItem> &items)
{
    m_marks.clear();
    m_marks.reserve(items.size());
    for (const RundownItem &item : items) {
        m_marks.append(markOf(item));
    }
}

void ItemMarks::update(const QList<RundownItem> &items, qsizetype first, qsizetype removed,
                       qsizetype inserted)
{
    if (m_marks.size() - removed + inserted != items.size()) {
        rebuild(items);
        return;
    }
    const qsizetype kept = std::min(removed, inserted);
    for (qsizetype i = first; i < first + kept; ++i) {
        m_marks[i] = markOf(items.at(i));
    }
    if (removed > kept) {
        m_marks.remove(first + kept, removed - kept);
    }
    for (qsizetype i = first + kept; i < first + inserted; ++i) {
        m_marks.insert(i, markOf(items.at(i)));
    }
}

std::optional<qsizetype> ItemMarks::liveIndex() const
{
    for (qsizetype i = 0; i < m_marks.size(); ++i) {
        if (m_marks.at(i).live) {
            return i;
        }
    }
    return std::nullopt;
}

std::optional<qsizetype> ItemMarks::nextIndex() const
{
    const std::optional<qsizetype> live = liveIndex();
    for (qsizetype i = 0; i < m_marks.size(); ++i) {
        const Mark &mark = m_marks.at(i);
        if (!mark.finished && (!live || mark.order > m_marks.at(*live).order)) {
            return i;
        }
    }
    return std::nullopt;
}

ReadinessCounts ItemMarks::readinessCounts() const
{
    ReadinessCounts counts;
    counts.total = static_cast<int>(m_marks.size());
    for (const Mark &mark : m_marks) {
        counts.ready += mark.readiness == 1;
        counts.preparing += mark.readiness == 2;
        counts.incomplete += mark.readiness == 3;
    }
    return counts;
}

} // namespace FlowRules
