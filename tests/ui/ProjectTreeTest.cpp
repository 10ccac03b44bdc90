// The project tree in a real tree-view window: existence colours up to the
// top item, the counters and the missing-only view, the tick rules through
// real clicks on the check boxes, paths added and removed, and the coloured
// labels in the painted picture.
#include "common/Utf.h"
#include "tests/support/TestSupport.h"
#include "ui/controls/ProjectTreeCtrl.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

class TreeWindow
{
public:
    TreeWindow()
    {
        INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_TREEVIEW_CLASSES};
        InitCommonControlsEx(&controls);
        m_frame = CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 420, 600, nullptr,
                                  nullptr, GetModuleHandleW(nullptr), nullptr);
        m_tree = CreateWindowExW(0, WC_TREEVIEWW, L"", WS_CHILD | WS_VISIBLE | WS_BORDER | TVS_SHOWSELALWAYS, 0, 0,
                                 400, 560, m_frame, nullptr, GetModuleHandleW(nullptr), nullptr);
        tree.Attach(m_tree);
    }
    ~TreeWindow()
    {
        tree.Detach();
        DestroyWindow(m_frame);
    }
    // The folders behind the token paths (none here: the paths are real).
    const FolderTokenValues tokens;
    CProjectTreeCtrl tree{tokens};

    // A real left click on the item's check box.
    void ClickCheckBox(HTREEITEM item)
    {
        RECT label{};
        ASSERT_TRUE(CProjectTreeCtrl::Internals::LabelRect(tree, item, label));
        const int y = (label.top + label.bottom) / 2;
        for (int x = 0; x < label.left; ++x) {
            TVHITTESTINFO hit{};
            hit.pt = {x, y};
            SendMessageW(m_tree, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit));
            if (hit.hItem == item && (hit.flags & TVHT_ONITEMSTATEICON)) {
                SendMessageW(m_tree, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
                SendMessageW(m_tree, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
                return;
            }
        }
        FAIL() << "no check box found left of the label";
    }

private:
    HWND m_frame = nullptr;
    HWND m_tree = nullptr;
};

void WriteFile(const std::wstring& path)
{
    std::ofstream(ToUtf8(path)) << "x";
}

TEST(ProjectTree, OneMissingFileAmongTenIsRedUpToTheTopItem)
{
    TempFolder folder;
    const std::wstring app = folder / L"App";
    CreateDirectoryW(app.c_str(), nullptr);
    DirectoryChangeMap added{{app, {}}}, modified, deleted;
    for (int i = 0; i < 10; ++i) {
        const std::wstring file = app + L"\\f" + std::to_wstring(i) + L".txt";
        if (i != 7)
            WriteFile(file);
        added[app].push_back(file);
    }
    TreeWindow window;
    CProjectTreeCtrl& tree = window.tree;
    tree.ShowFileSystem(&added, &modified, &deleted, true);
    tree.WaitForExistenceCheck();

    EXPECT_EQ(tree.Existence().Total, 10);
    EXPECT_EQ(tree.Existence().Missing, 1);
    const std::wstring missing = app + L"\\f7.txt";
    EXPECT_EQ(tree.Existence().Entries, (std::map<std::wstring, std::vector<std::wstring>>{{app, {missing}}}));
    HTREEITEM item = tree.FindPath(missing);
    ASSERT_TRUE(item);
    for (HTREEITEM up = item; up; up = TreeView_GetParent(CProjectTreeCtrl::Internals::Window(tree), up))
        EXPECT_EQ(tree.Info(up).Color, CProjectTreeCtrl::MissingColor) << ToUtf8(tree.Info(up).Path);
    EXPECT_EQ(tree.Info(tree.FindPath(app + L"\\f3.txt")).Color, CProjectTreeCtrl::ExistingColor);

    // The missing-only view, and the file found again after a move.
    tree.Refill(CProjectTreeCtrl::View::OnlyMissing);
    EXPECT_EQ(CProjectTreeCtrl::Internals::InsertedPaths(tree), (std::vector<std::wstring>{app, missing}));
    tree.Refill();
    EXPECT_EQ(CProjectTreeCtrl::Internals::InsertedPaths(tree).size(), 11u);
    ASSERT_TRUE(tree.MarkFound(app, missing));
    EXPECT_EQ(tree.Existence().Missing, 0);
    EXPECT_EQ(tree.Info(tree.FindPath(missing)).Color, CProjectTreeCtrl::ExistingColor);
    EXPECT_EQ(tree.Info(tree.FindPath(app)).Color, CProjectTreeCtrl::DefaultColor);
    EXPECT_FALSE(tree.MarkFound(app, missing));
}

