// The selection trees: their rules on an in-memory tree, then the real
// controls over real folders and registry keys, and the two browse dialogs.
#include "tests/support/TestSupport.h"
#include "ui/controls/SelectionTree.h"
#include "ui/controls/SelectionTreeCtrl.h"
#include "ui/framework/BrowseDialogs.h"
#include "ui/framework/UiServices.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <map>
#include <memory>

namespace {

// ---- Without a window ---------------------------------------------------------------

// A tree of named nodes whose children come from `disk` (path -> names) on demand.
struct MemoryTree
{
    struct Item
    {
        std::wstring text;
        Item* parent = nullptr;
        std::vector<std::unique_ptr<Item>> children;
        bool ticked = false;
        bool bold = false;
    };
    using Node = Item*;

    std::map<std::wstring, std::vector<std::wstring>> disk;
    std::vector<std::unique_ptr<Item>> roots;

    explicit MemoryTree(std::map<std::wstring, std::vector<std::wstring>> content) : disk(std::move(content))
    {
        for (const std::wstring& root : disk[L""])
            roots.push_back(std::make_unique<Item>(Item{root}));
    }
    static Node Next(const std::vector<std::unique_ptr<Item>>& list, Node n)
    {
        for (size_t i = 0; i + 1 < list.size(); ++i)
            if (list[i].get() == n)
                return list[i + 1].get();
        return nullptr;
    }
    Node FirstRoot() { return roots.empty() ? nullptr : roots[0].get(); }
    Node FirstChild(Node n) { return n->children.empty() ? nullptr : n->children[0].get(); }
    Node NextSibling(Node n) { return Next(n->parent ? n->parent->children : roots, n); }
    Node Parent(Node n) { return n->parent; }
    bool IsTicked(Node n) { return n->ticked; }
    void SetTicked(Node n, bool t) { n->ticked = t; }
    bool IsBold(Node n) { return n->bold; }
    void SetBold(Node n, bool b) { n->bold = b; }
    std::wstring Text(Node n) { return n->text; }
    void LoadChildren(Node n)
    {
        if (!n->children.empty())
            return;
        for (const std::wstring& name : disk[SelectionTree::PathOf(*this, n)])
            n->children.push_back(std::make_unique<Item>(Item{name, n, {}, n->ticked, n->ticked}));
    }
    Node At(const std::wstring& path) { return SelectionTree::Find(*this, path); }
};

MemoryTree Disk()
{
    return MemoryTree({{L"", {L"C:\\", L"D:\\"}},
                       {L"C:\\", {L"Program Files", L"WINDOWS"}},
                       {L"C:\\Program Files\\", {L"Acme", L"Tools"}},
                       {L"C:\\Program Files\\Acme\\", {L"bin"}},
                       {L"C:\\WINDOWS\\", {L"system32", L"Temp"}}});
}

std::vector<std::wstring> Collected(MemoryTree& tree)
{
    CFolderList list;
    SelectionTree::Collect(tree, list);
    return {list.begin(), list.end()};
}

TEST(SelectionTreeRules, TickUntickAndTheAncestors)
{
    MemoryTree tree = Disk();
    auto* programs = tree.At(L"c:\\program files");
    ASSERT_NE(programs, nullptr);
    tree.LoadChildren(tree.At(L"C:\\Program Files\\Acme"));

    SelectionTree::Tick(tree, tree.At(L"C:\\Program Files\\Acme"), true);
    EXPECT_TRUE(tree.At(L"C:\\Program Files\\Acme\\bin")->ticked) << "loaded descendants follow";
    EXPECT_FALSE(programs->ticked);
    EXPECT_TRUE(programs->bold);
    EXPECT_TRUE(tree.At(L"C:")->bold) << "bold reaches the root";

    // The last unticked sibling ticked: the parent is ticked too (but not its parent).
    SelectionTree::Tick(tree, tree.At(L"C:\\Program Files\\Tools"), true);
    EXPECT_TRUE(programs->ticked);
    EXPECT_FALSE(tree.At(L"C:")->ticked) << "WINDOWS is loaded and unticked";
    EXPECT_EQ(Collected(tree), std::vector<std::wstring>{L"C:\\Program Files\\"}) << "the folder once, no subfolder";
    EXPECT_EQ(SelectionTree::CountTicked(tree), 1);

    // One child unticked: the parent unticks and stays bold.
    SelectionTree::Tick(tree, tree.At(L"C:\\Program Files\\Acme\\bin"), false);
    EXPECT_FALSE(tree.At(L"C:\\Program Files\\Acme")->ticked);
    EXPECT_FALSE(tree.At(L"C:\\Program Files\\Acme")->bold);
    EXPECT_FALSE(programs->ticked);
    EXPECT_TRUE(programs->bold);
    EXPECT_EQ(Collected(tree), std::vector<std::wstring>{L"C:\\Program Files\\Tools\\"});

    // Newest first, each once; unticking everything leaves nothing bold.
    SelectionTree::Tick(tree, tree.At(L"C:\\WINDOWS\\Temp"), true);
    EXPECT_EQ(Collected(tree), (std::vector<std::wstring>{L"C:\\WINDOWS\\Temp\\", L"C:\\Program Files\\Tools\\"}));
    EXPECT_EQ(SelectionTree::TickedBelow(tree, tree.At(L"C:")),
              (std::vector<std::wstring>{L"C:\\Program Files\\Tools\\", L"C:\\WINDOWS\\Temp\\"}));
    SelectionTree::Tick(tree, tree.At(L"C:"), false);
    EXPECT_TRUE(Collected(tree).empty());
    EXPECT_FALSE(tree.At(L"C:")->bold);
    // A child loaded below a ticked item comes ticked.
    SelectionTree::Tick(tree, tree.At(L"C:\\WINDOWS"), true);
    EXPECT_TRUE(tree.At(L"C:\\WINDOWS\\system32")->ticked);
}

TEST(SelectionTreeRules, TickByPathAndTheSelectionRecord)
{
    MemoryTree tree = Disk();
    EXPECT_TRUE(SelectionTree::TickByPath(tree, L"c:\\windows\\SYSTEM32"));
    EXPECT_EQ(Collected(tree), std::vector<std::wstring>{L"C:\\WINDOWS\\system32\\"});
    EXPECT_FALSE(SelectionTree::TickByPath(tree, L"C:\\WINDOWS\\Missing\\Deeper"));
    EXPECT_FALSE(SelectionTree::TickByPath(tree, L"E:\\"));
    EXPECT_EQ(SelectionTree::CountTicked(tree), 1) << "a missing path ticks nothing";

    // Records: the unticked kind for an unticked item; for a ticked one the
    // walk up through ticked ancestors stops at the first description.
    SelectionTree::Tick(tree, tree.At(L"C:\\WINDOWS\\Temp"), true); // WINDOWS ticked now
    ASSERT_TRUE(tree.At(L"C:\\WINDOWS")->ticked);
    tree.LoadChildren(tree.At(L"C:\\WINDOWS\\system32"));
    auto token = [](const std::wstring& path) { return SelectionTree::WithoutFinalSeparator(path); };
    std::map<std::wstring, std::wstring> described = {{L"C:\\WINDOWS", L"Windows"}};
    SelectionTree::DescriptionLookup lookup = [&](const std::wstring& path, std::wstring& description) {
        const auto found = described.find(path);
        if (found == described.end())
            return false;
        description = found->second;
        return true;
    };
    struct Case
    {
        const wchar_t* item;
        const wchar_t* record;
        const wchar_t* description;
    } cases[] = {
        {L"C:\\WINDOWS\\Temp", L"File\\C:\\WINDOWS", L"Windows"},
        {L"C:\\WINDOWS", L"File\\C:\\WINDOWS", L"Windows"},
        {L"C:\\Program Files", L"FileNotChecked\\C:\\Program Files", L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.item);
        const auto got = SelectionTree::DescribeSelection(tree, tree.At(c.item), L"File", L"FileNotChecked", token,
                                                          lookup);
        EXPECT_EQ(got.record, c.record);
        EXPECT_EQ(got.description, c.description);
    }
    described.clear();
    const auto none = SelectionTree::DescribeSelection(tree, tree.At(L"C:\\WINDOWS\\Temp"), L"File",
                                                       L"FileNotChecked", token, lookup);
    EXPECT_EQ(none.record, L"File\\C:\\WINDOWS") << "the topmost ticked ancestor looked at";
    EXPECT_EQ(none.description, L"");
}

// ---- The real controls ------------------------------------------------------------------

class SelectionTreeControls : public ::testing::Test
{
protected:
    void SetUp() override
    {
        InitCommonControls();
        m_parent = CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 400, 400, nullptr,
                                   nullptr, nullptr, nullptr);
        m_treeWindow = CreateWindowExW(0, WC_TREEVIEWW, L"", WS_CHILD | WS_VISIBLE | WS_BORDER, 0, 0, 380, 300,
                                       m_parent, nullptr, nullptr, nullptr);
        m_label = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 0, 310, 300, 20, m_parent, nullptr,
                                  nullptr, nullptr);
    }
    void TearDown() override
    {
        DestroyWindow(m_parent);
        SetShellLaunchFunction(nullptr);
        SetFolderBrowseFunction(nullptr);
    }
    std::wstring Label() const
    {
        wchar_t text[128] = {};
        GetWindowTextW(m_label, text, 128);
        return text;
    }

    HWND m_parent = nullptr;
    HWND m_treeWindow = nullptr;
    HWND m_label = nullptr;
};

