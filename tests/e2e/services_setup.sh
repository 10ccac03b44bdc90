#!/usr/bin/env bash
# A bootstrapper setup whose real setup creates a service, a system variable,
# an entry of Path, a file type and machine-wide values naming the installing
# user's name and folders. Captured by the user "packager", installed on a
# machine of the user "enduser" whose Path holds an entry of its own: the
# service is a service there, Path keeps that entry and gains (and loses again)
# only the setup's, the values name enduser, and nothing of the packager's
# profile comes along.
#   bash services_setup.sh <build folder>
SCENARIO=services_setup
source "$(dirname "$0")/lib.sh"

environment_key='HKLM\System\CurrentControlSet\Control\Session Manager\Environment'

step "build the setups"
payload="$WORK/payload"
mkdir -p "$payload"
printf 'MZ corvane service\r\n' >"$payload/corvane-svc.exe"
printf 'MZ corvane application\r\n' >"$payload/corvane-app.exe"
printf 'Corvane service test\r\n' >"$payload/readme.txt"
makensis -V2 -DINNER "-DPAYLOAD=$payload" "-DOUTFILE=$WORK/inner.exe" "$E2E_DIR/services_setup.nsi" >/dev/null
makensis -V2 "-DINNER_EXE=$WORK/inner.exe" "-DOUTFILE=$WORK/services-setup.exe" "$E2E_DIR/services_setup.nsi" >/dev/null

step "capture as packager"
export USER=packager LOGNAME=packager
new_prefix capture
install_program capture
cp "$WORK/services-setup.exe" "$(drive_c capture)/"
rc=0
repackager capture -capture 'C:\services-setup.exe' '-Path=C:\out' -Name=CorvaneSvc -Version=1.0 -Company=Corvane ||
  rc=$?
[ "$rc" = 0 ] || { fail "capture exit code $rc"; finish; }
project="$(drive_c capture)/out/Packages/CorvaneSvc_1.0.xml"
msi="$(drive_c capture)/out/Packages/CorvaneSvc.msi"
check test -f "$project"
check test -f "$msi"
# The setup really ran as packager: its value names that profile.
check test -d "$(drive_c capture)/users/packager"
check grep -qF "The setup's own process has ended; waiting for the programs it started: inner.exe (" \
  "$WORK/capture/report.txt"
check grep -q '^Services installed through the service control manager: 1; environment variable rows: 2\.$' \
  "$WORK/capture/report.txt"

step "project file"
check $CHECK project "$project" "$EXPECT" project

step "package tables"
check_package_rules capture
check $CHECK msi-table "$msi" File 2 "$EXPECT" msi-files
check $CHECK msi-table "$msi" ServiceInstall 1,2,3,4,5,7,8,10,11 "$EXPECT" msi-service-install
check $CHECK msi-table "$msi" ServiceControl 1,2,4,5 "$EXPECT" msi-service-control
check $CHECK msi-table "$msi" Environment 0,1,2,3 "$EXPECT" msi-environment
check $CHECK msi-table "$msi" Registry 1,2,3,4 "$EXPECT" msi-registry
msiinfo export "$msi" InstallExecuteSequence | tail -n +4 | tr -d '\r' |
  awk -F'\t' '$1 ~ /Services|EnvironmentStrings/ {print $1 "|" $3}' >"$WORK/sequence.txt"
check $CHECK lines "$WORK/sequence.txt" "$EXPECT" sequence

step "install as enduser on a machine whose Path has an entry of its own"
export USER=enduser LOGNAME=enduser
new_prefix target
in_prefix target wine reg add 'HKLM\Software\Microsoft\Windows\CurrentVersion' /v ProgramFilesDir /d 'C:\Apps' /f \
  </dev/null >/dev/null
original_path=$(in_prefix target wine reg query "$environment_key" /v PATH </dev/null | tr -d '\r' |
  awk '$1 == "PATH" {for (i = 3; i <= NF; i++) printf "%s%s", (i > 3 ? " " : ""), $i}')
in_prefix target wine reg add "$environment_key" /v PATH /t REG_EXPAND_SZ /d "$original_path;C:\\CorvaneExtra" /f \
  </dev/null >/dev/null
cp "$msi" "$(drive_c target)/package.msi"
rc=0
in_prefix target wine msiexec /i 'C:\package.msi' /qn /l*v 'C:\install.log' </dev/null || rc=$?
check test "$rc" = 0

# query <key> <value name, "" for the default value>: the value's data.
query() {
  local option=(/v "$2") name=$2
  [ -z "$2" ] && option=(/ve) && name='(Default)'
  in_prefix target wine reg query "$1" "${option[@]}" </dev/null 2>/dev/null | tr -d '\r' |
    awk -v n="$name" 'tolower($1) == tolower(n) {d = $3; for (i = 4; i <= NF; i++) d = d " " $i; print d}' || true
}
# state <file>: the scenario's files, the service, the variables and values in the target prefix.
state() {
  # A query of something gone fails: that is what is looked for here.
  set +e +o pipefail
  {
    (cd "$(drive_c target)" && find Apps -type f 2>/dev/null | sort | sed 's/^/file=/')
    echo "service image=$(query 'HKLM\System\CurrentControlSet\Services\CorvaneSvc' ImagePath)"
    echo "service name=$(query 'HKLM\System\CurrentControlSet\Services\CorvaneSvc' DisplayName)"
    echo "service start=$(query 'HKLM\System\CurrentControlSet\Services\CorvaneSvc' Start)"
    in_prefix target wine sc query CorvaneSvc </dev/null 2>/dev/null | tr -d '\r' |
      awk '/SERVICE_NAME/ {print "scm knows=" $2}'
    echo "variable=$(query "$environment_key" CORVANE_HOME)"
    query "$environment_key" PATH | tr ';' '\n' | grep -i -e corvane | sed 's/^/path=/'
    echo "path starts as before=$(query "$environment_key" PATH | grep -c -F "$original_path;")"
    echo "open=$(query 'HKCR\CorvaneSvc.Document\shell\open\command' '')"
    echo "type=$(query 'HKCR\.corvsvc' '')"
    for v in DataFolder Cache Documents Owner; do
      echo "$v=$(query 'HKLM\Software\CorvaneSvc' "$v")"
    done
    if [ -e "$(drive_c target)/Apps/Corvane Svc" ]; then echo "folder=present"; fi
    if [ -e "$(drive_c target)/users/packager" ]; then echo "the packager's profile exists"; fi
  } >"$1"
  set -e -o pipefail
}
state "$WORK/installed.txt"
check $CHECK lines "$WORK/installed.txt" "$EXPECT" installed

step "uninstall"
rc=0
in_prefix target wine msiexec /x 'C:\package.msi' /qn </dev/null || rc=$?
check test "$rc" = 0
state "$WORK/uninstalled.txt"
check $CHECK lines "$WORK/uninstalled.txt" "$EXPECT" uninstalled
finish
