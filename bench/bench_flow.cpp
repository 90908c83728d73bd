// The rundown page on a 5,000-item rundown, offscreen: silent polls (the answer read, the page
// state, the table model), with and without the request, memory over many polls that each change
// an item, and opening the page until the table's first paint; opening a project of 500 or 5,000
// items from the project list until its rundown is painted. The BM_User cases take the user's
// path: the first opening in a freshly started program and its polls, the program on an X display
// with its token in the keychain (run them under Xvfb and tests/support/run-with-keyring.sh).
//   bench_flow [benchmark flags]
//   bench_flow --rss bare|label|flow   prints the peak resident set size of that scenario and exits
//   bench_flow --rss open|open-media   the same for the program's window with the 500-item rundown
//                                      open, the service in a process of its own

#include "BenchSupport.h"
#include "DemoShow.h"
#include "FakeMedia.h"
#include "FakePlatform.h"
#include "FakeService.h"
#include "MemoryTokenStore.h"
#include "api/APIClient.h"
#include "api/ProjectDetailReader.h"
#include "common/Theme.h"
#include "flow/FlowLiveControl.h"
#include "flow/FlowPageState.h"
#include "flow/FlowTableModel.h"
#include "flow/FlowTableView.h"
#include "flow/MacProjectFlowView.h"
#include "flow/PlaybackCoordinator.h"
#include "shell/ProjectHomeView.h"
#include "shell/RootView.h"
#include "stores/MacProjectDataStore.h"
#include "workspace/MacProjectWorkspaceView.h"
#include "json/JsonSimd.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QLabel>
#include <QListWidget>
#include <QNetworkReply>
#include <QPaintEvent>
#include <QProcess>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <malloc.h>
#include <memory>
#include <optional>

namespace {

constexpr int itemCount = 5000;
// The program's own memory is compared with a bare window at the size of a typical show.
constexpr int openRssItemCount = 500;
constexpr int changedItem = 2500;

// A fresh copy, as each answer off the network is.
QByteArray copyOf(const QByteArray &bytes)
{
    return QByteArray(bytes.constData(), bytes.size());
}

// The answer of the project endpoint for a 5,000-item project, as the service sends it.
struct Fixture
{
    QByteArray unchanged;
    QByteArray oneChanged;
    ProjectSummary summary;
    // Where each item's notes begin in `unchanged`.
    QList<qsizetype> notes;

    // `unchanged` with the notes of `item` prefixed by a text of poll `n`'s own.
    QByteArray withNotesOf(int item, int n) const
    {
        QByteArray bytes = copyOf(unchanged);
        bytes.insert(notes.at(item), QStringLiteral("第%1次改动：").arg(n).toUtf8());
        return bytes;
    }

    static const Fixture &get()
    {
        static const Fixture fixture = [] {
            FakePlatform platform;
            const DemoShow show = seedDemoShow(platform);
            const QString id = seedLargeShow(platform, show, itemCount);
            FakeProject &project = *platform.project(id);
            const Membership me{project.members.first().id, id, project.members.first().name,
                                QStringLiteral("总导演")};
            Fixture f;
            f.summary = project.summary;
            f.unchanged = QJsonDocument(platform.detail(project, me).toJson()).toJson(QJsonDocument::Compact);
            project.items[changedItem].notes = QStringLiteral("改过的备注");
            f.oneChanged =
                QJsonDocument(platform.detail(project, me).toJson()).toJson(QJsonDocument::Compact);
            const QByteArray key = QByteArrayLiteral("\"notes\":\"");
            for (qsizetype at = f.unchanged.indexOf(key); at >= 0 && f.notes.size() < itemCount;
                 at = f.unchanged.indexOf(key, at + 1)) {
                f.notes.append(at + key.size());
            }
            const auto changed = json::decode<ProjectDetailResponse>(f.withNotesOf(itemCount - 1, 7));
            if (!changed.items.last().notes.startsWith(QStringLiteral("第7次改动"))) {
                qFatal("the fixture did not find the items' notes");
            }
            return f;
        }();
        return fixture;
    }
};

// Counts the rows the table's viewport repaints.
class PaintCounter : public QObject
{
public:
    int rows = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            const QRect r = static_cast<QPaintEvent *>(event)->region().boundingRect();
            if (qEnvironmentVariableIsSet("BENCH_FLOW_TRACE")) {
                std::printf("paint %d,%d %dx%d\n", r.x(), r.y(), r.width(), r.height());
            }
            rows += qRound(r.height() / double(FlowTableView::rowHeight + 1));
        }
        return false;
    }
};

