#include "MediaAudioSink.h"

#include <gst/gst.h>

#include <atomic>

namespace {

using namespace std::chrono_literals;

// The smallest buffer that, on a loaded machine, still played every start from its first sample
// and 30 s without a dropout (bench/README.md, "The audio sink's buffer"): 60 and 40 ms dropped
// out there. Elements are created on GStreamer's threads as well as on the GUI thread.
std::atomic<std::chrono::microseconds> buffer{100ms};
std::atomic<std::chrono::microseconds> period{10ms};

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
           g_object_class_find_property(klass, "latency-time");
}

} // namespace

namespace MediaAudioSink {

void configure(GstElement *element)
{
    if (!isAudioSink(element)) {
        return;
    }
    g_object_set(element, "buffer-time", gint64(buffer.load().count()), "latency-time",
                 gint64(period.load().count()), nullptr);
}

void setBuffer(std::chrono::microseconds newBuffer, std::chrono::microseconds newPeriod)
{
    buffer = newBuffer;
    period = newPeriod;
}

} // namespace MediaAudioSink
