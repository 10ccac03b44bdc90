#include "project/ChangeSet.h"

namespace {

struct ListEntry
{
    ChangeArea Area;
    ChangeOrigin Origin;
    const wchar_t* Path;
};

constexpr ListEntry ChangeLists[] = {
    {ChangeArea::Files, ChangeOrigin::Added, NodePath::FilesAdded},
    {ChangeArea::Files, ChangeOrigin::Modified, NodePath::FilesModified},
    {ChangeArea::Files, ChangeOrigin::Deleted, NodePath::FilesDeleted},
    {ChangeArea::Registry, ChangeOrigin::Added, NodePath::RegistryAdded},
    {ChangeArea::Registry, ChangeOrigin::Modified, NodePath::RegistryModified},
    {ChangeArea::Registry, ChangeOrigin::Deleted, NodePath::RegistryDeleted},
    {ChangeArea::Ini, ChangeOrigin::Added, NodePath::IniAdded},
    {ChangeArea::Ini, ChangeOrigin::Modified, NodePath::IniModified},
    {ChangeArea::Ini, ChangeOrigin::Deleted, NodePath::IniDeleted},
};

} // namespace

const wchar_t* ListPathOf(ChangeArea area, ChangeOrigin origin) noexcept
{
    for (const ListEntry& entry : ChangeLists)
        if (entry.Area == area && entry.Origin == origin)
            return entry.Path;
    return L"";
}

std::optional<ChangeList> ChangeListOf(const std::wstring& listPath) noexcept
{
    for (const ListEntry& entry : ChangeLists)
        if (listPath == entry.Path)
            return ChangeList{entry.Area, entry.Origin};
    return std::nullopt;
}
