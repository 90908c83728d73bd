// The show's sound as a listener hears it: the null sink of tests/support/run-with-audio.sh
// recorded through its monitor (AudibleProbe), against the fake service, offscreen:
//   BM_MonitorLatency/sink     a tone handed to a plain QAudioSink until it is heard: what the
//                              output, the sink and the monitor add to every figure here
//   BM_MonitorLatency/player   a loaded WAV in a plain QMediaPlayer, play() until it is heard
//   BM_GoToFirstAudible/video  the director's "推进下一节目" to an item whose only media is the
//                              step-tone video, until its soundtrack is first heard; which step
//                              was heard first and how much of the file's first half second
//   BM_GoToFirstAudible/audio  the same for an item with the step-tone WAV as its audio asset
//                              (and a silent backdrop video)
//   BM_GoToFirstAudible/besideUndecodableVideo, /audioAlone  the WAV beside a video file that
//                              cannot be decoded, and the WAV alone
//   BM_AudioSinkBuffer/…       the same two with the players' audio sinks asking for the buffer
//                              and period of the arguments, then 30 s of backing track, in which
//                              every silence over 10 ms is counted
//   BM_PictureToSound          an item with its own sound file and the step-tone clip as its
//                              picture: how far the sound is from the picture at its start and
//                              6 s later
//   BM_LongItemKeepsPictureAndSound/…  a long item (10 minutes), its own sound or a separate one:
//                              what is heard against what is shown once a minute; run alone,
//                              with the audio server's clock fast or slow (bench/README.md)
//   BM_FirstVideoOfAFreshProcess  the first video item of a fresh program: run alone
//   BM_PauseAndPlayHeard       the operator's pause of a video item playing its own sound, and
//                              play 0.7 s later, on the player bar's button (after a move of the
//                              picture every other round): the ms from the play until its sound
//                              is heard again, the rounds that stayed silent, and how far what
//                              is heard then is from what is shown
// Each measured item follows one playing a 350 Hz backing track under a silent backdrop.

#include "AudibleProbe.h"
#include "BenchSupport.h"
#include "DemoShow.h"
#include "FakeMedia.h"
#include "FakeService.h"
#include "MemoryTokenStore.h"
#include "ShownSteps.h"
#include "api/APIClient.h"
#include "flow/FlowPageState.h"
#include "flow/MacProjectFlowView.h"
#include "flow/MediaAudioSink.h"
#include "flow/MediaSourceGate.h"
#include "flow/PlaybackCoordinator.h"

#include <QApplication>
#include <QAudioOutput>
#include <QAudioSink>
#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QMediaDevices>
#include <QMediaPlayer>
#include <QNetworkReply>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QVideoSink>

#include <benchmark/benchmark.h>
#include <gst/gst.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>

namespace {

using harness::waitUntil;
using harness::waitUntilHeard;

void pause(int ms)
{
    waitUntil([] { return false; }, ms);
}

// The sound between the items a show advances through; below every step of the step tone.
constexpr int fillerHz = 350;
// How long after its onset a measured item is listened to.
constexpr int listenMs = 1200;

// Starts the probe and waits until the monitor delivers sound (the idle null sink may first
// finish a block of up to two seconds).
bool startListening(AudibleProbe &probe)
{
    return probe.start() && waitUntil([&] { return probe.isHearing(); }, 5000);
}

// Starts the probe, or skips the benchmark where there is no null sink's monitor to listen to.
bool listenOrSkip(benchmark::State &bench, AudibleProbe &probe)
{
    if (AudibleProbe::monitorDevice() && startListening(probe)) {
        return true;
    }
    bench.SkipWithError("no monitor of the null sink (run under tests/support/run-with-audio.sh)");
    return false;
}

// A second of a 1 kHz tone handed to a plain audio sink: the ms from start() until it is heard.
std::optional<double> sinkToneHeardAfter(AudibleProbe &probe)
{
    QAudioFormat format;
    format.setSampleRate(8000);
    format.setChannelCount(1);
    format.setSampleFormat(QAudioFormat::Int16);
    QBuffer tone;
    tone.setData(FakeMedia::sineWav(1000, 1000).mid(44));
    tone.open(QIODevice::ReadOnly);
    QAudioSink sink(QMediaDevices::defaultAudioOutput(), format);
    probe.mark();
    sink.start(&tone);
    const std::optional<double> heard = waitUntilHeard(probe, {1000}, 0, 3000);
    sink.stop();
    return heard;
}

void BM_MonitorLatency(benchmark::State &bench, bool player)
{
    MediaSourceGate::install();
    AudibleProbe probe;
    if (!startListening(probe)) {
        bench.SkipWithError("no monitor of the null sink (run under tests/support/run-with-audio.sh)");
        return;
    }
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("steps.wav"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(FakeMedia::stepToneWav(3)) < 0) {
        bench.SkipWithError("cannot write the tone");
        return;
    }
    file.close();
    QMediaPlayer media;
    QAudioOutput output;
    media.setAudioOutput(&output);
    for (auto _ : bench) {
        std::optional<double> heard;
        if (player) {
            media.setSource(QUrl::fromLocalFile(path));
            if (!waitUntil([&] { return media.mediaStatus() == QMediaPlayer::LoadedMedia; }, 3000)) {
                bench.SkipWithError("the player did not load the tone");
                break;
            }
            probe.mark();
            media.play();
            heard = waitUntilHeard(probe, FakeMedia::stepToneFrequencies(), 0, 3000);
            media.stop();
            media.setSource({});
        } else {
            heard = sinkToneHeardAfter(probe);
        }
        if (!heard) {
            bench.SkipWithError("the probe heard nothing of a known tone");
            break;
        }
        bench.SetIterationTime(*heard / 1e3);
        // The tail of this tone must not be the next one's onset.
        pause(300);
    }
}
BENCHMARK_CAPTURE(BM_MonitorLatency, sink, false)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);
BENCHMARK_CAPTURE(BM_MonitorLatency, player, true)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);

