#include "Json.h"
#include "JsonSimd.h"

#include <QJsonDocument>
#include <QJsonParseError>

#include <cstdint>
#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif
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

namespace {

// Simdjson has validated the UTF-8 by now, so a lead byte tells the length of its sequence.
[[gnu::always_inline]] inline char16_t *convertScalar(const unsigned char *in, std::size_t i,
                                                      std::size_t size, char16_t *o)
{
    while (i < size) {
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
    return o;
}

std::size_t unitsScalar(const unsigned char *in, std::size_t size)
{
    std::size_t units = 0;
    for (std::size_t i = 0; i < size; ++i) {
        // Each byte but a continuation byte starts a character; a four-byte one needs two units.
        units += std::size_t((in[i] & 0xC0) != 0x80) + std::size_t(in[i] >= 0xF0);
    }
    return units;
}

#if defined(__x86_64__) || defined(__i386__)
#define QUILLORY_SIMD_TEXT 1

__attribute__((target("ssse3,popcnt"))) std::size_t unitsSsse3(const unsigned char *in, std::size_t size)
{
    std::size_t units = 0;
    std::size_t i = 0;
    const __m128i lastContinuation = _mm_set1_epi8(char(0xBF));
    const __m128i highNibble = _mm_set1_epi8(char(0xF0));
    for (; i + 16 <= size; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(in + i));
        // As signed bytes, continuations are -128..-65; four-byte leads are 0xF0 and up.
        const int starts = _mm_movemask_epi8(_mm_cmpgt_epi8(v, lastContinuation));
        const int fourByte = _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_and_si128(v, highNibble), highNibble));
        units += std::size_t(__builtin_popcount(unsigned(starts)) + __builtin_popcount(unsigned(fourByte)));
    }
    return units + unitsScalar(in + i, size - i);
}

// Chinese text is mostly runs of three-byte sequences and runs of ASCII: both go sixteen bytes or
// four characters a step, anything else one character. The steps are fixed so that the next load
// does not wait on this one's bytes.
__attribute__((target("ssse3"))) void convertSsse3(const unsigned char *in, std::size_t size, char16_t *o)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i highNibble = _mm_set1_epi8(char(0xF0));
    const __m128i threeByteLead = _mm_set1_epi8(char(0xE0));
    // Per character k: a 16-bit lane of (third byte, second byte), and one of (first byte, 0).
    const __m128i lowPairs = _mm_setr_epi8(2, 1, 5, 4, 8, 7, 11, 10, -1, -1, -1, -1, -1, -1, -1, -1);
    const __m128i leads = _mm_setr_epi8(0, -1, 3, -1, 6, -1, 9, -1, -1, -1, -1, -1, -1, -1, -1, -1);
    const __m128i low6 = _mm_set1_epi16(0x003F);
    const __m128i mid6 = _mm_set1_epi16(0x3F00);
    std::size_t i = 0;
    while (i + 16 <= size) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(in + i));
        if (_mm_movemask_epi8(v) == 0) {
            _mm_storeu_si128(reinterpret_cast<__m128i *>(o), _mm_unpacklo_epi8(v, zero));
            _mm_storeu_si128(reinterpret_cast<__m128i *>(o + 8), _mm_unpackhi_epi8(v, zero));
            o += 16;
            i += 16;
            continue;
        }
        const int lead3 = _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_and_si128(v, highNibble), threeByteLead));
        // Three-byte leads at bytes 0, 3, 6 and 9.
        if ((lead3 & 0x249) == 0x249) {
            const __m128i pairs = _mm_shuffle_epi8(v, lowPairs);
            const __m128i first = _mm_shuffle_epi8(v, leads);
            const __m128i units = _mm_or_si128(
                _mm_or_si128(_mm_and_si128(pairs, low6), _mm_srli_epi16(_mm_and_si128(pairs, mid6), 2)),
                _mm_slli_epi16(first, 12));
            _mm_storel_epi64(reinterpret_cast<__m128i *>(o), units);
            o += 4;
            i += 12;
            continue;
        }
        const unsigned char c = in[i];
        const std::size_t length = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        o = convertScalar(in, i, i + length, o);
        i += length;
    }
    convertScalar(in, i, size, o);
}

bool detectSsse3()
{
    // Static initialisers may run before libgcc has read the CPU's features.
    __builtin_cpu_init();
    return __builtin_cpu_supports("ssse3") && __builtin_cpu_supports("popcnt");
}

const bool hasSsse3 = detectSsse3();
#endif

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Simdjson refuses an integer literal outside [-2^63, 2^64), and with it the whole answer, though
// JSON sets no such limit and the number may stand under a key nobody reads. Each such literal is
// overwritten in the parser's copy by one of the same sign that no integer holds, padded with
// blanks: a field that reads it refuses it as out of range, as it would the real value, and every
// number the records read is an integer. Returns whether there was one.
bool tameHugeIntegers(char *data, std::size_t size)
{
    constexpr std::string_view beyondUnsigned = "18446744073709551615"; // 2^64 - 1
    constexpr std::string_view beyondSigned = "9223372036854775808";    // 2^63
    bool found = false;
    std::size_t i = 0;
    while (i < size) {
        const char c = data[i];
        if (c == '"') {
            // The first stage has found every string closed.
            for (++i; i < size && data[i] != '"'; ++i) {
                i += std::size_t(data[i] == '\\');
            }
            ++i;
            continue;
        }
        if (c != '-' && !isDigit(c)) {
            ++i;
            continue;
        }
        const bool negative = c == '-';
        const std::size_t start = i + std::size_t(negative);
        std::size_t end = start;
        while (end < size && isDigit(data[end])) {
            ++end;
        }
        std::size_t next = end;
        while (next < size && (isDigit(data[next]) || data[next] == '.' || data[next] == 'e' ||
                               data[next] == 'E' || data[next] == '+' || data[next] == '-')) {
            ++next;
        }
        const std::string_view digits(data + start, end - start);
        const std::string_view limit = negative ? beyondSigned : beyondUnsigned;
        const bool huge = next == end && !digits.empty() && digits.front() != '0' &&
                          (digits.size() > limit.size() || (digits.size() == limit.size() && digits > limit));
        if (huge) {
            const std::string_view stand = negative ? "-1e19" : "1e19";
            std::memcpy(data + i, stand.data(), stand.size());
            std::memset(data + i + stand.size(), ' ', end - i - stand.size());
            found = true;
        }
        i = next;
    }
    return found;
}

} // namespace

QString text(std::string_view s)
{
    const auto *in = reinterpret_cast<const unsigned char *>(s.data());
    const std::size_t size = s.size();
#ifdef QUILLORY_SIMD_TEXT
    const std::size_t units = hasSsse3 ? unitsSsse3(in, size) : unitsScalar(in, size);
#else
    const std::size_t units = unitsScalar(in, size);
#endif
    if (units == size) {
        return QString::fromLatin1(s.data(), qsizetype(size));
    }
    QString out(qsizetype(units), Qt::Uninitialized);
    auto *o = reinterpret_cast<char16_t *>(out.data());
#ifdef QUILLORY_SIMD_TEXT
    if (hasSsse3) {
        convertSsse3(in, size, o);
        return out;
    }
#endif
    convertScalar(in, 0, size, o);
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
    if (result.error() == simdjson::NUMBER_ERROR && tameHugeIntegers(padded.data(), size)) {
        result = parser.parse(padded.data(), size, false);
    }
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
