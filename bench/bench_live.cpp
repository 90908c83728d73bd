// Live control against the fake service on loopback, offscreen:
//   BM_LiveAnswerToTable        from the live action's decoded answer to the table's
//                               repaint showing the new live item
//   BM_DownloadedToAudioPlaying from a downloaded file handed to the audio player to its position
//                               moving (needs an audio sink: run under tests/support/run-with-audio.sh)
//   BM_UnforcedSyncUnchanged    a poll's sync of the unchanged live item: requests and player calls
//   BM_AdvanceLongestBlock      the longest the event loop stands still while the show advances to
//                               an item with an audio and a video asset, from the press until both
//                               play (real players and files; needs an audio sink like the above)
//   BM_PressToRequest           a click on a row's "开演" until the service reads the live action
//   BM_PressToPaint             the same click until the table shows the started item live
//   (under tests/support/run-with-keyring.sh the token is read from a real keychain)
//   BM_UserPress                the press on the user's path: the program in its own process on an X
//                               display, its token in the keychain, clicked through the X server,
//                               until the frame with the started item live reaches the display

#include "BenchSupport.h"
#include "DemoShow.h"
#include "FakeMedia.h"
#include "FakeService.h"
#include "MemoryTokenStore.h"
#include "api/APIClient.h"
#include "api/PreparedAssetCache.h"
#include "common/Theme.h"
#include "flow/FlowItemDelegate.h"
#include "flow/FlowLiveControl.h"
#include "flow/FlowPageState.h"
#include "flow/FlowTableModel.h"
#include "flow/FlowTableView.h"
#include "flow/MacProjectFlowView.h"
#include "flow/PlaybackCoordinator.h"
#include "flow/PlaybackPlayer.h"

#include <QApplication>
#include <QAudioDevice>
#include <QElapsedTimer>
#include <QFile>
#include <QMediaDevices>
#include <QMediaPlayer>
#include <QNetworkReply>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

using harness::waitUntil;

// Records when the table's viewport is first painted after the answer.
class PaintClock : public QObject
{
public:
    QElapsedTimer *timer = nullptr;
    const qint64 *answeredAt = nullptr;
    qint64 paintedAt = -1;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && *answeredAt >= 0 && paintedAt < 0) {
            paintedAt = timer->nsecsElapsed();
        }
        return false;
    }
};

void BM_LiveAnswerToTable(benchmark::State &bench)
{
    FakeService service;
    service.start();
    const DemoShow show = service.seedDemoShow();
    const ProjectSummary summary =
        service.withPlatform([&](FakePlatform &p) { return p.project(show.projectId)->summary; });
    const QList<RundownItem> items =
        service.withPlatform([&](FakePlatform &p) { return p.project(show.projectId)->items; });
    const DemoLogin *director = show.loginForRole(QStringLiteral("总导演"));
    APIClient client(QUrl(service.baseUrl()),
                     std::make_shared<MemoryTokenStore>(service.tokenFor(director->accountId)), false);
    auto page = std::make_unique<MacProjectFlowView>(summary, client, [] {});
    page->resize(1400, 800);
    page->show();
    if (!waitUntil([&] { return page->state().detail() && !page->state().isLoading(); })) {
        bench.SkipWithError("the rundown did not load");
        return;
    }
    page->state().stop(); // no polls in between

    QElapsedTimer timer;
    qint64 answeredAt = -1;
    QObject::connect(&page->liveControl(), &FlowLiveControl::liveAnswerArrived, page.get(),
                     [&] { answeredAt = timer.nsecsElapsed(); });
    qint64 shownAt = -1;
    QObject::connect(&page->state(), &FlowPageState::detailChanged, page.get(),
                     [&] { shownAt = timer.nsecsElapsed(); });
    PaintClock painted;
    painted.timer = &timer;
    painted.answeredAt = &answeredAt;
    page->flowTable()->viewport()->installEventFilter(&painted);

    qint64 roundTrips = 0;
    int n = 0;
    for (auto _ : bench) {
        const RundownItem &target = items.at(n++ % 6);
        answeredAt = -1;
        painted.paintedAt = -1;
        bool done = false;
        timer.start();
        QCoro::connect(page->liveControl().liveAction(QStringLiteral("start"), target), page.get(),
                       [&] { done = true; });
        if (!waitUntil([&] { return answeredAt >= 0 && painted.paintedAt >= answeredAt; }, 10000)) {
            bench.SkipWithError("the live answer was not painted");
            break;
        }
        if (page->state().liveItem()->id != target.id) {
            bench.SkipWithError("the table does not show the new live item");
            break;
        }
        bench.SetIterationTime(double(painted.paintedAt - answeredAt) / 1e9);
        if (qEnvironmentVariableIsSet("BENCH_LIVE_TRACE")) {
            std::printf("answer %.1f ms, model %.1f ms, painted %.1f ms\n", answeredAt / 1e6, shownAt / 1e6,
                        painted.paintedAt / 1e6);
        }
        roundTrips += painted.paintedAt;
        if (!waitUntil([&] { return done; }, 10000)) {
            bench.SkipWithError("the live action did not end");
            break;
        }
    }
    bench.counters["clickToPaint_ms"] =
        benchmark::Counter(double(roundTrips) / 1e6 / double(std::max<int64_t>(1, bench.iterations())));
    page.reset();
    waitUntil([&] { return client.network().findChildren<QNetworkReply *>().isEmpty(); });
    client.network().clearConnectionCache();
    service.stop();
}
BENCHMARK(BM_LiveAnswerToTable)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(30);

