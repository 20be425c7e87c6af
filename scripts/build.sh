#!/usr/bin/env bash
# Configures and builds Zelwan. BUILD_DIR (default build/) is where it lands; extra arguments go to
# cmake; BUILD_TARGETS (blank-separated) builds only those targets and what they need.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir="${BUILD_DIR:-build}"
cmake -S . -B "$build_dir" -G Ninja "$@"
targets=()
for t in ${BUILD_TARGETS:-}; do
    targets+=(--target "$t")
done
cmake --build "$build_dir" -j2 "${targets[@]}"
