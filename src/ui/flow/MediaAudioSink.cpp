#include "MediaAudioSink.h"
#include "PipelineElements.h"

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

// The clock of the pipeline's audio sink, once its output is open; none before.
GstClock *soundClockOf(GstElement *pipeline)
{
    GstClock *clock = nullptr;
    forEachElement(pipeline, [&clock](GstElement *element) {
        if (isAudioSink(element)) {
            clock = gst_element_provide_clock(element);
        }
        return !clock;
    });
    return clock;
}

// A pipeline chooses its clock anew as it is set going after a load or a pause; after the flush of
// a move while it plays, only once a child says the one it runs on is lost.
void chooseClockAnew(GstElement *pipeline)
{
    GstClock *current = gst_element_get_clock(pipeline);
    if (!current) {
        return; // it has none yet: it chooses one as it starts
    }
    GstIterator *children = gst_bin_iterate_elements(GST_BIN(pipeline));
    GValue child = G_VALUE_INIT;
    if (gst_iterator_next(children, &child) == GST_ITERATOR_OK) {
        auto *element = GST_ELEMENT(g_value_get_object(&child));
        gst_element_post_message(element, gst_message_new_clock_lost(GST_OBJECT(element), current));
    }
    g_value_unset(&child);
    gst_iterator_free(children);
    gst_object_unref(current);
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

void runOnSoundClock(GstElement *pipeline, GstElement *sound, bool heardHere)
{
    if (!GST_IS_PIPELINE(pipeline)) {
        return;
    }
    // The media backend fixes the system clock on its pipelines: their sinks would then play at
    // the card's rate against it, and without slaving drift from it unseen, or with slaving cut
    // the sound to catch up.
    // Every caller sets the pipeline going from a load or a pause next, which chooses its clock
    // anew: nothing is said lost here.
    GstClock *wanted = sound && sound != pipeline ? soundClockOf(sound) : nullptr;
    if (wanted) {
        gst_pipeline_use_clock(GST_PIPELINE(pipeline), wanted);
    } else if (heardHere) {
        gst_pipeline_auto_clock(GST_PIPELINE(pipeline));
    } else {
        // Nothing heard here to follow: a sink left idle from an earlier file could hand out a
        // clock that never runs.
        wanted = gst_system_clock_obtain();
        gst_pipeline_use_clock(GST_PIPELINE(pipeline), wanted);
    }
    if (wanted) {
        gst_object_unref(wanted);
    }
}

void leaveSoundClock(GstElement *pipeline)
{
    if (!GST_IS_PIPELINE(pipeline)) {
        return;
    }
    GstClock *system = gst_system_clock_obtain();
    gst_pipeline_use_clock(GST_PIPELINE(pipeline), system);
    gst_object_unref(system);
    chooseClockAnew(pipeline);
}

void flushPaused(GstElement *pipeline)
{
    gint64 position = 0;
    if (GST_IS_PIPELINE(pipeline) && gst_element_query_position(pipeline, GST_FORMAT_TIME, &position)) {
        gst_element_seek_simple(pipeline, GST_FORMAT_TIME, GST_SEEK_FLAG_FLUSH, position);
    }
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
