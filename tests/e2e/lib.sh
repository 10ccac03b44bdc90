# Shared steps of the end-to-end tests; sourced by each scenario script with
# the build folder as $1 and the scenario name in $SCENARIO.
# Every Wine prefix is private to the scenario, with its own HOME, and its
# wineserver is stopped when the script ends.
set -euo pipefail
E2E_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
BUILD=$(cd "${1:?build folder}" && pwd)
WORK="$BUILD/e2e/$SCENARIO"
CHECK="python3 $E2E_DIR/e2e_check.py"
EXPECT="$E2E_DIR/$SCENARIO.expect"
export WINEARCH=win32 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe=d"
failures=0
started_prefixes=()

stop_wineservers() {
  local p
  for p in "${started_prefixes[@]}"; do
    WINEPREFIX="$WORK/$p/pfx" wineserver -k >/dev/null 2>&1 || true
  done
}
trap stop_wineservers EXIT

rm -rf "$WORK"
mkdir -p "$WORK"

step() { echo "--- $*"; }
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
# Records a failed check without stopping, so one run lists every problem.
check() { "$@" || fail "$*"; }
not() { ! "$@"; }
finish() {
  if [ "$failures" -ne 0 ]; then
    echo "$SCENARIO: $failures check(s) failed"
    exit 1
  fi
  echo "$SCENARIO: all checks passed"
}

# new_prefix <name> [win64]: a fresh prefix in $WORK/<name>/pfx, 32-bit unless
# win64 is given. A 64-bit prefix runs the 32-bit program under WOW64, as
# 64-bit Windows does.
new_prefix() {
  mkdir -p "$WORK/$1/home"
  [ "${2:-win32}" = win64 ] && echo win64 >"$WORK/$1/arch"
  started_prefixes+=("$1")
  in_prefix "$1" wineboot -i >/dev/null 2>&1 </dev/null || true
  in_prefix "$1" wineserver -w
  [ -f "$WORK/$1/pfx/system.reg" ] || { echo "prefix $1 was not created"; exit 1; }
}

# in_prefix <name> <command...>: runs a command with that prefix and HOME.
in_prefix() {
  local name=$1 arch=win32
  shift
  [ -f "$WORK/$name/arch" ] && arch=$(cat "$WORK/$name/arch")
  (export WINEPREFIX="$WORK/$name/pfx" HOME="$WORK/$name/home" WINEARCH=$arch; "$@")
}

drive_c() { echo "$WORK/$1/pfx/drive_c"; }

# install_program <name>: the program and its data files in C:\corvane.
install_program() {
  mkdir -p "$(drive_c "$1")/corvane"
  cp "$BUILD"/bin/* "$(drive_c "$1")/corvane/"
}

# repackager <name> <arguments...>: runs the program from its own folder; its
# report goes to stdout and to $WORK/<name>/report.txt. Returns its exit code.
repackager() {
  local name=$1
  shift
  local rc=0
  (cd "$(drive_c "$name")/corvane" &&
    in_prefix "$name" wine 'C:\corvane\CorvaneRepackager.exe' "$@" </dev/null) >"$WORK/$name/report.raw" || rc=$?
  tr -d '\r' <"$WORK/$name/report.raw" | tee -a "$WORK/$name/report.txt"
  return $rc
}

# build_setup <script.nsi> <output.exe> [payload folder]
build_setup() {
  local payload=${3:-}
  makensis -V2 -INPUTCHARSET UTF8 ${payload:+"-DPAYLOAD=$payload"} "-DOUTFILE=$2" "$E2E_DIR/$1" >/dev/null
}

# check_package <package.msi> <capture prefix>: the tables against the
# expectation file, and every file of the cabinet byte for byte against the
# file the setup installed on the capture machine.
check_package() {
  local msi=$1 capture=$2
  step "package tables"
  check $CHECK msi-table "$msi" File 2 "$EXPECT" msi-files
  check $CHECK msi-table "$msi" Registry 1,2,3,4 "$EXPECT" msi-registry
  check $CHECK msi-table "$msi" IniFile 1,3,4,5,6 "$EXPECT" msi-ini
  check $CHECK msi-table "$msi" Shortcut "${SHORTCUT_COLUMNS:-2}" "$EXPECT" msi-shortcuts
  check $CHECK msi-table "$msi" Property 0,1 "$EXPECT" msi-product
  check_key_paths "$msi"
  # The cabinet, taken out of the package's _Streams table and opened with
  # gcab: it holds exactly the File keys, and each member equals the captured
  # file, whose size the File table carries.
  step "embedded cabinet"
  rm -rf "$WORK/streams" "$WORK/cabinet" "$WORK/extract"
  mkdir -p "$WORK/streams" "$WORK/cabinet" "$WORK/extract"
  (cd "$WORK/streams" && msidump -s "$msi" >/dev/null)
  msiinfo export "$msi" File | tail -n +4 | tr -d '\r' >"$WORK/file-rows.txt"
  if [ -s "$WORK/file-rows.txt" ]; then
    gcab -x -C "$WORK/cabinet" "$WORK/streams/_Streams/MSIProject.cab" >/dev/null
    (cd "$WORK/cabinet" && ls -A | sort) >"$WORK/cab-names.txt"
    cut -f1 "$WORK/file-rows.txt" | sort >"$WORK/file-keys.txt"
    check cmp "$WORK/cab-names.txt" "$WORK/file-keys.txt"
  fi
  local key component name size source
  while IFS=$'\t' read -r key component name size _; do
    source=$(find "$(drive_c "$capture")" -path '*/corvane' -prune -o -type f -name "$name" -print | head -1)
    [ -n "$source" ] || { fail "no captured file $name"; continue; }
    [ "$(stat -c %s "$source")" = "$size" ] || fail "File table size of $name is $size, the file has $(stat -c %s "$source")"
    check cmp "$WORK/cabinet/$key" "$source"
  done <"$WORK/file-rows.txt"
  # msiextract lays the files out by the Directory table: each must equal the
  # file the setup wrote, at the same place below the system drive.
  msiextract -C "$WORK/extract" "$msi" >/dev/null
  (cd "$WORK/extract" && find . -type f | sed 's|^\./||' | sort) >"$WORK/extracted.txt"
  check $CHECK lines "$WORK/extracted.txt" "$EXPECT" package-files
  local rel
  while read -r rel; do
    check cmp "$WORK/extract/$rel" "$(drive_c "$capture")/$rel"
  done <"$WORK/extracted.txt"
}

