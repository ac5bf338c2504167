#!/usr/bin/env bash
# The Windows build under Wine, without a display: what only whole processes show. The program
# folder and the installer as a user gets them, the registry setting, an upload through the
# bundled curl.exe, the ways Windows asks a program to stop, the one-copy guard after a kill, the
# recordings read by the Windows build's libmpg123 and the metrics file as the scheduler writes it.
# The test programs, which scripts/windows.sh --tests runs under Wine, cover the rest.
#   smoke.sh BUILD_FOLDER PROGRAM_FOLDER SETUP_EXE        (scripts/windows.sh --smoke runs it)
set -uo pipefail
build=$1
program_folder=$2
setup=$3
here=$(cd "$(dirname "$0")" && pwd)

export WINEPREFIX=$build/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=C.UTF-8 TZ=UTC
unset DISPLAY WAYLAND_DISPLAY
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
work=$build/smoke
passed=0
failed=0

check() { # check WHAT COMMAND...: one line per check, a summary at the end
    local what=$1
    shift
    if "$@"; then
        passed=$((passed + 1))
        echo "ok   $what"
    else
        failed=$((failed + 1))
        echo "FAIL $what"
    fi
}
contains() { grep -qF -- "$2" "$1"; }
lacks() { ! grep -qF -- "$2" "$1"; }
# Processes of this prefix whose command line holds NAME (Wine's tasklist is a stub).
windows_pids() {
    local pid
    for pid in $(pgrep -f -- "$1"); do
        { tr '\0' '\n' < "/proc/$pid/environ"; } 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" && echo "$pid"
    done
}
wait_until() { # wait_until SECONDS COMMAND...
    local deadline=$((SECONDS + $1))
    shift
    until "$@"; do
        [ $SECONDS -ge $deadline ] && return 1
        sleep 0.2
    done
}
reg_has() { "$wine" reg query "$@" >/dev/null 2>&1; }
reg_lacks() { ! reg_has "$@"; }
reg_add() { "$wine" reg add "$settings_key" /v 'CFG Folder' /d "$1" /f >/dev/null; }
finish() {
    [ -n "${receiver_pid:-}" ] && kill "$receiver_pid" 2>/dev/null
    "$wineserver" -k 2>/dev/null
}
trap finish EXIT

rm -rf "$WINEPREFIX" "$work"
mkdir -p "$work/received"
# Made before the prefix, so that its creation, change and modification times differ.
recording=$work/show.mp3
head -c 300000 /dev/urandom > "$recording"
echo "Making a Wine prefix in $WINEPREFIX"
"$wine" wineboot --init >/dev/null 2>&1
# Wine's null display driver: windows exist, hidden ones included, and nothing is drawn.
"$wine" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null
"$wineserver" -w
user=$(ls "$WINEPREFIX/drive_c/users" | grep -vx Public | head -1)
profile=$WINEPREFIX/drive_c/users/$user
audit_folder=$profile/AppData/Local/TunebarnUploader
profile_root_before=$(ls -A "$profile")
settings_key='HKCU\Software\VB and VBA Program Settings\Rulmo Playout System\Settings'
station=$WINEPREFIX/drive_c/station

# --- The program folder as shipped.
"$wine" "$program_folder/tunebarn-uploader.exe" --version > "$work/version.out" 2>&1
check "--version from the program folder" contains "$work/version.out" "Tunebarn Uploader 1.0.46"
"$wine" "$program_folder/tunebarn-uploader.com" --version > "$work/version-com.out" 2>&1
check "--version from its command-line twin" contains "$work/version-com.out" "Tunebarn Uploader 1.0.46"

# The runs below use a copy, so that the folder the zip and the installer were made of stays as
# shipped. Wine's null display driver gives them real windows and boxes that nobody sees.
app=$work/app
cp -r "$program_folder" "$app"
exe=$app/tunebarn-uploader.exe

