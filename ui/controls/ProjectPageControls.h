#pragma once
// Controls that the Create Project File and MSI page and the Build MSI page
// share: the list of chosen shortcuts (two columns "Shortcut Name" and "Exe
// name", one line per shortcut entry with its small icon) and the end of the
// progress bar.
#include "ui/pages/CreateProjectFileAndMsiRules.h"

#include <windows.h>
#include <commctrl.h>

#include <optional>
#include <string>

// Full-row selection, the two columns over the list's width, and a new image
// list of small icons that the list uses; the caller destroys the image list.
HIMAGELIST SetUpShortcutListView(HWND list);

// Adds (line < 0) or updates a line with the entry's name, executable and the
// small icon at the entry's index (the first of an icon file).
void ShowShortcutLine(HWND list, HIMAGELIST icons, const ShortcutEntry& entry, int line);

// The shortcut name shown on a line, whatever its length ("" when there is no such line).
std::wstring ShortcutLineName(HWND list, int line);

// Double-click on a line of either page: opens the shortcut dialog (owned by
// `owner`) for the line's entry, the other entries' names refused; on OK the
// entry is stored under its (possibly new) name, the line shows it, and true
// is returned.
bool EditShortcutLine(HWND owner, HWND list, HIMAGELIST icons, int line, ShortcutEntryMap& entries);

// One tick of a page's timer while its worker runs (the project writer or
// the build): the second status line copies the progress text and the bar is
// paced by `increment`. The worker's result once it is done, else nothing.
class CWorker;
std::optional<int> TickWorkerBar(const CWorker& worker, HWND bar, HWND detailLine, int increment);

// Fills the bar to its end in steps of two, 1 ms apart.
void FillProgressBar(HWND bar);

// The sentence a failure message ends with: where the reason is written
// (the error log the log really writes), or, when this log level keeps no
// error log, which setting of which file to raise to keep one.
std::wstring FailureReasonText();
