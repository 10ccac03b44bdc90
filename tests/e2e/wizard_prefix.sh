# The machine of the wizard roads, sourced by wizard_setup.sh and
# wizard_resume.sh.
# build_full_setup: the setup of the roads, $WORK/full-setup.exe.
build_full_setup() {
  step "build the setup"
  payload="$WORK/payload"
  full_setup_payload "$payload" $((256 * 1024 + 7))
  build_setup full_setup.nsi "$WORK/full-setup.exe" "$payload"
}

# prepare <prefix>: the program with a small selection (Program Files and the
# setup's two keys, made empty beforehand) and the welcome page's short wait.
prepare() {
  new_prefix "$1"
  install_program "$1"
  cp "$BUILD/tests/wizard_road.exe" "$(drive_c "$1")/corvane/"
  cp "$WORK/full-setup.exe" "$(drive_c "$1")/"
  mkdir -p "$(drive_c "$1")/out"
  sed -i 's/^WaitTimeOut=.*/WaitTimeOut=1/' "$(drive_c "$1")/corvane/CorvaneRepackager.ini"
  cat >"$(drive_c "$1")/corvane/DefaultIncludeExclude.xml" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<IncludeExclude>
  <FileSystem>
    <IncludedItems><IncludedEntry Name="%PROGRAMFILES%"/></IncludedItems>
    <ExcludedItems/>
  </FileSystem>
  <RegistrySystem>
    <IncludedItems>
      <IncludedEntry Name="HKEY_LOCAL_MACHINE\Software\CorvaneFull"/>
      <IncludedEntry Name="HKEY_CURRENT_USER\Software\CorvaneFull"/>
    </IncludedItems>
    <ExcludedItems/>
  </RegistrySystem>
</IncludeExclude>
XML
  in_prefix "$1" wine reg add 'HKLM\Software\CorvaneFull' /f >/dev/null 2>&1 </dev/null
  in_prefix "$1" wine reg add 'HKCU\Software\CorvaneFull' /f >/dev/null 2>&1 </dev/null
}


# wizard_road <prefix> <test>: runs one test of wizard_road.exe on the setup
# in that prefix, output in $WORK/<prefix>/road.txt; a road that does not end
# well ends the scenario.
wizard_road() {
  local rc=0
  (cd "$(drive_c "$1")/corvane" &&
    in_prefix "$1" xvfb-run -a wine 'C:\corvane\wizard_road.exe' --gtest_color=no \
      --gtest_filter="WizardRoad.$2" 'C:\full-setup.exe' 'C:\out' </dev/null) >"$WORK/$1/road.txt" 2>&1 || rc=$?
  tr -d '\r' <"$WORK/$1/road.txt"
  [ "$rc" = 0 ] || { fail "the wizard road ended with $rc"; finish; }
}
