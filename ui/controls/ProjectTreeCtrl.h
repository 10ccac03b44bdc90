#pragma once
// A tree view that shows the files and folders or the registry keys of a
// project or of the comparison's change maps, draws each item in its own
// colour and font, and ticks items with the ancestor rules of the selection
// trees. Used by the Project File Content Review page and by the two Package
// Content Review pages.
//
// The control takes over a tree-view window of a dialog (Attach): it sets the
// check-box style, subclasses the window for the click rules and for the
// drawing (the default tree is painted into an off-screen bitmap, the
// coloured labels drawn over it, and the bitmap copied to the screen at once).
// Everything else is an operation on the items that tests call directly.
//
// A fill shows its items at once; with the existence check on, a worker then
// looks up a copy of the files' and keys' paths and posts what it found to
// the tree window, where the items are coloured and counted and the owner's
// handler is told. A refill, Clear and Detach stop and join a running check;
// the result of an earlier fill is dropped by its generation number.
#include "common/ChangeTypes.h"
#include "common/Paths.h"
#include "common/Worker.h"
#include "project/IncludeExclude.h"

#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

// Who hears of a project tree: a label that receives "%d Selected Folder(s)"
// after every tick, and a handler called on the window thread each time an
// existence check's result has been applied (not for a stopped or dropped
// check).
struct ProjectTreeListeners
{
    HWND CountLabel = nullptr;
    std::function<void()> OnExistenceChecked;
};

class CProjectTreeCtrl
{
public:
    // Colours of the existence check.
    static constexpr COLORREF ExistingColor = RGB(60, 148, 44);
    static constexpr COLORREF MissingColor = RGB(255, 0, 0);
    // The colour value that stands for the window text colour.
    static constexpr COLORREF DefaultColor = 0xFFFFFFFF;

    // An item's own colour and font. An empty face name means the tree's font.
    struct Color_Font
    {
        COLORREF Color = DefaultColor;
        LOGFONTW Font{};
    };

    enum class ItemKind { Folder, File, Key };

    // One ticked item: its handle, its full path (components joined by "\",
    // no final separator) and its kind.
    struct CheckedItem
    {
        HTREEITEM Item = nullptr;
        std::wstring Path;
        ItemKind Kind = ItemKind::Folder;
    };
    using CProjectList = std::vector<CheckedItem>;

    // What Info tells of one item.
    struct ItemInfo
    {
        std::wstring Text;
        // The full path: the components from the root joined by "\", no final separator.
        std::wstring Path;
        ItemKind Kind = ItemKind::Folder;
        // The item's colour, DefaultColor when it has none.
        COLORREF Color = DefaultColor;
        bool Checked = false;
        bool Bold = false;
    };

    // What the fills and the existence check counted.
    struct ExistenceResult
    {
        // Files (keys) shown by the last fill, and how many of them are missing.
        long Total = 0;
        long Missing = 0;
        // Folder (as in its map) -> its missing files; for keys, key -> nothing.
        std::map<std::wstring, std::vector<std::wstring>> Entries;
    };

    using Listeners = ProjectTreeListeners;

    enum class View { All, OnlyMissing };

    // The token paths of the maps stand for the folders of `tokens` (the
    // run's), which outlive the control.
    explicit CProjectTreeCtrl(const FolderTokenValues& tokens) : m_tokens(tokens) {}
    ~CProjectTreeCtrl();
    CProjectTreeCtrl(const CProjectTreeCtrl&) = delete;
    CProjectTreeCtrl& operator=(const CProjectTreeCtrl&) = delete;

    // Takes over a tree-view control (before any item is inserted): check
    // boxes, lines and buttons, the four icons, the click and paint rules.
    void Attach(HWND tree, Listeners listeners = {});
    // Gives the window back (also done by the destructor and when the window
    // goes); a running existence check is stopped.
    void Detach();

