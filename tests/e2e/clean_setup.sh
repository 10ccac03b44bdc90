#!/usr/bin/env bash
# A clean capture: the setup's shortcuts become the package's shortcuts, its
# own uninstall registration is left out, and an INI value holding the install
# folder follows the folder on the target machine.
#   bash clean_setup.sh <build folder>
SCENARIO=clean_setup
source "$(dirname "$0")/lib.sh"

step "build the setup"
payload="$WORK/payload"
mkdir -p "$payload"
printf 'MZ corvane clean\r\n' >"$payload/app.exe"
printf 'data\r\n' >"$payload/data.txt"
build_setup clean_setup.nsi "$WORK/clean-setup.exe" "$payload"

step "capture"
new_prefix capture
install_program capture
# Wine links the profile's Desktop to HOME, and the snapshot walk does not go
# through links; on Windows it is a folder, and so it is here.
desktop="$(drive_c capture)/users/$(whoami)/Desktop"
rm -f "$desktop"
mkdir -p "$desktop"
cp "$WORK/clean-setup.exe" "$(drive_c capture)/"
rc=0
repackager capture -capture 'C:\clean-setup.exe' '-Path=C:\out' -Name=CorvaneClean -Version=1.0 -Company=Corvane ||
  rc=$?
[ "$rc" = 0 ] || { fail "capture exit code $rc"; finish; }
project="$(drive_c capture)/out/Packages/CorvaneClean_1.0.xml"
msi="$(drive_c capture)/out/Packages/CorvaneClean.msi"
check test -f "$project"
check test -f "$msi"

step "project file"
check $CHECK project "$project" "$EXPECT" project
check grep -q 'Uninstall registration of the setup left out: 1 key, 1 file ' "$WORK/capture/report.txt"
check grep -q 'Shortcuts: 2 captured, 1 left out (target not captured).' "$WORK/capture/report.txt"

step "capture report"
# open_report <report.html> <dom>: the report as chromium's headless browser
# loaded it (script run); 2 when chromium is missing.
open_report() {
  command -v chromium >/dev/null || return 2
  local profile="$WORK/chromium-profile"
  rm -rf "$profile" && mkdir -p "$profile"
  chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run --disable-background-networking \
    --disable-component-update --disable-sync --user-data-dir="$profile" --dump-dom "file://$1" >"$2" 2>/dev/null
}
report_html="$(drive_c capture)/out/Packages/CorvaneClean_report.html"
check grep -qF 'Capture report: C:\out\Packages\CorvaneClean_report.html' "$WORK/capture/report.txt"
# The build mode's report, of a copy of the project with an INI value that is markup.
evil='<script>alert("x")</script> & '"'q'"
python3 - "$project" "$(drive_c capture)/edited.xml" <<'PY'
import sys
text = open(sys.argv[1], encoding="utf-8").read()
mode = '<Section Name="General" Key="Mode"'
note = '<Section Name="General" Key="Note" Value="&lt;script&gt;alert(&quot;x&quot;)&lt;/script&gt; &amp; &apos;q&apos;"/>'
assert mode in text
open(sys.argv[2], "w", encoding="utf-8").write(text.replace(mode, note + mode, 1))
PY
rc=0
repackager capture 'C:\edited.xml' '-Path=C:\out2' -File=edited.msi || rc=$?
check test "$rc" = 0
check grep -qF 'Capture report: c:\out2\Packages\edited_report.html' "$WORK/capture/report.txt"
rc=0
open_report "$report_html" "$WORK/report-dom.html" || rc=$?
if [ "$rc" = 2 ]; then
  echo "SKIP: chromium is missing (scripts/bootstrap.sh installs it); the reports are not opened in a browser"
