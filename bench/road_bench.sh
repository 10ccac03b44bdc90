#!/usr/bin/env bash
# The whole capture road against its floor. In a Wine prefix of its own, a
# generated workload (gen_workload.py: files in leaf folders, registry keys
# with four values each, and a manifest that changes about 1% of both) is
# captured by `CorvaneRepackager.exe -capture` (both snapshots, comparison,
# project file, package), with change.exe as the setup, alternately with
# `walk.exe shots` (the same two walks of the tree and the key around the same
# change, keeping every entry in memory, and nothing else). Wineserver and
# programs are pinned to one CPU. Each run goes through road_run.exe, which
# reports its wall time and the process's peak memory (Wine reports no CPU
# time for another process); the road's report lines are time-stamped to give
# the phases. Prints the medians.
#   bash bench/road_bench.sh <build folder>
# ROAD_SIZE=N100k (default), N20k or N5k chooses the workload; ROAD_RUNS the
# number of runs of each (default 3). The prefix and the workload are kept in
# <build>/bench/road for the next run; delete the folder to start afresh.
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
size=${ROAD_SIZE:-N100k}
runs=${ROAD_RUNS:-3}
case $size in
  N100k) files=100000 dirs=10000 keys=20000 ;;
  N20k) files=20000 dirs=2000 keys=4000 ;;
  N5k) files=5000 dirs=500 keys=1000 ;;
  *) echo "road_bench: unknown ROAD_SIZE $size"; exit 2 ;;
esac
bench_dir=$(cd "$(dirname "$0")" && pwd)
work="$build/bench/road"
export WINEPREFIX="$work/pfx" WINEARCH=win32 WINEDEBUG=-all HOME="$work/home"
export WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe=d"
drive_c="$WINEPREFIX/drive_c"
now() { date +%s.%N; }

mkdir -p "$work/home"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  wineboot -i >/dev/null 2>&1 </dev/null || true
  wineserver -w
fi
wineserver -k >/dev/null 2>&1 || true
taskset -c 0 wineserver -p
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT

if [ ! -f "$drive_c/peerbench/$size/.imported" ]; then
  rm -rf "$drive_c/peerbench/$size"
  python3 "$bench_dir/gen_workload.py" --prefix "$WINEPREFIX" --name "$size" --files $files --dirs $dirs \
    --keys $keys --seed 2 >/dev/null
  wine reg import "C:\\peerbench\\$size\\base.reg" >/dev/null 2>&1 </dev/null
  touch "$drive_c/peerbench/$size/.imported"
fi

