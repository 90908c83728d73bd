#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests and the program need, when missing.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config git
    qt6-base-dev qt6-base-dev-tools libgl-dev qt6-translations-l10n
    qcoro-qt6-dev
    qtkeychain-qt6-dev gnome-keyring dbus dbus-daemon
    qt6-multimedia-dev libgstreamer1.0-dev gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-libav
    libqrencode-dev libzbar-dev
    libsimdjson-dev
    libcurl4-openssl-dev ca-certificates
    pulseaudio libfaketime
    fuse python3-fusepy
    libbenchmark-dev
    libcpp-httplib-dev
    libzip-dev
    fonts-wqy-microhei fonts-dejavu-core adwaita-icon-theme
    xvfb xauth libxcb1-dev
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "Installing: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
    sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}" >/dev/null
