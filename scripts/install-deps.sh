#!/usr/bin/env bash
# Installs what building, running and testing Brassfinch needs on Debian 12 (run as root).
# Packages already present are left alone, so a second run costs one package-list refresh.
set -euo pipefail

packages=(
    # build
    cmake ninja-build g++ qt6-base-dev libqscintilla2-qt6-dev
    # run: the icon renderer, "Arial" (metric-compatible), opening folders and web pages
    libqt6svg6 fonts-liberation2 xdg-utils
    # test: a display server for the real-window test and a screenshot tool
    xvfb xauth x11-apps imagemagick python3-xlib
    # package checks: the validators, the .deb's dependency scan, and driving the real window
    desktop-file-utils appstream lintian dpkg-dev file x11-utils xdotool procps
)

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
if ((${#missing[@]})); then
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
