#include "MacLotteryConsoleSheet.h"

#include "LotteryClaimCard.h"
#include "LotteryConsoleLayout.h"
#include "LotteryDrawControls.h"
#include "LotteryPrizeSettings.h"
#include "LotteryRules.h"
#include "LotteryWinnersCard.h"
#include "RequestOutcome.h"
#include "api/APIClient.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QUuid>
#include <QVBoxLayout>

#include <algorithm>

namespace {

const QString synced = QStringLiteral("操作已同步");

// Sent when the console closes; nobody waits for it and its outcome is not reported.
QCoro::Task<> returnScreenToProgram(APIClient &client, QString projectID, QString itemID)
{
    try {
        auto request = client.setLotteryScreen(projectID, itemID, LotteryValues::screenProgram);
        co_await request;
    } catch (...) {
    }
}

} // namespace

MacLotteryConsoleSheet::MacLotteryConsoleSheet(ProjectSummary project, MacLotteryContext context,
                                               QWidget *parent)
    : MacLotteryConsoleSheet(std::move(project), std::move(context), APIClient::shared(), parent)
{}

MacLotteryConsoleSheet::MacLotteryConsoleSheet(ProjectSummary project, MacLotteryContext context,
                                               APIClient &client, QWidget *parent)
    : QDialog(parent)
    , m_project(std::move(project))
    , m_context(std::move(context))
    , m_client(client)
{
    const bool console = m_context.presentation == MacLotteryContext::Presentation::console;
    const QString title = console ? QStringLiteral("抽奖控制台") : QStringLiteral("奖项设置");
    setObjectName(QStringLiteral("lotteryConsoleSheet"));
    setWindowTitle(title);
    setWindowModality(Qt::WindowModal);
    const QScreen *screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
    const int available = screen ? screen->availableGeometry().height() - 40 : 820;
    setMinimumSize(720, std::min(700, available));
    resize(820, std::max(std::min(820, available), minimumHeight()));

    // The cards report what the user does; the sheet changes its state and calls the service.
    LotteryConsoleLayout::Cards cards;
    m_prizeSettings = new LotteryPrizeSettings;
    cards.prizeSettings = m_prizeSettings;
    connect(m_prizeSettings, &LotteryPrizeSettings::nameEdited, this,
            [this](qsizetype i, const QString &text) {
                if (LotteryPrize *prize = draft(i)) {
                    prize->name = text;
                }
            });
    connect(m_prizeSettings, &LotteryPrizeSettings::giftEdited, this,
            [this](qsizetype i, const QString &text) {
                if (LotteryPrize *prize = draft(i)) {
                    prize->giftName = text;
                }
            });
    connect(m_prizeSettings, &LotteryPrizeSettings::countEdited, this, [this](qsizetype i, int value) {
        if (LotteryPrize *prize = draft(i)) {
            prize->winnerCount = value;
        }
    });
    connect(m_prizeSettings, &LotteryPrizeSettings::removeRequested, this,
            &MacLotteryConsoleSheet::removePrize);
    connect(m_prizeSettings, &LotteryPrizeSettings::addRequested, this, &MacLotteryConsoleSheet::addPrize);
    connect(m_prizeSettings, &LotteryPrizeSettings::saveRequested, this, [this] {
        if (m_lottery) {
            savePrizes(*m_lottery);
        }
    });
    if (console) {
        m_drawControls = new LotteryDrawControls;
        cards.drawControls = m_drawControls;
        connect(m_drawControls, &LotteryDrawControls::modeChosen, this, &MacLotteryConsoleSheet::chooseMode);
        connect(m_drawControls, &LotteryDrawControls::resetRequested, this,
                &MacLotteryConsoleSheet::askReset);
        connect(m_drawControls, &LotteryDrawControls::prizeChosen, this, [this](const QString &prizeID) {
            m_selectedPrizeID = prizeID;
            changed();
        });
        connect(m_drawControls, &LotteryDrawControls::startRequested, this, [this] { startDraw(); });
        connect(m_drawControls, &LotteryDrawControls::stopRequested, this, [this] {
            runCommand([this] { return m_client.stopLotteryDraw(m_project.id, m_context.item.id); });
        });

        m_winnersCard = new LotteryWinnersCard;
        cards.winners = m_winnersCard;
        connect(m_winnersCard, &LotteryWinnersCard::noShowRequested, this,
                &MacLotteryConsoleSheet::askNoShow);

        m_claimCard = new LotteryClaimCard;
        cards.claim = m_claimCard;
        connect(m_claimCard, &LotteryClaimCard::phoneEdited, this, [this](const QString &text) {
            m_claimPhone = text;
            changed();
        });
        connect(m_claimCard, &LotteryClaimCard::claimRequested, this, [this] { claim(); });
    }

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_layout = new LotteryConsoleLayout(title, LotteryRules::subtitle(m_context.item.title, m_project.name),
                                        cards, this);
    layout->addWidget(m_layout);
    connect(m_layout, &LotteryConsoleLayout::closeRequested, this, &QDialog::reject);
    connect(m_layout, &LotteryConsoleLayout::copyLinkRequested, this, &MacLotteryConsoleSheet::copyLink);
    connect(m_layout, &LotteryConsoleLayout::openLinkRequested, this, &MacLotteryConsoleSheet::openLink);
    connect(m_layout, &LotteryConsoleLayout::entryToggleRequested, this,
            &MacLotteryConsoleSheet::toggleEntry);

    connect(this, &MacLotteryConsoleSheet::stateChanged, this, &MacLotteryConsoleSheet::refresh);
    refresh();
}

