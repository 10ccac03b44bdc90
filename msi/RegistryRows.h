#pragma once
// The Registry rows of a build: each captured value read live from the
// registry and written in its own view, in the registry components (64-bit
// ones for the keys only the 64-bit view has, permanent ones for values that
// existed before the setup).
#include "common/Result.h"
#include "common/ChangeTypes.h"

#include <windows.h>

#include <cstddef>
#include <functional>
#include <map>
#include <string>

struct BuildContext;
class CDirectoryRows;

// `formatted` turns a captured string into formatted text (the capture
// machine's folders and user made the installing machine's); empty: only
// escaped for formatted text.
using ValueFormatter = std::function<std::wstring(const std::wstring&)>;
// The Registry table's Value of a registry value's type and bytes: formatted
// text with the type's prefix (#x, #%, #, [~]). False for a type Windows
// Installer cannot write. Empty strings inside a multi-string are dropped and
// counted.
bool RegistryValueField(DWORD type, const BYTE* data, std::size_t size, std::wstring& value,
                        std::size_t& emptyStringsDropped, const ValueFormatter& formatted = {});
// True when the type name a project file recorded stands for the live type.
bool RecordedTypeCovers(const std::wstring& recorded, DWORD actual);

class CRegistryRows
{
public:
    CRegistryRows(BuildContext& build, CDirectoryRows& directories);

    // Rows for the values of the map, numbered on from the rows before;
    // `keptOnRemoval` for values that existed before the setup.
    void Add(const RegistryChangeMap& keys, bool keptOnRemoval = false);

private:
    // The value's Registry Value text; a failure (the value left out) after
    // its log line.
    Result QueryKey(const std::wstring& root, const std::wstring& key, const std::wstring& name,
                 const std::wstring& type, std::wstring& value);
    void AddValue(const RegistryChangeEntry& record, int number, bool keptOnRemoval);
    std::wstring Component(bool is64Bit);
    void AddKeptComponent(bool is64Bit, const std::wstring& firstRow);
    [[nodiscard]] bool IsSharedKey(const std::wstring& root, const std::wstring& key);

    BuildContext& m_build;
    CDirectoryRows& m_directories;
    int m_number = 0;
    bool m_componentAdded = false;
    bool m_component64Added = false;
    bool m_keptComponentAdded = false;
    bool m_keptComponent64Added = false;
    std::map<std::wstring, bool> m_sharedKeys; // upper-case key path -> shared by both views
};