APIClient &idleClient()
{
    // Never asked for anything: the page state needs a client, these benchmarks no network.
    static APIClient client(QUrl(QStringLiteral("http://127.0.0.1:9")), std::make_shared<MemoryTokenStore>(),
                            false);
    return client;
}

// The page state, its model and a shown table, loaded once with the rundown; each poll's answer
// is read as the page reads it.
struct Page
{
    FlowPageState state;
    FlowTableModel model;
    FlowTableView view{state, model};
    PaintCounter painted;
    int changedRows = 0;

    Page()
        : state(Fixture::get().summary, idleClient())
    {
        QObject::connect(&state, &FlowPageState::detailChanged, &model, [this] { model.refresh(state); });
        QObject::connect(
            &model, &QAbstractItemModel::dataChanged, &model,
            [this](const QModelIndex &a, const QModelIndex &b) { changedRows += b.row() - a.row() + 1; });
        poll(copyOf(Fixture::get().unchanged));
        view.resize(1400, 800);
        view.show();
        view.viewport()->installEventFilter(&painted);
        QApplication::processEvents();
        changedRows = 0;
    }

    void poll(const QByteArray &answer) { state.applyAnswer(answer); }
};

void BM_PollUnchanged(benchmark::State &bench)
{
    Page page;
    const QByteArray answers[] = {copyOf(Fixture::get().unchanged), copyOf(Fixture::get().unchanged)};
    int n = 0;
    for (auto _ : bench) {
        page.poll(answers[++n % 2]);
    }
    bench.counters["changedRows"] = page.changedRows;
}
BENCHMARK(BM_PollUnchanged)->Unit(benchmark::kMillisecond);

void BM_PollOneChanged(benchmark::State &bench)
{
    Page page;
    const QByteArray before = copyOf(Fixture::get().unchanged);
    const QByteArray after = copyOf(Fixture::get().oneChanged);
    // The changed row is on screen, so its repaint is real.
    page.view.scrollTo(page.model.index(changedItem, 0), QAbstractItemView::PositionAtCenter);
    QApplication::processEvents();
    bool flip = false;
    int repaintedRows = 0;
    for (auto _ : bench) {
        flip = !flip;
        page.poll(flip ? after : before);
        bench.PauseTiming();
        // Only what the model asked for gets painted.
        page.painted.rows = 0;
        QApplication::processEvents();
        repaintedRows = std::max(repaintedRows, page.painted.rows);
        bench.ResumeTiming();
    }
    bench.counters["changedRowsPerPoll"] =
        benchmark::Counter(page.changedRows, benchmark::Counter::kAvgIterations);
    bench.counters["repaintedRowsMax"] = repaintedRows;
}
BENCHMARK(BM_PollOneChanged)->Unit(benchmark::kMillisecond);

// The fake service in a child process (`bench_flow --serve`), so that process CPU and memory are
// the client's alone. It answers the project endpoint with the prepared 5,000-item answer, changed
// as each line on its stdin asks: "same", "one" (item 2500's notes changed) or "change N" (poll N's
// own text in the notes of item N × 7919 mod 5,000), and prints "ok" once the answer is in place.
constexpr int changeStride = 7919;

int serve()
{
    FakeService service;
    service.start();
    const DemoShow show = service.seedDemoShow();
    service.withPlatform([&](FakePlatform &p) { return seedLargeShow(p, show, itemCount); });
    const Fixture &f = Fixture::get();
    const QByteArray path = QByteArrayLiteral("/api/project");
    service.script("GET", path, Script{.body = f.unchanged});
    std::printf("ready %s %s\n", qPrintable(service.baseUrl()),
                qPrintable(service.tokenFor(show.logins.at(1).accountId)));
    std::fflush(stdout);
    char line[64];
    while (std::fgets(line, sizeof line, stdin)) {
        const QByteArray command = QByteArray(line).trimmed();
        QByteArray body = f.unchanged;
        if (command == "one") {
            body = f.oneChanged;
        } else if (command.startsWith("change ")) {
            const int n = command.mid(7).toInt();
            body = f.withNotesOf(int((qint64(n) * changeStride) % itemCount), n);
        }
        service.clearScripts();
        service.clearRequests();
        service.script("GET", path, Script{.body = body});
        std::printf("ok\n");
        std::fflush(stdout);
    }
    service.stop();
    return 0;
}

