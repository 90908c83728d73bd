#!/bin/sh
# Runs a test program with a private PulseAudio server whose only output is a null sink, so media
# really plays on a machine without sound hardware. What the sink plays can be recorded from the
# source quillory_null_heard: Qt lists no monitor sources, so the sink's monitor is passed on as a
# plain one. A server that cannot be had fails the run: the real-player checks must not skip.
set -eu
if [ $# -lt 1 ]; then
    echo "usage: $0 program [arguments...]" >&2
    exit 2
fi
fail() {
    echo "run-with-audio: $*: the real-player checks cannot run" >&2
    exit 1
}
command -v pulseaudio >/dev/null 2>&1 || fail "pulseaudio is not installed"

# Under /tmp, whatever TMPDIR says: the server's socket path must stay within the 108 bytes of a
# Unix socket path, and a test's TMPDIR lies as deep as its build folder.
scratch=$(mktemp -d /tmp/qa.XXXXXX)
mkdir -m 700 "$scratch/runtime" "$scratch/home"
export XDG_RUNTIME_DIR="$scratch/runtime" HOME="$scratch/home" QUILLORY_AUDIO_REQUIRED=1
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
while [ ! -S "$XDG_RUNTIME_DIR/pulse/native" ]; do
    if ! kill -0 "$server" 2>/dev/null || [ $i -ge 100 ]; then
        sed 's/^/run-with-audio: pulseaudio: /' "$scratch/pulse.log" >&2
        fail "the sound server did not start"
    fi
    sleep 0.1
    i=$((i + 1))
done

status=0
"$@" || status=$?
exit "$status"
