#include "MediaSourceGate.h"
#include "MediaAudioSink.h"
#include "PlaybackPlayer.h"

#include <QLoggingCategory>
#include <QMediaPlayer>
#include <QUrl>

#include <gst/gst.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_map>
#include <vector>

// The GStreamer player, given a new source, builds its pipeline, sets it going and seeks it to
// the start, all before setSource returns. Its streaming thread meanwhile adds and links an output
// for each stream it finds, holding the parser's stream lock. A seek that finds an output added
// but not yet started holds that output's state lock while it waits for the parser's lock; the
// streaming thread, about to start the output, waits for the state lock: both wait for good, and
// the interface with them. So while a source is being set, any other thread adding an element to
// that pipeline waits until setSource has returned. GStreamer's tracing hooks are where an element
// add can be held back.
//
// - A registered hook turns tracing on for every pipeline of the process: each element add and
//   each message posted passes through a short check here.
// - Empty sources (they only stop) and the decoder warm-up (a player of its own thread, loading
//   a clip of the program's own) do not go through the gate.
// - A held thread waits 5 s at most; past that it goes on with a warning, and the deadlock the gate
//   exists for becomes possible again for that one change.
// - There is one setter: every source change comes from the GUI thread.

namespace {

Q_LOGGING_CATEGORY(lcGate, "quillory.media", QtWarningMsg)

using namespace std::chrono_literals;

struct Gate
{
    std::mutex mutex;
    std::condition_variable opened;
    int depth = 0;
    std::thread::id setter;
    // The pipelines the setter has added to since it began: the ones being built.
    std::vector<GstBin *> building;
    // Errors the first of them had posted when the setter first added to it: later ones are the
    // new source's, even those posted while it is being set (a file that cannot be opened).
    quint64 errorsAtBuild = 0;
    int held = 0;
    // Ends of stream and errors each pipeline has posted, and where each player's last source was set.
    std::unordered_map<const void *, quint64> ends;
    struct Errors
    {
        quint64 count = 0;
        // The latest that told why, and which of them it was.
        std::optional<PlaybackFailure> told;
        quint64 toldAt = 0;
    };
    std::unordered_map<const void *, Errors> errors;
    struct Source
    {
        const void *pipeline = nullptr;
        quint64 endsAtSet = 0;
        quint64 errorsAtSet = 0;
    };
    std::unordered_map<const QMediaPlayer *, Source> sources;
};

// Never destroyed: a streaming thread may still pass the hook while the process exits.
Gate &gate()
{
    static Gate *const g = new Gate;
    return *g;
}

void beforeBinAdd(GObject *, GstClockTime, GstBin *bin, GstElement *)
{
    if (!GST_IS_PIPELINE(bin)) {
        return; // elements inside the decoder's own bins
    }
    Gate &g = gate();
    std::unique_lock lock(g.mutex);
    if (g.depth == 0) {
        return;
    }
    if (std::this_thread::get_id() == g.setter) {
        if (std::find(g.building.begin(), g.building.end(), bin) == g.building.end()) {
            if (g.building.empty()) {
                g.errorsAtBuild = g.errors[bin].count;
            }
            g.building.push_back(bin);
        }
        return;
    }
    const auto building = [&g, bin] {
        return g.depth > 0 && std::find(g.building.begin(), g.building.end(), bin) != g.building.end();
    };
    if (!building()) {
        return;
    }
    qCDebug(lcGate) << "holding back" << GST_ELEMENT_NAME(bin) << "until its source is set";
    ++g.held;
    if (!g.opened.wait_for(lock, 5s, [&] { return !building(); })) {
        qCWarning(lcGate) << "a pipeline's streaming thread waited 5 s for a source change";
    }
    --g.held;
}

// What an error says of the file. The generic ones that follow a telling one (a stream that
// stopped, a state change that failed) say nothing.
std::optional<PlaybackFailure> failureOf(GstMessage *message)
{
    GError *error = nullptr;
    gst_message_parse_error(message, &error, nullptr);
    if (!error) {
        return std::nullopt;
    }
    std::optional<PlaybackFailure> failure;
    if (error->domain == GST_STREAM_ERROR) {
        switch (error->code) {
        case GST_STREAM_ERROR_TYPE_NOT_FOUND: // random bytes
        case GST_STREAM_ERROR_WRONG_TYPE:
        case GST_STREAM_ERROR_CODEC_NOT_FOUND:
        case GST_STREAM_ERROR_DECODE:
        case GST_STREAM_ERROR_DEMUX:
        case GST_STREAM_ERROR_FORMAT:
            failure = PlaybackFailure::format;
            break;
        default:
            break;
        }
    } else if (error->domain == GST_RESOURCE_ERROR) {
        switch (error->code) {
        case GST_RESOURCE_ERROR_NOT_FOUND:
        case GST_RESOURCE_ERROR_OPEN_READ:
        case GST_RESOURCE_ERROR_READ:
            failure = PlaybackFailure::resource;
            break;
        case GST_RESOURCE_ERROR_NOT_AUTHORIZED:
            failure = PlaybackFailure::access;
            break;
        default:
            break;
        }
    }
    g_error_free(error);
    return failure;
}

void beforePostMessage(GObject *, GstClockTime, GstElement *element, GstMessage *message)
{
    const GstMessageType type = GST_MESSAGE_TYPE(message);
    if ((type != GST_MESSAGE_EOS && type != GST_MESSAGE_ERROR) || !GST_IS_PIPELINE(element)) {
        return;
    }
    const std::optional<PlaybackFailure> told = type == GST_MESSAGE_ERROR ? failureOf(message) : std::nullopt;
    Gate &g = gate();
    const std::lock_guard lock(g.mutex);
    if (type == GST_MESSAGE_EOS) {
        ++g.ends[element];
        return;
    }
    Gate::Errors &errors = g.errors[element];
    ++errors.count;
    if (told) {
        errors.told = told;
        errors.toldAt = errors.count;
    }
}

struct GateTracer
{
    GstTracer parent;
};

struct GateTracerClass
{
    GstTracerClass parent_class;
};

GType gateTracerType()
{
    static const GType type = g_type_register_static_simple(
        GST_TYPE_TRACER, "QuilloryMediaSourceGate", sizeof(GateTracerClass), nullptr, sizeof(GateTracer),
        [](GTypeInstance *instance, gpointer) {
            auto *tracer = GST_TRACER(instance);
            gst_tracing_register_hook(tracer, "bin-add-pre", G_CALLBACK(beforeBinAdd));
            gst_tracing_register_hook(tracer, "element-post-message-pre", G_CALLBACK(beforePostMessage));
            gst_tracing_register_hook(tracer, "element-new",
                                      G_CALLBACK(+[](GObject *, GstClockTime, GstElement *element) {
                                          MediaAudioSink::configure(element);
                                      }));
        },
        GTypeFlags(0));
    return type;
}

class Setting
{
public:
    Setting()
    {
        Gate &g = gate();
        const std::lock_guard lock(g.mutex);
        Q_ASSERT_X(g.setter == std::thread::id() || g.setter == std::this_thread::get_id(), "MediaSourceGate",
                   "sources are set from one thread only");
        if (g.depth++ == 0) {
            g.setter = std::this_thread::get_id();
            g.building.clear();
        }
    }
    ~Setting()
    {
        Gate &g = gate();
        {
            const std::lock_guard lock(g.mutex);
            if (--g.depth == 0) {
                g.building.clear();
            }
        }
        g.opened.notify_all();
    }
    Setting(const Setting &) = delete;
    Setting &operator=(const Setting &) = delete;
};

} // namespace

