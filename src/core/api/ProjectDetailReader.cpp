#include "api/ProjectDetailReader.h"

#include "json/JsonSimd.h"
#include "json/SameRecord.h"

#include <algorithm>
#include <cstring>

namespace {

using Span = ProjectDetailReader::Span;
using Layout = ProjectDetailReader::Layout;

// --- Where values lie in an answer. Every scan stays within its bounds and gives up on anything
// it does not expect; what it finds is trusted only after the bytes have been parsed. ---

bool isSpace(char c)
{
    return c == ' ' || c == '\n' || c == '\r' || c == '\t';
}

qsizetype skipSpace(const char *d, qsizetype i, qsizetype end)
{
    while (i < end && isSpace(d[i])) {
        ++i;
    }
    return i;
}

// From an opening quote to just past its closing quote; -1 when the string does not end.
qsizetype skipString(const char *d, qsizetype i, qsizetype end)
{
    ++i;
    while (i < end) {
        const auto *quote = static_cast<const char *>(std::memchr(d + i, '"', std::size_t(end - i)));
        if (!quote) {
            return -1;
        }
        const qsizetype at = quote - d;
        qsizetype escapes = 0;
        while (at - escapes > i && d[at - escapes - 1] == '\\') {
            ++escapes;
        }
        if (escapes % 2 == 0) {
            return at + 1;
        }
        i = at + 1;
    }
    return -1;
}

// From the first byte of a value to just past it; -1 when it does not end within bounds.
qsizetype skipValue(const char *d, qsizetype i, qsizetype end)
{
    if (i >= end) {
        return -1;
    }
    if (d[i] == '"') {
        return skipString(d, i, end);
    }
    if (d[i] == '{' || d[i] == '[') {
        int depth = 0;
        while (i < end) {
            const char c = d[i];
            if (c == '"') {
                i = skipString(d, i, end);
                if (i < 0) {
                    return -1;
                }
                continue;
            }
            if (c == '{' || c == '[') {
                ++depth;
            } else if ((c == '}' || c == ']') && --depth == 0) {
                return i + 1;
            }
            ++i;
        }
        return -1;
    }
    const qsizetype start = i;
    while (i < end && d[i] != ',' && d[i] != '}' && d[i] != ']' && !isSpace(d[i])) {
        ++i;
    }
    return i > start ? i : -1;
}

// The values of a comma-separated list that fills [begin, end) (the inside of an array).
std::optional<QList<Span>> valuesIn(const char *d, qsizetype begin, qsizetype end)
{
    QList<Span> values;
    qsizetype i = skipSpace(d, begin, end);
    if (i == end) {
        return values;
    }
    while (true) {
        const qsizetype valueEnd = skipValue(d, i, end);
        if (valueEnd < 0) {
            return std::nullopt;
        }
        values.append(Span{i, valueEnd});
        i = skipSpace(d, valueEnd, end);
        if (i == end) {
            return values;
        }
        if (d[i] != ',') {
            return std::nullopt;
        }
        i = skipSpace(d, i + 1, end);
        if (i == end) {
            return std::nullopt;
        }
    }
}

// The items array of an answer and each item in it. None when the answer has no single plain
// "items" key: a key written with escapes could be another "items", and of repeated keys the
// decoder keeps the last.
std::optional<Layout> layoutOf(const QByteArray &answer)
{
    static constexpr std::string_view itemsKey = "items";
    const char *d = answer.constData();
    const qsizetype end = answer.size();
    qsizetype i = skipSpace(d, 0, end);
    if (i == end || d[i] != '{') {
        return std::nullopt;
    }
    i = skipSpace(d, i + 1, end);
    std::optional<Layout> layout;
    while (i < end && d[i] != '}') {
        if (d[i] != '"') {
            return std::nullopt;
        }
        const qsizetype keyEnd = skipString(d, i, end);
        if (keyEnd < 0) {
            return std::nullopt;
        }
        const std::string_view key(d + i + 1, std::size_t(keyEnd - i - 2));
        if (key.find('\\') != std::string_view::npos) {
            return std::nullopt;
        }
        i = skipSpace(d, keyEnd, end);
        if (i == end || d[i] != ':') {
            return std::nullopt;
        }
        i = skipSpace(d, i + 1, end);
        const qsizetype valueEnd = skipValue(d, i, end);
        if (valueEnd < 0) {
            return std::nullopt;
        }
        if (key == itemsKey) {
            if (layout || d[i] != '[') {
                return std::nullopt;
            }
            auto items = valuesIn(d, i + 1, valueEnd - 1);
            if (!items) {
                return std::nullopt;
            }
            layout = Layout{Span{i, valueEnd}, std::move(*items)};
        }
        i = skipSpace(d, valueEnd, end);
        if (i < end && d[i] == ',') {
            i = skipSpace(d, i + 1, end);
        }
    }
    return layout;
}

// --- Comparing answers ---

qsizetype commonPrefix(const char *a, const char *b, qsizetype limit)
{
    qsizetype i = 0;
    for (const qsizetype block : {qsizetype(4096), qsizetype(64)}) {
        while (i + block <= limit && std::memcmp(a + i, b + i, std::size_t(block)) == 0) {
            i += block;
        }
    }
    while (i < limit && a[i] == b[i]) {
        ++i;
    }
    return i;
}

// Of the last `limit` bytes of each.
qsizetype commonSuffix(const char *aEnd, const char *bEnd, qsizetype limit)
{
    qsizetype n = 0;
    for (const qsizetype block : {qsizetype(4096), qsizetype(64)}) {
        while (n + block <= limit &&
               std::memcmp(aEnd - n - block, bEnd - n - block, std::size_t(block)) == 0) {
            n += block;
        }
    }
    while (n < limit && aEnd[-n - 1] == bEnd[-n - 1]) {
        ++n;
    }
    return n;
}

bool sameText(const QByteArray &a, Span inA, const QByteArray &b, Span inB)
{
    const qsizetype size = inA.end - inA.begin;
    return size == inB.end - inB.begin &&
           std::memcmp(a.constData() + inA.begin, b.constData() + inB.begin, std::size_t(size)) == 0;
}

Span shifted(Span span, qsizetype by)
{
    return Span{span.begin + by, span.end + by};
}

} // namespace

