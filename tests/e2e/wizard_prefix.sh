# The machine of the wizard roads, sourced by wizard_setup.sh and
# wizard_resume.sh.
# build_full_setup: the setup of the roads, $WORK/full-setup.exe.
build_full_setup() {
  step "build the setup"
  payload="$WORK/payload"
  mkdir -p "$payload"
  python3 - "$payload" <<'PY'
import random, sys, os
d = sys.argv[1]
rnd = random.Random(11)
def put(name, data):
    open(os.path.join(d, name), "wb").write(data)
put("readme.txt", b"Corvane full test\r\n")
put("big.dat", bytes(rnd.getrandbits(8) for _ in range(256 * 1024 + 7)))
put("scratch.tmp", b"scratch data\r\n")
put("nested.bin", bytes(range(256)) * 4)
put("accented.txt", "accented name: résumé\r\n".encode("utf-8"))
put("quoted.txt", b"quote in the name\r\n")
PY
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

