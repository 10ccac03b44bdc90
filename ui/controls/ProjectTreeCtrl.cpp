#include "ui/controls/ProjectTreeCtrl.h"

#include "common/FolderTokens.h"
#include "common/Log.h"
#include "common/Paths.h"
#include "ui/controls/SelectionTree.h"
#include "ui/controls/SelectionTreeCtrl.h"
#include "ui/framework/DialogWindow.h"
#include "ui/wizard/Resource.h"

#include <algorithm>
#include <cstring>
#include <cwchar>

namespace {

// Item data: the kind in the low two bits, then whether the item was
// inserted as a path of its own, then whether it is a missing entry.
constexpr LPARAM KindMask = 0x3;
constexpr LPARAM InsertedFlag = 0x4;
constexpr LPARAM MissingFlag = 0x8;
// Ticked by the user, or below an item the user ticked; an ancestor ticked
// because all its children are does not have it.
constexpr LPARAM TickedFlag = 0x10;

// Image list positions of the icons 140, 141, 137, 166.
constexpr int ClosedFolderImage = 0;
constexpr int OpenFolderImage = 1;
constexpr int DriveImage = 2;
constexpr int ItemImage = 3;

constexpr UINT Unchecked = INDEXTOSTATEIMAGEMASK(1);
constexpr UINT Checked = INDEXTOSTATEIMAGEMASK(2);

std::wstring RealPath(std::wstring path, const FolderTokenValues& tokens)
{
    ToRealPath(path, tokens);
    return path;
}


HTREEITEM Next(HWND tree, HTREEITEM item, UINT relation)
{
    return reinterpret_cast<HTREEITEM>(
        SendMessageW(tree, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item)));
}

} // namespace

// The project tree as the selection trees' tick rules (SelectionTree.h) see
// it. A tick that comes down from the item the user ticked marks the items as
// ticked by the user; an ancestor that the rules tick because all its
// children are is not.
class CProjectTreeCtrl::TickView
{
public:
    using Node = HTREEITEM;

    TickView(CProjectTreeCtrl& tree, bool userTick) noexcept : m_tree(tree), m_userTick(userTick) {}

    Node FirstRoot() const { return Next(m_tree.m_tree, nullptr, TVGN_ROOT); }
    Node FirstChild(Node node) const { return Next(m_tree.m_tree, node, TVGN_CHILD); }
    Node NextSibling(Node node) const { return Next(m_tree.m_tree, node, TVGN_NEXT); }
    Node Parent(Node node) const { return Next(m_tree.m_tree, node, TVGN_PARENT); }
    bool IsTicked(Node node) const { return m_tree.IsChecked(node); }
    void SetTicked(Node node, bool ticked)
    {
        m_tree.SetCheckState(node, ticked);
        const LPARAM data = m_tree.ItemData(node);
        m_tree.SetItemData(node, m_userTick && ticked ? data | TickedFlag : data & ~TickedFlag);
    }
    bool IsBold(Node node) const { return m_tree.IsItemBold(node); }
    void SetBold(Node node, bool bold) { m_tree.SetItemBold(node, bold); }
    std::wstring Text(Node node) const { return m_tree.TextOf(node); }
    void LoadChildren(Node) const {}

private:
    CProjectTreeCtrl& m_tree;
    bool m_userTick;
};

CProjectTreeCtrl::~CProjectTreeCtrl()
{
    Detach();
}

void CProjectTreeCtrl::Attach(HWND tree, Listeners listeners)
{
    Detach();
    m_tree = tree;
    m_countLabel = listeners.CountLabel;
    m_onChecked = std::move(listeners.OnExistenceChecked);
    if (!tree)
        return;
    // The check-box style is set after the control exists and before items
    // are inserted, or the ticks do not register.
    SetWindowLongPtrW(tree, GWL_STYLE,
                      GetWindowLongPtrW(tree, GWL_STYLE) | TVS_CHECKBOXES | TVS_HASLINES | TVS_HASBUTTONS |
                          TVS_LINESATROOT);
    m_images = ImageList_Create(16, 16, ILC_COLOR8 | ILC_MASK, 4, 0);
    HINSTANCE instance = GetModuleHandleW(nullptr);
    for (int id : {IDI_CLOSED_FOLDER, IDI_OPEN_FOLDER, IDI_FIXED_DRIVE, IDI_TREE_ITEM}) {
        if (HICON icon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(id), IMAGE_ICON, 16, 16, 0))) {
            ImageList_AddIcon(m_images, icon);
            DestroyIcon(icon);
            continue;
        }
        // Keep the positions: the system's icon stands in for a missing one.
        LogError(L"CProjectTreeCtrl::Attach: tree icon " + std::to_wstring(id) + L" is missing");
        ImageList_AddIcon(m_images, LoadIconW(nullptr, IDI_APPLICATION));
    }
    SendMessageW(tree, TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(m_images));
    SetWindowSubclass(tree, SubclassProc, reinterpret_cast<UINT_PTR>(this), reinterpret_cast<DWORD_PTR>(this));
}

