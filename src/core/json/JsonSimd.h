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

template<Described T>
void readRecordInto(T &t, simdjson::dom::object object);

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
        for (element child : array) {
            try {
                if constexpr (Described<E>) {
                    // Read in place: moving a large record into the list costs more than reading it.
                    if (child.type() != element_type::OBJECT) {
                        throw DecodingError(QStringLiteral("expected an object"));
                    }
                    const simdjson::dom::object object = child.get_object().value_unsafe();
                    readRecordInto(out.emplaceBack(), object);
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
void readRecordInto(T &t, simdjson::dom::object object)
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
            if (member.value.type() == element_type::NULL_VALUE) {
                // A null required field fails; a null after a value of a repeated key is rare
                // enough for the strict reader.
                if ((required & bit) || (seen & bit)) {
                    throw DecodingError(QString());
                }
                continue;
            }
            readers[found](t, member.value);
            seen |= bit;
        }
        if ((seen & required) == required) {
            return;
        }
    } catch (const DecodingError &) {
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