    // ---- Items and ticks -------------------------------------------------------------
    ItemInfo Info(HTREEITEM item) const;
    // Ticks or unticks the item and all its descendants; then, from the
    // parent up, an ancestor is ticked exactly when all its children are, and
    // bold when it or an item below it is ticked; the count label follows.
    // A click on the item's check box toggles it this way.
    void SetCheck(HTREEITEM item, bool checked);
    // The ticked items: an item the user ticked (or one below it) is taken
    // whole, its descendants not listed; an item ticked only because all its
    // children are is looked into, as is an unticked one through its bold
    // children.
    CProjectList GetCheckedItems() const;

    // ---- Filling ---------------------------------------------------------------------
    // Clears the tree and shows the three maps (any may be null); the maps are
    // kept for a refill. Folders are converted to real paths; one item per
    // path component, reused where it exists. With `checkExistence`, each file
    // (each key) is then looked up on the machine by the existence check:
    // found ones are drawn green; missing ones red with every ancestor, and
    // listed in the missing entries. The total is set by the fill; the
    // missing count starts from 0 and is set when the check ends.
    void ShowFileSystem(DirectoryChangeMap* added, DirectoryChangeMap* modified, DirectoryChangeMap* deleted,
                        bool checkExistence);
    void ShowRegistry(RegistryChangeMap* added, RegistryChangeMap* modified, RegistryChangeMap* deleted,
                      bool checkExistence);
    // View::All fills the tree again from the maps of the last Show call.
    // View::OnlyMissing waits for a running check, clears the tree and shows
    // only the missing entries (drawn red with their ancestors); the counters
    // keep their values.
    void Refill(View view = View::All);
    // Clears the tree and shows the names of an exclusion map (real paths,
    // no existence check).
    void ShowExclusions(const ExcludedItemMap& exclusions);
    // Removes every item; a running existence check is stopped.
    void Clear();
    // Whether the existence check covers the deleted map too (the default).
    // A deleted file or key is absent by nature; a caller that only needs the
    // entries the build reads from the machine turns this off.
    void SetCheckDeletedEntries(bool check) noexcept { m_checkDeleted = check; }

    // ---- Existence -------------------------------------------------------------------
    // Waits for the running existence check to end and applies its result now
    // (the handler is called then); nothing when no check runs.
    void WaitForExistenceCheck();
    const ExistenceResult& Existence() const noexcept { return m_found; }
    // Marks a missing file or key as found: the item turns green and leaves
    // the missing entries; the missing count goes down; ancestors that no
    // longer hold a missing item lose the red colour. False when it was not
    // missing.
    bool MarkFound(const std::wstring& folderOrKey, const std::wstring& file = {});

    // ---- Paths -----------------------------------------------------------------------
    // Inserts a path, one item per "\"-separated component, reusing items
    // that exist; the last one gets `kind` (the others are folders, or keys in
    // a registry tree). Returns the last item.
    HTREEITEM AddPath(const std::wstring& path, ItemKind kind);
    // Deletes the item of `path` with everything below it, and then each
    // ancestor left without children that was not itself inserted as a path.
    // False when no item has that path.
    bool RemovePath(const std::wstring& path);
    // The item whose components match the path from the root, null when none.
    HTREEITEM FindPath(const std::wstring& path) const;
    // Opens every item, depth first, and selects the first item.
    void ExpandAll();

    // What checks and tests reach below the operations (defined below).
    class Internals;

private:
    // Posted to the tree window by the existence check's worker; WPARAM is the
    // generation of the fill it checked.
    static constexpr UINT ExistenceCheckedMessage = WM_APP + 0x31;

    class TickView;

    // One fill's existence check. The entries and the paths are made on the
    // window thread; the worker reads its own copy of the paths and writes only
    // `found` and then `complete`, which the window thread reads after the
    // worker's message or after joining it.
    struct ExistenceCheck
    {
        struct Entry
        {
            HTREEITEM Item = nullptr;
            // The entry as its map holds it: folder and file, or the key alone.
            std::wstring Key;
            std::wstring File;
        };
        std::vector<Entry> entries;
        // Real paths of the entries, in the same order; files or keys by the tree.
        std::vector<std::wstring> paths;
        std::vector<char> found;
        std::atomic<bool> complete{false};
    };