else
  check test "$rc" = 0
  check python3 "$E2E_DIR/report_check.py" "$WORK/report-dom.html" "$project" "$EXPECT" report-excluded
  # The search box: what is typed hides the rows that do not hold it, and the headings of groups left empty.
  sed 's|</body>|<script>var q=document.getElementById("q");q.value="DATA.txt";q.dispatchEvent(new Event("input"));</script></body>|' \
    "$report_html" >"$WORK/filtered.html"
  check open_report "$WORK/filtered.html" "$WORK/filtered-dom.html"
  check grep -qF '<tr><td>data.txt</td>' "$WORK/filtered-dom.html"
  check grep -qF '<tr hidden=""><td>app.exe</td>' "$WORK/filtered-dom.html"
  check grep -qF '<tr class="g" hidden=""><th colspan="3">%PROGRAMFILES%\Corvane Clean</th>' "$WORK/filtered-dom.html"
  check open_report "$(drive_c capture)/out2/Packages/edited_report.html" "$WORK/edited-dom.html"
  check python3 "$E2E_DIR/report_check.py" "$WORK/edited-dom.html" "$(drive_c capture)/edited.xml" "$EXPECT" \
    report-build-excluded "$evil"
fi

check_package_rules capture
SHORTCUT_COLUMNS=1,2,4,5,6,10,11 check_package "$msi" capture
check $CHECK msi-table "$msi" RemoveFile 1,2,3,4 "$EXPECT" msi-remove-files

# uninstall_entries <prefix>: the subkeys of the Add/Remove Programs key.
uninstall_entries() {
  in_prefix "$1" wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' </dev/null 2>/dev/null |
    tr -d '\r' | grep -i '^HKEY_LOCAL_MACHINE\\.*\\Uninstall\\' | sort || true
}
# The links below the prefix (the profile folders are links to its HOME).
links_of() {
  (cd "$(drive_c "$1")" && find -L . -iname '*.lnk' 2>/dev/null | grep -i 'clean' | sort) || true
}
count_uninstall_entries() { uninstall_entries "$1" >"$WORK/arp-before.txt"; }
check_installed_shortcuts() {
  step "shortcuts and Add/Remove Programs after install"
  uninstall_entries "$1" >"$WORK/arp-after.txt"
  check test "$(comm -13 "$WORK/arp-before.txt" "$WORK/arp-after.txt" | grep -c .)" = 1
  check not grep -qi 'CorvaneClean$' "$WORK/arp-after.txt"
  links_of "$1" | tee "$WORK/links-installed.txt"
  local menu desktop
  menu=$(grep -i '/Programs/Corvane Clean/Clean App.lnk$' "$WORK/links-installed.txt" | head -1)
  desktop=$(grep -i '/Desktop/Corvane Clean.lnk$' "$WORK/links-installed.txt" | head -1)
  check test -n "$menu"
  check test -n "$desktop"
  check not grep -qi 'Uninstall.lnk' "$WORK/links-installed.txt"
  [ -n "$menu" ] || return 0
  # Target, arguments, working folder and description, as the shell link stores them.
  { strings -a "$(drive_c "$1")/$menu"; strings -a -el "$(drive_c "$1")/$menu"; } >"$WORK/menu-link.txt"
  check grep -qiF 'C:\Apps\Corvane Clean\app.exe' "$WORK/menu-link.txt"
  check grep -qF -- '--profile fast' "$WORK/menu-link.txt"
  check grep -qiF 'C:\Apps\Corvane Clean\Data' "$WORK/menu-link.txt"
  check grep -qF 'Starts Corvane Clean' "$WORK/menu-link.txt"
  [ -n "$desktop" ] && check grep -qiaF 'C:\Apps\Corvane Clean\app.exe' <(strings -a "$(drive_c "$1")/$desktop"; strings -a -el "$(drive_c "$1")/$desktop")
  dirname "$(drive_c "$1")/$menu" >"$WORK/menu-folder.txt"
}
check_removed_shortcuts() {
  step "shortcuts after uninstall"
  check test -z "$(links_of "$1")"
  [ -s "$WORK/menu-folder.txt" ] && check test ! -e "$(cat "$WORK/menu-folder.txt")"
  uninstall_entries "$1" >"$WORK/arp-removed.txt"
  check cmp "$WORK/arp-before.txt" "$WORK/arp-removed.txt"
}
PREPARE_TARGET=count_uninstall_entries AFTER_INSTALL=check_installed_shortcuts AFTER_UNINSTALL=check_removed_shortcuts \
  install_and_check "$msi" capture
finish
