#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds the program (only it and what it needs; the test command
# builds the rest) and starts it on its demonstration data beside the program: a local database
# directory with systemkw.gdb, a shared directory with PROFILE, and a baza.set pointing at both.
# --build-only stops once the program and its data are there.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
build_dir="${BUILD_DIR:-build}"
BUILD_DIR="$build_dir" BUILD_TARGETS=zelwan scripts/build.sh
bin_dir="$build_dir/bin"
scripts/make-demo-db.sh "$bin_dir"
if [ "${1:-}" = "--build-only" ]; then
    exit 0
fi
# shellcheck source=demo-env.sh
source scripts/demo-env.sh "$(cd "$bin_dir" && pwd)"
exec "$bin_dir/zelwan" "$@"
