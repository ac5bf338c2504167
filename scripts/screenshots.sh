#!/bin/sh
# Writes docs/main-window.png and docs/about-window.png from the real windows, drawn offscreen
# so no display is needed. Builds the picture program first when it is missing or stale.
# BUILD_DIR chooses the build folder (default: build-screenshots).
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build-screenshots}

if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release
fi
ninja -C "$build" -j2 tunebarn-screenshots

mkdir -p "$root/docs"
QT_QPA_PLATFORM=offscreen LANG=en_GB.UTF-8 "$build/tunebarn-screenshots" "$root/docs"
echo "wrote $root/docs/main-window.png and $root/docs/about-window.png"
