#include "msi/DirectoryRows.h"

#include "common/Log.h"
#include "common/Paths.h"
#include "common/Utf.h"
#include "msi/BuildContext.h"
#include "msi/FileCollection.h"
#include "msi/MsiPlatform.h"
#include "msi/MsiTableIds.h"
#include "msi/MsiTables.h"
#include "msi/Upgrade.h"

#include <utility>

namespace {

// The template's own Directory keys: a captured folder never takes one of them.
constexpr const wchar_t* TemplateDirectoryKeys[] = {
    L"TARGETDIR",       L"ProgramFilesFolder", L"SystemFolder",         L"System16Folder",   L"AppDataFolder",
    L"APPDATA",         L"USERPROFILE",        L"ALLUSERSPROFILE",      L"INSTALLDIR",       L"DesktopFolder",
    L"ProgramMenuFolder", L"QuickLaunchMicrosoft", L"QuickLaunchExplorer", L"QuickLaunchFolder", L"WindowsFolder",
    L"ProgramFiles64Folder", L"System64Folder", L"StartMenuFolder",
};

// The installer property that stands for a whole token folder, or "".
std::wstring ParentFolderProperty(const std::wstring& folder, const std::wstring& drive)
{
    if (folder == L"%WINDIR%")
        return L"WindowsFolder";
    if (folder == L"%USERPROFILE%")
        return L"USERPROFILE";
    if (folder == L"%ALLUSERSPROFILE%")
        return L"ALLUSERSPROFILE";
    if (folder == L"%APPDATA%")
        return L"AppDataFolder";
    if (folder == L"%PROGRAMFILES%")
        return L"ProgramFilesFolder";
    if (folder == L"%SYSDRIVE%" || (!drive.empty() && UpperKey(folder) == UpperKey(drive)))
        return L"TARGETDIR";
    return L"";
}

// For a folder without a row of its own: the standard folder it lies in.
std::wstring FallbackFolderProperty(const std::wstring& folder, const std::wstring& drive)
{
    static const std::pair<const wchar_t*, const wchar_t*> table[] = {
        {L"%PROGRAMFILES%", L"ProgramFilesFolder"}, {L"%WINDIR%\\system32", L"SystemFolder"},
        {L"%WINDIR%\\system", L"System16Folder"},   {L"%WINDIR%", L"WindowsFolder"},
        {L"%APPDATA%", L"APPDATA"},                 {L"%USERPROFILE%", L"USERPROFILE"},
        {L"%ALLUSERSPROFILE%", L"ALLUSERSPROFILE"}, {L"%SYSDRIVE%", L"TARGETDIR"},
    };
    for (const auto& [token, property] : table)
        if (folder.find(token) != std::wstring::npos)
            return property;
    if (!drive.empty() && UpperKey(folder) == UpperKey(drive))
        return L"TARGETDIR";
    return folder;
}

// The folder without empty components (doubled or trailing backslashes).
std::wstring CleanFolder(const std::wstring& folder)
{
    std::wstring clean;
    std::size_t start = 0;
    while (start <= folder.size()) {
        std::size_t end = folder.find(L'\\', start);
        if (end == std::wstring::npos)
            end = folder.size();
        if (end > start) {
            if (!clean.empty())
                clean += L'\\';
            clean.append(folder, start, end - start);
        }
        start = end + 1;
    }
    return clean;
}

} // namespace

CDirectoryRows::CDirectoryRows(BuildContext& build) : m_build(build)
{
}

// The key of a folder's row: recorded earlier, a standard folder, or a new
// row (with rows for its unknown parents first). `isProperty` tells a
// standard folder, whose key is used without upper-casing.
std::wstring CDirectoryRows::KeyFor(const std::wstring& folder, bool& isProperty)
{
    isProperty = false;
    const std::wstring property = FolderProperty(folder);
    if (!property.empty()) {
        isProperty = true;
        return property;
    }
    if (auto known = m_keys.find(UpperKey(folder)); known != m_keys.end())
        return known->second;

    // Walk up to the first folder that has a key (or has no parent).
    std::vector<std::wstring> chain{folder};
    std::wstring parentKey;
    for (;;) {
        const std::wstring parent = ParentOf(chain.back());
        if (parent.empty()) {
            // A drive other than the system drive: the drive names its own parent key.
            if (chain.size() > 1) {
                parentKey = UpperKey(chain.back());
                chain.pop_back();
            } else {
                parentKey = L"TARGETDIR";
            }
            break;
        }
        const std::wstring parentProperty = FolderProperty(parent);
        if (!parentProperty.empty()) {
            parentKey = parentProperty;
            break;
        }
        if (auto known = m_keys.find(UpperKey(parent)); known != m_keys.end()) {
            parentKey = known->second;
            break;
        }
        chain.push_back(parent);
    }
    CTableInserter& table = m_build.Table(TableId::Directory);
    std::wstring key;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        const std::wstring name = LastComponent(*it);
        key = UpperKey(m_build.keys.directories.Make(MsiIdentifier(name)));
        m_keys.emplace(UpperKey(*it), key);
        if (table.Insert({key, parentKey, name}))
            ++m_build.counts.DirectoryRows;
        parentKey = key;
    }
    return key;
}

