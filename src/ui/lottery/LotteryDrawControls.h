#pragma once

#include "models/Lottery.h"

#include <QString>
#include <QWidget>

#include <optional>

class QComboBox;
class QLabel;
class QPushButton;

// The draw controls of the console: the mode and its rehearsal reset, the prize of the next
// draw, and starting and stopping the draw. The choices are the sheet's; this shows them and
// reports the presses.
class LotteryDrawControls : public QWidget
{
    Q_OBJECT

public:
    explicit LotteryDrawControls(QWidget *parent = nullptr);

    void refresh(const LotteryState &state, const QString &selectedPrizeID,
                 const std::optional<LotteryPrize> &selectedPrize, bool isBusy, bool rolling);

Q_SIGNALS:
    // The picker's choice; it keeps showing the lottery's mode until a new lottery says otherwise.
    void modeChosen(const QString &mode);
    void resetRequested();
    void prizeChosen(const QString &prizeID);
    void startRequested();
    void stopRequested();

private:
    QComboBox *m_modePicker = nullptr;
    QPushButton *m_resetButton = nullptr;
    QLabel *m_modeNote = nullptr;
    QComboBox *m_prizePicker = nullptr;
    QWidget *m_rollingRow = nullptr;
    QLabel *m_rollingText = nullptr;
    QPushButton *m_stopButton = nullptr;
    QWidget *m_idleRow = nullptr;
    QLabel *m_idleText = nullptr;
    QPushButton *m_startButton = nullptr;
};
