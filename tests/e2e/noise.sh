#!/usr/bin/env bash
# Captures around a setup that does nothing must find nothing: whatever they
# report leaked through DefaultIncludeExclude.xml. Once in one process
# (-capture), once split by a restart (-snapshot, restart, -resume).
# With win64, in a 64-bit prefix (the program under WOW64).
#   bash noise.sh <build folder> [win64]
ARCH=${2:-win32}
SCENARIO=noise
[ "$ARCH" = win64 ] && SCENARIO=noise64
source "$(dirname "$0")/lib.sh"
EXPECT="$E2E_DIR/noise.expect"
# A capture of 64-bit Windows records its platform.
suffix=
[ "$ARCH" = win64 ] && suffix=-win64

build_setup noop_setup.nsi "$WORK/noop.exe"
new_prefix capture "$ARCH"
install_program capture
cp "$WORK/noop.exe" "$(drive_c capture)/"

step "capture in one process"
rc=0
repackager capture -capture 'C:\noop.exe' '-Path=C:\out' -Name=Noise -Version=1 -Company=Corvane || rc=$?
check test "$rc" = 0
check $CHECK project "$(drive_c capture)/out/Packages/Noise_1.xml" "$EXPECT" project$suffix
check msiinfo export "$(drive_c capture)/out/Packages/Noise.msi" File >/dev/null
check $CHECK msi-table "$(drive_c capture)/out/Packages/Noise.msi" File 0 "$EXPECT" empty
check $CHECK msi-table "$(drive_c capture)/out/Packages/Noise.msi" Registry 0 "$EXPECT" key-paths-only
check $CHECK msi-table "$(drive_c capture)/out/Packages/Noise.msi" IniFile 0 "$EXPECT" empty

step "capture across a restart"
rm -rf "$(drive_c capture)/out"
rc=0
repackager capture -snapshot '-Path=C:\out' -Name=Noise -Version=2 -Company=Corvane || rc=$?
check test "$rc" = 0
in_prefix capture wine 'C:\noop.exe' </dev/null
in_prefix capture wineserver -k
in_prefix capture wineserver -w
in_prefix capture wineboot -r >/dev/null 2>&1 </dev/null || true
rc=0
repackager capture -resume '-Path=C:\out' || rc=$?
check test "$rc" = 0
check $CHECK project "$(drive_c capture)/out/Packages/Noise_2.xml" "$EXPECT" project-restarted$suffix
finish
