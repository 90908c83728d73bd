// Memory over project switches while a video plays, as a director makes them:
//   BM_ProjectSwitchRss  the program's window signed in; the project list's rows clicked in turn,
//                        200 times, between the gala (its VCR item live, the video playing on real
//                        players) and a show with nothing live; the fake service runs in a process
//                        of its own, so only the program's memory counts. Needs an audio sink:
//                        run under tests/support/run-with-audio.sh. With `-platform xcb` under Xvfb
//                        the video has its native window and renderer, as on a desktop; offscreen
//                        it has neither.
//   (BENCH_LIVE_TRACE=1 prints the resident set and the heap in use every 10 switches.)

#include "BenchSupport.h"
#include "DemoShow.h"
#include "FakeMedia.h"
#include "FakeService.h"
#include "api/APIClient.h"
#include "flow/FlowLiveControl.h"
#include "flow/FlowTableModel.h"
#include "flow/MacProjectFlowView.h"
#include "flow/PlaybackCoordinator.h"
#include "shell/ProjectHomeView.h"
#include "shell/RootView.h"
#include "workspace/MacProjectWorkspaceView.h"

#include <QApplication>
#include <QAudioDevice>
#include <QElapsedTimer>
#include <QFile>
#include <QListWidget>
#include <QMediaDevices>
#include <QMediaPlayer>
#include <QNetworkReply>
#include <QProcess>
#include <QTest>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <functional>
#include <malloc.h>
#include <memory>

namespace {

constexpr int switchCount = 200;
constexpr int switchEveryMs = 400;
// The longest one opening may take before the benchmark gives up.
constexpr int openingLimitMs = 20000;
constexpr int otherItemCount = 20;
// Set in the child process that serves the shows.
const char *const serveVariable = "BENCH_LIVE_SWITCHES_SERVE";
const QByteArray servingPrefix = QByteArrayLiteral("serving ");

// Runs the event loop as the program's does, deferred deletions included (processEvents alone,
// outside exec(), never runs them).
bool waitFor(const std::function<bool()> &done, int limitMs)
{
    QElapsedTimer waited;
    waited.start();
    while (!done()) {
        if (waited.elapsed() > limitMs) {
            return false;
        }
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return true;
}

double rssMiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:")) {
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024;
        }
    }
    return -1;
}

// In the child: the gala with its VCR live (a video with its own sound) and a second show with
// nothing live, served until the parent closes its end of stdin.
void serveShows(benchmark::State &bench)
{
    FakeService service;
    service.start();
    const DemoShow show = service.seedDemoShow();
    const QString other = service.withPlatform([&](FakePlatform &p) {
        FakeProject &gala = *p.project(show.projectId);
        for (RundownItem &item : gala.items) {
            item.liveStatus = item.type == QStringLiteral("VCR") ? RundownValues::live : QString();
        }
        return seedLargeShow(p, show, otherItemCount);
    });
    const QString token = service.tokenFor(show.loginForRole(QStringLiteral("总导演"))->accountId);
    std::printf("%s%s %s %s %s\n", servingPrefix.constData(), qPrintable(service.baseUrl()),
                qPrintable(token), qPrintable(show.projectId), qPrintable(other));
    std::fflush(stdout);
    char line[64];
    while (std::fgets(line, sizeof line, stdin)) {
    }
    service.stop();
    bench.SkipWithError("served the shows");
}

// This program again, as the service (serveShows).
class ServiceProcess
{
public:
    ServiceProcess()
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QString::fromLatin1(serveVariable), QStringLiteral("1"));
        m_process.setProcessEnvironment(environment);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(QCoreApplication::applicationFilePath(),
                        {QStringLiteral("--benchmark_filter=^BM_ProjectSwitchRss/")});
        QElapsedTimer waited;
        waited.start();
        while (waited.elapsed() < openingLimitMs && m_words.isEmpty()) {
            if (!m_process.canReadLine() && !m_process.waitForReadyRead(1000)) {
                if (m_process.state() == QProcess::NotRunning) {
                    return;
                }
                continue;
            }
            const QByteArray line = m_process.readLine().trimmed();
            if (line.startsWith(servingPrefix)) {
                m_words = line.mid(servingPrefix.size()).split(' ');
            }
        }
    }
    ~ServiceProcess()
    {
        m_process.closeWriteChannel();
        if (!m_process.waitForFinished(10000)) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }
    bool started() const { return m_words.size() == 4; }
    QUrl baseUrl() const { return QUrl(QString::fromUtf8(m_words.at(0))); }
    QString token() const { return QString::fromUtf8(m_words.at(1)); }
    QString galaId() const { return QString::fromUtf8(m_words.at(2)); }
    QString otherId() const { return QString::fromUtf8(m_words.at(3)); }

