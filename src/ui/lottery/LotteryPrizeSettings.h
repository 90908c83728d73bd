#pragma once

#include "models/Lottery.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QWidget>

class QLabel;
class QPushButton;
class QVBoxLayout;

// The prize editor: a row per draft prize, adding and deleting prizes and saving the list. The
// drafts belong to the sheet; the rows only show them and report what the user types.
class LotteryPrizeSettings : public QWidget
{
    Q_OBJECT

public:
    explicit LotteryPrizeSettings(QWidget *parent = nullptr);

    void refresh(const QList<LotteryPrize> &drafts, bool canConfigure, bool isBusy);
    // Puts the cursor into the name of the last row, as after adding a prize.
    void focusLastName();

Q_SIGNALS:
    // `index` is the row's place in the drafts when the rows were built.
    void nameEdited(qsizetype index, const QString &name);
    void giftEdited(qsizetype index, const QString &giftName);
    void countEdited(qsizetype index, int winnerCount);
    void removeRequested(const QString &prizeID);
    void addRequested();
    void saveRequested();

private:
    void syncRows(const QList<LotteryPrize> &drafts);

    QLabel *m_noPrizesText = nullptr;
    QVBoxLayout *m_prizeRows = nullptr;
    QList<QWidget *> m_prizeRowWidgets;
    QStringList m_prizeRowIDs;
    QPushButton *m_addPrizeButton = nullptr;
    QPushButton *m_savePrizesButton = nullptr;
};
