#!/usr/bin/env bash
# Sets up a Debian 12 machine with what the program needs, builds the program
# alone in build-app (as scripts/run.sh does) and packs it as a Debian
# package, build-app/quillmere_<version>_amd64.deb. Install that with
#   apt install ./build-app/quillmere_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-debian.sh
BUILD_DIR=build-app scripts/build.sh -DBUILD_TESTING=OFF
cd build-app
cpack -G DEB