std::vector<std::wstring> MenuTexts(HMENU menu)
{
    std::vector<std::wstring> texts;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        wchar_t text[512] = {};
        GetMenuStringW(menu, i, text, 512, MF_BYPOSITION);
        texts.push_back(text);
    }
    return texts;
}

TEST_F(SelectionTreeControls, FolderTreeOverRealFolders)
{
    CFolderTreeCtrl tree;
    tree.Attach(m_treeWindow, m_label);
    tree.FillRoots();
    std::vector<std::wstring> roots;
    for (auto n = tree.Tree().FirstRoot(); n; n = tree.Tree().NextSibling(n)) {
        roots.push_back(tree.Tree().Text(n));
        EXPECT_NE(GetDriveTypeW(roots.back().c_str()), static_cast<UINT>(DRIVE_REMOTE));
    }
    ASSERT_FALSE(roots.empty());
    EXPECT_EQ(roots.front(), L"C:\\") << "no A:, and B: is not a drive here";

    // base has a sibling, so that ticking it leaves the temporary folder unticked.
    TempFolder folder;
    const std::wstring base = folder / L"Tree";
    for (const wchar_t* name : {L"Tree", L"Sibling", L"Tree\\One", L"Tree\\Two", L"Tree\\Two\\Deep"})
        ASSERT_TRUE(CreateDirectoryW((folder / name).c_str(), nullptr));
    std::wstring upper = base + L"\\TWO";
    CharUpperW(upper.data());
    ASSERT_TRUE(tree.TickByPath(upper)) << "components compare without case";
    EXPECT_EQ(Label(), L"1 Selected Folder(s)");
    HTREEITEM two = tree.Find(base + L"\\Two");
    HTREEITEM one = tree.Find(base + L"\\One");
    HTREEITEM parent = tree.Find(base);
    ASSERT_TRUE(two && one && parent);
    EXPECT_EQ(tree.PathOf(two), base + L"\\Two\\");
    EXPECT_FALSE(tree.IsTicked(parent));
    EXPECT_TRUE(tree.Tree().IsBold(parent));
    EXPECT_FALSE(tree.TickByPath(base + L"\\Missing"));

    // A press on the check box of the last unticked sibling ticks the parent.
    SendMessageW(m_treeWindow, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(one));
    RECT box{};
    *reinterpret_cast<HTREEITEM*>(&box) = one;
    ASSERT_TRUE(SendMessageW(m_treeWindow, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&box)));
    TVHITTESTINFO hit{};
    for (hit.pt = {box.left - 1, (box.top + box.bottom) / 2}; hit.pt.x > 0; --hit.pt.x) {
        SendMessageW(m_treeWindow, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit));
        if (hit.flags & TVHT_ONITEMSTATEICON)
            break;
    }
    ASSERT_TRUE(hit.flags & TVHT_ONITEMSTATEICON);
    SendMessageW(m_treeWindow, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(hit.pt.x, hit.pt.y));
    SendMessageW(m_treeWindow, WM_LBUTTONUP, 0, MAKELPARAM(hit.pt.x, hit.pt.y));
    EXPECT_TRUE(tree.IsTicked(one));
    EXPECT_TRUE(tree.IsTicked(parent));
    EXPECT_EQ(Label(), L"1 Selected Folder(s)");
    CFolderList ticked;
    tree.CollectTicked(ticked);
    EXPECT_EQ(std::vector<std::wstring>(ticked.begin(), ticked.end()), std::vector<std::wstring>{base + L"\\"});

    // The right-button menus: a ticked folder lists what is ticked below it;
    // an unticked root says none.
    tree.SetTick(one, false);
    const std::wstring blanks27(27, L' '), blanks28(28, L' ');
    HMENU menu = tree.BuildMenu(parent);
    EXPECT_EQ(MenuTexts(menu), (std::vector<std::wstring>{blanks27 + L"Display Folder " +
                                                               tree.Tree().Text(parent) + blanks28,
                                                           L"", L"Select this folder and all SubFolder", L"",
                                                           base + L"\\Two\\"}));
    DestroyMenu(menu);
    HTREEITEM d = nullptr;
    for (auto n = tree.Tree().FirstRoot(); n; n = tree.Tree().NextSibling(n))
        if (!tree.Tree().IsBold(n))
            d = n;
    ASSERT_NE(d, nullptr) << "a drive without anything ticked";
    {
        menu = tree.BuildMenu(d);
        const std::wstring letter = tree.Tree().Text(d).substr(0, 1);
        EXPECT_EQ(MenuTexts(menu), (std::vector<std::wstring>{blanks27 + L"Display Disk " + letter + blanks28, L"",
                                                               L"Select this folder and all SubFolder", L"",
                                                               L"0 Subfolder Selected"}));
        DestroyMenu(menu);
    }
    std::wstring opened;
    SetShellLaunchFunction([&](HWND, const std::wstring& file, const std::wstring& verb, UniqueKernelHandle&) {
        opened = verb + L" " + file;
        return true;
    });
    const auto entries = tree.MenuEntries(two);
    tree.RunMenuEntry(two, entries[0]);
    EXPECT_EQ(opened, L"open " + base + L"\\Two\\");
    tree.RunMenuEntry(two, entries[2]);
    EXPECT_FALSE(tree.IsTicked(two));
    EXPECT_EQ(Label(), L"0 Selected Folder(s)");
}

