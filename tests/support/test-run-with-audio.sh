#!/bin/sh
# The audio wrapper's promise: its server is reached from a TMPDIR of any depth, and a server that
# cannot start fails the run, saying why, instead of running the checks without sound.
set -u
wrapper="$(cd "$(dirname "$0")" && pwd)/run-with-audio.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0

# Every depth around the 108 bytes of a socket path: only some of them broke the server.
n=${#work}
while [ "$n" -le 120 ]; do
    deep="$work/$(printf '%*s' $((n - ${#work} + 1)) '' | tr ' ' d)"
    deep=${deep%d}
    mkdir -p "$deep"
    if ! TMPDIR="$deep" sh "$wrapper" pactl info >/dev/null 2>"$work/err"; then
        echo "FAIL: no sound server from a TMPDIR of ${#deep} characters:" >&2
        cat "$work/err" >&2
        failed=1
    fi
    n=$((n + 1))
done

# A pulseaudio that exits at once, and none at all.
mkdir "$work/bin"
printf '#!/bin/sh\nexit 1\n' >"$work/bin/pulseaudio"
chmod +x "$work/bin/pulseaudio"
for path in "$work/bin:$PATH" "$work/empty"; do
    if PATH="$path" /bin/sh "$wrapper" /bin/true 2>"$work/err"; then
        echo "FAIL: the wrapped command ran without a sound server (PATH=$path)" >&2
        failed=1
    elif ! grep -q "cannot run" "$work/err"; then
        echo "FAIL: the wrapper did not say why it failed (PATH=$path)" >&2
        failed=1
    fi
done
exit $failed
