#pragma once
// The list of chosen shortcuts that the Create Project File and MSI page and
// the Build MSI page share: two columns "Shortcut Name" and "Exe name", one
// line per shortcut entry with its small icon, and the shortcut dialog that
// makes a new entry or edits the entry of a double-clicked line.
#include "ui/pages/CreateProjectFileAndMsiRules.h"

#include <windows.h>
#include <commctrl.h>

#include <optional>
#include <string>

class CShortcutListEditor
{
public:
    CShortcutListEditor() = default;
    ~CShortcutListEditor();
    CShortcutListEditor(const CShortcutListEditor&) = delete;
    CShortcutListEditor& operator=(const CShortcutListEditor&) = delete;

    // Takes over a page's list-view control: full-row selection, the two
    // columns over the list's width, and an image list of small icons that
    // the editor keeps (the list only borrows it).
    void Attach(HWND list);
    HWND Window() const noexcept { return m_list; }

    // The entries, keyed by shortcut name. The page changes them in place
    // only where their lines stay as they are (icon files written out).
    const ShortcutEntryMap& Entries() const noexcept { return m_entries; }
    ShortcutEntryMap& Entries() noexcept { return m_entries; }
    // Makes `entries` the list's entries: every line and icon goes, then one
    // line per entry in name order.
    void ShowEntries(ShortcutEntryMap entries);
    // Stores the entry under its name and adds a line for it.
    void Add(const ShortcutEntry& entry);

    // "Select": the shortcut dialog (owned by `owner`) for a new shortcut of
    // the captured `executable` (a file name) with its icons from
    // `iconSource`, the other entries' names refused; on OK the entry is
    // added and true returned. An executable that has an entry already gets
    // no second one (false, no dialog).
    bool AddWithDialog(HWND owner, const std::wstring& executable, const std::wstring& iconSource);
    // A double-click on a line: the shortcut dialog for the line's entry, the
    // other entries' names refused; on OK the entry is stored under its
    // (possibly new) name, the line shows it, and true is returned.
    bool EditLine(HWND owner, int line);
    // The line of a double-click on this list (-1 when it hit no line), from
    // the header of a WM_NOTIFY; nothing for any other notification.
    std::optional<int> DoubleClickedLine(const NMHDR& header) const;

private:
    // Adds (line < 0) or updates a line with the entry's name, executable and
    // the small icon at the entry's index (the first of an icon file).
    void ShowLine(const ShortcutEntry& entry, int line);

    HWND m_list = nullptr;
    HIMAGELIST m_icons = nullptr;
    ShortcutEntryMap m_entries;
};

// The shortcut name shown on a line of `list`, whatever its length ("" when
// there is no such line).
std::wstring ShortcutLineName(HWND list, int line);
