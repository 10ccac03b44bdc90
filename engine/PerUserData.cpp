#include "engine/PerUserData.h"

#include <windows.h>

namespace {

bool StartsWithNoCase(const std::wstring& text, const std::wstring& prefix)
{
    return text.size() >= prefix.size() &&
           CompareStringOrdinal(text.c_str(), static_cast<int>(prefix.size()), prefix.c_str(),
                                static_cast<int>(prefix.size()), TRUE) == CSTR_EQUAL;
}

// `path` is `folder` or lies below it.
bool IsAtOrBelow(const std::wstring& path, const std::wstring& folder)
{
    return !folder.empty() && StartsWithNoCase(path, folder) &&
           (path.size() == folder.size() || path[folder.size()] == L'\\');
}

std::wstring Counted(long long count, const wchar_t* one, const wchar_t* many)
{
    return std::to_wstring(count) + L" " + (count == 1 ? one : many);
}

} // namespace

PerUserDataCount CountPerUserData(const std::vector<const DirectoryChangeMap*>& fileMaps,
                                  const std::vector<const RegistryChangeMap*>& keyMaps, const std::wstring& profile)
{
    std::wstring folder = profile;
    while (!folder.empty() && folder.back() == L'\\')
        folder.pop_back();
    PerUserDataCount count;
    for (const DirectoryChangeMap* map : fileMaps)
        for (const auto& [path, files] : *map)
            if (IsAtOrBelow(path, folder))
                count.files += static_cast<long long>(files.size());
    for (const RegistryChangeMap* map : keyMaps)
        for (const auto& [key, values] : *map)
            if (IsAtOrBelow(key, L"HKEY_CURRENT_USER"))
                for (const RegistryChangeEntry& value : values)
                    count.values += value.ValueName.empty() ? 0 : 1;
    return count;
}

std::wstring PerUserDataLine(const PerUserDataCount& count)
{
    return L"Per-user data: " + Counted(count.files, L"file", L"files") + L" in the user profile, " +
           Counted(count.values, L"HKEY_CURRENT_USER value", L"HKEY_CURRENT_USER values") +
           L" (installed for the user who installs the package).";
}
