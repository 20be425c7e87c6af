#!/usr/bin/env bash
# Configures and builds Zelwan. BUILD_DIR (default build/) is where it lands; extra arguments go to cmake.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir="${BUILD_DIR:-build}"
cmake -S . -B "$build_dir" -G Ninja "$@"
cmake --build "$build_dir" -j2
