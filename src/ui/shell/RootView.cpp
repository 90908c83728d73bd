#include "RootView.h"

#include "LoadingView.h"
#include "LoginView.h"
#include "ProjectHomeView.h"
#include "StartupUnavailableView.h"
#include "api/APIClient.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QShowEvent>
#include <QVBoxLayout>

RootView::RootView(APIClient &client, QWidget *parent)
    : RootView(client, client, AppStore::defaultBootstrapTimeout, parent)
{}

RootView::RootView(SessionBootstrapClient &bootstrapClient, APIClient &client,
                   std::chrono::nanoseconds bootstrapTimeout, QWidget *parent)
    : QWidget(parent)
    , m_bootstrapClient(bootstrapClient)
    , m_client(client)
    , m_store(bootstrapClient, client, bootstrapTimeout)
{
    setObjectName(QStringLiteral("rootView"));
    setWindowTitle(QStringLiteral("Quillory"));
    m_layout = new QVBoxLayout(this);
    m_layout->setContentsMargins(0, 0, 0, 0);
    addWindowCommands();
    connect(&m_store, &AppStore::phaseChanged, this, &RootView::showScreenForPhase);
    showScreenForPhase();
}

RootView::~RootView()
{
    // The screens observe the store; they go first.
    qDeleteAll(findChildren<QWidget *>(Qt::FindDirectChildrenOnly));
}

RootView *RootView::openNewWindow()
{
    auto *window = new RootView(m_bootstrapClient, m_client, m_store.bootstrapTimeout());
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->resize(size());
    window->show();
    return window;
}

void RootView::addWindowCommands()
{
    auto *menuBar = new QMenuBar(this);
    menuBar->setObjectName(QStringLiteral("windowMenuBar"));
    QMenu *file = menuBar->addMenu(QStringLiteral("文件"));
    QAction *newWindow = file->addAction(QStringLiteral("新建窗口"), this, &RootView::openNewWindow);
    newWindow->setObjectName(QStringLiteral("newWindowAction"));
    newWindow->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    file->addSeparator();
    QAction *quit = file->addAction(QStringLiteral("退出 Quillory"), this, [] {
        // Every window closes (and so lets go of its store) before the program ends.
        QApplication::closeAllWindows();
        QCoreApplication::quit();
    });
    quit->setObjectName(QStringLiteral("quitAction"));
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    // Also on the window itself, so the shortcuts work wherever the focus is in it.
    addActions({newWindow, quit});
    m_layout->setMenuBar(menuBar);
    setMinimumSize(minimumWindowSize + QSize(0, menuBar->sizeHint().height()));
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
