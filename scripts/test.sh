#!/usr/bin/env bash
# Sets up a Debian 12 machine, builds Quillmere and runs every test. Widget
# tests draw offscreen; the tests that need a real X display get one from Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-debian.sh
scripts/build.sh
cd build
xvfb-run -a -s "-screen 0 1600x1000x24" ctest --output-on-failure --timeout 600 -j1