    static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                         DWORD_PTR data);
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnLeftButton(LPARAM lParam);
    void Paint();
    // Draws the default tree and the coloured labels into `dc` (the paint
    // handler does this on an off-screen bitmap).
    void PaintInto(HDC dc);

    void SetItemColor(HTREEITEM item, COLORREF color);
    COLORREF ItemColor(HTREEITEM item) const;
    void SetItemBold(HTREEITEM item, bool bold);
    bool IsItemBold(HTREEITEM item) const;
    bool IsChecked(HTREEITEM item) const;
    std::wstring PathOf(HTREEITEM item) const;
    ItemKind KindOf(HTREEITEM item) const;
    std::wstring TextOf(HTREEITEM item) const;
    // The rectangle of the item's label in client coordinates; false when it is not shown.
    bool LabelRect(HTREEITEM item, RECT& rect) const;
    // The inserted paths of the tree, depth first.
    std::vector<std::wstring> InsertedPaths() const;
    void ShowOnlyMissing();

    HTREEITEM InsertChild(HTREEITEM parent, const std::wstring& text, ItemKind kind, bool inserted);
    HTREEITEM FindChild(HTREEITEM parent, const std::wstring& text) const;
    LPARAM ItemData(HTREEITEM item) const;
    void SetItemData(HTREEITEM item, LPARAM data);
    void DeleteItem(HTREEITEM item);
    void ForgetSubtree(HTREEITEM item);
    void MarkMissing(HTREEITEM item);
    void SetCheckState(HTREEITEM item, bool checked);
    void RefreshAncestors(HTREEITEM item);
    void RefreshCountLabel();
    void FillFiles(DirectoryChangeMap* map, bool check);
    void FillKeys(RegistryChangeMap* map, bool check);
    bool HoldsMissing(HTREEITEM item) const;
    bool IsMarkedMissing(HTREEITEM item) const;
    void StartExistenceCheck();
    void StopExistenceCheck();
    void ApplyExistenceCheck();

    const FolderTokenValues& m_tokens;
    HWND m_tree = nullptr;
    HWND m_countLabel = nullptr;
    HIMAGELIST m_images = nullptr;
    std::unordered_map<HTREEITEM, Color_Font> m_colors = std::unordered_map<HTREEITEM, Color_Font>(17);
    // The path index: each item's children by name (the roots under null),
    // kept beside the window so that a path is found without walking siblings.
    std::unordered_map<HTREEITEM, std::unordered_map<std::wstring, HTREEITEM>> m_children;

    bool m_registry = false;
    bool m_checkExistence = false;
    bool m_checkDeleted = true;
    DirectoryChangeMap* m_files[3] = {};
    RegistryChangeMap* m_keys[3] = {};
    ExistenceResult m_found;

    // The existence check of the last fill: the items to colour (window
    // thread) and the worker's findings; null when none is pending.
    std::shared_ptr<ExistenceCheck> m_check;
    // Raised by every fill and stop: a posted result of another generation is stale.
    WPARAM m_generation = 0;
    std::function<void()> m_onChecked;
    // Last, so that it is joined before the members above go.
    CWorker m_worker;
};

class CProjectTreeCtrl::Internals
{
public:
    static HWND Window(const CProjectTreeCtrl& tree) noexcept { return tree.m_tree; }
    static std::vector<std::wstring> InsertedPaths(const CProjectTreeCtrl& tree) { return tree.InsertedPaths(); }
    static bool LabelRect(const CProjectTreeCtrl& tree, HTREEITEM item, RECT& rect)
    {
        return tree.LabelRect(item, rect);
    }
    static void PaintInto(CProjectTreeCtrl& tree, HDC dc) { tree.PaintInto(dc); }
    static void SetItemColor(CProjectTreeCtrl& tree, HTREEITEM item, COLORREF color)
    {
        tree.SetItemColor(item, color);
    }
};

using CProjectList = CProjectTreeCtrl::CProjectList;

// True when the registry key (its first component a short or long hive name)
// opens for reading.
bool RegistryKeyExists(const std::wstring& keyPath);
