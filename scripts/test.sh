#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds Zelwan and runs every test.
# The Firebird test server is started and stopped by the tests' own fixture.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
BUILD_DIR="${BUILD_DIR:-build}" scripts/build.sh "$@"
ctest --test-dir "${BUILD_DIR:-build}" --output-on-failure -j2 --timeout 600
