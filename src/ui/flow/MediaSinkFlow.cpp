#include "MediaSinkFlow.h"
#include "PipelineElements.h"

#include <gst/gst.h>

#include <atomic>
#include <memory>

namespace {

using Count = std::atomic<quint64>;
using Shared = std::shared_ptr<Count>;

GQuark countQuark()
{
    static const GQuark quark = g_quark_from_static_string("quillory-buffers-reached");
    return quark;
}

GstPadProbeReturn counted(GstPad *, GstPadProbeInfo *, gpointer data)
{
    (*static_cast<Shared *>(data))->fetch_add(1, std::memory_order_relaxed);
    return GST_PAD_PROBE_OK;
}

// The sink's count, its probe set the first time: the streaming thread counts, the GUI thread reads.
const Count *countOf(GstElement *sink)
{
    if (auto *count = static_cast<Shared *>(g_object_get_qdata(G_OBJECT(sink), countQuark()))) {
        return count->get();
    }
    GstPad *pad = gst_element_get_static_pad(sink, "sink");
    if (!pad) {
        return nullptr;
    }
    auto *count = new Shared(std::make_shared<Count>());
    g_object_set_qdata_full(G_OBJECT(sink), countQuark(), count,
                            [](gpointer data) { delete static_cast<Shared *>(data); });
    // The probe holds the count too: a streaming thread may be inside it as the sink goes.
    gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_BUFFER, &counted, new Shared(*count),
                      [](gpointer data) { delete static_cast<Shared *>(data); });
    gst_object_unref(pad);
    return count->get();
}

} // namespace

namespace MediaSinkFlow {

quint64 reached(GstElement *pipeline)
{
    quint64 total = 0;
    forEachElement(
        pipeline,
        [&total](GstElement *element) {
            const Count *count = GST_OBJECT_FLAG_IS_SET(element, GST_ELEMENT_FLAG_SINK) && !GST_IS_BIN(element)
                                     ? countOf(element)
                                     : nullptr;
            if (count) {
                total += count->load(std::memory_order_relaxed);
            }
            return true;
        },
        [&total] { total = 0; });
    return total;
}

} // namespace MediaSinkFlow
