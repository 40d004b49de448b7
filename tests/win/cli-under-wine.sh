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

# The manifest: asInvoker (no VirtualStore for what it writes), and the Windows versions.
manifest="$(grep -a -o -E 'requestedExecutionLevel level="[a-zA-Z]+"|supportedOS Id="\{8e0f7a12[^"]*"' "$cli" || true)"
check "the manifest asks for the user's own rights" "$manifest" 'level="asInvoker"'
check "the manifest names Windows 10 and 11" "$manifest" 'supportedOS Id="\{8e0f7a12'

# A file name outside the ANSI code page is taken whole from the wide command line and
# written and read through the wide calls. Relative, in a scratch folder, so that no Linux
# path has to be translated.
scratch="$(mktemp -d)"
trap 'rm -f "$errors"; rm -rf "$scratch"' EXIT
name="zopra-λ-ж-日.json"
(cd "$scratch" && LC_ALL=C.UTF-8 timeout 120 wine "$cli" backup "$port" "$name" </dev/null \
    >/dev/null 2>"$errors") || true
check "backup writes a file by its UTF-8 name" "$(ls "$scratch")" "^$name\$"
restore="$(cd "$scratch" && LC_ALL=C.UTF-8 timeout 120 wine "$cli" restore "$port" "$name" \
    --dry-run </dev/null 2>"$errors" | tr -d '\r')" || true
check "restore --dry-run reads it back" "$restore" '^ESC\.'

# The report for support: the Windows doctor's findings, the cutter read on the COM port and
# the traffic of that read, ESC written out.
(cd "$scratch" && timeout 120 wine "$cli" report report.txt "$port" </dev/null >/dev/null \
    2>"$errors") || true
report="$(tr -d '\r' <"$scratch/report.txt" 2>/dev/null)" || true
check "report names the system" "$report" '^System: Windows [0-9]'
check "report has the doctor's COM ports" "$report" '^  Serial ports \(from the registry\):$'
check "report has the cutter read" "$report" '^  Model: Vantor II 24 PZ$'
check "report has the read's traffic" "$report" "to cutter +serial +ESC\\.R4:$"

if [ "$failures" -ne 0 ]; then
    echo "cli under wine: $failures checks failed" >&2
    exit 1
fi
