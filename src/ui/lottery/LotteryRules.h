#pragma once

#include "common/Theme.h"
#include "models/Lottery.h"

#include <QList>
#include <QString>
#include <QUrl>

#include <optional>

// The lottery console's pure rules: links, texts and which control may act.
namespace LotteryRules {

// The public sign-up page of one lottery item; it never follows the configurable service address.
std::optional<QUrl> registrationURL(const QString &projectID, const QString &itemID);

// "《title》 · project", with "未命名节目" for an empty title.
QString subtitle(const QString &itemTitle, const QString &projectName);

// The prize preselected after a load: the one being drawn, else the first, else none.
QString initialPrizeID(const LotteryState &state);
// The first prize of the service's list with that id.
std::optional<LotteryPrize> prize(const LotteryState &state, const QString &prizeID);

// Sum of the winner places, clamped to the 64-bit range instead of overflowing.
qint64 seatTotal(const QList<LotteryPrize> &prizes);

// Blank means nothing but spaces and tabs; line breaks count as content.
bool isBlank(const QString &text);
// A prize the service cannot take: its name or gift is blank.
bool hasIncompletePrize(const QList<LotteryPrize> &prizes);

// "name · gift（drawn/places）".
QString prizeOptionLabel(const LotteryPrize &prize);
QString rollingText(const std::optional<LotteryPrize> &selected);
QString idleDrawText(qint64 entryCount);

bool canStartDraw(const LotteryState &state, const QString &selectedPrizeID, bool busy);
bool canChangeMode(const LotteryState &state, bool busy, bool rolling);
bool canResetRehearsal(const LotteryState &state, bool busy);

// Unicode numbers in the text (full-width digits count; spaces and dashes are skipped).
int numberCount(const QString &text);
bool canClaim(const LotteryState &state, const QString &phone, bool busy);

QString winnerPrizeName(const LotteryState &state, const LotteryWinner &winner);
QString statusLabel(const QString &status);
Theme::Colour statusColour(const QString &status);
bool canMarkNoShow(const LotteryState &state, const LotteryWinner &winner);

// A failure or a refusal of rights is shown in red.
bool isAlarming(const QString &message);

} // namespace LotteryRules