// The check runs on a worker: what a fill finds reaches the tree once, and
// never after another fill or a stop has come first.
TEST(ProjectTree, AnEarlierFillsCheckIsDroppedWhenARefillOrAStopComesFirst)
{
    TempFolder folder;
    DirectoryChangeMap absent{{folder.Path(), {}}}, present{{folder.Path(), {folder / L"here.txt"}}};
    for (int i = 0; i < 400; ++i)
        absent[folder.Path()].push_back(folder / (L"gone" + std::to_wstring(i) + L".txt"));
    WriteFile(folder / L"here.txt");
    const struct
    {
        const char* name;
        bool refill;
        int handled;
        long total;
    } cases[] = {{"refill", true, 1, 1}, {"stop", false, 0, 400}};
    for (const auto& c : cases) {
        TreeWindow window;
        int handled = 0;
        window.tree.Attach(CProjectTreeCtrl::Internals::Window(window.tree), {nullptr, [&] { ++handled; }});
        window.tree.ShowFileSystem(&absent, nullptr, nullptr, true);
        if (c.refill)
            window.tree.ShowFileSystem(&present, nullptr, nullptr, true);
        else
            window.tree.Detach();
        window.tree.WaitForExistenceCheck();
        // A result the first worker posted before it was stopped arrives now.
        for (MSG msg; PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE);)
            DispatchMessageW(&msg);
        EXPECT_EQ(handled, c.handled) << c.name;
        EXPECT_EQ(window.tree.Existence().Total, c.total) << c.name;
        EXPECT_EQ(window.tree.Existence().Missing, 0) << c.name;
        EXPECT_TRUE(window.tree.Existence().Entries.empty()) << c.name;
    }
}

TEST(ProjectTree, RegistryKeysAreCheckedForReadingOnly)
{
    TestRegistryKey key(L"ProjectTree");
    const std::wstring present = L"HKEY_CURRENT_USER\\" + key.SubPath();
    const std::wstring absent = present + L"\\Absent";
    RegistryChangeMap added{{present, {}}, {absent, {}}, {L"HKEY_NOWHERE\\Software", {}}};
    RegistryChangeMap deleted{{present + L"\\Gone", {}}};
    TreeWindow window;
    window.tree.ShowRegistry(&added, nullptr, &deleted, true);
    window.tree.WaitForExistenceCheck();
    EXPECT_EQ(window.tree.Existence().Total, 4);
    EXPECT_EQ(window.tree.Existence().Missing, 3);
    // A deleted key is absent by nature; left out of the check on request.
    window.tree.SetCheckDeletedEntries(false);
    window.tree.Refill();
    window.tree.WaitForExistenceCheck();
    EXPECT_EQ(window.tree.Existence().Total, 4);
    EXPECT_EQ(window.tree.Existence().Missing, 2);
    EXPECT_EQ(window.tree.Info(window.tree.FindPath(present + L"\\Gone")).Color, CProjectTreeCtrl::DefaultColor);
    EXPECT_EQ(window.tree.Info(window.tree.FindPath(absent)).Color, CProjectTreeCtrl::MissingColor);
    // The present key holds a missing one: red as its ancestor.
    EXPECT_EQ(window.tree.Info(window.tree.FindPath(present)).Color, CProjectTreeCtrl::MissingColor);
    HKEY opened = nullptr;
    EXPECT_NE(RegOpenKeyExW(key.Key(), L"Absent", 0, KEY_READ, &opened), ERROR_SUCCESS) << "the check created a key";
    EXPECT_TRUE(RegistryKeyExists(L"HKCU\\" + key.SubPath()));
}