MacLotteryConsoleSheet::~MacLotteryConsoleSheet()
{
    // A console that goes away without closing (its window went) still hands the screen back.
    if (m_presented) {
        sendProgramScreen();
    }
}

// --- State ----------------------------------------------------------------------------------

std::optional<QUrl> MacLotteryConsoleSheet::registrationURL() const
{
    return LotteryRules::registrationURL(m_project.id, m_context.item.id);
}

std::optional<LotteryPrize> MacLotteryConsoleSheet::selectedPrize() const
{
    return m_lottery ? LotteryRules::prize(*m_lottery, m_selectedPrizeID) : std::nullopt;
}

bool MacLotteryConsoleSheet::isRolling() const
{
    return m_lottery && m_lottery->drawStatus == LotteryValues::rolling;
}

LotteryPrize *MacLotteryConsoleSheet::draft(qsizetype index)
{
    return index < m_draftPrizes.size() ? &m_draftPrizes[index] : nullptr;
}

void MacLotteryConsoleSheet::changed()
{
    Q_EMIT stateChanged();
}

void MacLotteryConsoleSheet::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!m_presented) {
        m_presented = true;
        present();
    }
}

void MacLotteryConsoleSheet::done(int result)
{
    m_closed = true;
    if (m_presented) {
        sendProgramScreen();
    }
    QDialog::done(result);
}

void MacLotteryConsoleSheet::sendProgramScreen()
{
    if (m_context.presentation != MacLotteryContext::Presentation::console || m_programSent) {
        return;
    }
    m_programSent = true;
    returnScreenToProgram(m_client, m_project.id, m_context.item.id);
}

QCoro::Task<> MacLotteryConsoleSheet::present()
{
    QPointer<MacLotteryConsoleSheet> self(this);
    auto loading = load();
    co_await loading;
    // A console closed while it loaded must not put the QR code up after handing the screen back.
    if (!self || m_closed || m_context.presentation != MacLotteryContext::Presentation::console) {
        co_return;
    }
    auto screen = setScreen(LotteryValues::screenQR);
    co_await screen;
}

QCoro::Task<> MacLotteryConsoleSheet::load()
{
    QPointer<MacLotteryConsoleSheet> self(this);
    m_isLoading = !m_lottery.has_value();
    changed();
    auto settling = settleRequest(m_client.lottery(m_project.id, m_context.item.id));
    RequestOutcome<LotteryState> outcome = co_await settling;
    if (!self) {
        co_return;
    }
    if (outcome.value) {
        m_lottery = *outcome.value;
        if (m_draftPrizes.isEmpty()) {
            m_draftPrizes = outcome.value->prizes;
        }
        if (m_selectedPrizeID.isEmpty()) {
            m_selectedPrizeID = LotteryRules::initialPrizeID(*outcome.value);
        }
        m_message.clear();
    } else {
        m_message = outcome.failure;
    }
    m_isLoading = false;
    changed();
}

