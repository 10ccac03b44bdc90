#pragma once
// The Shortcut rows of a build: each captured shortcut pointing to a packed
// file, in that file's component, with its Start-menu subfolders (Directory
// and RemoveFile rows) and its icon (an Icon row per icon file).
#include "common/ChangeTypes.h"

#include <map>
#include <string>

struct BuildContext;
class CDirectoryRows;

class CShortcutRows
{
public:
    CShortcutRows(BuildContext& build, const CDirectoryRows& directories);
    void Add(const ShortcutList& shortcuts);

private:
    [[nodiscard]] bool Fits(const ShortcutRecord& record);
    std::wstring FolderKey(const std::wstring& place, const std::wstring& subfolder, const std::wstring& component);
    std::wstring IconRow(const std::wstring& path);

    BuildContext& m_build;
    const CDirectoryRows& m_directories;
    std::map<std::wstring, std::wstring> m_folderKeys; // upper-case place\subfolder -> key
    std::map<std::wstring, int> m_iconNumbers;
};