// The service process and a client of it, whose token is read from the keychain when run under
// tests/support/run-with-keyring.sh, from memory otherwise.
class ServiceProcess
{
public:
    ServiceProcess()
        : m_process({QStringLiteral("--serve")}, QProcessEnvironment::systemEnvironment())
    {
        const auto words = m_process.expect("ready", 120000);
        if (words && words->size() == 3) {
            m_client =
                std::make_unique<APIClient>(QUrl(QString::fromUtf8(words->at(1))),
                                            harness::tokenStore(QString::fromUtf8(words->at(2))), false);
        }
    }
    ~ServiceProcess()
    {
        if (m_client) {
            m_client->network().clearConnectionCache();
        }
    }
    bool started() const { return m_client != nullptr; }
    APIClient &client() { return *m_client; }
    // The answers from now on; false when the service did not take them in time.
    bool answer(const QByteArray &command)
    {
        m_process.send(command);
        return m_process.expect("ok", 60000).has_value();
    }

private:
    harness::Child m_process;
    std::unique_ptr<APIClient> m_client;
};

// The rundown page against the service process, loaded and with its timer stopped; poll() runs one
// silent reload to its end, and what it asked to repaint. Without the service or the first load in
// time, `view` stays empty.
struct NetworkPage
{
    ServiceProcess service;
    std::unique_ptr<MacProjectFlowView> view;
    bool finished = false;

    NetworkPage()
    {
        if (!service.started()) {
            return;
        }
        view = std::make_unique<MacProjectFlowView>(Fixture::get().summary, service.client(), [] {});
        view->resize(1400, 800);
        view->show();
        QObject::connect(&view->state(), &FlowPageState::reloadFinished, view.get(),
                         [this] { finished = true; });
        if (!waitForReload()) {
            view.reset();
            return;
        }
        view->state().stop();
    }
    // False when the poll did not end in time.
    bool poll()
    {
        view->state().reload(true);
        if (!waitForReload()) {
            return false;
        }
        QApplication::processEvents();
        // What the running program's event loop does between polls; processEvents leaves it.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return true;
    }

private:
    // Sleeps in the event loop, as the program would between the request and its answer; the
    // limit's timer ends the wait if the answer never comes.
    bool waitForReload()
    {
        finished = false;
        QTimer limit;
        limit.setSingleShot(true);
        limit.start(60000);
        while (!finished && limit.isActive()) {
            QApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        return finished;
    }
};

// The whole poll as the running page does it: the request on loopback, reading the answer, the
// page state, every view of the page that follows it, and their repaint.
void BM_PollOverNetwork(benchmark::State &bench)
{
    const bool change = bench.range(0) != 0;
    NetworkPage page;
    if (!page.view) {
        bench.SkipWithError("the service process or the first load did not come in time");
        return;
    }
    int changedRows = 0;
    QObject::connect(
        &page.view->model(), &QAbstractItemModel::dataChanged, page.view.get(),
        [&](const QModelIndex &a, const QModelIndex &b) { changedRows += b.row() - a.row() + 1; });
    bool flip = false;
    for (auto _ : bench) {
        if (change) {
            bench.PauseTiming();
            flip = !flip;
            const bool taken = page.service.answer(flip ? "one" : "same");
            bench.ResumeTiming();
            if (!taken) {
                bench.SkipWithError("the service process did not take the answer");
                break;
            }
        }
        if (!page.poll()) {
            bench.SkipWithError("the poll did not end in time");
            break;
        }
    }
    bench.counters["keychain"] = harness::usesKeychain() ? 1 : 0;
    bench.counters["changedRowsPerPoll"] =
        benchmark::Counter(changedRows, benchmark::Counter::kAvgIterations);
    bench.counters["answer_MiB"] = double(Fixture::get().unchanged.size()) / (1024 * 1024);
}
BENCHMARK(BM_PollOverNetwork)
    ->ArgName("changed")
    ->Arg(0)
    ->Arg(1)
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond);

