#!/usr/bin/env bash
# A capture in the wizard whose second snapshot fails: wizard_road.exe runs the
# real setup from the Launch Setup page, then the second snapshot's file
# cannot be written; the page reports it and stays, and Cancel closes the
# wizard with the capture pending. The command line's -resume then takes the
# second snapshot again and finishes the capture into a package, which is
# installed on a fresh machine.
#   bash wizard_resume.sh <build folder>
SCENARIO=wizard_resume
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/wizard_prefix.sh"
build_full_setup

step "capture in the wizard, the second snapshot fails"
prepare capture
wizard_road capture ASecondSnapshotThatFailsLeavesTheCapturePending
check grep -q '^PENDING' "$WORK/capture/road.txt"
ini="$(drive_c capture)/corvane/CorvaneRepackager.ini"
check grep -q '^IsSnapshotTaken=1' <(tr -d '\r' <"$ini")
check test ! -e "$(drive_c capture)/out/Packages/CorvaneFull.msi"

step "resume on the command line"
repackager capture -resume '-Path=C:\out' || fail "resume exit code $?"
check grep -q 'Resuming the capture of CorvaneFull 1.0' "$WORK/capture/report.txt"
check not grep -q '^IsSnapshotTaken' <(tr -d '\r' <"$ini")
msi="$(drive_c capture)/out/Packages/CorvaneFull.msi"
check test -f "$msi"
check test -f "$(drive_c capture)/out/Packages/CorvaneFull_1.0.xml"
# What the setup installed is in the package, and only once.
msiinfo export "$msi" File | tail -n +4 | cut -f3 | tr -d '\r' | sed 's/.*|//' | sort >"$WORK/files.txt"
cat "$WORK/files.txt"
for name in readme.txt big.dat nested.bin uninstall.exe; do
  check test "$(grep -cx "$name" "$WORK/files.txt")" = 1
done
check test "$(msiinfo export "$msi" Registry | tail -n +4 | cut -f4 | tr -d '\r' | grep -cx 'Build')" = 1

step "install the package on a fresh machine"
new_prefix target
cp "$msi" "$(drive_c target)/package.msi"
rc=0
in_prefix target wine msiexec /i 'C:\package.msi' /qn /l*v 'C:\install.log' </dev/null || rc=$?
check test "$rc" = 0
installed="$(drive_c target)/Program Files/Corvane Full/App"
check cmp "$installed/readme.txt" "$(drive_c capture)/Program Files/Corvane Full/App/readme.txt"
check cmp "$installed/big.dat" "$(drive_c capture)/Program Files/Corvane Full/App/big.dat"
check test "$(in_prefix target wine reg query 'HKLM\Software\CorvaneFull\App' /v Build 2>/dev/null </dev/null |
  tr -d '\r' | grep -c 0x1234)" = 1
finish