// audio: the step-tone WAV under a silent backdrop video; besideUndecodableVideo: the WAV beside a
// video file that is none; audioAlone: the WAV without a video.
enum class Measured { video, audio, besideUndecodableVideo, audioAlone };

// The director's rundown page on a show whose items alternate: a filler (a 350 Hz backing track
// under a silent picture), the measured item, a filler, the measured item again …, each started
// with "推进下一节目" as a director advances the show.
struct AdvancingShow
{
    FakeService service;
    std::unique_ptr<APIClient> client;
    std::unique_ptr<MacProjectFlowView> page;
    QList<RundownItem> items;
    int started = 0;
    // The show opens on the measured item rather than on a filler.
    bool measuredFirst = false;

    bool open(Measured measured, int rounds, int fillerMs)
    {
        if (!service.start()) {
            return false;
        }
        const DemoShow show = service.seedDemoShow();
        const QByteArray filler = FakeMedia::sineWav(fillerMs, fillerHz, 16000);
        const QByteArray picture = FakeMedia::demoStarsVideo();
        const QByteArray steps =
            measured == Measured::video ? FakeMedia::stepToneVideo() : FakeMedia::stepToneWav(20);
        const QString id = service.withPlatform([&](FakePlatform &p) {
            const QString large = seedLargeShow(p, show, 2 * rounds + 2);
            FakeProject &project = *p.project(large);
            for (RundownItem &item : project.items) {
                item.type = QStringLiteral("歌曲"); // no lottery screen in between
                item.liveStatus.clear();
            }
            for (qsizetype i = 0; i < project.items.size(); ++i) {
                const QString item = project.items.at(i).id;
                if ((i % 2 == 0) != measuredFirst) {
                    p.attachAsset(large, item, QStringLiteral("audio"), QStringLiteral("垫乐.wav"), filler,
                                  20);
                    p.attachAsset(large, item, QStringLiteral("video"), QStringLiteral("背景.mp4"), picture,
                                  330);
                } else if (measured == Measured::video) {
                    p.attachAsset(large, item, QStringLiteral("video"), QStringLiteral("阶梯音.mp4"), steps,
                                  12);
                } else {
                    p.attachAsset(large, item, QStringLiteral("audio"), QStringLiteral("阶梯音.wav"), steps,
                                  20);
                    if (measured == Measured::audio) {
                        p.attachAsset(large, item, QStringLiteral("video"), QStringLiteral("背景.mp4"),
                                      picture, 330);
                    } else if (measured == Measured::besideUndecodableVideo) {
                        p.attachAsset(large, item, QStringLiteral("video"), QStringLiteral("坏.mp4"),
                                      QByteArray("this is no video\n").repeated(64), 330);
                    }
                }
            }
            items = project.items;
            return large;
        });
        const ProjectSummary summary =
            service.withPlatform([&](FakePlatform &p) { return p.project(id)->summary; });
        client = std::make_unique<APIClient>(QUrl(service.baseUrl()),
                                             std::make_shared<MemoryTokenStore>(service.tokenFor(
                                                 show.loginForRole(QStringLiteral("总导演"))->accountId)),
                                             false);
        page = std::make_unique<MacProjectFlowView>(summary, *client, [] {});
        page->resize(1400, 800);
        page->show();
        return waitUntil([&] { return page->state().detail() && !page->state().isLoading(); }, 10000);
    }

