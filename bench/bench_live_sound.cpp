// The sound of a playing item as a listener hears it (AudibleProbe on the null sink's monitor of
// tests/support/run-with-audio.sh), the players driven by PlaybackCoordinator on real files:
//   BM_StepLengths/…           the length of every half-second step of the step tone, by sample
//                              count: after plain starts and after forced restarts of the item,
//                              with and without two busy loops on the program's cores, for each
//                              setting of the players' audio sinks (one setting a process)
//   BM_KeeperMovesSlowSeek     how often the coordinator moves the picture of an item with its
//                              own sound whose video seeks slowly (a long-GOP 720p clip made here)

#include "AudibleProbe.h"
#include "BenchSupport.h"
#include "DemoShow.h"
#include "FakeMedia.h"
#include "FakeService.h"
#include "MemoryTokenStore.h"
#include "api/APIClient.h"
#include "flow/MediaAudioSink.h"
#include "flow/MediaSourceGate.h"
#include "flow/PlaybackCoordinator.h"

#include <QElapsedTimer>
#include <QFile>
#include <QLoggingCategory>
#include <QNetworkReply>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <gst/gst.h>
#include <pthread.h>
#include <sched.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>
#include <vector>

namespace {

using harness::waitUntil;
using namespace std::chrono_literals;

bool tracing()
{
    return qEnvironmentVariableIsSet("BENCH_LIVE_TRACE");
}

// A step of the step tone lasts 500 ms; one outside these bounds lost or gained sound.
constexpr double shortStepMs = 480;
constexpr double longStepMs = 520;
constexpr double silenceOverMs = 20;
// How long an item is listened to after each start, and after how much of it a restart comes.
constexpr int listenMs = 10000;
constexpr int fillerHz = 350;

struct SinkSetting
{
    const char *name;
    MediaAudioSink::Settings settings;
};

MediaAudioSink::Settings withSlaving(MediaAudioSink::Settings s, MediaAudioSink::SlaveMethod method)
{
    s.slaveMethod = method;
    return s;
}

MediaAudioSink::Settings tolerant(MediaAudioSink::Settings s)
{
    s.driftTolerance = 200ms;
    s.alignmentThreshold = 200ms;
    return s;
}

using MediaAudioSink::SlaveMethod;
const std::array sinkSettings = {
    SinkSetting{"100/10 ms, GStreamer's drift settings", MediaAudioSink::gstreamerDrift(100ms, 10ms)},
    SinkSetting{"100/10 ms, slave-method none",
                withSlaving(MediaAudioSink::gstreamerDrift(100ms, 10ms), SlaveMethod::none)},
    SinkSetting{"100/10 ms, slave-method resample",
                withSlaving(MediaAudioSink::gstreamerDrift(100ms, 10ms), SlaveMethod::resample)},
    SinkSetting{"100/10 ms, drift-tolerance and alignment-threshold 200 ms",
                tolerant(MediaAudioSink::gstreamerDrift(100ms, 10ms))},
    SinkSetting{"200/20 ms, GStreamer's drift settings", MediaAudioSink::gstreamerDrift(200ms, 20ms)},
    SinkSetting{"200/20 ms, slave-method none",
                withSlaving(MediaAudioSink::gstreamerDrift(200ms, 20ms), SlaveMethod::none)},
    SinkSetting{"200/20 ms, slave-method resample",
                withSlaving(MediaAudioSink::gstreamerDrift(200ms, 20ms), SlaveMethod::resample)},
    SinkSetting{"the program's", MediaAudioSink::chosen()},
};

// BENCH_SINK_SETTING=N gives every player of the process the sink setting N of the table above,
// so the other benchmarks can be read with it.
const bool sinkSettingFromEnvironment = [] {
    bool ok = false;
    const int index = qEnvironmentVariableIntValue("BENCH_SINK_SETTING", &ok);
    if (ok && index >= 0 && index < int(sinkSettings.size())) {
        MediaAudioSink::setSettings(sinkSettings.at(std::size_t(index)).settings);
    }
    return ok;
}();

// Busy loops, each pinned to one of the cores this process may run on, as another program
// competing for them would be.
class BusyCores
{
public:
    explicit BusyCores(int count)
    {
        cpu_set_t allowed;
        CPU_ZERO(&allowed);
        sched_getaffinity(0, sizeof allowed, &allowed);
        std::vector<int> cores;
        for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
            if (CPU_ISSET(cpu, &allowed)) {
                cores.push_back(cpu);
            }
        }
        for (int i = 0; i < count && !cores.empty(); ++i) {
            const int core = cores.at(std::size_t(i) % cores.size());
            m_threads.emplace_back([this, core] {
                cpu_set_t one;
                CPU_ZERO(&one);
                CPU_SET(core, &one);
                pthread_setaffinity_np(pthread_self(), sizeof one, &one);
                volatile unsigned long spins = 0;
                while (!m_stop.load(std::memory_order_relaxed)) {
                    spins = spins + 1;
                }
            });
        }
    }
    ~BusyCores()
    {
        m_stop = true;
        for (std::thread &thread : m_threads) {
            thread.join();
        }
    }

private:
    std::atomic<bool> m_stop = false;
    std::vector<std::thread> m_threads;
};

