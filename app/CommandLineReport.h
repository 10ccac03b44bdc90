#pragma once
// What the command-line modes share: exit codes, the console report line,
// text helpers, the output folder's preparation and the console report of a
// finished package build.
#include <windows.h>

#include <cstddef>
#include <functional>
#include <string>

class CUIManager;

// The process exit codes of the command-line modes.
enum ExitCode : int
{
    ExitSuccess = 0,
    ExitFailure = 1,
    ExitWrongArguments = 2,
    ExitIncomplete = 3, // the package was built, with items of the project left out
};

// Receives one line of the console report.
using ReportLine = std::function<void(const std::wstring&)>;

namespace commandline {

std::wstring Lower(std::wstring text);

// Removes every occurrence of `what`; returns whether there was one.
bool RemoveAll(std::wstring& text, const std::wstring& what);

std::wstring Trim(const std::wstring& text);

bool FileExists(const std::wstring& path);

std::wstring Number(long long value);

// "1 file", "2 files".
std::wstring Plural(std::size_t count, const wchar_t* one, const wchar_t* many);

// The system's text for an error code, without its line end.
std::wstring SystemMessage(DWORD error);

// True when both name the same file (full paths compared without case).
bool SamePath(const std::wstring& a, const std::wstring& b);

// Creates the output folder, its parents and its "Packages" folder and proves
// the latter writable. False (reported) when any of it fails.
bool PrepareOutputFolder(const std::wstring& output, const ReportLine& report);

// ": " and the builder's reason for a failed build, or "".
std::wstring BuildFailureReason(CUIManager& manager);

// The builder's remarks on the package just built (each is also in the log).
void ReportBuildNotes(CUIManager& manager, const ReportLine& report);

// The console lines and exit code of a finished build: 0 when everything of
// the project went into the package, 3 when something was left out.
int ReportBuilt(CUIManager& manager, const std::wstring& packageLine, const ReportLine& report);

// Writes the WiX source of the package just built beside it and prints its
// path; a failure is logged and said, and leaves the build as it was.
void ReportWixSource(CUIManager& manager, const ReportLine& report);

} // namespace commandline
