#!/usr/bin/env bash
# Builds (optimised) and runs every benchmark headless; each prints its medians.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBRASSFINCH_BUILD_TESTS=OFF
cmake --build build-bench
for benchmark in build-bench/bench/bench_*; do
    [[ -f "$benchmark" && -x "$benchmark" ]] || continue
    echo "== $(basename "$benchmark")"
    QT_QPA_PLATFORM=offscreen "$benchmark"
done
