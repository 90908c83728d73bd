// The rundown page on a 5,000-item rundown, offscreen: silent polls (the answer read, the page
// state, the table model), with and without the request, memory over many polls that each change
// an item, and opening the page until the table's first paint.
//   bench_flow [benchmark flags]
//   bench_flow --rss bare|label|flow   prints the peak resident set size of that scenario and exits

#include "DemoShow.h"
#include "FakePlatform.h"
#include "FakeService.h"
#include "MemoryTokenStore.h"
#include "api/APIClient.h"
#include "api/ProjectDetailReader.h"
#include "common/Theme.h"
#include "flow/FlowPageState.h"
#include "flow/FlowTableModel.h"
#include "flow/FlowTableView.h"
#include "flow/MacProjectFlowView.h"
#include "json/JsonSimd.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QLabel>
#include <QPaintEvent>

#include <benchmark/benchmark.h>

#include <cstring>
#include <malloc.h>
#include <memory>

namespace {

constexpr int itemCount = 5000;
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

// The whole poll as the running page does it: the request to the fake service on loopback (which
// answers the prepared bytes), reading the answer, the page state, and every view of the page
// that follows it. Process CPU, so the network thread counts, and so does the service's sending.
void BM_PollOverNetwork(benchmark::State &bench)
{
    const bool change = bench.range(0) != 0;
    FakeService service;
    service.start();
    const DemoShow show = service.seedDemoShow();
    service.withPlatform([&](FakePlatform &p) { return seedLargeShow(p, show, itemCount); });
    APIClient client(QUrl(service.baseUrl()),
                     std::make_shared<MemoryTokenStore>(service.tokenFor(show.logins.at(1).accountId)),
                     false);
    const QByteArray path = QByteArrayLiteral("/api/project");
    service.script("GET", path, Script{.body = Fixture::get().unchanged});
    {
        MacProjectFlowView page(Fixture::get().summary, client, [] {});
        page.resize(1400, 800);
        page.show();
        FlowPageState &state = page.state();
        bool finished = false;
        QObject::connect(&state, &FlowPageState::reloadFinished, &page, [&] { finished = true; });
        while (!finished) {
            QApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        state.stop();
        int changedRows = 0;
        QObject::connect(
            &page.model(), &QAbstractItemModel::dataChanged, &page,
            [&](const QModelIndex &a, const QModelIndex &b) { changedRows += b.row() - a.row() + 1; });
        bool flip = false;
        for (auto _ : bench) {
            if (change) {
                bench.PauseTiming();
                flip = !flip;
                service.clearScripts();
                service.script("GET", path,
                               Script{.body = flip ? Fixture::get().oneChanged : Fixture::get().unchanged});
                bench.ResumeTiming();
            }
            finished = false;
            state.reload(true);
            while (!finished) {
                QApplication::processEvents(QEventLoop::WaitForMoreEvents);
            }
            // What the change asked to repaint.
            QApplication::processEvents();
        }
        bench.counters["changedRowsPerPoll"] =
            benchmark::Counter(changedRows, benchmark::Counter::kAvgIterations);
    }
    client.network().clearConnectionCache();
    service.stop();
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

// Memory over many polls that each change another item (the previous poll's change stays), as in a
// running show: the resident set and the heap in use after a warm-up of 100 polls and at the end.
// With whole=1 each answer is decoded whole, as before the reader.
void BM_PollsMemory(benchmark::State &bench)
{
    const int polls = int(bench.range(0));
    const bool whole = bench.range(1) != 0;
    const Fixture &f = Fixture::get();
    Page page;
    int n = 0;
    const auto pollOnce = [&] {
        ++n;
        const QByteArray answer = f.withNotesOf((n * 7919) % itemCount, n);
        if (whole) {
            page.state.setDetail(json::decode<ProjectDetailResponse>(answer));
        } else {
            page.poll(answer);
        }
        QApplication::processEvents();
    };
    for (auto _ : bench) {
        for (int i = 0; i < 100; ++i) {
            pollOnce();
        }
        const double rss = statusMiB("VmRSS:");
        const double heap = heapMiB();
        for (int i = 0; i < polls; ++i) {
            pollOnce();
        }
        bench.counters["rss_MiB"] = statusMiB("VmRSS:");
        bench.counters["rssGrowth_MiB"] = statusMiB("VmRSS:") - rss;
        bench.counters["peakRss_MiB"] = statusMiB("VmHWM:");
        bench.counters["heap_MiB"] = heapMiB();
        bench.counters["heapGrowth_MiB"] = heapMiB() - heap;
    }
}
BENCHMARK(BM_PollsMemory)
    ->ArgNames({"polls", "whole"})
    ->Args({900, 0})
    ->Args({900, 1})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

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
        PaintCounter painted;
        page->flowTable()->viewport()->installEventFilter(&painted);
        qint64 loaded = 0;
        QObject::connect(&page->state(), &FlowPageState::detailChanged, page.get(),
                         [&] { loaded = timer.nsecsElapsed(); });
        while (painted.rows == 0 || page->model().rowCount() == 0) {
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
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

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
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
