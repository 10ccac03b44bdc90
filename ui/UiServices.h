#pragma once
// What the pages ask of the user and of the platform, each behind one
// replaceable function so that tests answer instead of a person: message
// boxes, the file-open dialog and the administrator check. Also the one
// dialog font of the process.
#include <windows.h>

#include <functional>
#include <string>

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

// Whether the current thread's or process's token is a member of the built-in
// Administrators group.
bool IsUserAdministrator();
// The check the welcome page makes; IsUserAdministrator unless replaced.
void SetAdministratorCheck(std::function<bool()> check);
bool CheckAdministrator();

// The dialog font: "Verdana", height -12, created on first use and kept for
// the life of the process.
HFONT DialogFont();
