#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds Zelwan and starts the program on its demonstration
# data: a local database directory with systemkw.gdb and a shared directory with PROFILE, beside
# the program, where a fresh baza.set points.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
build_dir="${BUILD_DIR:-build}"
BUILD_DIR="$build_dir" scripts/build.sh
bin_dir="$build_dir/bin"
scripts/make-demo-db.sh "$bin_dir"
# shellcheck source=demo-lock-env.sh
source scripts/demo-lock-env.sh "$(cd "$bin_dir" && pwd)"
exec "$bin_dir/zelwan" "$@"