TEST(ProjectTree, ClicksTickSubtreesAndAncestorsFollowTheirChildren)
{
    TreeWindow window;
    CProjectTreeCtrl& tree = window.tree;
    for (const wchar_t* path : {L"C:\\App\\a.txt", L"C:\\App\\b.txt", L"C:\\Other\\c.txt"})
        tree.AddPath(path, CProjectTreeCtrl::ItemKind::File);
    tree.ExpandAll();
    HTREEITEM a = tree.FindPath(L"C:\\App\\a.txt");
    HTREEITEM b = tree.FindPath(L"C:\\App\\b.txt");
    HTREEITEM app = tree.FindPath(L"C:\\App");
    HTREEITEM root = tree.FindPath(L"C:");

    window.ClickCheckBox(a);
    EXPECT_TRUE(tree.Info(a).Checked);
    EXPECT_FALSE(tree.Info(app).Checked);
    EXPECT_TRUE(tree.Info(app).Bold);
    EXPECT_TRUE(tree.Info(root).Bold);
    window.ClickCheckBox(b);
    EXPECT_TRUE(tree.Info(app).Checked) << "all children ticked";
    EXPECT_FALSE(tree.Info(root).Checked);
    auto paths = [&] {
        std::vector<std::wstring> list;
        for (const auto& checked : tree.GetCheckedItems())
            list.push_back(checked.Path);
        return list;
    };
    // App is ticked for its children: they are listed, not App (a change of its own).
    EXPECT_EQ(paths(), (std::vector<std::wstring>{L"C:\\App\\a.txt", L"C:\\App\\b.txt"}));
    window.ClickCheckBox(app);
    window.ClickCheckBox(app);
    ASSERT_EQ(tree.GetCheckedItems().size(), 1u);
    EXPECT_EQ(tree.GetCheckedItems()[0].Path, L"C:\\App");
    EXPECT_EQ(tree.GetCheckedItems()[0].Kind, CProjectTreeCtrl::ItemKind::Folder);

    window.ClickCheckBox(root);
    EXPECT_TRUE(tree.Info(tree.FindPath(L"C:\\Other\\c.txt")).Checked);
    window.ClickCheckBox(b);
    EXPECT_FALSE(tree.Info(app).Checked);
    EXPECT_FALSE(tree.Info(root).Checked);
    EXPECT_TRUE(tree.Info(root).Bold);
    EXPECT_EQ(paths(), (std::vector<std::wstring>{L"C:\\App\\a.txt", L"C:\\Other"}));
}

TEST(ProjectTree, RemovedPathsTakeEmptyAncestorsAndTheirColoursWithThem)
{
    TreeWindow window;
    CProjectTreeCtrl& tree = window.tree;
    window.tree.AddPath(L"HKEY_CURRENT_USER\\Software\\Vendor", CProjectTreeCtrl::ItemKind::Key);
    window.tree.AddPath(L"HKEY_CURRENT_USER\\Software\\Vendor\\App\\Settings", CProjectTreeCtrl::ItemKind::Key);
    window.tree.AddPath(L"HKEY_LOCAL_MACHINE\\Software\\X", CProjectTreeCtrl::ItemKind::Key);
    CProjectTreeCtrl::Internals::SetItemColor(tree, tree.FindPath(L"HKEY_LOCAL_MACHINE\\Software\\X"),
                                              CProjectTreeCtrl::MissingColor);

    EXPECT_TRUE(tree.RemovePath(L"HKEY_CURRENT_USER\\Software\\Vendor\\App\\Settings"));
    EXPECT_TRUE(tree.RemovePath(L"HKEY_LOCAL_MACHINE\\Software\\X"));
    EXPECT_FALSE(tree.RemovePath(L"HKEY_LOCAL_MACHINE\\Software\\X"));
    // Vendor was inserted itself and stays; App and the HKLM branch go.
    EXPECT_EQ(CProjectTreeCtrl::Internals::InsertedPaths(tree),
              std::vector<std::wstring>{L"HKEY_CURRENT_USER\\Software\\Vendor"});
    EXPECT_FALSE(tree.FindPath(L"HKEY_CURRENT_USER\\Software\\Vendor\\App"));
    EXPECT_FALSE(tree.FindPath(L"HKEY_LOCAL_MACHINE"));
    for (int i = 0; i < 20; ++i) {
        HTREEITEM fresh = tree.AddPath(L"HKEY_USERS\\K" + std::to_wstring(i), CProjectTreeCtrl::ItemKind::Key);
        EXPECT_EQ(tree.Info(fresh).Color, CProjectTreeCtrl::DefaultColor);
    }
}

