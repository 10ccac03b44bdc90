#include "msi/ShortcutRows.h"

#include "common/FolderTokens.h"
#include "common/Log.h"
#include "common/Utf.h"
#include "msi/BuildContext.h"
#include "msi/DirectoryRows.h"
#include "msi/MsiTableIds.h"
#include "msi/MsiTables.h"

#include <algorithm>
#include <cwchar>

namespace {

// A whole number of the project file as a column: null when the text is not one.
MsiField NumberField(const std::wstring& text)
{
    wchar_t* end = nullptr;
    const long number = std::wcstol(text.c_str(), &end, 10);
    return !text.empty() && end && *end == L'\0' ? MsiField(static_cast<int>(number)) : MsiField(std::wstring_view());
}

} // namespace

CShortcutRows::CShortcutRows(BuildContext& build, const CDirectoryRows& directories)
    : m_build(build), m_directories(directories)
{
}

std::wstring CShortcutRows::IconRow(const std::wstring& path)
{
    if (path.empty())
        return L"";
    if (auto known = m_iconNumbers.find(UpperKey(path)); known != m_iconNumbers.end())
        return L"Icon" + std::to_wstring(known->second);
    const int number = static_cast<int>(m_iconNumbers.size()) + 1;
    m_iconNumbers.emplace(UpperKey(path), number);
    const std::wstring key = L"Icon" + std::to_wstring(number);
    (void)m_build.Table(TableId::Icon).InsertWithStream({key}, path, IconStreamFailure);
    m_build.results.sources.icons.emplace(key, path);
    return key;
}

// The folder of a captured shortcut's Start-menu subfolder (Vendor\App below
// ProgramMenuFolder): one Directory row per level, shared by the shortcuts in
// it, and a RemoveFile row per level so that uninstall takes the folders away.
std::wstring CShortcutRows::FolderKey(const std::wstring& place, const std::wstring& subfolder,
                                      const std::wstring& component)
{
    if (place == L"StartMenuFolder" && m_folderKeys.emplace(L"\\StartMenuFolder", place).second)
        (void)m_build.Table(TableId::Directory).Insert({place, L"TARGETDIR", L"."});
    std::wstring parent = place;
    std::wstring path = place;
    std::size_t start = 0;
    while (start <= subfolder.size()) {
        const auto end = std::min(subfolder.find(L'\\', start), subfolder.size());
        const std::wstring name = subfolder.substr(start, end - start);
        start = end + 1;
        if (name.empty())
            continue;
        path += L"\\" + name;
        const auto known = m_folderKeys.find(UpperKey(path));
        if (known != m_folderKeys.end()) {
            parent = known->second;
            continue;
        }
        const std::wstring key = UpperKey(m_build.keys.directories.Make(MsiIdentifier(name)));
        m_folderKeys.emplace(UpperKey(path), key);
        if (m_build.Table(TableId::Directory).Insert({key, parent, name}))
            ++m_build.counts.DirectoryRows;
        (void)m_build.Table(TableId::RemoveFile).Insert({L"Remove" + key, component, L"", key, 2});
        parent = key;
    }
    return parent;
}

bool CShortcutRows::Fits(const ShortcutRecord& record)
{
    return m_build.FitsCodePage(record.Name) && m_build.FitsCodePage(record.Subfolder) &&
           m_build.FitsCodePage(record.Arguments) && m_build.FitsCodePage(record.Description);
}

void CShortcutRows::Add(const ShortcutList& shortcuts)
{
    CTableInserter& table = m_build.Table(TableId::Shortcut);
    for (std::size_t i = 0; i < shortcuts.size(); ++i) {
        const ShortcutRecord& record = shortcuts[i];
        std::wstring exe = record.ExeName;
        if (const auto slash = exe.find_last_of(L'\\'); slash != std::wstring::npos)
            exe = exe.substr(slash + 1);
        const auto file = m_build.firstKeyOfName.find(UpperKey(exe));
        if (file == m_build.firstKeyOfName.end()) {
            LogError(L"CMSIHandler::AddShortcutRows: " + record.Name + L" points to " + exe +
                     L", which is not in the package; left out");
            m_build.LeftOut(L"Shortcut", record.Name, L"its program " + exe + L" is not in the package");
            ++m_build.counts.OtherLeftOut;
            continue;
        }
        if (!Fits(record)) {
            LogError(L"CMSIHandler::AddShortcutRows: " + record.Name +
                     L" cannot be written in the package's code page; left out");
            m_build.LeftOut(L"Shortcut", record.Name, L"not in the package's code page");
            ++m_build.counts.OtherLeftOut;
            continue;
        }
        const std::wstring target = L"[#" + file->second + L"]";
        const std::wstring shortcut = L"Shortcut" + std::to_wstring(i);
        const std::wstring component = UpperKey(file->second + L"Comp");
        const std::wstring directory = record.Subfolder.empty() && record.Directory != L"StartMenuFolder"
                                           ? record.Directory
                                           : FolderKey(record.Directory, record.Subfolder, component);
        const std::wstring icon = IconRow(record.Icon);
        // The working folder is named by its Directory key: a captured folder's.
        std::wstring workingFolder;
        if (!record.WorkingFolder.empty()) {
            std::wstring token = record.WorkingFolder;
            ToTokenPath(token, m_build.place.tokens);
            workingFolder = m_directories.RowKey(token);
        }
        const std::wstring arguments =
            m_build.MachineValue(record.Arguments, L"the arguments of the shortcut " + record.Name);
        if (table.Insert({shortcut, directory, record.Name, component, target, icon, NumberField(record.IconIndex),
                          arguments, record.Description, NumberField(record.ShowCommand), workingFolder}))
            ++m_build.counts.ShortcutRows;
    }
}
