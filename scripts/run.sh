#!/usr/bin/env bash
# Sets up a Debian 12 machine with what the program needs, builds the program
# alone (no tests or benchmarks) in build-app, apart from the test build, and
# starts it on the desktop.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-debian.sh
BUILD_DIR=build-app scripts/build.sh -DBUILD_TESTING=OFF
exec build-app/app/quillmere
