#pragma once
// The rules of the Project File Content Review page that work without a
// window: which missing entries the ticked tree items cover, moving missing
// files to the folder where they now are and missing keys below another key
// (in the project maps, which the project file is rebuilt from), the summary
// texts, and what Next does.
#include "common/ChangeTypes.h"
#include "common/Paths.h"

#include <array>
#include <map>
#include <string>
#include <vector>

// Folder (or parent) as its map holds it -> its missing files (or keys).
using MissingEntryMap = std::map<std::wstring, std::vector<std::wstring>>;

// The missing files (as their maps hold them, token form) that the ticked
// tree paths (real form) cover: a path covers the file of that path and every
// file below it. Each file once, in the order of `missing`.
// Token paths stand for the folders of `tokens`.
std::vector<std::wstring> MissingFilesUnder(const MissingEntryMap& missing,
                                            const std::vector<std::wstring>& tickedPaths,
                                            const FolderTokenValues& tokens);
// The same for registry keys: `missing` maps each missing key to nothing (or
// a parent to its missing keys); a ticked path covers its key and the keys below.
std::vector<std::wstring> MissingKeysUnder(const MissingEntryMap& missing, const std::vector<std::wstring>& tickedPaths);

// One entry moved in its map.
struct Relocation
{
    std::wstring oldFolder; // the folder (or key) the entry was listed under
    std::wstring oldPath;   // the file (or key) as it was listed
    std::wstring newFolder;
    std::wstring newPath;
};

// Moves each of `files` for which a file of the same name exists in
// `folder` (a real path), in whichever map holds it, from its folder's list
// to the list of `folder` in token form; a folder whose list becomes empty
// leaves its map. Files that are not found stay where they are.
std::vector<Relocation> RelocateFiles(const std::array<DirectoryChangeMap*, 3>& maps,
                                      const std::vector<std::wstring>& files, const std::wstring& folder,
                                      const FolderTokenValues& tokens);

// Moves each of `keys` for which `parentKey` + "\" + the key's last
// component exists in the registry to that path, in whichever map holds it,
// with its values.
std::vector<Relocation> RelocateKeys(const std::array<RegistryChangeMap*, 3>& maps,
                                     const std::vector<std::wstring>& keys, const std::wstring& parentKey);

// "Files Summary:\nTotal number of files: %ld\nNumber of missing files: %ld".
std::wstring FilesSummaryText(long total, long missing);
// The registry summary has three wordings: after the first fill, after
// "Show only missing registries", and after "Rescan Registry".
enum class RegistrySummaryWording { Opening, ShowOnlyMissing, Rescanned };
std::wstring RegistrySummaryText(RegistrySummaryWording wording, long total, long missing);

// What Next does: with missing entries it stays unless "Ignore missing items
// and continue" is ticked; it goes on, and rebuilds the project file first
// when an update changed the maps.
enum class ShowProjectNext { Refuse, GoOn, RegenerateAndGoOn };
ShowProjectNext DecideShowProjectNext(bool anyMissing, bool ignoreMissing, bool modified);
