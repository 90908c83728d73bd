#include "LotteryRules.h"

#include "api/APIClient.h"

#include "rules/TextRules.h"
#include <limits>

namespace LotteryRules {

namespace {
// The production service's public web host, where the audience signs up.
const QString publicLotteryPage = QStringLiteral("https://quillory.example/lottery");
} // namespace

std::optional<QUrl> registrationURL(const QString &projectID, const QString &itemID)
{
    const QUrl url(publicLotteryPage + QStringLiteral("?project=") + APIClient::encodeQueryValue(projectID) +
                       QStringLiteral("&item=") + APIClient::encodeQueryValue(itemID),
                   QUrl::StrictMode);
    if (!url.isValid()) {
        return std::nullopt;
    }
    return url;
}

QString subtitle(const QString &itemTitle, const QString &projectName)
{
    return QStringLiteral("《") + TextRules::programTitle(itemTitle) + QStringLiteral("》 · ") + projectName;
}

QString initialPrizeID(const LotteryState &state)
{
    if (state.drawingPrizeId) {
        return *state.drawingPrizeId;
    }
    return state.prizes.isEmpty() ? QString() : state.prizes.first().id;
}

std::optional<LotteryPrize> prize(const LotteryState &state, const QString &prizeID)
{
    for (const LotteryPrize &p : state.prizes) {
        if (p.id == prizeID) {
            return p;
        }
    }
    return std::nullopt;
}

qint64 seatTotal(const QList<LotteryPrize> &prizes)
{
    qint64 total = 0;
    for (const LotteryPrize &p : prizes) {
        if (__builtin_add_overflow(total, p.winnerCount, &total)) {
            total =
                p.winnerCount > 0 ? std::numeric_limits<qint64>::max() : std::numeric_limits<qint64>::min();
        }
    }
    return total;
}

bool isBlank(const QString &text)
{
    return std::all_of(text.cbegin(), text.cend(), [](QChar c) {
        return c == QLatin1Char('\t') || c.category() == QChar::Separator_Space;
    });
}

bool hasIncompletePrize(const QList<LotteryPrize> &prizes)
{
    return std::any_of(prizes.cbegin(), prizes.cend(),
                       [](const LotteryPrize &p) { return isBlank(p.name) || isBlank(p.giftName); });
}

QString prizeOptionLabel(const LotteryPrize &prize)
{
    return prize.name + QStringLiteral(" · ") + prize.giftName + QStringLiteral("（") +
           QString::number(prize.drawnCount.value_or(0)) + QLatin1Char('/') +
           QString::number(prize.winnerCount) + QStringLiteral("）");
}

QString rollingText(const std::optional<LotteryPrize> &selected)
{
    return QStringLiteral("正在滚动 ") + (selected ? selected->name : QStringLiteral("奖项")) +
           QStringLiteral("…");
}

QString idleDrawText(qint64 entryCount)
{
    if (entryCount == 0) {
        return QStringLiteral("暂无报名观众");
    }
    return QStringLiteral("已从 ") + QString::number(entryCount) + QStringLiteral(" 位报名观众中准备抽取");
}

bool canStartDraw(const LotteryState &state, const QString &selectedPrizeID, bool busy)
{
    return state.canOperate && state.entryCount != 0 && !selectedPrizeID.isEmpty() && !busy;
}

bool canChangeMode(const LotteryState &state, bool busy, bool rolling)
{
    return state.canOperate && !busy && !rolling;
}

bool canResetRehearsal(const LotteryState &state, bool busy)
{
    return state.canOperate && !busy;
}

int numberCount(const QString &text)
{
    int count = 0;
    for (const char32_t c : text.toUcs4()) {
        if (QChar::isNumber(c)) {
            ++count;
        }
    }
    return count;
}

bool canClaim(const LotteryState &state, const QString &phone, bool busy)
{
    return state.canClaim && numberCount(phone) == 11 && !busy && state.mode == LotteryValues::formal;
}

QString winnerPrizeName(const LotteryState &state, const LotteryWinner &winner)
{
    const auto found = prize(state, winner.prizeId);
    return found ? found->name : QStringLiteral("奖项");
}

QString statusLabel(const QString &status)
{
    if (status == LotteryValues::claimed) {
        return QStringLiteral("已领奖");
    }
    if (status == LotteryValues::noShow) {
        return QStringLiteral("中奖未到场失效");
    }
    return QStringLiteral("待领奖");
}

Theme::Colour statusColour(const QString &status)
{
    if (status == LotteryValues::claimed) {
        return Theme::Colour::green;
    }
    if (status == LotteryValues::noShow) {
        return Theme::Colour::red;
    }
    return Theme::Colour::orange;
}

bool canMarkNoShow(const LotteryState &state, const LotteryWinner &winner)
{
    return winner.status == LotteryValues::pending && state.canOperate;
}

bool isAlarming(const QString &message)
{
    return message.contains(QStringLiteral("失败")) || message.contains(QStringLiteral("无权"));
}

} // namespace LotteryRules
