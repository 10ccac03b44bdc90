#!/usr/bin/env bash
# A capture split by a restart: -snapshot, the setup (an update that adds,
# rewrites and deletes), a restart of the machine, -resume in a new process.
#   bash update_setup.sh <build folder>
SCENARIO=update_setup
source "$(dirname "$0")/lib.sh"

step "build the setup"
payload="$WORK/payload"
mkdir -p "$payload"
printf 'new config\r\nlevel=2\r\n' >"$payload/config.txt"
head -c 70000 /dev/urandom >"$payload/plugin.dll"
build_setup update_setup.nsi "$WORK/update-setup.exe" "$payload"

step "the installed application the update replaces"
new_prefix capture
install_program capture
legacy="$(drive_c capture)/Program Files/Corvane Legacy"
mkdir -p "$legacy"
printf 'old config\r\n' >"$legacy/config.txt"
printf 'obsolete\r\n' >"$legacy/old.txt"
in_prefix capture wine reg add 'HKLM\Software\CorvaneLegacy\Obsolete' /v Flag /t REG_DWORD /d 1 /f >/dev/null
in_prefix capture wine reg add 'HKLM\Software\CorvaneLegacy\Settings' /v Level /t REG_DWORD /d 1 /f >/dev/null
printf '[CorvaneLegacy]\r\nMode=old\r\n' >>"$(drive_c capture)/windows/win.ini"
cp "$WORK/update-setup.exe" "$(drive_c capture)/"

step "first snapshot"
rc=0
repackager capture -snapshot '-Path=C:\out' -Name=CorvaneUpdate -Version=2.0 -Company=Corvane || rc=$?
[ "$rc" = 0 ] || { fail "-snapshot exit code $rc"; finish; }
check grep -q '^IsSnapshotTaken=1' "$(drive_c capture)/corvane/CorvaneRepackager.ini"

step "the setup, then a restart"
in_prefix capture wine 'C:\update-setup.exe' </dev/null
# A restart: every Windows process of the machine ends, and it boots again.
in_prefix capture wineserver -k
in_prefix capture wineserver -w
in_prefix capture wineboot -r >/dev/null 2>&1 </dev/null || true
check test ! -e "$legacy/old.txt"

step "resume in a new process"
rc=0
repackager capture -resume '-Path=C:\out' || rc=$?
[ "$rc" = 0 ] || { fail "-resume exit code $rc"; finish; }
project="$(drive_c capture)/out/Packages/CorvaneUpdate_2.0.xml"
msi="$(drive_c capture)/out/Packages/CorvaneUpdate.msi"
check test -f "$msi"
check $CHECK project "$project" "$EXPECT" project
check_package_rules capture
# The capture is over: a second -resume has nothing to resume.
check not grep -q '^IsSnapshotTaken=1' "$(drive_c capture)/corvane/CorvaneRepackager.ini"
rc=0
repackager capture -resume '-Path=C:\out' >/dev/null || rc=$?
check test "$rc" = 1

check_package "$msi" capture
# The target machine has the old application too.
prepare_target() {
  mkdir -p "$(drive_c "$1")/Apps/Corvane Legacy"
  printf 'old config\r\n' >"$(drive_c "$1")/Apps/Corvane Legacy/config.txt"
  in_prefix "$1" wine reg add 'HKLM\Software\CorvaneLegacy\Settings' /v Level /t REG_DWORD /d 1 /f >/dev/null
  printf '[CorvaneLegacy]\r\nMode=old\r\n' >>"$(drive_c "$1")/windows/win.ini"
}
PREPARE_TARGET=prepare_target
# The machine had the configuration file before: its removal leaves it.
KEPT_ON_REMOVAL='Program Files/Corvane Legacy/config.txt'
install_and_check "$msi" capture
finish
