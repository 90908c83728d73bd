#pragma once

#include "models/Lottery.h"

#include <QString>
#include <QUrl>
#include <QWidget>

#include <optional>

class LotteryMetricCell;
class LotteryQRCodeView;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QScrollArea;
class QStackedWidget;

// The frame of the lottery sheet: the header, the loading and failure faces, the scrolling column
// of cards and the status line under it. It draws the overview and the sign-up card itself and
// places the other cards it is given; every press is passed on as a signal.
class LotteryConsoleLayout : public QWidget
{
    Q_OBJECT

public:
    // The cards under the sign-up card; the draw, winners and claim cards only in the console.
    struct Cards
    {
        QWidget *prizeSettings = nullptr;
        QWidget *drawControls = nullptr;
        QWidget *winners = nullptr;
        QWidget *claim = nullptr;
    };

    LotteryConsoleLayout(const QString &title, const QString &subtitle, const Cards &cards,
                         QWidget *parent = nullptr);

    // The header's progress, the face that shows and the status line.
    void refresh(bool isLoading, bool hasLottery, const QString &message);
    // The overview and the sign-up card.
    void refreshLottery(const LotteryState &state, bool rolling, const std::optional<QUrl> &registrationURL);

Q_SIGNALS:
    void closeRequested();
    void copyLinkRequested();
    void openLinkRequested();
    void entryToggleRequested();

private:
    QWidget *buildHeader(const QString &title, const QString &subtitle);
    QWidget *buildContent(const Cards &cards);
    QWidget *buildOverview();
    QWidget *buildRegistrationCard();

    QProgressBar *m_headerProgress = nullptr;
    QStackedWidget *m_faces = nullptr;
    QWidget *m_loadingFace = nullptr;
    QWidget *m_failureFace = nullptr;
    QLabel *m_failureText = nullptr;
    QScrollArea *m_contentFace = nullptr;
    QLabel *m_messageLine = nullptr;

    LotteryMetricCell *m_entriesCell = nullptr;
    LotteryMetricCell *m_modeCell = nullptr;
    LotteryMetricCell *m_prizesCell = nullptr;

    LotteryQRCodeView *m_qrCode = nullptr;
    QPlainTextEdit *m_linkText = nullptr;
    QPushButton *m_entryButton = nullptr;
};
