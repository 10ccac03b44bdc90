#!/usr/bin/env bash
# Installs a package made from Blank.msi the way the MSI build makes one (the
# template padded to 330,000 bytes, rows inserted by the build's own INSERT
# statements, the cabinet from our makecab stored as "MSIProject.cab"), in a
# fresh Wine prefix with Wine's msiexec, checks that files, registry values,
# INI entries and shortcuts arrive, then removes the product and checks they go.
set -euo pipefail
build=$(cd "$1" && pwd)
source_dir=$(cd "$2" && pwd)
work="$build/tests/install-test"
prefix="$work/prefix"

fail() { echo "FAIL: $*" >&2; exit 1; }
winpath() { echo "Z:${1//\//\\}"; }
guid() { tr 'a-f' 'A-F' < /proc/sys/kernel/random/uuid | sed 's/.*/{&}/'; }

cleanup() {
  WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1 || true
  rm -rf "$work"
}
[ -n "${KEEP_INSTALL_TEST:-}" ] || trap cleanup EXIT
rm -rf "$work"
mkdir -p "$work/payload/App/Data" "$work/out"

# The payload: a text file, a binary file in a nested folder, an icon.
printf 'installed by the template test\r\n' > "$work/payload/App/app.txt"
head -c 5000 /dev/urandom > "$work/payload/App/Data/data.bin"
# A 1x1 32-bit icon.
printf '\0\0\1\0\1\0\1\1\0\0\1\0\40\0\60\0\0\0\26\0\0\0\50\0\0\0\1\0\0\0\2\0\0\0\1\0\40\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\377\0\0\377\0\0\0\0' > "$work/app.ico"

# The cabinet, from a DDF in the build's layout.
{
  printf '.Option EXPLICIT\n.Set Cabinet = off\n.Set Compress = off\n.Set MaxDiskSize = CDROM\n'
  printf '.Set ReservePerCabinetSize = 6144\n'
  printf ".Set DiskDirectoryTemplate = '%s'\n" "$(winpath "$work/out")"
  printf '.Set CompressionType = MSZIP\n.Set CompressionLevel = 7\n.Set CompressionMemory = 21\n'
  printf ".Set CabinetNameTemplate = 'MSIProject.cab'\n.Set Cabinet=on\n.Set Compress=on\n.Set UniqueFiles=off\n"
  printf "'%s' '%s'\n" "$(winpath "$work/payload/App/app.txt")" app.txt
  printf "'%s' '%s'\n" "$(winpath "$work/payload/App/Data/data.bin")" data.bin
} > "$work/MSIProject.ddf"
# Run the way the build runs it: its batch file, in the DDF's folder, with the
# program folder on the search path.
printf '@echo off\r\ndel "*.CAB"\r\n"MAKECAB.EXE" /f "MSIProject.ddf"' > "$work/BuildAllCab.bat"
(cd "$work" && WINEPATH="$(winpath "$build/bin")" "$build/wine-run.sh" cmd /c BuildAllCab.bat) || fail "makecab"
[ -s "$work/out/MSIProject.cab" ] || fail "no cabinet"

# The package: the template followed by zeros up to 330,000 bytes, as the build copies it.
cp "$build/bin/Blank.msi" "$work/pkg.msi"
[ "$(stat -c %s "$work/pkg.msi")" -le 330000 ] || fail "Blank.msi is larger than 330,000 bytes"
truncate -s 330000 "$work/pkg.msi"

product=$(guid)
dir_sql() { printf 'SQL\tINSERT INTO `Directory` (`Directory`.`Directory`,`Directory`.`Directory_Parent`,`Directory`.`DefaultDir`) VALUES ('"'%s','%s','%s'"')\n' "$@"; }
comp_sql() { printf 'SQL\tINSERT INTO `Component` (`Component`.`Component`,`Component`.`ComponentId`,`Component`.`Directory_`,`Component`.`Attributes`) VALUES ('"'%s','%s','%s','%s'"')\n' "$1" "$(guid)" "$2" "$3"; }
file_sql() { printf 'SQL\tINSERT INTO `File` (`File`.`File`,`File`.`Component_`,`File`.`FileName`,`File`.`FileSize`,`File`.`Version`,`File`.`Language`,`File`.`Attributes`,`File`.`Sequence`) VALUES ('"'%s','%s','%s','%s','%s','%s' ,'%s', '%s'"')\n' "$@"; }
fc_sql() { printf 'SQL\tINSERT INTO `FeatureComponents` (`FeatureComponents`.`Feature_`,`FeatureComponents`.`Component_`) VALUES ('"'%s','%s'"')\n' "$@"; }
prop_sql() { printf 'SQL\tINSERT INTO `Property` (`Property`.`Property`,`Property`.`Value`) VALUES ('"'%s','%s'"')\n' "$@"; }
reg_sql() { printf 'SQL\tINSERT INTO `Registry` (`Registry`.`Registry`,`Registry`.`Root`,`Registry`.`Key`,`Registry`.`Name`,`Registry`.`Value`,`Registry`.`Component_`) VALUES ('"'%s','%s','%s','%s','%s','%s'"')\n' "$@"; }
ini_sql() { local t=$1; shift; printf 'SQL\tINSERT INTO `%s` (`%s`.`%s`,`%s`.`FileName`,`%s`.`DirProperty`,`%s`.`Section`,`%s`.`Key`,`%s`.`Value`,`%s`.`Action`,`%s`.`Component_`) VALUES ('"'%s','%s','%s','%s','%s','%s','%s','%s'"')\n' "$t" "$t" "$t" "$t" "$t" "$t" "$t" "$t" "$t" "$t" "$@"; }
sc_sql() { printf 'SQL\tINSERT INTO `Shortcut` (`Shortcut`.`Shortcut`,`Shortcut`.`Directory_`,`Shortcut`.`Name`,`Shortcut`.`Component_`,`Shortcut`.`Target`,`Shortcut`.`Icon_`,`Shortcut`.`IconIndex`) VALUES ('"'%s','%s','%s','%s','%s','%s','%s'"')\n' "$@"; }

