#include "LotteryClaimCard.h"

#include "LotteryRules.h"
#include "LotteryWidgets.h"
#include "common/Theme.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>

LotteryClaimCard::LotteryClaimCard(QWidget *parent)
    : QWidget(parent)
{
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(6, 6, 6, 6);
    m_claimField = new QLineEdit(this);
    m_claimField->setObjectName(QStringLiteral("claimPhoneField"));
    m_claimField->setPlaceholderText(QStringLiteral("输入中奖者完整手机号"));
    connect(m_claimField, &QLineEdit::textEdited, this, &LotteryClaimCard::phoneEdited);
    row->addWidget(m_claimField, 1);
    m_claimButton = LotteryWidgets::button(QStringLiteral("核销领奖"), QStringLiteral("claimButton"), this);
    Theme::makeProminent(m_claimButton);
    connect(m_claimButton, &QPushButton::clicked, this, &LotteryClaimCard::claimRequested);
    row->addWidget(m_claimButton);
}

void LotteryClaimCard::refresh(const LotteryState &state, const QString &claimPhone, bool isBusy)
{
    if (m_claimField->text() != claimPhone) {
        m_claimField->setText(claimPhone);
    }
    m_claimButton->setEnabled(LotteryRules::canClaim(state, claimPhone, isBusy));
}