double statusMiB(const QByteArray &field);

double heapMiB()
{
    const struct mallinfo2 info = mallinfo2();
    return double(info.uordblks + info.hblkhd) / (1024 * 1024);
}

// Memory of the page over many polls as in a running show polled every 2 s: poll N edits the notes
// of another item, and the previous poll's item returns to its text (two items change per poll).
// The resident set, its peak and the heap in use once loaded and after 100, 150 ("minute 5"),
// 500 and 900 ("minute 30") polls, and the growth from minute 5 to minute 30.
void BM_PollsMemory(benchmark::State &bench)
{
    NetworkPage page;
    if (!page.view) {
        bench.SkipWithError("the service process or the first load did not come in time");
        return;
    }
    int n = 0;
    for (auto _ : bench) {
        double rss150 = 0;
        double peak150 = 0;
        for (const int upTo : {0, 100, 150, 500, 900}) {
            while (n < upTo) {
                if (!page.service.answer("change " + QByteArray::number(++n)) || !page.poll()) {
                    bench.SkipWithError("a poll did not end in time");
                    return;
                }
            }
            const QByteArray at = QByteArray::number(n);
            const double rss = statusMiB("VmRSS:");
            const double peak = statusMiB("VmHWM:");
            bench.counters["rss" + at.toStdString() + "_MiB"] = rss;
            bench.counters["peak" + at.toStdString() + "_MiB"] = peak;
            bench.counters["heap" + at.toStdString() + "_MiB"] = heapMiB();
            if (upTo == 150) {
                rss150 = rss;
                peak150 = peak;
            } else if (upTo == 900) {
                bench.counters["rssGrowth_pct"] = 100 * (rss - rss150) / rss150;
                bench.counters["peakGrowth_pct"] = 100 * (peak - peak150) / peak150;
            }
        }
    }
}
// One fresh run: repeated in the same process, a run would start from the last one's memory.
BENCHMARK(BM_PollsMemory)->Iterations(1)->Repetitions(1)->Unit(benchmark::kMillisecond);

// The rundown table's viewport once it has rows. The table is built once the page's request is
// on its way: asking the page for it would build it at once.
bool isFilledRundown(QWidget *widget)
{
    auto *table = qobject_cast<FlowTableView *>(widget->parentWidget());
    return table && table->viewport() == widget && table->model()->rowCount() > 0;
}

void BM_OpenUntilFirstPaint(benchmark::State &bench)
{
    FakeService service;
    service.start();
    const DemoShow show = service.seedDemoShow();
    const QString id =
        service.withPlatform([&](FakePlatform &p) { return seedLargeShow(p, show, itemCount); });
    const ProjectSummary summary =
        service.withPlatform([&](FakePlatform &p) { return p.project(id)->summary; });
    APIClient client(QUrl(service.baseUrl()),
                     std::make_shared<MemoryTokenStore>(service.tokenFor(show.logins.at(1).accountId)),
                     false);

    for (auto _ : bench) {
        QElapsedTimer timer;
        timer.start();
        auto page = std::make_unique<MacProjectFlowView>(summary, client, [] {});
        page->resize(1400, 800);
        page->show();
        harness::FirstPaintClock painted(isFilledRundown);
        qint64 loaded = 0;
        QObject::connect(&page->state(), &FlowPageState::detailChanged, page.get(),
                         [&] { loaded = timer.nsecsElapsed(); });
        if (!harness::waitUntil([&] { return painted.paintedAt.has_value(); })) {
            bench.SkipWithError("the page did not paint its rows in time");
            break;
        }
        if (qEnvironmentVariableIsSet("BENCH_FLOW_TRACE")) {
            std::printf("detail at %.1f ms, painted at %.1f ms\n", loaded / 1e6, timer.nsecsElapsed() / 1e6);
        }
        bench.SetIterationTime(double(timer.nsecsElapsed()) / 1e9);
        page->state().stop();
        page.reset();
        // Let this page's requests end before the next one starts.
        QApplication::processEvents();
    }
    client.network().clearConnectionCache();
    service.stop();
}
BENCHMARK(BM_OpenUntilFirstPaint)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

