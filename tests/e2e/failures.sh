#!/usr/bin/env bash
# The roads around a capture that go wrong, through the real command line: a
# setup that cannot start, one that fails or takes too long, a product name
# that is a path, a project file that cannot be written and snapshots that
# were cut short. No capture is lost, no failure reports success, nothing is
# written outside the output folder.
#   bash failures.sh <build folder>
SCENARIO=failures
source "$(dirname "$0")/lib.sh"

# fail_setup <exe name> <makensis defines...>
fail_setup() {
  local exe=$1
  shift
  makensis -V2 -INPUTCHARSET UTF8 "-DOUTFILE=$WORK/$exe" "$@" "$E2E_DIR/failure_setup.nsi" >/dev/null
  cp "$WORK/$exe" "$(drive_c capture)/"
}
ini() { echo "$(drive_c capture)/corvane/CorvaneRepackager.ini"; }
pending() { grep -q '^IsSnapshotTaken=1' "$(ini)"; }
reported() { grep -qF -- "$1" "$WORK/capture/report.raw"; }
run() {
  rc=0
  repackager capture "$@" || rc=$?
}
files_of() { msiinfo export "$1" File | tail -n +4 | cut -f3 | tr -d '\r' | sort | tr '\n' ' '; }

new_prefix capture
install_program capture
# The captures cover Program Files and one registry tree: the roads, not the
# noise of a whole machine, are tested here.
cat >"$(drive_c capture)/corvane/DefaultIncludeExclude.xml" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<IncludeExclude>
  <FileSystem><IncludedItems><IncludedEntry Name="%PROGRAMFILES%"/></IncludedItems><ExcludedItems/></FileSystem>
  <RegistrySystem><IncludedItems><IncludedEntry Name="HKEY_LOCAL_MACHINE\Software\CorvaneFailures"/>
  </IncludedItems><ExcludedItems/></RegistrySystem>
</IncludeExclude>
XML
in_prefix capture wine reg add 'HKLM\Software\CorvaneFailures' /v Seed /d 1 /f >/dev/null
product='-Name=Fail -Version=1 -Company=Corvane'

step "a setup that is not a program"
printf 'not a program' >"$(drive_c capture)/broken.exe"
run -capture 'C:\broken.exe' '-Path=C:\out1' $product
check test "$rc" = 1
check reported 'The setup could not be started'
check reported 'The first snapshot is discarded'
check not pending
check test ! -e "$(drive_c capture)/out1/Packages/Fail.msi"

step "a setup that fails after installing half"
fail_setup fail1603.exe -DMARK=half.txt -DEXITCODE=1603
run -capture 'C:\fail1603.exe' '-Path=C:\out2' $product
check test "$rc" = 1
check reported 'Exit code 1603 reports a failed setup'
check reported '-resume -Path="C:\out2"'
check pending
check test ! -e "$(drive_c capture)/out2/Packages/Fail.msi"
step "the administrator judges it good and resumes"
run -resume '-Path=C:\out2'
check test "$rc" = 0
check test "$(files_of "$(drive_c capture)/out2/Packages/Fail.msi")" = "half.txt "
check not pending

step "a setup still running at the time limit"
fail_setup slow.exe -DMARK=slow.txt -DSLEEP=100000
run -capture 'C:\slow.exe' '-Path=C:\out3' $product -Timeout=1
check test "$rc" = 1
check reported 'The setup was still running after 1 minute (-Timeout=): slow.exe ('
check pending
check test ! -e "$(drive_c capture)/out3/Packages/Fail_1.xml"

step "a product name that is a path"
fail_setup evil.exe -DMARK=evil.txt '-DPRODUCTNAME=..\..\..\windows\evil'
run -capture 'C:\evil.exe' '-Path=C:\out4' '-File=..\..\evil.msi'
check test "$rc" = 2
check pending
# The output folder does not exist yet, nor does its parent.
run -capture 'C:\evil.exe' '-Path=C:\new\out4'
check test "$rc" = 0
check reported 'An earlier capture was pending; it is discarded.'
check test -f "$(drive_c capture)/new/out4/Packages/.._.._.._windows_evil.msi"
check test -f "$(drive_c capture)/new/out4/Packages/.._.._.._windows_evil_1.0.xml"
check test ! -e "$(drive_c capture)/windows/evil.msi"
check test ! -e "$(drive_c capture)/windows/evil_1.0.xml"

step "a project file that cannot be written (a folder has its name)"
fail_setup project.exe -DMARK=project.txt
mkdir -p "$(drive_c capture)/nx/deeper/out/Packages/Fail_1.xml"
run -capture 'C:\project.exe' '-Path=C:\nx\deeper\out' $product
check test "$rc" = 1
check reported 'The project file could not be written to C:\nx\deeper\out\Packages\Fail_1.xml'
check pending
check test -n "$(find "$(drive_c capture)/users" -path '*/SnapShot/FileSystemDir/FirstSnapShot.txt')"
step "mended, the capture is resumed"
rmdir "$(drive_c capture)/nx/deeper/out/Packages/Fail_1.xml"
run -resume '-Path=C:\nx\deeper\out'
check test "$rc" = 0
check test -f "$(drive_c capture)/nx/deeper/out/Packages/Fail_1.xml"
check test "$(files_of "$(drive_c capture)/nx/deeper/out/Packages/Fail.msi")" = "project.txt "

step "snapshots cut short are never compared"
for damaged in FileSystemDir/FirstSnapShot.txt RegSystemDir/FirstSnapShot/RegSnapShot0.reg; do
  run -snapshot '-Path=C:\out5' $product
  check test "$rc" = 0
  file=$(find "$(drive_c capture)/users" -path "*/SnapShot/$damaged" | head -n1)
  [ -n "$file" ] || { fail "no $damaged"; continue; }
  size=$(stat -c %s "$file")
  # Cut at a record boundary (the file side's records are 1060 bytes), or in half.
  if [ "${damaged##*.}" = txt ]; then keep=$(( (size / 1060 - 1) * 1060 )); else keep=$(( size / 2 )); fi
  truncate -s "$keep" "$file"
  run -resume '-Path=C:\out5'
  check test "$rc" = 1
  check reported 'The first snapshot is damaged or incomplete'
  check pending
  check test ! -e "$(drive_c capture)/out5/Packages/Fail.msi"
done
finish
