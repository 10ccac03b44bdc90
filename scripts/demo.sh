#!/usr/bin/env bash
# The main job end to end: builds the sample setup of examples/, repackages it
# with `-capture` in a private Wine prefix, and installs the package into a
# second, fresh prefix. Everything is left in <build>/demo.
#   bash scripts/demo.sh <build folder>
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-build}" && pwd)
demo="$build/demo"
export WINEARCH=win32 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe=d"
started=()
trap 'for p in "${started[@]}"; do WINEPREFIX="$demo/$p/pfx" wineserver -k >/dev/null 2>&1 || true; done' EXIT

in_prefix() { local n=$1; shift; (export WINEPREFIX="$demo/$n/pfx" HOME="$demo/$n/home"; "$@"); }
new_prefix() {
  mkdir -p "$demo/$1/home"
  started+=("$1")
  in_prefix "$1" wineboot -i >/dev/null 2>&1 </dev/null || true
  in_prefix "$1" wineserver -w
}

rm -rf "$demo"
mkdir -p "$demo/payload"
echo "Corvane demo: output in $demo"

printf 'Corvane Demo\r\n' >"$demo/payload/readme.txt"
printf 'Release notes of the demo application.\r\n' >"$demo/payload/notes.txt"
makensis -V2 -INPUTCHARSET UTF8 "-DPAYLOAD=$demo/payload" "-DOUTFILE=$demo/demo-setup.exe" \
  "$source_dir/examples/demo-setup.nsi" >/dev/null
echo "1. Sample setup built from examples/demo-setup.nsi: $demo/demo-setup.exe"

new_prefix capture
c="$demo/capture/pfx/drive_c"
# Wine links the profile's Desktop to HOME, which the snapshot walk does not go
# through; as on Windows, it is a folder here, so the desktop shortcut is seen.
rm -f "$c/users/$(whoami)/Desktop"
mkdir -p "$c/users/$(whoami)/Desktop"
mkdir -p "$c/corvane"
cp "$build"/bin/* "$c/corvane/"
cp "$demo/demo-setup.exe" "$c/"
echo "2. Repackaging in a private Wine prefix ($demo/capture/pfx):"
echo "   CorvaneRepackager.exe -capture C:\\demo-setup.exe -Path=C:\\out -Name=CorvaneDemo -Version=1.0 -Company=Corvane"
rc=0
(cd "$c/corvane" && in_prefix capture wine 'C:\corvane\CorvaneRepackager.exe' -capture 'C:\demo-setup.exe' \
  '-Path=C:\out' -Name=CorvaneDemo -Version=1.0 -Company=Corvane </dev/null) | tr -d '\r' >"$demo/capture-report.txt" || rc=$?
sed 's/^/   | /' "$demo/capture-report.txt"
[ "$rc" = 0 ] || { echo "   The capture failed (exit code $rc); see $c/corvane/ErrorLog.txt"; exit 1; }
cp "$c/out/Packages/CorvaneDemo_1.0.xml" "$c/out/Packages/CorvaneDemo.msi" "$demo/"
project="$demo/CorvaneDemo_1.0.xml"
msi="$demo/CorvaneDemo.msi"

echo "3. Captured (from the project file):"
python3 - "$project" <<'PY'
import sys, xml.etree.ElementTree as ET
root = ET.parse(sys.argv[1]).getroot()
for d in root.findall("FileSystem/AddedItems/DirectoryList/Directory"):
    for f in d.findall("File"):
        print(f"   file      {d.get('Name')}\\{f.get('Name')}")
for k in root.findall("RegistrySystem/AddedItems/SubKeyList/SubKey"):
    for v in k.findall("Value"):
        print(f"   registry  {k.get('Name')}  {v.get('Name')} ({v.get('Type')})")
for i in root.findall("INIFileSystem/*/FileList/File"):
    for s in i.findall("Section"):
        print(f"   INI       {i.get('Name')}  [{s.get('Name')}] {s.get('Key')}={s.get('Value')}")
for s in root.findall("ShortcutList/Shortcut"):
    print(f"   shortcut  {s.get('Directory')}  {s.get('Name')} -> {s.get('ExeName')}")
PY
echo "   (the desktop shortcut .lnk becomes a shortcut of the package, not a file)"
echo "4. Project file: $project"
echo "   Package:      $msi ($(stat -c %s "$msi") bytes)"
echo "   Rows of the main tables (msiinfo export):"
for t in Directory Component File Registry IniFile Shortcut Property Media; do
  printf '     %-10s %s\n' "$t" "$(msiinfo export "$msi" "$t" | tail -n +4 | grep -c . || true)"
done

new_prefix target
cp "$msi" "$demo/target/pfx/drive_c/CorvaneDemo.msi"
rc=0
in_prefix target wine msiexec /i 'C:\CorvaneDemo.msi' /qn </dev/null || rc=$?
echo "5. msiexec /i into a fresh prefix ($demo/target/pfx): exit code $rc"
t="$demo/target/pfx/drive_c/Program Files/Corvane Demo"
for f in readme.txt Docs/notes.txt uninstall.exe; do
  if cmp -s "$t/$f" "$c/Program Files/Corvane Demo/$f"; then echo "   installed, same bytes: C:\\Program Files\\Corvane Demo\\${f//\//\\}"
  else echo "   MISSING OR DIFFERENT: $f"; rc=1; fi
done
in_prefix target wine reg query 'HKLM\Software\Corvane Demo' </dev/null 2>/dev/null | tr -d '\r' | grep REG_ | sed 's/^ */   HKLM\\Software\\Corvane Demo  /' || rc=1
in_prefix target wine reg query 'HKCU\Software\Corvane Demo' </dev/null 2>/dev/null | tr -d '\r' | grep REG_ | sed 's/^ */   HKCU\\Software\\Corvane Demo  /' || rc=1
grep -q '^Language=en' "$t/demo.ini" 2>/dev/null && echo "   INI entry: demo.ini [Settings] Language=en" || { echo "   INI entry MISSING"; rc=1; }
link=$(cd "$demo/target/pfx/drive_c" && find -L users -iname 'Corvane Demo.lnk' 2>/dev/null | grep -i '/Desktop/' | head -1 || true)
[ -n "$link" ] && echo "   shortcut: C:\\${link//\//\\}" || { echo "   desktop shortcut MISSING"; rc=1; }
[ "$rc" = 0 ] && echo "Demo finished: everything is in $demo" || { echo "Demo finished with problems: see $demo"; exit 1; }
