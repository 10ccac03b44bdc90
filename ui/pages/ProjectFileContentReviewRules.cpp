#include "ui/pages/ProjectFileContentReviewRules.h"

#include "common/FolderTokens.h"
#include "common/Utf.h"
#include "ui/controls/ProjectTreeCtrl.h"
#include "ui/pages/CreateProjectFileAndMsiRules.h"

#include <windows.h>

#include <algorithm>
#include <cwchar>

namespace {

std::wstring RealPath(std::wstring path, const FolderTokenValues& tokens)
{
    ToRealPath(path, tokens);
    return path;
}

std::wstring WithoutFinalSeparator(std::wstring path)
{
    while (path.size() > 1 && path.back() == L'\\')
        path.pop_back();
    return path;
}

// `path` is `ticked` or lies below it; Windows compares paths without regard to case.
bool Covers(const std::wstring& ticked, const std::wstring& path)
{
    const std::wstring root = WithoutFinalSeparator(ticked);
    if (root.empty() || path.size() < root.size())
        return false;
    if (_wcsnicmp(path.c_str(), root.c_str(), root.size()) != 0)
        return false;
    return path.size() == root.size() || path[root.size()] == L'\\';
}

bool CoveredByAny(const std::vector<std::wstring>& tickedPaths, const std::wstring& path)
{
    return std::any_of(tickedPaths.begin(), tickedPaths.end(),
                       [&](const std::wstring& ticked) { return Covers(ticked, path); });
}

std::wstring FolderOf(const std::wstring& path)
{
    const std::size_t slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

bool IsFile(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

} // namespace

std::vector<std::wstring> MissingFilesUnder(const MissingEntryMap& missing,
                                            const std::vector<std::wstring>& tickedPaths,
                                            const FolderTokenValues& tokens)
{
    std::vector<std::wstring> covered;
    for (const auto& [folder, files] : missing)
        for (const std::wstring& file : files)
            if (CoveredByAny(tickedPaths, RealPath(file, tokens)) &&
                std::find(covered.begin(), covered.end(), file) == covered.end())
                covered.push_back(file);
    return covered;
}

std::vector<std::wstring> MissingKeysUnder(const MissingEntryMap& missing, const std::vector<std::wstring>& tickedPaths)
{
    std::vector<std::wstring> covered;
    auto add = [&](const std::wstring& key) {
        if (CoveredByAny(tickedPaths, key) && std::find(covered.begin(), covered.end(), key) == covered.end())
            covered.push_back(key);
    };
    for (const auto& [key, keys] : missing) {
        if (keys.empty())
            add(key);
        for (const std::wstring& below : keys)
            add(below);
    }
    return covered;
}

std::vector<Relocation> RelocateFiles(const std::array<DirectoryChangeMap*, 3>& maps,
                                      const std::vector<std::wstring>& files, const std::wstring& folder,
                                      const FolderTokenValues& tokens)
{
    std::vector<Relocation> moved;
    const std::wstring realFolder = WithoutFinalSeparator(folder);
    std::wstring tokenFolder = realFolder;
    ToTokenPath(tokenFolder, tokens);
    for (const std::wstring& file : files) {
        const std::wstring name = LastPathComponent(file);
        if (name.empty() || !IsFile(realFolder + L"\\" + name))
            continue;
        const std::wstring oldFolder = FolderOf(file);
        const std::wstring newPath = tokenFolder + L"\\" + name;
        if (_wcsicmp(oldFolder.c_str(), tokenFolder.c_str()) == 0)
            continue; // already listed there
        for (DirectoryChangeMap* map : maps) {
            if (!map)
                continue;
            const auto from = map->find(oldFolder);
            if (from == map->end() || std::find(from->second.begin(), from->second.end(), file) == from->second.end())
                continue;
            std::vector<std::wstring>& list = from->second;
            list.erase(std::remove(list.begin(), list.end(), file), list.end());
            if (list.empty())
                map->erase(from);
            std::vector<std::wstring>& target = (*map)[tokenFolder];
            if (std::find(target.begin(), target.end(), newPath) == target.end())
                target.push_back(newPath);
            moved.push_back({oldFolder, file, tokenFolder, newPath});
            break;
        }
    }
    return moved;
}

std::vector<Relocation> RelocateKeys(const std::array<RegistryChangeMap*, 3>& maps,
                                     const std::vector<std::wstring>& keys, const std::wstring& parentKey)
{
    std::vector<Relocation> moved;
    const std::wstring parent = WithoutFinalSeparator(parentKey);
    for (const std::wstring& key : keys) {
        const std::wstring name = LastPathComponent(key);
        const std::wstring newKey = parent + L"\\" + name;
        if (name.empty() || _wcsicmp(key.c_str(), newKey.c_str()) == 0 || !RegistryKeyExists(newKey))
            continue;
        for (RegistryChangeMap* map : maps) {
            if (!map)
                continue;
            const auto from = map->find(key);
            if (from == map->end())
                continue;
            std::vector<RegistryChangeEntry> values = std::move(from->second);
            map->erase(from);
            auto& target = (*map)[newKey];
            for (RegistryChangeEntry& value : values) {
                value.KeyLine = newKey;
                target.push_back(std::move(value));
            }
            moved.push_back({FolderOf(key), key, parent, newKey});
            break;
        }
    }
    return moved;
}

std::wstring FilesSummaryText(long total, long missing)
{
    return L"Files Summary:\nTotal number of files: " + std::to_wstring(total) +
           L"\nNumber of missing files: " + std::to_wstring(missing);
}

std::wstring RegistrySummaryText(RegistrySummaryWording wording, long total, long missing)
{
    const wchar_t* totalText = L"Total number of Subkeys: ";
    const wchar_t* missingText = L"Number of missing subkeys: ";
    if (wording == RegistrySummaryWording::ShowOnlyMissing) {
        totalText = L"Total number of subkeys: ";
    } else if (wording == RegistrySummaryWording::Rescanned) {
        totalText = L"Total number of registries: ";
        missingText = L"Number of missing registries: ";
    }
    return L"Registry Summary:\n" + std::wstring(totalText) + std::to_wstring(total) + L"\n" + missingText +
           std::to_wstring(missing);
}

ShowProjectNext DecideShowProjectNext(bool anyMissing, bool ignoreMissing, bool modified)
{
    if (anyMissing && !ignoreMissing)
        return ShowProjectNext::Refuse;
    return modified ? ShowProjectNext::RegenerateAndGoOn : ShowProjectNext::GoOn;
}
