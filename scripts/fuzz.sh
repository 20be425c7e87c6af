#!/usr/bin/env bash
# Builds the libFuzzer targets (fuzz/, clang with AddressSanitizer and UndefinedBehaviorSanitizer) and
# runs each for SECONDS (default 30), one after another, from its seed corpus in fuzz/corpus/<target>/.
# Fails when any target finds a crash, a leak, a timeout or a broken property; what it found lands in
# $BUILD_DIR/fuzz-artifacts/<target>/. FUZZ_TARGETS (blank-separated) runs only those.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-30}"
build_dir="${BUILD_DIR:-build-fuzz}"
scripts/install-deps.sh
CC="${CC:-clang-14}" CXX="${CXX:-clang++-14}" cmake -S . -B "$build_dir" -G Ninja \
    -DZELWAN_FUZZ=ON -DZELWAN_TESTS=OFF >/dev/null
mapfile -t all < "$build_dir/fuzz-targets.txt"
targets=(${FUZZ_TARGETS:-${all[@]}})
cmake --build "$build_dir" -j2 $(printf -- '--target %s ' "${targets[@]}")

# The Qt target draws nothing on a screen. LeakSanitizer's tracer has crashed under load while
# intercepting __tls_get_addr; leaks are found without it.
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS="${ASAN_OPTIONS:-intercept_tls_get_addr=0:detect_leaks=1}"
export LSAN_OPTIONS="${LSAN_OPTIONS:-suppressions=$PWD/fuzz/lsan.supp}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
failed=()
for t in "${targets[@]}"; do
    work="$build_dir/fuzz-corpus/$t"
    artifacts="$build_dir/fuzz-artifacts/$t"
    mkdir -p "$work" "$artifacts"
    echo "== $t: $seconds s"
    # New inputs go to the build directory's corpus; the seeds in the tree stay as they are.
    if ! "$build_dir/bin/$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -detect_leaks=1 \
        -print_final_stats=1 -artifact_prefix="$artifacts/" "$work" "fuzz/corpus/$t" \
        >"$build_dir/fuzz-$t.log" 2>&1; then
        tail -n 60 "$build_dir/fuzz-$t.log"
        failed+=("$t")
    fi
    grep -E '^#[0-9]+ +DONE|stat::number_of_executed_units' "$build_dir/fuzz-$t.log" | tail -n 2 || true
done
if [ ${#failed[@]} -ne 0 ]; then
    echo "fuzz targets failed: ${failed[*]}" >&2
    exit 1
fi
