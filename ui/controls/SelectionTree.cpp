#include "ui/controls/SelectionTree.h"

#include <algorithm>

void CPathList::Add(const std::wstring& path)
{
    if (Contains(path))
        return;
    m_paths.push_front(path);
    ++m_count;
}

bool CPathList::Contains(const std::wstring& path) const
{
    return std::find(m_paths.begin(), m_paths.end(), path) != m_paths.end();
}

namespace SelectionTree {

bool SameName(const std::wstring& a, const std::wstring& b)
{
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}

std::vector<std::wstring> SplitPath(const std::wstring& path)
{
    std::vector<std::wstring> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find(L'\\', start);
        if (end == std::wstring::npos)
            end = path.size();
        if (end > start)
            parts.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

std::wstring CountText(int count)
{
    return std::to_wstring(count) + L" Selected Folder(s)";
}

std::wstring DisplayEntryText(const std::wstring& itemText, bool isRoot)
{
    const std::wstring words =
        isRoot ? L"Display Disk " + itemText.substr(0, 1) : L"Display Folder " + itemText;
    return std::wstring(27, L' ') + words + std::wstring(28, L' ');
}

std::wstring SelectEntryText(bool ticked)
{
    return ticked ? L"Deselect this folder and all SubFolder" : L"Select this folder and all SubFolder";
}

std::wstring WithoutFinalSeparator(std::wstring path)
{
    if (!path.empty() && path.back() == L'\\')
        path.pop_back();
    return path;
}

} // namespace SelectionTree