QCoro::Task<> MacLotteryConsoleSheet::runCommand(Request request)
{
    QPointer<MacLotteryConsoleSheet> self(this);
    m_isBusy = true;
    changed();
    auto settling = settleRequest(request());
    RequestOutcome<LotteryMutationResponse> outcome = co_await settling;
    if (!self) {
        co_return;
    }
    if (outcome.value) {
        if (outcome.value->lottery) {
            m_lottery = *outcome.value->lottery;
            m_draftPrizes = outcome.value->lottery->prizes;
        }
        m_message = outcome.value->message.value_or(synced);
    } else {
        m_message = outcome.failure;
    }
    m_isBusy = false;
    changed();
}

QCoro::Task<> MacLotteryConsoleSheet::setScreen(QString mode)
{
    auto command =
        runCommand([this, mode] { return m_client.setLotteryScreen(m_project.id, m_context.item.id, mode); });
    co_await command;
}

QCoro::Task<> MacLotteryConsoleSheet::setMode(QString mode)
{
    auto command =
        runCommand([this, mode] { return m_client.setLotteryMode(m_project.id, m_context.item.id, mode); });
    co_await command;
}

QCoro::Task<> MacLotteryConsoleSheet::savePrizes(LotteryState state)
{
    if (LotteryRules::hasIncompletePrize(m_draftPrizes)) {
        m_message = QStringLiteral("请完整填写奖项名称和奖品");
        changed();
        co_return;
    }
    auto command = runCommand([this, mode = state.mode, prizes = m_draftPrizes] {
        return m_client.saveLottery(m_project.id, m_context.item.id, mode, prizes);
    });
    co_await command;
}

QCoro::Task<> MacLotteryConsoleSheet::startDraw()
{
    auto command = runCommand([this, prizeID = m_selectedPrizeID] {
        return m_client.startLotteryDraw(m_project.id, m_context.item.id, prizeID);
    });
    co_await command;
}

QCoro::Task<> MacLotteryConsoleSheet::markNoShow()
{
    if (!m_noShowWinner) {
        co_return;
    }
    QPointer<MacLotteryConsoleSheet> self(this);
    auto command = runCommand([this, winID = m_noShowWinner->id] {
        return m_client.markLotteryNoShow(m_project.id, m_context.item.id, winID);
    });
    co_await command;
    if (!self) {
        co_return;
    }
    m_noShowWinner.reset();
    changed();
}

QCoro::Task<> MacLotteryConsoleSheet::claim()
{
    QPointer<MacLotteryConsoleSheet> self(this);
    m_isBusy = true;
    changed();
    auto settling = settleRequest(m_client.claimLottery(m_project.id, m_context.item.id, m_claimPhone));
    RequestOutcome<LotteryMutationResponse> outcome = co_await settling;
    if (!self) {
        co_return;
    }
    if (!outcome.value) {
        // The typed phone stays for another try.
        m_message = outcome.failure;
        m_isBusy = false;
        changed();
        co_return;
    }
    const QString result = outcome.value->message.value_or(QStringLiteral("核销完成"));
    m_message = result;
    m_claimPhone.clear();
    changed();
    auto reload = load();
    co_await reload;
    if (!self) {
        co_return;
    }
    // The reload clears the status line, yet the operator must still see whether the prize was
    // handed out; a failed reload adds its own text.
    m_message = m_message.isEmpty() ? result : result + QStringLiteral("；") + m_message;
    m_isBusy = false;
    changed();
}

// --- Controls -------------------------------------------------------------------------------

void MacLotteryConsoleSheet::copyLink()
{
    const auto url = registrationURL();
    if (!url) {
        return;
    }
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(url->toString(QUrl::FullyEncoded));
    m_message = QStringLiteral("报名链接已复制");
    changed();
}

void MacLotteryConsoleSheet::openLink()
{
    if (const auto url = registrationURL()) {
        QDesktopServices::openUrl(*url);
    }
}

void MacLotteryConsoleSheet::toggleEntry()
{
    if (!m_lottery) {
        return;
    }
    runCommand([this, open = !m_lottery->entryOpen] {
        return m_client.setLotteryEntry(m_project.id, m_context.item.id, open);
    });
}

void MacLotteryConsoleSheet::addPrize()
{
    LotteryPrize prize;
    prize.id = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    prize.winnerCount = 1;
    prize.drawnCount = 0;
    m_draftPrizes.append(prize);
    changed();
    m_prizeSettings->focusLastName();
}

