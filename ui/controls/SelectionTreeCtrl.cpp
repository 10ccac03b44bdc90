#include "ui/controls/SelectionTreeCtrl.h"

#include "common/Log.h"
#include "common/Paths.h"
#include "common/UniqueHandle.h"
#include "common/Wow64.h"
#include "ui/framework/DialogWindow.h"
#include "ui/framework/UiServices.h"
#include "ui/wizard/Resource.h"

#include <windowsx.h>

namespace {

constexpr UINT_PTR SubclassId = 0x5E1EC7;

// True when `folder` (ending with "\") has at least one subfolder.
bool HasSubfolder(const std::wstring& folder)
{
    WIN32_FIND_DATAW data{};
    UniqueHandle<FindHandleTraits> find(FindFirstFileExW((folder + L"*").c_str(), FindExInfoBasic, &data,
                                                         FindExSearchLimitToDirectories, nullptr, 0));
    if (!find)
        return false;
    do {
        const std::wstring name = data.cFileName;
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && name != L"." && name != L"..")
            return true;
    } while (FindNextFileW(find.get(), &data));
    return false;
}

} // namespace

namespace TreeImage {

int ForDrive(wchar_t letter, UINT type)
{
    if (letter == L'A' || letter == L'a')
        return FloppyDrive;
    switch (type) {
    case DRIVE_CDROM:
        return CdDrive;
    case DRIVE_REMOVABLE:
        return RemovableDrive;
    default:
        return FixedDrive;
    }
}

} // namespace TreeImage

// ---- CSelectionTreeCtrl ------------------------------------------------------------

CSelectionTreeCtrl::~CSelectionTreeCtrl()
{
    Detach();
}

void CSelectionTreeCtrl::Attach(HWND tree, HWND countLabel)
{
    Detach();
    if (!tree)
        return;
    m_tree = tree;
    m_parent = GetParent(tree);
    // The check-box style goes on after creation and before any item, or the
    // ticks do not register.
    SetWindowLongPtrW(tree, GWL_STYLE,
                      GetWindowLongPtrW(tree, GWL_STYLE) | TVS_CHECKBOXES | TVS_HASBUTTONS | TVS_HASLINES |
                          TVS_LINESATROOT | TVS_SHOWSELALWAYS);
    m_images = ImageList_Create(16, 16, ILC_COLOR8 | ILC_MASK, 6, 0);
    HINSTANCE instance = GetModuleHandleW(nullptr);
    for (int id : {IDI_CLOSED_FOLDER, IDI_OPEN_FOLDER, IDI_CD_DRIVE, IDI_REMOVABLE_DRIVE, IDI_FLOPPY_DRIVE,
                   IDI_FIXED_DRIVE}) {
        HICON icon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(id), IMAGE_ICON, 16, 16, 0));
        ImageList_AddIcon(m_images, icon);
        if (icon)
            DestroyIcon(icon);
    }
    SendMessageW(tree, TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(m_images));
    SendMessageW(tree, WM_SETFONT, reinterpret_cast<WPARAM>(DialogFont()), TRUE);
    SetWindowSubclass(tree, TreeProc, SubclassId, reinterpret_cast<DWORD_PTR>(this));
    if (m_parent)
        SetWindowSubclass(m_parent, ParentProc, reinterpret_cast<UINT_PTR>(this), reinterpret_cast<DWORD_PTR>(this));
    m_countLabel = countLabel;
    UpdateCount();
}

void CSelectionTreeCtrl::Detach()
{
    if (m_tree && IsWindow(m_tree)) {
        RemoveWindowSubclass(m_tree, TreeProc, SubclassId);
        SendMessageW(m_tree, TVM_SETIMAGELIST, TVSIL_NORMAL, 0);
    }
    if (m_parent && IsWindow(m_parent))
        RemoveWindowSubclass(m_parent, ParentProc, reinterpret_cast<UINT_PTR>(this));
    if (m_images)
        ImageList_Destroy(m_images);
    m_images = nullptr;
    m_tree = nullptr;
    m_parent = nullptr;
}

HTREEITEM CSelectionTreeCtrl::Find(const std::wstring& path)
{
    Access tree = Tree();
    return SelectionTree::Find(tree, path);
}

bool CSelectionTreeCtrl::TickByPath(const std::wstring& path)
{
    Access tree = Tree();
    const bool found = SelectionTree::TickByPath(tree, path);
    if (found)
        UpdateCount();
    return found;
}

void CSelectionTreeCtrl::SetTick(HTREEITEM item, bool ticked)
{
    Access tree = Tree();
    SelectionTree::Tick(tree, item, ticked);
    UpdateCount();
}