    ~AdvancingShow()
    {
        page.reset();
        waitUntil([&] { return !client || client->network().findChildren<QNetworkReply *>().isEmpty(); },
                  5000);
        if (client) {
            client->network().clearConnectionCache();
        }
        service.stop();
    }

    // Presses "推进下一节目" (the first time "开演下一节目") and waits until the service's answer
    // shows the next item live (the ms after the press in shownAfterMs); false when that does not
    // happen.
    bool advance(double *shownAfterMs = nullptr)
    {
        auto *next = page->findChild<QPushButton *>(QStringLiteral("flowStartNextButton"));
        if (!next || !next->isVisible() || started >= items.size()) {
            return false;
        }
        const QString expected = items.at(started++).id;
        QElapsedTimer pressed;
        pressed.start();
        QTest::mouseClick(next, Qt::LeftButton);
        const bool shown = waitUntil(
            [&] {
                const std::optional<RundownItem> live = page->state().liveItem();
                return !page->state().busyItemID() && live && live->id == expected;
            },
            5000);
        if (shownAfterMs) {
            *shownAfterMs = double(pressed.nsecsElapsed()) / 1e6;
        }
        return shown;
    }
};

// Opens the show, hears the monitor's tone (monitor_ms) and starts the first filler; false, with
// the benchmark skipped, when one of them fails.
bool openAndStart(benchmark::State &bench, AudibleProbe &probe, AdvancingShow &show, Measured measured,
                  int fillerMs = 20000)
{
    if (!AudibleProbe::monitorDevice()) {
        bench.SkipWithError("no monitor of the null sink (run under tests/support/run-with-audio.sh)");
        return false;
    }
    const std::optional<double> monitor = startListening(probe) ? sinkToneHeardAfter(probe) : std::nullopt;
    if (!monitor) {
        bench.SkipWithError("the probe heard nothing of a known tone");
        return false;
    }
    bench.counters["monitor_ms"] = *monitor;
    if (!show.open(measured, int(bench.max_iterations), fillerMs)) {
        bench.SkipWithError("the director's page did not open");
        return false;
    }
    // A director looks at the page a moment before the first press.
    pause(1000);
    probe.mark();
    if (!show.advance() || !waitUntilHeard(probe, {fillerHz}, 0, 5000)) {
        bench.SkipWithError("the first item was not heard");
        return false;
    }
    return true;
}

// Each iteration a GO to the measured item, timed until it is heard, and a GO to the next filler;
// false, with the benchmark skipped, when one of them fails.
bool measureStarts(benchmark::State &bench, AudibleProbe &probe, AdvancingShow &show)
{
    const QList<int> steps = FakeMedia::stepToneFrequencies();
    const int firstStepHz = FakeMedia::stepToneFrequency(0);
    int latestFirstHz = 0;
    double firstStepMs = 0;
    double leastFirstStepMs = listenMs;
    int firstStepHeard = 0;
    qsizetype gaps = 0;
    double shownMs = 0;
    for (auto _ : bench) {
        // The filler plays a while, as an item does before the director moves on.
        pause(1000);
        probe.mark();
        double shown = 0;
        if (!show.advance(&shown)) {
            bench.SkipWithError("the live action did not start the measured item");
            return false;
        }
        const std::optional<double> onset = waitUntilHeard(probe, steps, listenMs, 6000);
        if (!onset) {
            bench.SkipWithError("the measured item was not heard within 6 s");
            return false;
        }
        bench.SetIterationTime(*onset / 1e3);
        const int first = probe.dominantFrequency(*onset, steps).value_or(0);
        const double heardMs = probe.heardForMs(firstStepHz, steps, *onset, *onset + listenMs);
        const qsizetype startGaps = probe.gapsOverMs(*onset, *onset + listenMs, 10).size();
        latestFirstHz = std::max(latestFirstHz, first);
        firstStepMs += heardMs;
        leastFirstStepMs = std::min(leastFirstStepMs, heardMs);
        firstStepHeard += heardMs > 0 ? 1 : 0;
        gaps += startGaps;
        shownMs += shown;
        if (qEnvironmentVariableIsSet("BENCH_LIVE_TRACE")) {
            std::printf("shown live after %.1f ms, heard after %.1f ms, first %d Hz, %.0f ms of the first "
                        "step, %d gaps\n",
                        shown, *onset, first, heardMs, int(startGaps));
        }

        probe.mark();
        if (!show.advance() || !waitUntilHeard(probe, {fillerHz}, 0, 6000)) {
            bench.SkipWithError("the filler after the measured item was not heard");
            return false;
        }
    }
    const double rounds = double(std::max<benchmark::IterationCount>(1, bench.iterations()));
    bench.counters["firstHz"] = latestFirstHz;
    bench.counters["firstStep_ms"] = firstStepMs / rounds;
    bench.counters["leastFirstStep_ms"] = leastFirstStepMs;
    bench.counters["firstStepHeard"] = firstStepHeard / rounds;
    bench.counters["startGaps"] = double(gaps);
    bench.counters["shownLive_ms"] = shownMs / rounds;
    return true;
}