// The registry browser, answered from a timer of its modal loop: selects a key and presses a button.
struct BrowserRun
{
    std::wstring select;
    int button;
};
CDialogRegistry* g_browser = nullptr;
const BrowserRun* g_browserRun = nullptr;

void CALLBACK AnswerRegistryBrowser(HWND, UINT, UINT_PTR id, DWORD)
{
    HWND window = g_browser->Window();
    if (!window)
        return;
    KillTimer(nullptr, id);
    HTREEITEM item = g_browser->Tree().Find(g_browserRun->select);
    SendMessageW(g_browser->Tree().Window(), TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
    PostMessageW(window, WM_COMMAND, g_browserRun->button, 0);
}

TEST_F(SelectionTreeControls, RegistryTreeAndTheBrowseDialogs)
{
    TestRegistryKey key(L"SelectionTree");
    HKEY child = nullptr;
    // With a sibling each, ticking a key leaves its parent unticked.
    for (const wchar_t* path : {L"Vendor\\Product", L"Vendor\\Other", L"Another"}) {
        ASSERT_EQ(RegCreateKeyExW(key.Key(), path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &child, nullptr),
                  ERROR_SUCCESS);
        RegCloseKey(child);
    }
    const std::wstring base = L"HKEY_CURRENT_USER\\" + key.SubPath();

    CRegistryTreeCtrl tree;
    tree.Attach(m_treeWindow);
    tree.FillRoots();
    std::vector<std::wstring> roots;
    for (auto n = tree.Tree().FirstRoot(); n; n = tree.Tree().NextSibling(n))
        roots.push_back(tree.Tree().Text(n));
    EXPECT_EQ(roots, (std::vector<std::wstring>{L"HKEY_CLASSES_ROOT", L"HKEY_CURRENT_USER", L"HKEY_LOCAL_MACHINE",
                                                L"HKEY_USERS", L"HKEY_CURRENT_CONFIG"}));
    std::wstring lower = base + L"\\vendor";
    CharLowerW(lower.data());
    ASSERT_TRUE(tree.TickByPath(lower));
    HTREEITEM product = tree.Find(base + L"\\Vendor\\Product");
    ASSERT_NE(product, nullptr);
    EXPECT_TRUE(tree.IsTicked(product)) << "loaded after the tick, below a ticked key";
    CRegistryList ticked;
    tree.CollectTicked(ticked);
    EXPECT_EQ(std::vector<std::wstring>(ticked.begin(), ticked.end()), std::vector<std::wstring>{base + L"\\Vendor\\"});
    EXPECT_FALSE(tree.TickByPath(base + L"\\Nothing"));

    // The registry browser: the selected key without its final "\"; Cancel gives nothing.
    for (const BrowserRun& run : {BrowserRun{base + L"\\Vendor\\Product", IDOK}, BrowserRun{base, IDCANCEL}}) {
        CDialogRegistry dialog;
        g_browser = &dialog;
        g_browserRun = &run;
        SetTimer(nullptr, 0, 50, AnswerRegistryBrowser);
        EXPECT_EQ(dialog.DoModal(m_parent), run.button);
        EXPECT_EQ(dialog.GetKeyPath(), run.button == IDOK ? run.select : L"");
    }

    // The folder browser: its title, and Cancel.
    std::wstring title;
    std::wstring answer = L"C:\\Apps";
    SetFolderBrowseFunction([&](HWND, const std::wstring& t) {
        title = t;
        return answer;
    });
    CFolderDialog folders;
    EXPECT_EQ(folders.DoModal(m_parent), IDOK);
    EXPECT_EQ(title, L"Pick a folder, any folder:");
    EXPECT_EQ(folders.GetFolderPath(), L"C:\\Apps");
    answer.clear();
    EXPECT_EQ(folders.DoModal(m_parent), IDCANCEL);
    EXPECT_EQ(folders.GetFolderPath(), L"");
}

} // namespace
