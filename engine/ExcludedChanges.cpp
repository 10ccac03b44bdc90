#include "engine/ExcludedChanges.h"

bool IsSameOrBelow(const std::wstring& key, const std::wstring& path)
{
    if (key.compare(0, path.size(), path) != 0)
        return false;
    return key.size() == path.size() || key[path.size()] == L'\\' || (!path.empty() && path.back() == L'\\');
}

std::wstring ParentKey(const std::wstring& path)
{
    const auto separator = path.find_last_of(L'\\');
    return separator == std::wstring::npos ? std::wstring() : path.substr(0, separator);
}
