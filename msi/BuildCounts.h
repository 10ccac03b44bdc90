#pragma once
// What a package build reports: the counts for the command line's report and
// the results the caller reads after the build (notes, left-out files, the
// cabinets, the codes and the failure).
#include <cstddef>
#include <map>
#include <string>
#include <vector>

// What a build put into the package, for the command line's report.
struct MsiBuildCounts
{
    std::size_t FilesPacked = 0;
    std::size_t FilesLeftOut = 0;
    std::size_t DirectoryRows = 0;
    std::size_t RegistryRows = 0;
    std::size_t RegistryLeftOut = 0;
    std::size_t FoldersLeftOut = 0; // folders on a drive other than the system drive, with their files
    std::size_t OtherLeftOut = 0;   // shortcuts and INI entries that could not be written
    std::size_t IniRows = 0;
    std::size_t ShortcutRows = 0;
    std::size_t ServiceRows = 0;     // services installed through ServiceInstall
    std::size_t EnvironmentRows = 0; // Environment rows
    std::size_t RejectedRows = 0; // rows the database refused, any table
    // "x64" when the package has a 64-bit component, else "Intel".
    std::wstring Platform = L"Intel";
    std::size_t RuleFindings = 0; // what the package check found in the rows
    // Items that existed before the setup, in permanent components: removing
    // the package leaves them.
    std::size_t FilesKept = 0;
    std::size_t RegistryKept = 0;
    std::size_t IniKept = 0;
    std::size_t EmptyFolders = 0; // CreateFolder rows of folders the setup left empty
    std::size_t ComputerNameValues = 0; // values naming the capturing computer, packaged as they are
};

// One item of the project the build did not put into the package, and why.
struct LeftOutItem
{
    std::wstring Kind;   // "File", "Folder", "Registry value", "INI entry", "Shortcut"
    std::wstring Item;   // the real path, key and value name, or shortcut name
    std::wstring Reason; // a short text ("2 GiB or larger", the system's error text, ...)
};

// Where a build read what its package holds, for the WiX source: File key to
// the captured file's path, Icon name to the icon file's path.
struct PackageSources
{
    std::map<std::wstring, std::wstring> files;
    std::map<std::wstring, std::wstring> icons;
};

// Everything a build leaves for its caller; kept after the build ends.
struct MsiBuildResults
{
    MsiBuildCounts counts;
    // Real paths of the captured files that are not in the package.
    std::vector<std::wstring> leftOut;
    // Every item left out (files, folders, values, INI entries, shortcuts), with its reason.
    std::vector<LeftOutItem> leftOutItems;
    // Lines for the user about how the package was made; each is also in the log.
    std::vector<std::wstring> notes;
    // Media.Cabinet of each cabinet, in DiskId order.
    std::vector<std::wstring> cabinetNames;
    std::wstring upgradeCode;
    std::wstring productCode;
    std::wstring productVersion;
    PackageSources sources;
    // The first failure's log line; empty after a build that succeeded.
    std::string failure;
};
