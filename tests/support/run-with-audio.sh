#!/bin/sh
# Runs a test program with a private PulseAudio server whose only output is a null sink, so media
# really plays on a machine without sound hardware. Without pulseaudio the program runs as it is
# (its playback test then skips). What the sink plays can be recorded from the source
# quillory_null_heard: Qt lists no monitor sources, so the sink's monitor is passed on as a plain one.
set -eu
if [ $# -lt 1 ]; then
    echo "usage: $0 program [arguments...]" >&2
    exit 2
fi
if ! command -v pulseaudio >/dev/null 2>&1; then
    exec "$@"
fi

scratch=$(mktemp -d)
mkdir -m 700 "$scratch/runtime" "$scratch/home"
export XDG_RUNTIME_DIR="$scratch/runtime" HOME="$scratch/home"
unset PULSE_SERVER
# AUDIO_CLOCK_SPEED (a benchmark's, e.g. 1.0001): the server's clock, and so the null sink's
# playback, runs that much faster than the system's, as a sound card's clock may.
faked=/usr/lib/x86_64-linux-gnu/faketime/libfaketimeMT.so.1
clocked() {
    if [ -n "${AUDIO_CLOCK_SPEED:-}" ] && [ -e "$faked" ]; then
        LD_PRELOAD="$faked" FAKETIME="+0 x$AUDIO_CLOCK_SPEED" exec "$@"
    else
        exec "$@"
    fi
}
clocked pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no --disable-shm=yes \
    -L "module-native-protocol-unix" -L "module-null-sink sink_name=quillory_null" \
    -L "module-remap-source master=quillory_null.monitor source_name=quillory_null_heard" \
    >"$scratch/pulse.log" 2>&1 &
server=$!
cleanup() {
    kill "$server" 2>/dev/null || true
    wait "$server" 2>/dev/null || true
    rm -rf "$scratch" 2>/dev/null || true
}
trap cleanup EXIT
i=0
while [ ! -S "$XDG_RUNTIME_DIR/pulse/native" ] && [ $i -lt 50 ]; do
    sleep 0.1
    i=$((i + 1))
done

status=0
"$@" || status=$?
exit "$status"
