// The platform side of the build: 64-bit components, the 64-bit standard
// folders, the System32 files staged for the cabinet maker and the x64
// summary information.
#include "msi/MsiPlatform.h"
#include "msi/Upgrade.h"

#include "common/Log.h"
#include "common/Paths.h"
#include "common/RegistryViews.h"
#include "common/Utf.h"
#include "common/Wow64.h"
#include "msi/MSIHandler.h"
#include "msi/MsiTableIds.h"
#include "msi/MsiTables.h"

#include <msidefs.h>

#include <utility>

namespace {

constexpr const wchar_t* ProgramFiles64Token = L"%PROGRAMFILES64%";
constexpr const wchar_t* System32Folder = L"%WINDIR%\\SYSTEM32";
constexpr const wchar_t* SysWow64Folder = L"%WINDIR%\\SYSWOW64";

// True when the folder (upper case) is `base` or lies below it.
bool IsAtOrBelow(const std::wstring& upperFolder, const std::wstring& base)
{
    return upperFolder.compare(0, base.size(), base) == 0 &&
           (upperFolder.size() == base.size() || upperFolder[base.size()] == L'\\');
}

} // namespace

bool IsX64Platform(const std::wstring& platform)
{
    return UpperKey(platform) == L"X64";
}

bool IsFolder64Bit(const std::wstring& folder, bool x64Capture)
{
    if (!x64Capture)
        return false;
    const std::wstring upper = UpperKey(folder);
    return IsAtOrBelow(upper, ProgramFiles64Token) || IsAtOrBelow(upper, System32Folder);
}

std::wstring PlatformFolderProperty(const std::wstring& folder, bool x64Capture)
{
    if (!x64Capture)
        return L"";
    const std::wstring upper = UpperKey(folder);
    if (upper == ProgramFiles64Token)
        return L"ProgramFiles64Folder";
    if (upper == System32Folder)
        return L"System64Folder";
    if (upper == SysWow64Folder)
        return L"SystemFolder";
    return L"";
}

bool TakeRegistryKeyView(const std::wstring& root, std::wstring& key, bool x64Capture)
{
    if (!x64Capture)
        return false;
    if (StripWow6432Node(root, key))
        return false;
    return IsOnly64BitViewKey(root, key);
}

// ---- The builder's platform steps -------------------------------------------

void CMSIHandler::EnsurePlatformFolderRow(const std::wstring& property)
{
    if (property != L"ProgramFiles64Folder" && property != L"System64Folder")
        return;
    if (!m_platformFolderRows.insert(property).second)
        return;
    if (Table(TableId::Directory).Insert({property, L"TARGETDIR", L"."}))
        ++m_counts.DirectoryRows;
}

bool CMSIHandler::IsSharedRegistryKey(const std::wstring& root, const std::wstring& key)
{
    if (!IsWow64Windows())
        return false;
    const auto hive = HiveNames().find(root);
    if (hive == HiveNames().end())
        return false;
    const std::wstring path = root + L"\\" + key;
    if (const auto known = m_sharedKeys.find(UpperKey(path)); known != m_sharedKeys.end())
        return known->second;
    bool shared = false;
    // The key's place in the 32-bit view, or a key above it there, is a link
    // to the same place in the 64-bit view. (Other links lead elsewhere:
    // SOFTWARE\WOW6432Node\Classes to SOFTWARE\Classes\WOW6432Node.)
    for (const std::wstring& twin : Wow6432NodeTwins(path)) {
        const std::wstring subkey = twin.substr(root.size() + 1);
        const std::size_t node = UpperKey(subkey).find(L"WOW6432NODE");
        for (std::size_t end = subkey.find(L'\\', node);; end = subkey.find(L'\\', end + 1)) {
            std::wstring level = subkey.substr(0, end);
            const std::wstring target = UpperKey(RegistryLinkTarget(hive->second, level));
            if (!target.empty()) {
                (void)StripWow6432Node(root, level); // the same key in the 64-bit view
                const std::wstring own = L"\\" + UpperKey(level);
                shared = target.size() >= own.size() && target.compare(target.size() - own.size(), own.size(), own) == 0;
                break;
            }
            if (end == std::wstring::npos)
                break;
        }
        if (shared)
            break;
    }
    m_sharedKeys.emplace(UpperKey(path), shared);
    return shared;
}

std::wstring CMSIHandler::RegistryComponent(bool is64Bit)
{
    if (!is64Bit)
        return L"REGDIFFCOMP";
    if (!std::exchange(m_registry64ComponentAdded, true)) {
        EnsurePlatformFolderRow(L"ProgramFiles64Folder");
        (void)Table(TableId::Component)
            .Insert({L"REGDIFFCOMP64", ComponentId(FixedComponentIdentity(L"REGDIFFCOMP64")), L"ProgramFiles64Folder",
                     8 | RegistryKeyPathAttribute | msidbComponentAttributes64bit,
                     AddKeyPathValue(L"REGDIFFCOMP64", L"Registry64")});
        (void)Table(TableId::FeatureComponent).Insert({L"MSIFeature", L"REGDIFFCOMP64"});
        m_has64BitComponent = true;
    }
    return L"REGDIFFCOMP64";
}

void CMSIHandler::StageRedirectedFiles()
{
    // A cabinet maker of 32 bits (ours, or the platform's run from this
    // process) would read SysWOW64 for System32: the real System32 files are
    // copied to the working folder, with redirection off, and packed from there.
    if (!m_x64Capture || !IsWow64Windows())
        return;
    const std::wstring stage = WorkingTempFolder() + L"\\System64Files";
    bool created = false;
    for (PackedFile& file : m_files) {
        if (!IsAtOrBelow(UpperKey(file.folder), System32Folder))
            continue;
        if (!created) {
            RemoveFolderTree(stage);
            created = EnsureFolder(stage);
        }
        const std::wstring copy = stage + L"\\" + file.key;
        bool copied;
        {
            const CFsRedirectionOff realFolders;
            copied = CopyFileW(file.realPath.c_str(), copy.c_str(), FALSE) != FALSE;
        }
        if (copied)
            file.realPath = copy;
        else
            LogError(L"CMSIHandler::StageRedirectedFiles: Unable to copy " + file.realPath + L" to " +
                     copy);
    }
}
