#pragma once
// The path table, the environment values behind the folder tokens and the
// registry lookup tables. Filled at start-up
// (InitializePaths) on the window thread.
//
// Threads: the path table and the token values are written only on the window
// thread while no worker runs (start-up; the build pages set OutputFolder and
// MsiFileName before they start the build); workers only read them. The
// project file path, which a worker may read while a page replaces it, has
// its own lock.
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

WorkPaths& Paths();
FolderTokenValues& TokenValues();

// Reads the seven environment variables, and ProgramW6432 where it is set. A
// variable that is not set reads as empty. Returns false when any of the seven
// is missing.
bool ReadEnvironment();

// Fills the path table. Either argument may be empty. Returns false (with a log
// line naming the root) when a root path does not fit the 1023-byte limit; the
// table is then left empty rather than holding cut paths.
bool InitializePaths(const std::wstring& outputFolder, const std::wstring& msiFileName);

// The project file path may be replaced after start-up (command line, basic
// information page, scan details), so it is read and written under a lock.
std::wstring GetProjectFilePath();
void SetProjectFilePath(const std::wstring& path);

// The configuration file of the path table (program folder + "\CorvaneRepackager.ini").
std::wstring ConfigFile();

// The pending-capture key of section SnapshotDetails of the configuration file.
bool ReadSnapshotTakenKey();
bool WriteSnapshotTakenKey(); // "1"
bool RemoveSnapshotTakenKey();

// Working folders built where they are used.
std::wstring WorkingTempFolder();     // working root + "\Temp"
std::wstring WorkingSnapshotFolder(); // working root + "\SnapShot"
std::wstring PackagesFolder();        // output folder + "\Packages"

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