bool CSelectionTreeCtrl::IsTicked(HTREEITEM item) const
{
    const UINT state = static_cast<UINT>(SendMessageW(m_tree, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(item),
                                                      TVIS_STATEIMAGEMASK));
    return ((state & TVIS_STATEIMAGEMASK) >> 12) == 2;
}

bool CSelectionTreeCtrl::IsBold(HTREEITEM item) const
{
    return (SendMessageW(m_tree, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(item), TVIS_BOLD) & TVIS_BOLD) != 0;
}

std::wstring TreeItemText(HWND tree, HTREEITEM item)
{
    wchar_t text[MAX_PATH + 1] = {};
    TVITEMW tvi{};
    tvi.mask = TVIF_TEXT;
    tvi.hItem = item;
    tvi.pszText = text;
    tvi.cchTextMax = MAX_PATH;
    SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&tvi));
    return text;
}

std::wstring CSelectionTreeCtrl::TextOf(HTREEITEM item) const
{
    return TreeItemText(m_tree, item);
}

std::wstring CSelectionTreeCtrl::PathOf(HTREEITEM item) const
{
    Access tree = Tree();
    return SelectionTree::PathOf(tree, item);
}

void CSelectionTreeCtrl::CollectTicked(CPathList& list) const
{
    Access tree = Tree();
    SelectionTree::Collect(tree, list);
}

int CSelectionTreeCtrl::CountTicked() const
{
    Access tree = Tree();
    return SelectionTree::CountTicked(tree);
}

void CSelectionTreeCtrl::UpdateCount() const
{
    if (m_countLabel)
        SetWindowTextW(m_countLabel, SelectionTree::CountText(CountTicked()).c_str());
}

void CSelectionTreeCtrl::PressItem(HTREEITEM item, bool onCheckBox)
{
    SendMessageW(m_tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
    SetFocus(m_tree);
    LoadChildren(item);
    UpdateCount();
    if (m_onSelection)
        m_onSelection(item);
    if (onCheckBox)
        SetTick(item, !IsTicked(item));
    else
        SendMessageW(m_tree, TVM_EXPAND, TVE_TOGGLE, reinterpret_cast<LPARAM>(item));
}

std::vector<TreeMenuEntry> CSelectionTreeCtrl::MenuEntries(HTREEITEM item) const
{
    Access tree = Tree();
    const bool isRoot = tree.Parent(item) == nullptr;
    std::vector<TreeMenuEntry> entries;
    entries.push_back({SelectionTree::DisplayEntryText(TextOf(item), isRoot), TreeMenuEntry::Action::Display});
    entries.push_back({});
    entries.push_back({SelectionTree::SelectEntryText(IsTicked(item)), TreeMenuEntry::Action::ToggleTick});
    entries.push_back({});
    if (SelectionTree::HasBoldChild(tree, item)) {
        for (const std::wstring& path : SelectionTree::TickedBelow(tree, item))
            entries.push_back({path, TreeMenuEntry::Action::None});
    } else {
        entries.push_back({SelectionTree::NoSubfolderSelected, TreeMenuEntry::Action::None});
    }
    return entries;
}

void CSelectionTreeCtrl::RunMenuEntry(HTREEITEM item, const TreeMenuEntry& entry)
{
    switch (entry.action) {
    case TreeMenuEntry::Action::Display: {
        UniqueKernelHandle process;
        LaunchWithShell(m_parent, PathOf(item), L"open", process);
        break;
    }
    case TreeMenuEntry::Action::ToggleTick:
        SetTick(item, !IsTicked(item));
        break;
    case TreeMenuEntry::Action::None:
        break;
    }
}

HMENU CSelectionTreeCtrl::BuildMenu(HTREEITEM item) const
{
    HMENU menu = CreatePopupMenu();
    if (!menu)
        return nullptr;
    const std::vector<TreeMenuEntry> entries = MenuEntries(item);
    for (size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].text.empty())
            AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        else
            AppendMenuW(menu, MF_STRING, i + 1, entries[i].text.c_str());
    }
    return menu;
}

void CSelectionTreeCtrl::ShowMenu(HTREEITEM item)
{
    HMENU menu = BuildMenu(item);
    if (!menu)
        return;
    POINT at{};
    GetCursorPos(&at);
    const int chosen = TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_LEFTALIGN, at.x, at.y, 0, m_tree,
                                      nullptr);
    DestroyMenu(menu);
    if (chosen > 0) {
        const std::vector<TreeMenuEntry> entries = MenuEntries(item);
        if (static_cast<size_t>(chosen) <= entries.size())
            RunMenuEntry(item, entries[chosen - 1]);
    }
}

