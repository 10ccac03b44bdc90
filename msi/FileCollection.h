#pragma once
// File collection: the project's captured files read into the build's file
// list (BuildContext::files) with their keys, sizes, attributes and versions
// or hashes; the files that cannot be packed are left out with a log line.
#include "common/ChangeTypes.h"
#include "msi/PackedFile.h"

#include <string>

struct BuildContext;

// True for a folder (token form or real) on the system drive: the installer's
// Directory table can only place folders below TARGETDIR, the system drive.
[[nodiscard]] bool OnSystemDrive(const std::wstring& folder, const std::wstring& systemDrive);
// The folder part of a path ("" without one) and its last part.
std::wstring ParentOf(const std::wstring& path);
std::wstring LastComponent(const std::wstring& path);

// Adds the packable files of the map to the build's list; `keptOnRemoval`
// for files that existed before the setup (permanent components). Ends early,
// without a line, when the thread is asked to stop.
void CollectFiles(BuildContext& build, const DirectoryChangeMap& files, bool keptOnRemoval = false);
// A capture of 64-bit Windows on 64-bit Windows: the real System32 files are
// copied to the working folder and packed from there (a 32-bit cabinet maker
// would read SysWOW64).
void StageRedirectedFiles(BuildContext& build);
// The hash of a file whose digest the cabinet maker did not report, read
// once more; false when it has none.
[[nodiscard]] bool HashPackedFile(PackedFile& file);
