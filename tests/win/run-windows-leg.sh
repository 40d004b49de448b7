#!/usr/bin/env bash
# The Windows leg of `./run test`: cross-build protocol/, link/, platform/win32, form/, cli/
# and the Win32 window (zopra.exe) for 32-bit x86 with the i686 MinGW-w64 compilers (the
# program is 32-bit, so that it can load the maker's 32-bit USBAPI.DLL), then run tests/win
# under 32-bit Wine, with a COM port mapped to the pty of a virtual cutter from the Linux
# build; the window's driver runs zopra.exe against it under Wine's null display driver.
#
# usage: tests/win/run-windows-leg.sh [LINUX_BUILD_DIR [WIN_BUILD_DIR]]
#        (defaults: build and build-win32 in the repository)
#
# The Wine prefix (a 32-bit one) lives in WIN_BUILD_DIR/wineprefix and is made once. Everything started
# here (the virtual cutter, the wineserver and through it every Wine process) is stopped on
# exit, by process id and by this prefix's own server.
set -euo pipefail

root="$(cd "$(dirname "$(readlink -f "$0")")/../.." && pwd)"
linux_build="$(readlink -f "${1:-$root/build}")"
win_build="$(readlink -m "${2:-$root/build-win32}")"
com_port=COM7

echo "windows leg: building in $win_build"
cmake -S "$root" -B "$win_build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-i686.cmake" \
    -DZOPRA_CORE_ONLY=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZOPRA_UNITY_BUILD=OFF >/dev/null
cmake --build "$win_build" -j "$(nproc)"

# Every program and DLL of the leg must be 32-bit x86: a 64-bit test would pass here and
# still say nothing about the program that has to load the maker's DLL.
# (The packages folder holds the setup and the package check's Wine prefix, not our builds.)
mapfile -t binaries < <(find "$win_build" \( -path "$win_build/wineprefix" -o \
    -path "$win_build/CMakeFiles" -o -path "$win_build/packages" \) -prune -o \
    \( -name '*.exe' -o -name '*.dll' \) -type f -print)
if [ "${#binaries[@]}" -eq 0 ]; then
    echo "windows leg: no program was built" >&2
    exit 1
fi
for binary in "${binaries[@]}"; do
    if ! i686-w64-mingw32-objdump -f "$binary" | grep -q 'file format pei-i386'; then
        echo "windows leg: $binary is not a 32-bit x86 program" >&2
        exit 1
    fi
done
echo "windows leg: ${#binaries[@]} programs and DLLs, all 32-bit x86"

cutter="$linux_build/tools/virtual-cutter/virtual-cutter"
if [ ! -x "$cutter" ]; then
    echo "windows leg: no virtual-cutter in $linux_build (build the Linux side first)" >&2
    exit 1
fi

# shellcheck source=tests/win/wine-session.sh
source "$root/tests/win/wine-session.sh"
unset DISPLAY WAYLAND_DISPLAY
logs="$win_build/leg-logs"

cutter_pid=""
server_pid=""
cleanup() {
    local status=$?
    set +e
    # Ends every Wine process of this prefix (they belong to its server), then the server.
    [ -d "${WINEPREFIX:-}" ] && wineserver -k >/dev/null 2>&1
    for pid in $server_pid $cutter_pid; do
        kill "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    done
    exit "$status"
}
trap cleanup EXIT

wine_prefix "$win_build/wineprefix" "$logs"

# start_session NAME [MATERIAL [ARG...]]: a fresh virtual cutter (its log in $logs/NAME.out)
# on the COM port, and the prefix's server started again so that it reads the registry's
# settings.
start_session() {
    local name="$1" material="${2:-90-110,0.250}"
    shift
    (($# > 0)) && shift
    [ -n "$cutter_pid" ] && { kill "$cutter_pid" 2>/dev/null; wait "$cutter_pid" 2>/dev/null || true; }
    [ -n "$server_pid" ] && { wineserver -k >/dev/null 2>&1 || true; wait "$server_pid" 2>/dev/null || true; }
    # The cutter logs every command it receives after its device line; it plots 1 % long in
    # X, so that the window's calibration has something to correct, and its material cuts
    # cleanly only at 90 to 110 g and 0.250 mm (unless told otherwise), so that the test
    # cut's loop has something to tune.
    if ! wine_start_cutter "$logs/$name.out" "$logs/$name.err" "$cutter" \
        --model "Vantor II 24 PZ" --error-x 1.01 --material "$material" --log "$@"; then
        echo "windows leg: the virtual cutter gave no device" >&2
        cat "$logs/$name.err" >&2
        exit 1
    fi
    wine_map_port "$com_port" "$cutter_device" "$logs"
    wine_restart
    wineserver -f -p >"$logs/wineserver.log" 2>&1 </dev/null &
    server_pid=$!
    timeout 120 wine cmd /c exit >>"$logs/wine-start.log" 2>&1 </dev/null
    echo "windows leg: $com_port is $cutter_device"
}

# No display here: Wine's null driver runs windows, controls, messages and timers unseen.
wine_set_display null "$logs"
# Regional settings as a new prefix has them (a leg stopped in the German run left a comma).
wine reg delete 'HKCU\Control Panel\International' /v sDecimal /f >>"$logs/wine-reg.log" 2>&1 </dev/null || true
start_session virtual-cutter

ZOPRA_WIN_COM="$com_port" ZOPRA_WIN_CUTTER_LOG="$logs/virtual-cutter.out" ctest --test-dir "$win_build" --output-on-failure --timeout 300

"$root/tests/win/cli-under-wine.sh" "$win_build/src/cli/zopra-cli.exe" "$com_port"

# The ladders from card at the cutter's default force, to a clean cut in three rounds.
start_session virtual-cutter-card 250-290,0.500 --force 120
ZOPRA_WIN_COM="$com_port" ZOPRA_WIN_CUTTER_LOG="$logs/virtual-cutter-card.out" ZOPRA_WIN_LADDER=1 \
    GTEST_FILTER='WindowDriverTest.LaddersReachACleanCutFromCard' \
    ctest --test-dir "$win_build" --output-on-failure --timeout 300 -R win_window_e2e

# The window once more with German regional settings (decimal comma): it shows "," and sends
# the cutter the same bytes as with ".".
wine reg add 'HKCU\Control Panel\International' /v sDecimal /d , /f >>"$logs/wine-reg.log" 2>&1 </dev/null
start_session virtual-cutter-de
ZOPRA_WIN_COM="$com_port" ZOPRA_WIN_CUTTER_LOG="$logs/virtual-cutter-de.out" ZOPRA_WIN_SEPARATOR="," \
    ctest --test-dir "$win_build" --output-on-failure --timeout 300 -R win_window_e2e
wine reg delete 'HKCU\Control Panel\International' /v sDecimal /f >>"$logs/wine-reg.log" 2>&1 </dev/null