// The demo show's gala with three items of our own, played through PlaybackCoordinator as the
// live item's playback plays them.
struct SoundShow
{
    FakeService service;
    std::unique_ptr<APIClient> client;
    std::unique_ptr<PlaybackCoordinator> playback;
    QObject scope; // a sync still waiting when a run gives up reports to nobody
    RundownItem filler;
    RundownItem measured;

    // The measured item plays its audio file under picture, or a video with its own sound.
    bool open(const QByteArray &audio, const QByteArray &video, const QString &videoName)
    {
        if (!service.start()) {
            return false;
        }
        const DemoShow show = service.seedDemoShow();
        std::tie(filler, measured) = service.withPlatform([&](FakePlatform &p) {
            const QList<RundownItem> &items = p.project(show.projectId)->items;
            const QString fillerId = items.at(3).id;
            const QString measuredId = show.audioItemId;
            p.attachAsset(show.projectId, fillerId, QStringLiteral("audio"), QStringLiteral("垫乐.wav"),
                          FakeMedia::sineWav(60000, fillerHz, 16000), 60);
            if (!audio.isEmpty()) {
                p.attachAsset(show.projectId, measuredId, QStringLiteral("audio"),
                              QStringLiteral("阶梯音.wav"), audio, 60);
            }
            p.attachAsset(show.projectId, measuredId, QStringLiteral("video"), videoName, video, 12);
            const auto live = [&](const QString &id) {
                RundownItem item = *p.project(show.projectId)->item(id);
                item.liveStatus = RundownValues::live;
                if (audio.isEmpty()) {
                    item.audioAssetId.reset();
                }
                return item;
            };
            return std::pair{live(fillerId), live(measuredId)};
        });
        client = std::make_unique<APIClient>(QUrl(service.baseUrl()),
                                             std::make_shared<MemoryTokenStore>(service.tokenFor(
                                                 show.loginForRole(QStringLiteral("总导演"))->accountId)),
                                             false);
        playback = std::make_unique<PlaybackCoordinator>(*client);
        playback->setItemProjectID(show.projectId);
        playback->preparePlayers();
        return true;
    }

    // Starts the item (force: again, though it is the live item already) and waits until the
    // coordinator has done so.
    bool play(const RundownItem &item, bool force)
    {
        bool done = false;
        QCoro::connect(playback->sync(item, true, true, force), &scope, [&done] { done = true; });
        return waitUntil([&] { return done; }, 15000) && playback->error().isEmpty();
    }

    ~SoundShow()
    {
        playback.reset();
        waitUntil([&] { return !client || client->network().findChildren<QNetworkReply *>().isEmpty(); },
                  5000);
        if (client) {
            client->network().clearConnectionCache();
        }
        service.stop();
    }
};

struct StepCount
{
    int steps = 0;
    int skips = 0;
    int gaps = 0;
    double shortestMs = 1e9;
    double longestMs = 0;
    double longestSilenceMs = 0;