// --- A live press on the 500-item rundown -----------------------------------------------------

// The director's page on the 500-item rundown, loaded, polling stopped and both outputs off, so
// only the press itself runs. press() clicks the "开演" button of one of the first rows, as the
// director does.
struct LivePress
{
    FakeService service;
    std::unique_ptr<APIClient> client;
    std::unique_ptr<MacProjectFlowView> page;
    QList<RundownItem> items;
    int presses = 0;
    bool loaded = false;

    LivePress()
    {
        service.start();
        const DemoShow show = service.seedDemoShow();
        const QString id = service.withPlatform([&](FakePlatform &p) { return seedLargeShow(p, show, 500); });
        const ProjectSummary summary =
            service.withPlatform([&](FakePlatform &p) { return p.project(id)->summary; });
        items = service.withPlatform([&](FakePlatform &p) { return p.project(id)->items.mid(0, 6); });
        client = std::make_unique<APIClient>(
            QUrl(service.baseUrl()),
            harness::tokenStore(service.tokenFor(show.loginForRole(QStringLiteral("总导演"))->accountId)),
            false);
        page = std::make_unique<MacProjectFlowView>(summary, *client, [] {});
        page->resize(1400, 800);
        page->show();
        loaded = harness::waitUntil([&] { return page->state().detail() && !page->state().isLoading(); });
        page->state().stop();
        page->state().setAudioLinked(false);
        page->state().setVideoLinked(false);
    }

    ~LivePress()
    {
        page.reset();
        harness::waitUntil([&] { return client->network().findChildren<QNetworkReply *>().isEmpty(); });
        client->network().clearConnectionCache();
        service.stop();
    }

    // The item the next press starts.
    const RundownItem &target() const { return items.at(presses % items.size()); }

    // The player bar appearing with the first live item scrolls the rows under the pointer:
    // brings the target back into view, painted, before a press is timed.
    void showTarget()
    {
        page->flowTable()->scrollTo(page->model().index(page->model().rowOf(target().id), 0));
        for (int i = 0; i < 3; ++i) {
            QApplication::processEvents();
        }
    }

    void press()
    {
        FlowTableView *table = page->flowTable();
        const int row = page->model().rowOf(target().id);
        const QRect cell = table->visualRect(page->model().index(row, FlowTableModel::live));
        const QRect button = FlowItemDelegate::partRect(page->model().row(row), FlowTableModel::live,
                                                        FlowItemDelegate::Part::liveButton, cell);
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, button.center());
        ++presses;
    }

    bool waitUntilIdle()
    {
        const bool idle = harness::waitUntil([&] {
            return !page->state().busyItemID() && client->network().findChildren<QNetworkReply *>().isEmpty();
        });
        // The playback sync that follows is posted below the paint.
        for (int i = 0; i < 3; ++i) {
            QApplication::processEvents();
        }
        return idle;
    }
};

// From the click on "开演" until the service has read the live action (the keychain read
// included when run under run-with-keyring.sh).
void BM_PressToRequest(benchmark::State &bench)
{
    LivePress live;
    if (!live.loaded) {
        bench.SkipWithError("the page did not load in time");
    }
    for (auto _ : bench) {
        live.showTarget();
        const auto pressed = harness::Clock::now();
        const qsizetype before = live.service.requests("/api/project", "PATCH").size();
        live.press();
        if (!harness::waitUntil(
                [&] { return live.service.requests("/api/project", "PATCH").size() > before; })) {
            bench.SkipWithError("the live action did not reach the service in time");
            break;
        }
        bench.SetIterationTime(
            harness::msBetween(pressed, live.service.requests("/api/project", "PATCH").last().receivedAt) /
            1e3);
        if (!live.waitUntilIdle()) {
            bench.SkipWithError("the live action was not answered in time");
            break;
        }
    }
    bench.counters["keychain"] = harness::usesKeychain() ? 1 : 0;
}
BENCHMARK(BM_PressToRequest)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(30);

