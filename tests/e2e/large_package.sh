#!/usr/bin/env bash
# A large application: three 1 GB files of random data and a few thousand
# small files, built from a project file by the program's command line into a
# package with its cabinets beside it (more than a package can embed). The
# cabinets are checked with msiinfo and gcab, msiextract and Wine's msiexec
# give back every file byte for byte, and removal leaves nothing.
# The payload is made once per run; everything is removed at the end.
#   LARGE_GB=<n> sets the size of each large file (default 1).
SCENARIO=large_package
source "$(dirname "$0")/lib.sh"
gb=${LARGE_GB:-1}
folder=CorvaneLarge
now() { date +%s; }
began=$(now)

new_prefix big
install_program big
drive=$(drive_c big)
payload="$drive/Program Files/$folder"
step "payload: 3 x $gb GB of random data, 3000 small files"
mkdir -p "$payload/Small"
for i in 1 2 3; do head -c "${gb}G" /dev/urandom >"$payload/big$i.bin"; done
python3 - "$payload/Small" <<'PY'
import os, random, sys
rnd = random.Random(29)
for d in range(30):
    sub = os.path.join(sys.argv[1], "d%02d" % d)
    os.makedirs(sub)
    for f in range(100):
        with open(os.path.join(sub, "f%03d.txt" % f), "wb") as out:
            out.write(("%d/%d " % (d, f)).encode() * rnd.randint(1, 400))
PY
mkdir -p "$drive/large"

step "a cabinet maker that fails says why on the console"
# Its temporary files would go to a folder that is not there (TMP is what the
# cabinet maker's temporary folder comes from; the program's own folders
# come from TEMP).
in_prefix big wine "$BUILD/tests/large_project_writer.exe" "C:\\Program Files\\$folder\\Small" \
  'C:\large\Small.xml' CorvaneSmall >/dev/null || { fail "small project file"; finish; }
rc=0
(cd "$drive/corvane" && in_prefix big wine cmd /c \
  'set TMP=C:\no-such-temp&& C:\corvane\CorvaneRepackager.exe C:\large\Small.xml -Path=C:\large\small' \
  </dev/null) >"$WORK/big/failed.raw" || rc=$?
tr -d '\r' <"$WORK/big/failed.raw" >"$WORK/big/failed.txt"
check test "$rc" = 1
check grep -qF "The build failed: the cabinet maker failed with exit code 1: makecab: " "$WORK/big/failed.txt"
check grep -qF "cannot make a temporary file in 'C:\\no-such-temp\\': " "$WORK/big/failed.txt"
check grep -qE "[a-z]\. \(error [0-9]+\); see the error log" "$WORK/big/failed.txt"
check test -z "$(find "$drive/large/small/Packages" -type f 2>/dev/null)"

in_prefix big wine "$BUILD/tests/large_project_writer.exe" "C:\\Program Files\\$folder" 'C:\large\Project.xml' \
  CorvaneLarge >/dev/null || { fail "project file"; finish; }

step "build"
built_at=$(now)
rc=0
# As lib.sh's repackager, under /usr/bin/time for the largest process's size
# (the cabinet maker is a child of the program).
(cd "$drive/corvane" && in_prefix big /usr/bin/time -f '%M' -o "$WORK/big/maxrss" \
  wine 'C:\corvane\CorvaneRepackager.exe' 'C:\large\Project.xml' '-Path=C:\large\out' </dev/null) \
  >"$WORK/big/report.raw" || rc=$?
tr -d '\r' <"$WORK/big/report.raw" | tee "$WORK/big/report.txt"
echo "build took $(( $(now) - built_at )) s, largest process $(( $(cat "$WORK/big/maxrss") / 1024 )) MiB"
[ "$rc" = 0 ] || { fail "build exit code $rc"; finish; }
report="$WORK/big/report.txt"
check grep -q 'a folder of files to be deployed together' "$report"
check grep -qE '^Packed [0-9]+ of 3003 files, [0-9]+ of [0-9]+ MB$' "$report"
packages="$drive/large/out/Packages"
pkg="$packages/CorvaneLarge.msi"
check test -s "$pkg"
check test -z "$(find "$packages" -name '*.tmp')"
# One Media row per cabinet, the files in sequence order.
media=$(msiinfo export "$pkg" Media | tail -n +4 | tr -d '\r' | cut -f1,2,4 | sort -n)
expected_media=$'1\t1\tdata1.cab\n2\t2\tdata2.cab\n3\t3003\tdata3.cab'
[ "$media" = "$expected_media" ] || fail "Media rows: $media"
check test -z "$(msiinfo streams "$pkg" | grep -i '\.cab$')"
for n in 1 2 3; do
  size=$(stat -c %s "$packages/data$n.cab")
  [ "$size" -lt $((1536 * 1024 * 1024)) ] || fail "data$n.cab is $size bytes"
done
[ "$(gcab -l "$packages/data3.cab" | wc -l)" = 3001 ] || fail "data3.cab holds $(gcab -l "$packages/data3.cab" | wc -l) files"
# Memory stays bounded however large the files are.
[ "$(cat "$WORK/big/maxrss")" -lt $((100 * 1024)) ] || fail "a process of the build used $(cat "$WORK/big/maxrss") KiB"

step "msiextract"
extract="$WORK/extract"
msiextract -C "$extract" "$pkg" >/dev/null || fail "msiextract"
got=$(find "$extract" -path "*/$folder" -type d | head -n1)
check diff -r "$got" "$payload"
rm -rf "$extract"

step "install and remove with msiexec"
# The payload moves out of the way; the package puts it back.
mv "$payload" "$WORK/payload"
in_prefix big wine msiexec /i 'C:\large\out\Packages\CorvaneLarge.msi' /qn || fail "msiexec /i"
check diff -r "$payload" "$WORK/payload"
product=$(msiinfo export "$pkg" Property | tr -d '\r' | awk -F'\t' '$1 == "ProductCode" { print $2 }')
in_prefix big wine msiexec /x "$product" /qn || fail "msiexec /x"
[ -z "$(find "$payload" -type f 2>/dev/null | head -n1)" ] || fail "files left after removal: $(find "$payload" -type f | wc -l)"
rm -rf "$WORK/payload" "$drive/large"
echo "large package: $(( $(now) - began )) s in all"
finish
