#!/usr/bin/env bash
# Package build speed: 10,000 files of about 100 MB (half compressible text,
# half random bytes) built into an MSI by msi_bench.exe under Wine, beside
# `gcab -c -z` of the same files (native MSZIP) and, when wixl is installed, a
# wixl build of the same files. One line per figure, with its ratio to gcab.
#   bash bench/msi_bench.sh <build folder>
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
# On the prefix's system drive: the builder leaves out files of other drives.
prefix="$build/wineprefix"
[ -f "$prefix/system.reg" ] || bash "$(dirname "$0")/../scripts/make-prefix.sh" "$prefix"
work="$prefix/drive_c/msi-bench"
data="$work/data"
winpath() { local rest=${1#"$prefix/drive_c"}; echo "C:${rest//\//\\}"; }
now() { date +%s.%N; }

rm -rf "$work"
mkdir -p "$data" "$work/out"
python3 - "$data" <<'PY'
import os, random, sys
root = sys.argv[1]
rnd = random.Random(7)
words = b"alpha beta gamma delta epsilon zeta eta theta iota kappa lambda mu\r\n"
for d in range(100):
    folder = os.path.join(root, "Module%03d" % d)
    os.makedirs(folder)
    for f in range(100):
        size = rnd.randint(2000, 18000)
        if f % 2:
            body = os.urandom(size)
        else:
            body = (words * (size // len(words) + 1))[:size]
        with open(os.path.join(folder, "file%03d.%s" % (f, "bin" if f % 2 else "txt")), "wb") as out:
            out.write(body)
PY
echo "payload: $(find "$data" -type f | wc -l) files, $(du -sm "$data" | cut -f1) MB"

start=$(now)
(cd "$data" && find . -type f | sed 's|^\./||' | sort > "$work/list" && taskset -c 0 gcab -c -z "$work/gcab.cab" $(cat "$work/list")) >/dev/null
gcab_s=$(echo "$(now) - $start" | bc)
printf 'gcab -c -z: %.2f s\n' "$gcab_s"

# Half the files first: the two builds show whether the build stays linear.
mkdir -p "$work/half" "$work/out-half"
for module in $(ls "$data" | head -50); do cp -al "$data/$module" "$work/half/$module"; done
half=$(taskset -c 0 "$build/wine-run.sh" "$build/bench/msi_bench.exe" "$(winpath "$work/half")" "$(winpath "$work/out-half")" | tr -d '\r' | grep '^msi build')
echo "$half" | sed 's/^msi build/msi build (half)/'
line=$(taskset -c 0 "$build/wine-run.sh" "$build/bench/msi_bench.exe" "$(winpath "$data")" "$(winpath "$work/out")" | tr -d '\r' | grep '^msi build')
msi_s=$(sed -E 's/^msi build: ([0-9.]+) s.*/\1/' <<<"$line")
printf '%s (%.2fx gcab)\n' "$line" "$(echo "$msi_s / $gcab_s" | bc -l)"

if command -v wixl >/dev/null 2>&1; then
  {
    echo '<?xml version="1.0"?><Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">'
    echo '<Product Id="*" Name="Bench" Language="1033" Version="1.0" Manufacturer="Corvane" UpgradeCode="6F1B6C8A-0E3B-4E6A-9B2B-3C1D7E2A9F10">'
    echo '<Package InstallerVersion="200" Compressed="yes"/><Media Id="1" Cabinet="b.cab" EmbedCab="yes"/>'
    echo '<Directory Id="TARGETDIR" Name="SourceDir"><Directory Id="ProgramFilesFolder"><Directory Id="INSTALLDIR" Name="Bench">'
    n=0
    for dir in "$data"/*/; do
      m=$(basename "$dir")
      echo "<Directory Id=\"D$m\" Name=\"$m\">"
      for f in "$dir"*; do
        n=$((n+1))
        echo "<Component Id=\"C$n\" Guid=\"*\"><File Id=\"F$n\" Source=\"${f#$data/}\" KeyPath=\"yes\"/></Component>"
      done
      echo "</Directory>"
    done
    echo '</Directory></Directory></Directory><Feature Id="All" Level="1">'
    for i in $(seq 1 $n); do echo "<ComponentRef Id=\"C$i\"/>"; done
    echo '</Feature></Product></Wix>'
  } > "$work/bench.wxs"
  start=$(now)
  # wixl takes sources relative to the folder it runs in.
  (cd "$data" && taskset -c 0 wixl -o "$work/wixl.msi" "$work/bench.wxs" >/dev/null)
  wixl_s=$(echo "$(now) - $start" | bc)
  printf 'wixl: %.2f s (%.2fx gcab)\n' "$wixl_s" "$(echo "$wixl_s / $gcab_s" | bc -l)"
else
  echo "wixl: not installed"
fi
[ -n "${KEEP_MSI_BENCH:-}" ] || rm -rf "$work"

# A large package: three files of random data (1 GB each; MSI_BENCH_LARGE_GB
# changes it; 0 leaves this part out), built into a package with its cabinets beside it, against gcab
# making one cabinet of each file. Time and the largest process's memory
# (ru_maxrss: the builder or its cabinet maker) for both.
gb=${MSI_BENCH_LARGE_GB:-1}
[ "$gb" != 0 ] || exit 0
large="$prefix/drive_c/msi-bench-large"
rm -rf "$large"
mkdir -p "$large/data" "$large/out" "$large/gcab"
for i in 1 2 3; do head -c "${gb}G" /dev/urandom >"$large/data/big$i.bin"; done
start=$(now)
for i in 1 2 3; do
  (cd "$large/data" && taskset -c 0 /usr/bin/time -f '%M' -a -o "$large/gcab.rss" \
    gcab -c -z "$large/gcab/big$i.cab" "big$i.bin") >/dev/null
done
large_gcab_s=$(echo "$(now) - $start" | bc)
large_gcab_kb=$(sort -n "$large/gcab.rss" | tail -n1)
printf 'gcab -c -z, %s GB: %.2f s, %d MiB\n' "$((3 * gb))" "$large_gcab_s" "$((large_gcab_kb / 1024))"
line=$(taskset -c 0 /usr/bin/time -f '%M' -o "$large/msi.rss" "$build/wine-run.sh" "$build/bench/msi_bench.exe" \
  "$(winpath "$large/data")" "$(winpath "$large/out")" | tr -d '\r' | grep '^msi build')
large_msi_s=$(sed -E 's/^msi build: ([0-9.]+) s.*/\1/' <<<"$line")
large_msi_kb=$(cat "$large/msi.rss")
printf 'msi build, %s GB: %.2f s, %d MiB (%.2fx gcab)\n' "$((3 * gb))" "$large_msi_s" "$((large_msi_kb / 1024))" \
  "$(echo "$large_msi_s / $large_gcab_s" | bc -l)"
ls "$large/out/Packages" | tr '\n' ' ' | sed 's/^/large package: /; s/ $/\n/'
rm -rf "$large"