// --- Opening a project from the project list --------------------------------------------------

// A signed-in window with the project list; each iteration selects the project of `items` items
// and ends when its rundown table has painted its rows. Counters: the time until the service
// read the opening's first project-detail request, and how many of them the opening sent.
void BM_ClickToFirstPaint(benchmark::State &bench)
{
    using harness::Clock;
    using harness::msBetween;
    using harness::waitUntil;
    FakeService service;
    service.start();
    const DemoShow show = service.seedDemoShow();
    const QString id =
        service.withPlatform([&](FakePlatform &p) { return seedLargeShow(p, show, int(bench.range(0))); });
    APIClient client(QUrl(service.baseUrl()),
                     harness::tokenStore(service.tokenFor(show.logins.at(1).accountId)), false);
    auto root = std::make_unique<RootView>(client, client, std::chrono::seconds(10));
    root->resize(1400, 860);
    root->show();
    QListWidget *list = nullptr;
    int row = -1;
    const bool listed = waitUntil([&] {
        list = root->screen() ? root->screen()->findChild<QListWidget *>(QStringLiteral("projectList"))
                              : nullptr;
        for (int r = 0; list && r < list->count(); ++r) {
            if (list->item(r)->data(Qt::UserRole).toString() == id) {
                row = r;
            }
        }
        return row >= 0;
    });
    auto *home = qobject_cast<ProjectHomeView *>(root->screen());
    harness::FirstPaintClock painted(isFilledRundown);
    const auto open = [&] {
        list->setCurrentRow(row);
        return waitUntil([&] { return painted.paintedAt.has_value(); });
    };
    // Both copies loaded and every request of the opening answered; then back to no project.
    const auto settleAndClose = [&] {
        // The store's load ends with its second request: none may still be reading its token.
        const bool settled = waitUntil([&] {
            return home->workspace() && home->workspace()->store().detail() &&
                   !home->workspace()->store().isLoading() &&
                   client.network().findChildren<QNetworkReply *>().isEmpty();
        });
        list->clearSelection();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        painted.paintedAt.reset();
        return settled;
    };
    // Once untimed: the first page of the process loads the style and media plugins.
    if (!listed || !open() || !settleAndClose()) {
        bench.SkipWithError("the project list or the first opening did not come in time");
    }

    double toRequest = 0;
    qint64 detailRequests = 0;
    for (auto _ : bench) {
        const Clock::time_point clicked = Clock::now();
        if (!open()) {
            bench.SkipWithError("the rundown did not paint its rows in time");
            break;
        }
        bench.SetIterationTime(msBetween(clicked, *painted.paintedAt) / 1e3);
        const double paintedMs = msBetween(clicked, *painted.paintedAt);
        if (!settleAndClose()) {
            bench.SkipWithError("the opening did not finish loading in time");
            break;
        }
        QList<RecordedRequest> sent;
        for (const RecordedRequest &r : service.requests("/api/project", "GET")) {
            if (r.receivedAt >= clicked && r.queryItem(QStringLiteral("projectId")) == id) {
                sent.append(r);
            }
        }
        detailRequests += sent.size();
        const double requestMs = sent.isEmpty() ? 0 : msBetween(clicked, sent.first().receivedAt);
        toRequest += requestMs;
        if (qEnvironmentVariableIsSet("BENCH_FLOW_TRACE")) {
            std::printf("request at %.1f ms, painted at %.1f ms, %lld detail requests\n", requestMs,
                        paintedMs, static_cast<long long>(sent.size()));
        }
    }
    const double n = double(std::max<benchmark::IterationCount>(1, bench.iterations()));
    bench.counters["toRequest_ms"] = toRequest / n;
    bench.counters["detailRequests"] = double(detailRequests) / n;
    bench.counters["keychain"] = harness::usesKeychain() ? 1 : 0;
    root.reset();
    waitUntil([&] { return client.network().findChildren<QNetworkReply *>().isEmpty(); });
    client.network().clearConnectionCache();
    service.stop();
}
BENCHMARK(BM_ClickToFirstPaint)
    ->Arg(500)
    ->Arg(5000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20);

// --- The user's path: the program in its own process on the X display (see BenchSupport.h) ----