    // The steps of listenMs after the onset. The first step is left out: a start or restart may
    // cut it, and its leading edge is no change of pitch.
    void add(const AudibleProbe &probe, double onsetMs, const char *what)
    {
        const QList<AudibleProbe::Step> heard =
            probe.stepsBetween(FakeMedia::stepToneFrequencies(), onsetMs + 100, onsetMs + listenMs);
        for (const AudibleProbe::Step &step : heard) {
            ++steps;
            shortestMs = std::min(shortestMs, step.lengthMs());
            longestMs = std::max(longestMs, step.lengthMs());
            skips += step.lengthMs() < shortStepMs ? 1 : 0;
            gaps += step.lengthMs() > longStepMs ? 1 : 0;
            if (tracing() && (step.lengthMs() < shortStepMs || step.lengthMs() > longStepMs)) {
                std::printf("%s: the %d Hz step %.0f ms after the onset lasted %.1f ms\n", what,
                            step.frequency, step.fromMs - onsetMs, step.lengthMs());
            }
        }
        for (double silence : probe.gapsOverMs(onsetMs, onsetMs + listenMs, silenceOverMs)) {
            ++gaps;
            longestSilenceMs = std::max(longestSilenceMs, silence);
            if (tracing()) {
                std::printf("%s: a silence of %.1f ms\n", what, silence);
            }
        }
        if (tracing()) {
            std::printf("%s: %d steps measured\n", what, int(heard.size()));
        }
    }
};

enum class Kind { video, audio };

// Each iteration, for an item with the sink setting of the first argument: the filler a second,
// the item started (GO → heard), listened to for 10 s, restarted as a forced sync restarts it,
// and listened to for 10 s more; with load, two busy loops on the program's cores throughout.
void BM_StepLengths(benchmark::State &bench, Kind kind)
{
    const SinkSetting &setting = sinkSettings.at(std::size_t(bench.range(0)));
    // The players, and their sinks, live as long as the process.
    static const MediaAudioSink::Settings first = setting.settings;
    if (!(first == setting.settings)) {
        bench.SkipWithError("one sink setting a process: filter on setting:N/");
        return;
    }
    MediaAudioSink::setSettings(setting.settings);
    bench.SetLabel(setting.name);
    MediaSourceGate::install();
    AudibleProbe probe;
    if (!AudibleProbe::monitorDevice() || !probe.start() ||
        !waitUntil([&] { return probe.isHearing(); }, 5000)) {
        bench.SkipWithError("no monitor of the null sink (run under tests/support/run-with-audio.sh)");
        return;
    }
    SoundShow show;
    const bool opened =
        kind == Kind::video
            ? show.open({}, FakeMedia::stepToneVideo(), QStringLiteral("阶梯音.mp4"))
            : show.open(FakeMedia::stepToneWav(24), FakeMedia::demoStarsVideo(), QStringLiteral("背景.mp4"));
    if (!opened) {
        bench.SkipWithError("the service did not start");
        return;
    }
    std::optional<BusyCores> load;
    if (bench.range(1) != 0) {
        load.emplace(2);
    }
    const QList<int> steps = FakeMedia::stepToneFrequencies();
    const QList<int> firstStep = {FakeMedia::stepToneFrequency(0)};
    StepCount plain;
    StepCount restarted;
    double heardMs = 0;
    double restartHeardMs = 0;
    for (auto _ : bench) {
        probe.mark();
        if (!show.play(show.filler, false) || !harness::waitUntilHeard(probe, {fillerHz}, 1000, 8000)) {
            bench.SkipWithError("the filler was not heard");
            return;
        }
        probe.mark();
        const std::optional<double> onset =
            show.play(show.measured, false) ? harness::waitUntilHeard(probe, steps, listenMs, listenMs + 8000)
                                            : std::nullopt;
        if (!onset) {
            bench.SkipWithError("the item was not heard");
            return;
        }
        heardMs += *onset;
        bench.SetIterationTime(*onset / 1e3);
        plain.add(probe, *onset, "start");

        // The file's start again, which the item left ten seconds ago: its first step.
        probe.mark();
        const std::optional<double> again =
            show.play(show.measured, true)
                ? harness::waitUntilHeard(probe, firstStep, listenMs, listenMs + 8000)
                : std::nullopt;
        if (!again) {
            bench.SkipWithError("the restarted item was not heard");
            return;
        }
        restartHeardMs += *again;
        restarted.add(probe, *again, "restart");
    }
    const double rounds = double(std::max<benchmark::IterationCount>(1, bench.iterations()));
    bench.counters["steps"] = plain.steps + restarted.steps;
    bench.counters["skips"] = plain.skips + restarted.skips;
    bench.counters["gaps"] = plain.gaps + restarted.gaps;
    bench.counters["restartSkips"] = restarted.skips;
    bench.counters["shortest_ms"] = std::min(plain.shortestMs, restarted.shortestMs);
    bench.counters["longest_ms"] = std::max(plain.longestMs, restarted.longestMs);
    bench.counters["longestSilence_ms"] = std::max(plain.longestSilenceMs, restarted.longestSilenceMs);
    bench.counters["heard_ms"] = heardMs / rounds;
    bench.counters["restartHeard_ms"] = restartHeardMs / rounds;
}
void sinkSettingsAndLoad(benchmark::internal::Benchmark *b)
{
    for (int setting = 0; setting < int(sinkSettings.size()); ++setting) {
        for (int load : {0, 1}) {
            b->Args({setting, load});
        }
    }
    b->ArgNames({"setting", "load"})->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(2);
}
BENCHMARK_CAPTURE(BM_StepLengths, video, Kind::video)->Apply(sinkSettingsAndLoad);
BENCHMARK_CAPTURE(BM_StepLengths, audio, Kind::audio)->Apply(sinkSettingsAndLoad);

