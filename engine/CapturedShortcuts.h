#pragma once
// The shortcuts a setup made: the .lnk files it added to the Start menu, the
// desktop and the quick-launch folder, read with the shell's link object and
// turned into entries of the project's shortcut list.
#include "common/ChangeTypes.h"

#include <string>
#include <vector>

// What a shell link holds (paths as stored, environment variables expanded).
struct ShellLinkDetails
{
    std::wstring Target;
    std::wstring Arguments;
    std::wstring WorkingFolder;
    std::wstring Description;
    std::wstring IconPath;
    int IconIndex = 0;
    int ShowCommand = 1; // SW_SHOWNORMAL
};

// Reads a .lnk file through IShellLinkW/IPersistFile. False (logged) when it
// cannot be loaded.
bool ReadShellLink(const std::wstring& linkPath, ShellLinkDetails& details);

// A folder where setups put shortcuts, and the installer's folder property for it.
struct ShortcutPlace
{
    std::wstring Folder;   // real path, no trailing backslash
    std::wstring Property; // DesktopFolder, ProgramMenuFolder, StartMenuFolder, QuickLaunchFolder
};

// The shortcut folders of this machine, both the current user's and all
// users', deepest first (the Programs folder before the Start menu).
std::vector<ShortcutPlace> ShortcutPlacesOfThisMachine();

// The place of a .lnk path: the property and the subfolder below the place
// (empty when directly in it). False when the path is in none of the places.
bool FindShortcutPlace(const std::vector<ShortcutPlace>& places, const std::wstring& linkPath,
                       std::wstring& property, std::wstring& subfolder);

// What came of the captured links.
struct CapturedShortcutResult
{
    ShortcutList Shortcuts;
    std::vector<std::wstring> LeftOut; // links whose target is not a captured file (each logged)
};

// Turns added .lnk files into shortcut records: links outside the places are
// ignored; a link whose target is not among `capturedFiles` (real paths, any
// case) is left out. Each record's ExeName is the target's path, its Icon the
// link's icon file (empty when the link names none).
CapturedShortcutResult ShortcutsFromLinks(const std::vector<std::wstring>& links,
                                          const std::vector<ShortcutPlace>& places,
                                          const std::vector<std::wstring>& capturedFiles);

// Merges captured shortcuts into a shortcut list: a record already there
// (same name and place) is replaced, a new one appended.
void MergeShortcuts(ShortcutList& list, const ShortcutList& captured);