// The program's process.
//   open <id>   once the project list has shown for a second, says where the project's row is,
//               times the frame with the first rows of its rundown after the click, and says
//               "idle" once every request of the opening is answered
//   poll <id>   the project opened and its own polls stopped ("opened"); each line "poll" runs one
//               silent poll and says "polled <process CPU ns> <wall ns> <rows changed>"
int runProgram(int argc, char **argv)
{
    using harness::Clock;
    using harness::Program;
    const QByteArray role = argv[2];
    const QString id = QString::fromUtf8(argv[3]);
    int changedRows = 0;
    bool polling = false;
    Clock::time_point pollStart;
    qint64 cpuStart = 0;
    const auto cpuNow = [] {
        timespec now{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
        return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
    };
    return harness::runProgram(argc, argv, [&](Program &program) {
        if (role == "open") {
            program.when([&program, id] { return program.projectItem(id) != nullptr; },
                         [&program, id] {
                             // A user looks at the list a moment before choosing.
                             QTimer::singleShot(1000, &program, [&program, id] {
                                 QListWidget *list = program.projectList();
                                 program.timeClick(list->viewport(),
                                                   list->visualItemRect(program.projectItem(id)).center(),
                                                   isFilledRundown, [&program] {
                                                       program.when([&program] { return program.loaded(); },
                                                                    [&program] { program.say("idle"); });
                                                   });
                             });
                         });
            return;
        }
        program.openInCode(id, [&](MacProjectFlowView &page) {
            page.state().stop();
            QObject::connect(
                &page.model(), &QAbstractItemModel::dataChanged, &page,
                [&](const QModelIndex &a, const QModelIndex &b) { changedRows += b.row() - a.row() + 1; });
            QObject::connect(&page.state(), &FlowPageState::reloadFinished, &page, [&] {
                if (!polling) {
                    return;
                }
                polling = false;
                const double wall = double(std::chrono::nanoseconds(Clock::now() - pollStart).count());
                // The CPU of the whole poll: what it repainted, the reply's end, its deletion.
                QTimer::singleShot(50, &program, [&program, &changedRows, cpuStart, cpuNow, wall] {
                    program.say("polled " + QByteArray::number(cpuNow() - cpuStart) + ' ' +
                                QByteArray::number(qint64(wall)) + ' ' + QByteArray::number(changedRows));
                });
            });
            QTimer::singleShot(1000, &program, [&program] { program.say("opened"); });
        });
        program.onLine = [&](const QByteArray &line) {
            if (line == "poll" && program.page() && !polling) {
                changedRows = 0;
                polling = true;
                pollStart = Clock::now();
                cpuStart = cpuNow();
                program.page()->state().reload(true);
            }
        };
    });
}

// A freshly started program, signed in with its token in the keychain and its project list shown
// for a second: a click on the project of 500 (5,000) items until the first frame with rows of its
// rundown has reached the X display (the iteration time). Counters: when the program saw the
// click (input_ms), painted the rows into Qt's back buffer (painted_ms), flushed that frame
// (flushed_ms), the slowest opening (worst_ms); when the service read the first detail request
// (toRequest_ms) and how many the opening sent (requests).
void BM_UserFirstOpening(benchmark::State &bench)
{
    harness::UserPath path(bench, int(bench.range(0)));
    if (!path.ok()) {
        return;
    }
    for (auto _ : bench) {
        const auto program = path.program({QStringLiteral("open"), path.projectId});
        if (!path.timeClick(*program, "GET")) {
            break;
        }
    }
    path.reportClicks();
}
BENCHMARK(BM_UserFirstOpening)
    ->Arg(500)
    ->Arg(5000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);

// A silent poll of the 5,000-item rundown in the program with the project open, its token read
// from the keychain; the service writes each answer itself. The iteration time is the program's
// CPU for the poll (every thread, until 50 ms after the answer was applied); wall_ms is from the
// poll's start until the answer was applied. changed:1 alternates item 2500's notes between two
// texts, so every poll changes one item.
void BM_UserPoll(benchmark::State &bench)
{
    const bool change = bench.range(0) != 0;
    harness::UserPath path(bench, itemCount);
    const auto program = path.ok() ? path.openedProgram(QStringLiteral("poll")) : nullptr;
    if (!program) {
        return;
    }
    double wall = 0;
    qint64 changedRows = 0;
    int n = 0;
    for (auto _ : bench) {
        if (change) {
            path.service().send("notes " + QByteArray::number(changedItem) +
                                (++n % 2 ? " 改过的备注" : " 又改过的备注"));
            if (!path.service().expect("ok")) {
                path.fail("the service process did not take the change");
                break;
            }
        }
        program->send("poll");
        const auto polled = program->expect("polled");
        if (!polled || polled->size() != 4) {
            path.fail("the poll did not end");
            break;
        }
        bench.SetIterationTime(double(polled->at(1).toLongLong()) / 1e9);
        wall += double(polled->at(2).toLongLong()) / 1e6;
        changedRows += polled->at(3).toInt();
    }
    const double polls = double(std::max<benchmark::IterationCount>(1, bench.iterations()));
    bench.counters["wall_ms"] = wall / polls;
    bench.counters["changedRowsPerPoll"] = double(changedRows) / polls;
}
BENCHMARK(BM_UserPoll)
    ->ArgName("changed")
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(40);

long statusKiB(const QByteArray &field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field)) {
            return line.mid(field.size()).trimmed().split(' ').first().toLong();
        }
    }
    return -1;
}