// A 720p VP8 clip of 12 s with one key frame, so a seek far into it decodes up to 12 s of
// pictures first; empty when this GStreamer cannot make it.
QByteArray slowSeekingVideo(const QString &path)
{
    return madeByGStreamer(
        "videotestsrc num-buffers=360 pattern=ball ! video/x-raw,width=1280,height=720,framerate=30/1 ! "
        "vp8enc keyframe-max-dist=1000 deadline=1 cpu-used=16 threads=4 ! webmmux ! filesink location=\"" +
            QFile::encodeName(path) + "\"",
        path);
}

std::atomic<int> pictureMoves = 0;
QtMessageHandler previousHandler = nullptr;

void countMoves(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (qstrcmp(context.category, "quillory.media") != 0) {
        if (previousHandler) {
            previousHandler(type, context, text);
        }
        return;
    }
    // The keeper's line, as it reads now and as it read before.
    if (text.startsWith(QLatin1String("keeper: moved picture")) ||
        (text.startsWith(QLatin1String("picture ")) &&
         text.contains(QLatin1String("behind its sound: moved")))) {
        ++pictureMoves;
    }
    if (previousHandler && (tracing() || type != QtDebugMsg)) {
        previousHandler(type, context, text);
    }
}

// Items with their own sound (the step-tone WAV) whose picture is a slowly seeking clip, each
// started after the filler and played for 10 s: the coordinator's picture moves per item.
void BM_KeeperMovesSlowSeek(benchmark::State &bench)
{
    MediaSourceGate::install();
    QTemporaryDir dir;
    const QByteArray video = slowSeekingVideo(dir.filePath(QStringLiteral("slow.webm")));
    if (video.isEmpty()) {
        bench.SkipWithError("no slowly seeking clip (GStreamer's vp8enc and webmmux are needed)");
        return;
    }
    SoundShow show;
    if (!show.open(FakeMedia::stepToneWav(24), video, QStringLiteral("慢.webm"))) {
        bench.SkipWithError("the service did not start");
        return;
    }
    QLoggingCategory::setFilterRules(QStringLiteral("quillory.media.debug=true"));
    previousHandler = qInstallMessageHandler(countMoves);
    int most = 0;
    int total = 0;
    for (auto _ : bench) {
        if (!show.play(show.filler, false)) {
            bench.SkipWithError("the filler did not start");
            break;
        }
        waitUntil([] { return false; }, 1000);
        pictureMoves = 0;
        QElapsedTimer started;
        started.start();
        if (!show.play(show.measured, false)) {
            bench.SkipWithError("the item did not start");
            break;
        }
        waitUntil([] { return false; }, 10000);
        bench.SetIterationTime(double(started.nsecsElapsed()) / 1e9);
        most = std::max(most, pictureMoves.load());
        total += pictureMoves;
        if (tracing()) {
            std::printf("%d picture moves in the item's first 10 s\n", pictureMoves.load());
        }
    }
    qInstallMessageHandler(previousHandler);
    QLoggingCategory::setFilterRules(QStringLiteral("quillory.media.debug=false"));
    const double rounds = double(std::max<benchmark::IterationCount>(1, bench.iterations()));
    bench.counters["movesPerItem"] = total / rounds;
    bench.counters["mostMoves"] = most;
    bench.counters["clip_kB"] = double(video.size()) / 1024;
}
BENCHMARK(BM_KeeperMovesSlowSeek)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
