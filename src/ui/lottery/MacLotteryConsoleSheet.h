#pragma once

#include "MacLotteryContext.h"
#include "models/Lottery.h"
#include "models/ProjectRecords.h"

#include <QCoro/QCoroTask>
#include <QDialog>
#include <QList>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <functional>
#include <optional>

class APIClient;
class LotteryClaimCard;
class LotteryConsoleLayout;
class LotteryDrawControls;
class LotteryPrizeSettings;
class LotteryWinnersCard;
class QMessageBox;

// The window-modal sheet in which the crew prepares and runs the audience lottery of one rundown
// item. Open it with open(); it loads when shown and, as a console, puts the venue screen on the
// sign-up QR code until it closes. Give it Qt::WA_DeleteOnClose to free it on closing; the player
// bar draws the same code with macQRCodeImage(LotteryRules::registrationURL(...)).
class MacLotteryConsoleSheet : public QDialog
{
    Q_OBJECT

public:
    // Requests go through APIClient::shared().
    MacLotteryConsoleSheet(ProjectSummary project, MacLotteryContext context, QWidget *parent = nullptr);
    MacLotteryConsoleSheet(ProjectSummary project, MacLotteryContext context, APIClient &client,
                           QWidget *parent = nullptr);
    ~MacLotteryConsoleSheet() override;

    const ProjectSummary &project() const { return m_project; }
    const MacLotteryContext &context() const { return m_context; }
    const std::optional<LotteryState> &lottery() const { return m_lottery; }
    const QList<LotteryPrize> &draftPrizes() const { return m_draftPrizes; }
    const QString &selectedPrizeID() const { return m_selectedPrizeID; }
    const QString &claimPhone() const { return m_claimPhone; }
    const QString &message() const { return m_message; }
    bool isLoading() const { return m_isLoading; }
    bool isBusy() const { return m_isBusy; }
    const std::optional<LotteryWinner> &noShowWinner() const { return m_noShowWinner; }

    std::optional<QUrl> registrationURL() const;
    std::optional<LotteryPrize> selectedPrize() const;
    bool isRolling() const;

    // The actions; each ends by itself and never throws.
    QCoro::Task<> load();
    QCoro::Task<> setScreen(QString mode);
    QCoro::Task<> setMode(QString mode);
    QCoro::Task<> savePrizes(LotteryState state);
    QCoro::Task<> startDraw();
    QCoro::Task<> claim();

    void done(int result) override;

Q_SIGNALS:
    // Any of the state above changed.
    void stateChanged();

protected:
    void showEvent(QShowEvent *event) override;

private:
    using Request = std::function<QCoro::Task<LotteryMutationResponse>()>;

    QCoro::Task<> present();
    QCoro::Task<> runCommand(Request request);
    QCoro::Task<> markNoShow();
    void sendProgramScreen();
    void changed();

    void refresh();
    LotteryPrize *draft(qsizetype index);

    void copyLink();
    void openLink();
    void toggleEntry();
    void addPrize();
    void removePrize(const QString &prizeID);
    void chooseMode(const QString &mode);
    void askReset();
    void askNoShow(const LotteryWinner &winner);
    QMessageBox *confirm(const QString &objectName, const QString &title, const QString &text,
                         const QString &confirmText, std::function<void()> onConfirm,
                         std::function<void()> onFinished);

    ProjectSummary m_project;
    MacLotteryContext m_context;
    APIClient &m_client;

    std::optional<LotteryState> m_lottery;
    QList<LotteryPrize> m_draftPrizes;
    QString m_selectedPrizeID;
    QString m_claimPhone;
    QString m_message;
    bool m_isLoading = true;
    bool m_isBusy = false;
    bool m_showFormalConfirmation = false;
    bool m_showResetConfirmation = false;
    std::optional<LotteryWinner> m_noShowWinner;

    bool m_presented = false;
    bool m_closed = false;
    bool m_programSent = false;

    LotteryConsoleLayout *m_layout = nullptr;
    LotteryPrizeSettings *m_prizeSettings = nullptr;
    // The console's cards; none in the settings presentation.
    LotteryDrawControls *m_drawControls = nullptr;
    LotteryWinnersCard *m_winnersCard = nullptr;
    LotteryClaimCard *m_claimCard = nullptr;

    QPointer<QMessageBox> m_formalConfirmation;
    QPointer<QMessageBox> m_resetConfirmation;
    QPointer<QMessageBox> m_noShowConfirmation;
};