private:
    QProcess m_process;
    QList<QByteArray> m_words;
};

void BM_ProjectSwitchRss(benchmark::State &bench)
{
    if (qEnvironmentVariableIsSet(serveVariable)) {
        serveShows(bench);
        return;
    }
    if (QMediaDevices::audioOutputs().isEmpty()) {
        bench.SkipWithError("no audio output device");
        return;
    }
    if (FakeMedia::demoVcrVideo().isEmpty()) {
        bench.SkipWithError("the demo clips are missing");
        return;
    }
    ServiceProcess service;
    if (!service.started()) {
        bench.SkipWithError("the service process did not start");
        return;
    }
    APIClient client(service.baseUrl(), harness::tokenStore(service.token()), false);
    auto root = std::make_unique<RootView>(client, client, std::chrono::seconds(10));
    root->resize(1400, 860);
    root->show();

    QListWidget *list = nullptr;
    const auto rowOf = [&](const QString &id) {
        for (int r = 0; list && r < list->count(); ++r) {
            if (list->item(r)->data(Qt::UserRole).toString() == id) {
                return r;
            }
        }
        return -1;
    };
    const bool listed = waitFor(
        [&] {
            list = root->screen() ? root->screen()->findChild<QListWidget *>(QStringLiteral("projectList"))
                                  : nullptr;
            return rowOf(service.galaId()) >= 0 && rowOf(service.otherId()) >= 0;
        },
        openingLimitMs);
    auto *home = listed ? qobject_cast<ProjectHomeView *>(root->screen()) : nullptr;
    const auto page = [&]() -> MacProjectFlowView * {
        return home->workspace() ? home->workspace()->findChild<MacProjectFlowView *>() : nullptr;
    };
    // The gala's VCR is playing (its picture moving), or the other show's rundown is shown.
    const auto opened = [&](const QString &id) {
        MacProjectFlowView *shown = page();
        if (!shown || shown->project().id != id || shown->model().rowCount() == 0) {
            return false;
        }
        if (id != service.galaId()) {
            return true;
        }
        const QMediaPlayer *video = shown->liveControl().playback().videoMediaPlayer();
        return video && video->playbackState() == QMediaPlayer::PlayingState && video->position() > 0;
    };
    // A click on the project's row, then at least the pause between two switches.
    const auto open = [&](const QString &id) {
        QElapsedTimer clicked;
        clicked.start();
        QListWidgetItem *row = list->item(rowOf(id));
        list->scrollToItem(row);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(row).center());
        return waitFor([&] { return opened(id) && clicked.elapsed() >= switchEveryMs; }, openingLimitMs);
    };

    bool failed = !home || !open(service.galaId());
    if (failed) {
        bench.SkipWithError("the gala's video did not play");
    }
    for (auto _ : bench) {
        if (failed) {
            break;
        }
        QElapsedTimer all;
        all.start();
        double rss50 = 0;
        for (int n = 1; n <= switchCount; ++n) {
            const QString &target = n % 2 == 1 ? service.otherId() : service.galaId();
            if (!open(target)) {
                bench.SkipWithError(
                    qPrintable(QStringLiteral("switch %1 did not open its project in time").arg(n)));
                failed = true;
                break;
            }
            if (qEnvironmentVariableIsSet("BENCH_LIVE_TRACE") && n % 10 == 0) {
                std::printf("switch %d: RSS %.1f MiB, heap in use %.1f MiB\n", n, rssMiB(),
                            double(mallinfo2().uordblks) / (1 << 20));
                std::fflush(stdout);
            }
            if (n % 50 == 0) {
                const double rss = rssMiB();
                bench.counters["rss" + std::to_string(n) + "_MiB"] = rss;
                if (n == 50) {
                    rss50 = rss;
                } else if (n == switchCount) {
                    bench.counters["rssGrowth_pct"] = 100 * (rss - rss50) / rss50;
                }
            }
        }
        bench.SetIterationTime(double(all.elapsed()) / 1e3);
    }
    bench.SetLabel(QGuiApplication::platformName().toStdString());
    root.reset();
    waitFor([&] { return client.network().findChildren<QNetworkReply *>().isEmpty(); }, openingLimitMs);
    client.network().clearConnectionCache();
}
BENCHMARK(BM_ProjectSwitchRss)->UseManualTime()->Unit(benchmark::kSecond)->Iterations(1);

} // namespace
