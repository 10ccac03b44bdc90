#pragma once
// The process's path table and token values, filled at start-up
// (InitializePaths) on the window thread, and the configuration file keys
// read through it. Only the entry points, the manager and the pages include
// this; engine/, msi/ and project/ take the values they need as parameters.
//
// Threads: the path table and the token values are written only on the window
// thread while no worker runs (start-up; a build takes its output folder and
// package name from its request, not from here); workers only read them. The
// project file path, which a worker may read while a page replaces it, has
// its own lock.
#include "common/Paths.h"

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
