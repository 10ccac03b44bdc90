#pragma once
// What the pages ask of the user and of the platform, each behind one
// replaceable function so that tests answer instead of a person and nothing
// real is started: message boxes, the file-open dialog, the folder browser,
// the administrator check, launching a program with the shell, starting the
// setup and listing processes. Each Set...Function takes the stand-in; an
// empty one restores the real function. Also the one dialog font of the
// process.
#include "common/SetupProcess.h"
#include "common/UniqueHandle.h"

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// A message box: owner, text, caption and MB_* type; returns the button id.
using MessageBoxFunction = std::function<int(HWND, const std::wstring&, const std::wstring&, UINT)>;
// Sets the function every page's message box goes through; an empty one
// restores the real message box.
void SetMessageBoxFunction(MessageBoxFunction function);
int ShowMessageBox(HWND owner, const std::wstring& text, const std::wstring& caption, UINT type);

// A file-open dialog: owner and filter in the "Name (*.ext)|*.ext||" form;
// returns the chosen path, empty when cancelled.
using FileOpenFunction = std::function<std::wstring(HWND, const std::wstring&)>;
void SetFileOpenFunction(FileOpenFunction function);
std::wstring ShowFileOpenDialog(HWND owner, const std::wstring& filter);

// The platform's folder browser (file-system folders only, not below
// domains) with `title`; returns the chosen folder, empty after Cancel.
using FolderBrowseFunction = std::function<std::wstring(HWND, const std::wstring& title)>;
void SetFolderBrowseFunction(FolderBrowseFunction function);
std::wstring BrowseForFolder(HWND owner, const std::wstring& title);

// Opens `file` with the shell (ShellExecuteEx, `verb` such as "open", normal
// show state, no parameters, no working folder) and asks for the process
// handle: `process` receives it, empty when the shell started no new process
// (a document handed to a running program). False when the shell reported
// failure; the thread's last error then holds the system's error code.
using ShellLaunchFunction =
    std::function<bool(HWND, const std::wstring& file, const std::wstring& verb, UniqueKernelHandle& process)>;
void SetShellLaunchFunction(ShellLaunchFunction function);
bool LaunchWithShell(HWND owner, const std::wstring& file, const std::wstring& verb, UniqueKernelHandle& process);

// Starts the setup program `file` of the Launch Setup page and has `setup`
// follow it and every process it starts (SetupProcess.h): created suspended in
// a job, with no arguments and this process's working folder. A file that the
// platform cannot start as a program (a document, a program that asks for
// elevation) is opened with the shell's "open" verb and the process the shell
// reports is followed from then on. False when neither started it; the
// thread's last error then holds the system's error code.
using SetupLaunchFunction = std::function<bool(HWND, const std::wstring& file, CSetupProcess& setup)>;
void SetSetupLaunchFunction(SetupLaunchFunction function);
bool LaunchSetup(HWND owner, const std::wstring& file, CSetupProcess& setup);

// Starts the program registered for ".htm" (the open command of its class
// below HKEY_CLASSES_ROOT, cut before "%1") with `address`, for when the shell
// has nothing to open the address with. Registry failures end it silently.
void OpenWithHtmHandler(const std::wstring& address);

// One running process: its identifier and the base name of its first module
// ("<unknown>" when the process cannot be opened for query and read access or
// its modules cannot be listed).
struct ProcessEntry
{
    DWORD id = 0;
    std::wstring name;
};
// Lists the running processes (at most 1024, identifier 0 left out) into
// `processes`. False when the platform's list could not be read.
using ProcessListFunction = std::function<bool(std::vector<ProcessEntry>& processes)>;
void SetProcessListFunction(ProcessListFunction function);
bool ListProcesses(std::vector<ProcessEntry>& processes);

// Whether the current thread's or process's token is a member of the built-in
// Administrators group.
bool IsUserAdministrator();
// The check the welcome page makes; IsUserAdministrator unless replaced.
void SetAdministratorCheck(std::function<bool()> check);
bool CheckAdministrator();

// The dialog font: "Verdana", height -12, created on first use and kept for
// the life of the process.
HFONT DialogFont();