void CDirectoryRows::AddFolders(const std::vector<std::wstring>& folders)
{
    CTableInserter& table = m_build.Table(TableId::Directory);
    if (!m_windowsFolderAdded) {
        m_windowsFolderAdded = true;
        for (const wchar_t* key : TemplateDirectoryKeys)
            m_build.keys.directories.Reserve(key);
        const std::wstring windowsName = LastComponent(m_build.place.tokens.windir);
        (void)table.Insert({L"WindowsFolder", L"TARGETDIR", L".:" + (windowsName.empty() ? L"Windows" : windowsName)});
    }
    for (const std::wstring& folder : folders) {
        const std::wstring clean = CleanFolder(folder);
        if (clean.empty())
            continue;
        if (!OnSystemDrive(clean, m_build.place.tokens.systemdrive)) {
            if (m_build.LeaveOutFolder(clean))
                LogError(L"CMSIHandler::AddDirectoryRows: " + clean +
                         L" is not on the system drive, where the package installs; left out");
            continue;
        }
        bool isProperty = false;
        const std::wstring key = KeyFor(clean, isProperty);
        if (clean != folder && !isProperty)
            m_keys.emplace(UpperKey(folder), key);
    }
}

// The standard folder that stands for the whole folder, its row added when
// it is one of the 64-bit folders that the template does not have.
std::wstring CDirectoryRows::FolderProperty(const std::wstring& folder)
{
    const std::wstring platform = PlatformFolderProperty(folder, m_build.x64Capture);
    if (!platform.empty()) {
        EnsurePlatformFolderRow(platform);
        return platform;
    }
    return ParentFolderProperty(folder, m_build.place.tokens.systemdrive);
}

void CDirectoryRows::EnsurePlatformFolderRow(const std::wstring& property)
{
    if (property != L"ProgramFiles64Folder" && property != L"System64Folder")
        return;
    if (!m_platformFolderRows.insert(property).second)
        return;
    if (m_build.Table(TableId::Directory).Insert({property, L"TARGETDIR", L"."}))
        ++m_build.counts.DirectoryRows;
}

std::wstring CDirectoryRows::ComponentDirectory(const std::wstring& folder) const
{
    if (auto known = m_keys.find(UpperKey(folder)); known != m_keys.end())
        return known->second;
    if (const std::wstring platform = PlatformFolderProperty(folder, m_build.x64Capture); !platform.empty())
        return platform;
    const std::wstring& drive = m_build.place.tokens.systemdrive;
    const std::wstring property = ParentFolderProperty(folder, drive);
    return property.empty() ? FallbackFolderProperty(folder, drive) : property;
}

std::wstring CDirectoryRows::RowKey(const std::wstring& folder) const
{
    const auto known = m_keys.find(UpperKey(folder));
    return known == m_keys.end() ? std::wstring() : known->second;
}

// One component with a value of its own as key path holds the empty folders.
void CDirectoryRows::AddEmptyFolders(const std::vector<std::wstring>& folders)
{
    AddFolders(folders);
    const std::wstring component = L"EMPTYFOLDERCOMP";
    int number = 0;
    for (const std::wstring& folder : folders) {
        if (m_build.IsLeftOutFolder(folder))
            continue; // logged and counted with the folder
        const auto known = m_keys.find(UpperKey(folder));
        if (known == m_keys.end())
            continue; // a standard folder: it exists anyway
        if (!std::exchange(m_emptyFolderComponentAdded, true)) {
            (void)m_build.Table(TableId::Component)
                .Insert({component, m_build.ComponentId(FixedComponentIdentity(component)), L"ProgramFilesFolder",
                         RegistryKeyPathAttribute, m_build.AddKeyPathValue(component, L"EmptyFolders")});
            (void)m_build.Table(TableId::FeatureComponent).Insert({L"MSIFeature", component});
        }
        if (m_build.Table(TableId::CreateFolder).Insert({known->second, component}))
            ++m_build.counts.EmptyFolders;
        (void)m_build.Table(TableId::RemoveFile)
            .Insert({L"RemoveEmpty" + std::to_wstring(++number), component, L"", known->second, 2});
    }
}
