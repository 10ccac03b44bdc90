#pragma once
// The IniFile and RemoveIniFile rows of a build: the project's added and
// modified INI entries written, the deleted ones removed, each in the INI
// component (a permanent one for entries that existed before the setup).
#include "msi/RegistryRows.h"

#include <string>

struct BuildContext;
class CDirectoryRows;

// An INI value as the IniFile table's Value (an empty one stays empty on install).
std::wstring IniValueField(const std::wstring& value, int action, const ValueFormatter& formatted = {});

class CIniRows
{
public:
    CIniRows(BuildContext& build, CDirectoryRows& directories);
    // Reads the project's INI lists and writes their rows (and the rows of
    // their folders).
    void Add();

private:
    void AddList(const IniChangeMap& list, int table, int action, int& number, bool keptOnRemoval = false);
    std::wstring Component(bool keptOnRemoval);

    BuildContext& m_build;
    CDirectoryRows& m_directories;
    bool m_keptComponentAdded = false;
};
