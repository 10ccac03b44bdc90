#!/usr/bin/env bash
# Two captures at once by one user from two copies of the program (C:\CorvA
# and C:\CorvB): they would share the user's working folders, so the second is
# refused at once, naming the folder of the first, and leaves them alone; the
# first capture finishes into a correct package.
#   bash two_captures.sh <build folder>
SCENARIO=two_captures
source "$(dirname "$0")/lib.sh"

step "build the setup"
build_setup two_captures_setup.nsi "$WORK/setup.exe"

step "a prefix with two copies of the program"
new_prefix capture
c=$(drive_c capture)
for copy in CorvA CorvB; do
  mkdir -p "$c/$copy"
  cp "$BUILD"/bin/* "$c/$copy/"
  cat >"$c/$copy/DefaultIncludeExclude.xml" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<IncludeExclude>
  <FileSystem><IncludedItems><IncludedEntry Name="%PROGRAMFILES%"/></IncludedItems><ExcludedItems/></FileSystem>
  <RegistrySystem><IncludedItems><IncludedEntry Name="HKEY_LOCAL_MACHINE\Software\CorvaneOverlap"/>
  </IncludedItems><ExcludedItems/></RegistrySystem>
</IncludeExclude>
XML
done
cp "$WORK/setup.exe" "$c/"

# run <copy> <report> <arguments...>: the program of that copy, from its folder.
run() {
  local copy=$1 out=$2
  shift 2
  (cd "$c/$copy" && in_prefix capture wine "C:\\$copy\\CorvaneRepackager.exe" "$@" </dev/null) | tr -d '\r' >"$out"
}

step "the first capture, held by its setup"
rc_a=0
run CorvA "$WORK/a.txt" -capture 'C:\setup.exe' '-Path=C:\outA' -Name=CorvaneOverlap -Version=1.0 -Company=Corvane &
first=$!
# The setup is running once its file is there.
for _ in $(seq 1 300); do
  [ -f "$c/Program Files/Corvane Overlap/app.txt" ] && break
  sleep 0.5
done
check test -f "$c/Program Files/Corvane Overlap/app.txt"

step "the second capture while the first runs"
rc_b=0
run CorvB "$WORK/b.txt" -capture 'C:\setup.exe' '-Path=C:\outB' -Name=Other -Version=1.0 -Company=Corvane || rc_b=$?
cat "$WORK/b.txt"
check test "$rc_b" = 1
check grep -qF "Another run of Corvane Repackager, from C:\\CorvA, is using this user's working folders; wait until it has ended." "$WORK/b.txt"
check test ! -e "$c/outB/Packages/Other.msi"
touch "$c/release"

step "the first capture finishes"
wait $first || rc_a=$?
cat "$WORK/a.txt"
check test "$rc_a" = 0
check grep -q '^Package: ' "$WORK/a.txt"
check not grep -qi 'damaged' "$WORK/a.txt"
check $CHECK project "$c/outA/Packages/CorvaneOverlap_1.0.xml" "$EXPECT" project
finish
