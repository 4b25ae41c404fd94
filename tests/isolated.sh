#!/usr/bin/env bash
# Runs one test with settings, cache and runtime folders of its own, made afresh and removed after,
# so that nothing a run leaves behind (a kept safety copy, a stored setting) reaches the next.
set -u
scratch=$(mktemp -d) || exit 1
trap 'rm -rf "$scratch"' EXIT
mkdir -m 700 "$scratch/config" "$scratch/cache" "$scratch/runtime"
XDG_CONFIG_HOME="$scratch/config" XDG_CACHE_HOME="$scratch/cache" XDG_RUNTIME_DIR="$scratch/runtime" "$@"
