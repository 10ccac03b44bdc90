#include "engine/UninstallRegistration.h"

#include "common/Log.h"
#include "common/Utf.h"

#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <cwctype>

namespace {

constexpr ChangeList AddedFiles{ChangeArea::Files, ChangeOrigin::Added};
constexpr ChangeList AddedKeys{ChangeArea::Registry, ChangeOrigin::Added};

std::wstring Lower(std::wstring text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](wchar_t c) { return std::towlower(c); });
    return text;
}

bool SameText(const std::wstring& a, const std::wstring& b)
{
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}

// The text of a string value as the comparison keeps it: REG_SZ in quotes,
// REG_EXPAND_SZ as the hexadecimal digits of its UTF-16 bytes.
std::wstring ValueText(const RegistryChangeEntry& value)
{
    if (value.TypeName == L"REG_SZ") {
        if (value.Data.size() >= 2 && value.Data.front() == L'"' && value.Data.back() == L'"')
            return value.Data.substr(1, value.Data.size() - 2);
        return value.Data;
    }
    if (value.TypeName == L"REG_EXPAND_SZ") {
        std::wstring text;
        for (std::size_t i = 0; i + 4 <= value.Data.size(); i += 4) {
            const unsigned low = std::wcstoul(value.Data.substr(i, 2).c_str(), nullptr, 16);
            const unsigned high = std::wcstoul(value.Data.substr(i + 2, 2).c_str(), nullptr, 16);
            const wchar_t c = static_cast<wchar_t>(low | (high << 8));
            if (c == 0)
                break;
            text += c;
        }
        wchar_t expanded[1024] = {};
        const DWORD length = ExpandEnvironmentStringsW(text.c_str(), expanded, 1024);
        return length > 0 && length <= 1024 ? std::wstring(expanded) : text;
    }
    return {};
}

// The program a command line or icon location names: the quoted part, or the
// text up to ".exe" (paths with blanks are often left unquoted), or up to the
// icon index.
std::wstring ProgramOf(std::wstring text)
{
    const auto first = text.find_first_not_of(L" \t");
    if (first == std::wstring::npos)
        return {};
    text.erase(0, first);
    if (text[0] == L'"') {
        const auto close = text.find(L'"', 1);
        return text.substr(1, close == std::wstring::npos ? std::wstring::npos : close - 1);
    }
    const std::wstring lower = Lower(text);
    if (const auto exe = lower.find(L".exe"); exe != std::wstring::npos)
        return text.substr(0, exe + 4);
    if (const auto comma = text.rfind(L','); comma != std::wstring::npos)
        text.erase(comma);
    while (!text.empty() && (text.back() == L' ' || text.back() == L'\t'))
        text.pop_back();
    return text;
}

std::wstring FolderPart(const std::wstring& path)
{
    const auto slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

std::wstring NamePart(const std::wstring& path)
{
    const auto slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

// Removes `path` (any case) from the added files; true when it was there.
bool TakeFile(DirectoryChangeMap& files, const std::wstring& path, std::vector<MovedChangeEntry>& moved)
{
    const std::wstring folder = FolderPart(path);
    for (auto& [key, list] : files) {
        if (!SameText(key, folder))
            continue;
        for (auto it = list.begin(); it != list.end(); ++it) {
            if (!SameText(*it, path))
                continue;
            moved.push_back({AddedFiles, key, *it, {}, UninstallEntryDescription});
            LogError(L"MoveOutUninstallRegistration: " + *it + L" left out (uninstaller of the setup)");
            list.erase(it);
            return true;
        }
    }
    return false;
}

// unins000.exe and the like: "unins", digits, ".exe".
bool IsNumberedUninstaller(const std::wstring& fileName)
{
    const std::wstring name = Lower(fileName);
    if (name.size() < 10 || name.rfind(L"unins", 0) != 0 || name.substr(name.size() - 4) != L".exe")
        return false;
    return std::all_of(name.begin() + 5, name.end() - 4, [](wchar_t c) { return c >= L'0' && c <= L'9'; });
}

} // namespace

bool IsUninstallEntryKey(const std::wstring& key, std::wstring* entryKey)
{
    static const std::wstring marker = L"\\microsoft\\windows\\currentversion\\uninstall\\";
    const std::wstring lower = Lower(key);
    const auto at = lower.find(marker);
    if (at == std::wstring::npos || at + marker.size() >= lower.size())
        return false;
    if (entryKey) {
        const auto end = key.find(L'\\', at + marker.size());
        *entryKey = key.substr(0, end);
    }
    return true;
}

std::vector<std::wstring> UninstallerPaths(const std::vector<RegistryChangeEntry>& values)
{
    std::vector<std::wstring> paths;
    for (const RegistryChangeEntry& value : values) {
        const std::wstring name = Lower(value.ValueName);
        if (name != L"\"uninstallstring\"" && name != L"\"quietuninstallstring\"" && name != L"\"displayicon\"")
            continue;
        const std::wstring path = ProgramOf(ValueText(value));
        if (path.find(L'\\') == std::wstring::npos)
            continue;
        // The icon is often the application's own program, which stays; only
        // an uninstaller named as icon goes.
        if (name == L"\"displayicon\"" && Lower(NamePart(path)).rfind(L"unins", 0) != 0)
            continue;
        paths.push_back(path);
    }
    return paths;
}

std::vector<MovedChangeEntry> MoveOutUninstallRegistration(DirectoryChangeMap& addedFiles,
                                                           RegistryChangeMap& addedKeys)
{
    std::vector<MovedChangeEntry> moved;
    std::vector<std::wstring> programs;
    for (auto it = addedKeys.begin(); it != addedKeys.end();) {
        std::wstring entryKey;
        if (!IsUninstallEntryKey(it->first, &entryKey)) {
            ++it;
            continue;
        }
        LogError(L"MoveOutUninstallRegistration: " + it->first + L" left out (Uninstall entry of the setup)");
        if (it->first.size() == entryKey.size())
            for (const std::wstring& path : UninstallerPaths(it->second))
                programs.push_back(path);
        if (it->second.empty())
            moved.push_back({AddedKeys, it->first, {}, {}, UninstallEntryDescription});
        for (const RegistryChangeEntry& value : it->second)
            moved.push_back({AddedKeys, it->first, {}, value, UninstallEntryDescription});
        it = addedKeys.erase(it);
    }
    for (const std::wstring& program : programs) {
        if (!TakeFile(addedFiles, program, moved))
            continue;
        // Numbered uninstallers keep their log in a same-named .dat beside them.
        if (IsNumberedUninstaller(NamePart(program)))
            TakeFile(addedFiles, program.substr(0, program.size() - 4) + L".dat", moved);
    }
    return moved;
}
