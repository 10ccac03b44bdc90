#pragma once
// The work paths and the environment values behind the folder tokens as
// values, the folder helpers and the registry lookup tables. Each run's
// session owns its values, filled at start-up by its entry point
// (PathSetup.h); the manager and the pages read them through the session,
// and the layers below receive the values they need.
#include <windows.h>

#include <cstddef>
#include <map>
#include <string>
#include <string_view>

// Longest path, counted in its UTF-8 bytes (terminator excluded), a root may
// have: the records that keep paths as 8-bit text are held to it.
inline constexpr std::size_t MaxPathBytes = 1023;

// Every entry is separated by single backslashes, never ending in one.
struct WorkPaths
{
    std::wstring ProgramFolder;
    std::wstring WorkingRoot;
    std::wstring OutputFolder;
    std::wstring MsiFileName;
    std::wstring ExtractedIconFolder;
    std::wstring FileChangesPath;
    std::wstring RegChangesPath;
    std::wstring IniChangesPath;
    std::wstring DefaultIncludeExcludePath;
    std::wstring UpdatedIncludeExcludePath;
    std::wstring RawProjectFilePath;
    std::wstring IniBackupFolder;
    std::wstring ConfigFilePath;
    std::wstring AppDataRoot;

    // Working folders built where they are used.
    std::wstring TempFolder() const { return WorkingRoot + L"\\Temp"; }
    std::wstring SnapshotFolder() const { return WorkingRoot + L"\\SnapShot"; }
    std::wstring PackagesFolder() const { return OutputFolder + L"\\Packages"; }
};

// The environment values read at start-up; six of them stand behind folder tokens.
struct FolderTokenValues
{
    std::wstring windir;
    std::wstring programfiles;
    std::wstring userprofile;
    std::wstring allusersprofile;
    std::wstring appdata;
    std::wstring temp;
    std::wstring systemdrive;
    // ProgramW6432: set on 64-bit Windows only, empty elsewhere.
    std::wstring programfiles64;
};

// Creates the folder (one level) if nothing of that name exists. Returns true
// when a folder of that name exists afterwards.
bool EnsureFolder(const std::wstring& path);

// Deletes everything below the folder and then the folder itself. Read-only
// files are made writable first. A folder that does not exist is no failure;
// nothing is reported.
void RemoveFolderTree(const std::wstring& path);

// The ten hive names (short and long) and their predefined roots.
const std::map<std::wstring, HKEY>& HiveNames();

// Value-text prefixes and their type names, in the order they are tested.
inline constexpr int ValueTypeCount = 5;
extern const char* const ValueTypePrefixes[ValueTypeCount];
extern const char* const ValueTypeNames[ValueTypeCount];

// Classifies a value text by the first prefix that stands at its start and
// returns the index; `data` receives the text without the prefix.
int ClassifyValueText(std::string_view text, std::string_view* data = nullptr);
