#!/usr/bin/env bash
# Builds the benchmarks in release mode and runs them; each prints its ratio
# against the baseline it measures in the same run.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-debian.sh --for-tests
BUILD_DIR=build-release BUILD_TYPE=Release scripts/build.sh
for bench in build-release/bench/*/quillmere_*_bench; do
  echo "== $(basename "$bench")"
  "$bench"
done
