#!/usr/bin/env bash
# Builds the libFuzzer targets of tests/fuzz with Debian's clang (ASan and UBSan on, so a
# memory fault or undefined behaviour is a finding too) and runs each for SECONDS on its seed
# corpus. Any finding stops the run with a failure; its input lands in BUILD_DIR/findings/.
#
# usage: tests/fuzz/run-fuzzers.sh [SECONDS [BUILD_DIR]]   (defaults: 60, build-fuzz)
#
# The committed corpus (tests/fuzz/corpus/<target>/) is only read; what the fuzzer learns
# goes to BUILD_DIR/corpus/<target>/ and is used again by the next run in the same folder.
set -euo pipefail

root="$(cd "$(dirname "$(readlink -f "$0")")/../.." && pwd)"
seconds="${1:-60}"
build="$(readlink -m "${2:-$root/build-fuzz}")"
# Paths relative to the clone and no working folder in the hash, so that a fresh clone in
# another folder (as CI makes) finds what an earlier build compiled.
export CCACHE_BASEDIR="$root" CCACHE_NOHASHDIR=true

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
flags="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ "${launcher[@]}" \
    -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" -DZOPRA_FUZZ=ON >/dev/null

targets=()
for dir in "$root"/tests/fuzz/corpus/*/; do
    targets+=("$(basename "$dir")")
done
cmake --build "$build" -j "$(nproc)" --target "${targets[@]/#/fuzz_}"

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}"
mkdir -p "$build/findings"
status=0
summary=()
for target in "${targets[@]}"; do
    work="$build/corpus/$target"
    log="$build/fuzz_$target.log"
    mkdir -p "$work"
    echo "fuzz: $target for ${seconds}s"
    if "$build/tests/fuzz/fuzz_$target" -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="$build/findings/$target-" "$work" "$root/tests/fuzz/corpus/$target" \
        >"$log" 2>&1; then
        result=clean
    else
        result="FINDING (see $log and $build/findings/)"
        status=1
        tail -n 40 "$log" >&2
    fi
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    summary+=("$(printf '%-16s %12s inputs  %s' "$target" "${runs:-?}" "$result")")
done
printf 'fuzz: %s\n' "${summary[@]}"
exit "$status"
