// Serves the fake show service with the demo show for local runs of the client:
//   quillory-fake-service [--port N] [--items N]
// then start the client with TAVIK_API_BASE_URL set to the printed base URL.

#include "FakeService.h"

#include <QString>
#include <QTextStream>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <pthread.h>

namespace {

void usage(QTextStream &out)
{
    out << "usage: quillory-fake-service [--port N] [--items N]   (default port 8765)\n"
        << "  --items N   also seed a project whose rundown has N items\n";
}

} // namespace

int main(int argc, char **argv)
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    int port = 8765;
    int largeItems = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--port") == 0 && i + 1 < argc) {
            bool ok = false;
            port = QString::fromLocal8Bit(argv[++i]).toInt(&ok);
            if (!ok || port <= 0 || port > 65535) {
                err << "invalid port: " << argv[i] << "\n";
                return 2;
            }
        } else if (std::strcmp(argv[i], "--items") == 0 && i + 1 < argc) {
            bool ok = false;
            largeItems = QString::fromLocal8Bit(argv[++i]).toInt(&ok);
            if (!ok || largeItems <= 0 || largeItems > 100000) {
                err << "invalid item count: " << argv[i] << "\n";
                return 2;
            }
        } else if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            usage(out);
            return 0;
        } else {
            usage(err);
            return 2;
        }
    }

    // Block the stop signals before any thread starts, so every thread inherits the mask and
    // only sigwait below receives them. A shell starts background jobs with SIGINT ignored, and
    // an ignored signal never becomes pending, so restore the default first.
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    FakeService service;
    const DemoShow show = service.seedDemoShow();
    QString largeProjectId;
    if (largeItems > 0) {
        largeProjectId =
            service.withPlatform([&](FakePlatform &p) { return seedLargeShow(p, show, largeItems); });
    }
    if (!service.start(port)) {
        err << "cannot listen on 127.0.0.1:" << port << "\n";
        return 1;
    }

    out << "Quillory fake service listening on " << service.baseUrl() << "\n";
    out << "  TAVIK_API_BASE_URL=" << service.baseUrl() << "\n\n";
    out << "Sign in with any of these phones and the SMS code " << FakeService::smsCode << ":\n";
    for (const DemoLogin &login : show.logins) {
        const QString role = login.role.isEmpty() ? QStringLiteral("—") : login.role;
        out << "  " << login.phone << "  " << login.name << "  " << role;
        if (login.superAdmin) {
            out << "  [平台超级管理员]";
        }
        out << "\n";
    }
    if (!largeProjectId.isEmpty()) {
        out << "\nThe project " << largeProjectId << " has " << largeItems << " rundown items.\n";
    }
    out << "\nPress Ctrl+C to stop.\n";
    out.flush();

    int received = 0;
    sigwait(&stopSignals, &received);
    out << "\nstopping…\n";
    out.flush();
    service.stop();
    return 0;
}
