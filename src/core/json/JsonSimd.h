#pragma once

// Decoding of whole answers on simdjson's DOM, with exactly the rules of the Qt-based reader in
// Json.h: the record tables drive both. Heavy to include; include it only where json::decode is
// instantiated.

#include "json/Json.h"

#include <QJsonDocument>

#include <simdjson.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <utility>

namespace json::simd {

using simdjson::dom::element;
using simdjson::dom::element_type;

// Text of a string the parser has already validated as UTF-8, allocated at its exact UTF-16 size:
// QString::fromUtf8 reserves two bytes per input byte, three times what Chinese text needs.
QString text(std::string_view s);

// For records that still read themselves from a QJsonObject.
QJsonValue toQt(element e);

template<typename T>
struct Value;

template<>
struct Value<QString>
{
    static QString read(element e)
    {
        if (e.type() != element_type::STRING) {
            throw DecodingError(QStringLiteral("expected a string"));
        }
        return text(e.get_string().value_unsafe());
    }
};

template<>
struct Value<bool>
{
    static bool read(element e)
    {
        if (e.type() != element_type::BOOL) {
            throw DecodingError(QStringLiteral("expected true or false"));
        }
        return e.get_bool().value_unsafe();
    }
};

template<>
struct Value<qint64>
{
    static qint64 read(element e)
    {
        switch (e.type()) {
        case element_type::INT64:
            return e.get_int64().value_unsafe();
        case element_type::UINT64:
            // Only values above the signed range are kept unsigned.
            throw DecodingError(QStringLiteral("integer out of range"));
        case element_type::DOUBLE: {
            const double d = e.get_double().value_unsafe();
            if (!std::isfinite(d) || std::trunc(d) != d) {
                throw DecodingError(QStringLiteral("expected an integer"));
            }
            // -2^63 is representable; 2^63 is not.
            if (d < -9223372036854775808.0 || d >= 9223372036854775808.0) {
                throw DecodingError(QStringLiteral("integer out of range"));
            }
            return static_cast<qint64>(d);
        }
        default:
            throw DecodingError(QStringLiteral("expected a number"));
        }
    }
};

template<>
struct Value<int>
{
    static int read(element e)
    {
        const qint64 i = Value<qint64>::read(e);
        if (i < std::numeric_limits<int>::min() || i > std::numeric_limits<int>::max()) {
            throw DecodingError(QStringLiteral("integer out of range"));
        }
        return static_cast<int>(i);
    }
};

template<WireEnum T>
struct Value<T>
{
    static T read(element e)
    {
        const QString wire = Value<QString>::read(e);
        T out{};
        if (!fromWire(wire, out)) {
            throw DecodingError(QStringLiteral("unknown value \"%1\"").arg(wire));
        }
        return out;
    }
};

template<typename T>
struct Repeats;

template<Described T>
void readRecordInto(T &t, simdjson::dom::object object, Repeats<T> *repeats = nullptr);

template<typename E>
struct Value<QList<E>>
{
    static QList<E> read(element e)
    {
        if (e.type() != element_type::ARRAY) {
            throw DecodingError(QStringLiteral("expected an array"));
        }
        const simdjson::dom::array array = e.get_array().value_unsafe();
        QList<E> out;
        out.reserve(qsizetype(array.size()));
        qsizetype index = 0;
        // Too short a list repeats too little to pay for clearing the table.
        [[maybe_unused]] std::optional<std::conditional_t<Described<E>, Repeats<E>, int>> repeats;
        if (out.capacity() >= 8) {
            repeats.emplace();
        }
        for (element child : array) {
            try {
                if constexpr (Described<E>) {
                    // Read in place: moving a large record into the list costs more than reading it.
                    if (child.type() != element_type::OBJECT) {
                        throw DecodingError(QStringLiteral("expected an object"));
                    }
                    const simdjson::dom::object object = child.get_object().value_unsafe();
                    readRecordInto(out.emplaceBack(), object, repeats ? &*repeats : nullptr);
                } else {
                    out.append(Value<E>::read(child));
                }
            } catch (DecodingError &error) {
                error.prependIndex(index);
                throw;
            }
            ++index;
        }
        return out;
    }
};

template<typename T>
constexpr auto keysOf()
{
    return std::apply([](const auto &...f) { return std::array<std::string_view, sizeof...(f)>{f.key...}; },
                      T::jsonFields());
}

// Reads field I of T from a value that is present; absent and null are the caller's concern.
template<typename T, std::size_t I>
void readPresent(T &t, element value)
{
    static constexpr auto fields = T::jsonFields();
    const auto &f = std::get<I>(fields);
    using M = std::remove_cvref_t<decltype(t.*f.member)>;
    using Inner = typename OptionalOf<M>::type;
    try {
        if constexpr (std::is_void_v<Inner>) {
            t.*f.member = Value<M>::read(value);
        } else {
            t.*f.member = Value<Inner>::read(value);
        }
    } catch (DecodingError &error) {
        error.prependKey(f.latin1());
        throw;
    }
}

// Whether a key is field I's; the key's length is a constant here, so the compiler compares it
// inline rather than calling memcmp.
template<typename T, std::size_t I>
bool isKey(std::string_view key)
{
    static constexpr std::string_view mine = std::get<I>(T::jsonFields()).key;
    return key.size() == mine.size() && std::memcmp(key.data(), mine.data(), mine.size()) == 0;
}

template<typename T, std::size_t I>
constexpr bool isOptionalField()
{
    using F = std::tuple_element_t<I, decltype(T::jsonFields())>;
    using M = std::remove_cvref_t<decltype(std::declval<T &>().*std::declval<F>().member)>;
    return !std::is_void_v<typename OptionalOf<M>::type>;
}

template<typename T, std::size_t I>
constexpr bool isTextField()
{
    using F = std::tuple_element_t<I, decltype(T::jsonFields())>;
    using M = std::remove_cvref_t<decltype(std::declval<T &>().*std::declval<F>().member)>;
    return std::is_same_v<M, QString> || std::is_same_v<M, std::optional<QString>>;
}

template<typename T, std::size_t I>
void copyField(T &t, const T &from)
{
    static constexpr auto fields = T::jsonFields();
    const auto &f = std::get<I>(fields);
    t.*f.member = from.*f.member;
}

// The elements of a list often repeat a text (the stage, the section, a status, a type): a repeat
// shares the string of the element that had it first instead of converting and allocating its own.
// Each text field remembers a few texts it has seen in this list; a field whose texts rarely
// repeat (ids, titles, scripts) stops looking.
template<typename T>
struct Repeats
{
    static constexpr std::size_t count = std::tuple_size_v<decltype(T::jsonFields())>;
    static constexpr int wayBits = 3;
    static constexpr std::size_t ways = std::size_t(1) << wayBits;
    struct Seen
    {
        std::uint64_t print = 0;
        const char *bytes = nullptr;
        const T *element = nullptr;
    };
    std::array<std::array<Seen, ways>, count> seen{};
    std::array<std::uint32_t, count> looks{};
    std::array<std::uint32_t, count> hits{};

