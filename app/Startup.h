#pragma once
// What the program does once its arguments are read: take the run lock of the
// program folder, then run the wizard (no arguments) or the command line.
#include "app/CommandLine.h"

#include <functional>
#include <string>
#include <vector>

// The message of a second run from the same program folder: in a message box
// in wizard mode, on the console in the command-line modes.
inline constexpr const wchar_t* AnotherRunInProgress =
    L"Another run of Corvane Repackager from this program folder is in progress; wait until it has ended.";

// The message of a run refused because a run from another program folder
// (`holder`, "" when unknown) holds this user's working folders.
std::wstring WorkingFoldersInUse(const std::wstring& holder);

// Holds the run lock of `programFolder` for the whole run and owns the
// session of the run. `wizard` runs the wizard mode (RunWizard in the
// program). Returns the process exit code.
int RunProgram(const std::vector<std::wstring>& arguments, const std::wstring& programFolder,
               const ReportLine& console, const std::function<int(Session&)>& wizard);
