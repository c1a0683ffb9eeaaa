#!/usr/bin/env bash
# Sets up a Debian 12 machine, builds Quillmere and packs it as a Debian
# package, build/quillmere_<version>_amd64.deb. Install that with
#   apt install ./build/quillmere_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-debian.sh
scripts/build.sh
cd build
cpack -G DEB
