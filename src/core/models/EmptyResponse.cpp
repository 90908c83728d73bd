#include "EmptyResponse.h"

#include "json/Json.h"

using L = QLatin1StringView;

EmptyResponse EmptyResponse::fromJson(const QJsonObject &o)
{
    return EmptyResponse{json::Reader(o).optional<bool>(L("ok"))};
}

QJsonObject EmptyResponse::toJson() const
{
    return json::Writer().put(L("ok"), ok).object();
}

APIErrorPayload APIErrorPayload::fromJson(const QJsonObject &o)
{
    return APIErrorPayload{json::Reader(o).required<QString>(L("error"))};
}

QJsonObject APIErrorPayload::toJson() const
{
    return json::Writer().put(L("error"), error).object();
}
