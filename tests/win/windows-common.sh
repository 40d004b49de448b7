# The Windows build and its Wine set-up, shared by the Windows leg (run-windows-leg.sh),
# the Windows package check (packaging/windows/check-windows-packages.sh) and
# `./run package`; sourced, never run. Each function stops the calling script (set -e)
# when its step fails.

# windows_build ROOT WIN_BUILD: configures and builds the 32-bit Windows tree.
windows_build() {
    cmake -S "$1" -B "$2" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$1/cmake/mingw-w64-i686.cmake" \
        -DZOPRA_CORE_ONLY=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build "$2" -j "$(nproc)"
}

# wine_use_prefix PREFIX: every later Wine call of this shell runs in PREFIX, a 32-bit one,
# without a display, without the Mono and Gecko prompts of a fresh prefix, and without
# winemenubuilder, which would copy Start-menu shortcuts into the Linux user's menu.
wine_use_prefix() {
    export WINEPREFIX="$1"
    export WINEARCH=win32
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
    unset DISPLAY WAYLAND_DISPLAY
}

# wine_make_prefix LOG: makes the prefix unless it exists, then waits for its server to end.
# Wine's first start keeps its output open in background processes: it goes into a file,
# never through a pipe, or the pipe's reader waits for ever.
wine_make_prefix() {
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "wine: making the prefix $WINEPREFIX"
        timeout 300 wine cmd /c exit >"$1" 2>&1 </dev/null
    fi
    timeout 120 wineserver -w
}

# start_virtual_cutter CUTTER LOGDIR: starts a virtual cutter on a pty and sets cutter_pid
# and cutter_pty. The caller stops it (kill "$cutter_pid") in its exit trap.
start_virtual_cutter() {
    "$1" --model "Vantor II 24 PZ" >"$2/virtual-cutter.out" 2>"$2/virtual-cutter.err" \
        </dev/null &
    cutter_pid=$!
    cutter_pty=""
    for _ in $(seq 100); do
        cutter_pty="$(head -n 1 "$2/virtual-cutter.out" 2>/dev/null || true)"
        [ -n "$cutter_pty" ] && break
        kill -0 "$cutter_pid" 2>/dev/null || break
        sleep 0.1
    done
    if [ -z "$cutter_pty" ] || [ ! -e "$cutter_pty" ]; then
        echo "wine: the virtual cutter gave no device" >&2
        cat "$2/virtual-cutter.err" >&2
        return 1
    fi
}

# wine_map_port COM PTY LOG: maps the COM port to the pty. Wine's mount manager reads the
# mappings when the prefix's server starts, so this one is ended and waited for; the next
# Wine call starts a server that has the port.
wine_map_port() {
    wine reg add 'HKLM\Software\Wine\Ports' /v "$1" /d "$2" /f >"$3" 2>&1 </dev/null
    wineserver -k >/dev/null 2>&1 || true
    timeout 120 wineserver -w
}
