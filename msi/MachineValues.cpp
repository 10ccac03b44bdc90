#include "msi/MachineValues.h"

#include "common/Log.h"
#include "common/Paths.h"
#include "common/Utf.h"
#include "msi/MsiTables.h"

#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <cwctype>
#include <utility>

namespace {

std::wstring ShellFolder(int csidl)
{
    wchar_t path[MAX_PATH] = {};
    if (SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path) != S_OK)
        return {};
    return path;
}

std::wstring WithoutTrailingSlash(std::wstring folder)
{
    while (folder.size() > 3 && (folder.back() == L'\\' || folder.back() == L'/'))
        folder.pop_back();
    return folder;
}

bool IsWordCharacter(wchar_t c)
{
    return std::iswalnum(c) || c == L'-' || c == L'_';
}

bool SameText(const std::wstring& a, const std::wstring& b)
{
    return !a.empty() && CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                              static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

} // namespace

CaptureMachine CaptureMachine::Current(const FolderTokenValues& env)
{
    CaptureMachine machine;
    const std::wstring profile = env.userprofile.empty() ? ShellFolder(CSIDL_PROFILE) : env.userprofile;
    machine.folders = {
        {env.programfiles, L"[ProgramFilesFolder]"},
        {env.programfiles64, L"[ProgramFiles64Folder]"},
        {env.windir, L"[WindowsFolder]"},
        {env.appdata, L"[APPDATA]"},
        {env.temp, L"[TempFolder]"},
        {ShellFolder(CSIDL_LOCAL_APPDATA), L"[LocalAppDataFolder]"},
        {ShellFolder(CSIDL_PERSONAL), L"[PersonalFolder]"},
        {ShellFolder(CSIDL_DESKTOPDIRECTORY), L"[DesktopFolder]"},
        {ShellFolder(CSIDL_PROGRAMS), L"[ProgramMenuFolder]"},
        {ShellFolder(CSIDL_STARTUP), L"[StartupFolder]"},
        {ShellFolder(CSIDL_STARTMENU), L"[StartMenuFolder]"},
        {ShellFolder(CSIDL_TEMPLATES), L"[TemplateFolder]"},
        {ShellFolder(CSIDL_FAVORITES), L"[FavoritesFolder]"},
        {profile, L"[USERPROFILE]"},
        {env.allusersprofile, L"[ALLUSERSPROFILE]"},
    };
    SortLongestFirst(machine.folders);

    wchar_t name[256] = {};
    DWORD size = 256;
    if (GetUserNameW(name, &size))
        machine.userName = name;
    size = 256;
    if (GetComputerNameW(name, &size))
        machine.computerNames.emplace_back(name);
    size = 256;
    if (GetComputerNameExW(ComputerNameDnsHostname, name, &size) &&
        (machine.computerNames.empty() || !SameText(machine.computerNames[0], name)))
        machine.computerNames.emplace_back(name);
    return machine;
}

void SortLongestFirst(std::vector<FolderProperty>& folders)
{
    for (FolderProperty& entry : folders)
        entry.folder = WithoutTrailingSlash(entry.folder);
    // A folder shorter than "C:\x" would match the drive of every path.
    std::erase_if(folders, [](const FolderProperty& entry) { return entry.folder.size() < 4; });
    // Stable: of two names for one folder, the one listed first stays.
    std::stable_sort(folders.begin(), folders.end(), [](const FolderProperty& a, const FolderProperty& b) {
        return a.folder.size() > b.folder.size();
    });
    std::vector<FolderProperty> unique;
    for (FolderProperty& entry : folders)
        if (std::none_of(unique.begin(), unique.end(),
                         [&](const FolderProperty& kept) { return SameText(kept.folder, entry.folder); }))
            unique.push_back(std::move(entry));
    folders = std::move(unique);
}

std::wstring ReplaceFolderPaths(std::wstring value, const std::vector<FolderProperty>& folders)
{
    for (const FolderProperty& entry : folders) {
        const std::wstring folder = UpperKey(entry.folder);
        std::wstring upper = UpperKey(value);
        std::size_t at = 0;
        while ((at = upper.find(folder, at)) != std::wstring::npos) {
            const std::size_t end = at + folder.size();
            const bool startsPath = at == 0 || !std::iswalnum(upper[at - 1]);
            const wchar_t next = end < upper.size() ? upper[end] : L'\0';
            if (!startsPath || (next != L'\0' && next != L'\\' && next != L';' && next != L',' && next != L'|' &&
                                next != L'"')) {
                at = end;
                continue;
            }
            // The property ends with a backslash: the folder's own goes.
            const std::size_t replaced = folder.size() + (next == L'\\' ? 1 : 0);
            const std::wstring with = entry.property + (next == L'"' ? L"." : L"");
            value.replace(at, replaced, with);
            upper.replace(at, replaced, with);
            at += with.size();
        }
    }
    return value;
}

std::size_t CountComputerNames(const std::wstring& value, const std::vector<std::wstring>& names)
{
    std::size_t count = 0;
    const std::wstring upper = UpperKey(value);
    for (const std::wstring& name : names) {
        const std::wstring wanted = UpperKey(name);
        if (wanted.empty())
            continue;
        for (std::size_t at = upper.find(wanted); at != std::wstring::npos; at = upper.find(wanted, at + 1)) {
            const std::size_t end = at + wanted.size();
            if ((at == 0 || !IsWordCharacter(upper[at - 1])) && (end == upper.size() || !IsWordCharacter(upper[end])))
                ++count;
        }
    }
    return count;
}

CMachineValues::CMachineValues(CaptureMachine machine) : m_machine(std::move(machine))
{
    SortLongestFirst(m_machine.folders);
}

std::wstring CMachineValues::Formatted(const std::wstring& raw, const std::wstring& where)
{
    if (SameText(m_machine.userName, raw))
        return L"[LogonUser]";
    if (CountComputerNames(raw, m_machine.computerNames) > 0) {
        ++m_computerNameValues;
        LogError(L"CMSIHandler: " + where + L" names the capturing computer (" +
                 m_machine.computerNames.front() + L"); packaged as it is: " + raw);
    }
    return ReplaceFolderPaths(EscapeFormatted(raw), m_machine.folders);
}
