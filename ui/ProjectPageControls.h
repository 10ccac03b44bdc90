#pragma once
// Controls that the Create Project File and MSI page and the Build MSI page
// share: the list of chosen shortcuts (two columns "Shortcut Name" and "Exe
// name", one line per shortcut entry with its small icon) and the end of the
// progress bar.
#include "ui/ProjectPageLogic.h"

#include <windows.h>
#include <commctrl.h>

#include <string>

// Full-row selection, the two columns over the list's width, and a new image
// list of small icons that the list uses; the caller destroys the image list.
HIMAGELIST SetUpShortcutListView(HWND list);

// Adds (line < 0) or updates a line with the entry's name, executable and the
// small icon at the entry's index (the first of an icon file).
void ShowShortcutLine(HWND list, HIMAGELIST icons, const ShortcutEntry& entry, int line);

// The shortcut name shown on a line ("" when there is no such line).
std::wstring ShortcutLineName(HWND list, int line);

// Fills the bar to its end in steps of two, 1 ms apart.
void FillProgressBar(HWND bar);

// The error log file the configuration names, for messages that point the user to it.
std::wstring ErrorLogPath();
