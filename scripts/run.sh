#!/usr/bin/env bash
# Sets up a Debian 12 machine, builds Quillmere and starts it on the desktop.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-debian.sh
scripts/build.sh
exec build/app/quillmere
