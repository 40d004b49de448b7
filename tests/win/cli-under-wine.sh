#!/usr/bin/env bash
# zopra-cli.exe end to end under Wine, called by run-windows-leg.sh once the COM port is
# mapped to a virtual cutter's pty and the persistent wineserver runs: `list` shows the port
# from the registry, `read --json` shows the cutter's values, `set` then `read` shows the
# change. This runs the whole Windows stack: registry, Win32 serial, receive thread,
# dispatcher, parser.
#
# usage: tests/win/cli-under-wine.sh ZOPRA_CLI_EXE COM_PORT
set -euo pipefail

cli="$1"
port="$2"
failures=0

# Each run is bounded; Windows line ends are dropped.
run() {
    timeout 120 wine "$cli" "$@" </dev/null 2>"$errors" | tr -d '\r'
    return "${PIPESTATUS[0]}"
}
check() {
    local what="$1" text="$2" pattern="$3"
    if grep -qE -- "$pattern" <<<"$text"; then
        echo "cli under wine: ok: $what"
    else
        echo "cli under wine: FAILED: $what: no match for '$pattern' in:" >&2
        echo "$text" >&2
        cat "$errors" >&2
        failures=$((failures + 1))
    fi
}

errors="$(mktemp)"
trap 'rm -f "$errors"' EXIT

list="$(run list)" || true
check "list shows $port" "$list" "^[0-9]+  $port\$"

read_before="$(run read "$port" --json)" || true
check "read --json shows the model" "$read_before" '"model": "Vantor II 24 PZ"'
check "read --json shows the force" "$read_before" '"blade_force_g": [0-9]+,'

set_out="$(run set "$port" force=150 weight=heavy offset=0.5)" || true
check "set reads back the new force" "$set_out" '^Blade force +150 g$'

read_after="$(run read "$port" --json)" || true
check "read shows the new force" "$read_after" '"blade_force_g": 150,'
check "read shows the new weight" "$read_after" '"weight": "heavy",'
check "read shows the new offset" "$read_after" '"blade_offset_um": 500,'

if [ "$failures" -ne 0 ]; then
    echo "cli under wine: $failures checks failed" >&2
    exit 1
fi
