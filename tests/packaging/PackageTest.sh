#!/usr/bin/env bash
# Checks a built Debian package: every file a user or a software centre looks for is inside, the
# package states what it needs to run, and lintian, appstreamcli and desktop-file-validate accept
# it. Takes the package's path, or builds it with scripts/package.sh.
set -euo pipefail
cd "$(dirname "$0")/../.."
deb=${1:-$(scripts/package.sh)}
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

contents=$(dpkg-deb -c "$deb" | awk '{print $NF}')
expected=(usr/bin/tunebarn-uploader usr/share/man/man1/tunebarn-uploader.1.gz
          usr/share/metainfo/org.tunebarn.uploader.metainfo.xml
          usr/share/applications/tunebarn-uploader.desktop
          usr/share/tunebarn-uploader/tunebarn-uploader-autostart.desktop
          usr/share/icons/hicolor/scalable/apps/tunebarn-uploader.svg
          usr/share/doc/tunebarn-uploader/tunebarn.ini.sample usr/share/doc/tunebarn-uploader/tunebarn-alerts.yml
          usr/share/doc/tunebarn-uploader/copyright usr/lib/systemd/user/tunebarn-uploader.service)
for size in 16 24 32 48 64 128 256; do
    expected+=("usr/share/icons/hicolor/${size}x${size}/apps/tunebarn-uploader.png")
done
for path in "${expected[@]}"; do
    grep -qx "\./$path" <<<"$contents" || fail "missing $path"
done
# Nothing may start by itself: the autostart entry is the user's to copy.
grep -q '^\./etc/' <<<"$contents" && fail "installs into /etc"

depends=$(dpkg-deb -f "$deb" Depends)
for needed in curl ca-certificates fonts-liberation libqt6core6 libqt6gui6 libqt6widgets6 \
    libqt6dbus6 libfontconfig1; do
    grep -qE "(^|, )$needed( |,|$)" <<<"$depends" || fail "Depends lacks $needed: $depends"
done
[ "$(dpkg-deb -f "$deb" Recommends)" = xdg-utils ] || fail "Recommends is not xdg-utils"

tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
dpkg-deb -x "$deb" "$tree"

grep -qx 'ExecStart=/usr/bin/tunebarn-uploader --headless' \
    "$tree/usr/lib/systemd/user/tunebarn-uploader.service" || fail "the unit does not start /usr/bin"
lintian_out=$(lintian "$deb" 2>&1) || true
echo "$lintian_out"
grep -q '^E: ' <<<"$lintian_out" && fail "lintian reports errors"
appstreamcli validate-tree --no-net "$tree" || fail "appstreamcli rejects the metainfo"
for entry in "$tree"/usr/share/applications/*.desktop "$tree"/usr/share/tunebarn-uploader/*.desktop; do
    desktop-file-validate "$entry" || fail "desktop-file-validate rejects ${entry#"$tree"}"
done
man_warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$tree/usr/share/man/man1/tunebarn-uploader.1.gz" 2>&1 >/dev/null)
[ -z "$man_warnings" ] || fail "man page warnings: $man_warnings"

[ "$failures" -eq 0 ] || { echo "Package checks: $failures failed"; exit 1; }
echo "Package checks: all passed"
