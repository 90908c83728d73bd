#include "MediaAudioSink.h"

#include <gst/gst.h>

#include <atomic>
#include <mutex>

namespace {

// Elements are created on GStreamer's threads as well as on the GUI thread.
std::mutex mutex;
// Constant-initialised, so a benchmark's setting made during static initialisation stays.
constinit MediaAudioSink::Settings current = MediaAudioSink::chosen();

GType audioBaseSinkType()
{
    // By name: GStreamer's audio library is loaded with the first audio element, not by us.
    static std::atomic<GType> type = 0;
    if (!type) {
        type = g_type_from_name("GstAudioBaseSink");
    }
    return type;
}

bool isAudioSink(GstElement *element)
{
    const GType type = audioBaseSinkType();
    if (!type || !g_type_is_a(G_OBJECT_TYPE(element), type)) {
        return false;
    }
    GObjectClass *klass = G_OBJECT_GET_CLASS(element);
    return g_object_class_find_property(klass, "buffer-time") &&
           g_object_class_find_property(klass, "latency-time") &&
           g_object_class_find_property(klass, "drift-tolerance");
}

} // namespace

namespace MediaAudioSink {

void configure(GstElement *element)
{
    if (!isAudioSink(element)) {
        return;
    }
    const Settings s = settings();
    g_object_set(element, "buffer-time", gint64(s.buffer.count()), "latency-time", gint64(s.period.count()),
                 "slave-method", gint(s.slaveMethod), "drift-tolerance", gint64(s.driftTolerance.count()),
                 "alignment-threshold", guint64(s.alignmentThreshold.count()), "discont-wait",
                 guint64(s.discontWait.count()), nullptr);
}

Settings settings()
{
    const std::lock_guard lock(mutex);
    return current;
}

void setSettings(const Settings &settings)
{
    const std::lock_guard lock(mutex);
    current = settings;
}

void setBuffer(std::chrono::microseconds buffer, std::chrono::microseconds period)
{
    const std::lock_guard lock(mutex);
    current.buffer = buffer;
    current.period = period;
}

} // namespace MediaAudioSink
