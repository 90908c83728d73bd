#include "Json.h"

#include <QJsonDocument>
#include <QJsonParseError>

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
