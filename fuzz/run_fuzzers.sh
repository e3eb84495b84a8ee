#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the fuzz targets (clang, libFuzzer, the sanitizers) twice, over the scan with SIMD and
# over the scan built without it, makes the seed corpus and runs the targets of each build in turn
# for the given seconds (60 by default), single process; the SAUCE decoder, which has no SIMD,
# runs in the first build only, and so does the pack reader, whose seeds are packs of every kind,
# and so do the format readers, on inputs of up to 9000 bytes (past the headers, fonts and
# palettes of ADF and IDF); the MD5 lanes run with SSE2, AVX2 and AVX-512 (where the processor
# has them) in the first and through Nettle's block function in the second. The seeds include the
# hostile inputs of make_attack_seeds.py. A finding stops the run with a failure; its input
# is kept in build/<build>/findings/.
# Inputs reach 4200 bytes, past the first 4096-byte block; for the record's decoder 16700, past
# the longest tail it reads (a record, 255 comment lines, the byte 26 and a record in front); for
# the pack reader 20000, room for a few members of each method.
#   fuzz/run_fuzzers.sh [seconds] [extra libFuzzer flags, such as -runs=10000000]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
shift || true
for preset in fuzz fuzz-scalar; do
  cmake --workflow --preset "$preset"
  build="build/$preset"
  rm -rf "$build/seeds"
  mkdir -p "$build/seeds" "$build/findings"
  "$build/fuzz/make_seed_corpus" "$build/seeds"
  rm -rf "$build/pack-seeds"
  mkdir -p "$build/pack-seeds"
  python3 fuzz/make_pack_seeds.py "$build/pack-seeds"
  python3 fuzz/make_attack_seeds.py "$build/pack-seeds" "$build/seeds"
  targets="fast_path_fuzz whole_analysis_fuzz md5_lanes_fuzz screen_fuzz"
  [ "$preset" = fuzz ] && targets="$targets sauce_info_fuzz pack_reader_fuzz format_readers_fuzz"
  for target in $targets; do
    seeds="$build/seeds"
    case "$target" in
      sauce_info_fuzz) max_len=16700 ;;
      pack_reader_fuzz) max_len=20000 seeds="$build/pack-seeds" ;;
      format_readers_fuzz) max_len=9000 ;;
      *) max_len=4200 ;;
    esac
    mkdir -p "$build/corpus/$target"
    echo "== $target ($preset) for ${seconds} s"
    "$build/fuzz/$target" -max_total_time="$seconds" -max_len="$max_len" -timeout=10 \
      -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$build/findings/$target-" \
      "$@" "$build/corpus/$target" "$seeds"
  done
done