    static std::uint64_t fingerprint(std::string_view bytes)
    {
        const auto *b = reinterpret_cast<const unsigned char *>(bytes.data());
        const std::size_t n = bytes.size();
        return std::uint64_t(n) | std::uint64_t(b[0]) << 32 | std::uint64_t(b[n / 2]) << 40 |
               std::uint64_t(b[n - 1]) << 48;
    }
    static std::size_t slotOf(std::uint64_t print) { return (print * 0x9E3779B97F4A7C15ull) >> (64 - wayBits); }

    bool worthLooking(std::size_t field) const { return looks[field] < 64 || hits[field] * 8 >= looks[field]; }

    // The element whose text in this field has these bytes, if one was seen.
    const T *find(std::size_t field, std::string_view bytes, std::uint64_t print)
    {
        ++looks[field];
        const Seen &s = seen[field][slotOf(print)];
        if (s.print == print && std::memcmp(s.bytes, bytes.data(), bytes.size()) == 0) {
            ++hits[field];
            return s.element;
        }
        return nullptr;
    }
    void remember(std::size_t field, std::string_view bytes, std::uint64_t print, const T *element)
    {
        seen[field][slotOf(print)] = {print, bytes.data(), element};
    }
};

// The exact rules, in table order: all fields gathered first (the last of repeated keys winning,
// as in Qt's parser), then read one by one so the first failure is the one the Qt reader reports.
template<Described T>
void readRecordStrictly(T &t, simdjson::dom::object object)
{
    static constexpr auto keys = keysOf<T>();
    constexpr std::size_t count = keys.size();
    std::array<element, count> values{};
    std::array<bool, count> present{};
    for (const auto member : object) {
        for (std::size_t i = 0; i < count; ++i) {
            if (keys[i] == member.key) {
                values[i] = member.value;
                present[i] = true;
                break;
            }
        }
    }
    const auto readField = [&]<std::size_t I>(std::integral_constant<std::size_t, I>) {
        const bool absent = !present[I] || values[I].type() == element_type::NULL_VALUE;
        if constexpr (isOptionalField<T, I>()) {
            if (absent) {
                t.*std::get<I>(T::jsonFields()).member = std::nullopt;
                return;
            }
        } else if (absent) {
            throw DecodingError(present[I] ? QStringLiteral("null in a required field")
                                           : QStringLiteral("missing required field"),
                                QString(std::get<I>(T::jsonFields()).latin1()));
        }
        readPresent<T, I>(t, values[I]);
    };
    [&]<std::size_t... I>(std::index_sequence<I...>)
    {
        (readField(std::integral_constant<std::size_t, I>{}), ...);
    }
    (std::make_index_sequence<count>{});
}

// One pass in key order, into a default-constructed record. Anything unusual (a failure, a missing required
// field, a required null) is handed to the strict reader, so results and errors are exactly the strict ones.
template<Described T>
void readRecordInto(T &t, simdjson::dom::object object, Repeats<T> *repeats)
{
    static constexpr auto keys = keysOf<T>();
    constexpr std::size_t count = keys.size();
    static_assert(count <= 64);
    using Read = void (*)(T &, element);
    static constexpr auto readers = []<std::size_t... I>(std::index_sequence<I...>)
    {
        return std::array<Read, count>{&readPresent<T, I>...};
    }
    (std::make_index_sequence<count>{});
    using Match = bool (*)(std::string_view);
    static constexpr auto matchers = []<std::size_t... I>(std::index_sequence<I...>)
    {
        return std::array<Match, count>{&isKey<T, I>...};
    }
    (std::make_index_sequence<count>{});
    static constexpr std::uint64_t required = []<std::size_t... I>(std::index_sequence<I...>)
    {
        return ((isOptionalField<T, I>() ? std::uint64_t(0) : std::uint64_t(1) << I) | ... |
                std::uint64_t(0));
    }
    (std::make_index_sequence<count>{});
    static constexpr std::uint64_t textFields = []<std::size_t... I>(std::index_sequence<I...>)
    {
        return ((isTextField<T, I>() ? std::uint64_t(1) << I : std::uint64_t(0)) | ... | std::uint64_t(0));
    }
    (std::make_index_sequence<count>{});
    using Copy = void (*)(T &, const T &);
    static constexpr auto copiers = []<std::size_t... I>(std::index_sequence<I...>)
    {
        return std::array<Copy, count>{&copyField<T, I>...};
    }
    (std::make_index_sequence<count>{});

    // Every object of one answer lists its keys in the same order, so the field that followed the
    // previous one last time is almost always the one that follows it now.
    thread_local std::array<std::uint8_t, count + 1> nextAfter{};
    std::uint64_t seen = 0;
    std::size_t previous = count;
    try {
        for (const auto member : object) {
            const std::string_view key = member.key;
            std::size_t found = nextAfter[previous];
            if (found >= count || !matchers[found](key)) {
                found = count;
                for (std::size_t i = 0; i < count; ++i) {
                    if (matchers[i](key)) {
                        found = i;
                        break;
                    }
                }
                if (found == count) {
                    continue;
                }
                nextAfter[previous] = std::uint8_t(found);
            }
            previous = found;
            const std::uint64_t bit = std::uint64_t(1) << found;
            // A repeated key is rare enough for the strict reader (and a text remembered from its
            // first value would no longer be the field's); a null required field fails.
            if ((seen & bit) || ((required & bit) && member.value.type() == element_type::NULL_VALUE)) {
                throw DecodingError(QString());
            }
            if (member.value.type() == element_type::NULL_VALUE) {
                continue;
            }
            if ((textFields & bit) && repeats && repeats->worthLooking(found) &&
                member.value.type() == element_type::STRING) {
                const std::string_view bytes = member.value.get_string().value_unsafe();
                if (bytes.empty()) {
                    readers[found](t, member.value);
                } else {
                    const std::uint64_t print = Repeats<T>::fingerprint(bytes);
                    if (const T *earlier = repeats->find(found, bytes, print)) {
                        copiers[found](t, *earlier);
                    } else {
                        readers[found](t, member.value);
                        repeats->remember(found, bytes, print, &t);
                    }
                }
            } else {
                readers[found](t, member.value);
            }
            seen |= bit;
        }
        if ((seen & required) == required) {
            return;
        }
    } catch (const DecodingError &) {
    }
    if (repeats) {
        // The strict reader rebuilds this element: forget what pointed into it.
        *repeats = Repeats<T>{};
    }
    t = T{};
    readRecordStrictly(t, object);
}

template<Described T>
T readRecord(simdjson::dom::object object)
{
    T t{};
    readRecordInto(t, object);
    return t;
}

template<Record T>
struct Value<T>
{
    static T read(element e)
    {
        if (e.type() != element_type::OBJECT) {
            throw DecodingError(QStringLiteral("expected an object"));
        }
        if constexpr (Described<T>) {
            const simdjson::dom::object object = e.get_object().value_unsafe();
            return readRecord<T>(object);
        } else {
            return T::fromJson(toQt(e).toObject());
        }
    }
};

// The parse of one answer. The parser keeps its buffers between answers.
element parse(const QByteArray &bytes);

} // namespace json::simd

template<json::Record T>
T json::decode(const QByteArray &bytes)
{
    const simd::element root = simd::parse(bytes);
    if (root.type() != simd::element_type::OBJECT) {
        throw DecodingError(QStringLiteral("expected an object at the top level"));
    }
    return simd::Value<T>::read(root);
}