namespace MediaSourceGate {

void install()
{
    static const bool installed = [] {
        gst_init(nullptr, nullptr);
        // Lives as long as the process: the hooks stay registered.
        gst_object_ref_sink(g_object_new(gateTracerType(), nullptr));
        return true;
    }();
    Q_UNUSED(installed);
}

void setSource(QMediaPlayer &player, const QUrl &source)
{
    if (source.isEmpty()) {
        player.setSource(source); // only stops: nothing is built
        return;
    }
    install();
    const Setting setting;
    player.setSource(source);
    Gate &g = gate();
    const std::lock_guard lock(g.mutex);
    if (!g.building.empty()) {
        // The pipeline this change built, the first added to. Ends posted until now, during the
        // change included, are the previous source's.
        const void *pipeline = g.building.front();
        g.sources[&player] = {pipeline, g.ends[pipeline], g.errorsAtBuild};
    } else {
        g.sources.erase(&player);
    }
}

bool endedSinceSourceSet(const QMediaPlayer &player)
{
    Gate &g = gate();
    const std::lock_guard lock(g.mutex);
    const auto found = g.sources.find(&player);
    if (found == g.sources.end()) {
        return true; // nothing known against it: a genuine end
    }
    return g.ends[found->second.pipeline] > found->second.endsAtSet;
}

bool failedSinceSourceSet(const QMediaPlayer &player)
{
    Gate &g = gate();
    const std::lock_guard lock(g.mutex);
    const auto found = g.sources.find(&player);
    if (found == g.sources.end()) {
        return true;
    }
    return g.errors[found->second.pipeline].count > found->second.errorsAtSet;
}

std::optional<PlaybackFailure> failureSinceSourceSet(const QMediaPlayer &player)
{
    Gate &g = gate();
    const std::lock_guard lock(g.mutex);
    const auto found = g.sources.find(&player);
    if (found == g.sources.end()) {
        return std::nullopt;
    }
    const Gate::Errors &errors = g.errors[found->second.pipeline];
    return errors.toldAt > found->second.errorsAtSet ? errors.told : std::nullopt;
}

void boundTearDown(std::chrono::milliseconds limit)
{
    std::thread([limit] {
        std::this_thread::sleep_for(limit);
        std::fprintf(stderr, "quillory: tear-down still running after %lld ms: exit cut short\n",
                     static_cast<long long>(limit.count()));
        std::fflush(stderr);
        std::_Exit(tearDownCutShort);
    }).detach();
}

void whileSetting(const std::function<void()> &change)
{
    install();
    const Setting setting;
    change();
}

int heldThreads()
{
    Gate &g = gate();
    const std::lock_guard lock(g.mutex);
    return g.held;
}

GstElement *pipelineOf(const QMediaPlayer &player)
{
    Gate &g = gate();
    const std::lock_guard lock(g.mutex);
    const auto found = g.sources.find(&player);
    return found == g.sources.end() ? nullptr
                                    : static_cast<GstElement *>(const_cast<void *>(found->second.pipeline));
}

} // namespace MediaSourceGate
