#!/usr/bin/env bash
# Mutants made by rule over src/ (tools/mutagen.py), each built and tested in build-mutation,
# the tests that ran the mutated line first, as a build with --coverage (build-coverage) found
# them. Every source file is restored afterwards, also on Ctrl+C. Not part of CI.
#   scripts/mutation.sh --sample 40 --seed 7 [--since REV] [--results FILE]
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
trap 'python3 tools/mutagen.py restore' EXIT
cmake -S . -B build-mutation -G Ninja -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake -S . -B build-coverage -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS=--coverage \
    -DCMAKE_EXE_LINKER_FLAGS=--coverage >/dev/null
python3 tools/mutagen.py run --build build-mutation --coverage-build build-coverage "$@"
