#!/usr/bin/env bash
# Installs what building, running and testing Brassfinch needs on Debian 12.
# Packages already present are left alone, so a second run costs one package-list refresh.
#
# Usage: scripts/install-deps.sh [--run]
#   --run   only what building and running the program needs, not the test and package tools
set -euo pipefail

packages=(
    # build
    cmake ninja-build g++ qt6-base-dev
    # run: the icon renderer, "Arial" (metric-compatible), opening folders and web pages
    libqt6svg6 fonts-liberation2 xdg-utils
)
case "${1:-}" in
    --run) ;;
    "")
        packages+=(
            # test: a display server for the real-window test and a screenshot tool
            xvfb xauth x11-apps imagemagick python3-xlib
            # package checks: the validators, the .deb's dependency scan, and driving the real window
            desktop-file-utils appstream lintian dpkg-dev file x11-utils xdotool procps
        )
        ;;
    *) echo "usage: $0 [--run]" >&2; exit 2 ;;
esac

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
((${#missing[@]})) || exit 0
# Nothing to install needs no root; otherwise a desktop user is asked for the sudo password.
as_root=()
if ((EUID != 0)); then
    if ! command -v sudo >/dev/null; then
        echo "Missing: ${missing[*]}. Run this as root first: scripts/install-deps.sh ${1:-}" >&2
        exit 1
    fi
    as_root=(sudo)
fi
"${as_root[@]}" apt-get update -qq
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
