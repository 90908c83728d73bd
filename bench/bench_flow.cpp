// The rundown page on a 500-item rundown, offscreen: one silent poll (decode, reconcile, model
// signals), the same with one changed item, and opening the page until the table's first paint.
//   bench_flow [benchmark flags]
//   bench_flow --rss bare|label|flow   prints the peak resident set size of that scenario and exits

#include "DemoShow.h"
#include "FakePlatform.h"
#include "FakeService.h"
#include "MemoryTokenStore.h"
#include "api/APIClient.h"
#include "common/Theme.h"
#include "flow/FlowPageState.h"
#include "flow/FlowTableModel.h"
#include "flow/FlowTableView.h"
#include "flow/MacProjectFlowView.h"
#include "json/Json.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QLabel>
#include <QPaintEvent>

#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>

namespace {

constexpr int itemCount = 500;

// The answer of the project endpoint for a 500-item project, as the service sends it.
struct Fixture
{
    QByteArray unchanged;
    QByteArray oneChanged;
    ProjectSummary summary;

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
            project.items[250].notes = QStringLiteral("改过的备注");
            f.oneChanged =
                QJsonDocument(platform.detail(project, me).toJson()).toJson(QJsonDocument::Compact);
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

// The page state, its model and a shown table, loaded once with the rundown.
struct Page
{
    FlowPageState state{Fixture::get().summary, idleClient()};
    FlowTableModel model;
    FlowTableView view{state, model};
    PaintCounter painted;

    Page()
    {
        QObject::connect(&state, &FlowPageState::detailChanged, &model, [this] { model.refresh(state); });
        state.setDetail(json::decode<ProjectDetailResponse>(Fixture::get().unchanged));
        view.resize(1400, 800);
        view.show();
        view.viewport()->installEventFilter(&painted);
        QApplication::processEvents();
    }
};

void BM_PollUnchanged(benchmark::State &bench)
{
    Page page;
    const QByteArray &bytes = Fixture::get().unchanged;
    int changedRows = 0;
    QObject::connect(
        &page.model, &QAbstractItemModel::dataChanged, &page.model,
        [&](const QModelIndex &a, const QModelIndex &b) { changedRows += b.row() - a.row() + 1; });
    for (auto _ : bench) {
        page.state.setDetail(json::decode<ProjectDetailResponse>(bytes));
    }
    bench.counters["changedRows"] = changedRows;
}
BENCHMARK(BM_PollUnchanged)->Unit(benchmark::kMillisecond);

void BM_PollOneChanged(benchmark::State &bench)
{
    Page page;
    const QByteArray &before = Fixture::get().unchanged;
    const QByteArray &after = Fixture::get().oneChanged;
    int changedRows = 0;
    QObject::connect(
        &page.model, &QAbstractItemModel::dataChanged, &page.model,
        [&](const QModelIndex &a, const QModelIndex &b) { changedRows += b.row() - a.row() + 1; });
    // The changed row is on screen, so its repaint is real.
    page.view.scrollTo(page.model.index(250, 0), QAbstractItemView::PositionAtCenter);
    QApplication::processEvents();
    bool flip = false;
    int repaintedRows = 0;
    for (auto _ : bench) {
        flip = !flip;
        page.state.setDetail(json::decode<ProjectDetailResponse>(flip ? after : before));
        bench.PauseTiming();
        // Only what the model asked for gets painted.
        page.painted.rows = 0;
        QApplication::processEvents();
        repaintedRows = std::max(repaintedRows, page.painted.rows);
        bench.ResumeTiming();
    }
    bench.counters["changedRowsPerPoll"] =
        benchmark::Counter(changedRows, benchmark::Counter::kAvgIterations);
    bench.counters["repaintedRowsMax"] = repaintedRows;
}
BENCHMARK(BM_PollOneChanged)->Unit(benchmark::kMillisecond);

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