void CProjectTreeCtrl::Detach()
{
    StopExistenceCheck();
    if (m_tree) {
        RemoveWindowSubclass(m_tree, SubclassProc, reinterpret_cast<UINT_PTR>(this));
        if (IsWindow(m_tree))
            SendMessageW(m_tree, TVM_SETIMAGELIST, TVSIL_NORMAL, 0);
    }
    m_tree = nullptr;
    m_colors.clear();
    m_children.clear();
    if (m_images)
        ImageList_Destroy(m_images);
    m_images = nullptr;
}

// ---- Colours, fonts, ticks -------------------------------------------------------------

void CProjectTreeCtrl::SetItemColor(HTREEITEM item, COLORREF color)
{
    m_colors[item].Color = color;
}

COLORREF CProjectTreeCtrl::ItemColor(HTREEITEM item) const
{
    const auto found = m_colors.find(item);
    return found == m_colors.end() ? DefaultColor : found->second.Color;
}

void CProjectTreeCtrl::SetItemBold(HTREEITEM item, bool bold)
{
    TVITEMW tv{};
    tv.mask = TVIF_STATE;
    tv.hItem = item;
    tv.stateMask = TVIS_BOLD;
    tv.state = bold ? TVIS_BOLD : 0;
    SendMessageW(m_tree, TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&tv));
}

bool CProjectTreeCtrl::IsItemBold(HTREEITEM item) const
{
    return (SendMessageW(m_tree, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(item), TVIS_BOLD) & TVIS_BOLD) != 0;
}

bool CProjectTreeCtrl::IsChecked(HTREEITEM item) const
{
    const UINT state =
        static_cast<UINT>(SendMessageW(m_tree, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(item), TVIS_STATEIMAGEMASK));
    return (state & TVIS_STATEIMAGEMASK) == Checked;
}

void CProjectTreeCtrl::SetCheckState(HTREEITEM item, bool checked)
{
    TVITEMW tv{};
    tv.mask = TVIF_STATE;
    tv.hItem = item;
    tv.stateMask = TVIS_STATEIMAGEMASK | TVIS_BOLD;
    tv.state = (checked ? Checked : Unchecked) | (checked ? TVIS_BOLD : 0);
    SendMessageW(m_tree, TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&tv));
}

void CProjectTreeCtrl::SetCheck(HTREEITEM item, bool checked)
{
    if (!item)
        return;
    // The item and its whole subtree, ticked by the user.
    TickView subtree(*this, true);
    SelectionTree::SetSubtree(subtree, item, checked);
    RefreshAncestors(item);
    RefreshCountLabel();
}

void CProjectTreeCtrl::RefreshAncestors(HTREEITEM item)
{
    TickView ancestors(*this, false);
    SelectionTree::UpdateAncestors(ancestors, item);
}

CProjectList CProjectTreeCtrl::GetCheckedItems() const
{
    CProjectList list;
    if (!m_tree)
        return list;
    std::vector<HTREEITEM> pending;
    for (HTREEITEM root = Next(m_tree, nullptr, TVGN_ROOT); root; root = Next(m_tree, root, TVGN_NEXT))
        pending.push_back(root);
    // Depth first, in tree order.
    std::reverse(pending.begin(), pending.end());
    while (!pending.empty()) {
        HTREEITEM item = pending.back();
        pending.pop_back();
        const bool checked = IsChecked(item);
        if (checked && (ItemData(item) & TickedFlag)) {
            list.push_back({item, PathOf(item), KindOf(item)});
            continue;
        }
        // An item ticked only because all its children are stands for them,
        // not for itself: a folder or key that is a change of its own must
        // not go with a child that was ticked.
        std::vector<HTREEITEM> children;
        for (HTREEITEM child = Next(m_tree, item, TVGN_CHILD); child; child = Next(m_tree, child, TVGN_NEXT))
            if (checked || IsItemBold(child))
                children.push_back(child);
        pending.insert(pending.end(), children.rbegin(), children.rend());
    }
    return list;
}

