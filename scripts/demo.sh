#!/usr/bin/env bash
# The program's main job on a built-in demo: a show due at the next minute is uploaded through
# the real curl to a loopback receiver, which also gets the show's pings to its monitor, and the
# metrics file for Prometheus is written; all in a temporary home that is removed afterwards.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

build=build
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTUNEBARN_BUILD_TESTS=ON >/dev/null
cmake --build "$build" -j"$(nproc)" --target tunebarn-uploader tunebarn-receiver

demo=$(mktemp -d /tmp/tunebarn-demo.XXXXXX)
receiver_pid=""
program_pid=""
cleanup() {
    [ -n "$program_pid" ] && kill -TERM "$program_pid" 2>/dev/null || true
    [ -n "$receiver_pid" ] && kill -TERM "$receiver_pid" 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$demo"
}
trap cleanup EXIT

# A home of its own, so the real one is never touched.
export HOME="$demo/home" XDG_CONFIG_HOME="$demo/home/.config" XDG_DATA_HOME="$demo/home/.local/share"
export XDG_RUNTIME_DIR="$demo/run" LocalAppData="$demo/local" LANG=en_GB.UTF-8 LC_ALL=
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$LocalAppData" "$demo/shows" "$demo/config" \
         "$demo/metrics"
chmod 700 "$demo/run" 2>/dev/null || mkdir -m 700 "$demo/run"
unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY ALL_PROXY all_proxy

# Not --once: the show's pings come to the same receiver, before and after its upload.
"$build/tunebarn-receiver" >"$demo/received.jsonl" &
receiver_pid=$!
for _ in $(seq 50); do
    grep -q '^LISTENING' "$demo/received.jsonl" 2>/dev/null && break
    sleep 0.1
done
port=$(sed -n 's/^LISTENING //p' "$demo/received.jsonl")
[ -n "$port" ] || { echo "The demo receiver did not start." >&2; exit 1; }

# A small recording and picture, and a show due at the start of the next minute (or the one
# after, when this one is nearly over and the program might not be up in time).
sox -q -n -r 44100 -c 2 -t wav - synth 20 sine 440 2>/dev/null | lame --quiet -b 128 - "$demo/shows/breakfast.mp3"
cp resources/icons/tunebarn-68.png "$demo/shows/breakfast.png"
lead=1
[ "$(date +%S)" -ge 50 ] && lead=2
due_time=$(date -d "+$lead minute" +%H:%M)
due_day=$(LC_ALL=C date +%a)
printf '[Settings]\nCFG Folder=%s\n' "$demo/config" >"$XDG_CONFIG_HOME/Rulmo Playout System.ini"
cat >"$demo/config/tunebarn.ini" <<INI
[General]
UploadURL=http://127.0.0.1:$port/upload?token=demo-token
PingURL=http://127.0.0.1:$port/ping/demo-check
MetricsFile=$demo/metrics/tunebarn.prom

[Show1]
Filename=$demo/shows/breakfast.mp3
Title=Breakfast Show - %date%
Description=Your requests and dedications.
UploadDay=$due_day
UploadTime=$due_time
Picture=$demo/shows/breakfast.png
INI

if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    export QT_QPA_PLATFORM=offscreen
    echo "No display: the window runs offscreen."
fi
echo "Show 1 is due at $due_time; waiting for the upload (up to two minutes)..."
"$build/tunebarn-uploader" &
program_pid=$!

audit_file="$LocalAppData/TunebarnUploader/Tunebarn$(date +%d%m%y)Adt.txt"
for _ in $(seq 1500); do
    grep -q 'UploadShow| Uploading: Finished Upload.' "$audit_file" 2>/dev/null && break
    kill -0 "$program_pid" 2>/dev/null || break
    sleep 0.1
done
# The success ping follows the upload, without the upload waiting for it.
for _ in $(seq 50); do
    grep -q '"path":"/ping/demo-check"' "$demo/received.jsonl" && break
    sleep 0.1
done
kill -TERM "$program_pid"
wait "$program_pid" || true
program_pid=""

echo
echo "== What the receiver got =="
grep -v '^LISTENING' "$demo/received.jsonl" || echo "(nothing)"
echo
echo "== The metrics file, as node_exporter's textfile collector would serve it =="
cat "$demo/metrics/tunebarn.prom" || echo "(not written)"
echo
echo "== The day's audit block =="
cat "$audit_file"
grep -q 'UploadShow| HTTP status: 200' "$audit_file"
