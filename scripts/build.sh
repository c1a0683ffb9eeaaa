#!/usr/bin/env bash
# Configures and builds Quillmere into BUILD_DIR (default: build) with extra
# CMake arguments passed through.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${BUILD_DIR:-build}
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" "$@"
cmake --build "$build_dir" -j"$(nproc)"
