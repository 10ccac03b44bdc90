#!/usr/bin/env bash
# The capture road through the wizard: wizard_road.exe drives the real sheet
# (basic information, both snapshots around the real setup launched from the
# Launch Setup page, the comparison, the review pages (a folder and a key
# excluded), a shortcut chosen with
# Select, the project file and the package). The package is checked and
# installed on a fresh machine, and the project file must equal the one the
# command line writes for the same setup, apart from the shortcut and the two
# excluded entries.
#   bash wizard_setup.sh <build folder>
SCENARIO=wizard_setup
source "$(dirname "$0")/lib.sh"

source "$(dirname "$0")/wizard_prefix.sh"
build_full_setup

step "capture in the wizard"
prepare capture
wizard_road capture FromBasicInformationToTheBuiltPackage
project="$(drive_c capture)/out/Packages/CorvaneFull_1.0.xml"
msi="$(drive_c capture)/out/Packages/CorvaneFull.msi"
check grep -q 'PROJECT=C:\\out\\Packages\\CorvaneFull_1.0.xml' "$WORK/capture/road.txt"
check test -f "$project"
check test -f "$msi"

step "the same setup on the command line"
prepare command
repackager command -capture 'C:\full-setup.exe' '-Path=C:\out' -Name=CorvaneFull -Version=1.0 -Company=Corvane ||
  fail "capture exit code $?"
step "project files"
check $CHECK project "$project" "$EXPECT" project
# Apart from the shortcut and the two entries excluded on the review pages.
check $CHECK same-project "$project" "$(drive_c command)/out/Packages/CorvaneFull_1.0.xml" ShortcutList ShortcutICONs \
  'Directory@Name=%PROGRAMFILES%\Corvane Full\App\Données' 'SubKey@Name=HKEY_CURRENT_USER\Software\CorvaneFull\User'

# The build's own check of its rows found nothing (written to the error log).
findings=$(find "$(drive_c capture)/corvane" -name ErrorLog.txt -exec cat {} + 2>/dev/null | tr -d '\r' |
  grep -o 'CMSIHandler::CheckPackage: .*' || true)
check test -z "$findings"
SHORTCUT_COLUMNS=1,2 check_package "$msi" capture
step "the shortcut's icon in the package"
# msiinfo writes the icon data into Icon/ below the current folder: run it in the work folder.
check test "$(cd "$WORK" && msiinfo export "$msi" Icon | tail -n +4 | cut -f1 | tr -d '\r')" = Icon1
check test "$(msiinfo export "$msi" Shortcut | tail -n +4 | cut -f9,10 | tr -d '\r' | sort -u)" = $'Icon1\t0'

install_check_shortcuts() {
  local links icon link
  step "the shortcuts and their icon"
  # The desktop (like the other profile folders) is a link to the prefix's
  # HOME: the shortcuts are counted by the files they really are.
  links=$(cd "$(drive_c "$1")" && find -L . -iname 'uninstall.lnk' 2>/dev/null | sort)
  check test "$(cd "$(drive_c "$1")" && xargs -d '\n' realpath <<<"$links" | sort -u | grep -c .)" = 2
  links=$(grep -i -e '/Desktop/uninstall.lnk' -e '/Start Menu/Programs/uninstall.lnk' <<<"$links" || true)
  echo "$links"
  check test "$(grep -c . <<<"$links")" = 2
  # The icon the package carries, published for the shortcuts, which point at it.
  icon=$(find "$(drive_c "$1")/windows/Installer" -name 'Icon1*' | head -1)
  if [ -z "$icon" ]; then
    fail "no icon published"
    return 0
  fi
  check cmp "$icon" "$WORK/streams/_Streams/Icon.Icon1"
  while read -r link; do
    strings -el "$(drive_c "$1")/$link" | grep -qi 'Installer\\{.*}\\Icon1' || fail "$link does not name the icon"
  done <<<"$links"
}
# The folder excluded on the review page is not installed (the key's absence
# is checked with the registry export).
install_check_excluded() {
  install_check_shortcuts "$1"
  step "the folder excluded on the review page"
  check test ! -e "$(drive_c "$1")/Apps/Corvane Full/App/Données"
  check test -e "$(drive_c "$1")/Apps/Corvane Full/App/readme.txt"
}
AFTER_INSTALL=install_check_excluded install_and_check "$msi" capture

# The existing-project road on the same machine (second_road.sh).
source "$(dirname "$0")/second_road.sh"
finish
