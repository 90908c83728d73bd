#include "api/APIClient.h"
#include "common/Theme.h"
#include "flow/MediaSourceGate.h"
#include "shell/QtTranslations.h"
#include "shell/RootView.h"

#include <QApplication>
#include <QDir>
#include <QThreadPool>

#include <chrono>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillory"));
    installQtTranslations(app);
    MediaSourceGate::install();
    Theme::install();
    QThreadPool::globalInstance()->start([] { APIClient::removeStaleDownloads(QDir::tempPath()); });

    // An unusable TAVIK_API_BASE_URL does not stop the program: the first bootstrap reports it.
    // Like every further window, the first one is deleted when closed.
    auto *window = new RootView(APIClient::shared());
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->resize(1180, 780);
    window->show();
    const int status = QApplication::exec();
    MediaSourceGate::boundTearDown(std::chrono::seconds(5));
    return status;
}