# The program folder, with a selection of the tree and the key only.
rm -rf "$drive_c/corvane" "$drive_c/roadbin"
mkdir -p "$drive_c/corvane" "$drive_c/roadbin"
cp "$build"/bin/* "$drive_c/corvane/"
cp "$build"/bench/tools/walk.exe "$build"/bench/tools/change.exe "$build"/bench/tools/road_run.exe "$drive_c/roadbin/"
cat >"$drive_c/corvane/DefaultIncludeExclude.xml" <<XML
<?xml version="1.0" encoding="UTF-8"?>
<IncludeExclude>
  <FileSystem><IncludedItems><IncludedEntry Name="C:\\peerbench\\$size\\tree"/></IncludedItems><ExcludedItems/></FileSystem>
  <RegistrySystem><IncludedItems><IncludedEntry Name="HKEY_LOCAL_MACHINE\\SOFTWARE\\PeerBench\\$size"/></IncludedItems><ExcludedItems/></RegistrySystem>
</IncludeExclude>
XML

change="C:\\peerbench\\$size\\change.txt toggle C:\\peerbench\\$size\\state.txt"
stamp() {  # prefixes each line with the seconds since the start
  local t0 line
  t0=$(now)
  while IFS= read -r line; do
    printf '%.2f %s\n' "$(echo "$(now) - $t0" | bc)" "${line%$'\r'}"
  done
}
results="$work/results.txt"
: >"$results"
for run in $(seq 1 "$runs"); do
  rm -rf "$drive_c/roadout"
  (cd "$drive_c/corvane" && taskset -c 0 wine 'C:\roadbin\road_run.exe' 'C:\corvane\CorvaneRepackager.exe' -capture \
    'C:\roadbin\change.exe' "-Args=$change" '-Path=C:\roadout' -Name=Road -Version=1.0 -Company=Bench </dev/null) |
    stamp >"$work/road-$run.log" || true
  grep -q '^[0-9.]* road_run: exit=0 ' "$work/road-$run.log" || { echo "road_bench: the capture failed:"; cat "$work/road-$run.log"; exit 1; }
  echo "road $(grep -o 'road_run: .*' "$work/road-$run.log")" >>"$results"
  (cd "$drive_c/roadbin" && taskset -c 0 wine 'C:\roadbin\road_run.exe' 'C:\roadbin\walk.exe' shots \
    "C:\\peerbench\\$size\\tree" "HKLM\\SOFTWARE\\PeerBench\\$size" --change "C:\\roadbin\\change.exe $change" \
    </dev/null) | stamp >"$work/floor-$run.log" || true
  grep -q '^[0-9.]* road_run: exit=0 ' "$work/floor-$run.log" || { echo "road_bench: walk.exe failed:"; cat "$work/floor-$run.log"; exit 1; }
  echo "floor $(grep -o 'road_run: .*' "$work/floor-$run.log")" >>"$results"
done

python3 - "$work" "$runs" "$size" $files $dirs $keys <<'PY'
import re, statistics, sys
work, runs, size = sys.argv[1], int(sys.argv[2]), sys.argv[3]
files, dirs, keys = map(int, sys.argv[4:7])
print(f"road_bench: workload {size}: {files} files in {dirs + dirs // 100} folders, {keys} keys with 4 values, "
      f"{runs} alternating runs each")
def figures(kind):
    rows = []
    for run in range(1, runs + 1):
        text = open(f"{work}/{kind}-{run}.log", encoding="utf-8", errors="replace").read()
        m = re.search(r"road_run: exit=0 wall_ms=(\d+) cpu_ms=(-?\d+) peak_ws_mib=([\d.]+) peak_private_mib=([\d.]+)", text)
        rows.append([float(m.group(i)) for i in range(1, 5)] + [text])
    return rows
for kind, label in (("road", "capture road (-capture)"), ("floor", "floor (walk.exe shots)")):
    rows = figures(kind)
    walls = [r[0] / 1000 for r in rows]
    print(f"road_bench: {label}: wall {statistics.median(walls):.2f} s (runs {', '.join('%.2f' % w for w in walls)}), "
          f"peak working set {statistics.median(r[2] for r in rows):.1f} MiB, "
          f"peak private {statistics.median(r[3] for r in rows):.1f} MiB")
# The road's phases from the time stamps of its report lines.
marks = [("first", "Taking the first snapshot..."), ("first_end", "First snapshot:"),
         ("setup", "Running the setup:"), ("setup_end", "The setup ended"),
         ("second", "Taking the second snapshot..."), ("compare", "Comparing the snapshots..."),
         ("compare_end", "INI entries:"), ("project_end", "Project file:"),
         ("package", "Building the package..."), ("package_end", "Package:")]
phases = {"first snapshot": ("first", "first_end"), "setup": ("setup", "setup_end"),
          "second snapshot": ("second", "compare"), "comparison": ("compare", "compare_end"),
          "project file": ("compare_end", "project_end"), "package": ("package", "package_end")}
per_phase = {name: [] for name in phases}
for run in range(1, runs + 1):
    at = {}
    for line in open(f"{work}/road-{run}.log", encoding="utf-8", errors="replace"):
        stamp, _, text = line.rstrip("\n").partition(" ")
        for key, prefix in marks:
            if key not in at and text.startswith(prefix):
                at[key] = float(stamp)
    for name, (a, b) in phases.items():
        if a in at and b in at:
            per_phase[name].append(at[b] - at[a])
print("road_bench: phases, median: " + ", ".join(
    f"{name} {statistics.median(v):.2f} s" for name, v in per_phase.items() if v))
PY
