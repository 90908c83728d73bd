#pragma once

#include "Error.h"

#include <QNetworkReply>

// The service client's own failure: the service's message, or an answer it cannot use.
class APIClientError : public QuilloryError
{
public:
    enum class Kind { server, invalidResponse };

    static APIClientError server(QString message) { return APIClientError(Kind::server, std::move(message)); }
    static APIClientError invalidResponse() { return APIClientError(Kind::invalidResponse, {}); }

    Kind kind() const { return m_kind; }
    // The carried text of server(); empty for invalidResponse.
    const QString &message() const { return m_message; }
    QString description() const override;

private:
    APIClientError(Kind kind, QString message)
        : m_kind(kind)
        , m_message(std::move(message))
    {}

    Kind m_kind;
    QString m_message;
};

// A failure of the transport itself (no connection, time-out, cancellation), passed on unchanged.
class TransportError : public QuilloryError
{
public:
    TransportError(QNetworkReply::NetworkError code, QString text)
        : m_code(code)
        , m_text(std::move(text))
    {}

    QNetworkReply::NetworkError code() const { return m_code; }
    QString description() const override { return m_text; }

private:
    QNetworkReply::NetworkError m_code;
    QString m_text;
};

// Reading or writing a local file (a downloaded asset, a picked upload) failed.
class FileError : public QuilloryError
{
public:
    explicit FileError(QString text)
        : m_text(std::move(text))
    {}
    QString description() const override { return m_text; }

private:
    QString m_text;
};
