#pragma once
// The Directory rows of a build: one row per captured folder (and its
// unknown parents), the standard folders by their installer properties, the
// 64-bit folders the template lacks, and the CreateFolder and RemoveFile rows
// of the folders the setup left empty. Folders off the system drive are left
// out (BuildContext::LeaveOutFolder).
#include <map>
#include <set>
#include <string>
#include <vector>

struct BuildContext;

class CDirectoryRows
{
public:
    explicit CDirectoryRows(BuildContext& build);

    // Rows for the folders (token form); doubled or trailing backslashes are
    // dropped.
    void AddFolders(const std::vector<std::wstring>& folders);
    // Folders the setup created and left empty: a CreateFolder row each, so
    // the installation creates them, and a RemoveFile row that takes them
    // away again on removal, in one component of their own.
    void AddEmptyFolders(const std::vector<std::wstring>& folders);
    // The Directory key of a component in the folder: its row's, else the
    // standard folder that stands for it or that it lies in.
    std::wstring ComponentDirectory(const std::wstring& folder) const;
    // The key of the folder's own row; "" when it has none.
    std::wstring RowKey(const std::wstring& folder) const;
    // Adds the row of ProgramFiles64Folder or System64Folder once.
    void EnsurePlatformFolderRow(const std::wstring& property);

private:
    std::wstring KeyFor(const std::wstring& folder, bool& isProperty);
    std::wstring FolderProperty(const std::wstring& folder);

    BuildContext& m_build;
    std::map<std::wstring, std::wstring> m_keys; // upper-case folder (token form) -> key
    std::set<std::wstring> m_platformFolderRows;
    bool m_windowsFolderAdded = false;
    bool m_emptyFolderComponentAdded = false;
};
