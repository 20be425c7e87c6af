#!/usr/bin/env bash
# Everything CI runs: the tests (scripts/test.sh), the same suite again in the AddressSanitizer +
# UndefinedBehaviorSanitizer build (build-asan/), and every fuzz target for FUZZ_SECONDS (default 30).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/test.sh "$@"

# LeakSanitizer's tracer has crashed under load while intercepting __tls_get_addr; leaks are
# found without it. The suppressions name third-party libraries only.
ASAN_OPTIONS="${ASAN_OPTIONS:-intercept_tls_get_addr=0:detect_leaks=1:abort_on_error=0}" \
LSAN_OPTIONS="${LSAN_OPTIONS:-suppressions=$PWD/tests/sanitizers/lsan.supp}" \
UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}" \
BUILD_DIR=build-asan scripts/test.sh -DZELWAN_SANITIZE=ON "$@"

scripts/fuzz.sh "${FUZZ_SECONDS:-30}"
