#!/usr/bin/env bash
# Version 2 replaces version 1: two setups of one application are captured
# (each on a machine without the other),
# and on a fresh machine the 1.0 package is installed, then the 2.0 package;
# the older package is then refused, and removing 2.0 leaves nothing.
#   bash upgrade.sh <build folder>
SCENARIO=upgrade
source "$(dirname "$0")/lib.sh"

step "build the setups"
# 1.0 also brings two shared DLLs of version 2.0.0.0; the target machine will
# already have a newer high.dll and an older low.dll.
build_versioned_dll "$WORK/high.dll" 2,0,0,0 || fail "cannot build a versioned DLL"
cp "$WORK/high.dll" "$WORK/low.dll"
build_versioned_dll "$WORK/high-newer.dll" 3,0,0,0 || fail "cannot build a versioned DLL"
build_versioned_dll "$WORK/low-older.dll" 1,0,0,0 || fail "cannot build a versioned DLL"
for v in 1 2; do
  mkdir -p "$WORK/payload$v"
  # Both versions' common file has the same size: the package's file hash,
  # not the size, tells the installer that it differs. makensis keeps the
  # files' times; 2.0's is a day later.
  printf 'common file of version %s.0\r\n' $v >"$WORK/payload$v/common.txt"
  touch -d "2024-01-0$v 12:00" "$WORK/payload$v/common.txt"
  printf 'only in version %s.0\r\n' $v >"$WORK/payload$v/only$v.txt"
  dlls=()
  [ $v = 1 ] && dlls=("-DDLLS=$WORK")
  makensis -V2 -INPUTCHARSET UTF8 "-DPAYLOAD=$WORK/payload$v" "-DOUTFILE=$WORK/setup$v.exe" "-DVERSION=$v" \
    "${dlls[@]}" "$E2E_DIR/upgrade_setup.nsi" >/dev/null
done
check test "$(stat -c %s "$WORK/payload1/common.txt")" = "$(stat -c %s "$WORK/payload2/common.txt")"

step "capture 1.0, then 2.0 on the same machine without 1.0"
new_prefix capture
install_program capture
cp "$WORK/setup1.exe" "$WORK/setup2.exe" "$(drive_c capture)/"
rc=0
repackager capture -capture 'C:\setup1.exe' '-Path=C:\out1' -Name=CorvaneUpgrade -Version=1.0 -Company=Corvane || rc=$?
[ "$rc" = 0 ] || { fail "capture of 1.0: exit code $rc"; finish; }
# 1.0 goes before 2.0 is captured, as on a clean machine: what 1.0 left would
# count as the machine's own, which removal of 2.0 keeps.
rm -rf "$(drive_c capture)/Program Files/Corvane Upgrade"
in_prefix capture wine reg delete 'HKLM\Software\CorvaneUpgrade' /f </dev/null >/dev/null 2>&1 || true
# The version text of 2.0 is not an installer version: the package says 2.0.
rc=0
repackager capture -capture 'C:\setup2.exe' '-Path=C:\out2' -Name=CorvaneUpgrade '-Version=2.0 final' -Company=corvane || rc=$?
[ "$rc" = 0 ] || { fail "capture of 2.0: exit code $rc"; finish; }
check grep -q 'The version "2.0 final" is written as ProductVersion 2.0.' "$WORK/capture/report.txt"
msi1="$(drive_c capture)/out1/Packages/CorvaneUpgrade.msi"
msi2="$(drive_c capture)/out2/Packages/CorvaneUpgrade.msi"
project2="$(drive_c capture)/out2/Packages/CorvaneUpgrade_2.0 final.xml"
check test -f "$msi1"
check test -f "$msi2"

