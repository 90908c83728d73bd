#include "Json.h"
#include "JsonSimd.h"

#include <QJsonDocument>
#include <QJsonParseError>

#include <cstdint>
#include <cstring>
#include <vector>

DecodingError::DecodingError(QString reason, QString path)
    : m_reason(std::move(reason))
    , m_path(std::move(path))
{}

QString DecodingError::description() const
{
    return QStringLiteral("未能读取数据，因为它的格式不正确。");
}

void DecodingError::prependKey(QLatin1StringView key)
{
    if (m_path.isEmpty() || m_path.startsWith(QLatin1Char('['))) {
        m_path.prepend(key);
    } else {
        m_path.prepend(QString(key) + QLatin1Char('.'));
    }
}

void DecodingError::prependIndex(qsizetype index)
{
    const QString part = QStringLiteral("[%1]").arg(index);
    if (m_path.isEmpty() || m_path.startsWith(QLatin1Char('['))) {
        m_path.prepend(part);
    } else {
        m_path.prepend(part + QLatin1Char('.'));
    }
}

namespace json {

QJsonObject parseObject(const QByteArray &bytes)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError) {
        throw DecodingError(QStringLiteral("not JSON: %1").arg(error.errorString()));
    }
    if (!document.isObject()) {
        throw DecodingError(QStringLiteral("expected an object at the top level"));
    }
    return document.object();
}

QByteArray serialize(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

} // namespace json

namespace json::simd {

QString text(std::string_view s)
{
    const auto *in = reinterpret_cast<const unsigned char *>(s.data());
    const std::size_t size = s.size();
    std::size_t units = 0;
    for (std::size_t i = 0; i < size; ++i) {
        // Each byte but a continuation byte starts a character; a four-byte one needs two units.
        units += std::size_t((in[i] & 0xC0) != 0x80) + std::size_t(in[i] >= 0xF0);
    }
    if (units == size) {
        return QString::fromLatin1(s.data(), qsizetype(size));
    }
    QString out(qsizetype(units), Qt::Uninitialized);
    auto *o = reinterpret_cast<char16_t *>(out.data());
    for (std::size_t i = 0; i < size;) {
        const unsigned char c = in[i];
        if (c < 0x80) {
            *o++ = c;
            i += 1;
        } else if (c < 0xE0) {
            *o++ = char16_t(((c & 0x1F) << 6) | (in[i + 1] & 0x3F));
            i += 2;
        } else if (c < 0xF0) {
            *o++ = char16_t(((c & 0x0F) << 12) | ((in[i + 1] & 0x3F) << 6) | (in[i + 2] & 0x3F));
            i += 3;
        } else {
            const char32_t code = ((c & 0x07) << 18) | ((in[i + 1] & 0x3F) << 12) |
                                  ((in[i + 2] & 0x3F) << 6) | (in[i + 3] & 0x3F);
            *o++ = char16_t(0xD800 + ((code - 0x10000) >> 10));
            *o++ = char16_t(0xDC00 + ((code - 0x10000) & 0x3FF));
            i += 4;
        }
    }
    return out;
}

element parse(const QByteArray &bytes)
{
    // One parser and one padded copy per thread (the fake service decodes on its own thread in
    // tests), kept between answers so a poll allocates nothing here.
    thread_local simdjson::dom::parser parser;
    thread_local std::vector<char> padded;
    const std::size_t size = std::size_t(bytes.size());
    if (padded.size() < size + simdjson::SIMDJSON_PADDING) {
        padded.resize(size + simdjson::SIMDJSON_PADDING);
    }
    std::memcpy(padded.data(), bytes.constData(), size);
    std::memset(padded.data() + size, 0, simdjson::SIMDJSON_PADDING);
    auto result = parser.parse(padded.data(), size, false);
    if (result.error() != simdjson::SUCCESS) {
        throw DecodingError(
            QStringLiteral("not JSON: %1").arg(QString::fromUtf8(simdjson::error_message(result.error()))));
    }
    return result.value_unsafe();
}

QJsonValue toQt(element e)
{
    switch (e.type()) {
    case element_type::ARRAY: {
        QJsonArray array;
        const simdjson::dom::array source = e.get_array().value_unsafe();
        for (element child : source) {
            array.append(toQt(child));
        }
        return array;
    }
    case element_type::OBJECT: {
        QJsonObject object;
        const simdjson::dom::object source = e.get_object().value_unsafe();
        for (const auto member : source) {
            object.insert(text(member.key), toQt(member.value));
        }
        return object;
    }
    case element_type::INT64:
        return qint64(e.get_int64().value_unsafe());
    case element_type::UINT64:
        return double(e.get_uint64().value_unsafe());
    case element_type::DOUBLE:
        return e.get_double().value_unsafe();
    case element_type::STRING:
        return text(e.get_string().value_unsafe());
    case element_type::BOOL:
        return e.get_bool().value_unsafe();
    case element_type::NULL_VALUE:
        return QJsonValue::Null;
    }
    return QJsonValue::Null;
}

} // namespace json::simd
