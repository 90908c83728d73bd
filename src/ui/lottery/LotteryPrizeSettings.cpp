#include "LotteryPrizeSettings.h"

#include "LotteryWidgets.h"
#include "common/Theme.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <limits>

using LotteryWidgets::button;
using LotteryWidgets::discard;

LotteryPrizeSettings::LotteryPrizeSettings(QWidget *parent)
    : QWidget(parent)
{
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(6, 6, 6, 6);
    column->setSpacing(10);
    m_noPrizesText = Theme::label(QStringLiteral("还没有奖项，点击下方按钮添加。 "), Theme::TextStyle::body,
                                  Theme::Colour::secondary, this);
    m_noPrizesText->setObjectName(QStringLiteral("noPrizesText"));
    column->addWidget(m_noPrizesText);
    m_prizeRows = new QVBoxLayout;
    m_prizeRows->setSpacing(8);
    column->addLayout(m_prizeRows);

    auto *buttons = new QHBoxLayout;
    m_addPrizeButton = button(QStringLiteral("＋ 添加奖项"), QStringLiteral("addPrizeButton"), this);
    m_savePrizesButton = button(QStringLiteral("保存奖项设置"), QStringLiteral("savePrizesButton"), this);
    Theme::makeProminent(m_savePrizesButton);
    connect(m_addPrizeButton, &QPushButton::clicked, this, &LotteryPrizeSettings::addRequested);
    connect(m_savePrizesButton, &QPushButton::clicked, this, &LotteryPrizeSettings::saveRequested);
    buttons->addWidget(m_addPrizeButton);
    buttons->addStretch(1);
    buttons->addWidget(m_savePrizesButton);
    column->addLayout(buttons);
}

void LotteryPrizeSettings::refresh(const QList<LotteryPrize> &drafts, bool canConfigure, bool isBusy)
{
    m_noPrizesText->setVisible(drafts.isEmpty());
    syncRows(drafts);
    for (QWidget *row : std::as_const(m_prizeRowWidgets)) {
        row->setEnabled(canConfigure);
    }
    m_addPrizeButton->setEnabled(canConfigure);
    m_savePrizesButton->setEnabled(canConfigure && !isBusy);
}

void LotteryPrizeSettings::focusLastName()
{
    if (!m_prizeRowWidgets.isEmpty()) {
        if (auto *name = m_prizeRowWidgets.last()->findChild<QLineEdit *>(QStringLiteral("prizeNameField"))) {
            name->setFocus();
        }
    }
}

void LotteryPrizeSettings::syncRows(const QList<LotteryPrize> &drafts)
{
    QStringList ids;
    for (const LotteryPrize &prize : drafts) {
        ids.append(prize.id);
    }
    if (ids != m_prizeRowIDs) {
        // Rows are bound to their place in the list, so any change of the list rebuilds them.
        discard(m_prizeRowWidgets);
        for (qsizetype i = 0; i < drafts.size(); ++i) {
            auto *row = new QWidget;
            row->setObjectName(QStringLiteral("prizeRow"));
            row->setProperty("prizeId", drafts.at(i).id);
            auto *layout = new QHBoxLayout(row);
            layout->setContentsMargins(0, 0, 0, 0);
            auto *name = new QLineEdit(row);
            name->setObjectName(QStringLiteral("prizeNameField"));
            name->setPlaceholderText(QStringLiteral("奖项名称，例如一等奖"));
            auto *gift = new QLineEdit(row);
            gift->setObjectName(QStringLiteral("prizeGiftField"));
            gift->setPlaceholderText(QStringLiteral("奖品，例如儿童耳机"));
            auto *count = new QSpinBox(row);
            count->setObjectName(QStringLiteral("prizeCountStepper"));
            count->setSuffix(QStringLiteral(" 人"));
            count->setFixedWidth(125);
            auto *remove = new QToolButton(row);
            remove->setObjectName(QStringLiteral("deletePrizeButton"));
            remove->setIcon(Theme::icon(QStringLiteral("trash"), Theme::colour(Theme::Colour::red)));
            remove->setToolTip(QStringLiteral("删除奖项"));
            remove->setAutoRaise(true);
            layout->addWidget(name, 1);
            layout->addWidget(gift, 1);
            layout->addWidget(count);
            layout->addWidget(remove);
            connect(name, &QLineEdit::textEdited, this,
                    [this, i](const QString &text) { Q_EMIT nameEdited(i, text); });
            connect(gift, &QLineEdit::textEdited, this,
                    [this, i](const QString &text) { Q_EMIT giftEdited(i, text); });
            connect(count, &QSpinBox::valueChanged, this,
                    [this, i](int value) { Q_EMIT countEdited(i, value); });
            const QString id = drafts.at(i).id;
            connect(remove, &QToolButton::clicked, this, [this, id] { Q_EMIT removeRequested(id); });
            m_prizeRows->addWidget(row);
            m_prizeRowWidgets.append(row);
        }
        m_prizeRowIDs = ids;
    }
    for (qsizetype i = 0; i < drafts.size(); ++i) {
        const LotteryPrize &prize = drafts.at(i);
        QWidget *row = m_prizeRowWidgets.at(i);
        auto *name = row->findChild<QLineEdit *>(QStringLiteral("prizeNameField"));
        auto *gift = row->findChild<QLineEdit *>(QStringLiteral("prizeGiftField"));
        auto *count = row->findChild<QSpinBox *>(QStringLiteral("prizeCountStepper"));
        if (name->text() != prize.name) {
            name->setText(prize.name);
        }
        if (gift->text() != prize.giftName) {
            gift->setText(prize.giftName);
        }
        // The editor keeps 1 to 100; a count the service sent outside that is still shown as it is.
        constexpr qint64 intMax = std::numeric_limits<int>::max();
        constexpr qint64 intMin = std::numeric_limits<int>::min();
        const int value = int(std::clamp(prize.winnerCount, intMin, intMax));
        const QSignalBlocker blocker(count);
        count->setRange(std::min(1, value), std::max(100, value));
        count->setValue(value);
    }
}