# --- Where the configuration is found.
python3 "$here/receiver.py" "$work/received" &
receiver_pid=$!
wait_until 10 test -s "$work/received/port" || echo "the receiver did not start"
port=$(cat "$work/received/port")
mkdir -p "$station"
printf '[General]\r\nUploadURL=http://127.0.0.1:%s/upload\r\n[Show1]\r\nFilename=C:\\station\\show one.mp3\r\nTitle=Smoke Show\r\nUploadDay=Sun\r\nUploadTime=09:00\r\n' \
    "$port" > "$station/tunebarn.ini"
touch -d '2020-01-02 03:04:05' "$recording"
mv "$recording" "$station/show one.mp3"

reg_add 'C:\station'
"$wine" "$exe" --check > "$work/check.out" 2>&1
check "--check reads the folder named in the registry" contains "$work/check.out" 'C:\station\tunebarn.ini'
check "--check sees the recording in the registry's folder" lacks "$work/check.out" "does not exist"
reg_add 'C:\station\'
"$wine" "$exe" --check > "$work/check-slash.out" 2>&1
check "a value ending in a backslash gets no second one" contains "$work/check-slash.out" 'Configuration:  C:\station\tunebarn.ini'
reg_add ''
"$wine" "$exe" --check > "$work/check-empty.out" 2>&1
check "an empty value falls back to the data folder" contains "$work/check-empty.out" "C:\\users\\$user\\AppData\\Local\\TunebarnUploader\\tunebarn.ini"
"$wine" reg delete 'HKCU\Software\VB and VBA Program Settings\Rulmo Playout System' /f >/dev/null
"$wine" "$exe" --check > "$work/check-missing.out" 2>&1
check "a missing key falls back to the data folder" contains "$work/check-missing.out" "C:\\users\\$user\\AppData\\Local\\TunebarnUploader\\tunebarn.ini"
reg_add 'C:\station'

# --- An upload through the bundled curl.exe.
"$wine" "$exe" --upload 'C:\station\show one.mp3' --title 'Smoke Test' --description 'From Wine' > "$work/upload.out" 2>&1
check "--upload succeeds" contains "$work/upload.out" "Uploaded 'C:\\station\\show one.mp3' as 'Smoke Test'."
check "the receiver got it" test -f "$work/received/request-1"

# --- A service whose certificate the station's own authority signed, named by CACertificates.
# curl.exe matches such a certificate by host name only. Wine's own store takes any chain, so the
# refusal shows only with an authority that did not sign it.
tls=$work/tls
mkdir -p "$tls" "$work/received-tls"
key='-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes'
(cd "$tls" && echo subjectAltName=DNS:localhost > san &&
    openssl req -x509 $key -keyout ca.key -out ca.pem -subj /CN=CA &&
    openssl req -x509 $key -keyout other.key -out other.pem -subj /CN=Other &&
    openssl req $key -keyout key -out csr -subj /CN=localhost &&
    openssl x509 -req -in csr -CA ca.pem -CAkey ca.key -out cert -extfile san) 2>/dev/null
python3 "$here/receiver.py" "$work/received-tls" "$tls/cert" "$tls/key" &
tls_pid=$!
wait_until 10 test -s "$work/received-tls/port" || echo "the TLS receiver did not start"
cp "$station/tunebarn.ini" "$work/tunebarn.ini.plain"
for ca in ca other; do
    printf '[General]\r\nUploadURL=https://localhost:%s/upload\r\nCACertificates=Z:%s\r\n' \
        "$(cat "$work/received-tls/port")" "$(echo "$tls/$ca.pem" | tr / '\\')" > "$station/tunebarn.ini"
    "$wine" "$exe" --upload 'C:\station\show one.mp3' --title "By $ca" > "$work/upload-$ca.out" 2>&1
done
check "CACertificates names the authority that signed the service's certificate" \
    contains "$work/upload-ca.out" "as 'By ca'."
