#!/usr/bin/env bash
# Builds the libFuzzer targets with clang into build-fuzz and runs each one
# for FUZZ_SECONDS (default 60) from its seed corpus in fuzz/corpus/<name>.
# New inputs go to a scratch folder, so the committed corpus stays as it is;
# a crashing input is kept as build-fuzz/crash-<name>-* and fails the run.
# Rerun one by hand:  build-fuzz/fuzz/quillmere_fuzz_<name> <crash file>
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-60}
scripts/setup-debian.sh --for-tests
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF -DQUILLMERE_FUZZ=ON >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target quillmere_fuzz_wildcard quillmere_fuzz_rename_table quillmere_fuzz_run_record
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
# name:longest input. Cells of step 3 must reach past a name's 255 bytes and a
# path's 4096; a record, past a few steps of such paths.
for target in wildcard:4096 rename_table:8192 run_record:16384; do
  name=${target%%:*}
  mkdir -p "$scratch/$name"
  echo "== fuzzing $name for $seconds s"
  # libFuzzer reports every new input; keep that in a log and show its end.
  log="build-fuzz/fuzz-$name.log"
  if ! build-fuzz/fuzz/quillmere_fuzz_"$name" -max_total_time="$seconds" -max_len="${target##*:}" -timeout=10 \
    -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="build-fuzz/crash-$name-" \
    "$scratch/$name" "fuzz/corpus/$name" > "$log" 2>&1; then
    tail -n 60 "$log"
    exit 1
  fi
  tail -n 12 "$log"
done
