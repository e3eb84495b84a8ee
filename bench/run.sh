#!/usr/bin/env bash
# Builds the release binary and the benchmark tools, makes the inputs, and prints the four speed
# and memory figures side by side with md5sum, each as a ratio against its goal.
#   bench/run.sh [collection size, default 500] [large file MiB, default 256]
set -euo pipefail
cd "$(dirname "$0")/.."
files=${1:-500}
large_mib=${2:-256}

if ! command -v hyperfine >/dev/null; then
  echo "hyperfine is missing; installing it from Debian's packages" >&2
  if [ "$(id -u)" = 0 ]; then apt-get install -y hyperfine >&2; else sudo apt-get install -y hyperfine >&2; fi
fi

cmake --workflow --preset release >/dev/null
cmake --preset bench >/dev/null
cmake --build --preset bench >/dev/null
tintrel=$PWD/build/release/tintrel

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/collection"
build/bench/make_art collection 1 "$files" "$work/collection"
build/bench/make_art file 2 $((large_mib << 20)) "$work/large.ans" --no-sauce
build/bench/make_art file 2 $((1 << 20)) "$work/small.ans" --no-sauce
find "$work/collection" -type f -print0 >"$work/list"

# Mean wall time of each command, from hyperfine's JSON.
mean() { python3 -c 'import json,sys; print(" ".join(str(r["mean"]) for r in json.load(open(sys.argv[1]))["results"]))' "$1"; }

echo "== 1. once per file over $files typical files (2 to 100 KB)" >&2
hyperfine --warmup 2 --runs 10 --export-json "$work/files.json" \
  "xargs -0 -n 1 $tintrel <$work/list >/dev/null" \
  "xargs -0 -n 1 md5sum <$work/list >/dev/null" >&2
read -r ours theirs < <(mean "$work/files.json")

echo "== 2. one file of $large_mib MiB" >&2
hyperfine -N --warmup 1 --runs 5 --export-json "$work/large.json" \
  "$tintrel $work/large.ans" "md5sum $work/large.ans" >&2
read -r ours_large theirs_large < <(mean "$work/large.json")

echo "== 3. the scan alone, in memory" >&2
build/bench/scan_benchmark --benchmark_format=json --benchmark_out="$work/scan.json" \
  --benchmark_out_format=json --benchmark_min_time=1 >&2

echo "== 4. peak resident memory" >&2
rss() { /usr/bin/time -v "$tintrel" "$1" 2>&1 >/dev/null | awk '/Maximum resident/ {print $NF}'; }
rss_small=$(rss "$work/small.ans")
rss_large=$(rss "$work/large.ans")

python3 - "$ours" "$theirs" "$ours_large" "$theirs_large" "$work/scan.json" \
  "$rss_small" "$rss_large" "$files" "$large_mib" <<'PY'
import json, sys
ours, theirs, ours_large, theirs_large = map(float, sys.argv[1:5])
scan = {b["name"]: b["bytes_per_second"] for b in json.load(open(sys.argv[5]))["benchmarks"]}
rss_small, rss_large = int(sys.argv[6]), int(sys.argv[7])
files, mib = sys.argv[8], sys.argv[9]
def verdict(ok): return "met" if ok else "NOT met"
r1 = ours / theirs
r2 = ours_large / theirs_large
typical = scan["BM_ScanTypicalArt"] / 1e9
worst = scan["BM_ScanWorstCase"] / 1e6
random = scan["BM_ScanRandomBytes"] / 1e9
delta = rss_large - rss_small
print(f"1. per file, {files} files:  tintrel/md5sum = {r1:.2f}  "
      f"({ours / int(files) * 1e3:.2f} ms against {theirs / int(files) * 1e3:.2f} ms a file; "
      f"goal <= 0.80: {verdict(r1 <= 0.8)})")
print(f"2. one {mib} MiB file:      tintrel/md5sum = {r2:.2f}  "
      f"({ours_large:.3f} s against {theirs_large:.3f} s; goal <= 1.40: {verdict(r2 <= 1.4)})")
print(f"3. scan in memory:         typical {typical:.2f} GB/s (goal >= 2: {verdict(typical >= 2)}), "
      f"worst case {worst:.0f} MB/s (goal >= 300: {verdict(worst >= 300)}), "
      f"random bytes {random:.2f} GB/s")
print(f"4. peak resident memory:   {rss_small} KiB for 1 MiB, {rss_large} KiB for {mib} MiB, "
      f"difference {delta} KiB (goal <= 128: {verdict(abs(delta) <= 128)})")
PY
