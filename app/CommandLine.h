#pragma once
// The command-line modes of the program: build a package from a project file,
// and the unattended capture commands (-capture, -snapshot, -resume).
#include "app/CommandLineReport.h"
#include "manager/Session.h"

#include <string>
#include <vector>

// The usage line written to the error log for the build mode.
inline constexpr const char* BuildUsageLine =
    "Check the Command Line Argument for Example:- CorvaneRepackager.exe [projectfilepath] [-Path=path] "
    "[-File=MSIFileName(Optional)]";

// The usage line of the build mode on the console.
inline constexpr const wchar_t* BuildUsage =
    L"Usage: CorvaneRepackager.exe <project file> -Path=<output folder> [-File=<MSI name>] [-Wxs]";

// True when the first argument names one of the unattended capture commands.
bool IsCaptureCommand(const std::wstring& firstArgument);

// Runs the command line (the program path not included; at least one
// argument) on `session`. Returns the process exit code.
int RunCommandLine(Session& session, const std::vector<std::wstring>& arguments, const ReportLine& report);

// The parsed options of the capture commands (names matched without regard
// to case; values keep their case).
struct CaptureOptions
{
    std::wstring command;  // "-capture", "-snapshot" or "-resume", lower case
    std::wstring setup;    // the setup program (-capture: 2nd argument; -snapshot: -Setup=)
    std::wstring path;     // -Path=
    std::wstring file;     // -File=
    std::wstring args;     // -Args=
    std::wstring name;     // -Name=
    std::wstring version;  // -Version=
    std::wstring company;  // -Company=
    std::wstring timeout;  // -Timeout= as given (-capture only)
    unsigned timeoutMinutes = 0; // -Timeout= read; 0: no limit
    bool wxs = false;            // -Wxs (-capture and -resume): the package's WiX source beside it
};

// Parses the capture commands. Returns false with `error` set for wrong
// arguments.
bool ParseCaptureOptions(const std::vector<std::wstring>& arguments, CaptureOptions& options, std::wstring& error);