check "and another authority is refused" \
    contains "$work/upload-other.out" "the service's certificate could not be verified"
kill "$tls_pid"
mv "$work/tunebarn.ini.plain" "$station/tunebarn.ini"
audit=$(ls "$audit_folder"/Tunebarn*Adt.txt 2>/dev/null | head -1)
check "the audit file is in %LocalAppData%\\TunebarnUploader" test -f "$audit"
# Wine 8.0 gives a file's modification time as its creation time (NTFS keeps the real one);
# anything else, an invalid or a change time, is a fault of the program's.
as_windows_date() { date -u -d "@$1" '+%-m/%-d/%Y %-I:%M:%S %p'; }
created=$(as_windows_date "$(stat -c %W "$station/show one.mp3")")
modified=$(as_windows_date "$(stat -c %Y "$station/show one.mp3")")
check "Date Created is the recording's creation time (under Wine: its modification time)" \
    grep -qE "Date Created: ($created|$modified)" "$audit"
contains "$audit" "Date Created: $created" || echo "note Wine reports $modified, the modification time, as the creation time"

# --- Beyond the ANSI code page: tunebarn.ini in UTF-8 without a byte-order mark (Notepad's) or in
# code page 1252, a recording named outside it, and console lines, UTF-8 when they go to a file.
unicode=$station/unicode
mkdir -p "$unicode"
cp "$station/show one.mp3" "$unicode/日本 Café.mp3"
printf '[General]\r\nUploadURL=http://127.0.0.1:%s/upload\r\n[Show1]\r\nFilename=C:\\station\\unicode\\日本 Café.mp3\r\nTitle=Morgen – Café\r\nUploadDay=Sun\r\nUploadTime=09:00\r\n' \
    "$port" > "$unicode/tunebarn.ini"
reg_add 'C:\station\unicode'
"$wine" "$exe" --check > "$work/check-utf8.out" 2>&1
check "--check reads UTF-8 without a byte-order mark as UTF-8" contains "$work/check-utf8.out" 'Encoding:       UTF-8'
check "and finds a recording named outside the code page" lacks "$work/check-utf8.out" "does not exist"
check "its table is UTF-8" contains "$work/check-utf8.out" 'Morgen – Café'
printf '[General]\r\nUploadURL=http://127.0.0.1:%s/upload\r\n[Show1]\r\nFilename=C:\\station\\show one.mp3\r\nTitle=Morgen \x96 Caf\xe9\r\nUploadDay=Sun\r\nUploadTime=09:00\r\n' \
    "$port" > "$unicode/tunebarn.ini"
"$wine" "$exe" --check > "$work/check-ansi.out" 2>&1
check "--check reads what is not UTF-8 in the ANSI code page" contains "$work/check-ansi.out" 'Encoding:       ANSI code page 1252 (not valid UTF-8)'
check "and writes it as UTF-8" contains "$work/check-ansi.out" 'Morgen – Café'
reg_add 'C:\station'
"$wine" "$exe" --upload 'C:\station\unicode\日本 Café.mp3' --title 'Café Größe – 日本 ♪' > "$work/upload-unicode.out" 2>&1
check "--upload sends a recording and a title beyond the code page and says so in UTF-8" \
    contains "$work/upload-unicode.out" "Uploaded 'C:\\station\\unicode\\日本 Café.mp3' as 'Café Größe – 日本 ♪'."
