#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds Zelwan and starts the program.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
BUILD_DIR="${BUILD_DIR:-build}" scripts/build.sh
if [ ! -x "${BUILD_DIR:-build}/bin/zelwan" ]; then
    echo "The connection dialog is not built yet; the libraries and tests are in ${BUILD_DIR:-build}/."
    exit 0
fi
exec "${BUILD_DIR:-build}/bin/zelwan" "$@"
