#pragma once
// A setup's own Add/Remove Programs registration: the Uninstall key it adds
// and the uninstaller files that key names. The package registers itself with
// Windows Installer, so these are moved out of the change maps.
#include "common/ChangeTypes.h"
#include "project/ChangeSet.h"

#include <string>
#include <vector>

// Why the entries were moved; shown with them where excluded entries are listed.
inline constexpr const wchar_t* UninstallEntryDescription =
    L"Uninstall entry of the original setup; the package registers its own";

// One change entry moved out of a change map: the list it came from (the
// added files or the added registry keys), its folder or key, the file's full
// path (files) or the value (registry; empty for a key alone).
struct MovedChangeEntry
{
    ChangeList Origin;
    std::wstring Location;
    std::wstring FilePath;
    RegistryChangeEntry Value;
    std::wstring Description;

    friend bool operator==(const MovedChangeEntry&, const MovedChangeEntry&) = default;
};

// The file paths that an Uninstall key's UninstallString, QuietUninstallString
// values name, and DisplayIcon when it names an uninstaller (unins*); quotes,
// arguments and an icon index removed;
// in value order.
std::vector<std::wstring> UninstallerPaths(const std::vector<RegistryChangeEntry>& values);

// True when `key` is an Uninstall entry key (...\CurrentVersion\Uninstall\<name>)
// or lies below one; `entryKey` then receives the entry key itself.
bool IsUninstallEntryKey(const std::wstring& key, std::wstring* entryKey = nullptr);

// Moves every added Uninstall entry key (with its subkeys), and the added files
// its values name (a numbered unins000.exe takes the same-named .dat beside it), out of
// the two maps. Returns the moved entries, keys first, with the description
// above; each is logged.
std::vector<MovedChangeEntry> MoveOutUninstallRegistration(DirectoryChangeMap& addedFiles,
                                                           RegistryChangeMap& addedKeys);
