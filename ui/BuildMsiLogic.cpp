#include "ui/BuildMsiLogic.h"

#include "common/Log.h"
#include "common/Paths.h"
#include "common/Utf.h"
#include "project/Base64.h"

int RestoreIconFiles(const IconMap& icons, const std::wstring& iconFolder)
{
    if (!EnsureFolder(ToUtf8(iconFolder))) {
        LogError("CBuildMSIDlg::RestoreIconFiles: Unable to create " + ToUtf8(iconFolder));
        return 0;
    }
    int written = 0;
    for (const auto& [path, record] : icons) {
        const std::wstring name = LastPathComponent(path);
        if (name.empty())
            continue;
        const std::wstring target = iconFolder + L"\\" + name;
        if (WriteIconFile(record, target))
            ++written;
        else
            LogError("CBuildMSIDlg::RestoreIconFiles: Unable to write " + ToUtf8(target));
    }
    return written;
}

ShortcutEntryMap MergeShortcutRecords(const ShortcutList& records, const std::wstring& iconFolder)
{
    ShortcutEntryMap entries;
    for (const ShortcutRecord& record : records) {
        auto [it, added] = entries.try_emplace(record.Name);
        ShortcutEntry& entry = it->second;
        if (added) {
            entry.name = record.Name;
            entry.desktop = entry.programMenu = entry.quickLaunch = false;
        }
        entry.executable = record.ExeName;
        entry.iconIndex = _wtoi(record.IconIndex.c_str());
        entry.iconSource = record.Icon.empty() ? std::wstring() : iconFolder + L"\\" + LastPathComponent(record.Icon);
        // Only the icons the project file stores are restored into the folder.
        if (!record.Icon.empty() && GetFileAttributesW(entry.iconSource.c_str()) == INVALID_FILE_ATTRIBUTES &&
            GetFileAttributesW(record.Icon.c_str()) != INVALID_FILE_ATTRIBUTES)
            entry.iconSource = record.Icon;
        if (record.Directory == L"DesktopFolder")
            entry.desktop = true;
        else if (record.Directory == L"ProgramMenuFolder")
            entry.programMenu = true;
        else if (record.Directory == L"QuickLaunchFolder")
            entry.quickLaunch = true;
    }
    return entries;
}

ProjectInputCheck CheckBuildTarget(const std::wstring& targetPath, const std::wstring& msiName)
{
    // The project file name of the full check is one that always passes.
    ProjectInputCheck check = CheckProjectInputs({targetPath, L"project.xml", msiName});
    check.values.projectFileName.clear();
    return check;
}
