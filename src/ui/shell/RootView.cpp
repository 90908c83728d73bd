#include "RootView.h"

#include "LoadingView.h"
#include "LoginView.h"
#include "ProjectHomeView.h"
#include "StartupUnavailableView.h"
#include "api/APIClient.h"

#include <QShowEvent>
#include <QVBoxLayout>

RootView::RootView(APIClient &client, QWidget *parent)
    : RootView(client, client, AppStore::defaultBootstrapTimeout, parent)
{}

RootView::RootView(SessionBootstrapClient &bootstrapClient, APIClient &client,
                   std::chrono::nanoseconds bootstrapTimeout, QWidget *parent)
    : QWidget(parent)
    , m_client(client)
    , m_store(bootstrapClient, client, bootstrapTimeout)
{
    setObjectName(QStringLiteral("rootView"));
    setWindowTitle(QStringLiteral("Quillory"));
    setMinimumSize(minimumWindowSize);
    m_layout = new QVBoxLayout(this);
    m_layout->setContentsMargins(0, 0, 0, 0);
    connect(&m_store, &AppStore::phaseChanged, this, &RootView::showScreenForPhase);
    showScreenForPhase();
}

RootView::~RootView()
{
    // The screens observe the store; they go first.
    qDeleteAll(findChildren<QWidget *>(Qt::FindDirectChildrenOnly));
}

void RootView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!m_shownOnce && !event->spontaneous()) {
        m_shownOnce = true;
        if (m_store.phase() == AppStore::Phase::loading) {
            m_store.bootstrap();
        }
    }
}

void RootView::showScreenForPhase()
{
    // The store notifies on every assignment; a screen is only replaced when the phase really changes,
    // so its local state survives a repeated value.
    const AppStore::Phase phase = m_store.phase();
    if (m_screenPhase == phase) {
        return;
    }
    m_screenPhase = phase;
    if (m_screen) {
        // Deferred: the change may come from inside the old screen's own handler. Its tasks check
        // their guard and leave it alone from here on.
        m_screen->hide();
        m_layout->removeWidget(m_screen);
        m_screen->deleteLater();
        m_screen = nullptr;
    }
    switch (phase) {
    case AppStore::Phase::loading:
        m_screen = new LoadingView(this);
        break;
    case AppStore::Phase::unavailable:
        m_screen = new StartupUnavailableView(m_store, this);
        break;
    case AppStore::Phase::signedOut:
        m_screen = new LoginView(m_store, m_client, this);
        break;
    case AppStore::Phase::signedIn:
        m_screen = new ProjectHomeView(m_store, m_client, this);
        break;
    }
    m_layout->addWidget(m_screen);
    m_screen->show();
}
