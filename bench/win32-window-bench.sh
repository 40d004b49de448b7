#!/usr/bin/env bash
# zopra.exe under Wine against a bare Win32 window of the same size and against the fair
# floor (the window built from the layout table, with zopra.exe's resources and DLLs, but no
# form), in one run and the same prefix: the time from start to window shown (median of RUNS
# starts) and the working set once the window has settled, each as a ratio to both; and the
# exe's size.
# A benchmark, not a test: it prints figures and judges nothing.
#
# usage: bench/win32-window-bench.sh [WIN_BUILD_DIR [RUNS]]   (after the Windows build:
#        tests/win/run-windows-leg.sh or ./run windows)
set -euo pipefail
root="$(cd "$(dirname "$(readlink -f "$0")")/.." && pwd)"
win_build="$(readlink -m "${1:-$root/build-win32}")"
runs="${2:-5}"

exe="$win_build/src/ui/win32/zopra.exe"
bench="$win_build/bench/win32/window_start_bench.exe"
bare="$win_build/bench/win32/bare_window.exe"
floor="$win_build/bench/win32/layout_window.exe"
for program in "$exe" "$bench" "$bare" "$floor"; do
    [ -f "$program" ] || { echo "win32 window bench: no $program (build the Windows side)" >&2; exit 1; }
done

# shellcheck source=tests/win/wine-session.sh
source "$root/tests/win/wine-session.sh"
logs="$win_build/bench-logs"
wine_prefix "$win_build/wineprefix" "$logs"
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
# Seen on the display when there is one; without one, Wine's null driver.
wine_set_display "$([ -n "${DISPLAY:-}" ] && echo x11 || echo null)" "$logs"
wine_restart
# A running server, as a user's session has: the figures are the programs', not Wine's start.
timeout 120 wine cmd /c exit >>"$logs/wine-start.log" 2>&1 </dev/null

measure() {
    timeout 300 wine "$bench" "$(wine_path "$1")" "$2" "$runs" </dev/null 2>>"$logs/bench.err" |
        tr -d '\r'
}
bare_figures="$(measure "$bare" ZopraBareWindow)"
floor_figures="$(measure "$floor" ZopraMainWindow)"
zopra_figures="$(measure "$exe" ZopraMainWindow)"

value() { sed -n "s/.*$1=\([0-9.]*\).*/\1/p" <<<"$2"; }
awk -v bt="$(value median_ms "$bare_figures")" -v zt="$(value median_ms "$zopra_figures")" \
    -v ft="$(value median_ms "$floor_figures")" -v fm="$(value working_set_kib "$floor_figures")" \
    -v bm="$(value working_set_kib "$bare_figures")" -v zm="$(value working_set_kib "$zopra_figures")" \
    -v size="$(stat -c %s "$exe")" -v runs="$runs" 'BEGIN {
    printf "%-28s %10s %10s %10s %8s %8s\n", "zopra.exe under Wine", "zopra.exe", "floor", "bare", "/floor", "/bare"
    printf "%-28s %10.1f %10.1f %10.1f %8.2f %8.2f\n", "start to window shown (ms)", zt, ft, bt, zt / ft, zt / bt
    printf "%-28s %10d %10d %10d %8.2f %8.2f\n", "working set (KiB)", zm, fm, bm, zm / fm, zm / bm
    printf "zopra.exe: %d bytes (its debug information apart, in zopra.exe.debug); median of %d starts\n", size, runs
}'
