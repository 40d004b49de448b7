# Wine for the Windows programs, shared by run-windows-leg.sh, `./run windows` and the
# window benchmark: a 32-bit prefix of our own, a COM port mapped to a virtual cutter's pty,
# and the display driver. Source it; every function stops what it started only through the
# prefix's own server or by process id.

# wine_prefix PREFIX LOG_DIR: makes the prefix once and sets up its environment.
wine_prefix() {
    export WINEPREFIX="$1" WINEARCH=win32 WINEDEBUG=-all
    # No Mono or Gecko prompts; no menu entries written into the Linux user's home.
    export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
    local logs="$2"
    mkdir -p "$logs"
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "wine: making the prefix $WINEPREFIX"
        # Wine's first start keeps its output open in background processes: into a file,
        # never through a pipe, or the pipe's reader waits for ever.
        timeout 300 wine cmd /c exit >"$logs/wine-init.log" 2>&1 </dev/null
        wineserver -w
        # Debian's Wine does not put its own fonts into a new prefix; without them the frame
        # buttons and the system font come out wrong.
        local fonts="$WINEPREFIX/drive_c/windows/Fonts"
        mkdir -p "$fonts"
        ln -sf /usr/share/wine/fonts/*.ttf "$fonts/"
        # Without a window manager Wine draws the frames itself, and hiding or closing a
        # window does not wait for a manager that is not there.
        wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f \
            >>"$logs/wine-init.log" 2>&1 </dev/null
    fi
    wineserver -w
}

# wine_set_display DRIVER LOG_DIR: x11, or null to run windows with no display at all.
# wine_map_port PORT DEVICE LOG_DIR: a COM port onto a pty.
# Both are read when the prefix's server starts: call wine_restart after them.
wine_set_display() {
    wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d "$1" /f \
        >>"$2/wine-reg.log" 2>&1 </dev/null
}
wine_map_port() {
    wine reg add 'HKLM\Software\Wine\Ports' /v "$1" /d "$2" /f >>"$3/wine-reg.log" 2>&1 </dev/null
}
wine_restart() {
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w
}

# wine_path LINUX_PATH: the path as Wine's Z: drive shows it.
wine_path() {
    printf 'Z:%s' "$(readlink -m "$1" | tr / '\\')"
}

# wine_start_cutter OUT ERR ARGS...: starts a virtual cutter in the background; sets
# cutter_pid and cutter_device (its pty), or returns 1 when it gave none.
wine_start_cutter() {
    local out="$1" err="$2" cutter="$3"
    shift 3
    "$cutter" "$@" >"$out" 2>"$err" </dev/null &
    cutter_pid=$!
    cutter_device=""
    for _ in $(seq 100); do
        cutter_device="$(head -n 1 "$out" 2>/dev/null || true)"
        [ -n "$cutter_device" ] && break
        kill -0 "$cutter_pid" 2>/dev/null || break
        sleep 0.1
    done
    [ -n "$cutter_device" ] && [ -e "$cutter_device" ]
}
