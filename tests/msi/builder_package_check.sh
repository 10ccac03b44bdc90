#!/usr/bin/env bash
# Builds the builder scene's package with CMSIHandler (in the build's prefix),
# then checks it with tools no one here wrote: msitools reads every table,
# the cabinet taken from _Streams and opened with gcab, and msiextract, give
# back every file byte for byte; Wine's msiexec installs it in a FRESH prefix
# (files, registry values with their types, INI entries) and removes it again.
set -euo pipefail
build=$(cd "$1" && pwd)
source_dir=$(cd "$2" && pwd)
work="$build/tests/builder-check"
prefix="$work/prefix"
folder=CorvaneBuilderCheck
keyname=BuilderCheck
build_prefix="$build/wineprefix"
payload="$build_prefix/drive_c/Program Files/$folder"

fail() { echo "FAIL: $*" >&2; exit 1; }
winpath() { echo "Z:${1//\//\\}"; }

cleanup() {
  WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1 || true
  "$build/wine-run.sh" reg delete "HKCU\\Software\\CorvaneTest\\$keyname" /f >/dev/null 2>&1 || true
  rm -rf "$payload"
  rm -rf "$work"
}
[ -n "${KEEP_BUILDER_CHECK:-}" ] || trap cleanup EXIT
rm -rf "$work"
mkdir -p "$work/out"
cd "$work" # msiinfo export writes stream columns into the current folder

"$build/wine-run.sh" "$build/tests/builder_package_maker.exe" "$(winpath "$work/out")" "$folder" "$keyname" \
  >/dev/null || fail "builder_package_maker"
pkg="$work/out/out/Packages/CorvaneBT.msi"
[ -s "$pkg" ] || fail "no package"

# Every table reads.
tables=$(msiinfo tables "$pkg")
for t in $tables; do
  msiinfo export "$pkg" "$t" >/dev/null || fail "msiinfo export $t"
done
for t in Directory File Component FeatureComponents Media Registry Property Shortcut Icon IniFile RemoveIniFile; do
  grep -qx "$t" <<<"$tables" || fail "table $t missing"
done
row() { msiinfo export "$pkg" "$1" | tail -n +4 | tr -d '\r'; }
row Registry | grep -qP '^CorvaneRegistry4\t1\tSoftware\\CorvaneTest\\BuilderCheck\tList\ta\[~\]b b\[~\]c\tREGDIFFCOMP$' \
  || fail "Registry List row: $(row Registry | grep List)"
row Registry | grep -qP '\tIcon\t#%%SystemRoot%\\system32\\shell32.dll,3\t' || fail "Registry Icon row"
row File | grep -qP "^it_s.txt\tIT_S.TXTCOMP\tit's.txt\t21\t" || fail "File row of it's.txt"
# A name outside code page 1252 makes a UTF-8 database, which msitools read as such.
row File | grep -qP "^__.bin\t__.BINCOMP\t日本.bin\t" || fail "File row of 日本.bin: $(row File | grep bin)"
[ "$(msiinfo export "$pkg" _ForceCodepage | tr -d '\r' | sed -n 3p | cut -f1)" = 65001 ] || fail "code page"
[ "$(msiinfo suminfo "$pkg" | grep -i '^Title' | sed 's/^[^:]*: *//')" = "CorvaneBT_1.2" ] || fail "summary title"

# The cabinet from _Streams, opened with gcab: every file byte for byte.
mkdir -p "$work/streams" "$work/cab"
(cd "$work/streams" && msidump -s "$pkg" >/dev/null) || fail "msidump -s"
cab=$(find "$work/streams" -name 'MSIProject.cab' | head -n1)
[ -s "$cab" ] || fail "no MSIProject.cab stream"
gcab -x -C "$work/cab" "$cab" >/dev/null || fail "gcab -x"
declare -A expect=(
  ["app.exe"]="App/app.exe" ["readme.txt"]="App/readme.txt" ["it_s.txt"]="App/Data/it's.txt"
  ["donn_es__.bin"]="App/Data/données ü.bin" ["__.bin"]="App/Data/日本.bin" ["readme.txt1"]="Other/readme.txt"
  ["README.TXT2"]="Other/Sub/README.TXT" ["settings.dat"]="App/settings.dat")
[ "$(gcab -l "$cab" | wc -l)" = "${#expect[@]}" ] || fail "cabinet holds $(gcab -l "$cab" | wc -l) files"
for name in "${!expect[@]}"; do
  cmp "$work/cab/$name" "$payload/${expect[$name]}" || fail "cabinet file $name"
done

# msiextract lays the files out by the Directory table.
msiextract -C "$work/extract" "$pkg" >/dev/null || fail "msiextract"
for name in "${!expect[@]}"; do
  rel=${expect[$name]}
  got=$(find "$work/extract" -path "*/$folder/$rel" | head -n1)
  [ -n "$got" ] && cmp "$got" "$payload/$rel" || fail "msiextract $rel"
done

