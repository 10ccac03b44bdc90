#!/usr/bin/env bash
# Checks a cabinet from our makecab with gcab, which shares no code with
# cabinet.dll: the listing, then every file extracted byte for byte.
set -euo pipefail
build=$(cd "$1" && pwd)
work="$build/tests/makecab-gcab"
fail() { echo "FAIL: $*" >&2; exit 1; }
winpath() { echo "Z:${1//\//\\}"; }
trap 'rm -rf "$work"' EXIT
rm -rf "$work"
mkdir -p "$work/src/nested/deeper" "$work/x"

for i in $(seq 1 3000); do echo "compressible line $((i % 7))"; done > "$work/src/text.txt"
head -c 300000 /dev/urandom > "$work/src/random.bin"
: > "$work/src/empty.dat"
printf 'non-ASCII name\n' > "$work/src/résumé 中文.txt"
printf 'nested\n' > "$work/src/nested/deeper/text.txt"

{
  printf '.Option EXPLICIT\n.Set Cabinet = off\n.Set Compress = off\n.Set MaxDiskSize = CDROM\n'
  printf '.Set ReservePerCabinetSize = 6144\n'
  printf ".Set DiskDirectoryTemplate = '%s'\n" "$(winpath "$work/out")"
  printf '.Set CompressionType = MSZIP\n.Set CompressionLevel = 7\n.Set CompressionMemory = 21\n'
  printf ".Set CabinetNameTemplate = 'MSIProject.cab'\n.Set Cabinet=on\n.Set Compress=on\n.Set UniqueFiles=off\n"
  printf "'%s' '%s'\n" "$(winpath "$work/src/text.txt")" text.txt
  printf "'%s' '%s'\n" "$(winpath "$work/src/random.bin")" random.bin
  printf '"%s" "%s"\n' "$(winpath "$work/src/empty.dat")" empty.dat
  printf "'%s' '%s'\n" "$(winpath "$work/src/résumé 中文.txt")" "résumé 中文.txt"
  printf "%s %s\n" "$(winpath "$work/src/nested/deeper/text.txt")" text.txt1
} > "$work/MSIProject.ddf"

"$build/wine-run.sh" "$build/bin/makecab.exe" /F "$(winpath "$work/MSIProject.ddf")" || fail "makecab failed"
cab="$work/out/MSIProject.cab"
[ -f "$cab" ] || fail "no cabinet"

listing=$(gcab -t "$cab")
# The random bytes, which do not compress, are stored last, in a folder of their own.
expected=$(printf '%s\n' text.txt empty.dat "résumé 中文.txt" text.txt1 random.bin)
[ "$listing" = "$expected" ] || fail "listing differs: $listing"

gcab -x -C "$work/x" "$cab" >/dev/null || fail "gcab cannot extract"
cmp "$work/x/text.txt" "$work/src/text.txt" || fail "text.txt"
cmp "$work/x/random.bin" "$work/src/random.bin" || fail "random.bin"
cmp "$work/x/empty.dat" "$work/src/empty.dat" || fail "empty.dat"
cmp "$work/x/résumé 中文.txt" "$work/src/résumé 中文.txt" || fail "non-ASCII name"
cmp "$work/x/text.txt1" "$work/src/nested/deeper/text.txt" || fail "nested source"
# MSZIP did compress: the cabinet is well under the text plus the random bytes.
[ "$(stat -c %s "$cab")" -lt $((300000 + 6144 + $(stat -c %s "$work/src/text.txt") / 4)) ] || fail "not compressed"
echo "makecab cabinet read by gcab: ok"
