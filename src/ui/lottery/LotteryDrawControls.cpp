#include "LotteryDrawControls.h"

#include "LotteryRules.h"
#include "LotteryWidgets.h"
#include "common/Theme.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

using LotteryWidgets::button;
using LotteryWidgets::spinner;
using LotteryWidgets::tint;

LotteryDrawControls::LotteryDrawControls(QWidget *parent)
    : QWidget(parent)
{
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(6, 6, 6, 6);
    column->setSpacing(12);

    auto *modeRow = new QHBoxLayout;
    auto *modeBox = new QWidget(this);
    modeBox->setFixedWidth(220);
    auto *modeLayout = new QHBoxLayout(modeBox);
    modeLayout->setContentsMargins(0, 0, 0, 0);
    modeLayout->addWidget(
        Theme::label(QStringLiteral("抽奖模式"), Theme::TextStyle::body, Theme::Colour::primary));
    m_modePicker = new QComboBox(modeBox);
    m_modePicker->setObjectName(QStringLiteral("modePicker"));
    m_modePicker->addItem(QStringLiteral("彩排模式"), LotteryValues::rehearsal);
    m_modePicker->addItem(QStringLiteral("正式抽奖"), LotteryValues::formal);
    connect(m_modePicker, &QComboBox::activated, this,
            [this](int index) { Q_EMIT modeChosen(m_modePicker->itemData(index).toString()); });
    modeLayout->addWidget(m_modePicker, 1);
    modeRow->addWidget(modeBox);
    m_resetButton = button(QStringLiteral("重置彩排结果"), QStringLiteral("resetRehearsalButton"), this);
    connect(m_resetButton, &QPushButton::clicked, this, &LotteryDrawControls::resetRequested);
    modeRow->addWidget(m_resetButton);
    modeRow->addStretch(1);
    m_modeNote = Theme::label(QString(), Theme::TextStyle::caption, Theme::Colour::secondary, this);
    m_modeNote->setObjectName(QStringLiteral("modeNote"));
    modeRow->addWidget(m_modeNote);
    column->addLayout(modeRow);

    auto *prizeRow = new QHBoxLayout;
    prizeRow->addWidget(
        Theme::label(QStringLiteral("当前奖项"), Theme::TextStyle::body, Theme::Colour::primary));
    m_prizePicker = new QComboBox(this);
    m_prizePicker->setObjectName(QStringLiteral("prizePicker"));
    m_prizePicker->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    m_prizePicker->setMinimumWidth(220);
    connect(m_prizePicker, &QComboBox::activated, this,
            [this](int index) { Q_EMIT prizeChosen(m_prizePicker->itemData(index).toString()); });
    prizeRow->addWidget(m_prizePicker);
    prizeRow->addStretch(1);
    column->addLayout(prizeRow);

    m_rollingRow = new QWidget(this);
    m_rollingRow->setObjectName(QStringLiteral("rollingRow"));
    {
        auto *row = new QHBoxLayout(m_rollingRow);
        row->setContentsMargins(0, 0, 0, 0);
        row->addWidget(spinner(m_rollingRow, 40));
        m_rollingText =
            Theme::label(QString(), Theme::TextStyle::headline, Theme::Colour::primary, m_rollingRow);
        m_rollingText->setObjectName(QStringLiteral("rollingText"));
        row->addWidget(m_rollingText, 1);
        m_stopButton =
            button(QStringLiteral("停止并产生结果"), QStringLiteral("stopDrawButton"), m_rollingRow);
        tint(m_stopButton, Theme::Colour::orange);
        // Never disabled, not by a running command nor by the rights shown: a rolling draw must
        // always be stoppable, and the service refuses a stop it does not allow.
        connect(m_stopButton, &QPushButton::clicked, this, &LotteryDrawControls::stopRequested);
        row->addWidget(m_stopButton);
    }
    m_idleRow = new QWidget(this);
    m_idleRow->setObjectName(QStringLiteral("idleRow"));
    {
        auto *row = new QHBoxLayout(m_idleRow);
        row->setContentsMargins(0, 0, 0, 0);
        m_idleText = Theme::label(QString(), Theme::TextStyle::body, Theme::Colour::secondary, m_idleRow);
        m_idleText->setObjectName(QStringLiteral("idleDrawText"));
        row->addWidget(m_idleText, 1);
        m_startButton = button(QStringLiteral("开始抽奖"), QStringLiteral("startDrawButton"), m_idleRow);
        Theme::makeProminent(m_startButton);
        connect(m_startButton, &QPushButton::clicked, this, &LotteryDrawControls::startRequested);
        row->addWidget(m_startButton);
    }
    column->addWidget(m_rollingRow);
    column->addWidget(m_idleRow);
}

void LotteryDrawControls::refresh(const LotteryState &state, const QString &selectedPrizeID,
                                  const std::optional<LotteryPrize> &selectedPrize, bool isBusy, bool rolling)
{
    m_modePicker->setCurrentIndex(m_modePicker->findData(state.mode));
    m_modePicker->setEnabled(LotteryRules::canChangeMode(state, isBusy, rolling));
    m_resetButton->setVisible(state.mode == LotteryValues::rehearsal);
    m_resetButton->setEnabled(LotteryRules::canResetRehearsal(state, isBusy));
    m_modeNote->setText(state.mode == LotteryValues::formal ? QStringLiteral("正式中奖结果将用于核销")
                                                            : QStringLiteral("彩排结果可随时重置"));

    QStringList shown;
    for (int i = 0; i < m_prizePicker->count(); ++i) {
        shown.append(m_prizePicker->itemData(i).toString() + QLatin1Char('\n') + m_prizePicker->itemText(i));
    }
    QStringList wanted{QStringLiteral("\n请选择奖项")};
    for (const LotteryPrize &prize : state.prizes) {
        wanted.append(prize.id + QLatin1Char('\n') + LotteryRules::prizeOptionLabel(prize));
    }
    if (shown != wanted) {
        const QSignalBlocker blocker(m_prizePicker);
        m_prizePicker->clear();
        m_prizePicker->addItem(QStringLiteral("请选择奖项"), QString());
        for (const LotteryPrize &prize : state.prizes) {
            m_prizePicker->addItem(LotteryRules::prizeOptionLabel(prize), prize.id);
        }
    }
    {
        const QSignalBlocker blocker(m_prizePicker);
        m_prizePicker->setCurrentIndex(m_prizePicker->findData(selectedPrizeID));
    }
    m_prizePicker->setEnabled(!rolling && state.canOperate);

    m_rollingRow->setVisible(rolling);
    m_idleRow->setVisible(!rolling);
    m_rollingText->setText(LotteryRules::rollingText(selectedPrize));
    m_idleText->setText(LotteryRules::idleDrawText(state.entryCount));
    m_startButton->setEnabled(LotteryRules::canStartDraw(state, selectedPrizeID, isBusy));
}
