#pragma once
// The rules of the Create Project File and MSI page and of the shortcut
// dialog that work without a window: the checks of the three fields, the
// default shortcut name, the shortcut records and icon files made from the
// user's shortcut entries, icon extraction and saving, and the pacing of the
// progress bar while a worker runs.
#include "common/ChangeTypes.h"
#include "common/Paths.h"

#include <windows.h>

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

// One shortcut the user chose for a captured executable.
struct ShortcutEntry
{
    std::wstring name;        // at most 50 characters
    std::wstring executable;  // the executable's file name
    std::wstring iconSource;  // an .exe, .dll or .ico file, at most 260 characters
    int iconIndex = 0;
    bool desktop = true;
    bool programMenu = true;
    bool quickLaunch = true;
    // The shortcuts the setup made for this name, when the capture found them
    // (one record per place): their Start-menu subfolder, arguments, working
    // folder, description and show command go into the records made from the
    // entry. `executable` then holds the target's token path.
    ShortcutList captured = {};

    friend bool operator==(const ShortcutEntry&, const ShortcutEntry&) = default;
};
// Keyed by the shortcut name.
using ShortcutEntryMap = std::map<std::wstring, ShortcutEntry>;

// Leading and trailing blanks, tabs and line breaks removed.
std::wstring TrimText(const std::wstring& text);
// The last "\"-separated component of a path.
std::wstring LastPathComponent(const std::wstring& path);
// The executable's name up to its first "."; the whole name when it has none.
std::wstring DefaultShortcutName(const std::wstring& executable);

// ---- The three fields ---------------------------------------------------------------

struct ProjectInputs
{
    std::wstring targetPath;
    std::wstring projectFileName;
    std::wstring msiName;
};

struct ProjectInputCheck
{
    bool accepted = false;
    std::wstring message;   // the warning to show when refused
    int field = 0;          // the control whose opening text is put back when refused
    ProjectInputs values;   // trimmed; the target path as the file search found it
};

// The checks of Next in their order, on trimmed texts: the target path must
// name an existing folder, the project file name must contain ".xml" and not
// begin with it, the MSI name must contain ".msi" and not begin with it
// (case-sensitive containment, not the ending).
ProjectInputCheck CheckProjectInputs(const ProjectInputs& inputs);

// ---- Icons -----------------------------------------------------------------------------

enum class IconSourceKind { Program, IconFile, None };
// ".exe" and ".dll" are programs, ".ico" an icon file (any case); anything else has no icons.
IconSourceKind ClassifyIconSource(const std::wstring& path);
// The number of icons of a program or icon file (ExtractIconExW with index -1); 0 for anything else.
int CountIcons(const std::wstring& path);
// The large (or small) icon at `index`, null when there is none. The caller destroys it.
HICON ExtractIconAt(const std::wstring& path, int index, bool large = true);

// Writes `icon` as an icon file at `path` (created or truncated). The icon is
// handed to an OLE picture, which owns it from then on and saves it into a
// memory stream; when the picture cannot save it, the file is written from
// the icon's own bitmaps instead. False (logged) when no file was written.
bool SaveIconFile(HICON icon, const std::wstring& path);

// ExtractedIconFolder + "\" + the icon source's last component + "_" + index + ".ico".
std::wstring ExtractedIconPath(const std::wstring& iconFolder, const std::wstring& iconSource, int index);

// Turns the entries into shortcut records (appended to `records`) and icon
// files (added to `icons`), in map order: an .ico source is used as it is, an
// .exe source gives its icon at the entry's index saved under `iconFolder`
// (the entry's source becomes that .ico path, even when no icon could be
// extracted), anything else is used unchanged; one record per ticked flag in
// the order desktop, program menu, quick launch; a captured entry's record of
// a ticked place keeps its details, and its records of other places (the
// Start menu itself) are kept as they are. The folder is created when
// missing. True unless the folder cannot be made (logged).
// The page's entries for the shortcuts the capture found, one per name: the
// places ticked where the setup put a shortcut of that name.
ShortcutEntryMap EntriesFromCapturedShortcuts(const ShortcutList& captured);

bool PrepareShortcuts(ShortcutEntryMap& entries, const std::wstring& iconFolder, ShortcutList& records,
                      IconMap& icons);

// The names the shortcut dialog refuses: every entry's name but `editing`'s
// (none left out for a new shortcut).
std::set<std::wstring> TakenShortcutNames(const ShortcutEntryMap& entries,
                                          const std::optional<std::wstring>& editing = std::nullopt);

// The captured executables the project still holds: those of `recorded` (in
// its order) that are among the added files of `added` (folder to files), which
// the review pages and the clean-up of the capture left in.
std::vector<std::wstring> IncludedExecutables(const std::vector<std::wstring>& recorded,
                                              const DirectoryChangeMap& added);

// The first entry with a ticked place whose target is not among the files of
// `captured` (the added and the modified files, folder to files): an entry
// of the page names its executable by file name, a captured one by its token
// path (of the folders of `tokens`). Null when every target is in the project.
const ShortcutEntry* ShortcutWithoutTarget(const ShortcutEntryMap& entries,
                                           const std::vector<const DirectoryChangeMap*>& captured,
                                           const FolderTokenValues& tokens);

// ---- Progress bar ------------------------------------------------------------------------

inline constexpr int ProgressRange = 1000;
// The position the bar may reach while a worker runs: increment × (step count + 1) - 50.
int ProgressCeiling(int increment, int stepCount);
// The bar's next position on a timer tick: one step while at or below the ceiling.
int NextProgressPosition(int position, int increment, int stepCount);
// The same for a worker that measures its share of the work (Progress Share,
// thousandths, -1 when it does not): the bar follows the share up to 50 short
// of its end and never moves back.
int NextMeasuredProgressPosition(int position, int increment, int stepCount, int share);