// From the click on "开演" until the table has painted the started item as the live one.
void BM_PressToPaint(benchmark::State &bench)
{
    LivePress live;
    if (!live.loaded) {
        bench.SkipWithError("the page did not load in time");
    }
    QString expected;
    harness::FirstPaintClock painted([&](QWidget *widget) {
        const std::optional<RundownItem> shown = live.page->state().liveItem();
        return widget == live.page->flowTable()->viewport() && shown && shown->id == expected;
    });
    for (auto _ : bench) {
        expected = live.target().id;
        live.showTarget();
        painted.paintedAt.reset();
        const auto pressed = harness::Clock::now();
        live.press();
        if (!harness::waitUntil([&] { return painted.paintedAt.has_value(); })) {
            bench.SkipWithError("the started item was not painted live in time");
            break;
        }
        bench.SetIterationTime(harness::msBetween(pressed, *painted.paintedAt) / 1e3);
        if (!live.waitUntilIdle()) {
            bench.SkipWithError("the live action was not answered in time");
            break;
        }
    }
    bench.counters["keychain"] = harness::usesKeychain() ? 1 : 0;
}
BENCHMARK(BM_PressToPaint)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(30);

// --- The user's path: the program in its own process on the X display (see BenchSupport.h) ----

// The director's program with the 500-item project open ("opened"), polling as it does; each line
// "press" brings the next of the first six items into view, says where its "开演" is, times the
// frame that shows it live after the click, and says "idle" once the press is answered.
int runProgram(int argc, char **argv)
{
    const QString id = QString::fromUtf8(argv[3]);
    int presses = 0;
    QString expected;
    return harness::runProgram(argc, argv, [&](harness::Program &program) {
        program.openInCode(id, [&](MacProjectFlowView &) {
            QTimer::singleShot(1000, &program, [&program] { program.say("opened"); });
        });
        program.onLine = [&](const QByteArray &line) {
            MacProjectFlowView *page = program.page();
            if (line != "press" || !page) {
                return;
            }
            FlowTableView *table = page->flowTable();
            const int first = presses++ % 6;
            expected = page->model().row(first).item.id;
            table->scrollTo(page->model().index(first, 0));
            // Pressed once it is painted where it now is.
            QTimer::singleShot(200, &program, [&, page, table] {
                const int row = page->model().rowOf(expected);
                const QRect cell = table->visualRect(page->model().index(row, FlowTableModel::live));
                const QRect button = FlowItemDelegate::partRect(page->model().row(row), FlowTableModel::live,
                                                                FlowItemDelegate::Part::liveButton, cell);
                program.timeClick(
                    table->viewport(), button.center(),
                    [&, page, table](QWidget *widget) {
                        const std::optional<RundownItem> live = page->state().liveItem();
                        return widget == table->viewport() && live && live->id == expected;
                    },
                    [&program, page] {
                        program.when(
                            [page] { return !page->state().busyItemID() && harness::Program::quiet(); },
                            [&program] { program.say("idle"); });
                    });
            });
        };
    });
}

// A click on a row's "开演" in the director's program (the project opened from its list, the
// token in the keychain, polls running, the service in a process of its own), through the X
// server, until the frame that shows the started item live has reached the X display (the
// iteration time). Counters: when the program saw the click (input_ms), painted the table into
// Qt's back buffer (painted_ms), flushed the frame (flushed_ms), the slowest press (worst_ms),
// when the service read the live action (toRequest_ms).
void BM_UserPress(benchmark::State &bench)
{
    harness::UserPath path(bench, 500);
    const auto program = path.ok() ? path.openedProgram(QStringLiteral("press")) : nullptr;
    if (!program) {
        return;
    }
    for (auto _ : bench) {
        program->send("press");
        if (!path.timeClick(*program, "PATCH")) {
            break;
        }
    }
    path.reportClicks();
}
BENCHMARK(BM_UserPress)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(30);