void MacLotteryConsoleSheet::removePrize(const QString &prizeID)
{
    m_draftPrizes.removeIf([&](const LotteryPrize &p) { return p.id == prizeID; });
    changed();
}

void MacLotteryConsoleSheet::chooseMode(const QString &mode)
{
    const bool differs = m_lottery && mode != m_lottery->mode;
    // The picker shows the service's mode until a new lottery says otherwise.
    refresh();
    if (!differs) {
        return;
    }
    if (mode == LotteryValues::formal) {
        m_showFormalConfirmation = true;
        m_formalConfirmation = confirm(
            QStringLiteral("formalConfirmation"), QStringLiteral("切换到正式抽奖？"),
            QStringLiteral("正式中奖记录用于现场领奖核销，不会随彩排重置。"), QStringLiteral("进入正式抽奖"),
            [this] { setMode(LotteryValues::formal); }, [this] { m_showFormalConfirmation = false; });
    } else {
        setMode(LotteryValues::rehearsal);
    }
}

void MacLotteryConsoleSheet::askReset()
{
    m_showResetConfirmation = true;
    m_resetConfirmation = confirm(
        QStringLiteral("resetConfirmation"), QStringLiteral("重置彩排结果？"),
        QStringLiteral("只清除彩排中奖记录，观众报名和正式中奖记录保持不变。"), QStringLiteral("重置彩排"),
        [this] {
            runCommand([this] { return m_client.resetLotteryRehearsal(m_project.id, m_context.item.id); });
        },
        [this] { m_showResetConfirmation = false; });
}

void MacLotteryConsoleSheet::askNoShow(const LotteryWinner &winner)
{
    m_noShowWinner = winner;
    changed();
    m_noShowConfirmation = confirm(
        QStringLiteral("noShowConfirmation"), QStringLiteral("标记中奖人未到场？"),
        QStringLiteral("该中奖记录将显示为“中奖未到场失效”，并释放一个中奖名额。"),
        QStringLiteral("失效并允许重抽"),
        // Reads the winner as the button is pressed, before the dialog's closing clears it.
        [this] { markNoShow(); },
        [this] {
            m_noShowWinner.reset();
            changed();
        });
}

QMessageBox *MacLotteryConsoleSheet::confirm(const QString &objectName, const QString &title,
                                             const QString &text, const QString &confirmText,
                                             std::function<void()> onConfirm,
                                             std::function<void()> onFinished)
{
    auto *box = new QMessageBox(this);
    box->setObjectName(objectName);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::WindowModal);
    box->setIcon(QMessageBox::Warning);
    box->setWindowTitle(title);
    box->setText(title);
    box->setInformativeText(text);
    // Without a width of its own the dialog wraps its message after a few characters.
    if (auto *informative = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_informativelabel"))) {
        informative->setMinimumWidth(340);
    }
    QPushButton *confirmButton = box->addButton(confirmText, QMessageBox::DestructiveRole);
    confirmButton->setObjectName(QStringLiteral("confirmButton"));
    QPushButton *cancel = box->addButton(QStringLiteral("取消"), QMessageBox::RejectRole);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    box->setDefaultButton(cancel);
    box->setEscapeButton(cancel);
    connect(box, &QMessageBox::buttonClicked, this, [confirmButton, onConfirm](QAbstractButton *clicked) {
        if (clicked == confirmButton) {
            onConfirm();
        }
    });
    connect(box, &QMessageBox::finished, this, [onFinished] { onFinished(); });
    box->open();
    return box;
}

// --- Presentation ---------------------------------------------------------------------------

void MacLotteryConsoleSheet::refresh()
{
    m_layout->refresh(m_isLoading, m_lottery.has_value(), m_message);
    if (!m_lottery) {
        return;
    }
    const LotteryState &state = *m_lottery;
    m_layout->refreshLottery(state, isRolling(), registrationURL());
    m_prizeSettings->refresh(m_draftPrizes, state.canConfigure, m_isBusy);
    if (m_context.presentation == MacLotteryContext::Presentation::console) {
        m_drawControls->refresh(state, m_selectedPrizeID, selectedPrize(), m_isBusy, isRolling());
        m_winnersCard->refresh(state);
        m_claimCard->refresh(state, m_claimPhone, m_isBusy);
    }
}
