#!/usr/bin/env bash
# Sets up a Debian 12 machine, builds Quillmere and runs every test: a short
# fuzzing run, the whole suite under AddressSanitizer and
# UndefinedBehaviorSanitizer, then the whole suite in the normal build.
# Widget tests draw offscreen; the tests that need a real X display get one
# from Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-debian.sh
FUZZ_SECONDS=${FUZZ_SECONDS:-60} scripts/fuzz.sh
scripts/sanitize.sh
scripts/build.sh
cd build
xvfb-run -a -s "-screen 0 1600x1000x24" ctest --output-on-failure --timeout 600 -j1