"$wine" "$exe" --upload 'C:\station\unicode\none ♪.mp3' --title 'x' > "$work/upload-missing.out" 2>&1
check "and its error lines too" contains "$work/upload-missing.out" "tunebarn-uploader: no such file: C:\\station\\unicode\\none ♪.mp3"
# --- Asked to close, the program stops curl at once; killed, it takes curl with it.
sed -i "s|/upload|/stall|" "$station/tunebarn.ini"
stalled() { [ "$(ls "$work/received" | grep -c '^stalled-')" -ge "$1" ]; }
no_curl() { [ -z "$(windows_pids 'curl.exe')" ]; }
ended() { ! kill -0 "$1" 2>/dev/null; }
"$wine" "$exe" --upload 'C:\station\show one.mp3' --title 'Stopped' > "$work/stop.out" 2>&1 &
uploader=$!
check "curl.exe reaches a receiver that never answers" wait_until 30 stalled 1
"$wine" taskkill /IM tunebarn-uploader.exe >/dev/null 2>&1
# Well before the five seconds after which curl would be killed instead.
check "taskkill without /F ends the upload at once" wait_until 3 ended "$uploader"
wait "$uploader"
check "as a failure" test $? = 1
check "curl was stopped as Ctrl+Break stops it" contains "$audit" "Shell32Bit| Command exit value: -1073741510"
"$wine" "$exe" --upload 'C:\station\show one.mp3' --title 'Stalled' > "$work/stall.out" 2>&1 &
uploader=$!
wait_until 30 stalled 2
check "curl.exe runs while the upload waits" test -n "$(windows_pids 'curl.exe')"
kill -KILL "$uploader"
wait "$uploader" 2>/dev/null
check "curl.exe ends with the killed program" wait_until 10 no_curl
sed -i "s|/stall|/upload|" "$station/tunebarn.ini"

# --- One scheduler per data folder; a killed one never blocks the next start.
started() { [ "$(grep -c 'Application Started' "$audit" 2>/dev/null)" -ge "$1" ]; }
"$wine" "$exe" --headless 2> "$work/headless-1.err" &
scheduler=$!
check "--headless starts" wait_until 30 started 1
"$wine" "$exe" --headless > "$work/second.out" 2>&1
check "a second --headless ends with status 1" test $? = 1
check "a second --headless says so" contains "$work/second.out" "Tunebarn Uploader is already running."
"$wine" taskkill /IM tunebarn-uploader.exe >/dev/null 2>&1
check "taskkill without /F closes --headless" wait_until 10 ended "$scheduler"
check "the orderly way, with the closing lines" contains "$audit" "Form_Unload| Application Closing."
"$wine" "$exe" --headless 2> "$work/headless-2.err" &
scheduler=$!
check "--headless starts again" wait_until 30 started 2
"$wine" taskkill /F /IM tunebarn-uploader.exe >/dev/null 2>&1
check "taskkill /F ends it" wait_until 10 ended "$scheduler"
"$wine" "$exe" --headless 2> "$work/headless-3.err" &
scheduler=$!
check "after taskkill /F --headless starts" wait_until 30 started 3
check "and keeps running" kill -0 "$scheduler"
"$wineserver" -k
"$wine" "$exe" --headless 2> "$work/headless-4.err" &
check "after wineserver -k --headless starts" wait_until 30 started 4
"$wineserver" -k

# --- Ctrl+C, which Wine hands to a console program for SIGINT, and the end of the session.
closed() { [ "$(grep -c 'Application Closing' "$audit")" -ge "$1" ]; }
closings=$(grep -c 'Application Closing' "$audit")
"$wine" "$app/tunebarn-uploader.com" --headless 2>/dev/null &
wait_until 30 started 5 && kill -INT $!
check "Ctrl+C closes the console twin's --headless the orderly way" wait_until 10 closed $((closings + 1))
"$wine" "$exe" 2>/dev/null &
wait_until 30 started 6 && "$wine" wineboot --end-session
check "the end of the session closes the window the orderly way" wait_until 10 closed $((closings + 2))
"$wineserver" -k
# A box nobody answers leaves no trace outside, so the start gets a few seconds to reach it.
reg_add 'C:\nowhere'
"$wine" "$exe" 2>/dev/null &
sleep 5 && "$wine" wineboot --end-session
check "the end of the session during a box writes the held lines and the closing ones" \
    wait_until 10 closed $((closings + 3))
"$wineserver" -k
reg_add 'C:\station'

