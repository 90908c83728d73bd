#pragma once

#include "models/Lottery.h"

#include <QString>
#include <QWidget>

class QLineEdit;
class QPushButton;

// The prize claim: the winner's full phone number and the button that hands the prize out.
class LotteryClaimCard : public QWidget
{
    Q_OBJECT

public:
    explicit LotteryClaimCard(QWidget *parent = nullptr);

    void refresh(const LotteryState &state, const QString &claimPhone, bool isBusy);

Q_SIGNALS:
    void phoneEdited(const QString &phone);
    void claimRequested();

private:
    QLineEdit *m_claimField = nullptr;
    QPushButton *m_claimButton = nullptr;
};
