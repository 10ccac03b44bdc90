#!/usr/bin/env bash
# 64-bit Windows: the program runs under WOW64 in 64-bit prefixes. A setup
# that writes both Program Files folders, both system folders (the same file
# name in each) and both registry views is captured with -capture; its x64
# package puts every item back in its own place in a fresh 64-bit prefix, once,
# and takes it all away again. A plain 32-bit setup captured there gives an
# Intel package that installs there as well.
#   bash x64_setup.sh <build folder>
SCENARIO=x64_setup
source "$(dirname "$0")/lib.sh"

step "build the setups"
makensis -V2 "-DOUTFILE=$WORK/wide.exe" "$E2E_DIR/x64_setup.nsi" >/dev/null
makensis -V2 -DPLAIN32 "-DOUTFILE=$WORK/narrow.exe" "$E2E_DIR/x64_setup.nsi" >/dev/null

step "two fresh 64-bit prefixes"
# The install target is made meanwhile: a prefix takes half a minute.
new_prefix target win64 >"$WORK/target-boot.log" 2>&1 &
target_boot=$!
new_prefix capture win64
started_prefixes+=(target)
install_program capture
cp "$WORK/wide.exe" "$WORK/narrow.exe" "$(drive_c capture)/"

step "redirection guard under WOW64"
mkdir -p "$(drive_c capture)/tests"
cp "$BUILD/tests/common_tests.exe" "$(drive_c capture)/tests/"
check in_prefix capture wine 'C:\tests\common_tests.exe' --gtest_filter='Wow64.*:RegistryViews.*' </dev/null >"$WORK/unit.txt" 2>&1
check grep -q '^\[  PASSED  \] 2 tests' "$WORK/unit.txt"
check not grep -q SKIPPED "$WORK/unit.txt"

# capture <setup> <name>: the setup captured with -capture in the capture prefix.
capture() {
  local rc=0
  repackager capture -capture "C:\\$1" '-Path=C:\out' "-Name=$2" -Version=1.0 -Company=Corvane || rc=$?
  [ "$rc" = 0 ] || fail "capture of $1: exit code $rc"
}

# package_checks <name> <section suffix>: project file and tables against the expectations.
package_checks() {
  local msi="$(drive_c capture)/out/Packages/$1.msi"
  check $CHECK project "$(drive_c capture)/out/Packages/$1_1.0.xml" "$EXPECT" "project-$2"
  check $CHECK msi-table "$msi" File 1,2 "$EXPECT" "msi-files-$2"
  check $CHECK msi-table "$msi" Component 0,2,3 "$EXPECT" "msi-components-$2"
  [ "$2" = wide ] && check $CHECK msi-table "$msi" Directory 0,1,2 "$EXPECT" "msi-directories-$2"
  [ "$2" = wide ] && check $CHECK msi-table "$msi" MsiFileHash 0,2,3,4,5 "$EXPECT" "msi-hashes-$2"
  check $CHECK msi-table "$msi" Registry 1,2,3,4,5 "$EXPECT" "msi-registry-$2"
  msiinfo suminfo "$msi" | grep -i '^template' | tr -d '\r' >"$WORK/template-$2.txt"
  check $CHECK lines "$WORK/template-$2.txt" "$EXPECT" "template-$2"
  cp "$msi" "$WORK/$1.msi"
}

# installed_state <file>: the scenario's files (path|content) and values
# (view|key|name|data) in the target prefix.
installed_state() {
  local c
  c=$(drive_c target)
  (cd "$c" && find . \( -name 'app.txt' -o -name 'corvane-*.dll' \) -type f | sed 's|^\./||' | sort |
    while read -r rel; do echo "$rel|$(cat "$rel")"; done) >"$1"
  local view key
  for view in 64 32; do
    for key in 'HKLM\Software\CorvaneWide' 'HKLM\Software\CorvaneNarrow' 'HKCU\Software\CorvaneWide' \
               'HKCU\Software\CorvaneNarrow' 'HKLM\Software\Classes\CLSID\{C0C0A000-0000-4000-8000-00000000C064}' \
               'HKLM\Software\Microsoft\Windows\CurrentVersion\App Paths\corvane-narrow.exe'; do
      in_prefix target wine reg query "$key" /reg:$view </dev/null 2>/dev/null | tr -d '\r' |
        awk -v v="$view" -v k="$key" '/^    / {d=$3; for (i = 4; i <= NF; i++) d = d " " $i; print v "|" k "|" $1 "|" d}' || true
    done
  done >>"$1"
}

# install_checks <name> <section suffix>: install, check, uninstall, check.
install_checks() {
  cp "$WORK/$1.msi" "$(drive_c target)/$1.msi"
  local rc=0
  in_prefix target wine msiexec /i "C:\\$1.msi" /qn /l*v "C:\\install-$1.log" </dev/null || rc=$?
  check test "$rc" = 0
  installed_state "$WORK/installed-$2.txt"
  check $CHECK lines "$WORK/installed-$2.txt" "$EXPECT" "installed-$2"
  rc=0
  in_prefix target wine msiexec /x "C:\\$1.msi" /qn </dev/null || rc=$?
  check test "$rc" = 0
  installed_state "$WORK/uninstalled-$2.txt"
  check $CHECK lines "$WORK/uninstalled-$2.txt" "$EXPECT" "uninstalled"
}

step "capture the 64-bit application"
capture wide.exe CorvaneWide
check grep -q '^Package platform: x64\.$' "$WORK/capture/report.txt"
package_checks CorvaneWide wide

step "capture the 32-bit application in the same prefix"
capture narrow.exe CorvaneNarrow
check grep -q '^Package platform: Intel\.$' "$WORK/capture/report.txt"
package_checks CorvaneNarrow narrow

wait $target_boot || { cat "$WORK/target-boot.log"; fail "the target prefix was not created"; finish; }
step "install the x64 package into the fresh 64-bit prefix"
install_checks CorvaneWide wide
step "install the Intel package there"
install_checks CorvaneNarrow narrow
finish