# --- The installer, per user and for all users: install, run, uninstall every file.
installed_files() { (cd "$1" && find . -type f | sort); }
expected=$( (installed_files "$program_folder"; echo ./uninstall.exe) | sort)
snapshot() { (cd "$WINEPREFIX/drive_c" && find . -not -path './users/*/Temp*' -not -path './windows/*' | sort); }
for mode in CurrentUser AllUsers; do
    if [ $mode = CurrentUser ]; then
        target="$profile/AppData/Local/Programs/Tunebarn Uploader"
        hive=HKCU
        menu="$profile/AppData/Roaming/Microsoft/Windows/Start Menu/Programs"
    else
        target="$WINEPREFIX/drive_c/Program Files/Tunebarn Uploader"
        hive=HKLM
        menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs"
    fi
    uninstall_key="$hive\Software\Microsoft\Windows\CurrentVersion\Uninstall\TunebarnUploader"
    run_key="$hive\Software\Microsoft\Windows\CurrentVersion\Run"
    before=$(snapshot)
    "$wine" "$setup" /S /$mode /AutoStart
    "$wineserver" -w
    check "$mode: setup /S installs every file" test "$(installed_files "$target")" = "$expected"
    check "$mode: a Start-menu shortcut" test -f "$menu/Tunebarn Uploader.lnk"
    check "$mode: Add/Remove Programs lists it" reg_has "$uninstall_key" /v DisplayVersion
    check "$mode: /AutoStart adds the log-on entry" reg_has "$run_key" /v "Tunebarn Uploader"
    "$wine" "$target/tunebarn-uploader.exe" --version > "$work/installed-version.out" 2>&1
    check "$mode: the installed program runs" contains "$work/installed-version.out" "Tunebarn Uploader 1.0.46"
    # The uninstaller closes a running copy first, or it could not remove its files.
    starts=$(grep -c 'Application Started' "$audit")
    "$wine" "$target/tunebarn-uploader.exe" --headless 2>/dev/null &
    scheduler=$!
    wait_until 30 started $((starts + 1))
    "$wine" "$target/uninstall.exe" /S
    check "$mode: the uninstaller closes a running copy" wait_until 60 ended "$scheduler"
    kill -KILL "$scheduler" 2>/dev/null
    "$wineserver" -w
    check "$mode: the uninstaller removes every file it installed" test "$(snapshot)" = "$before"
    check "$mode: and its Add/Remove Programs entry" reg_lacks "$uninstall_key"
    check "$mode: and the log-on entry" reg_lacks "$run_key" /v "Tunebarn Uploader"
done
"$wine" "$setup" /S
"$wineserver" -w
check "without /AutoStart no log-on entry" reg_lacks 'HKCU\Software\Microsoft\Windows\CurrentVersion\Run' /v "Tunebarn Uploader"

