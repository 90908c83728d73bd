#pragma once

// The strict JSON reader and writer that every record goes through.
//
// Decoding: a required key that is missing, null or of another JSON type fails the whole answer;
// an optional key that is missing or null is absent, any other type fails; unknown keys are
// ignored; integer fields reject non-integral numbers; flags take only true/false.
// Encoding leaves absent optionals out (never writes null).

#include "Error.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QString>
#include <QStringList>

#include <cmath>
#include <concepts>
#include <limits>
#include <optional>
#include <string_view>
#include <tuple>
#include <type_traits>

class DecodingError : public QuilloryError
{
public:
    explicit DecodingError(QString reason, QString path = {});

    QString description() const override;
    // Where in the document the failure lies, e.g. "items[3].title"; for tests and debugging.
    const QString &path() const { return m_path; }
    const QString &reason() const { return m_reason; }

    void prependKey(QLatin1StringView key);
    void prependIndex(qsizetype index);

private:
    QString m_reason;
    QString m_path;
};

namespace json {

// Parses a whole answer body; anything but a JSON object fails with DecodingError.
QJsonObject parseObject(const QByteArray &bytes);
QByteArray serialize(const QJsonObject &object);

// One field of a record: its key and the member it travels in. A member of type std::optional
// is optional; any other is required.
template<typename C, typename M>
struct Field
{
    std::string_view key;
    M C::*member;

    QLatin1StringView latin1() const { return QLatin1StringView(key.data(), qsizetype(key.size())); }
};

template<typename C, typename M, std::size_t N>
constexpr Field<C, M> field(const char (&key)[N], M C::*member)
{
    return Field<C, M>{std::string_view(key, N - 1), member};
}

// clang-format off
// A record that describes its fields with a static constexpr jsonFields() returning a tuple of Field.
template<typename T>
concept Described = requires { T::jsonFields(); };

template<typename T>
concept Record = requires(const QJsonObject &o, const T &t) {
    { T::fromJson(o) } -> std::same_as<T>;
    { t.toJson() } -> std::same_as<QJsonObject>;
};

// Enumerations that travel as text provide, found by ADL:
//   bool fromWire(const QString &, E &);   QString toWire(E);
template<typename T>
concept WireEnum = std::is_enum_v<T> && requires(const QString &s, T &e) {
    { fromWire(s, e) } -> std::same_as<bool>;
    { toWire(e) } -> std::same_as<QString>;
};
// clang-format on

// read() takes a reference into the parsed document rather than a QJsonValue: copying each
// field out as a QJsonValue cost a refcount round trip per field on large answers.
template<typename T>
struct Value;

template<>
struct Value<QString>
{
    static QString read(QJsonValueConstRef v)
    {
        if (!v.isString()) {
            throw DecodingError(QStringLiteral("expected a string"));
        }
        return v.toString();
    }
    static QJsonValue write(const QString &s) { return s; }
};

template<>
struct Value<bool>
{
    static bool read(QJsonValueConstRef v)
    {
        if (!v.isBool()) {
            throw DecodingError(QStringLiteral("expected true or false"));
        }
        return v.toBool();
    }
    static QJsonValue write(bool b) { return b; }
};

template<>
struct Value<qint64>
{
    static qint64 read(QJsonValueConstRef v)
    {
        if (!v.isDouble()) {
            throw DecodingError(QStringLiteral("expected a number"));
        }
        const double d = v.toDouble();
        if (!std::isfinite(d) || std::trunc(d) != d) {
            throw DecodingError(QStringLiteral("expected an integer"));
        }
        constexpr qint64 sentinel = std::numeric_limits<qint64>::min();
        const qint64 i = v.toInteger(sentinel);
        if (i == sentinel && d != static_cast<double>(sentinel)) {
            throw DecodingError(QStringLiteral("integer out of range"));
        }
        return i;
    }
    static QJsonValue write(qint64 i) { return i; }
};

template<>
struct Value<int>
{
    static int read(QJsonValueConstRef v)
    {
        const qint64 i = Value<qint64>::read(v);
        if (i < std::numeric_limits<int>::min() || i > std::numeric_limits<int>::max()) {
            throw DecodingError(QStringLiteral("integer out of range"));
        }
        return static_cast<int>(i);
    }
    static QJsonValue write(int i) { return i; }
};

template<Record T>
struct Value<T>
{
    static T read(QJsonValueConstRef v)
    {
        if (!v.isObject()) {
            throw DecodingError(QStringLiteral("expected an object"));
        }
        return T::fromJson(v.toObject());
    }
    static QJsonValue write(const T &t) { return t.toJson(); }
};

template<WireEnum T>
struct Value<T>
{
    static T read(QJsonValueConstRef v)
    {
        T e{};
        if (!fromWire(Value<QString>::read(v), e)) {
            throw DecodingError(QStringLiteral("unknown value \"%1\"").arg(v.toString()));
        }
        return e;
    }
    static QJsonValue write(T e) { return toWire(e); }
};

template<typename E>
struct Value<QList<E>>
{
    static QList<E> read(QJsonValueConstRef v)
    {
        if (!v.isArray()) {
            throw DecodingError(QStringLiteral("expected an array"));
        }
        const QJsonArray array = v.toArray();
        QList<E> out;
        out.reserve(array.size());
        const auto begin = array.constBegin();
        const auto end = array.constEnd();
        for (auto it = begin; it != end; ++it) {
            try {
                out.append(Value<E>::read(*it));
            } catch (DecodingError &e) {
                e.prependIndex(it - begin);
                throw;
            }
        }
        return out;
    }
    static QJsonValue write(const QList<E> &list)
    {
        QJsonArray array;
        for (const E &e : list) {
            array.append(Value<E>::write(e));
        }
        return array;
    }
};

// Reads the fields of one JSON object. Keys are Latin-1 literals so lookups allocate nothing.
class Reader
{
public:
    explicit Reader(const QJsonObject &object)
        : m_object(object)
        , m_end(object.constEnd())
    {}
    // The reader keeps a reference: a temporary object would dangle.
    explicit Reader(QJsonObject &&) = delete;

