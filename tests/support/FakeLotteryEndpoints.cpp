#include "FakeEndpointsInternal.h"

#include <QRandomGenerator>

namespace fake {

qint64 Endpoints::drawnCount(const FakeLottery &lottery, const QString &prizeId)
{
    const bool rehearsal = lottery.mode == LotteryValues::rehearsal;
    return std::count_if(lottery.winners.cbegin(), lottery.winners.cend(), [&](const FakeLotteryWinner &w) {
        return w.prizeId == prizeId && w.rehearsal == rehearsal && w.status != LotteryValues::noShow;
    });
}

LotteryState Endpoints::lotteryState(const Access &a, const RundownItem &item,
                                     const FakeLottery &lottery) const
{
    LotteryState s;
    s.project = LotteryProject{a.project->summary.id, a.project->summary.name, a.project->summary.eventDate};
    s.item = LotteryItem{item.id, item.title};
    s.mode = lottery.mode;
    s.entryOpen = lottery.entryOpen;
    s.drawStatus = lottery.drawStatus;
    s.screenMode = lottery.screenMode;
    s.drawingPrizeId = lottery.drawingPrizeId;
    s.entryCount = lottery.entries.size();
    for (const FakeLotteryPrize &prize : lottery.prizes) {
        s.prizes.append(LotteryPrize{prize.id, prize.name, prize.giftName, prize.winnerCount, prize.imageUrl,
                                     drawnCount(lottery, prize.id)});
    }
    const bool rehearsal = lottery.mode == LotteryValues::rehearsal;
    for (const FakeLotteryWinner &w : lottery.winners) {
        if (w.rehearsal != rehearsal) {
            continue;
        }
        Account masked;
        masked.phone = w.phone;
        s.winners.append(LotteryWinner{w.id, w.prizeId, w.displayName, masked.maskedPhone(), w.status,
                                       w.drawnAt, w.claimedAt});
    }
    s.canConfigure = canConfigureLottery(a, item);
    s.canOperate = canOperateLottery(a, item);
    s.canClaim = s.canOperate || a.role == roleStaff;
    return s;
}

FakeReply Endpoints::lottery()
{
    const Access a = accessFromQuery();
    RundownItem &target = item(*a.project, query(QStringLiteral("itemId")));
    if (!target.type.contains(QStringLiteral("抽奖")) && !target.title.contains(QStringLiteral("抽奖"))) {
        refuse(400, QStringLiteral("该节目不是抽奖环节"));
    }
    FakeLottery &l = a.project->lotteries[target.id];
    l.itemId = target.id;
    const auto answer = [&](const QString &message, std::optional<QString> result = std::nullopt,
                            bool ok = true) {
        return jsonReply(LotteryMutationResponse{ok, lotteryState(a, target, l), result, message}.toJson());
    };
    if (m_call.method == "GET") {
        return jsonReply(lotteryState(a, target, l).toJson());
    }

    const auto payload = this->payload<LotteryActionPayload>();
    const bool configure = canConfigureLottery(a, target);
    const bool operate = canOperateLottery(a, target);
    const bool rolling = l.drawStatus == LotteryValues::rolling;
    const bool rehearsal = l.mode == LotteryValues::rehearsal;
    const auto require = [](bool allowed) {
        if (!allowed) {
            refuse(403, errForbidden);
        }
    };
    const auto requireField = [](const auto &field) {
        if (!field) {
            refuse(400, errBadRequest);
        }
        return *field;
    };

    if (payload.action == QStringLiteral("save")) {
        require(configure);
        if (rolling) {
            refuse(409, QStringLiteral("抽奖进行中，暂不能修改奖项"));
        }
        const QList<LotteryPrize> prizes = requireField(payload.prizes);
        if (payload.mode) {
            if (*payload.mode != LotteryValues::formal && *payload.mode != LotteryValues::rehearsal) {
                refuse(400, errBadRequest);
            }
            l.mode = *payload.mode;
        }
        QList<FakeLotteryPrize> saved;
        for (const LotteryPrize &prize : prizes) {
            if (TextRules::trimmed(prize.name).isEmpty()) {
                refuse(400, QStringLiteral("请填写奖项名称"));
            }
            if (prize.winnerCount < 1) {
                refuse(400, QStringLiteral("中奖名额无效"));
            }
            saved.append(FakeLotteryPrize{prize.id.isEmpty() ? m_p.nextId(QStringLiteral("prize")) : prize.id,
                                          prize.name, prize.giftName, prize.winnerCount, prize.imageUrl});
        }
        l.prizes = saved;
        return answer(QStringLiteral("奖项已保存"));
    }
    if (payload.action == QStringLiteral("screen")) {
        require(operate);
        const QString mode = requireField(payload.mode);
        if (mode != LotteryValues::screenQR && mode != LotteryValues::screenProgram) {
            refuse(400, errBadRequest);
        }
        l.screenMode = mode;
        return answer(mode == LotteryValues::screenQR ? QStringLiteral("大屏已切换为报名二维码")
                                                      : QStringLiteral("大屏已切换为节目画面"));
    }
    if (payload.action == QStringLiteral("mode")) {
        require(operate);
        const QString mode = requireField(payload.mode);
        if (mode != LotteryValues::formal && mode != LotteryValues::rehearsal) {
            refuse(400, errBadRequest);
        }
        if (rolling) {
            refuse(409, QStringLiteral("抽奖进行中，暂不能切换模式"));
        }
        l.mode = mode;
        return answer(mode == LotteryValues::formal ? QStringLiteral("已进入正式抽奖")
                                                    : QStringLiteral("已切换为彩排模式"));
    }
    if (payload.action == QStringLiteral("entry")) {
        require(operate);
        l.entryOpen = requireField(payload.open);
        return answer(l.entryOpen ? QStringLiteral("观众报名已开启") : QStringLiteral("观众报名已关闭"));
    }
    if (payload.action == QStringLiteral("drawStart")) {
        require(operate);
        const QString prizeId = requireField(payload.prizeId);
        const auto prize = std::find_if(l.prizes.cbegin(), l.prizes.cend(),
                                        [&](const FakeLotteryPrize &p) { return p.id == prizeId; });
        if (prize == l.prizes.cend()) {
            refuse(404, QStringLiteral("奖项不存在"));
        }
        if (rolling) {
            refuse(409, QStringLiteral("正在抽奖中"));
        }
        if (drawnCount(l, prizeId) >= prize->winnerCount) {
            refuse(409, QStringLiteral("该奖项名额已抽完"));
        }
        l.drawStatus = LotteryValues::rolling;
        l.drawingPrizeId = prizeId;
        return answer(QStringLiteral("开始抽取%1").arg(prize->name));
    }
    if (payload.action == QStringLiteral("drawStop")) {
        require(operate);
        if (!rolling || !l.drawingPrizeId) {
            refuse(409, QStringLiteral("当前没有进行中的抽奖"));
        }
        l.drawStatus = QStringLiteral("idle");
        const QString prizeId = *l.drawingPrizeId;
        const auto prize = std::find_if(l.prizes.cbegin(), l.prizes.cend(),
                                        [&](const FakeLotteryPrize &p) { return p.id == prizeId; });
        qint64 places = prize == l.prizes.cend() ? 0 : prize->winnerCount - drawnCount(l, prizeId);
        QList<FakeLotteryEntry> eligible;
        for (const FakeLotteryEntry &entry : std::as_const(l.entries)) {
            const bool alreadyWon =
                std::any_of(l.winners.cbegin(), l.winners.cend(), [&](const FakeLotteryWinner &w) {
                    return w.phone == entry.phone && w.rehearsal == rehearsal;
                });
            if (!alreadyWon) {
                eligible.append(entry);
            }
        }
        QRandomGenerator random = m_p.lotterySeed ? QRandomGenerator(*m_p.lotterySeed + m_p.lotteryDraws)
                                                  : QRandomGenerator::securelySeeded();
        ++m_p.lotteryDraws;
        int drawn = 0;
        while (places > 0 && !eligible.isEmpty()) {
            const FakeLotteryEntry entry = eligible.takeAt(random.bounded(qsizetype(eligible.size())));
            l.winners.append(FakeLotteryWinner{m_p.nextId(QStringLiteral("win")), prizeId, entry.displayName,
                                               entry.phone, LotteryValues::pending, m_p.now(), std::nullopt,
                                               rehearsal});
            --places;
            ++drawn;
        }
        if (drawn == 0) {
            return answer(QStringLiteral("没有可抽取的观众"), QStringLiteral("empty"));
        }
        return answer(QStringLiteral("已抽出 %1 位中奖观众").arg(drawn), QStringLiteral("drawn"));
    }
    if (payload.action == QStringLiteral("resetRehearsal")) {
        require(operate);
        if (!rehearsal) {
            refuse(409, QStringLiteral("正式抽奖结果不能重置"));
        }
        l.winners.removeIf([](const FakeLotteryWinner &w) { return w.rehearsal; });
        l.drawStatus = QStringLiteral("idle");
        return answer(QStringLiteral("彩排结果已清空"));
    }
    if (payload.action == QStringLiteral("noShow")) {
        require(operate);
        const QString winId = requireField(payload.winId);
        const auto it = std::find_if(l.winners.begin(), l.winners.end(),
                                     [&](const FakeLotteryWinner &w) { return w.id == winId; });
        if (it == l.winners.end()) {
            refuse(404, QStringLiteral("中奖记录不存在"));
        }
        if (it->status != LotteryValues::pending) {
            refuse(409, QStringLiteral("该中奖记录不能标记为未到场"));
        }
        it->status = LotteryValues::noShow;
        return answer(QStringLiteral("已标记未到场，可补抽该名额"));
    }
    if (payload.action == QStringLiteral("claim")) {
        require(operate || a.role == roleStaff);
        if (rehearsal) {
            refuse(409, QStringLiteral("彩排模式不能核销领奖"));
        }
        // The crew types the phone as it is read out: only its digits count.
        QString phone;
        for (const QChar c : requireField(payload.phone)) {
            if (c.isDigit()) {
                phone.append(QChar(u'0' + c.digitValue()));
            }
        }
        const auto it = std::find_if(l.winners.begin(), l.winners.end(), [&](const FakeLotteryWinner &w) {
            return w.phone == phone && !w.rehearsal && w.status != LotteryValues::noShow;
        });
        if (phone.isEmpty() || it == l.winners.end()) {
            refuse(404, QStringLiteral("未找到该手机号的中奖记录"));
        }
        if (it->status == LotteryValues::claimed) {
            refuse(409, QStringLiteral("该手机号已领奖"));
        }
        it->status = LotteryValues::claimed;
        it->claimedAt = m_p.now();
        return answer(QStringLiteral("领奖成功：%1").arg(it->displayName), QStringLiteral("claimed"));
    }
    refuse(400, errUnknownAction);
}

// --- Administration --------------------------------------------------------------------------

} // namespace fake
