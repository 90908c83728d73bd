#pragma once

#include <QtGlobal>

typedef struct _GstElement GstElement;

namespace MediaSinkFlow {

// How many buffers have reached the sinks of a pipeline (its sound output, its picture) since they
// were first looked at. What flows there is what is heard and shown, whatever the pipeline answers
// when asked where it stands.
quint64 reached(GstElement *pipeline);

} // namespace MediaSinkFlow
