#pragma once

#include "json/Json.h"

#include <QJsonObject>
#include <QString>

#include <optional>

// The answer of operations that return nothing useful.
struct EmptyResponse
{
    std::optional<bool> ok;

    QUILLORY_JSON(EmptyResponse, ok)
};

// The body of a refused answer: a string under "error".
struct APIErrorPayload
{
    QString error;

    QUILLORY_JSON(APIErrorPayload, error)
};
