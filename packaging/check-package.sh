#!/usr/bin/env bash
# Builds the Debian package from a configured build tree, unpacks it into a scratch root
# (never into the machine's own), and checks what it holds: every file in its place and
# valid, dependencies worked out from the binaries, and the installed programs starting.
# Usage: packaging/check-package.sh [build-dir]
set -euo pipefail
build=$(readlink -f "${1:-build}")
failures=0
fail() { echo "package: FAIL: $*" >&2; failures=$((failures + 1)); }
ok() { echo "package: ok: $*"; }

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
arch=$(dpkg --print-architecture)
rm -rf "$build/package"
(cd "$build" && cpack --config CPackConfig.cmake >/dev/null)
deb="$build/package/zopra_${version}-1_${arch}.deb"
[ -f "$deb" ] || { echo "package: FAIL: no $deb (Debian name and version)" >&2; ls "$build/package" >&2; exit 1; }
ok "built $(basename "$deb")"

# Library dependencies came from the binaries, plus Qt's window-system plugins.
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libqt6widgets6 libusb-1.0-0 libc6 qt6-qpa-plugins; do
    [[ "$depends" == *"$lib"* ]] || fail "Depends lacks $lib: $depends"
done
ok "Depends: $depends"
[ "$(dpkg-deb -f "$deb" Version)" = "${version}-1" ] || fail "Version is not ${version}-1"
dpkg-deb -e "$deb" "$build/package/control"
sh -n "$build/package/control/postinst" || fail "postinst does not parse"

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg -x "$deb" "$root"
outside=$(dpkg-deb -c "$deb" | awk '{print $6}' | grep -v '^\./usr/' | grep -v '^\./$' || true)
[ -z "$outside" ] || fail "files outside /usr: $outside"

app=org.zopra.Zopra
files=(
    usr/bin/zopra
    usr/bin/virtual-cutter
    usr/share/applications/$app.desktop
    usr/share/icons/hicolor/scalable/apps/$app.svg
    usr/share/metainfo/$app.metainfo.xml
    usr/share/man/man1/zopra.1.gz
    usr/share/man/man1/virtual-cutter.1.gz
    usr/share/man/man1/zopra-cli.1.gz
    usr/lib/udev/rules.d/70-zopra.rules
    usr/bin/zopra-cli
)
for f in "${files[@]}"; do
    [ -s "$root/$f" ] || fail "missing $f"
done
ok "${#files[@]} files in place"

desktop-file-validate "$root/usr/share/applications/$app.desktop" || fail "desktop entry"
appstreamcli validate --no-net "$root/usr/share/metainfo/$app.metainfo.xml" >/dev/null ||
    fail "AppStream metadata"
xmllint --noout "$root/usr/share/icons/hicolor/scalable/apps/$app.svg" || fail "icon is not XML"
grep -q '<svg' "$root/usr/share/icons/hicolor/scalable/apps/$app.svg" || fail "icon is not SVG"
# The entry starts the installed program and shows the installed icon.
grep -qx "Exec=zopra" "$root/usr/share/applications/$app.desktop" || fail "Exec is not zopra"
grep -qx "Icon=$app" "$root/usr/share/applications/$app.desktop" || fail "Icon is not $app"
for page in "$root"/usr/share/man/man1/*.1.gz; do
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null || echo "man failed")
    [ -z "$warnings" ] || fail "$(basename "$page"): $warnings"
done
rules="$root/usr/lib/udev/rules.d/70-zopra.rules"
for subsystem in usb usbmisc; do
    grep -E "^SUBSYSTEM==\"$subsystem\".*7a3c.*TAG\+=\"uaccess\"" "$rules" >/dev/null ||
        fail "no uaccess rule for vendor 7a3c on subsystem $subsystem"
done
ok "validators passed"

# The installed programs start: without a display, so the window must not be needed.
run() { env -u DISPLAY -u WAYLAND_DISPLAY "$@"; }
run "$root/usr/bin/virtual-cutter" --help | grep -q -- "--link" || fail "virtual-cutter --help"
[ "$(run "$root/usr/bin/zopra" --version)" = "zopra $version" ] || fail "zopra --version"
run "$root/usr/bin/zopra" --help | grep -q -- "--version" || fail "zopra --help"
[ "$(run "$root/usr/bin/zopra-cli" --version)" = "zopra-cli $version" ] || fail "zopra-cli --version"
run "$root/usr/bin/zopra-cli" --help | grep -q "doctor" || fail "zopra-cli --help"
ok "installed programs start"

if ((failures)); then
    echo "package: $failures check(s) failed" >&2
    exit 1
fi
echo "package: $(basename "$deb") passes"
