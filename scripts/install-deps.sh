#!/usr/bin/env bash
# Installs every Debian package that building, testing and running Luma Quill needs.
# Quiet and quick when everything is already there.
set -euo pipefail

packages=(
    cmake ninja-build pkg-config g++
    qt6-base-dev qt6-base-dev-tools qt6-svg-dev
    libpoppler-qt6-dev libqpdf-dev libplist-dev libplist-utils libxml2-dev libzip-dev libfontconfig-dev
    libenchant-2-dev hunspell-en-us qt6-image-formats-plugins
    libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev libges-1.0-dev
    gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-bad
    gstreamer1.0-plugins-ugly gstreamer1.0-libav gstreamer1.0-tools gstreamer1.0-alsa
    gstreamer1.0-plugins-base-apps
    gstreamer1.0-pulseaudio pulseaudio
    xvfb xauth xdotool openbox zip desktop-file-utils
    libreoffice-writer-nogui unrtf poppler-utils
    libgtest-dev libgmock-dev libbenchmark-dev
    clang libclang-rt-14-dev python3
    chromium python3-websocket
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
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
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
