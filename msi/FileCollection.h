#pragma once
// File collection: the project's captured files read into the build's file
// list (BuildContext::files) with their keys, sizes and attributes, and once
// the cabinets are made, their versions or hashes and their order; the files
// that cannot be packed are left out with a log line.
#include "common/ChangeTypes.h"
#include "msi/CabinetJob.h"
#include "msi/CabinetPlan.h"
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
// Each file's version and language, or its hash, from what the cabinet maker
// reported (by file index); a file it said nothing of is read here.
void IdentifyPackedFiles(BuildContext& build, const CabinetReports& reports);
// The files in the order the cabinets hold them: in each cabinet of the plan,
// the files the cabinet maker stored uncompressed come after the others. The
// sequence numbers follow; the cabinets' last sequences stay.
void OrderAsPacked(BuildContext& build, const CabinetPlan& plan, const CabinetReports& reports);