# install_and_check <package.msi> <capture prefix>: installs into a fresh
# prefix whose Program Files folder is C:\Apps (so paths must be translated),
# checks files, registry values and INI entries (and whatever $AFTER_INSTALL
# checks, given the prefix), uninstalls, checks they are gone but for the
# files of $KEPT_ON_REMOVAL (and whatever $AFTER_UNINSTALL checks).
install_and_check() {
  local msi=$1 capture=$2 target=target
  step "install into a fresh prefix"
  new_prefix $target
  in_prefix $target wine reg add 'HKLM\Software\Microsoft\Windows\CurrentVersion' /v ProgramFilesDir /d 'C:\Apps' /f >/dev/null
  [ -n "${PREPARE_TARGET:-}" ] && $PREPARE_TARGET $target
  cp "$msi" "$(drive_c $target)/package.msi"
  local rc=0
  in_prefix $target wine msiexec /i 'C:\package.msi' /qn /l*v 'C:\install.log' </dev/null || rc=$?
  check test "$rc" = 0
  local rel installed
  while read -r rel; do
    installed="$(drive_c $target)/${rel/#Program Files/Apps}"
    check cmp "$WORK/extract/$rel" "$installed"
  done <"$WORK/extracted.txt"
  [ -n "${AFTER_INSTALL:-}" ] && $AFTER_INSTALL $target
  export_keys $target installed
  check $CHECK reg-export "$WORK/installed.reg" "$EXPECT" installed-registry
  ini_entries $target >"$WORK/installed-ini.txt"
  check $CHECK lines "$WORK/installed-ini.txt" "$EXPECT" installed-ini

  step "uninstall"
  rc=0
  in_prefix $target wine msiexec /x 'C:\package.msi' /qn </dev/null || rc=$?
  check test "$rc" = 0
  # Files the target machine had before ($KEPT_ON_REMOVAL, one per line) stay.
  while read -r rel; do
    installed="$(drive_c $target)/${rel/#Program Files/Apps}"
    if grep -qxF "$rel" <<<"${KEPT_ON_REMOVAL:-}"; then
      [ -e "$installed" ] || fail "removed although the machine had it before: $installed"
    else
      [ ! -e "$installed" ] || fail "still there after uninstall: $installed"
    fi
  done <"$WORK/extracted.txt"
  export_keys $target uninstalled
  check $CHECK reg-export "$WORK/uninstalled.reg" "$EXPECT" uninstalled-registry
  ini_entries $target >"$WORK/uninstalled-ini.txt"
  check $CHECK lines "$WORK/uninstalled-ini.txt" "$EXPECT" uninstalled-ini
  [ -n "${AFTER_UNINSTALL:-}" ] && $AFTER_UNINSTALL $target
  return 0
}

# export_keys <prefix> <name>: every key of the scenario's [keys] section,
# exported with Wine's reg.exe into $WORK/<name>.reg (absent keys add nothing).
export_keys() {
  : >"$WORK/$2.reg"
  local key i=0
  while read -r key; do
    i=$((i + 1))
    rm -f "$(drive_c "$1")/export.reg"
    if in_prefix "$1" wine reg export "$key" 'C:\export.reg' /y >/dev/null 2>&1 </dev/null; then
      iconv -f UTF-16 -t UTF-8 "$(drive_c "$1")/export.reg" | tr -d '\r' >>"$WORK/$2.reg"
    fi
  done < <(python3 -c 'import sys; sys.path.insert(0, sys.argv[1]); import e2e_check as c; print("\n".join(c.expected(sys.argv[2], "keys")))' "$E2E_DIR" "$EXPECT")
}

