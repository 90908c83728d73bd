#include "LotteryWinnersCard.h"

#include "LotteryRules.h"
#include "LotteryWidgets.h"
#include "common/Theme.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

LotteryWinnersCard::LotteryWinnersCard(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("winnersCard"));
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(6, 0, 6, 0);
    column->setSpacing(0);
    m_noWinnersText = Theme::label(QStringLiteral("尚未产生中奖结果"), Theme::TextStyle::body,
                                   Theme::Colour::secondary, this);
    m_noWinnersText->setObjectName(QStringLiteral("noWinnersText"));
    m_noWinnersText->setContentsMargins(8, 8, 8, 8);
    column->addWidget(m_noWinnersText);
    m_winnerRows = new QVBoxLayout;
    m_winnerRows->setSpacing(0);
    column->addLayout(m_winnerRows);
}

void LotteryWinnersCard::refresh(const LotteryState &state)
{
    m_noWinnersText->setVisible(state.winners.isEmpty());
    const bool same = m_winnersShown && m_winnersShown->winners == state.winners &&
                      m_winnersShown->prizes == state.prizes &&
                      m_winnersShown->canOperate == state.canOperate;
    if (same) {
        return;
    }
    m_winnersShown = state;
    LotteryWidgets::discard(m_winnerRowWidgets);
    for (const LotteryWinner &winner : state.winners) {
        auto *holder = new QWidget;
        holder->setObjectName(QStringLiteral("winnerRow"));
        holder->setProperty("winnerId", winner.id);
        auto *outer = new QVBoxLayout(holder);
        outer->setContentsMargins(0, 0, 0, 0);
        outer->setSpacing(0);
        auto *row = new QHBoxLayout;
        row->setContentsMargins(0, 8, 0, 8);
        row->setSpacing(10);
        auto *who = new QVBoxLayout;
        who->setSpacing(2);
        auto *name =
            Theme::label(winner.displayName, Theme::TextStyle::headline, Theme::Colour::primary, holder);
        auto *phone =
            Theme::label(winner.maskedPhone, Theme::TextStyle::caption, Theme::Colour::secondary, holder);
        who->addWidget(name);
        who->addWidget(phone);
        row->addLayout(who);
        row->addStretch(1);
        auto *prize = Theme::label(LotteryRules::winnerPrizeName(state, winner), Theme::TextStyle::body,
                                   Theme::Colour::secondary, holder);
        row->addWidget(prize);
        auto *status = Theme::label(LotteryRules::statusLabel(winner.status), Theme::TextStyle::caption,
                                    QFont::Bold, LotteryRules::statusColour(winner.status), holder);
        status->setObjectName(QStringLiteral("winnerStatus"));
        row->addWidget(status);
        if (LotteryRules::canMarkNoShow(state, winner)) {
            auto *noShow =
                LotteryWidgets::button(QStringLiteral("未到场"), QStringLiteral("noShowButton"), holder);
            connect(noShow, &QPushButton::clicked, this, [this, winner] { Q_EMIT noShowRequested(winner); });
            row->addWidget(noShow);
        }
        outer->addLayout(row);
        outer->addWidget(Theme::divider(holder));
        m_winnerRows->addWidget(holder);
        m_winnerRowWidgets.append(holder);
    }
}
