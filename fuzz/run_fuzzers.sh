#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer, the sanitizers), makes the seed corpus and runs each
# target in turn for the given seconds (60 by default), single process. A finding stops the run
# with a failure; its input is kept in build/fuzz/findings/.
# Inputs reach 4200 bytes, past the first 4096-byte block; for the record's decoder 16700, past
# the longest tail it reads (a record, 255 comment lines, the byte 26 and a record in front).
#   fuzz/run_fuzzers.sh [seconds] [extra libFuzzer flags, such as -runs=10000000]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
shift || true
cmake --workflow --preset fuzz
build=build/fuzz
rm -rf "$build/seeds"
mkdir -p "$build/seeds" "$build/findings"
"$build/fuzz/make_seed_corpus" "$build/seeds"
for target in fast_path_fuzz whole_analysis_fuzz sauce_info_fuzz; do
  case "$target" in
    sauce_info_fuzz) max_len=16700 ;;
    *) max_len=4200 ;;
  esac
  mkdir -p "$build/corpus/$target"
  echo "== $target for ${seconds} s"
  "$build/fuzz/$target" -max_total_time="$seconds" -max_len="$max_len" -timeout=10 \
    -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$build/findings/$target-" \
    "$@" "$build/corpus/$target" "$build/seeds"
done
