#pragma once
// Change entries taken out of the comparison's change maps before the change
// documents are written again: by the package content review pages (">>") and
// by the command line (a setup's own uninstaller). Each excluded change keeps
// the map it came from (added, modified or deleted) and the description the
// user gave, so that including it again puts it back where it was.
//
// Threads: the process-wide stores have no lock; they are used on the window
// thread, or by the command line, while no comparison worker runs.
#include "common/ChangeTypes.h"
#include "project/ChangeSet.h"
#include "project/IncludeExclude.h"

#include <algorithm>
#include <array>
#include <map>
#include <string>
#include <vector>

// True when `key` is `path` or lies below it, compared component by component
// at the "\" separators, characters compared exactly.
bool IsSameOrBelow(const std::wstring& key, const std::wstring& path);
// The folder part of a file path ("C:\App\a.dll" -> "C:\App", "C:\a.txt" -> "C:").
std::wstring ParentKey(const std::wstring& path);

// One area of a change set (files or registry): its three maps, by reference.
template <class Entry>
struct ChangeMaps
{
    using Map = std::map<std::wstring, std::vector<Entry>>;
    std::array<Map, 3>& Maps;

    Map& For(ChangeOrigin origin) const { return Maps[ChangeSet::Index(origin)]; }
};

inline ChangeMaps<std::wstring> FileChangeMaps(ChangeSet& changes) noexcept { return {changes.FileMaps}; }
inline ChangeMaps<RegistryChangeEntry> RegistryChangeMaps(ChangeSet& changes) noexcept
{
    return {changes.RegistryMaps};
}

template <class Entry>
struct ExcludedChange
{
    ChangeOrigin Origin = ChangeOrigin::Added;
    std::wstring Key;
    // The key's own map entry was moved (a folder or registry key excluded
    // whole); otherwise only the entries below were taken from its list.
    bool WholeKey = false;
    std::vector<Entry> Entries;
    std::wstring Description;
};

template <class Entry>
class CExcludedChanges
{
public:
    using Map = std::map<std::wstring, std::vector<Entry>>;
    using Change = ExcludedChange<Entry>;

    // Moves every map entry whose key is `path` or lies below it, whole, out
    // of the three maps. Returns what was moved (a key once per map it was in).
    std::vector<Change> ExcludeKey(const ChangeMaps<Entry>& maps, const std::wstring& path,
                                   const std::wstring& description)
    {
        std::vector<Change> moved;
        for (ChangeOrigin origin : Origins) {
            Map& map = maps.For(origin);
            for (auto it = map.lower_bound(path); it != map.end() && it->first.compare(0, path.size(), path) == 0;) {
                if (!IsSameOrBelow(it->first, path)) {
                    ++it;
                    continue;
                }
                Change change{origin, it->first, true, std::move(it->second), description};
                moved.push_back(change);
                Merge(std::move(change));
                it = map.erase(it);
            }
        }
        return moved;
    }

    // Moves one entry out of the list of `key`, in every map that lists it.
    // True when it was found.
    bool ExcludeEntry(const ChangeMaps<Entry>& maps, const std::wstring& key, const Entry& entry,
                      const std::wstring& description)
    {
        bool found = false;
        for (ChangeOrigin origin : Origins) {
            Map& map = maps.For(origin);
            auto it = map.find(key);
            if (it == map.end())
                continue;
            auto& list = it->second;
            auto at = std::find(list.begin(), list.end(), entry);
            if (at == list.end())
                continue;
            list.erase(at);
            Merge(Change{origin, key, false, {entry}, description});
            found = true;
        }
        return found;
    }

    // Files an excluded change as it is (the maps are not touched).
    void Add(Change change) { Merge(std::move(change)); }

    // Puts back into the map it came from every excluded change whose key is
    // `path` or lies below it. Returns what was put back.
    std::vector<Change> RestoreKey(const ChangeMaps<Entry>& maps, const std::wstring& path)
    {
        std::vector<Change> restored;
        for (auto it = m_changes.begin(); it != m_changes.end();) {
            if (!IsSameOrBelow(it->Key, path)) {
                ++it;
                continue;
            }
            PutBack(maps, *it);
            restored.push_back(std::move(*it));
            it = m_changes.erase(it);
        }
        return restored;
    }

