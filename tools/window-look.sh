#!/usr/bin/env bash
# zopra.exe under Wine on a virtual X screen (Xvfb), photographed at a font dpi and colour
# scheme: for the eye, where no test can judge (a caption cut by its neighbour, text that
# does not stand out). Each picture shows both pages: the "Setting" page, then "Adjust".
#
# usage: tools/window-look.sh WIN_BUILD_DIR OUT.png [DPI [dark]]
#        DPI: 96 (default), 120, 144 or 192; dark: the high-contrast black scheme
# A new Wine prefix has Wine's visual style ("Light") on, as Windows has its own.
#
# The prefix is a copy of the leg's (WIN_BUILD_DIR/wineprefix) made for this run and removed
# after it, so that the leg's prefix keeps its colours and dpi. Needs Xvfb (xvfb), xwd
# (x11-apps) and xwdtopnm/pnmtopng/pnmcat (netpbm).
set -euo pipefail

root="$(cd "$(dirname "$(readlink -f "$0")")/.." && pwd)"
win_build="$(readlink -f "$1")"
out="$(readlink -m "$2")"
dpi="${3:-96}"
scheme="${4:-}"

# shellcheck source=tests/win/wine-session.sh
source "$root/tests/win/wine-session.sh"
work="$(mktemp -d)"
logs="$work/logs"
mkdir -p "$logs"
wine_prefix "$win_build/wineprefix" "$logs"
cp -a "$win_build/wineprefix" "$work/prefix"
export WINEPREFIX="$work/prefix"

xvfb_pid=""
cleanup() {
    set +e
    wineserver -k >/dev/null 2>&1
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

reg() { wine reg add "$@" /f >>"$logs/reg.log" 2>&1 </dev/null; }
reg 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi"
if [ "$scheme" = dark ]; then
    for element in ButtonFace Window Menu 3DObject; do
        reg 'HKCU\Control Panel\Colors' /v "$element" /d "0 0 0"
    done
    for element in ButtonText WindowText MenuText GrayText; do
        reg 'HKCU\Control Panel\Colors' /v "$element" /d "255 255 255"
    done
fi
wine_set_display x11 "$logs"
wine_restart

# A free display number: the first without a lock file.
display=99
while [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >"$logs/xvfb.log" 2>&1 &
xvfb_pid=$!
export DISPLAY=":$display"
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done

wine "$win_build/src/ui/win32/zopra.exe" >>"$logs/wine.log" 2>&1 </dev/null &
window=""
for _ in $(seq 100); do
    window="$(xdotool search --name '^zopra' 2>/dev/null | head -n 1 || true)"
    [ -n "$window" ] && break
    sleep 0.2
done
if [ -z "$window" ]; then
    echo "window-look: zopra.exe showed no window" >&2
    exit 1
fi
sleep 2
# Wine draws the frame itself (no window manager): the X window is the whole frame, and the
# client area sits at its bottom, one border in from the sides.
eval "$(xdotool getwindowgeometry --shell "$window")"
client_width=$((413 * dpi / 96))
client_height=$((418 * dpi / 96))
border=$(((WIDTH - client_width) / 2))
client_left=$((X + border))
client_top=$((Y + HEIGHT - border - client_height))
shot() {
    xwd -root -silent | xwdtopnm 2>/dev/null |
        pnmcut -left "$X" -top "$Y" -width "$WIDTH" -height "$HEIGHT" >"$1"
}
shot "$work/setting.pnm"
# The "Adjust" tab: the tab row starts at (5, 40) of the client area, after "Setting".
xdotool mousemove $((client_left + 95 * dpi / 96)) $((client_top + 50 * dpi / 96)) click 1
sleep 1
shot "$work/adjust.pnm"
pnmcat -lr -jtop "$work/setting.pnm" "$work/adjust.pnm" | pnmtopng >"$out"
echo "window-look: $out ($dpi dpi${scheme:+, $scheme})"
