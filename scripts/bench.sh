#!/usr/bin/env bash
# Builds and runs the benchmark (README, "The benchmark"): the client layer against the raw client
# API and the peer libraries, and the program's start-up against a bare Qt dialog. Installs first
# what the build needs and what only the benchmark needs: valgrind (instruction counts), tcpdump
# (round trips; they are counted when the benchmark runs as root), SOCI with its Firebird backend and
# Qt's QIBASE driver (the peers). Extra arguments go to the benchmark (--rounds N, --cases KEY,...,
# --no-callgrind, --no-round-trips, --keep).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh valgrind tcpdump libsoci-dev libsoci-firebird4.0 libboost-dev libqt6sql6-ibase

build_dir="${BUILD_DIR:-build}"
cmake -S . -B "$build_dir" -G Ninja
cmake --build "$build_dir" -j2 --target zelwan_bench
exec "$build_dir/bin/zelwan_bench" "$@"