void CProjectTreeCtrl::RefreshCountLabel()
{
    if (!m_countLabel)
        return;
    int folders = 0;
    for (const CheckedItem& checked : GetCheckedItems())
        if (checked.Kind != ItemKind::File)
            ++folders;
    SetWindowTextW(m_countLabel, SelectionTree::CountText(folders).c_str());
}

// ---- Items -------------------------------------------------------------------------------

LPARAM CProjectTreeCtrl::ItemData(HTREEITEM item) const
{
    TVITEMW tv{};
    tv.mask = TVIF_PARAM;
    tv.hItem = item;
    SendMessageW(m_tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&tv));
    return tv.lParam;
}

void CProjectTreeCtrl::SetItemData(HTREEITEM item, LPARAM data)
{
    TVITEMW tv{};
    tv.mask = TVIF_PARAM;
    tv.hItem = item;
    tv.lParam = data;
    SendMessageW(m_tree, TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&tv));
}

std::wstring CProjectTreeCtrl::TextOf(HTREEITEM item) const
{
    return TreeItemText(m_tree, item);
}

bool CProjectTreeCtrl::LabelRect(HTREEITEM item, RECT& rect) const
{
    // The item goes in where the rectangle comes out.
    static_assert(sizeof(HTREEITEM) <= sizeof(RECT));
    std::memcpy(&rect, &item, sizeof item);
    return SendMessageW(m_tree, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&rect)) != 0;
}

CProjectTreeCtrl::ItemInfo CProjectTreeCtrl::Info(HTREEITEM item) const
{
    return {TextOf(item), PathOf(item), KindOf(item), ItemColor(item), IsChecked(item), IsItemBold(item)};
}

CProjectTreeCtrl::ItemKind CProjectTreeCtrl::KindOf(HTREEITEM item) const
{
    return static_cast<ItemKind>(ItemData(item) & KindMask);
}

std::wstring CProjectTreeCtrl::PathOf(HTREEITEM item) const
{
    std::wstring path;
    for (; item; item = Next(m_tree, item, TVGN_PARENT))
        path = path.empty() ? TextOf(item) : TextOf(item) + L"\\" + path;
    return path;
}

HTREEITEM CProjectTreeCtrl::FindChild(HTREEITEM parent, const std::wstring& text) const
{
    const auto children = m_children.find(parent);
    if (children == m_children.end())
        return nullptr;
    const auto child = children->second.find(text);
    return child == children->second.end() ? nullptr : child->second;
}

