#pragma once
// The tables the build writes, their columns in insertion order, and the log
// line written when a table's INSERT view cannot be opened.
#include <vector>

namespace TableId {
enum : int
{
    Component = 0,
    FeatureComponent = 2,
    Directory = 3,
    File = 4,
    Icon = 5,
    Media = 6,
    Registry = 7,
    Property = 8,
    Shortcut = 9,
    IniFile = 10,
    RemoveIniFile = 11,
    Upgrade = 12,
    MsiFileHash = 13,
    RemoveFile = 14,
    CreateFolder = 15,
    Count = 16,
};
}

struct TableLayout
{
    const wchar_t* name = nullptr;
    std::vector<const wchar_t*> columns;
    const char* openFailure = nullptr;
};

// Indexed by TableId.
const std::vector<TableLayout>& TableLayouts();

// Written when an icon file cannot be read into the Icon table's stream.
extern const char* const IconStreamFailure;