    template<typename T>
    T required(QLatin1StringView key) const
    {
        const auto it = m_object.constFind(key);
        if (it == m_end) {
            throw DecodingError(QStringLiteral("missing required field"), QString(key));
        }
        if (it->isNull()) {
            throw DecodingError(QStringLiteral("null in a required field"), QString(key));
        }
        return guarded<T>(key, *it);
    }

    template<typename T>
    std::optional<T> optional(QLatin1StringView key) const
    {
        const auto it = m_object.constFind(key);
        if (it == m_end || it->isNull()) {
            return std::nullopt;
        }
        return guarded<T>(key, *it);
    }

    const QJsonObject &object() const { return m_object; }

private:
    template<typename T>
    static T guarded(QLatin1StringView key, QJsonValueConstRef v)
    {
        try {
            return Value<T>::read(v);
        } catch (DecodingError &e) {
            e.prependKey(key);
            throw;
        }
    }

    const QJsonObject &m_object;
    const QJsonObject::const_iterator m_end;
};

class Writer
{
public:
    template<typename T>
    Writer &put(QLatin1StringView key, const T &value)
    {
        m_object.insert(key, Value<T>::write(value));
        return *this;
    }

    template<typename T>
    Writer &put(QLatin1StringView key, const std::optional<T> &value)
    {
        if (value) {
            m_object.insert(key, Value<T>::write(*value));
        }
        return *this;
    }

    Writer &put(QLatin1StringView key, const char *) = delete;

    QJsonObject object() const { return m_object; }

private:
    QJsonObject m_object;
};

template<typename M>
struct OptionalOf
{
    using type = void;
};
template<typename U>
struct OptionalOf<std::optional<U>>
{
    using type = U;
};

template<Described T>
T readRecord(const QJsonObject &o)
{
    const Reader r(o);
    T t{};
    const auto readField = [&](const auto &f) {
        using M = std::remove_cvref_t<decltype(t.*f.member)>;
        if constexpr (std::is_void_v<typename OptionalOf<M>::type>) {
            t.*f.member = r.required<M>(f.latin1());
        } else {
            t.*f.member = r.optional<typename OptionalOf<M>::type>(f.latin1());
        }
    };
    std::apply([&](const auto &...f) { (readField(f), ...); }, T::jsonFields());
    return t;
}

template<Described T>
QJsonObject writeRecord(const T &t)
{
    Writer w;
    std::apply([&](const auto &...f) { (w.put(f.latin1(), t.*f.member), ...); }, T::jsonFields());
    return w.object();
}

// Decodes a whole answer body as record T. Defined in JsonSimd.h, which is heavy to include: the
// client's answer types are instantiated once in the service client.
template<Record T>
T decode(const QByteArray &bytes);

template<Record T>
QByteArray encode(const T &record)
{
    return serialize(record.toJson());
}

} // namespace json

// Record boilerplate: each listed member travels under its own name.
#define QUILLORY_JSON_PARENS ()
#define QUILLORY_JSON_EXPAND(...)                                                                            \
    QUILLORY_JSON_EXPAND4(QUILLORY_JSON_EXPAND4(QUILLORY_JSON_EXPAND4(__VA_ARGS__)))
#define QUILLORY_JSON_EXPAND4(...)                                                                           \
    QUILLORY_JSON_EXPAND3(QUILLORY_JSON_EXPAND3(QUILLORY_JSON_EXPAND3(__VA_ARGS__)))
#define QUILLORY_JSON_EXPAND3(...)                                                                           \
    QUILLORY_JSON_EXPAND2(QUILLORY_JSON_EXPAND2(QUILLORY_JSON_EXPAND2(__VA_ARGS__)))
#define QUILLORY_JSON_EXPAND2(...) __VA_ARGS__
#define QUILLORY_JSON_FIELD_STEP(T, m, ...)                                                                  \
    ::json::field(#m, &T::m) __VA_OPT__(, QUILLORY_JSON_FIELD_AGAIN QUILLORY_JSON_PARENS(T, __VA_ARGS__))
#define QUILLORY_JSON_FIELD_AGAIN() QUILLORY_JSON_FIELD_STEP

#define QUILLORY_JSON_METHODS(T)                                                                             \
    static T fromJson(const QJsonObject &o)                                                                  \
    {                                                                                                        \
        return ::json::readRecord<T>(o);                                                                     \
    }                                                                                                        \
    QJsonObject toJson() const                                                                               \
    {                                                                                                        \
        return ::json::writeRecord(*this);                                                                   \
    }

#define QUILLORY_JSON(T, ...)                                                                                \
    static constexpr auto jsonFields()                                                                       \
    {                                                                                                        \
        return std::make_tuple(QUILLORY_JSON_EXPAND(QUILLORY_JSON_FIELD_STEP(T, __VA_ARGS__)));              \
    }                                                                                                        \
    QUILLORY_JSON_METHODS(T)