ProjectDetailReader::Reading ProjectDetailReader::read(const QByteArray &answer) const
{
    Reading reading;
    reading.answer = answer;
    reading.base = m_accepted;
    if (m_hasAnswer && m_layout && readChange(reading)) {
        return reading;
    }
    // With a layout, readChange has found an equal answer already.
    if (m_hasAnswer && !m_layout && answer == m_answer) {
        reading = Reading{};
        reading.kind = Reading::Kind::unchanged;
        reading.answer = answer;
        reading.layout = m_layout;
        reading.base = m_accepted;
        return reading;
    }
    reading = Reading{};
    reading.answer = answer;
    reading.base = m_accepted;
    reading.detail = json::decode<ProjectDetailResponse>(answer);
    reading.layout = layoutOf(answer);
    return reading;
}

ProjectDetailReader::Change ProjectDetailReader::accept(Reading reading,
                                                        std::optional<ProjectDetailResponse> &detail)
{
    using Kind = Reading::Kind;
    if (reading.kind != Kind::whole && (reading.base != m_accepted || !detail)) {
        try {
            reading.detail = json::decode<ProjectDetailResponse>(reading.answer);
        } catch (const DecodingError &) {
            // Read once already, so this cannot fail; should it, the page keeps what it has.
            forget();
            return {};
        }
        reading.kind = Kind::whole;
        reading.layout = layoutOf(reading.answer);
    }
    m_answer = reading.answer;
    m_layout = std::move(reading.layout);
    m_hasAnswer = true;
    ++m_accepted;

    Change change;
    switch (reading.kind) {
    case Kind::unchanged:
        break;
    case Kind::whole:
        // An equal answer leaves the page's copy alone.
        change.changed = !sameRecord(detail, reading.detail);
        if (change.changed) {
            detail = std::move(reading.detail);
        }
        break;
    case Kind::rest:
        reading.detail->items = detail->items;
        change.changed = !sameRecord(*detail, *reading.detail);
        if (change.changed) {
            detail = std::move(reading.detail);
        }
        break;
    case Kind::items: {
        QList<RundownItem> &items = detail->items;
        const qsizetype first = reading.first;
        if (reading.count > reading.replaced) {
            items.insert(first + reading.replaced, reading.count - reading.replaced, RundownItem{});
        } else if (reading.count < reading.replaced) {
            items.remove(first + reading.count, reading.replaced - reading.count);
        }
        change.changed = reading.count != reading.replaced;
        for (qsizetype k = 0; k < reading.changedAt.size(); ++k) {
            const qsizetype at = reading.changedAt.at(k);
            RundownItem &fresh = reading.items[k];
            if (!sameRecord(items.at(at), fresh)) {
                // The texts it has in common with the item it replaces or the one before stay
                // shared, as a whole decode shares them: a show edited for hours keeps its size.
                shareEqualTexts(fresh, items.at(at));
                if (at > 0) {
                    shareEqualTexts(fresh, items.at(at - 1));
                }
                items[at] = std::move(fresh);
                change.changed = true;
            }
        }
        change.itemsOnly = true;
        change.first = first;
        change.removed = reading.replaced;
        change.inserted = reading.count;
        break;
    }
    }
    return change;
}

void ProjectDetailReader::forget()
{
    m_answer.clear();
    m_layout.reset();
    m_hasAnswer = false;
    ++m_accepted;
}

bool ProjectDetailReader::readChange(Reading &reading) const
{
    const QByteArray &answer = reading.answer;
    const qsizetype oldSize = m_answer.size();
    const qsizetype limit = std::min(oldSize, answer.size());
    const qsizetype same = commonPrefix(m_answer.constData(), answer.constData(), limit);
    const qsizetype sameTail =
        commonSuffix(m_answer.constData() + oldSize, answer.constData() + answer.size(), limit - same);
    if (same == oldSize && same == answer.size()) {
        reading.kind = Reading::Kind::unchanged;
        reading.layout = m_layout;
        return true;
    }
    // The accepted answer differs from this one in [same, sameEnd).
    const qsizetype sameEnd = oldSize - sameTail;
    const Span array = m_layout->array;
    if (sameEnd <= array.begin) {
        return readRest(reading, answer.size() - oldSize);
    }
    if (same >= array.end) {
        return readRest(reading, 0);
    }
    return readItems(reading, same, sameEnd);
}

