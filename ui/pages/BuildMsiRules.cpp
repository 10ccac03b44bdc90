#include "ui/pages/BuildMsiRules.h"

#include "common/Log.h"
#include "common/Paths.h"
#include "common/Utf.h"
#include "project/Base64.h"

int RestoreIconFiles(const IconMap& icons, const std::wstring& iconFolder)
{
    if (!EnsureFolder(iconFolder)) {
        LogError(L"CBuildMSIDlg::RestoreIconFiles: Unable to create " + iconFolder);
        return 0;
    }
    int written = 0;
    for (const auto& [path, record] : icons) {
        const std::wstring name = LastPathComponent(path);
        if (name.empty())
            continue;
        const std::wstring target = iconFolder + L"\\" + name;
        if (const Result restored = WriteIconFile(record, target); restored)
            ++written;
        else
            LogError(Result::Because(L"CBuildMSIDlg::RestoreIconFiles: Unable to write " + target, restored).Text());
    }
    return written;
}

ShortcutEntryMap MergeShortcutRecords(const ShortcutList& records, const std::wstring& iconFolder)
{
    // The records stay with their entry, as the project page keeps those the
    // capture found: what the dialog does not edit is written back unchanged.
    ShortcutEntryMap entries = EntriesFromCapturedShortcuts(records);
    for (auto& [name, entry] : entries) {
        const ShortcutRecord& last = entry.captured.back();
        entry.executable = last.ExeName;
        entry.iconIndex = _wtoi(last.IconIndex.c_str());
        entry.iconSource = last.Icon.empty() ? std::wstring() : iconFolder + L"\\" + LastPathComponent(last.Icon);
        // Only the icons the project file stores are restored into the folder.
        if (!last.Icon.empty() && GetFileAttributesW(entry.iconSource.c_str()) == INVALID_FILE_ATTRIBUTES &&
            GetFileAttributesW(last.Icon.c_str()) != INVALID_FILE_ATTRIBUTES)
            entry.iconSource = last.Icon;
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