void BM_GoToFirstAudible(benchmark::State &bench, Measured measured)
{
    MediaSourceGate::install();
    AudibleProbe probe;
    AdvancingShow show;
    if (openAndStart(bench, probe, show, measured)) {
        measureStarts(bench, probe, show);
    }
}
BENCHMARK_CAPTURE(BM_GoToFirstAudible, video, Measured::video)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);
BENCHMARK_CAPTURE(BM_GoToFirstAudible, audio, Measured::audio)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);
BENCHMARK_CAPTURE(BM_GoToFirstAudible, besideUndecodableVideo, Measured::besideUndecodableVideo)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);
BENCHMARK_CAPTURE(BM_GoToFirstAudible, audioAlone, Measured::audioAlone)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

// Under BENCH_LIVE_TRACE: the buffer of every audio sink as it starts, read back from the sink,
// so that a value Qt set after ours would show.
void traceAudioSinks()
{
    static const bool installed = [] {
        const GType type =
            g_type_register_static_simple(GST_TYPE_TRACER, "QuilloryBenchSinkTrace", sizeof(GstTracerClass),
                                          nullptr, sizeof(GstTracer), nullptr, GTypeFlags(0));
        GstTracer *tracer = GST_TRACER(g_object_new(type, nullptr));
        gst_object_ref_sink(tracer);
        gst_tracing_register_hook(
            tracer, "element-change-state-post",
            G_CALLBACK(+[](GObject *, GstClockTime, GstElement *element, GstStateChange change,
                           GstStateChangeReturn) {
                if (change != GST_STATE_CHANGE_READY_TO_PAUSED ||
                    !GST_OBJECT_FLAG_IS_SET(element, GST_ELEMENT_FLAG_SINK) ||
                    !g_object_class_find_property(G_OBJECT_GET_CLASS(element), "buffer-time")) {
                    return;
                }
                gint64 buffer = 0;
                gint64 period = 0;
                g_object_get(element, "buffer-time", &buffer, "latency-time", &period, nullptr);
                std::printf("%s %s: buffer-time %lld us, latency-time %lld us\n", G_OBJECT_TYPE_NAME(element),
                            GST_ELEMENT_NAME(element), static_cast<long long>(buffer),
                            static_cast<long long>(period));
            }));
        return true;
    }();
    Q_UNUSED(installed);
}

// As BM_GoToFirstAudible with the players' audio sinks asking for a buffer and period of the
// arguments (ms), then 30 s of the filler (a 350 Hz tone under the backdrop video): gaps counts
// its silences over 10 ms, longestGap_ms the longest; startGaps those in the measured starts.
// One buffer a process: the players and their sinks live as long as the application.
void BM_AudioSinkBuffer(benchmark::State &bench, Measured measured)
{
    constexpr int toneMs = 30000;
    MediaAudioSink::setBuffer(std::chrono::milliseconds(bench.range(0)),
                              std::chrono::milliseconds(bench.range(1)));
    if (qEnvironmentVariableIsSet("BENCH_LIVE_TRACE")) {
        gst_init(nullptr, nullptr);
        traceAudioSinks();
    }
    MediaSourceGate::install();
    AudibleProbe probe;
    AdvancingShow show;
    if (!openAndStart(bench, probe, show, measured, toneMs + 3000) || !measureStarts(bench, probe, show)) {
        return;
    }
    // The last start was followed by a filler, heard already.
    probe.mark();
    if (!waitUntil([&] { return probe.recordedUntilMs().value_or(0) >= toneMs; }, toneMs + 10000)) {
        bench.SkipWithError("the probe stopped recording during the tone");
        return;
    }
    const QList<double> gaps = probe.gapsOverMs(0, toneMs, 10);
    bench.counters["gaps"] = double(gaps.size());
    bench.counters["longestGap_ms"] = gaps.isEmpty() ? 0 : *std::max_element(gaps.begin(), gaps.end());
    if (qEnvironmentVariableIsSet("BENCH_LIVE_TRACE")) {
        for (double gap : gaps) {
            std::printf("gap of %.1f ms in the tone\n", gap);
        }
    }
}
// Qt's default first, then ever smaller buffers.
void sinkBuffers(benchmark::internal::Benchmark *b)
{
    b->Args({200, 10})
        ->Args({100, 10})
        ->Args({60, 10})
        ->Args({40, 10})
        ->Args({30, 5})
        ->Args({20, 5})
        ->ArgNames({"buffer_ms", "period_ms"})
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(5);
}
BENCHMARK_CAPTURE(BM_AudioSinkBuffer, video, Measured::video)->Apply(sinkBuffers);
BENCHMARK_CAPTURE(BM_AudioSinkBuffer, audio, Measured::audio)->Apply(sinkBuffers);