HTREEITEM CProjectTreeCtrl::InsertChild(HTREEITEM parent, const std::wstring& text, ItemKind kind, bool inserted)
{
    TVINSERTSTRUCTW insert{};
    insert.hParent = parent ? parent : TVI_ROOT;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_STATE;
    insert.item.pszText = const_cast<wchar_t*>(text.c_str());
    insert.item.lParam = static_cast<LPARAM>(kind) | (inserted ? InsertedFlag : 0);
    int image = ClosedFolderImage;
    int selected = OpenFolderImage;
    if (kind == ItemKind::File)
        image = selected = ItemImage;
    else if (!parent && !m_registry && text.size() == 2 && text[1] == L':')
        image = selected = DriveImage;
    insert.item.iImage = image;
    insert.item.iSelectedImage = selected;
    insert.item.stateMask = TVIS_STATEIMAGEMASK;
    insert.item.state = Unchecked;
    HTREEITEM item =
        reinterpret_cast<HTREEITEM>(SendMessageW(m_tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
    // The first child of a name is the one a path leads to.
    if (item)
        m_children[parent].emplace(text, item);
    // A child of a ticked item is ticked too.
    if (item && parent && IsChecked(parent)) {
        SetCheckState(item, true);
        SetItemData(item, ItemData(item) | (ItemData(parent) & TickedFlag));
    }
    return item;
}

HTREEITEM CProjectTreeCtrl::AddPath(const std::wstring& path, ItemKind kind)
{
    const std::vector<std::wstring> parts = SelectionTree::SplitPath(path);
    HTREEITEM item = nullptr;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const bool last = i + 1 == parts.size();
        HTREEITEM found = FindChild(item, parts[i]);
        if (!found) {
            const ItemKind partKind = last ? kind : (m_registry ? ItemKind::Key : ItemKind::Folder);
            found = InsertChild(item, parts[i], partKind, last);
        } else if (last) {
            SetItemData(found, (ItemData(found) & ~KindMask) | static_cast<LPARAM>(kind) | InsertedFlag);
        }
        if (!found)
            return nullptr;
        item = found;
    }
    return item;
}

HTREEITEM CProjectTreeCtrl::FindPath(const std::wstring& path) const
{
    HTREEITEM item = nullptr;
    for (const std::wstring& part : SelectionTree::SplitPath(path)) {
        item = FindChild(item, part);
        if (!item)
            return nullptr;
    }
    return item;
}

void CProjectTreeCtrl::ForgetSubtree(HTREEITEM item)
{
    m_colors.erase(item);
    m_children.erase(item);
    for (HTREEITEM child = Next(m_tree, item, TVGN_CHILD); child; child = Next(m_tree, child, TVGN_NEXT))
        ForgetSubtree(child);
}

void CProjectTreeCtrl::DeleteItem(HTREEITEM item)
{
    // Handles are reused: the colours and the index entries of deleted items
    // must not pass to new ones.
    const auto siblings = m_children.find(Next(m_tree, item, TVGN_PARENT));
    if (siblings != m_children.end()) {
        const auto entry = siblings->second.find(TextOf(item));
        if (entry != siblings->second.end() && entry->second == item)
            siblings->second.erase(entry);
    }
    ForgetSubtree(item);
    SendMessageW(m_tree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(item));
}

bool CProjectTreeCtrl::RemovePath(const std::wstring& path)
{
    // The pending check holds item handles that this may delete.
    WaitForExistenceCheck();
    HTREEITEM item = FindPath(path);
    if (!item)
        return false;
    HTREEITEM parent = Next(m_tree, item, TVGN_PARENT);
    DeleteItem(item);
    while (parent && !Next(m_tree, parent, TVGN_CHILD) && !(ItemData(parent) & InsertedFlag)) {
        HTREEITEM up = Next(m_tree, parent, TVGN_PARENT);
        DeleteItem(parent);
        parent = up;
    }
    if (parent)
        RefreshAncestors(Next(m_tree, parent, TVGN_CHILD) ? Next(m_tree, parent, TVGN_CHILD) : parent);
    RefreshCountLabel();
    return true;
}

std::vector<std::wstring> CProjectTreeCtrl::InsertedPaths() const
{
    std::vector<std::wstring> paths;
    std::vector<HTREEITEM> pending;
    for (HTREEITEM root = Next(m_tree, nullptr, TVGN_ROOT); root; root = Next(m_tree, root, TVGN_NEXT))
        pending.insert(pending.begin(), root);
    while (!pending.empty()) {
        HTREEITEM item = pending.back();
        pending.pop_back();
        if (ItemData(item) & InsertedFlag)
            paths.push_back(PathOf(item));
        std::vector<HTREEITEM> children;
        for (HTREEITEM child = Next(m_tree, item, TVGN_CHILD); child; child = Next(m_tree, child, TVGN_NEXT))
            children.push_back(child);
        pending.insert(pending.end(), children.rbegin(), children.rend());
    }
    return paths;
}

void CProjectTreeCtrl::Clear()
{
    StopExistenceCheck();
    m_colors.clear();
    m_children.clear();
    if (m_tree)
        SendMessageW(m_tree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
    RefreshCountLabel();
}

void CProjectTreeCtrl::ExpandAll()
{
    std::vector<HTREEITEM> pending;
    for (HTREEITEM root = Next(m_tree, nullptr, TVGN_ROOT); root; root = Next(m_tree, root, TVGN_NEXT))
        pending.push_back(root);
    while (!pending.empty()) {
        HTREEITEM item = pending.back();
        pending.pop_back();
        SendMessageW(m_tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item));
        for (HTREEITEM child = Next(m_tree, item, TVGN_CHILD); child; child = Next(m_tree, child, TVGN_NEXT))
            pending.push_back(child);
    }
    if (HTREEITEM first = Next(m_tree, nullptr, TVGN_ROOT))
        SendMessageW(m_tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(first));
}

// ---- Filling -----------------------------------------------------------------------------

void CProjectTreeCtrl::MarkMissing(HTREEITEM item)
{
    SetItemData(item, ItemData(item) | MissingFlag);
    for (; item; item = Next(m_tree, item, TVGN_PARENT))
        SetItemColor(item, MissingColor);
}

void CProjectTreeCtrl::FillFiles(DirectoryChangeMap* map, bool check)
{
    if (!map)
        return;
    for (const auto& [folder, files] : *map) {
        HTREEITEM folderItem = AddPath(RealPath(folder, m_tokens), ItemKind::Folder);
        if (!folderItem)
            continue;
        m_found.Total += static_cast<long>(files.size());
        for (const std::wstring& file : files) {
            std::wstring real = RealPath(file, m_tokens);
            const auto separator = real.find_last_of(L'\\');
            const std::wstring name = separator == std::wstring::npos ? real : real.substr(separator + 1);
            HTREEITEM item = FindChild(folderItem, name);
            if (!item)
                item = InsertChild(folderItem, name, ItemKind::File, true);
            if (!item || !check)
                continue;
            m_check->entries.push_back({item, folder, file});
            m_check->paths.push_back(std::move(real));
        }
    }
}

void CProjectTreeCtrl::FillKeys(RegistryChangeMap* map, bool check)
{
    if (!map)
        return;
    for (const auto& [key, values] : *map) {
        HTREEITEM item = AddPath(key, ItemKind::Key);
        if (!item)
            continue;
        ++m_found.Total;
        if (!check)
            continue;
        m_check->entries.push_back({item, key, {}});
        m_check->paths.push_back(key);
    }
}

void CProjectTreeCtrl::ShowFileSystem(DirectoryChangeMap* added, DirectoryChangeMap* modified,
                                      DirectoryChangeMap* deleted, bool checkExistence)
{
    m_registry = false;
    m_files[0] = added;
    m_files[1] = modified;
    m_files[2] = deleted;
    m_checkExistence = checkExistence;
    Refill();
}

void CProjectTreeCtrl::ShowRegistry(RegistryChangeMap* added, RegistryChangeMap* modified,
                                    RegistryChangeMap* deleted, bool checkExistence)
{
    m_registry = true;
    m_keys[0] = added;
    m_keys[1] = modified;
    m_keys[2] = deleted;
    m_checkExistence = checkExistence;
    Refill();
}

void CProjectTreeCtrl::Refill(View view)
{
    if (view == View::OnlyMissing) {
        ShowOnlyMissing();
        return;
    }
    Clear();
    m_found.Total = 0;
    m_found.Missing = 0;
    m_found.Entries.clear();
    if (m_checkExistence)
        m_check = std::make_shared<ExistenceCheck>();
    for (int i = 0; i < 3; ++i) {
        const bool check = m_checkExistence && (i < 2 || m_checkDeleted);
        if (m_registry)
            FillKeys(m_keys[i], check);
        else
            FillFiles(m_files[i], check);
    }
    if (m_check)
        StartExistenceCheck();
}

void CProjectTreeCtrl::ShowOnlyMissing()
{
    WaitForExistenceCheck();
    Clear();
    for (const auto& [folder, files] : m_found.Entries) {
        if (m_registry) {
            if (HTREEITEM item = AddPath(folder, ItemKind::Key))
                MarkMissing(item);
            continue;
        }
        HTREEITEM folderItem = AddPath(RealPath(folder, m_tokens), ItemKind::Folder);
        for (const std::wstring& file : files) {
            const std::wstring real = RealPath(file, m_tokens);
            const auto separator = real.find_last_of(L'\\');
            if (HTREEITEM item = folderItem ? InsertChild(folderItem, real.substr(separator + 1), ItemKind::File, true)
                                            : nullptr)
                MarkMissing(item);
        }
    }
}

void CProjectTreeCtrl::ShowExclusions(const ExcludedItemMap& exclusions)
{
    Clear();
    for (const auto& [key, item] : exclusions)
        AddPath(RealPath(item.Name, m_tokens), m_registry ? ItemKind::Key : ItemKind::Folder);
}

bool CProjectTreeCtrl::IsMarkedMissing(HTREEITEM item) const
{
    return (ItemData(item) & MissingFlag) != 0;
}

bool CProjectTreeCtrl::HoldsMissing(HTREEITEM item) const
{
    if (ItemData(item) & MissingFlag)
        return true;
    for (HTREEITEM child = Next(m_tree, item, TVGN_CHILD); child; child = Next(m_tree, child, TVGN_NEXT))
        if (HoldsMissing(child))
            return true;
    return false;
}

bool CProjectTreeCtrl::MarkFound(const std::wstring& folderOrKey, const std::wstring& file)
{
    WaitForExistenceCheck();
    auto entry = m_found.Entries.find(folderOrKey);
    if (entry == m_found.Entries.end())
        return false;
    std::wstring path = RealPath(folderOrKey, m_tokens);
    if (!file.empty()) {
        auto& files = entry->second;
        const auto at = std::find(files.begin(), files.end(), file);
        if (at == files.end())
            return false;
        files.erase(at);
        if (files.empty())
            m_found.Entries.erase(entry);
        path = RealPath(file, m_tokens);
    } else {
        m_found.Entries.erase(entry);
    }
    --m_found.Missing;
    if (HTREEITEM item = FindPath(path)) {
        SetItemData(item, ItemData(item) & ~MissingFlag);
        SetItemColor(item, ExistingColor);
        for (HTREEITEM parent = Next(m_tree, item, TVGN_PARENT); parent; parent = Next(m_tree, parent, TVGN_PARENT))
            if (!HoldsMissing(parent))
                m_colors.erase(parent);
    }
    return true;
}

// ---- Window ------------------------------------------------------------------------------

LRESULT CALLBACK CProjectTreeCtrl::SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                                DWORD_PTR data)
{
    try {
        auto* self = reinterpret_cast<CProjectTreeCtrl*>(data);
        if (message == WM_NCDESTROY) {
            const LRESULT result = DefSubclassProc(hwnd, message, wParam, lParam);
            self->Detach();
            return result;
        }
        return self->OnMessage(message, wParam, lParam);
    } catch (...) {
        CDialogWindow::LogCallbackFailure("CProjectTreeCtrl::SubclassProc");
        return DefSubclassProc(hwnd, message, wParam, lParam);
    }
}

