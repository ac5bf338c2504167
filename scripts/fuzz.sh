#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and UBSan on) and runs each for the
# given number of seconds (default 600) from its seed corpus in fuzz/corpus.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-600}

scripts/install-deps.sh
for package in clang libclang-rt-14-dev; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        sudo_cmd=(); [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
        "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends clang libclang-rt-14-dev
        break
    fi
done

build=build-fuzz
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTUNEBARN_BUILD_FUZZ=ON -DTUNEBARN_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target IniFileFuzz DateVariablesFuzz UploadArgumentsFuzz

declare -A corpus=([IniFileFuzz]=ini [DateVariablesFuzz]=datevars [UploadArgumentsFuzz]=uploadargs)
status=0
for target in IniFileFuzz DateVariablesFuzz UploadArgumentsFuzz; do
    work=$(mktemp -d)
    cp fuzz/corpus/"${corpus[$target]}"/* "$work"/
    echo "== $target for ${seconds}s"
    if ! UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 ASAN_OPTIONS=detect_leaks=0 \
        "$build/$target" -max_total_time="$seconds" -max_len=4096 -print_final_stats=1 \
        -artifact_prefix="$build/$target-" "$work" 2>"$build/$target.log"; then
        status=1
        tail -40 "$build/$target.log"
    fi
    grep -E '^(stat::number_of_executed_units|Done)' "$build/$target.log" || tail -3 "$build/$target.log"
    rm -rf "$work"
done
exit $status
