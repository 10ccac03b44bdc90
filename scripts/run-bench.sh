#!/usr/bin/env bash
# Runs every benchmark of the build under Wine, pinned to one CPU together with
# a persistent wineserver (unpinned, cross-core wake-ups make timings swing),
# then the whole capture road against its floor (bench/road_bench.sh), and
# prints one table of the figures, each with its ratio and its target, and a
# last line naming the figures that missed their targets.
# The raw output stays in <build>/bench/bench-output.txt.
set -euo pipefail
build_dir=$(cd "${1:-build}" && pwd)
export WINEPREFIX="$build_dir/wineprefix" WINEARCH=win32 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree=;mshtml="
wineserver -k >/dev/null 2>&1 || true
taskset -c 0 wineserver -p
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
wineboot >/dev/null 2>&1 </dev/null || true
shopt -s nullglob
benches=("$build_dir"/bench/*.exe)
[ ${#benches[@]} -gt 0 ] || { echo "no benchmarks built"; exit 1; }
out="$build_dir/bench/bench-output.txt"
: >"$out"
for b in "${benches[@]}"; do
  (cd "$build_dir/bench" && taskset -c 0 wine "$b") | tr -d '\r' | tee -a "$out"
done
# A failure of the optional wixl comparison must not hide the table.
bash "$(dirname "$0")/../bench/msi_bench.sh" "$build_dir" 2>&1 | tee -a "$out" || echo "msi_bench.sh ended with an error"
# The whole capture road in a prefix of its own (ROAD_SIZE, ROAD_RUNS: see the script).
bash "$(dirname "$0")/../bench/road_bench.sh" "$build_dir" 2>&1 | tee -a "$out" || echo "road_bench.sh ended with an error"
echo
python3 "$(dirname "$0")/bench-table.py" "$out"
