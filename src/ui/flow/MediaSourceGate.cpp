#include "MediaSourceGate.h"
#include "MediaAudioSink.h"

#include <QLoggingCategory>
#include <QMediaPlayer>
#include <QUrl>

#include <gst/gst.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

// The GStreamer player, given a new source, builds its pipeline, sets it going and seeks it to
// the start, all before setSource returns. Its streaming thread meanwhile adds and links an output
// for each stream it finds, holding the parser's stream lock. A seek that finds an output added
// but not yet started holds that output's state lock while it waits for the parser's lock; the
// streaming thread, about to start the output, waits for the state lock: both wait for good, and
// the interface with them. So while a source is being set, any other thread adding an element to
// that pipeline waits until setSource has returned. GStreamer's tracing hooks are where an element
// add can be held back.

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
        g.building.push_back(bin);
        return;
    }
    const auto building = [&g, bin] {
        return g.depth > 0 && std::find(g.building.begin(), g.building.end(), bin) != g.building.end();
    };
    if (!building()) {
        return;
    }
    qCDebug(lcGate) << "holding back" << GST_ELEMENT_NAME(bin) << "until its source is set";
    // Bounded, so that a hold the setter could ever wait for costs seconds, not the program.
    if (!g.opened.wait_for(lock, 5s, [&] { return !building(); })) {
        qCWarning(lcGate) << "a pipeline's streaming thread waited 5 s for a source change";
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
        GST_TYPE_TRACER, "QuilloryMediaSourceGate", sizeof(GateTracerClass), nullptr,
        sizeof(GateTracer),
        [](GTypeInstance *instance, gpointer) {
            gst_tracing_register_hook(GST_TRACER(instance), "bin-add-pre", G_CALLBACK(beforeBinAdd));
            gst_tracing_register_hook(GST_TRACER(instance), "element-new",
                                      G_CALLBACK(+[](GObject *, GstClockTime, GstElement *element) {
                                          MediaAudioSink::configure(element);
                                      }));
        },
        GTypeFlags(0));
    return type;
}

void install()
{
    static const bool installed = [] {
        gst_init(nullptr, nullptr);
        // Lives as long as the process: the hook stays registered.
        gst_object_ref_sink(g_object_new(gateTracerType(), nullptr));
        return true;
    }();
    Q_UNUSED(installed);
}

class Setting
{
public:
    Setting()
    {
        Gate &g = gate();
        const std::lock_guard lock(g.mutex);
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
    ::install();
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
}

} // namespace MediaSourceGate
