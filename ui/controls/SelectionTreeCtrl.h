#pragma once
// The selection trees: tree views with check boxes in which the user ticks
// folders (CFolderTreeCtrl: drives B: to Z: without network drives, folders
// loaded on demand) or registry keys (CRegistryTreeCtrl: the five hives, keys
// loaded on demand). The tick rules are those of SelectionTree.h.
//
// How an owner uses one:
//   CFolderTreeCtrl m_folders;                  // a member of the page
//   m_folders.Attach(Item(IDC_TREE));           // in OnInitDialog
//   m_folders.FillRoots();
//   m_folders.TickByPath(L"C:\\Program Files");
//   CFolderList ticked; m_folders.CollectTicked(ticked);
// The control handles its own mouse presses (select, tick, expand, the
// right-button menu) and loads the children of an item being expanded; the
// owner needs to forward nothing.
#include "ui/controls/SelectionTree.h"

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

// One entry of the right-button menu.
struct TreeMenuEntry
{
    enum class Action { None, Display, ToggleTick };
    std::wstring text; // empty for a separator
    Action action = Action::None;
};

class CSelectionTreeCtrl
{
public:
    CSelectionTreeCtrl() = default;
    virtual ~CSelectionTreeCtrl();
    CSelectionTreeCtrl(const CSelectionTreeCtrl&) = delete;
    CSelectionTreeCtrl& operator=(const CSelectionTreeCtrl&) = delete;

    // Takes over a tree-view control: check boxes, the image list, the
    // dialog font, and its mouse presses; `countLabel`, when given, is a
    // static control that shows "%d Selected Folder(s)". Detach gives it back.
    void Attach(HWND tree, HWND countLabel = nullptr);
    void Detach();
    HWND Window() const noexcept { return m_tree; }

    // Removes every item and inserts the roots.
    virtual void FillRoots() = 0;
    // Loads the children of `item` unless it has some.
    virtual void LoadChildren(HTREEITEM item) = 0;

    // The item of a path, loading children on the way; null when missing.
    HTREEITEM Find(const std::wstring& path);
    // Ticks the item of `path` and its loaded descendants; false, with
    // nothing ticked, when the tree has no such item.
    bool TickByPath(const std::wstring& path);
    // Ticks or unticks an item and what is loaded below it, then its ancestors
    // follow (SelectionTree::Tick) and the count label is rewritten.
    void SetTick(HTREEITEM item, bool ticked);
    bool IsTicked(HTREEITEM item) const;
    // The full path of an item (ending with "\").
    std::wstring PathOf(HTREEITEM item) const;
    // The full paths of the ticked items (a ticked item's descendants are not listed).
    void CollectTicked(CPathList& list) const;

    // Called after every press on an item (after its children were loaded).
    void SetSelectionHandler(std::function<void(HTREEITEM)> handler) { m_onSelection = std::move(handler); }

    // What a press does: select the item, load its children, update the
    // count, tell the selection handler; then tick/untick on the check box,
    // otherwise expand or collapse.
    void PressItem(HTREEITEM item, bool onCheckBox);
    // The right-button menu of an item, and running one of its entries.
    std::vector<TreeMenuEntry> MenuEntries(HTREEITEM item) const;
    void RunMenuEntry(HTREEITEM item, const TreeMenuEntry& entry);
    // The menu as a popup menu (command = entry index + 1); the caller destroys it.
    HMENU BuildMenu(HTREEITEM item) const;

    // The operations SelectionTree.h works with (the item's text and boldness
    // are read through them).
    struct Access
    {
        using Node = HTREEITEM;
        CSelectionTreeCtrl* owner;
        Node FirstRoot() const;
        Node FirstChild(Node n) const;
        Node NextSibling(Node n) const;
        Node Parent(Node n) const;
        bool IsTicked(Node n) const { return owner->IsTicked(n); }
        void SetTicked(Node n, bool ticked) const;
        bool IsBold(Node n) const { return owner->IsBold(n); }
        void SetBold(Node n, bool bold) const;
        std::wstring Text(Node n) const { return owner->TextOf(n); }
        void LoadChildren(Node n) const { owner->LoadChildren(n); }
    };
    Access Tree() const { return Access{const_cast<CSelectionTreeCtrl*>(this)}; }

protected:
    // Inserts an item below `parent` (TVI_ROOT for a root), ticked when the
    // parent is, with a "+" button when `hasChildren`.
    HTREEITEM InsertItem(HTREEITEM parent, const std::wstring& text, int image, int selectedImage, bool hasChildren);
    void SetHasChildren(HTREEITEM item, bool hasChildren) const;
    void DeleteAll() const;
    // Rewrites the count label.
    void UpdateCount() const;

private:
    static LRESULT CALLBACK TreeProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                     DWORD_PTR data);
    static LRESULT CALLBACK ParentProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                       DWORD_PTR data);
    bool OnMouse(UINT message, LPARAM lParam);
    bool IsBold(HTREEITEM item) const;
    std::wstring TextOf(HTREEITEM item) const;
    int CountTicked() const;
    void ShowMenu(HTREEITEM item);

    HWND m_tree = nullptr;
    HWND m_parent = nullptr;
    HWND m_countLabel = nullptr;
    HIMAGELIST m_images = nullptr;
    std::function<void(HTREEITEM)> m_onSelection;
};

// Drives and folders. Roots: "C:\" and so on; images by drive type.
class CFolderTreeCtrl : public CSelectionTreeCtrl
{
public:
    void FillRoots() override;
    void LoadChildren(HTREEITEM item) override;
};

// Registry hives and keys (the registry view the snapshots read).
class CRegistryTreeCtrl : public CSelectionTreeCtrl
{
public:
    void FillRoots() override;
    void LoadChildren(HTREEITEM item) override;
};

// Tree images, in the order of the image list.
namespace TreeImage {
inline constexpr int ClosedFolder = 0;
inline constexpr int OpenFolder = 1;
inline constexpr int CdDrive = 2;
inline constexpr int RemovableDrive = 3;
inline constexpr int FloppyDrive = 4;
inline constexpr int FixedDrive = 5;
// The image of a drive root of `letter` with the drive type `type` (DRIVE_*).
int ForDrive(wchar_t letter, UINT type);
} // namespace TreeImage

// The text of a tree view item, up to MAX_PATH characters.
std::wstring TreeItemText(HWND tree, HTREEITEM item);