    // Puts one excluded entry of `key` back into the map it came from, also
    // out of a key excluded whole (the rest of that key stays excluded).
    // True when it was found.
    bool RestoreEntry(const ChangeMaps<Entry>& maps, const std::wstring& key, const Entry& entry)
    {
        bool found = false;
        for (auto it = m_changes.begin(); it != m_changes.end();) {
            auto at = it->Key == key ? std::find(it->Entries.begin(), it->Entries.end(), entry) : it->Entries.end();
            if (at == it->Entries.end()) {
                ++it;
                continue;
            }
            it->Entries.erase(at);
            PutBack(maps, Change{it->Origin, key, false, {entry}, {}});
            found = true;
            if (it->Entries.empty() && !it->WholeKey)
                it = m_changes.erase(it);
            else
                ++it;
        }
        return found;
    }

    // Takes out of the maps again what is held here, after the maps were
    // filled anew.
    void Reapply(const ChangeMaps<Entry>& maps) const
    {
        for (const Change& change : m_changes) {
            Map& map = maps.For(change.Origin);
            auto it = map.find(change.Key);
            if (it == map.end())
                continue;
            if (change.WholeKey) {
                map.erase(it);
                continue;
            }
            for (const Entry& entry : change.Entries)
                std::erase(it->second, entry);
        }
    }

    // The excluded entries by key, over all origins: a key excluded whole
    // appears even with no entries.
    Map EntriesByKey() const
    {
        Map byKey;
        for (const Change& change : m_changes) {
            auto& list = byKey[change.Key];
            list.insert(list.end(), change.Entries.begin(), change.Entries.end());
        }
        return byKey;
    }

    // The description of the excluded change of `key` (the first one found), empty when none.
    std::wstring DescriptionOf(const std::wstring& key) const
    {
        for (const Change& change : m_changes)
            if (change.Key == key)
                return change.Description;
        return {};
    }

    const std::vector<Change>& Changes() const noexcept { return m_changes; }
    bool Empty() const noexcept { return m_changes.empty(); }
    void Clear() { m_changes.clear(); }

private:
    static constexpr ChangeOrigin Origins[] = {ChangeOrigin::Added, ChangeOrigin::Modified, ChangeOrigin::Deleted};

    // One change per origin, key and whole-key state; later entries are appended.
    void Merge(Change change)
    {
        for (Change& held : m_changes)
            if (held.Origin == change.Origin && held.Key == change.Key && held.WholeKey == change.WholeKey) {
                for (Entry& entry : change.Entries)
                    if (std::find(held.Entries.begin(), held.Entries.end(), entry) == held.Entries.end())
                        held.Entries.push_back(std::move(entry));
                if (!change.Description.empty())
                    held.Description = change.Description;
                return;
            }
        m_changes.push_back(std::move(change));
    }

    static void PutBack(const ChangeMaps<Entry>& maps, const Change& change)
    {
        auto& list = maps.For(change.Origin)[change.Key];
        for (const Entry& entry : change.Entries)
            if (std::find(list.begin(), list.end(), entry) == list.end())
                list.push_back(entry);
    }

    std::vector<Change> m_changes;
};

using CExcludedFileChanges = CExcludedChanges<std::wstring>;
using CExcludedRegistryChanges = CExcludedChanges<RegistryChangeEntry>;

// Copies of the exclusions the review pages show, refreshed after every
// exclusion: the default exclusions of the include/exclude file and the
// exclusions made on the pages, each keyed by the upper-cased token path.
struct ReviewExclusionCopies
{
    ExcludedItemMap DefaultFiles;
    ExcludedItemMap DefaultRegistry;
    ExcludedItemMap ReviewFiles;
    ExcludedItemMap ReviewRegistry;
};
