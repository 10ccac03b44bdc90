#include "engine/EnvironmentChanges.h"

#include "common/Log.h"
#include "common/Utf.h"
#include "engine/CapturedValues.h"

#include <algorithm>

namespace {

std::vector<std::wstring> Entries(const std::wstring& value)
{
    std::vector<std::wstring> entries;
    std::size_t start = 0;
    while (start <= value.size()) {
        std::size_t end = value.find(L';', start);
        if (end == std::wstring::npos)
            end = value.size();
        if (end > start)
            entries.push_back(value.substr(start, end - start));
        start = end + 1;
    }
    return entries;
}

// C:\Tools\ and c:\tools name the same folder.
bool SameEntry(std::wstring a, std::wstring b)
{
    while (a.size() > 1 && a.back() == L'\\')
        a.pop_back();
    while (b.size() > 1 && b.back() == L'\\')
        b.pop_back();
    return SameName(a, b);
}

bool Contains(const std::vector<std::wstring>& entries, const std::wstring& entry)
{
    return std::any_of(entries.begin(), entries.end(), [&](const std::wstring& e) { return SameEntry(e, entry); });
}

std::wstring Describe(const std::wstring& name, bool system)
{
    return std::wstring(system ? L"The system variable " : L"The user variable ") + name;
}

} // namespace

ListVariableChange CompareListValues(const std::wstring& oldValue, const std::wstring& newValue)
{
    ListVariableChange change;
    const std::vector<std::wstring> before = Entries(oldValue);
    const std::vector<std::wstring> after = Entries(newValue);
    for (const std::wstring& entry : before)
        if (!Contains(after, entry))
            return change;
    change.IsExtension = true;
    bool keptSeen = false;
    std::size_t keptLeft = 0; // kept entries still to come
    for (const std::wstring& entry : after)
        keptLeft += Contains(before, entry) ? 1 : 0;
    for (const std::wstring& entry : after) {
        if (Contains(before, entry)) {
            keptSeen = true;
            --keptLeft;
            continue;
        }
        if (Contains(change.Prepend, entry) || Contains(change.Append, entry))
            continue; // an entry added twice is added once
        if (!keptSeen && !before.empty()) {
            change.Prepend.push_back(entry);
        } else {
            change.Append.push_back(entry);
            change.AddedBetween = change.AddedBetween || keptLeft > 0;
        }
    }
    return change;
}

EnvironmentRecord ClassifyVariable(const std::wstring& key, const std::wstring& name, bool system,
                                                  const std::optional<std::wstring>& oldValue,
                                                  const std::wstring& newValue, std::wstring& note)
{
    note.clear();
    EnvironmentRecord record{key, name, system};
    if (!oldValue) {
        record.Action = EnvironmentAction::Create;
        record.Value = newValue;
        return record;
    }
    const ListVariableChange list = CompareListValues(*oldValue, newValue);
    if (list.IsExtension && list.Prepend.empty() && list.Append.empty()) {
        // Recorded all the same: its registry value must not overwrite the target's.
        note = Describe(name, system) + L" only changed the order of its entries; left out";
        record.Action = EnvironmentAction::Extend;
        return record;
    }
    if (list.IsExtension) {
        record.Action = EnvironmentAction::Extend;
        record.Prepend = list.Prepend;
        record.Append = list.Append;
        if (list.AddedBetween)
            note = Describe(name, system) +
                   L" got entries between its old ones; the package puts them at the end";
        return record;
    }
    record.Action = EnvironmentAction::Set;
    record.Value = newValue;
    note = Describe(name, system) + L" changed from \"" + *oldValue + L"\" to \"" + newValue +
           L"\"; the package sets the new value and leaves it on removal";
    return record;
}

EnvironmentList EnvironmentChangesOf(const RegistryChangeMap& added, const RegistryChangeMap& modified,
                                     const RegistryChangeMap& deleted,
                                     const std::vector<RegistryChangeEntry>& previous)
{
    EnvironmentList variables;
    auto known = [&](const std::wstring& name, bool system) {
        return std::any_of(variables.begin(), variables.end(), [&](const EnvironmentRecord& v) {
            return v.System == system && SameName(v.Name, name);
        });
    };
    for (const RegistryChangeMap* map : {&added, &modified}) {
        for (const auto& [key, values] : *map) {
            bool system = false;
            if (!IsEnvironmentKey(key, &system))
                continue;
            for (const RegistryChangeEntry& value : values) {
                const std::wstring name = CapturedValueName(value);
                const auto text = CapturedText(value);
                if (name.empty() || !text || known(name, system))
                    continue;
                std::optional<std::wstring> oldValue;
                if (map == &modified) {
                    const auto before = std::find_if(previous.begin(), previous.end(), [&](const RegistryChangeEntry& p) {
                        return p.KeyLine == value.KeyLine && SameName(p.ValueName, value.ValueName);
                    });
                    if (before == previous.end() || !(oldValue = CapturedText(*before))) {
                        // Nothing is added, and the whole value is not written over the target's.
                        LogError(L"EnvironmentChangesOf: " + Describe(name, system) +
                                 L" changed, but its old value is not known; left out");
                        variables.push_back({key, name, system, EnvironmentAction::Extend});
                        continue;
                    }
                }
                std::wstring note;
                EnvironmentRecord record = ClassifyVariable(key, name, system, oldValue, *text, note);
                if (!note.empty())
                    LogError(L"EnvironmentChangesOf: " + note);
                variables.push_back(std::move(record));
            }
        }
    }
    std::vector<std::pair<std::wstring, bool>> gone; // once, under whichever control set
    for (const auto& [key, values] : deleted) {
        bool system = false;
        if (!IsEnvironmentKey(key, &system))
            continue;
        for (const RegistryChangeEntry& value : values) {
            const std::wstring name = CapturedValueName(value);
            if (name.empty() || std::any_of(gone.begin(), gone.end(), [&](const auto& g) {
                    return g.second == system && SameName(g.first, name);
                }))
                continue;
            gone.emplace_back(name, system);
            LogError(L"EnvironmentChangesOf: " + Describe(name, system) +
                     L" was deleted by the setup; the package leaves it alone");
        }
    }
    return variables;
}
