#pragma once

#include "admin/MacAdminRules.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <optional>

class APIClient;
class QMessageBox;
class QWidget;

// The one way a change reaches the platform: a page proposes it, a dialog over the console names
// it and its consequence, and only a confirmed change is sent.
class MacAdminActions : public QObject
{
    Q_OBJECT

public:
    MacAdminActions(APIClient &client, QWidget *console);

    const std::optional<MacAdminPendingAction> &pendingAction() const { return m_pendingAction; }
    // Asks for confirmation; nothing is sent before it is given. A newer proposal replaces one
    // still waiting.
    void propose(MacAdminPendingAction action);

Q_SIGNALS:
    void performed(); // the service took the change
    // The change failed, or could not be sent at all.
    void failed(const QString &error);

private:
    void perform(MacAdminPendingAction action);

    APIClient &m_client;
    QWidget *m_console;
    std::optional<MacAdminPendingAction> m_pendingAction;
    QPointer<QMessageBox> m_confirmation;
};
