#!/usr/bin/env bash
# Unattended capture of a setup that installs every kind of item, then the
# project file, the package and an install/uninstall on a fresh machine.
#   bash full_setup.sh <build folder>
SCENARIO=full_setup
source "$(dirname "$0")/lib.sh"

step "build the setup"
payload="$WORK/payload"
full_setup_payload "$payload" $((1536 * 1024 + 7))
build_setup full_setup.nsi "$WORK/full-setup.exe" "$payload"

step "capture"
new_prefix capture
install_program capture
# An entry of win.ini that the setup changes.
printf '[CorvaneFull]\r\nInstalled=no\r\n' >>"$(drive_c capture)/windows/win.ini"
cp "$WORK/full-setup.exe" "$(drive_c capture)/"
rc=0
repackager capture -capture 'C:\full-setup.exe' '-Path=C:\out' -Name=CorvaneFull -Version=1.0 -Company=Corvane || rc=$?
[ "$rc" = 0 ] || { fail "capture exit code $rc"; finish; }
project="$(drive_c capture)/out/Packages/CorvaneFull_1.0.xml"
msi="$(drive_c capture)/out/Packages/CorvaneFull.msi"
check test -f "$project"
check test -f "$msi"

step "what the setup left on the capture machine"
# The shortcut and the scratch file exist: the capture saw them, the project
# file and the package must leave them out.
check test -f "$(drive_c capture)/Program Files/Corvane Full/App/scratch.tmp"
check test -f "$(drive_c capture)/users/$(whoami)/Desktop/Corvane Full.lnk"

step "project file"
check $CHECK project "$project" "$EXPECT" project
check grep -q 'Files: 6 added, 0 modified, 0 deleted.' "$WORK/capture/report.txt"
check grep -q 'Registry values: 14 added, 0 modified, 0 deleted.' "$WORK/capture/report.txt"
check grep -q 'INI entries: 2 added, 1 modified, 0 deleted.' "$WORK/capture/report.txt"

check_package_rules capture
check_package "$msi" capture
install_and_check "$msi" capture
finish
