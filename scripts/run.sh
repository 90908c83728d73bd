#!/usr/bin/env bash
# Builds and starts Quillory. Without TAVIK_API_BASE_URL it first starts the local fake service
# seeded with a demo show and points the program at it.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)"

if [ -z "${TAVIK_API_BASE_URL+x}" ] && [ -x build/default/tools/fake-service/quillory-fake-service ]; then
    port=${QUILLORY_FAKE_PORT:-8765}
    build/default/tools/fake-service/quillory-fake-service --port "$port" &
    fake_pid=$!
    trap 'kill $fake_pid 2>/dev/null || true' EXIT
    export TAVIK_API_BASE_URL="http://127.0.0.1:$port"
    sleep 0.5
fi

build/default/src/app/quillory "$@"
