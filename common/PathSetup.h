#pragma once
// The start-up of a run's paths: the environment read into token values, the
// work paths placed from them, and the pending-capture key of the
// configuration file the paths name. The entry points fill their session's
// values with these; the layers below receive the values they need and do not
// include this.
#include "common/Paths.h"

// Reads the seven environment variables, and ProgramW6432 where it is set. A
// variable that is not set reads as empty. Returns false when any of the seven
// is missing.
bool ReadEnvironment(FolderTokenValues& values);

// Reads the environment into `tokens` and places `paths` from it. Either
// folder argument may be empty. Returns false (with a log line naming the
// root) when a root path does not fit the 1023-byte limit; `paths` is then
// left empty rather than holding cut paths.
bool InitializePaths(WorkPaths& paths, FolderTokenValues& tokens, const std::wstring& outputFolder,
                     const std::wstring& msiFileName);

// The pending-capture key of section SnapshotDetails of the configuration file
// of `paths` (program folder + "\CorvaneRepackager.ini").
bool ReadSnapshotTakenKey(const WorkPaths& paths);
bool WriteSnapshotTakenKey(const WorkPaths& paths); // "1"
bool RemoveSnapshotTakenKey(const WorkPaths& paths);
