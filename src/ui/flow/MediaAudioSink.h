#pragma once

#include <chrono>

typedef struct _GstElement GstElement;

// The output buffer and clock following of the players' audio sinks. GStreamer's PulseAudio sink
// asks for 200 ms by default, which is most of what a listener waits between GO and the first
// sound, and skips 40 ms of sound whenever its clock drifts that far from the pipeline's.
namespace MediaAudioSink {

// GstAudioBaseSinkSlaveMethod's values: how a sink follows a pipeline clock not its own.
enum class SlaveMethod { resample = 0, skew = 1, none = 2 };

struct Settings
{
    std::chrono::microseconds buffer;
    std::chrono::microseconds period;
    SlaveMethod slaveMethod;
    // How far the sink's clock may drift from the pipeline's before the sink resynchronises.
    std::chrono::microseconds driftTolerance;
    // How far a buffer's time may be from the end of the previous one before it is realigned,
    // and for how long that must last.
    std::chrono::nanoseconds alignmentThreshold;
    std::chrono::nanoseconds discontWait;

    bool operator==(const Settings &) const = default;
};

// GStreamer's own drift settings, with a buffer and period.
constexpr Settings gstreamerDrift(std::chrono::microseconds buffer, std::chrono::microseconds period)
{
    using namespace std::chrono_literals;
    return {buffer, period, SlaveMethod::skew, 40ms, 40ms, 1s};
}

// The settings the program plays with, chosen by measurement (bench/README.md).
constexpr Settings chosen()
{
    using namespace std::chrono_literals;
    // The buffer: the smallest that, on a loaded machine, still played every start from its first
    // sample and 30 s without a dropout ("The audio sink's buffer"). No slaving: the sinks follow
    // a clock not their own, and skew slaving caught up with it by dropping 40 ms of sound 2.5-7 s
    // into 12 of 24 starts of an audio item; without it, no step of 1152 lost any ("Step lengths").
    // The sound stays where it started instead, some 40 ms behind that clock.
    Settings s = gstreamerDrift(100ms, 10ms);
    s.slaveMethod = SlaveMethod::none;
    return s;
}

// Called for every element GStreamer creates; sets the audio sinks among them.
void configure(GstElement *element);

// Runs a player's pipeline on the clock of an audio sink: what it shows then follows what is
// heard, at the rate the sound card plays, and no sound is ever cut or stretched to follow
// another clock. With `sound`, on the audio sink of that pipeline (a separate sound track that
// the picture keeps with); else, when its own sound is heard here, on its own audio sink; else on
// the system clock, as the backend sets it. Takes effect the next time the pipeline is set going
// from a load or a pause (a move while it plays keeps the clock it runs on).
void runOnSoundClock(GstElement *pipeline, GstElement *sound, bool heardHere);

// Runs a pipeline that runs on its own audio sink's clock on the system clock instead, from the
// next time it is set going, a move while it plays included. PulseAudio's stream time can leap by
// hours once its stream is flushed or set going again (the operator's move or pause), and a
// pipeline on that clock then drops every frame as late, or stands still.
void leaveSoundClock(GstElement *pipeline);

// Makes a paused pipeline that keeps the system clock with its own audio sink time its sound
// afresh once it is set going again. Set going straight from a pause, the sink writes the rest of
// its last buffer, which uncorks its PulseAudio stream, then reads the stream's time to place
// what follows: read before the server has answered, that time can be centuries off, and all
// the rest of the sound is written out of reach while the picture plays on. After a flush the
// sink reads its clock before it sets its stream going.
void flushPaused(GstElement *pipeline);

// The settings of the sinks created from now on. Only the benchmarks change them.
Settings settings();
void setSettings(const Settings &settings);
// Changes only the buffer and the period.
void setBuffer(std::chrono::microseconds buffer, std::chrono::microseconds period);

} // namespace MediaAudioSink
