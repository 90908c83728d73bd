#!/bin/sh
# Runs a test program against a throwaway gnome-keyring in a private D-Bus session, so no one's own
# keyring is touched. With --without-service the program instead gets a session bus address that
# leads nowhere, as on a machine without any secret service.
set -eu

mode=running
if [ "${1:-}" = "--without-service" ]; then
    mode=absent
    shift
fi
if [ $# -lt 1 ]; then
    echo "usage: $0 [--without-service] program [arguments...]" >&2
    exit 2
fi

scratch=$(mktemp -d)
trap 'rm -rf "$scratch" 2>/dev/null || true' EXIT
mkdir -m 700 "$scratch/home" "$scratch/runtime"
export HOME="$scratch/home" XDG_RUNTIME_DIR="$scratch/runtime"
unset XDG_DATA_HOME XDG_CONFIG_HOME XDG_CACHE_HOME GNOME_KEYRING_CONTROL
# QtKeychain picks its backend from the desktop; with none it takes the Secret Service.
unset XDG_CURRENT_DESKTOP DESKTOP_SESSION KDE_FULL_SESSION KDE_SESSION_VERSION GNOME_DESKTOP_SESSION_ID
export QUILLORY_TEST_KEYRING="$mode"

status=0
if [ "$mode" = absent ]; then
    DBUS_SESSION_BUS_ADDRESS="unix:path=$scratch/runtime/no-bus" "$@" || status=$?
else
    dbus-run-session -- sh -c \
        'printf pw | gnome-keyring-daemon --unlock --components=secrets >/dev/null && exec "$@"' \
        sh "$@" || status=$?
fi
exit "$status"