# ini_entries <prefix>: "file|section|key=value" for every entry of the INI
# files of the scenario's [ini-files] section (paths below drive_c), in the
# sections the test setups write (Corvane*, General).
ini_entries() {
  local file
  while read -r file; do
    local path
    path="$(drive_c "$1")/${file/#Program Files/Apps}"
    [ -f "$path" ] || continue
    tr -d '\r' <"$path" | awk -v f="$file" '/^\[/{s=substr($0,2,length($0)-2); next} /=/ && s ~ /^(Corvane|General)/ {print f "|" s "|" $0}'
  done < <(python3 -c 'import sys; sys.path.insert(0, sys.argv[1]); import e2e_check as c; print("\n".join(c.expected(sys.argv[2], "ini-files")))' "$E2E_DIR" "$EXPECT")
}

# check_key_paths <package.msi>: every component has its key path, a file of
# its own or, for the registry and INI components, a registry value of its own.
check_key_paths() {
  local rows
  rows=$(msiinfo export "$1" Component | tail -n +4 | tr -d '\r')
  check test -n "$rows"
  check test -z "$(awk -F'\t' '$6 == ""' <<<"$rows")"
  check test "$(awk -F'\t' '$1 == "REGDIFFCOMP" {print $4 "|" $6}' <<<"$rows")" = '12|CorvaneKeyPathREGDIFFCOMP'
  check test "$(awk -F'\t' '$1 == "INIHANDLECOMP" {print $4 "|" $6}' <<<"$rows")" = '4|CorvaneKeyPathINIHANDLECOMP'
}

# check_package_rules <capture prefix>: the build's own check of its rows
# (written to the error log) found nothing: no invalid identifier, key path,
# component code or directory fault. Call it before another run of the program
# in the prefix starts a new error log.
check_package_rules() {
  local findings count
  findings=$(find "$(drive_c $1)" -name ErrorLog.txt -exec cat {} + 2>/dev/null | tr -d '\r' |
    grep -o 'CMSIHandler::CheckPackage: .*' || true)
  [ -z "$findings" ] || echo "$findings"
  # The count of the console report and the log lines agree.
  count=$( (grep -o 'The package check found [0-9]*' "$WORK/$1/report.txt" || true) | tail -n1 | awk '{print $5}')
  check test "${count:-0}" = "$(grep -c . <<<"$findings" || true)"
  check test -z "$findings"
}

# build_versioned_dll <out.dll> <a,b,c,d>: a DLL with nothing but an entry
# point and a version resource of that file version (language 1033), made
# with the cross toolchain.
build_versioned_dll() {
  local dir
  dir=$(mktemp -d "$WORK/dll.XXXXXX")
  cat >"$dir/version.rc" <<RC
#include <winver.h>
1 VERSIONINFO
FILEVERSION $2
PRODUCTVERSION $2
FILETYPE VFT_DLL
BEGIN
  BLOCK "StringFileInfo"
  BEGIN
    BLOCK "040904B0"
    BEGIN
      VALUE "FileVersion", "$(tr , . <<<"$2")"
    END
  END
  BLOCK "VarFileInfo"
  BEGIN
    VALUE "Translation", 0x0409, 1200
  END
END
RC
  echo 'int __stdcall DllEntry(void* a, unsigned b, void* c) { return 1; }' >"$dir/entry.c"
  i686-w64-mingw32-windres "$dir/version.rc" -O coff -o "$dir/version.o" &&
    i686-w64-mingw32-gcc -shared -nostdlib -Wl,-e,_DllEntry@12 -o "$1" "$dir/entry.c" "$dir/version.o"
  local rc=$?
  rm -rf "$dir"
  return $rc
}

# full_setup_payload <folder> <size of big.dat>: the files the full setup
# installs (full_setup.nsi), the same for every road that builds it.
full_setup_payload() {
  mkdir -p "$1"
  python3 - "$1" "$2" <<'PY'
import random, sys, os
d, big = sys.argv[1], int(sys.argv[2])
rnd = random.Random(11)
def put(name, data):
    open(os.path.join(d, name), "wb").write(data)
put("readme.txt", b"Corvane full test\r\n")
put("big.dat", bytes(rnd.getrandbits(8) for _ in range(big)))
put("scratch.tmp", b"scratch data\r\n")
put("nested.bin", bytes(range(256)) * 4)
put("accented.txt", "accented name: résumé\r\n".encode("utf-8"))
put("quoted.txt", b"quote in the name\r\n")
PY
}
