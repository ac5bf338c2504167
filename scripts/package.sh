#!/usr/bin/env bash
# Builds the Debian package in build-package/ and prints its path. With --check it then checks
# the package (tests/packaging/PackageTest.sh) and, as root, installs it, runs it and removes it
# again, making sure no file is left behind.
set -euo pipefail
cd "$(dirname "$0")/.."

check=false
case "${1:-}" in
    "") ;;
    --check) check=true ;;
    *) echo "usage: scripts/package.sh [--check]" >&2; exit 2 ;;
esac

packages=(cmake ninja-build g++ pkg-config qt6-base-dev dpkg-dev file gzip)
if $check; then
    packages+=(lintian appstream desktop-file-utils man-db curl fonts-liberation systemd)
fi
missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
    sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}" >&2
    "${sudo_cmd[@]}" apt-get update -qq
    "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
fi

# Debian's own compiler and linker flags, so the binary is hardened as lintian expects.
eval "$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --export=sh)"
build=build-package
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
      -DTUNEBARN_BUILD_TESTS=OFF \
      -DCMAKE_CXX_FLAGS="$CPPFLAGS $CXXFLAGS" -DCMAKE_EXE_LINKER_FLAGS="$LDFLAGS" >&2
cmake --build "$build" >&2
(cd "$build" && cpack -G DEB) >&2
deb="$build/$(cd "$build" && ls -t tunebarn-uploader_*.deb | head -n 1)"
echo "$deb"
$check || exit 0

tests/packaging/PackageTest.sh "$deb"

# A round trip that cannot run is said, never passed over: under CI (CI=true) it fails the run,
# since CI relies on it.
skipped() {
    echo "SKIPPED: install round trip: $1" >&2
    [ -z "${TUNEBARN_CHECKS:-}" ] || echo "package install round trip: SKIPPED ($1)" >> "$TUNEBARN_CHECKS"
    if [ "${CI:-}" = true ]; then
        echo "FAIL: CI relies on the install round trip." >&2
        exit 1
    fi
    exit 0
}
[ "$(id -u)" -eq 0 ] || skipped "not root"
if dpkg-query -W -f='${Status}' tunebarn-uploader 2>/dev/null | grep -q "install ok installed"; then
    # A CI machine is a throw-away one: a copy left by an earlier run goes, so the check runs.
    [ "${CI:-}" = true ] || skipped "tunebarn-uploader is installed here already"
    echo "Removing the tunebarn-uploader installed by an earlier run." >&2
    apt-get remove -y -qq tunebarn-uploader >&2
fi
command -v systemd-analyze >/dev/null || skipped "systemd-analyze is missing"
apt-get install -y -qq --no-install-recommends "./$deb" >&2
mapfile -t files < <(dpkg -L tunebarn-uploader | while read -r path; do
    if [ -f "$path" ] || [ -L "$path" ]; then echo "$path"; fi
done)
version=$(tunebarn-uploader --version) || true
runtime=$(mktemp -d)
unit_problems=$(XDG_RUNTIME_DIR=$runtime systemd-analyze verify --user \
                /usr/lib/systemd/user/tunebarn-uploader.service 2>&1) || unit_problems+=" (failed)"
rm -rf "$runtime"
apt-get remove -y -qq tunebarn-uploader >&2

expected="Tunebarn Uploader $(dpkg-deb -f "$deb" Version)"
[ "$version" = "$expected" ] || { echo "FAIL: --version printed '$version'" >&2; exit 1; }
[ -z "$unit_problems" ] || { echo "FAIL: systemd-analyze verify: $unit_problems" >&2; exit 1; }
left=()
for path in "${files[@]}"; do
    if [ -e "$path" ] || [ -L "$path" ]; then left+=("$path"); fi
done
[ ${#left[@]} -eq 0 ] || { echo "FAIL: left after removal: ${left[*]}" >&2; exit 1; }
echo "Install round trip: ${#files[@]} files installed, '$version', all removed."
[ -z "${TUNEBARN_CHECKS:-}" ] || echo "package install round trip: ran (${#files[@]} files)" >> "$TUNEBARN_CHECKS"
