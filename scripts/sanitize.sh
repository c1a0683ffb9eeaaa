#!/usr/bin/env bash
# Builds Quillmere with AddressSanitizer and UndefinedBehaviorSanitizer into
# build-asan and runs every test there on a desktop display, like
# scripts/test.sh does for the normal build. Any sanitizer report fails the
# test it appears in.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-debian.sh --for-tests
BUILD_DIR=build-asan BUILD_TYPE=RelWithDebInfo scripts/build.sh -DQUILLMERE_SANITIZE=ON
# Libraries outside the program keep some memory until exit; see the file.
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp"
export ASAN_OPTIONS="detect_leaks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
cd build-asan
../scripts/with-desktop.sh ctest --output-on-failure --timeout 900 -j1
