#pragma once

#include "stores/AppStore.h"

#include <QWidget>

#include <chrono>

class APIClient;
class QVBoxLayout;

// The content of a window: owns the window's session store and shows one screen per phase.
class RootView : public QWidget
{
    Q_OBJECT

public:
    // The least room the screens get; the window's menu bar comes on top of it.
    static constexpr QSize minimumWindowSize{980, 680};

    // The bootstrap asks `client` itself, with the 8-second time-out.
    explicit RootView(APIClient &client, QWidget *parent = nullptr);
    RootView(SessionBootstrapClient &bootstrapClient, APIClient &client,
             std::chrono::nanoseconds bootstrapTimeout, QWidget *parent = nullptr);

    ~RootView() override;

    AppStore &store() { return m_store; }
    // The screen shown now.
    QWidget *screen() const { return m_screen; }

    // A further window with its own root view, store and bootstrap; it shares only the clients
    // (and so the token) with this one, and goes away when closed.
    RootView *openNewWindow();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void addWindowCommands();
    void showScreenForPhase();

    SessionBootstrapClient &m_bootstrapClient;
    APIClient &m_client;
    AppStore m_store;
    bool m_shownOnce = false;
    std::optional<AppStore::Phase> m_screenPhase;
    QVBoxLayout *m_layout = nullptr;
    QWidget *m_screen = nullptr;
};
