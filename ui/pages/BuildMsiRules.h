#pragma once
// The rules of the Build MSI page that work without a window: the shortcut
// icons of a project file written back as files, the project's shortcut
// records merged into one entry per shortcut name, and the checks of the
// target folder and the MSI name.
#include "common/ChangeTypes.h"
#include "ui/pages/CreateProjectFileAndMsiRules.h"

#include <string>

// Writes every icon file of the project's "ShortcutICONs" into `iconFolder`
// (created when missing) under the last "\"-separated component of its stored
// path. The number of files written; each one that cannot be written is logged.
int RestoreIconFiles(const IconMap& icons, const std::wstring& iconFolder);

// One entry per shortcut name: the executable, the icon index and the icon
// source (`iconFolder` + "\" + the last component of the record's icon path)
// of the name's last record, and one flag per record's Directory
// ("DesktopFolder", "ProgramMenuFolder", "QuickLaunchFolder"). A record whose
// icon is not in `iconFolder` (an icon that was not stored, such as one taken
// from a .dll) keeps its own icon path while that file exists. Every record
// of the name stays in the entry (`captured`), so that PrepareShortcuts writes
// them back with their subfolder, arguments, working folder, description and
// show command, and records of other folders (StartMenuFolder) as they are.
ShortcutEntryMap MergeShortcutRecords(const ShortcutList& records, const std::wstring& iconFolder);

// The target folder and MSI name checks of the Create Project File and MSI
// page, in its order and with its messages; `field` is IDC_TARGET_PATH or
// IDC_MSI_NAME of that page.
ProjectInputCheck CheckBuildTarget(const std::wstring& targetPath, const std::wstring& msiName);
