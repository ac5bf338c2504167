#!/usr/bin/env bash
# Mutants made by rule over src/ (tools/mutagen.py), each built and tested in build-mutation,
# the tests that ran the mutated line first, as a build with --coverage (build-coverage) found
# them. Every source file is restored afterwards, also on Ctrl+C. Not part of CI.
#   scripts/mutation.sh --sample 40 --seed 7 [--since REV] [--workers N] [--results FILE [--resume]]
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
trap 'python3 tools/mutagen.py restore' EXIT
python3 tools/mutagen.py run --build build-mutation --coverage-build build-coverage "$@"
