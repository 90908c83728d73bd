#pragma once

#include <chrono>

typedef struct _GstElement GstElement;

// The output buffer of the players' audio sinks. GStreamer's PulseAudio sink asks for 200 ms by
// default, which is most of what a listener waits between GO and the first sound.
namespace MediaAudioSink {

// Called for every element GStreamer creates; sets the buffer of the audio sinks among them.
void configure(GstElement *element);

// The buffer and the period asked of the server by the sinks created from now on. Only the
// benchmarks change it: the default is chosen by measurement (bench/README.md).
void setBuffer(std::chrono::microseconds buffer, std::chrono::microseconds period);

} // namespace MediaAudioSink