// arg 0: a player borrowed anew for every start (the first item of a page); arg 1: the same player
// replacing the file it is playing (every later item), as the coordinator does.
void BM_DownloadedToAudioPlaying(benchmark::State &bench)
{
    if (QMediaDevices::audioOutputs().isEmpty()) {
        bench.SkipWithError("no audio output device");
        return;
    }
    QTemporaryDir dir;
    QStringList paths;
    for (int frequency : {440, 523}) {
        paths.append(dir.filePath(QStringLiteral("tone-%1.wav").arg(frequency)));
        QFile file(paths.last());
        if (!file.open(QIODevice::WriteOnly)) {
            bench.SkipWithError("cannot write the tone");
            return;
        }
        file.write(FakeMedia::toneWav(240, frequency));
    }
    const bool replacing = bench.range(0) == 1;
    std::unique_ptr<PlaybackPlayer> player = makeMediaPlayer();
    int n = 0;
    for (auto _ : bench) {
        if (!replacing) {
            player = makeMediaPlayer();
            QApplication::processEvents();
        }
        QElapsedTimer timer;
        timer.start();
        player->pause();
        player->setSource(paths.at(n++ % 2));
        player->play();
        if (!waitUntil([&] { return player->position() > 0; }, 10000)) {
            bench.SkipWithError("the file did not play within 10 s");
            break;
        }
        bench.SetIterationTime(double(timer.nsecsElapsed()) / 1e9);
    }
    player.reset();
    QApplication::processEvents();
}
BENCHMARK(BM_DownloadedToAudioPlaying)
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20);

class CountingPlayer final : public PlaybackPlayer
{
public:
    int calls = 0;
    void setSource(const QString &) override { ++calls; }
    void play() override { ++calls; }
    void pause() override { ++calls; }
    void setMuted(bool) override { ++calls; }
    qint64 position() const override { return 0; }
    QCoro::Task<> seek(qint64) override
    {
        ++calls;
        co_return;
    }
};

void BM_UnforcedSyncUnchanged(benchmark::State &bench)
{
    FakeService service;
    service.start();
    const DemoShow show = service.seedDemoShow();
    APIClient client(QUrl(service.baseUrl()),
                     std::make_shared<MemoryTokenStore>(
                         service.tokenFor(show.loginForRole(QStringLiteral("总导演"))->accountId)),
                     false);
    auto audio = std::make_unique<CountingPlayer>();
    auto video = std::make_unique<CountingPlayer>();
    CountingPlayer *a = audio.get();
    CountingPlayer *v = video.get();
    PlaybackCoordinator coordinator(client, std::move(audio), std::move(video));
    coordinator.setItemProjectID(show.projectId);
    RundownItem live = service.withPlatform(
        [&](FakePlatform &p) { return *p.project(show.projectId)->item(show.audioItemId); });
    live.liveStatus = RundownValues::live;
    bool started = false;
    QCoro::connect(coordinator.sync(live, true, true, true), &coordinator, [&] { started = true; });
    if (!waitUntil([&] { return started; }, 10000)) {
        bench.SkipWithError("the live item did not start");
        return;
    }
    const int callsBefore = a->calls + v->calls;
    const int requestsBefore = service.requestCount();

    for (auto _ : bench) {
        auto task = coordinator.sync(live, true, true, false);
        benchmark::DoNotOptimize(task.isReady());
    }
    bench.counters["playerCalls"] = a->calls + v->calls - callsBefore;
    bench.counters["requests"] = service.requestCount() - requestsBefore;
    waitUntil([&] { return client.network().findChildren<QNetworkReply *>().isEmpty(); });
    client.network().clearConnectionCache();
    service.stop();
}
BENCHMARK(BM_UnforcedSyncUnchanged)->Unit(benchmark::kNanosecond);

// Ticks every millisecond; a tick that comes late shows how long the event loop stood still.
class StallMeter
{
public:
    StallMeter()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(1);
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            m_longest = std::max(m_longest, now - m_last);
            m_last = now;
        });
    }
    void restart()
    {
        m_clock.start();
        m_last = 0;
        m_longest = 0;
        m_timer.start();
    }
    // The longest gap between two ticks, less the tick's own millisecond.
    double longestMs() const { return std::max(0.0, double(m_longest) / 1e6 - 1.0); }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_longest = 0;
};