{
  prop_sql ProductName "Corvane Template Test"
  prop_sql Manufacturer "Corvane Test"
  prop_sql ProductVersion "1.0"
  prop_sql ProductCode "$product"
  prop_sql UpgradeCode "$(guid)"
  printf 'SQL\tINSERT INTO `Media` (`Media`.`DiskId`,`Media`.`LastSequence`,`Media`.`Cabinet`) VALUES ('"'1','2','#MSIProject.cab'"')\n'
  dir_sql WindowsFolder TARGETDIR ".:windows"
  dir_sql CORVANETESTAPP ProgramFilesFolder CorvaneTestApp
  dir_sql DATA CORVANETESTAPP Data
  file_sql app.txt APP.TXTCOMP app.txt "$(stat -c %s "$work/payload/App/app.txt")" "" "" 16384 1
  comp_sql APP.TXTCOMP CORVANETESTAPP 8
  fc_sql MSIFeature APP.TXTCOMP
  file_sql data.bin DATA.BINCOMP data.bin 5000 "" "" 16384 2
  comp_sql DATA.BINCOMP DATA 8
  fc_sql MSIFeature DATA.BINCOMP
  # The two fixed components: the build inserts them, the template links them.
  comp_sql REGDIFFCOMP ProgramFilesFolder 8
  reg_sql CorvaneRegistry0 1 'Software\CorvaneTemplateTest' Path '[ProgramFilesFolder]CorvaneTestApp\bin' REGDIFFCOMP
  reg_sql CorvaneRegistry1 2 'SOFTWARE\CorvaneTemplateTest' Count '#10' REGDIFFCOMP
  reg_sql CorvaneRegistry2 1 'Software\CorvaneTemplateTest' Home '[USERPROFILE]x' REGDIFFCOMP
  comp_sql INIHANDLECOMP INSTALLDIR 0
  ini_sql IniFile INIFile1 corvane.ini WindowsFolder Settings Mode fast 0 INIHANDLECOMP
  ini_sql IniFile INIFile2 corvane.ini USERPROFILE Settings Where profile 0 INIHANDLECOMP
  ini_sql IniFile INIFile3 corvane.ini APPDATA Settings Where appdata 0 INIHANDLECOMP
  ini_sql IniFile INIFile4 corvane.ini ALLUSERSPROFILE Settings Where common 0 INIHANDLECOMP
  ini_sql RemoveIniFile INIFile1 old.ini WindowsFolder Old Gone "" 2 INIHANDLECOMP
  printf 'SQLBLOB\tINSERT INTO `Icon` (`Name`, `Data`) VALUES ('"'Icon1'"', ?)\t%s\n' "$(winpath "$work/app.ico")"
  sc_sql Shortcut0 DesktopFolder "Corvane App" APP.TXTCOMP '[#app.txt]' Icon1 0
  sc_sql Shortcut1 QuickLaunchFolder "Corvane App" APP.TXTCOMP '[#app.txt]' "" ""
  printf 'SUMMARY\t9\t%s\n' "$(guid)"
  printf 'STREAM\tMSIProject.cab\t%s\n' "$(winpath "$work/out/MSIProject.cab")"
} > "$work/rows.txt"
"$build/wine-run.sh" "$build/tests/msi_package_edit.exe" "$(winpath "$work/pkg.msi")" "$(winpath "$work/rows.txt")" \
  || fail "inserting the rows"