double statusMiB(const QByteArray &field)
{
    return double(statusKiB(field)) / 1024;
}

int measureRss(const char *scenario)
{
    std::unique_ptr<QWidget> window;
    std::unique_ptr<FakeService> service;
    std::unique_ptr<APIClient> client;
    if (std::strcmp(scenario, "flow") == 0) {
        service = std::make_unique<FakeService>();
        service->start();
        const DemoShow show = service->seedDemoShow();
        const QString id =
            service->withPlatform([&](FakePlatform &p) { return seedLargeShow(p, show, itemCount); });
        const ProjectSummary summary =
            service->withPlatform([&](FakePlatform &p) { return p.project(id)->summary; });
        client = std::make_unique<APIClient>(
            QUrl(service->baseUrl()),
            std::make_shared<MemoryTokenStore>(service->tokenFor(show.logins.at(1).accountId)), false);
        std::printf("flow: RSS with the fake service seeded, before the page %ld KiB\n", statusKiB("VmRSS:"));
        auto page = std::make_unique<MacProjectFlowView>(summary, *client, [] {});
        MacProjectFlowView *raw = page.get();
        window = std::move(page);
        window->resize(1400, 800);
        window->show();
        while (raw->model().rowCount() == 0) {
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        }
        // Scroll through the whole table once, as a user would.
        for (int r = 0; r < raw->model().rowCount(); r += 10) {
            raw->flowTable()->scrollTo(raw->model().index(r, 0));
            QApplication::processEvents();
        }
        raw->state().stop();
    } else if (std::strcmp(scenario, "label") == 0) {
        // A bare window that draws Chinese text: the glyph caches of the CJK face alone.
        window =
            std::make_unique<QLabel>(QStringLiteral("节目流程：开场舞《盛世华章》主持人开场 歌曲《追光》"));
        window->resize(1400, 800);
        window->show();
    } else {
        window = std::make_unique<QWidget>();
        window->resize(1400, 800);
        window->show();
    }
    for (int i = 0; i < 20; ++i) {
        QApplication::processEvents();
    }
    std::printf("%s: peak RSS %ld KiB\n", scenario, statusKiB("VmHWM:"));
    window.reset();
    if (client) {
        client->network().clearConnectionCache();
    }
    if (service) {
        service->stop();
    }
    return 0;
}