// An item with its own sound file and the step-tone clip as its picture, started as the live
// item's playback starts it, its frames received by a video sink: for each step the picture
// reaches, how much later it is heard. The probe's own delay is unknown, so the clip playing its
// own sound (one pipeline keeps that in step) is heard first, and the item is read against it:
// start_ms the farthest apart in the item's first second, later_ms from 5.5 to 6.5 s.
void BM_PictureToSound(benchmark::State &bench)
{
    MediaSourceGate::install();
    AudibleProbe probe;
    if (!listenOrSkip(bench, probe)) {
        return;
    }
    FakeService service;
    if (!service.start()) {
        bench.SkipWithError("the service did not start");
        return;
    }
    const DemoShow show = service.seedDemoShow();
    const auto [clip, measured] = service.withPlatform([&](FakePlatform &p) {
        const QList<RundownItem> &items = p.project(show.projectId)->items;
        const QString own = items.at(3).id;
        p.attachAsset(show.projectId, own, QStringLiteral("video"), QStringLiteral("阶梯音.mp4"),
                      FakeMedia::stepToneVideo(), 12);
        p.attachAsset(show.projectId, show.audioItemId, QStringLiteral("audio"), QStringLiteral("伴奏.wav"),
                      FakeMedia::stepToneWav(60), 60);
        p.attachAsset(show.projectId, show.audioItemId, QStringLiteral("video"), QStringLiteral("阶梯音.mp4"),
                      FakeMedia::stepToneVideo(), 12);
        const auto live = [&](const QString &id) {
            RundownItem item = *p.project(show.projectId)->item(id);
            item.liveStatus = RundownValues::live;
            return item;
        };
        return std::pair{live(own), live(show.audioItemId)};
    });
    APIClient client(QUrl(service.baseUrl()),
                     std::make_shared<MemoryTokenStore>(
                         service.tokenFor(show.loginForRole(QStringLiteral("总导演"))->accountId)),
                     false);
    {
        PlaybackCoordinator playback(client);
        playback.setItemProjectID(show.projectId);
        playback.preparePlayers();
        QMediaPlayer *video = playback.videoMediaPlayer();
        QVideoSink picture;
        video->setVideoSink(&picture);
        ShownSteps steps(picture, *video);
        QObject scope; // a sync still waiting when a run gives up reports to nobody
        const auto play = [&](const RundownItem &item, qint64 untilMs) {
            steps.restart(probe);
            bool done = false;
            QCoro::connect(playback.sync(item, true, true, true), &scope, [&done] { done = true; });
            return waitUntil([&] { return done && video->position() > untilMs; }, 15000) &&
                   waitUntil([&] { return probe.recordedUntilMs().value_or(0) > steps.sinceMs() - 100; },
                             5000);
        };
        double start = 0;
        double later = 0;
        double reference = 0;
        for (auto _ : bench) {
            if (!play(clip, 3000)) {
                bench.SkipWithError("the clip did not play");
                break;
            }
            const double own = ShownSteps::median(steps.heardLate(probe, 0, steps.sinceMs()));
            if (!play(measured, 6500)) {
                bench.SkipWithError("the item did not play");
                break;
            }
            // The first step the picture ends is at 500 ms, so the first second holds one or two.
            const QList<double> first = steps.heardLate(probe, 0, 1100);
            const QList<double> on = steps.heardLate(probe, 5500, 6600);
            if (first.isEmpty() || on.isEmpty()) {
                bench.SkipWithError("no step of the picture was heard");
                break;
            }
            bench.SetIterationTime(ShownSteps::farthestFrom(first, own) / 1e3);
            start = std::max(start, ShownSteps::farthestFrom(first, own));
            later = std::max(later, ShownSteps::farthestFrom(on, own));
            reference += own;
            if (qEnvironmentVariableIsSet("BENCH_LIVE_TRACE")) {
                std::printf("own sound %.0f ms after the picture; the item's first second %.0f ms apart, "
                            "at 6 s %.0f ms apart\n",
                            own, ShownSteps::farthestFrom(first, own), ShownSteps::farthestFrom(on, own));
            }
        }
        const double rounds = double(std::max<benchmark::IterationCount>(1, bench.iterations()));
        bench.counters["start_ms"] = start;
        bench.counters["later_ms"] = later;
        bench.counters["ownSound_ms"] = reference / rounds;
    }
    waitUntil([&] { return client.network().findChildren<QNetworkReply *>().isEmpty(); }, 5000);
    client.network().clearConnectionCache();
    service.stop();
}
BENCHMARK(BM_PictureToSound)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

