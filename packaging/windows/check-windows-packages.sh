#!/usr/bin/env bash
# The Windows package leg of `./run test`: makes the setup and the portable zip from the
# 32-bit build, checks their signatures, then in a fresh 32-bit Wine prefix of its own
# installs the setup silently, runs the installed programs (zopra-cli.exe against a virtual
# cutter on COM7), uninstalls silently and checks that nothing of the program is left;
# last, the zip unpacked into a folder of its own must run too.
#
# usage: packaging/windows/check-windows-packages.sh [LINUX_BUILD_DIR [WIN_BUILD_DIR]]
#        (defaults: build and build-win32; the Windows tree must be built, as the Windows
#        leg leaves it)
set -euo pipefail

root="$(cd "$(dirname "$(readlink -f "$0")")/../.." && pwd)"
linux_build="$(readlink -f "${1:-$root/build}")"
win_build="$(readlink -f "${2:-$root/build-win32}")"
com_port=COM7
# shellcheck source=tests/win/wine-session.sh
source "$root/tests/win/wine-session.sh"

failures=0
fail() { echo "windows packages: FAIL: $*" >&2; failures=$((failures + 1)); }
ok() { echo "windows packages: ok: $*"; }
die() { echo "windows packages: FAIL: $*" >&2; exit 1; }

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$win_build/CMakeCache.txt")
[ -n "$version" ] || die "no configured Windows build in $win_build"
sign="$win_build/packaging/windows/signing/sign.sh"
cutter="$linux_build/tools/virtual-cutter/virtual-cutter"
[ -x "$cutter" ] || die "no virtual-cutter in $linux_build (build the Linux side first)"
# What the build packs: zopra-cli.exe, and zopra.exe once the Windows build makes the window.
[ -f "$win_build/packaging/windows/programs.txt" ] || die "$win_build does not make the packages"
read -ra programs <"$win_build/packaging/windows/programs.txt"

packages="$win_build/packages"
work="$packages/check"
setup="$packages/zopra-$version-win32-setup.exe"
zip="$packages/zopra-$version-win32.zip"

# A prefix of the check's own, made afresh each time: only its server is ever ended.
cutter_pid=""
cleanup() {
    local status=$?
    set +e
    [ -d "${WINEPREFIX:-}" ] && wineserver -k >/dev/null 2>&1
    if [ -n "$cutter_pid" ]; then
        kill "$cutter_pid" 2>/dev/null
        wait "$cutter_pid" 2>/dev/null
    fi
    exit "$status"
}
trap cleanup EXIT
unset DISPLAY WAYLAND_DISPLAY
if [ -d "$work/wineprefix" ]; then
    WINEPREFIX="$work/wineprefix" wineserver -k >/dev/null 2>&1 || true
fi
rm -rf "$setup" "$zip" "$work"
mkdir -p "$work"

# --- the artefacts ------------------------------------------------------------------------
(cd "$win_build" && cpack --config CPackConfig.cmake >"$work/cpack.log" 2>&1) ||
    { cat "$work/cpack.log" >&2; die "cpack failed"; }
[ -f "$setup" ] || die "no $(basename "$setup")"
[ -f "$zip" ] || die "no $(basename "$zip")"
ok "built $(basename "$setup") and $(basename "$zip")"
if "$sign" --verify "$setup"; then ok "the setup's signature verifies"; else fail "setup signature"; fi

# The zip holds one folder: the programs, README.md and docs/, and no DLL (USBAPI.DLL is
# the user's to add).
portable="$work/portable copy"
mkdir -p "$portable"
(cd "$portable" && cmake -E tar xf "$zip")
unpacked="$portable/zopra-$version-win32"
for file in "${programs[@]}" README.md docs/USB.md; do
    [ -s "$unpacked/$file" ] || fail "the zip lacks $file"
done
[ -z "$(find "$portable" -iname '*.dll')" ] || fail "the zip holds a DLL"
for program in "${programs[@]}"; do
    "$sign" --verify "$unpacked/$program" || fail "signature of $program in the zip"
done
ok "the zip holds ${programs[*]}, README.md and docs/, signed"

# --- install, silently, in a fresh prefix -------------------------------------------------
wine_prefix "$work/wineprefix" "$work"
wine_start_cutter "$work/virtual-cutter.out" "$work/virtual-cutter.err" "$cutter" \
    --model "Vantor II 24 PZ" || die "the virtual cutter gave no device"
# No display: Wine's null driver runs the programs unseen.
wine_set_display null "$work"
wine_map_port "$com_port" "$cutter_device" "$work"
wine_restart
# The prefix's server is not persistent, so that `wineserver -w` returns once the setup,
# and everything it started, has ended.
timeout 300 wine "$setup" /S >"$work/setup.log" 2>&1 </dev/null || die "the setup failed"
timeout 120 wineserver -w