// Each iteration advances to the next of four items that carry both assets; the first round
// downloads the files, later rounds play the copies already on this machine. One advance before
// them is reported apart (firstMediaLoad_ms): the first media a process plays makes GStreamer
// load its decoder plugins.
void BM_AdvanceLongestBlock(benchmark::State &bench)
{
    if (QMediaDevices::audioOutputs().isEmpty()) {
        bench.SkipWithError("no audio output device");
        return;
    }
    const QList<QByteArray> videos = {FakeMedia::demoVcrVideo(), FakeMedia::demoStarsVideo(),
                                      FakeMedia::demoVideo()};
    if (videos.contains(QByteArray())) {
        bench.SkipWithError("the demo clips are missing");
        return;
    }
    FakeService service;
    service.start();
    const DemoShow show = service.seedDemoShow();
    constexpr int measured = 4;
    const QList<RundownItem> items = service.withPlatform([&](FakePlatform &p) {
        FakeProject &project = *p.project(show.projectId);
        for (int i = 0; i <= measured; ++i) {
            const QString id = project.items.at(i).id;
            p.attachAsset(show.projectId, id, QStringLiteral("audio"), QStringLiteral("伴奏.wav"),
                          FakeMedia::toneWav(60, 440 + 40 * i), 60);
            p.attachAsset(show.projectId, id, QStringLiteral("video"), QStringLiteral("画面.mp4"),
                          videos.at(i % videos.size()), 60);
        }
        for (RundownItem &item : project.items) {
            item.liveStatus.clear();
        }
        return project.items.mid(0, measured + 1);
    });
    const ProjectSummary summary =
        service.withPlatform([&](FakePlatform &p) { return p.project(show.projectId)->summary; });
    APIClient client(QUrl(service.baseUrl()),
                     std::make_shared<MemoryTokenStore>(
                         service.tokenFor(show.loginForRole(QStringLiteral("总导演"))->accountId)),
                     false);
    auto page = std::make_unique<MacProjectFlowView>(summary, client, [] {});
    page->resize(1400, 800);
    page->show();
    PlaybackCoordinator &playback = page->liveControl().playback();
    // The first sync borrows the players; making them is not part of an advance.
    if (!waitUntil([&] { return page->state().detail() && playback.videoMediaPlayer(); })) {
        bench.SkipWithError("the page did not load its players");
        return;
    }
    page->state().stop(); // no polls in between
    // A director looks at the page a moment before the first press.
    QElapsedTimer opened;
    opened.start();
    waitUntil([&] { return opened.elapsed() >= 1000; });

    StallMeter meter;
    const auto advance = [&](const RundownItem &target) {
        bool done = false;
        meter.restart();
        QCoro::connect(page->liveControl().liveAction(QStringLiteral("start"), target), page.get(),
                       [&] { done = true; });
        QMediaPlayer *video = playback.videoMediaPlayer();
        const bool playing = waitUntil(
            [&] {
                return done && playback.activeItemID() == target.id && !playback.isPreparing() &&
                       video->playbackState() == QMediaPlayer::PlayingState && video->position() > 0;
            },
            10000);
        if (!playing) {
            return -1.0;
        }
        // Late work of the change (first pictures, the old pipeline's end) counts too.
        QElapsedTimer after;
        after.start();
        waitUntil([&] { return after.elapsed() >= 300; });
        return meter.longestMs();
    };
    bench.counters["firstMediaLoad_ms"] = advance(items.last());
    if (bench.counters["firstMediaLoad_ms"] < 0) {
        bench.SkipWithError("the first item did not play within 10 s");
        return;
    }

    double worst = 0;
    int n = 0;
    for (auto _ : bench) {
        const double longest = advance(items.at(n++ % measured));
        if (longest < 0) {
            bench.SkipWithError("an advanced item did not play within 10 s");
            break;
        }
        worst = std::max(worst, longest);
        if (qEnvironmentVariableIsSet("BENCH_LIVE_TRACE")) {
            std::printf("advance %d: longest block %.1f ms\n", n, longest);
        }
        bench.SetIterationTime(longest / 1e3);
    }
    bench.counters["worstBlock_ms"] = worst;
    page.reset();
    waitUntil([&] { return client.network().findChildren<QNetworkReply *>().isEmpty(); });
    client.network().clearConnectionCache();
    service.stop();
}
BENCHMARK(BM_AdvanceLongestBlock)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(12);

} // namespace

int main(int argc, char **argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--service") == 0) {
        QCoreApplication app(argc, argv);
        return harness::serveShow(std::atoi(argv[2]));
    }
    if (argc == 4 && std::strcmp(argv[1], "--program") == 0) {
        return runProgram(argc, argv);
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Theme::install();
    PreparedAssetCache::shared().clear();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