// The operator's pause and play of a video item that plays its own sound, as the player bar's
// button does it, every other round after a move: until its sound is heard again, and whether it
// then keeps with its picture (read against the clip's own start, as BM_PictureToSound).
void BM_PauseAndPlayHeard(benchmark::State &bench)
{
    MediaSourceGate::install();
    AudibleProbe probe;
    if (!listenOrSkip(bench, probe)) {
        return;
    }
    FakeService service;
    if (!service.start()) {
        bench.SkipWithError("the service did not start");
        return;
    }
    const DemoShow show = service.seedDemoShow();
    const RundownItem clip = service.withPlatform([&](FakePlatform &p) {
        const QString id = p.project(show.projectId)->items.at(3).id;
        p.attachAsset(show.projectId, id, QStringLiteral("video"), QStringLiteral("阶梯音.mp4"),
                      FakeMedia::stepToneVideo(), 12);
        RundownItem item = *p.project(show.projectId)->item(id);
        item.liveStatus = RundownValues::live;
        return item;
    });
    APIClient client(QUrl(service.baseUrl()),
                     std::make_shared<MemoryTokenStore>(
                         service.tokenFor(show.loginForRole(QStringLiteral("总导演"))->accountId)),
                     false);
    {
        PlaybackCoordinator playback(client);
        playback.setItemProjectID(show.projectId);
        playback.preparePlayers();
        QMediaPlayer *video = playback.videoMediaPlayer();
        QVideoSink picture;
        video->setVideoSink(&picture);
        ShownSteps steps(picture, *video);
        QObject scope;
        std::optional<double> reference;
        QList<double> heard;
        int silent = 0;
        double apart = 0;
        int round = 0;
        for (auto _ : bench) {
            steps.restart(probe);
            bool done = false;
            QCoro::connect(playback.sync(clip, true, true, true), &scope, [&done] { done = true; });
            if (!waitUntil([&] { return done && video->position() > 1500; }, 15000)) {
                bench.SkipWithError("the clip did not play");
                break;
            }
            if (!reference) {
                waitUntil([&] { return probe.recordedUntilMs().value_or(0) > steps.sinceMs() - 100; }, 5000);
                reference = ShownSteps::median(steps.heardLate(probe, 0, steps.sinceMs()));
            }
            if (round++ % 2 == 1) {
                playback.moveTo(video->position() + 2000);
                pause(1000);
            }
            playback.setPicturePlaying(false);
            pause(700);
            const double playedAt = steps.sinceMs();
            playback.setPicturePlaying(true);
            waitUntil([&] { return probe.recordedUntilMs().value_or(0) > playedAt + 1800; }, 5000);
            const std::optional<double> onset =
                probe.firstHeardMs(FakeMedia::stepToneFrequencies(), playedAt);
            const QList<double> late = steps.heardLate(probe, playedAt + 300, playedAt + 1700);
            if (!onset || onset > playedAt + 1000 || late.isEmpty()) {
                ++silent;
            } else {
                heard.append(*onset - playedAt);
                apart = std::max(apart, ShownSteps::farthestFrom(late, *reference));
            }
            bench.SetIterationTime((onset ? *onset - playedAt : 1000) / 1e3);
            if (qEnvironmentVariableIsSet("BENCH_LIVE_TRACE")) {
                const std::optional<double> again =
                    probe.firstHeardMs(FakeMedia::stepToneFrequencies(), playedAt + 600);
                std::printf("round %d: heard %.0f ms after the play, and from %.0f ms on; apart %.0f ms\n", round,
                            onset ? *onset - playedAt : -1.0, again ? *again - playedAt : -1.0,
                            late.isEmpty() ? -1.0 : ShownSteps::farthestFrom(late, *reference));
            }
        }
        std::sort(heard.begin(), heard.end());
        bench.counters["heard_median_ms"] = heard.isEmpty() ? -1 : heard.at(heard.size() / 2);
        bench.counters["heard_worst_ms"] = heard.isEmpty() ? -1 : heard.last();
        bench.counters["silent"] = silent;
        bench.counters["apart_ms"] = apart;
    }
    waitUntil([&] { return client.network().findChildren<QNetworkReply *>().isEmpty(); }, 5000);
    client.network().clearConnectionCache();
    service.stop();
}
BENCHMARK(BM_PauseAndPlayHeard)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

} // namespace