HTREEITEM CSelectionTreeCtrl::InsertItem(HTREEITEM parent, const std::wstring& text, int image, int selectedImage,
                                         bool hasChildren)
{
    TVINSERTSTRUCTW insert{};
    insert.hParent = parent;
    insert.hInsertAfter = parent == TVI_ROOT ? TVI_LAST : TVI_SORT;
    insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_CHILDREN;
    insert.item.pszText = const_cast<wchar_t*>(text.c_str());
    insert.item.iImage = image;
    insert.item.iSelectedImage = selectedImage;
    insert.item.cChildren = hasChildren ? 1 : 0;
    auto item = reinterpret_cast<HTREEITEM>(SendMessageW(m_tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
    if (!item)
        return nullptr;
    const bool ticked = parent != TVI_ROOT && IsTicked(parent);
    Access tree = Tree();
    tree.SetTicked(item, ticked);
    tree.SetBold(item, ticked);
    return item;
}

void CSelectionTreeCtrl::SetHasChildren(HTREEITEM item, bool hasChildren) const
{
    TVITEMW tvi{};
    tvi.mask = TVIF_CHILDREN;
    tvi.hItem = item;
    tvi.cChildren = hasChildren ? 1 : 0;
    SendMessageW(m_tree, TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&tvi));
}

void CSelectionTreeCtrl::DeleteAll() const
{
    SendMessageW(m_tree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
}

bool CSelectionTreeCtrl::OnMouse(UINT message, LPARAM lParam)
{
    TVHITTESTINFO hit{};
    hit.pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    auto item = reinterpret_cast<HTREEITEM>(SendMessageW(m_tree, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    if (!item || !(hit.flags & (TVHT_ONITEM | TVHT_ONITEMBUTTON)))
        return false;
    if (message == WM_RBUTTONDOWN) {
        SendMessageW(m_tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
        SetFocus(m_tree);
        LoadChildren(item);
        UpdateCount();
        if (m_onSelection)
            m_onSelection(item);
        ShowMenu(item);
        return true;
    }
    PressItem(item, (hit.flags & TVHT_ONITEMSTATEICON) != 0);
    return true;
}

LRESULT CALLBACK CSelectionTreeCtrl::TreeProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                              DWORD_PTR data)
{
    try {
        auto* self = reinterpret_cast<CSelectionTreeCtrl*>(data);
        switch (message) {
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
        case WM_RBUTTONDOWN:
            if (self->OnMouse(message, lParam))
                return 0;
            break;
        case WM_KEYDOWN:
            if (wParam == VK_SPACE) {
                auto item = reinterpret_cast<HTREEITEM>(SendMessageW(hwnd, TVM_GETNEXTITEM, TVGN_CARET, 0));
                if (item)
                    self->SetTick(item, !self->IsTicked(item));
                return 0;
            }
            break;
        case WM_CHAR:
            if (wParam == L' ')
                return 0;
            break;
        case WM_NCDESTROY:
            RemoveWindowSubclass(hwnd, TreeProc, SubclassId);
            break;
        default:
            break;
        }
    } catch (...) {
        CDialogWindow::LogCallbackFailure("CSelectionTreeCtrl::TreeProc");
        return 0;
    }
    return DefSubclassProc(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK CSelectionTreeCtrl::ParentProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                                DWORD_PTR data)
{
    try {
        auto* self = reinterpret_cast<CSelectionTreeCtrl*>(data);
        if (message == WM_NOTIFY) {
            const auto* header = reinterpret_cast<const NMHDR*>(lParam);
            if (header->hwndFrom == self->m_tree) {
                const auto* notice = reinterpret_cast<const NMTREEVIEWW*>(lParam);
                if (header->code == TVN_ITEMEXPANDINGW && (notice->action & TVE_EXPAND))
                    self->LoadChildren(notice->itemNew.hItem);
                else if (header->code == TVN_SELCHANGEDW && notice->action == TVC_BYKEYBOARD) {
                    self->LoadChildren(notice->itemNew.hItem);
                    self->UpdateCount();
                    if (self->m_onSelection)
                        self->m_onSelection(notice->itemNew.hItem);
                }
            }
        } else if (message == WM_NCDESTROY) {
            RemoveWindowSubclass(hwnd, ParentProc, id);
        }
    } catch (...) {
        CDialogWindow::LogCallbackFailure("CSelectionTreeCtrl::ParentProc");
    }
    return DefSubclassProc(hwnd, message, wParam, lParam);
}

// ---- CSelectionTreeCtrl::Access ----------------------------------------------------

HTREEITEM CSelectionTreeCtrl::Access::FirstRoot() const
{
    return reinterpret_cast<HTREEITEM>(SendMessageW(owner->m_tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
}

HTREEITEM CSelectionTreeCtrl::Access::FirstChild(Node n) const
{
    return reinterpret_cast<HTREEITEM>(
        SendMessageW(owner->m_tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(n)));
}

HTREEITEM CSelectionTreeCtrl::Access::NextSibling(Node n) const
{
    return reinterpret_cast<HTREEITEM>(
        SendMessageW(owner->m_tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(n)));
}

HTREEITEM CSelectionTreeCtrl::Access::Parent(Node n) const
{
    return reinterpret_cast<HTREEITEM>(
        SendMessageW(owner->m_tree, TVM_GETNEXTITEM, TVGN_PARENT, reinterpret_cast<LPARAM>(n)));
}

void CSelectionTreeCtrl::Access::SetTicked(Node n, bool ticked) const
{
    TVITEMW tvi{};
    tvi.mask = TVIF_STATE;
    tvi.hItem = n;
    tvi.stateMask = TVIS_STATEIMAGEMASK;
    tvi.state = INDEXTOSTATEIMAGEMASK(ticked ? 2 : 1);
    SendMessageW(owner->m_tree, TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&tvi));
}

void CSelectionTreeCtrl::Access::SetBold(Node n, bool bold) const
{
    TVITEMW tvi{};
    tvi.mask = TVIF_STATE;
    tvi.hItem = n;
    tvi.stateMask = TVIS_BOLD;
    tvi.state = bold ? TVIS_BOLD : 0;
    SendMessageW(owner->m_tree, TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&tvi));
}

// ---- CFolderTreeCtrl ------------------------------------------------------------------

void CFolderTreeCtrl::FillRoots()
{
    DeleteAll();
    const DWORD drives = GetLogicalDrives();
    for (wchar_t letter = L'B'; letter <= L'Z'; ++letter) {
        if (!(drives & (1u << (letter - L'A'))))
            continue;
        const std::wstring root = std::wstring(1, letter) + L":\\";
        const UINT type = GetDriveTypeW(root.c_str());
        if (type == DRIVE_REMOTE)
            continue;
        const int image = TreeImage::ForDrive(letter, type);
        InsertItem(TVI_ROOT, root, image, image, HasSubfolder(root));
    }
    UpdateCount();
}

void CFolderTreeCtrl::LoadChildren(HTREEITEM item)
{
    if (!item || Tree().FirstChild(item))
        return;
    const std::wstring folder = PathOf(item);
    WIN32_FIND_DATAW data{};
    UniqueHandle<FindHandleTraits> find(FindFirstFileExW((folder + L"*.*").c_str(), FindExInfoBasic, &data,
                                                         FindExSearchLimitToDirectories, nullptr, 0));
    bool any = false;
    if (find) {
        do {
            const std::wstring name = data.cFileName;
            if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || name == L"." || name == L"..")
                continue;
            InsertItem(item, name, TreeImage::ClosedFolder, TreeImage::OpenFolder, HasSubfolder(folder + name + L"\\"));
            any = true;
        } while (FindNextFileW(find.get(), &data));
    }
    if (!any)
        SetHasChildren(item, false);
}

// ---- CRegistryTreeCtrl ----------------------------------------------------------------

void CRegistryTreeCtrl::FillRoots()
{
    DeleteAll();
    for (const wchar_t* hive :
         {L"HKEY_CLASSES_ROOT", L"HKEY_CURRENT_USER", L"HKEY_LOCAL_MACHINE", L"HKEY_USERS", L"HKEY_CURRENT_CONFIG"})
        InsertItem(TVI_ROOT, hive, TreeImage::ClosedFolder, TreeImage::OpenFolder, true);
    UpdateCount();
}

void CRegistryTreeCtrl::LoadChildren(HTREEITEM item)
{
    if (!item || Tree().FirstChild(item))
        return;
    const std::wstring path = SelectionTree::WithoutFinalSeparator(PathOf(item));
    const size_t split = path.find(L'\\');
    const auto hive = HiveNames().find(path.substr(0, split));
    if (hive == HiveNames().end())
        return;
    const std::wstring subkey = split == std::wstring::npos ? std::wstring() : path.substr(split + 1);
    UniqueHKey key;
    bool any = false;
    if (RegOpenKeyExW(hive->second, subkey.empty() ? nullptr : subkey.c_str(), 0,
                      KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE | RegistryViewAccess(), key.put()) == ERROR_SUCCESS) {
        wchar_t name[256];
        for (DWORD index = 0;; ++index) {
            DWORD length = 256;
            const LONG rc = RegEnumKeyExW(key.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr);
            if (rc == ERROR_MORE_DATA)
                continue;
            if (rc != ERROR_SUCCESS)
                break;
            // Whether a key has subkeys shows when it is opened: every key
            // gets a button until then.
            InsertItem(item, std::wstring(name, length), TreeImage::ClosedFolder, TreeImage::OpenFolder, true);
            any = true;
        }
    }
    if (!any)
        SetHasChildren(item, false);
}