// The program as a director opens it: a signed-in window, the 500-item project chosen from the
// list, its rundown painted and scrolled through once, with the first item live (in open-media
// it carries an audio file, so the players are needed). The fake service runs in a child process
// forked before anything else, so only the program's own memory is measured; compare with bare.
int measureOpenRss(const char *scenario, int argc, char **argv)
{
    const bool media = std::strcmp(scenario, "open-media") == 0;
    int toParent[2];
    int toChild[2];
    if (pipe(toParent) != 0 || pipe(toChild) != 0) {
        return 1;
    }
    const pid_t child = fork();
    if (child < 0) {
        return 1;
    }
    if (child == 0) {
        close(toParent[0]);
        close(toChild[1]);
        FakeService service;
        service.start();
        const DemoShow show = service.seedDemoShow();
        const QString id = service.withPlatform([&](FakePlatform &p) {
            const QString large = seedLargeShow(p, show, openRssItemCount);
            RundownItem &first = p.project(large)->items.first();
            first.liveStatus = RundownValues::live;
            if (media) {
                p.attachAsset(large, first.id, QStringLiteral("audio"), QStringLiteral("伴奏.wav"),
                              FakeMedia::toneWav(60, 440), 60);
            }
            return large;
        });
        const QByteArray line =
            (service.baseUrl() + QLatin1Char('\n') + service.tokenFor(show.logins.at(1).accountId) +
             QLatin1Char('\n') + id + QLatin1Char('\n'))
                .toUtf8();
        if (write(toParent[1], line.constData(), size_t(line.size())) != line.size()) {
            _exit(1);
        }
        close(toParent[1]);
        char done;
        while (read(toChild[0], &done, 1) > 0) {
        }
        service.stop();
        _exit(0);
    }
    close(toParent[1]);
    close(toChild[0]);
    QByteArray received;
    char buffer[512];
    for (ssize_t n; (n = read(toParent[0], buffer, sizeof buffer)) > 0;) {
        received.append(buffer, n);
    }
    close(toParent[0]);
    const QList<QByteArray> lines = received.split('\n');
    if (lines.size() < 3) {
        return 1;
    }
    const QString id = QString::fromUtf8(lines.at(2));

    QApplication app(argc, argv);
    Theme::install();
    APIClient client(QUrl(QString::fromUtf8(lines.at(0))),
                     std::make_shared<MemoryTokenStore>(QString::fromUtf8(lines.at(1))), false);
    bool opened = false;
    {
        RootView root(client, client, std::chrono::seconds(10));
        root.resize(1400, 860);
        root.show();
        QListWidget *list = nullptr;
        const bool chosen = harness::waitUntil([&] {
            list = root.screen() ? root.screen()->findChild<QListWidget *>(QStringLiteral("projectList"))
                                 : nullptr;
            for (int r = 0; list && r < list->count(); ++r) {
                if (list->item(r)->data(Qt::UserRole).toString() == id) {
                    list->setCurrentRow(r);
                    return true;
                }
            }
            return false;
        });
        MacProjectFlowView *page = nullptr;
        opened = chosen && harness::waitUntil([&] {
                     page = root.findChild<MacProjectFlowView *>();
                     return page && page->model().rowCount() > 0 &&
                            (!media || (page->liveControl().playback().audioPlayer() &&
                                        !page->liveControl().playback().isPreparing()));
                 });
        for (int r = 0; opened && r < page->model().rowCount(); r += 10) {
            page->flowTable()->scrollTo(page->model().index(r, 0));
            QApplication::processEvents();
        }
        QElapsedTimer settle;
        settle.start();
        harness::waitUntil([&] { return settle.elapsed() > 1000; });
        if (opened) {
            std::printf("%s: peak RSS %ld KiB\n", scenario, statusKiB("VmHWM:"));
        } else {
            std::fprintf(stderr, "%s: the rundown did not open in time\n", scenario);
        }
        client.network().clearConnectionCache();
    }
    close(toChild[1]);
    waitpid(child, nullptr, 0);
    return opened ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc == 2 && std::strcmp(argv[1], "--serve") == 0) {
        QCoreApplication app(argc, argv);
        return serve();
    }
    if (argc == 3 && std::strcmp(argv[1], "--service") == 0) {
        QCoreApplication app(argc, argv);
        return harness::serveShow(std::atoi(argv[2]));
    }
    if (argc == 4 && std::strcmp(argv[1], "--program") == 0) {
        return runProgram(argc, argv);
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc == 3 && std::strcmp(argv[1], "--rss") == 0 && std::strncmp(argv[2], "open", 4) == 0) {
        return measureOpenRss(argv[2], argc, argv);
    }
    QApplication app(argc, argv);
    Theme::install();
    if (argc == 3 && std::strcmp(argv[1], "--rss") == 0) {
        return measureRss(argv[2]);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