// Runs a GStreamer pipeline that writes a file to path until it ends; the file's bytes, or empty
// when this GStreamer cannot make it.
QByteArray madeByGStreamer(const QByteArray &description, const QString &path)
{
    gst_init(nullptr, nullptr);
    GError *error = nullptr;
    GstElement *pipeline = gst_parse_launch(description.constData(), &error);
    if (!pipeline) {
        std::printf("cannot make %s: %s\n", qPrintable(path), error ? error->message : "?");
        g_clear_error(&error);
        return {};
    }
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    GstBus *bus = gst_element_get_bus(pipeline);
    GstMessage *end = gst_bus_timed_pop_filtered(bus, 600 * GST_SECOND,
                                                 GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    const bool made = end && GST_MESSAGE_TYPE(end) == GST_MESSAGE_EOS;
    if (end) {
        gst_message_unref(end);
    }
    gst_object_unref(bus);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
    QFile file(path);
    return made && file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

namespace {

// A long clip made here: a small moving picture, with the step tone as its own sound or none.
QByteArray longClip(const QString &path, int seconds, const QString &ownSound)
{
    QByteArray description = "videotestsrc num-buffers=" + QByteArray::number(seconds * 25) +
                             " pattern=ball ! video/x-raw,width=160,height=90,framerate=25/1 ! "
                             "vp8enc keyframe-max-dist=250 deadline=1 cpu-used=16 ! webmmux name=mux ! "
                             "filesink location=\"" +
                             QFile::encodeName(path) + "\"";
    if (!ownSound.isEmpty()) {
        description += " filesrc location=\"" + QFile::encodeName(ownSound) +
                       "\" ! wavparse ! audioconvert ! vorbisenc ! mux.";
    }
    return madeByGStreamer(description, path);
}

enum class LongItem { ownSound, separateSound };

// A long item as the live item plays it, what is heard against what is shown once a minute,
// read against the 12-second clip's own sound heard first (as BM_PictureToSound). Run with the
// audio server's clock running fast or slow against the system's (bench/README.md, "A long
// item"): a sound card's clock is never exactly the computer's. farthest_ms is the farthest any
// minute was from the reference; soundAhead_ms how much further the sound's position moved than
// the system clock over the item (the card's drift, which nothing else would show).
void BM_LongItemKeepsPictureAndSound(benchmark::State &bench, LongItem kind)
{
    MediaSourceGate::install();
    AudibleProbe probe;
    if (!listenOrSkip(bench, probe)) {
        return;
    }
    const int minutes = qEnvironmentVariableIntValue("BENCH_LONG_MINUTES") > 0
                            ? qEnvironmentVariableIntValue("BENCH_LONG_MINUTES")
                            : 10;
    const int seconds = minutes * 60 + 30;
    QTemporaryDir scratch;
    const QString wavPath = scratch.filePath(QStringLiteral("steps.wav"));
    const QByteArray wav = FakeMedia::stepToneWav(seconds);
    {
        QFile out(wavPath);
        if (!out.open(QIODevice::WriteOnly) || out.write(wav) != wav.size()) {
            bench.SkipWithError("cannot write the step tone");
            return;
        }
    }
    const QByteArray clipBytes = longClip(scratch.filePath(QStringLiteral("long.webm")), seconds,
                                          kind == LongItem::ownSound ? wavPath : QString());
    if (clipBytes.isEmpty()) {
        bench.SkipWithError("cannot make the long clip");
        return;
    }
    FakeService service;
    if (!service.start()) {
        bench.SkipWithError("the service did not start");
        return;
    }
    const DemoShow show = service.seedDemoShow();
    const auto [clip, measured] = service.withPlatform([&](FakePlatform &p) {
        const QList<RundownItem> &items = p.project(show.projectId)->items;
        const QString own = items.at(3).id;
        p.attachAsset(show.projectId, own, QStringLiteral("video"), QStringLiteral("阶梯音.mp4"),
                      FakeMedia::stepToneVideo(), 12);
        const QString longId = items.at(4).id;
        p.attachAsset(show.projectId, longId, QStringLiteral("video"), QStringLiteral("长片.webm"), clipBytes,
                      seconds);
        if (kind == LongItem::separateSound) {
            p.attachAsset(show.projectId, longId, QStringLiteral("audio"), QStringLiteral("长伴奏.wav"), wav,
                          seconds);
        }
        const auto live = [&](const QString &id) {
            RundownItem item = *p.project(show.projectId)->item(id);
            item.liveStatus = RundownValues::live;
            return item;
        };
        return std::pair{live(own), live(longId)};
    });
    APIClient client(QUrl(service.baseUrl()),
                     std::make_shared<MemoryTokenStore>(
                         service.tokenFor(show.loginForRole(QStringLiteral("总导演"))->accountId)),
                     false);
    {
        PlaybackCoordinator playback(client);
        playback.setItemProjectID(show.projectId);
        playback.preparePlayers();
        QMediaPlayer *video = playback.videoMediaPlayer();
        QVideoSink picture;
        video->setVideoSink(&picture);
        ShownSteps steps(picture, *video);
        QObject scope;
        const auto play = [&](const RundownItem &item, qint64 untilMs) {
            steps.restart(probe);
            bool done = false;
            QCoro::connect(playback.sync(item, true, true, true), &scope, [&done] { done = true; });
            return waitUntil([&] { return done && video->position() > untilMs; }, 60000) &&
                   waitUntil([&] { return probe.recordedUntilMs().value_or(0) > steps.sinceMs() - 100; },
                             5000);
        };
        // A window of two seconds: what is heard against what is shown there.
        const auto window = [&]() -> std::optional<double> {
            steps.remark(probe);
            pause(2200);
            waitUntil([&] { return probe.recordedUntilMs().value_or(0) > steps.sinceMs() - 100; }, 5000);
            const QList<double> late = steps.heardLate(probe, 0, steps.sinceMs());
            if (late.isEmpty()) {
                return std::nullopt;
            }
            return ShownSteps::median(late);
        };
        for (auto _ : bench) {
            if (!play(clip, 3000)) {
                bench.SkipWithError("the clip did not play");
                break;
            }
            const double own = ShownSteps::median(steps.heardLate(probe, 0, steps.sinceMs()));
            if (!play(measured, 500)) {
                bench.SkipWithError("the long item did not play");
                break;
            }
            PlaybackPlayer *sound = kind == LongItem::separateSound ? playback.audioPlayer() : nullptr;
            const auto soundAt = [&] { return sound ? sound->position() : video->position(); };
            QElapsedTimer since;
            since.start();
            const qint64 soundFrom = soundAt();
            double farthest = 0;
            double first = 0;
            double last = 0;
            for (int minute = 0; minute <= minutes; ++minute) {
                if (minute > 0) {
                    pause(int(std::max<qint64>(0, minute * 60000 - since.elapsed())));
                }
                const std::optional<double> late = window();
                if (!late) {
                    bench.SkipWithError("no step of the picture was heard");
                    break;
                }
                (minute == 0 ? first : last) = *late - own;
                farthest = std::max(farthest, std::abs(*late - own));
                std::printf("minute %d: heard %.0f ms after the picture (own sound %.0f ms): %+.0f ms; sound "
                            "position %+lld ms against the system clock\n",
                            minute, *late, own, *late - own,
                            static_cast<long long>(soundAt() - soundFrom - since.elapsed()));
                std::fflush(stdout);
            }
            bench.SetIterationTime(farthest / 1e3);
            bench.counters["ownSound_ms"] = own;
            bench.counters["first_ms"] = first;
            bench.counters["last_ms"] = last;
            bench.counters["farthest_ms"] = farthest;
            bench.counters["soundAhead_ms"] = double(soundAt() - soundFrom - since.elapsed());
        }
        playback.stop();
    }
    waitUntil([&] { return client.network().findChildren<QNetworkReply *>().isEmpty(); }, 5000);
    client.network().clearConnectionCache();
    service.stop();
}
BENCHMARK_CAPTURE(BM_LongItemKeepsPictureAndSound, ownSound, LongItem::ownSound)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK_CAPTURE(BM_LongItemKeepsPictureAndSound, separateSound, LongItem::separateSound)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

// The first video item of a freshly started program, from the click until its own sound is heard:
// the director's page opened a second before on a show whose first item is the step-tone clip.
// Only the first media of a process is measured: run it alone, once per process (bench/README.md).
void BM_FirstVideoOfAFreshProcess(benchmark::State &bench)
{
    MediaSourceGate::install();
    AudibleProbe probe;
    if (!listenOrSkip(bench, probe)) {
        return;
    }
    AdvancingShow show;
    show.measuredFirst = true;
    if (!show.open(Measured::video, 1, 20000)) {
        bench.SkipWithError("the director's page did not open");
        return;
    }
    pause(1000);
    for (auto _ : bench) {
        probe.mark();
        const std::optional<double> heard =
            show.advance() ? waitUntilHeard(probe, FakeMedia::stepToneFrequencies(), 0, 6000) : std::nullopt;
        if (!heard) {
            bench.SkipWithError("the first item was not heard");
            return;
        }
        bench.SetIterationTime(*heard / 1e3);
    }
}
BENCHMARK(BM_FirstVideoOfAFreshProcess)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