step "packages"
property() { msiinfo export "$1" Property | tr -d '\r' | awk -F'\t' -v p="$2" '$1 == p {print $2}'; }
component_id() { msiinfo export "$1" Component | tr -d '\r' | awk -F'\t' -v c="$2" '$1 == c {print $2}'; }
upgrade1=$(property "$msi1" UpgradeCode)
upgrade2=$(property "$msi2" UpgradeCode)
product1=$(property "$msi1" ProductCode)
product2=$(property "$msi2" ProductCode)
echo "UpgradeCode $upgrade1 / $upgrade2, ProductCode $product1 / $product2"
# The company name differs in case only: the same product.
check test -n "$upgrade1"
check test "$upgrade1" = "$upgrade2"
check test "$product1" != "$product2"
check test "$(property "$msi2" ProductVersion)" = 2.0
# The project file names the code, so that a user can pin it.
check grep -q "UpgradeCode=\"$upgrade2\"" "$project2"
# The same file in the same place keeps its component code.
check test -n "$(component_id "$msi1" COMMON.TXTCOMP)"
check test "$(component_id "$msi1" COMMON.TXTCOMP)" = "$(component_id "$msi2" COMMON.TXTCOMP)"
check test "$(component_id "$msi1" REGDIFFCOMP)" = "$(component_id "$msi2" REGDIFFCOMP)"
check $CHECK msi-table "$msi2" File 2 "$EXPECT" msi-files-2
check $CHECK msi-table "$msi2" Upgrade 0,1,2,4,6 "$EXPECT" msi-upgrade-2
# A versioned file carries its version and languages; an unversioned one a
# hash instead (the sum msitools keeps is not compared here: msi.dll made it).
check $CHECK msi-table "$msi1" File 2,4,5 "$EXPECT" msi-files-1
hashed() { msiinfo export "$1" MsiFileHash | tail -n +4 | tr -d '\r' | cut -f1 | sort | tr '\n' ' '; }
check test "$(hashed "$msi1")" = 'common.txt only1.txt '
check test "$(hashed "$msi2")" = 'common.txt only2.txt '
check_key_paths "$msi1"
check_key_paths "$msi2"
check_package_rules capture

new_prefix target
cp "$msi1" "$(drive_c target)/v1.msi"
cp "$msi2" "$(drive_c target)/v2.msi"
app="$(drive_c target)/Program Files/Corvane Upgrade"
msiexec_rc() {
  local rc=0
  in_prefix target wine msiexec "$@" </dev/null || rc=$?
  echo $rc
}
registered() { in_prefix target wine reg query "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$1" >/dev/null 2>&1 </dev/null; }

step "install 1.0"
# The machine already has a newer high.dll and an older low.dll: the newer
# one is kept, the older one replaced by the package's. It also has a
# common.txt of the same size but other content, which the package's file
# hash tells apart (the sizes alone would keep it).
mkdir -p "$app"
cp "$WORK/high-newer.dll" "$app/high.dll"
cp "$WORK/low-older.dll" "$app/low.dll"
cp "$WORK/payload2/common.txt" "$app/common.txt"
check test "$(msiexec_rc /i 'C:\v1.msi' /qn /l*v 'C:\install1.log')" = 0
check cmp "$WORK/payload1/common.txt" "$app/common.txt"
check cmp "$WORK/payload1/only1.txt" "$app/only1.txt"
check cmp "$WORK/high-newer.dll" "$app/high.dll"
check cmp "$WORK/low.dll" "$app/low.dll"
check registered "$product1"
export_keys target installed1
check $CHECK reg-export "$WORK/installed1.reg" "$EXPECT" registry-1

step "install 2.0 over it"
check test "$(msiexec_rc /i 'C:\v2.msi' /qn /l*v 'C:\install2.log')" = 0
check grep -aq "PREVIOUSVERSIONSINSTALLED = $product1" "$(drive_c target)/install2.log"
check not registered "$product1"
check registered "$product2"
check cmp "$WORK/payload2/common.txt" "$app/common.txt"
check cmp "$WORK/payload2/only2.txt" "$app/only2.txt"
check test ! -e "$app/only1.txt"
export_keys target installed2
check $CHECK reg-export "$WORK/installed2.reg" "$EXPECT" registry-2

step "1.0 again is refused"
rc=$(msiexec_rc /i 'C:\v1.msi' /qn /l*v 'C:\downgrade.log')
check test "$rc" != 0
# Refused by the package's own check, which found 2.0.
check grep -aq "NEWERVERSIONDETECTED = $product2" "$(drive_c target)/downgrade.log"
check not registered "$product1"
check registered "$product2"
check cmp "$WORK/payload2/common.txt" "$app/common.txt"
check cmp "$WORK/payload2/only2.txt" "$app/only2.txt"
check test ! -e "$app/only1.txt"
export_keys target refused
check $CHECK reg-export "$WORK/refused.reg" "$EXPECT" registry-2

step "remove 2.0"
check test "$(msiexec_rc /x 'C:\v2.msi' /qn)" = 0
check not registered "$product2"
for f in common.txt only1.txt only2.txt; do
  check test ! -e "$app/$f"
done
export_keys target removed
check $CHECK reg-export "$WORK/removed.reg" "$EXPECT" registry-removed
finish