TEST(ProjectTree, EachPathIsFoundUnderItsOwnParentAlsoAfterRemovalsAndClearing)
{
    using Kind = CProjectTreeCtrl::ItemKind;
    TreeWindow window;
    CProjectTreeCtrl& tree = window.tree;
    const std::wstring inA = L"C:\\A\\same\\f.txt";
    const std::wstring inB = L"C:\\B\\same\\f.txt";
    HTREEITEM first = tree.AddPath(inA, Kind::File);
    HTREEITEM second = tree.AddPath(inB, Kind::File);
    ASSERT_TRUE(first && second);
    EXPECT_NE(first, second);
    EXPECT_EQ(tree.FindPath(inA), first);
    EXPECT_EQ(tree.FindPath(inB), second);
    EXPECT_EQ(tree.AddPath(inA, Kind::File), first) << "an existing path is reused";
    EXPECT_FALSE(tree.FindPath(L"C:\\a\\same\\f.txt")) << "names compare exactly";
    EXPECT_FALSE(tree.FindPath(L"C:\\A\\same\\g.txt"));

    ASSERT_TRUE(tree.RemovePath(L"C:\\A"));
    EXPECT_FALSE(tree.FindPath(inA));
    EXPECT_EQ(tree.FindPath(inB), second);
    HTREEITEM again = tree.AddPath(inA, Kind::File);
    EXPECT_EQ(tree.FindPath(inA), again);
    EXPECT_EQ(CProjectTreeCtrl::Internals::InsertedPaths(tree), (std::vector<std::wstring>{inB, inA}));

    tree.Clear();
    EXPECT_FALSE(tree.FindPath(inB));
    EXPECT_FALSE(tree.FindPath(L"C:"));
    EXPECT_TRUE(tree.AddPath(inB, Kind::File));
    EXPECT_EQ(CProjectTreeCtrl::Internals::InsertedPaths(tree), std::vector<std::wstring>{inB});
}

TEST(ProjectTree, ColouredLabelsArePainted)
{
    TempFolder folder;
    const std::wstring present = folder / L"here.txt";
    WriteFile(present);
    DirectoryChangeMap added{{folder.Path(), {present, folder / L"gone.txt"}}};
    TreeWindow window;
    CProjectTreeCtrl& tree = window.tree;
    tree.ShowFileSystem(&added, nullptr, nullptr, true);
    tree.WaitForExistenceCheck();
    tree.ExpandAll();
    SetFocus(nullptr);

    RECT client{};
    GetClientRect(CProjectTreeCtrl::Internals::Window(tree), &client);
    HDC screen = GetDC(CProjectTreeCtrl::Internals::Window(tree));
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, client.right, client.bottom);
    HGDIOBJ old = SelectObject(memory, bitmap);
    CProjectTreeCtrl::Internals::PaintInto(tree, memory);
    auto labelHas = [&](const std::wstring& path, COLORREF colour) {
        RECT label{};
        if (!CProjectTreeCtrl::Internals::LabelRect(tree, tree.FindPath(path), label))
            return false;
        for (int y = label.top; y < label.bottom; ++y)
            for (int x = label.left; x < label.right; ++x)
                if (GetPixel(memory, x, y) == colour)
                    return true;
        return false;
    };
    EXPECT_TRUE(labelHas(folder / L"gone.txt", CProjectTreeCtrl::MissingColor));
    EXPECT_TRUE(labelHas(present, CProjectTreeCtrl::ExistingColor));
    EXPECT_FALSE(labelHas(present, CProjectTreeCtrl::MissingColor));
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(CProjectTreeCtrl::Internals::Window(tree), screen);
}

} // namespace