LRESULT CProjectTreeCtrl::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        OnLeftButton(lParam);
        return 0;
    case WM_PAINT:
        if (wParam)
            break; // painting into a given context (printing): the default tree
        Paint();
        return 0;
    case WM_ERASEBKGND:
        return 1; // the paint handler covers the whole client area
    case ExistenceCheckedMessage:
        // A result of an earlier fill, or one already applied by a wait, is dropped.
        if (wParam == m_generation && m_check)
            ApplyExistenceCheck();
        return 0;
    default:
        break;
    }
    return DefSubclassProc(m_tree, message, wParam, lParam);
}

void CProjectTreeCtrl::OnLeftButton(LPARAM lParam)
{
    TVHITTESTINFO hit{};
    hit.pt.x = static_cast<short>(LOWORD(lParam));
    hit.pt.y = static_cast<short>(HIWORD(lParam));
    SendMessageW(m_tree, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit));
    if (!hit.hItem)
        return;
    SendMessageW(m_tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(hit.hItem));
    SetFocus(m_tree);
    if (hit.flags & TVHT_ONITEMSTATEICON)
        SetCheck(hit.hItem, !IsChecked(hit.hItem));
    else if (hit.flags & (TVHT_ONITEM | TVHT_ONITEMBUTTON))
        SendMessageW(m_tree, TVM_EXPAND, TVE_TOGGLE, reinterpret_cast<LPARAM>(hit.hItem));
}
