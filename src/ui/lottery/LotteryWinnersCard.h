#pragma once

#include "models/Lottery.h"

#include <QList>
#include <QWidget>

#include <optional>

class QLabel;
class QVBoxLayout;

// The winners of the lottery, each with its prize and status, and the no-show button where a
// winner may still be marked absent.
class LotteryWinnersCard : public QWidget
{
    Q_OBJECT

public:
    explicit LotteryWinnersCard(QWidget *parent = nullptr);

    void refresh(const LotteryState &state);

Q_SIGNALS:
    void noShowRequested(const LotteryWinner &winner);

private:
    QLabel *m_noWinnersText = nullptr;
    QVBoxLayout *m_winnerRows = nullptr;
    QList<QWidget *> m_winnerRowWidgets;
    // What the rows were built from; they are built again only when it changes.
    std::optional<LotteryState> m_winnersShown;
};
