#pragma once

#include <QJsonObject>
#include <QString>

#include <optional>

// The answer of operations that return nothing useful.
struct EmptyResponse
{
    std::optional<bool> ok;

    static EmptyResponse fromJson(const QJsonObject &o);
    QJsonObject toJson() const;
};

// The body of a refused answer: a string under "error".
struct APIErrorPayload
{
    QString error;

    static APIErrorPayload fromJson(const QJsonObject &o);
    QJsonObject toJson() const;
};
