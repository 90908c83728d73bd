#!/usr/bin/env bash
# Builds and starts Quillory. Without TAVIK_API_BASE_URL it first starts the local fake service
# seeded with a demo show (it prints the phone numbers and the SMS code to sign in with) and
# points the program at it.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)"

app=build/default/src/app/quillory

if [ -z "${TAVIK_API_BASE_URL+x}" ]; then
    port=${QUILLORY_FAKE_PORT:-8765}
    build/default/tools/fake-service/quillory-fake-service --port "$port" &
    fake_pid=$!
    trap 'kill "$fake_pid" 2>/dev/null || true' EXIT
    export TAVIK_API_BASE_URL="http://127.0.0.1:$port"
    for _ in $(seq 50); do
        (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break
        sleep 0.1
    done
fi

# The token lives in the desktop's secret service. Without a session bus (a bare console or an
# SSH login) start a private bus with a keyring kept under the user's state folder.
runner=()
if [ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ]; then
    keyring_home="${XDG_STATE_HOME:-$HOME/.local/state}/quillory"
    mkdir -p "$keyring_home"
    export QUILLORY_KEYRING_HOME="$keyring_home"
    runner=(dbus-run-session -- sh -c \
        'echo -n quillory | XDG_DATA_HOME="$QUILLORY_KEYRING_HOME" gnome-keyring-daemon --unlock --components=secrets >/dev/null && exec "$@"' sh)
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    echo "No display found: running on a virtual X display (xvfb-run)." >&2
    runner=(xvfb-run -a -s "-screen 0 1280x860x24" "${runner[@]}")
fi

"${runner[@]}" "$app" "$@"