# A fresh prefix of its own: nothing of the build's prefix leaks in. Its home
# is a folder here too, and no desktop menu entries are made: Wine links the
# profile's shell folders to the home folder, and an installed shortcut must
# not land in the real one.
export HOME="$work/home" WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe=d"
mkdir -p "$HOME"
bash "$source_dir/scripts/make-prefix.sh" "$prefix"
export WINEPREFIX="$prefix" WINEARCH=win32 WINEDEBUG=-all
drive="$prefix/drive_c"
for link in "$drive"/users/*/*; do
  if [ -L "$link" ]; then rm "$link"; mkdir "$link"; fi
done
user_dir=$(ls -d "$drive/users/"* | grep -v -i '/public$' | head -n1)
[ -d "$user_dir" ] || fail "no user folder in the prefix"
appdata="$user_dir/AppData/Roaming"
printf '[Old]\r\nGone=1\r\nKept=1\r\n' > "$drive/windows/old.ini"

wine msiexec /i "$(winpath "$work/pkg.msi")" /qn /l*v "$(winpath "$work/install.log")" \
  || { iconv -f utf-16 -t utf-8 "$work/install.log" 2>/dev/null | tail -40 || cat "$work/install.log"; fail "msiexec /i"; }

# Files, byte for byte.
cmp "$drive/Program Files/CorvaneTestApp/app.txt" "$work/payload/App/app.txt" || fail "app.txt"
cmp "$drive/Program Files/CorvaneTestApp/Data/data.bin" "$work/payload/App/Data/data.bin" || fail "data.bin"

regq() { wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | awk -v n="$2" '$1 == n { $1 = ""; $2 = ""; sub(/^ +/, ""); print }'; }
[ "$(regq 'HKCU\Software\CorvaneTemplateTest' Path)" = 'C:\Program Files\CorvaneTestApp\bin' ] \
  || fail "registry Path: '$(regq 'HKCU\Software\CorvaneTemplateTest' Path)'"
[ "$(regq 'HKLM\SOFTWARE\CorvaneTemplateTest' Count)" = '0xa' ] \
  || fail "registry Count: '$(regq 'HKLM\SOFTWARE\CorvaneTemplateTest' Count)'"
home=$(regq 'HKCU\Software\CorvaneTemplateTest' Home)
[ "$home" = "C:\\users\\$(basename "$user_dir")\\x" ] || fail "USERPROFILE resolved to '$home'"

ini_has() { tr -d '\r' < "$1" | grep -qx "$2"; }
ini_has "$drive/windows/corvane.ini" 'Mode=fast' || fail "INI in WindowsFolder"
ini_has "$user_dir/corvane.ini" 'Where=profile' || fail "INI in USERPROFILE"
ini_has "$appdata/corvane.ini" 'Where=appdata' || fail "INI in APPDATA"
ini_has "$drive/ProgramData/corvane.ini" 'Where=common' || fail "INI in ALLUSERSPROFILE"
! ini_has "$drive/windows/old.ini" 'Gone=1' || fail "RemoveIniFile left Gone=1"
ini_has "$drive/windows/old.ini" 'Kept=1' || fail "RemoveIniFile removed Kept=1"

desktop_lnk=$(find "$drive/users" -path '*Desktop/Corvane App.lnk' | head -n1)
[ -n "$desktop_lnk" ] || fail "no desktop shortcut"
[ -f "$appdata/Microsoft/Internet Explorer/Quick Launch/Corvane App.lnk" ] || fail "no Quick Launch shortcut"

# Removal takes everything back.
wine msiexec /x "$product" /qn /l*v "$(winpath "$work/uninstall.log")" \
  || { iconv -f utf-16 -t utf-8 "$work/uninstall.log" 2>/dev/null | tail -40 || true; fail "msiexec /x"; }
[ ! -e "$drive/Program Files/CorvaneTestApp/app.txt" ] || fail "app.txt left behind"
[ ! -e "$drive/Program Files/CorvaneTestApp/Data/data.bin" ] || fail "data.bin left behind"
[ -z "$(regq 'HKCU\Software\CorvaneTemplateTest' Path)" ] || fail "registry Path left behind"
[ -z "$(regq 'HKLM\SOFTWARE\CorvaneTemplateTest' Count)" ] || fail "registry Count left behind"
! ini_has "$drive/windows/corvane.ini" 'Mode=fast' 2>/dev/null || fail "INI entry left in WindowsFolder"
! ini_has "$user_dir/corvane.ini" 'Where=profile' 2>/dev/null || fail "INI entry left in USERPROFILE"
[ ! -e "$desktop_lnk" ] || fail "desktop shortcut left behind"
[ ! -e "$appdata/Microsoft/Internet Explorer/Quick Launch/Corvane App.lnk" ] || fail "Quick Launch shortcut left behind"
echo "install and removal of a package from Blank.msi: ok"
