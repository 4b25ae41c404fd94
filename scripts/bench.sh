#!/usr/bin/env bash
# Builds an optimised tree and runs the benchmark; arguments go to bench/run (try --help).
set -euo pipefail
exec "$(dirname "$0")/../bench/run" "$@"
