#!/usr/bin/env bash
# Installs what building and running needs, builds the program alone, and starts Brassfinch.
# Needs a graphical session.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh --run
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build --target brassfinch
exec build/brassfinch/brassfinch
