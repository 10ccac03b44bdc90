#!/usr/bin/env bash
# A bootstrapper setup through -capture: it starts its inner setup and exits
# at once; the capture waits for the inner setup, whose file must be in the
# package. Captured by the user "packager", installed by "enduser": values
# naming the capturing user's folders and name name the installing user's.
#   bash bootstrapper.sh <build folder>
SCENARIO=bootstrapper
source "$(dirname "$0")/lib.sh"

step "build the bootstrapper"
makensis -V2 -INPUTCHARSET UTF8 -DINNER "-DOUTFILE=$WORK/inner.exe" "$E2E_DIR/bootstrap_setup.nsi" >/dev/null
makensis -V2 -INPUTCHARSET UTF8 "-DPAYLOAD=$WORK/inner.exe" "-DOUTFILE=$WORK/boot-setup.exe" \
  "$E2E_DIR/bootstrap_setup.nsi" >/dev/null

step "capture as packager"
export USER=packager
new_prefix capture
install_program capture
cat >"$(drive_c capture)/corvane/DefaultIncludeExclude.xml" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<IncludeExclude>
  <FileSystem><IncludedItems><IncludedEntry Name="%PROGRAMFILES%"/><IncludedEntry Name="%APPDATA%"/>
  </IncludedItems><ExcludedItems/></FileSystem>
  <RegistrySystem><IncludedItems><IncludedEntry Name="HKEY_LOCAL_MACHINE\Software\CorvaneBoot"/>
  <IncludedEntry Name="HKEY_CURRENT_USER\Software\CorvaneBoot"/></IncludedItems><ExcludedItems/></RegistrySystem>
</IncludeExclude>
XML
in_prefix capture wine reg add 'HKLM\Software\CorvaneBoot' /v Seed /d 1 /f >/dev/null
in_prefix capture wine reg add 'HKCU\Software\CorvaneBoot' /v Seed /d 1 /f >/dev/null
cp "$WORK/boot-setup.exe" "$(drive_c capture)/"
rc=0
repackager capture -capture 'C:\boot-setup.exe' '-Path=C:\out' -Name=CorvaneBoot -Version=1.0 -Company=Corvane ||
  rc=$?
check test "$rc" = 0
reported() { grep -qF -- "$1" "$WORK/capture/report.txt"; }
check reported "The setup's own process has ended; waiting for the programs it started: corvane-inner.exe ("
check reported 'The setup ended with exit code 0.'
check reported 'Per-user data: 1 file in the user profile, 1 HKEY_CURRENT_USER value'
check reported "The capturing computer's name is in 1 value(s)"
msi="$(drive_c capture)/out/Packages/CorvaneBoot.msi"
check test -f "$msi"
[ -f "$msi" ] || finish

step "package"
msiinfo export "$msi" File | tail -n +4 | cut -f3 | tr -d '\r' | sort >"$WORK/files.txt"
check grep -qx 'late.txt' "$WORK/files.txt"
check grep -qx 'user.txt' "$WORK/files.txt"
msiinfo export "$msi" Registry | tail -n +4 | tr -d '\r' | awk -F'\t' '$3 == "Software\\CorvaneBoot" {print $4 "=" $5}' |
  sort >"$WORK/registry.txt"
cat "$WORK/registry.txt"
check grep -qx 'Owner=\[LogonUser\]' "$WORK/registry.txt"
check grep -qx 'Cache=\[LocalAppDataFolder\]CorvaneBoot\\cache' "$WORK/registry.txt"
check grep -qx 'Documents=\[PersonalFolder\]' "$WORK/registry.txt"
check grep -qi 'Server=\\\\[a-z0-9-]*\\share' "$WORK/registry.txt"
check test -z "$(grep -i packager "$WORK/registry.txt")"
check grep -q 'Software\\CorvaneBoot\\Server names the capturing computer' \
  <(find "$(drive_c capture)/corvane" -name ErrorLog.txt -exec cat {} +)

step "install as enduser"
export USER=enduser
new_prefix target
cp "$msi" "$(drive_c target)/package.msi"
rc=0
in_prefix target wine msiexec /i 'C:\package.msi' /qn </dev/null || rc=$?
check test "$rc" = 0
value() {
  in_prefix target wine reg query 'HKLM\Software\CorvaneBoot' /v "$1" </dev/null 2>/dev/null | tr -d '\r' |
    awk -v n="$1" '$1 == n {sub(/^ *[^ ]+ +REG_[A-Z_]+ +/, ""); print}'
}
check test "$(value Owner)" = enduser
check test "$(value Cache)" = 'C:\users\enduser\AppData\Local\CorvaneBoot\cache'
check test -f "$(drive_c target)/Program Files/Corvane Boot/late.txt"
check test ! -e "$(drive_c target)/users/packager"
finish
