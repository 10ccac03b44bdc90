#!/usr/bin/env bash
# Reads Blank.msi with msitools, which share no code with msi.dll: every table
# exports, and the rows the build relies on are there.
set -euo pipefail
msi="$1/bin/Blank.msi"
fail() { echo "FAIL: $*" >&2; exit 1; }
[ -f "$msi" ] || fail "no $msi"

tables=$(msiinfo tables "$msi" | tr -d '\r')
for t in Component FeatureComponents Directory File Icon Media Registry Property Shortcut IniFile RemoveIniFile \
         Feature CustomAction InstallExecuteSequence InstallUISequence Upgrade _Validation; do
  grep -qx "$t" <<<"$tables" || fail "table $t missing"
done

export_table() { msiinfo export "$msi" "$1" | tr -d '\r'; }
# Every table exports; line 3 of an export names the table and its keys.
for t in $tables; do
  [ "$t" = _SummaryInformation ] && continue
  [ "$t" = _ForceCodepage ] && continue
  out=$(export_table "$t") || fail "export of $t"
  [ "$(sed -n 3p <<<"$out" | cut -f1)" = "$t" ] || fail "export of $t has no table line"
done
[ "$(export_table _ForceCodepage | sed -n 3p)" = "$(printf '1252\t_ForceCodepage')" ] || fail "code page"

has_row() { export_table "$1" | tail -n +4 | grep -qx "$2" || fail "$1 lacks row: $2"; }
has_row Feature "$(printf 'MSIFeature\t\tMSIFeature\tEverything the package installs.\t1\t1\t\t0')"
has_row FeatureComponents "$(printf 'MSIFeature\tREGDIFFCOMP')"
has_row FeatureComponents "$(printf 'MSIFeature\tINIHANDLECOMP')"
has_row Directory "$(printf 'TARGETDIR\t\tSourceDir')"
for d in ProgramFilesFolder SystemFolder System16Folder AppDataFolder USERPROFILE ALLUSERSPROFILE \
         DesktopFolder ProgramMenuFolder; do
  has_row Directory "$(printf '%s\tTARGETDIR\t.' "$d")"
done
has_row Directory "$(printf 'APPDATA\tAppDataFolder\t.')"
has_row Directory "$(printf 'INSTALLDIR\tProgramFilesFolder\t.')"
has_row Directory "$(printf 'QuickLaunchFolder\tQuickLaunchExplorer\tQUICKL~1|Quick Launch')"
has_row Property "$(printf 'ALLUSERS\t1')"
has_row Property "$(printf 'ProductLanguage\t1033')"
for p in ProductName Manufacturer ProductVersion ProductCode UpgradeCode; do
  ! export_table Property | cut -f1 | grep -qx "$p" || fail "Property $p must be left to the build"
done
[ "$(export_table Component | wc -l)" -eq 3 ] || fail "Component must hold no rows"

execute=$(export_table InstallExecuteSequence | cut -f1)
for a in CostInitialize FileCost CostFinalize InstallValidate InstallInitialize ProcessComponents \
         UnpublishFeatures RemoveRegistryValues RemoveIniValues RemoveShortcuts RemoveFiles RemoveFolders \
         CreateFolders InstallFiles CreateShortcuts WriteRegistryValues WriteIniValues RegisterUser \
         RegisterProduct PublishFeatures PublishProduct InstallFinalize SetUSERPROFILE SetALLUSERSPROFILE \
         FindRelatedProducts PreventDowngrade RemoveExistingProducts; do
  grep -qx "$a" <<<"$execute" || fail "InstallExecuteSequence lacks $a"
done
ui=$(export_table InstallUISequence | cut -f1)
for a in CostInitialize FileCost CostFinalize ExecuteAction SetUSERPROFILE SetALLUSERSPROFILE; do
  grep -qx "$a" <<<"$ui" || fail "InstallUISequence lacks $a"
done

sum=$(msiinfo suminfo "$msi" | tr -d '\r')
grep -qx 'Template: Intel;1033' <<<"$sum" || fail "template"
grep -q '^Version: 200 ' <<<"$sum" || fail "page count"
grep -q '^Source: 2 ' <<<"$sum" || fail "word count"
echo "Blank.msi: ok"