# --- Recordings read by the Windows build's libmpg123 as the Linux build reads them: --check
# gives the lengths, the silent run and the problems; the show due at the start its format line.
# The same scheduler writes the metrics file at its start, after the upload and at its close.
readings=$station/readings
mkdir -p "$readings/metrics"
sox -n -r 44100 -c 2 "$work/tone.wav" synth 5 sine 440 vol 0.3
sox -n -r 44100 -c 2 "$work/hush.wav" synth 180 sine 440 vol 0
sox "$work/tone.wav" "$work/hush.wav" "$work/dead-air.wav"
lame --quiet -b 320 "$work/tone.wav" "$readings/tone.mp3"
lame --quiet "$work/dead-air.wav" "$readings/dead air.mp3"
lame --quiet -V2 -t "$work/tone.wav" "$readings/vbr.mp3"
cp "$work/tone.wav" "$readings/wav.mp3"
# Neither still being written nor last week's.
touch -d '1 hour ago' "$readings"/*.mp3
# The minute the scheduler starts in is due, and the next one in case the start crosses into it.
show() { # show NUMBER FILE TITLE DAY TIME
    printf '[Show%s]\r\nFilename=C:\\station\\readings\\%s\r\nTitle=%s\r\nUploadDay=%s\r\nUploadTime=%s\r\n' "$@"
}
now=$(date +%s)
{
    printf '[General]\r\nUploadURL=http://127.0.0.1:%s/upload\r\nMaxSilenceSeconds=60\r\n' "$port"
    printf 'MetricsFile=C:\\station\\readings\\metrics\\tunebarn.prom\r\n'
    for at in 0 60; do
        show $((at / 60 + 1)) tone.mp3 'Morgen – Café 日本' "$(date -d "@$((now + at))" +%a)" \
            "$(date -d "@$((now + at))" +%H:%M)"
    done
    # Two days on, so that only the first two can fall due while the scheduler runs.
    later=$(date -d "@$((now + 2 * 86400))" +%a)
    show 3 'dead air.mp3' 'Dead air' "$later" 09:00
    show 4 wav.mp3 'Wav' "$later" 09:01
    show 5 vbr.mp3 'VBR' "$later" 09:02
} > "$readings/tunebarn.ini"
reg_add 'C:\station\readings'
"$wine" "$exe" --check > "$work/check-readings.out" 2>&1
row() { grep -qE "^ *$2 .* $3 " "$1"; }
check "--check reads a tone's length" row "$work/check-readings.out" 1 '0:05'
check "and a VBR file's without a Xing header" row "$work/check-readings.out" 5 '0:05'
check "and the silent run after a tone" row "$work/check-readings.out" 3 '3:05 silent 3:00 SILENT'
check "and names it" contains "$work/check-readings.out" \
    "show 3: recording 'C:\\station\\readings\\dead air.mp3' is silent for 3:00 of 3:05 (97%): from 0:05 for 3:00"
check "and tells a WAV from MPEG audio" contains "$work/check-readings.out" \
    "show 4: recording 'C:\\station\\readings\\wav.mp3' is not MPEG audio: it holds a WAV file"
# Earlier runs handled this minute.
rm -f "$audit_folder/schedule.state"
"$wine" "$exe" --headless 2> "$work/headless-readings.err" &
scheduler=$!
metrics=$readings/metrics/tunebarn.prom
check "the metrics file is written at the start" wait_until 30 contains "$metrics" 'tunebarn_up 1' 2>/dev/null
audit=$(ls -t "$audit_folder"/Tunebarn*Adt.txt | head -1)
check "the show due at the start goes out with its recording's format line" wait_until 60 \
    contains "$audit" 'UploadShow| Recording: MPEG-1 Layer III, 320 kbit/s, 44.1 kHz, stereo, 0:05, silent 0:00'
uploaded() { grep -qE '^tunebarn_uploads_total\{result="taken"\} [1-9]' "$metrics"; }
check "the metrics file is replaced after the upload" wait_until 60 uploaded
"$wine" taskkill /IM tunebarn-uploader.exe >/dev/null 2>&1
wait_until 10 ended "$scheduler"
check "and at the orderly close" contains "$metrics" 'tunebarn_up 0'
check "the metrics file has only \\n line ends" lacks "$metrics" $'\r'
check "and no byte-order mark" test "$(head -c 3 "$metrics" | od -An -tx1 | tr -d ' ')" != efbbbf
check "a title beyond ASCII is UTF-8 in it" contains "$metrics" 'title="Morgen – Café 日本"'
check "no temporary file is left beside it" test "$(ls -A "$readings/metrics")" = tunebarn.prom
check "promtool accepts the metrics file written under Wine" promtool check metrics < "$metrics"
for licence in libmpg123-COPYING Qt-LGPL-3 Qt-GPL-3 curl-COPYING; do
    check "the program folder carries $licence.txt" test -s "$program_folder/$licence.txt"
done
reg_add 'C:\station'

echo "windows-smoke: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
