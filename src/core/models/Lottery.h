#pragma once

#include "json/Json.h"

#include <QJsonObject>
#include <QList>
#include <QString>

#include <optional>

// The audience lottery of one rundown item, as the service keeps it.

struct LotteryProject
{
    QString id;
    QString name;
    QString eventDate;

    friend bool operator==(const LotteryProject &, const LotteryProject &) = default;

    QUILLORY_JSON(LotteryProject, id, name, eventDate)
};

struct LotteryItem
{
    QString id;
    QString title;

    friend bool operator==(const LotteryItem &, const LotteryItem &) = default;

    QUILLORY_JSON(LotteryItem, id, title)
};

struct LotteryPrize
{
    QString id;
    QString name;
    QString giftName;
    qint64 winnerCount = 0;
    QString imageUrl;
    // Absent stays absent on the way back; a prize made in the editor starts at 0.
    std::optional<qint64> drawnCount;

    friend bool operator==(const LotteryPrize &, const LotteryPrize &) = default;

    QUILLORY_JSON(LotteryPrize, id, name, giftName, winnerCount, imageUrl, drawnCount)
};

struct LotteryWinner
{
    QString id;
    QString prizeId;
    QString displayName;
    QString maskedPhone;
    QString status;
    std::optional<QString> drawnAt;
    std::optional<QString> claimedAt;

    friend bool operator==(const LotteryWinner &, const LotteryWinner &) = default;

    QUILLORY_JSON(LotteryWinner, id, prizeId, displayName, maskedPhone, status, drawnAt, claimedAt)
};

struct LotteryState
{
    LotteryProject project;
    LotteryItem item;
    QString mode;
    bool entryOpen = false;
    QString drawStatus;
    QString screenMode;
    std::optional<QString> drawingPrizeId;
    qint64 entryCount = 0;
    QList<LotteryPrize> prizes;
    QList<LotteryWinner> winners;
    bool canOperate = false;
    bool canClaim = false;
    bool canConfigure = false;

    friend bool operator==(const LotteryState &, const LotteryState &) = default;

    QUILLORY_JSON(LotteryState, project, item, mode, entryOpen, drawStatus, screenMode, drawingPrizeId,
                  entryCount, prizes, winners, canOperate, canClaim, canConfigure)
};

// The answer of every lottery command; nothing in it is required.
struct LotteryMutationResponse
{
    std::optional<bool> ok;
    std::optional<LotteryState> lottery;
    std::optional<QString> result;
    std::optional<QString> message;

    QUILLORY_JSON(LotteryMutationResponse, ok, lottery, result, message)
};

// The body of every lottery command: `action` always, and only the fields that command fills.
struct LotteryActionPayload
{
    QString action;
    std::optional<QString> mode;
    std::optional<bool> open;
    std::optional<QString> prizeId;
    std::optional<QString> winId;
    std::optional<QString> phone;
    std::optional<QList<LotteryPrize>> prizes;

    QUILLORY_JSON(LotteryActionPayload, action, mode, open, prizeId, winId, phone, prizes)
};

// The values of LotteryState and LotteryWinner that the client gives meaning to; any other value
// is carried and shown as it comes.
namespace LotteryValues {
inline const QString formal = QStringLiteral("formal");
inline const QString rehearsal = QStringLiteral("rehearsal");
inline const QString rolling = QStringLiteral("rolling");
inline const QString screenQR = QStringLiteral("qr");
inline const QString screenProgram = QStringLiteral("program");
inline const QString pending = QStringLiteral("pending");
inline const QString claimed = QStringLiteral("claimed");
inline const QString noShow = QStringLiteral("no_show");
} // namespace LotteryValues
