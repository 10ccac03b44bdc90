#pragma once
// Environment variables among a capture's registry changes: what the package
// does with each (project/SystemSettings.h).
#include "common/ChangeTypes.h"
#include "project/SystemSettings.h"

#include <optional>
#include <string>
#include <vector>

// How a list variable's new value relates to its old one ("a;b" to "x;a;b;y").
struct ListVariableChange
{
    // False when an entry of the old value is gone: the value is no list that
    // was only added to.
    bool IsExtension = false;
    std::vector<std::wstring> Prepend; // added entries before the first kept entry (if any), in order
    std::vector<std::wstring> Append;  // the other added entries, in order
    bool AddedBetween = false;         // some of Append stood between kept entries
};

// The ";"-separated entries of both values compared without regard to case
// or a trailing backslash; empty entries do not count. The kept entries may
// have changed their order (the target machine keeps its own order).
ListVariableChange CompareListValues(const std::wstring& oldValue, const std::wstring& newValue);

// What the package does with a variable whose value went from `oldValue`
// (none: the variable is new) to `newValue`. A list variable whose entries
// only changed their order is an extension by nothing (the package leaves it
// alone). `note` receives the line for the error log, if any: for a value set
// whole, entries added between old ones, or an order change.
EnvironmentRecord ClassifyVariable(const std::wstring& key, const std::wstring& name, bool system,
                                                  const std::optional<std::wstring>& oldValue,
                                                  const std::wstring& newValue, std::wstring& note);

// Every added and modified variable of the change maps; a modified one's old
// value is looked up in `previous` (the first snapshot's entries of modified
// environment values). A variable under two control sets counts once. Each
// deleted variable, and each one left out, is logged.
EnvironmentList EnvironmentChangesOf(const RegistryChangeMap& added, const RegistryChangeMap& modified,
                                     const RegistryChangeMap& deleted,
                                     const std::vector<RegistryChangeEntry>& previous);
