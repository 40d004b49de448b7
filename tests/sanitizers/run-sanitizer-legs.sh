#!/usr/bin/env bash
# The sanitizer legs of `./run test`: the Linux suites built once more with AddressSanitizer
# and UndefinedBehaviorSanitizer (build-asan), and the threaded suites (protocol, link, serial,
# virtual cutter, form, window) with ThreadSanitizer (build-tsan). Nothing recovers: any report
# ends its test with a failure, and so the leg.
#
# usage: tests/sanitizers/run-sanitizer-legs.sh [asan|tsan|all]   (default: all)
set -euo pipefail

root="$(cd "$(dirname "$(readlink -f "$0")")/../.." && pwd)"
here="$root/tests/sanitizers"
# Paths relative to the clone and no working folder in the hash, so that a fresh clone in
# another folder (as CI makes) finds what an earlier build compiled.
export CCACHE_BASEDIR="$root" CCACHE_NOHASHDIR=true
jobs="$(nproc)"

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)

# configure <folder> <sanitizer flags>
configure() {
    local flags="$2 -fno-sanitize-recover=all -fno-omit-frame-pointer"
    cmake -S "$root" -B "$1" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" \
        -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
        -DCMAKE_EXE_LINKER_FLAGS="$2" -DCMAKE_SHARED_LINKER_FLAGS="$2" >/dev/null
}

asan_leg() {
    local build="$root/build-asan"
    echo "asan leg: building in $build"
    configure "$build" "-fsanitize=address,undefined"
    cmake --build "$build" -j "$jobs"
    ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1" \
    UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1" \
        ctest --test-dir "$build" --output-on-failure -j "$jobs" --timeout 600
}

# The suites whose code runs threads (the USB and platform suites start none of their own),
# each run whole as one process.
TSAN_SUITES=(protocol_tests link_tests serial_component_tests serial_posix_tests
    virtual_cutter_tests form_tests tst_replywait tst_mainwindow)

tsan_leg() {
    local build="$root/build-tsan" suite program failed=()
    echo "tsan leg: building in $build"
    configure "$build" "-fsanitize=thread"
    cmake --build "$build" -j "$jobs" --target "${TSAN_SUITES[@]}" virtual-cutter
    for suite in "${TSAN_SUITES[@]}"; do
        program="$(find "$build/tests" -name "$suite" -type f -perm -u+x | head -n 1)"
        echo "tsan leg: $suite"
        if ! QT_QPA_PLATFORM=offscreen \
            TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$here/tsan.supp" \
            timeout 900 "$program" >"$build/$suite.log" 2>&1; then
            tail -n 60 "$build/$suite.log" >&2
            failed+=("$suite")
        fi
    done
    if ((${#failed[@]} > 0)); then
        echo "tsan leg: failed: ${failed[*]} (logs in $build)" >&2
        return 1
    fi
    echo "tsan leg: ${#TSAN_SUITES[@]} suites clean"
}

case "${1:-all}" in
asan) asan_leg ;;
tsan) tsan_leg ;;
all) asan_leg && tsan_leg ;;
*)
    echo "usage: $0 [asan|tsan|all]" >&2
    exit 2
    ;;
esac
