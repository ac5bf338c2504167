#!/usr/bin/env bash
# Builds the program and its benchmarks in Release, without sanitizers, runs every benchmark and
# ends with one PASS or FAIL line per target. Exits non-zero when any target is missed.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

build=build-bench
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTUNEBARN_SANITIZE=OFF \
    -DTUNEBARN_BUILD_BENCH=ON -DTUNEBARN_BUILD_TESTS=ON >/dev/null
cmake --build "$build" -j"$(nproc)" \
    --target tunebarn-bench-config-audit tunebarn-bench-upload tunebarn-bench-startup \
    tunebarn-bench-recording tunebarn-bench-idle

# Uploads go to 127.0.0.1 only: no proxy may take them elsewhere.
unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY ALL_PROXY all_proxy
export NO_PROXY='*' no_proxy='*' LANG=en_GB.UTF-8 LC_ALL=

# Every temporary file of the benchmarks (a 290 MB recording among them) goes below one folder
# that is removed however the run ends.
work=$(mktemp -d /tmp/tunebarn-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT
export TMPDIR="$work"
log="$work/results.log"
status=0
run() {
    local title=$1
    shift
    echo
    echo "== $title =="
    timeout 600 "$@" | tee -a "$log" || status=1
}

run "ReadConfig and WriteLog against naive baselines" "$build/tunebarn-bench-config-audit"
run "200 MiB upload through UploadShow against plain curl" "$build/tunebarn-bench-upload"
run "Start-up against a minimal Qt Widgets window" "$build/tunebarn-bench-startup"
run "A 2-hour 320 kbit/s recording checked against mpg123 -t" "$build/tunebarn-bench-recording"
run "An idle hour with 100 shows, with and without MetricsFile" "$build/tunebarn-bench-idle"

echo
echo "== Summary =="
grep -E '^(PASS|FAIL) ' "$log" || { echo "No target was checked."; status=1; }
exit "$status"
