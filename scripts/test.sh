#!/usr/bin/env bash
# Sets up a Debian 12 machine, builds Quillmere and runs every test: a short
# fuzzing run, the whole suite under AddressSanitizer and
# UndefinedBehaviorSanitizer, then the whole suite in the normal build.
# Every test runs on an Xvfb display with a window manager
# (scripts/with-desktop.sh), as the visible-window tests need a desktop.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-debian.sh --for-tests
FUZZ_SECONDS=${FUZZ_SECONDS:-60} scripts/fuzz.sh
scripts/sanitize.sh
scripts/build.sh
cd build
../scripts/with-desktop.sh ctest --output-on-failure --timeout 600 -j1
