#include "Lottery.h"

#include "json/Json.h"

using json::Reader;
using json::Writer;
using L = QLatin1StringView;

LotteryProject LotteryProject::fromJson(const QJsonObject &o)
{
    const Reader r(o);
    return LotteryProject{
        r.required<QString>(L("id")),
        r.required<QString>(L("name")),
        r.required<QString>(L("eventDate")),
    };
}

QJsonObject LotteryProject::toJson() const
{
    return Writer().put(L("id"), id).put(L("name"), name).put(L("eventDate"), eventDate).object();
}

LotteryItem LotteryItem::fromJson(const QJsonObject &o)
{
    const Reader r(o);
    return LotteryItem{r.required<QString>(L("id")), r.required<QString>(L("title"))};
}

QJsonObject LotteryItem::toJson() const
{
    return Writer().put(L("id"), id).put(L("title"), title).object();
}

LotteryPrize LotteryPrize::fromJson(const QJsonObject &o)
{
    const Reader r(o);
    return LotteryPrize{
        r.required<QString>(L("id")),       r.required<QString>(L("name")),
        r.required<QString>(L("giftName")), r.required<qint64>(L("winnerCount")),
        r.required<QString>(L("imageUrl")), r.optional<qint64>(L("drawnCount")),
    };
}

QJsonObject LotteryPrize::toJson() const
{
    return Writer()
        .put(L("id"), id)
        .put(L("name"), name)
        .put(L("giftName"), giftName)
        .put(L("winnerCount"), winnerCount)
        .put(L("imageUrl"), imageUrl)
        .put(L("drawnCount"), drawnCount)
        .object();
}

LotteryWinner LotteryWinner::fromJson(const QJsonObject &o)
{
    const Reader r(o);
    return LotteryWinner{
        r.required<QString>(L("id")),          r.required<QString>(L("prizeId")),
        r.required<QString>(L("displayName")), r.required<QString>(L("maskedPhone")),
        r.required<QString>(L("status")),      r.optional<QString>(L("drawnAt")),
        r.optional<QString>(L("claimedAt")),
    };
}

QJsonObject LotteryWinner::toJson() const
{
    return Writer()
        .put(L("id"), id)
        .put(L("prizeId"), prizeId)
        .put(L("displayName"), displayName)
        .put(L("maskedPhone"), maskedPhone)
        .put(L("status"), status)
        .put(L("drawnAt"), drawnAt)
        .put(L("claimedAt"), claimedAt)
        .object();
}

LotteryState LotteryState::fromJson(const QJsonObject &o)
{
    const Reader r(o);
    return LotteryState{
        r.required<LotteryProject>(L("project")),
        r.required<LotteryItem>(L("item")),
        r.required<QString>(L("mode")),
        r.required<bool>(L("entryOpen")),
        r.required<QString>(L("drawStatus")),
        r.required<QString>(L("screenMode")),
        r.optional<QString>(L("drawingPrizeId")),
        r.required<qint64>(L("entryCount")),
        r.required<QList<LotteryPrize>>(L("prizes")),
        r.required<QList<LotteryWinner>>(L("winners")),
        r.required<bool>(L("canOperate")),
        r.required<bool>(L("canClaim")),
        r.required<bool>(L("canConfigure")),
    };
}

QJsonObject LotteryState::toJson() const
{
    return Writer()
        .put(L("project"), project)
        .put(L("item"), item)
        .put(L("mode"), mode)
        .put(L("entryOpen"), entryOpen)
        .put(L("drawStatus"), drawStatus)
        .put(L("screenMode"), screenMode)
        .put(L("drawingPrizeId"), drawingPrizeId)
        .put(L("entryCount"), entryCount)
        .put(L("prizes"), prizes)
        .put(L("winners"), winners)
        .put(L("canOperate"), canOperate)
        .put(L("canClaim"), canClaim)
        .put(L("canConfigure"), canConfigure)
        .object();
}

LotteryMutationResponse LotteryMutationResponse::fromJson(const QJsonObject &o)
{
    const Reader r(o);
    return LotteryMutationResponse{
        r.optional<bool>(L("ok")),
        r.optional<LotteryState>(L("lottery")),
        r.optional<QString>(L("result")),
        r.optional<QString>(L("message")),
    };
}

QJsonObject LotteryMutationResponse::toJson() const
{
    return Writer()
        .put(L("ok"), ok)
        .put(L("lottery"), lottery)
        .put(L("result"), result)
        .put(L("message"), message)
        .object();
}

LotteryActionPayload LotteryActionPayload::fromJson(const QJsonObject &o)
{
    const Reader r(o);
    return LotteryActionPayload{
        r.required<QString>(L("action")),
        r.optional<QString>(L("mode")),
        r.optional<bool>(L("open")),
        r.optional<QString>(L("prizeId")),
        r.optional<QString>(L("winId")),
        r.optional<QString>(L("phone")),
        r.optional<QList<LotteryPrize>>(L("prizes")),
    };
}

QJsonObject LotteryActionPayload::toJson() const
{
    return Writer()
        .put(L("action"), action)
        .put(L("mode"), mode)
        .put(L("open"), open)
        .put(L("prizeId"), prizeId)
        .put(L("winId"), winId)
        .put(L("phone"), phone)
        .put(L("prizes"), prizes)
        .object();
}