installed="$WINEPREFIX/drive_c/Program Files/zopra"
start_menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/zopra"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\zopra'

version_of() { timeout 120 wine "$1" --version </dev/null 2>/dev/null | tr -d '\r'; }
for program in "${programs[@]}"; do
    [ -f "$installed/$program" ] || { fail "not installed: $program"; continue; }
    "$sign" --verify "$installed/$program" || fail "signature of the installed $program"
    answer=$(version_of "$installed/$program")
    [ "$answer" = "${program%.exe} $version" ] || fail "$program --version said '$answer'"
done
for file in README.md docs/USB.md; do
    [ -s "$installed/$file" ] || fail "not installed: $file"
done
[ -z "$(find "$installed" -iname '*.dll')" ] || fail "the setup installed a DLL"
"$sign" --verify "$installed/Uninstall.exe" || fail "the uninstaller is not signed"
ok "installed and signed in C:\\Program Files\\zopra: ${programs[*]}"

[ -f "$start_menu/Uninstall.lnk" ] || fail "no Start-menu entry for the uninstaller"
if [[ " ${programs[*]} " == *" zopra.exe "* ]]; then
    grep -qaF 'C:\Program Files\zopra\zopra.exe' "$start_menu/zopra.lnk" ||
        fail "no Start-menu shortcut to the installed zopra.exe"
fi
ok "Start menu: $(cd "$start_menu" 2>/dev/null && echo *)"

entry=$(timeout 120 wine reg query "$uninstall_key" </dev/null 2>/dev/null | tr -d '\r') || true
value() { awk -v name="$1" '$1 == name { $1 = ""; $2 = ""; sub(/^ +/, ""); print }' <<<"$entry"; }
[ "$(value DisplayName)" = zopra ] || fail "Apps & features name: '$(value DisplayName)'"
[ "$(value DisplayVersion)" = "$version" ] || fail "Apps & features version: '$(value DisplayVersion)'"
[ -n "$(value Publisher)" ] || fail "Apps & features has no publisher"
size=$(value EstimatedSize)
if [[ "$size" =~ ^0x[0-9a-f]*[1-9a-f][0-9a-f]*$ ]]; then
    size=$((size))
else
    fail "Apps & features size: '$size'"
fi
[[ "$(value UninstallString)" == *'\zopra\Uninstall.exe"' ]] ||
    fail "uninstall command: '$(value UninstallString)'"
ok "Apps & features: $(value DisplayName) $(value DisplayVersion), $(value Publisher), $size KiB"

"$root/tests/win/cli-under-wine.sh" "$installed/zopra-cli.exe" "$com_port" ||
    fail "the installed zopra-cli.exe on $com_port"

# --- uninstall, silently ------------------------------------------------------------------
# The uninstaller copies itself to a temporary folder, starts the copy and returns at once:
# the server ends only when that copy has.
timeout 120 wine "$installed/Uninstall.exe" /S >"$work/uninstall.log" 2>&1 </dev/null ||
    fail "the uninstaller failed"
timeout 300 wineserver -w
# The user's own folder (%APPDATA%\zopra: the journal of writes, presets, the last port) is
# the user's data, not the setup's, and stays; the installed set-up leaves nothing else.
user_folder=$(find "$WINEPREFIX/drive_c/users" -path '*/AppData/Roaming/zopra' -prune 2>/dev/null)
[ -n "$user_folder" ] && [ -s "$user_folder/journal.jsonl" ] || fail "the installed zopra-cli.exe kept no journal of its writes"
left=$(find "$WINEPREFIX/drive_c" -path '*/AppData/Roaming/zopra' -prune -o -iname '*zopra*' -print 2>/dev/null)
[ -z "$left" ] || fail "files left after uninstalling: $left"
left=$(grep -il zopra "$WINEPREFIX"/*.reg || true)
[ -z "$left" ] || fail "registry keys left after uninstalling: $(grep -ih zopra "$WINEPREFIX"/*.reg)"
ok "uninstalled: no file, shortcut or registry key left but the user's own folder"

# --- the portable copy runs from its own folder -------------------------------------------
for program in "${programs[@]}"; do
    answer=$(cd "$work" && version_of "$unpacked/$program")
    [ "$answer" = "${program%.exe} $version" ] || fail "$program from the zip said '$answer'"
done
ok "the portable copy answers --version with $version"

if ((failures)); then
    echo "windows packages: $failures check(s) failed" >&2
    exit 1
fi
echo "windows packages: setup and zip of $version pass"
