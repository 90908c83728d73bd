#pragma once

#include "models/Rundown.h"

#include <QByteArray>
#include <QList>

#include <optional>

// Reads the successive answers of the project endpoint that one page polls. Between two polls a
// rundown changes an item or two, so each answer is compared byte for byte with the answer the
// page last accepted, and only what differs is decoded: an equal answer decodes nothing, a changed
// item decodes that item, and a change outside the rundown decodes the fields around it. The page
// then patches its copy of the project in place, so a poll costs and allocates what changed.
// An answer that cannot be read that way is decoded whole: every answer reads, and fails, exactly
// as json::decode reads it.
class ProjectDetailReader
{
public:
    // Where a value lies in an answer: [begin, end).
    struct Span
    {
        qsizetype begin = 0;
        qsizetype end = 0;
    };
    // The rundown's place in an answer: the items array and each item in it.
    struct Layout
    {
        Span array;
        QList<Span> items;
    };

    // One answer, read against the last accepted answer.
    struct Reading
    {
        enum class Kind {
            whole,     // decoded whole into `detail`
            unchanged, // equal to the accepted answer
            items,     // only items changed
            rest,      // only fields outside the items changed: `detail` holds them, without items
        };
        Kind kind = Kind::whole;
        QByteArray answer;
        std::optional<Layout> layout;
        quint64 base = 0;
        std::optional<ProjectDetailResponse> detail;
        // Kind::items: the accepted items [first, first + replaced) become `count` items, each the
        // accepted item at the same index except the decoded `items` at `changedAt`.
        qsizetype first = 0;
        qsizetype replaced = 0;
        qsizetype count = 0;
        QList<qsizetype> changedAt;
        QList<RundownItem> items;
    };

    // What accepting a reading changed in the page's detail.
    struct Change
    {
        bool changed = false;
        // Only the items [first, first + removed) changed, into `inserted` items; otherwise
        // anything may have changed.
        bool itemsOnly = false;
        qsizetype first = 0;
        qsizetype removed = 0;
        qsizetype inserted = 0;
    };

    // Throws DecodingError as json::decode does.
    Reading read(const QByteArray &answer) const;
    // Brings `detail`, which holds what the accepted answer decoded to (none before the first), to
    // the reading's answer, which becomes the accepted one. A reading made against another answer
    // than the accepted one is decoded whole here.
    Change accept(Reading reading, std::optional<ProjectDetailResponse> &detail);
    // The page's detail was changed otherwise: the next answer is read whole.
    void forget();

private:
    bool readChange(Reading &reading) const;
    bool readRest(Reading &reading, qsizetype shift) const;
    bool readItems(Reading &reading, qsizetype same, qsizetype sameEnd) const;

    QByteArray m_answer;
    std::optional<Layout> m_layout;
    quint64 m_accepted = 0;
    bool m_hasAnswer = false;
};