# A fresh prefix of its own, as the install test of the template does.
export HOME="$work/home" WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe=d"
mkdir -p "$HOME"
bash "$source_dir/scripts/make-prefix.sh" "$prefix" >/dev/null 2>&1
export WINEPREFIX="$prefix" WINEARCH=win32 WINEDEBUG=-all
drive="$prefix/drive_c"
for link in "$drive"/users/*/*; do
  if [ -L "$link" ]; then rm "$link"; mkdir "$link"; fi
done
printf '[Old]\r\nGone=1\r\nKept=1\r\n' > "$drive/windows/corvane_old.ini"

wine msiexec /i "$(winpath "$pkg")" /qn /l*v "$(winpath "$work/install.log")" \
  || { iconv -f utf-16 -t utf-8 "$work/install.log" 2>/dev/null | tail -40 || true; fail "msiexec /i"; }

installed="$drive/Program Files/$folder"
for name in "${!expect[@]}"; do
  cmp "$installed/${expect[$name]}" "$payload/${expect[$name]}" || fail "installed ${expect[$name]}"
done

key="HKCU\\Software\\CorvaneTest\\$keyname"
# "<type> <data>" of one value as reg query prints it.
regq() { wine reg query "$key" "$@" 2>/dev/null | tr -d '\r' | grep -P '^    ' | head -n1 | sed -E 's/^    .*    (REG_[A-Z_]+)    (.*)$/\1 \2/'; }
[ "$(regq /v Path)" = 'REG_SZ C:\Program Files\'"$folder"'\App\bin' ] || fail "Path: $(regq /v Path)"
[ "$(regq /v Icon)" = 'REG_EXPAND_SZ %SystemRoot%\system32\shell32.dll,3' ] || fail "Icon: $(regq /v Icon)"
[ "$(regq /v Blob)" = 'REG_BINARY 0A0BFF' ] || fail "Blob: $(regq /v Blob)"
[ "$(regq /v Count)" = 'REG_DWORD 0xa' ] || fail "Count: $(regq /v Count)"
[ "$(regq /v Minus)" = 'REG_DWORD 0xffffffff' ] || fail "Minus: $(regq /v Minus)"
[ "$(regq /v List)" = 'REG_MULTI_SZ a\0b b\0c' ] || fail "List: $(regq /v List)"
[ "$(regq /v 'Say "hi"')" = "REG_SZ it's [literal]" ] || fail "Say \"hi\": $(regq /v 'Say "hi"')"
[ "$(regq /ve)" = 'REG_SZ default text' ] || fail "default value: $(regq /ve)"
[ "$(regq /v Hash)" = 'REG_SZ #not a number' ] || fail "Hash: $(regq /v Hash)"
[ "$(wine reg query "$key\\Sub" /v Mod 2>/dev/null | tr -d '\r' | grep -c 'REG_SZ    modified')" = 1 ] || fail "Sub\\Mod"
# The registry and INI components' key paths: values of their own below the product's key.
product_key="HKLM\\Software\\Corvane Test\\CorvaneBT"
for v in Registry IniFiles; do
  [ "$(wine reg query "$product_key" /v $v 2>/dev/null | tr -d '\r' | grep -c 'REG_SZ    1.2$')" = 1 ] \
    || fail "key path value $v"
done

ini_has() { tr -d '\r' < "$1" | grep -qxF "$2"; }
ini_has "$drive/windows/corvane_bt.ini" 'Mode=fast' || fail "INI Mode"
ini_has "$drive/windows/corvane_bt.ini" "Quote=it's on" || fail "INI Quote"
ini_has "$installed/App/app.ini" 'Key=v' || fail "INI in the application folder"
! ini_has "$drive/windows/corvane_old.ini" 'Gone=1' || fail "RemoveIniFile left Gone=1"
ini_has "$drive/windows/corvane_old.ini" 'Kept=1' || fail "RemoveIniFile removed Kept=1"
desktop_lnk=$(find "$drive/users" -path '*Desktop/Corvane BT.lnk' | head -n1)
[ -n "$desktop_lnk" ] || fail "no desktop shortcut"

product=$(row Property | awk -F'\t' '$1 == "ProductCode" { print $2 }')
wine msiexec /x "$product" /qn /l*v "$(winpath "$work/uninstall.log")" \
  || { iconv -f utf-16 -t utf-8 "$work/uninstall.log" 2>/dev/null | tail -40 || true; fail "msiexec /x"; }
# The modified file, value and INI entries existed before the setup: kept.
for name in "${!expect[@]}"; do
  if [ "$name" = settings.dat ]; then
    [ -e "$installed/${expect[$name]}" ] || fail "${expect[$name]} removed although it existed before the setup"
  else
    [ ! -e "$installed/${expect[$name]}" ] || fail "${expect[$name]} left behind"
  fi
done
[ "$(wine reg query "$key\\Sub" /v Mod 2>/dev/null | tr -d '\r' | grep -c 'REG_SZ    modified')" = 1 ] ||
  fail "Sub\\Mod removed although it existed before the setup"
ini_has "$installed/App/app.ini" 'Key=v' || fail "INI entry that existed before the setup removed"
[ -z "$(regq /v Path)" ] || fail "registry Path left behind"
[ -z "$(regq /v List)" ] || fail "registry List left behind"
! wine reg query "$product_key" /v Registry >/dev/null 2>&1 || fail "key path value left behind"
! ini_has "$drive/windows/corvane_bt.ini" 'Mode=fast' 2>/dev/null || fail "INI entry left behind"
[ ! -e "$desktop_lnk" ] || fail "desktop shortcut left behind"
echo "package built by CMSIHandler: tables, cabinet, install and removal ok"