// The items array is unchanged (moved by `shift`): the rest is decoded around an empty one.
bool ProjectDetailReader::readRest(Reading &reading, qsizetype shift) const
{
    const QByteArray &answer = reading.answer;
    const Span array = shifted(m_layout->array, shift);
    QByteArray rest;
    rest.reserve(answer.size() - (array.end - array.begin) + 2);
    rest.append(answer.constData(), array.begin)
        .append("[]")
        .append(answer.constData() + array.end, answer.size() - array.end);
    try {
        reading.detail = json::decode<ProjectDetailResponse>(rest);
    } catch (const DecodingError &) {
        return false;
    }
    // The empty array must be where the items were, the answer's one "items" value: changed
    // fields may have added another, or put the old items under another key.
    const std::optional<Layout> restLayout = layoutOf(rest);
    if (!restLayout || restLayout->array.begin != array.begin) {
        return false;
    }
    Layout layout;
    layout.array = array;
    layout.items.reserve(m_layout->items.size());
    for (const Span &item : m_layout->items) {
        layout.items.append(shifted(item, shift));
    }
    reading.layout = std::move(layout);
    reading.kind = Reading::Kind::rest;
    return true;
}

// Only items changed, all of them within [same, sameEnd) of the accepted answer: of the items from
// the last one starting at or before the change to the first one ending at or after it, the ones
// whose text changed are decoded. An item added at the end, or the last one removed, touches no
// item: the neighbour read with it is compared, not decoded.
bool ProjectDetailReader::readItems(Reading &reading, qsizetype same, qsizetype sameEnd) const
{
    const QByteArray &answer = reading.answer;
    const QList<Span> &old = m_layout->items;
    const auto afterFirst =
        std::partition_point(old.cbegin(), old.cend(), [&](const Span &s) { return s.begin <= same; });
    const auto lastTouched =
        std::partition_point(old.cbegin(), old.cend(), [&](const Span &s) { return s.end < sameEnd; });
    if (afterFirst == old.cbegin() || lastTouched == old.cend()) {
        return false;
    }
    const qsizetype first = (afterFirst - old.cbegin()) - 1;
    const qsizetype last = std::max(first, qsizetype(lastTouched - old.cbegin()));
    const qsizetype shift = answer.size() - m_answer.size();
    const Span region{old.at(first).begin, old.at(last).end + shift};
    if (region.end <= region.begin) {
        return false;
    }

    // Each item of the region is compared with the accepted item in its place; the changed ones
    // are parsed together, which validates them. The scan checked the separators, and every other
    // byte of the answer is the accepted answer's.
    // A blank region is a valid array only when it is the whole array; between two separators it
    // is not, and the whole decode says so.
    const std::optional<QList<Span>> spans = valuesIn(answer.constData(), region.begin, region.end);
    if (!spans || spans->isEmpty()) {
        return false;
    }
    // Parsed at the depth the items have in the answer, so nesting fails here as it fails there.
    QByteArray list("[[");
    for (qsizetype k = 0; k < spans->size(); ++k) {
        const Span span = spans->at(k);
        if (first + k <= last && sameText(answer, span, m_answer, old.at(first + k))) {
            continue;
        }
        reading.changedAt.append(first + k);
        if (list.size() > 2) {
            list.append(',');
        }
        list.append(answer.constData() + span.begin, span.end - span.begin);
    }
    list.append("]]");
    try {
        const json::simd::element root = json::simd::parse(list);
        if (root.type() != json::simd::element_type::ARRAY) {
            return false;
        }
        const json::simd::element inner = root.get_array().at(0).value_unsafe();
        if (inner.type() != json::simd::element_type::ARRAY) {
            return false;
        }
        const simdjson::dom::array values = inner.get_array().value_unsafe();
        if (qsizetype(values.size()) != reading.changedAt.size()) {
            return false;
        }
        reading.items.reserve(reading.changedAt.size());
        for (const json::simd::element value : values) {
            if (value.type() != json::simd::element_type::OBJECT) {
                return false;
            }
            json::simd::readRecordInto(reading.items.emplaceBack(), value.get_object().value_unsafe());
        }
    } catch (const DecodingError &) {
        return false;
    }

    Layout layout;
    layout.array = Span{m_layout->array.begin, m_layout->array.end + shift};
    layout.items.reserve(old.size() - (last - first + 1) + spans->size());
    layout.items.append(old.mid(0, first));
    layout.items.append(*spans);
    for (qsizetype i = last + 1; i < old.size(); ++i) {
        layout.items.append(shifted(old.at(i), shift));
    }
    reading.layout = std::move(layout);
    reading.kind = Reading::Kind::items;
    reading.first = first;
    reading.replaced = last - first + 1;
    reading.count = spans->size();
    return true;
}
