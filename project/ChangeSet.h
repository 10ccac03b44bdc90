#pragma once
// The changes of one capture as a value: for each area (files, registry, INI
// entries) the three maps of added, modified and deleted items. The
// comparison fills one, the review pages take items out of it and put them
// back, and the project file's writers and readers translate it to and from
// the stored lists.
#include "common/ChangeTypes.h"

#include <array>
#include <optional>
#include <string>

enum class ChangeArea { Files, Registry, Ini };
enum class ChangeOrigin { Added, Modified, Deleted };

inline constexpr std::array<ChangeOrigin, 3> Origins = {ChangeOrigin::Added, ChangeOrigin::Modified,
                                                        ChangeOrigin::Deleted};

struct ChangeSet
{
    std::array<DirectoryChangeMap, 3> FileMaps;
    std::array<RegistryChangeMap, 3> RegistryMaps;
    std::array<IniChangeMap, 3> IniMaps;

    DirectoryChangeMap& Files(ChangeOrigin origin) noexcept { return FileMaps[Index(origin)]; }
    const DirectoryChangeMap& Files(ChangeOrigin origin) const noexcept { return FileMaps[Index(origin)]; }
    RegistryChangeMap& Registry(ChangeOrigin origin) noexcept { return RegistryMaps[Index(origin)]; }
    const RegistryChangeMap& Registry(ChangeOrigin origin) const noexcept { return RegistryMaps[Index(origin)]; }
    IniChangeMap& Ini(ChangeOrigin origin) noexcept { return IniMaps[Index(origin)]; }
    const IniChangeMap& Ini(ChangeOrigin origin) const noexcept { return IniMaps[Index(origin)]; }

    bool Empty() const noexcept
    {
        for (std::size_t i = 0; i < 3; ++i)
            if (!FileMaps[i].empty() || !RegistryMaps[i].empty() || !IniMaps[i].empty())
                return false;
        return true;
    }

    friend bool operator==(const ChangeSet&, const ChangeSet&) = default;

    static constexpr std::size_t Index(ChangeOrigin origin) noexcept { return static_cast<std::size_t>(origin); }
};

// The list of the project file that keeps one area's changes of one origin
// (NodePath::FilesAdded and its siblings).
const wchar_t* ListPathOf(ChangeArea area, ChangeOrigin origin) noexcept;

struct ChangeList
{
    ChangeArea Area;
    ChangeOrigin Origin;
    friend bool operator==(const ChangeList&, const ChangeList&) = default;
};
// The area and origin of a change list path; none for any other path.
std::optional<ChangeList> ChangeListOf(const std::wstring& listPath) noexcept;
