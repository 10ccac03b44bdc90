// The Project File Content Review page in the real sheet, on project files
// written by the project writers over real files and registry keys: what is
// missing is counted and drawn red up to the top item, "Update Files" and
// "Rescan Registry" move missing entries to where they now are, and Next
// rewrites the project file only after such a change.
#include "common/FolderTokens.h"
#include "common/PathSetup.h"
#include "common/Utf.h"
#include "manager/UIManager.h"
#include "project/ProjectReaders.h"
#include "project/ProjectWriters.h"
#include "tests/support/RegistryTestHelpers.h"
#include "tests/ui/WizardHarness.h"
#include "ui/framework/UiServices.h"
#include "ui/pages/ProjectFileContentReviewPage.h"
#include "ui/wizard/Resource.h"

#include <gtest/gtest.h>

#include <ole2.h>

namespace {

class ShowProjectPage : public ::testing::Test
{
protected:
    void SetUp() override
    {
        OleInitialize(nullptr);
        m_environment = std::make_unique<WizardEnvironment>(m_session);
        SetAdministratorCheck([] { return true; });
        m_manager = std::make_unique<CUIManager>(m_session);
        ASSERT_TRUE(m_manager->Initialize());
        ASSERT_TRUE(EnsureFolder(m_session.Paths.PackagesFolder()));
        m_session.SetProjectFilePath(m_session.Paths.PackagesFolder() + L"\\Review.xml");
        m_app = m_environment->Files() + L"\\App";
        ASSERT_TRUE(CreateDirectoryW(m_app.c_str(), nullptr));
        ASSERT_TRUE(CreateDirectoryW((m_app + L"\\Sub").c_str(), nullptr));
    }

    void TearDown() override
    {
        SetFolderBrowseFunction(nullptr);
        m_manager->Uninitialize();
        m_manager.reset();
        SetAdministratorCheck(nullptr);
        m_environment.reset();
        OleUninitialize();
    }

    // Ten files, nine in App and one alone in App\Sub, all written to disk
    // unless named in `absent`; and the given registry keys, each with one value.
    void WriteProject(const std::vector<std::wstring>& absent, const std::vector<std::wstring>& keys = {})
    {
        DirectoryChangeMap files;
        for (int i = 0; i < 9; ++i)
            files[m_app].push_back(m_app + L"\\file" + std::to_wstring(i) + L".txt");
        files[m_app + L"\\Sub"].push_back(m_app + L"\\Sub\\lonely.txt");
        for (const auto& [folder, list] : files)
            for (const std::wstring& file : list)
                if (std::find(absent.begin(), absent.end(), file) == absent.end())
                    WriteFileBytes(file, "data");
        RegistryChangeMap added;
        for (const std::wstring& key : keys)
            added[key].push_back({key, L"\"v\"", L"REG_SZ", L"x"});
        XmlDocument project;
        ASSERT_TRUE(project.Load(m_session.Paths.RawProjectFilePath));
        ASSERT_TRUE(WriteFileList(project, ChangeOrigin::Added, files, m_session.Tokens, m_session.ProjectFilePath(),
                                  FileListMode::KeepAll));
        ASSERT_TRUE(WriteRegistryList(project, ChangeOrigin::Added, added, m_session.ProjectFilePath()));
        ASSERT_TRUE(WriteProductInfo(project, {L"Review", L"1.0", L"Acme"}, m_session.ProjectFilePath()));
        m_written = ReadFileBytes(m_session.ProjectFilePath());
    }

    CShowProjectFileDlg& OpenPage(WizardDriver& w)
    {
        EXPECT_TRUE(w.Sheet().SetActivePageById(IDD_SHOW_PROJECT));
        EXPECT_TRUE(w.WaitForPosition(PagePosition::ShowProjectFile));
        w.Sheet().ShowProjectPage().WaitForExistenceChecks();
        return w.Sheet().ShowProjectPage();
    }

    static bool Checked(const CShowProjectFileDlg& page, int id)
    {
        return IsDlgButtonChecked(page.Window(), id) == BST_CHECKED;
    }
    static bool Enabled(const CShowProjectFileDlg& page, int id) { return IsWindowEnabled(GetDlgItem(page.Window(), id)); }

    // Every item of the tree, depth first.
    static std::vector<HTREEITEM> Items(const CProjectTreeCtrl& tree)
    {
        std::vector<HTREEITEM> items;
        std::vector<HTREEITEM> stack;
        const HWND window = CProjectTreeCtrl::Internals::Window(tree);
        for (HTREEITEM root = TreeView_GetRoot(window); root; root = TreeView_GetNextSibling(window, root))
            stack.push_back(root);
        while (!stack.empty()) {
            HTREEITEM item = stack.back();
            stack.pop_back();
            items.push_back(item);
            for (HTREEITEM child = TreeView_GetChild(window, item); child;
                 child = TreeView_GetNextSibling(window, child))
                stack.push_back(child);
        }
        return items;
    }

    std::unique_ptr<WizardEnvironment> m_environment;
    MessageBoxRecorder m_messages;
    Session m_session;
    std::unique_ptr<CUIManager> m_manager;
    std::wstring m_app;
    std::string m_written;
};

} // namespace

TEST_F(ShowProjectPage, AProjectThatIsCompleteIsGreenAndGoesOnUnchanged)
{
    TestRegistryKey key(L"ShowProjectComplete");
    ASSERT_NO_FATAL_FAILURE(WriteProject({}, {L"HKEY_CURRENT_USER\\" + key.SubPath()}));
    WizardDriver w(m_session, *m_manager);
    CShowProjectFileDlg& page = OpenPage(w);
    EXPECT_EQ(w.Text(IDC_SHOW_FILES_SUMMARY), L"Files Summary:\nTotal number of files: 10\nNumber of missing files: 0");
    EXPECT_EQ(w.Text(IDC_SHOW_REGISTRY_SUMMARY),
              L"Registry Summary:\nTotal number of Subkeys: 1\nNumber of missing subkeys: 0");
    for (const CProjectTreeCtrl* tree : {&page.FileTree(), &page.RegistryTree()}) {
        const auto items = Items(*tree);
        EXPECT_GE(items.size(), 3u);
        for (HTREEITEM item : items)
            EXPECT_NE(tree->Info(item).Color, CProjectTreeCtrl::MissingColor) << ToUtf8(tree->Info(item).Path);
    }
    EXPECT_EQ(page.FileTree().Info(page.FileTree().FindPath(m_app + L"\\file3.txt")).Color,
              CProjectTreeCtrl::ExistingColor);
    for (int id : {IDC_SHOW_MISSING_FILES, IDC_SHOW_MISSING_REGISTRIES, IDC_UPDATE_FILES, IDC_RESCAN_REGISTRY,
                   IDC_IGNORE_MISSING})
        EXPECT_FALSE(Enabled(page, id)) << id;
    ASSERT_TRUE(WaitUntil([&] { return w.IsButtonEnabled(ID_WIZNEXT); }));
    w.PressNext();
    EXPECT_TRUE(w.WaitForPosition(PagePosition::BuildMsi));
    EXPECT_EQ(ReadFileBytes(m_session.ProjectFilePath()), m_written);
    EXPECT_TRUE(m_messages.shown.empty());
}

TEST_F(ShowProjectPage, AMovedFileIsRedUntilUpdateFilesFindsItAndNextRewritesTheProject)
{
    const std::wstring lonely = m_app + L"\\Sub\\lonely.txt";
    ASSERT_NO_FATAL_FAILURE(WriteProject({lonely}));
    const std::wstring moved = m_environment->Files() + L"\\Moved";
    ASSERT_TRUE(CreateDirectoryW(moved.c_str(), nullptr));
    WriteFileBytes(moved + L"\\lonely.txt", "data");
    std::vector<std::wstring> titles;
    SetFolderBrowseFunction([&](HWND, const std::wstring& title) {
        titles.push_back(title);
        return moved;
    });

    WizardDriver w(m_session, *m_manager);
    CShowProjectFileDlg& page = OpenPage(w);
    CProjectTreeCtrl& tree = page.FileTree();
    EXPECT_EQ(w.Text(IDC_SHOW_FILES_SUMMARY), L"Files Summary:\nTotal number of files: 10\nNumber of missing files: 1");
    EXPECT_TRUE(Checked(page, IDC_SHOW_MISSING_FILES));
    EXPECT_TRUE(Enabled(page, IDC_SHOW_MISSING_FILES));
    EXPECT_TRUE(Enabled(page, IDC_UPDATE_FILES));
    EXPECT_TRUE(Enabled(page, IDC_IGNORE_MISSING));
    EXPECT_FALSE(Enabled(page, IDC_RESCAN_REGISTRY));
    // Only the missing file is shown, red with every ancestor up to the top item.
    HTREEITEM item = tree.FindPath(lonely);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(tree.FindPath(m_app + L"\\file0.txt"), nullptr);
    for (HTREEITEM it = item; it; it = TreeView_GetParent(CProjectTreeCtrl::Internals::Window(tree), it))
        EXPECT_EQ(tree.Info(it).Color, CProjectTreeCtrl::MissingColor) << ToUtf8(tree.Info(it).Path);
    // The whole tree on demand: the nine others green, their folder still red for its missing subfolder.
    w.Click(IDC_SHOW_MISSING_FILES);
    page.WaitForExistenceChecks();
    EXPECT_EQ(tree.Info(tree.FindPath(m_app + L"\\file0.txt")).Color, CProjectTreeCtrl::ExistingColor);
    EXPECT_EQ(tree.Info(tree.FindPath(m_app)).Color, CProjectTreeCtrl::MissingColor);
    w.Click(IDC_SHOW_MISSING_FILES);
    EXPECT_EQ(tree.FindPath(m_app + L"\\file0.txt"), nullptr);

    // Nothing ticked; Next with a missing file: two messages, nothing moves.
    w.Click(IDC_UPDATE_FILES);
    ASSERT_TRUE(WaitUntil([&] { return w.IsButtonEnabled(ID_WIZNEXT); }));
    w.PressNext();
    PumpMessages();
    ASSERT_EQ(m_messages.shown.size(), 2u);
    EXPECT_EQ(m_messages.shown[0].text, L"Please select entry to update the list");
    EXPECT_EQ(m_messages.shown[1].text,
              L"Project file contains some missing file entries. Due to missing files repackager can not build MSI");
    for (const ShownMessage& shown : m_messages.shown) {
        EXPECT_EQ(shown.caption, L"Information");
        EXPECT_EQ(shown.type & MB_ICONMASK, static_cast<UINT>(MB_ICONINFORMATION));
    }
    EXPECT_TRUE(titles.empty());
    EXPECT_EQ(w.Position(), PagePosition::ShowProjectFile);

    // Ticked and updated from the folder where it now is: found, and its old folder leaves the project.
    tree.SetCheck(tree.FindPath(m_app), true);
    w.Click(IDC_UPDATE_FILES);
    page.WaitForExistenceChecks();
    EXPECT_EQ(titles.size(), 1u);
    EXPECT_EQ(w.Text(IDC_CHOSEN_FOLDER), moved);
    EXPECT_EQ(w.Text(IDC_SHOW_FILES_SUMMARY), L"Files Summary:\nTotal number of files: 10\nNumber of missing files: 0");
    EXPECT_TRUE(page.IsModified());
    EXPECT_FALSE(Checked(page, IDC_SHOW_MISSING_FILES));
    EXPECT_EQ(tree.Info(tree.FindPath(moved + L"\\lonely.txt")).Color, CProjectTreeCtrl::ExistingColor);
    EXPECT_EQ(tree.FindPath(m_app + L"\\Sub"), nullptr);
    for (HTREEITEM it : Items(tree))
        EXPECT_NE(tree.Info(it).Color, CProjectTreeCtrl::MissingColor) << ToUtf8(tree.Info(it).Path);

    w.PressNext();
    ASSERT_TRUE(w.WaitForPosition(PagePosition::BuildMsi));
    XmlDocument rewritten;
    ProjectModel rewrittenModel;
    ASSERT_TRUE(rewritten.Load(m_session.ProjectFilePath()));
    ReadProjectLists(rewritten, rewrittenModel);
    std::vector<std::wstring> files = rewrittenModel.AllFiles;
    for (std::wstring& file : files)
        ToRealPath(file, m_session.Tokens);
    EXPECT_EQ(files.size(), 10u);
    EXPECT_EQ(std::count(files.begin(), files.end(), moved + L"\\lonely.txt"), 1);
    EXPECT_EQ(std::count(files.begin(), files.end(), lonely), 0);
    ProductInfo product;
    EXPECT_TRUE(ReadProductInfo(rewritten, product));
    EXPECT_EQ(product.ApplicationName, L"Review");
}

TEST_F(ShowProjectPage, MissingKeysAreRescannedBelowAnotherKeyOrIgnored)
{
    TestRegistryKey root(L"ShowProjectKeys");
    const std::wstring base = L"HKEY_CURRENT_USER\\" + root.SubPath();
    CreateKey(root.Key(), L"Now\\Settings");
    const std::wstring gone = base + L"\\Was\\Settings";
    const std::wstring unknownHive = L"HKEY_NOWHERE\\Software\\Other";
    ASSERT_NO_FATAL_FAILURE(WriteProject({}, {gone, unknownHive, base}));

    WizardDriver w(m_session, *m_manager);
    CShowProjectFileDlg& page = OpenPage(w);
    CProjectTreeCtrl& tree = page.RegistryTree();
    EXPECT_EQ(w.Text(IDC_SHOW_REGISTRY_SUMMARY),
              L"Registry Summary:\nTotal number of Subkeys: 3\nNumber of missing subkeys: 2");
    EXPECT_TRUE(Checked(page, IDC_SHOW_MISSING_REGISTRIES));
    EXPECT_TRUE(Enabled(page, IDC_RESCAN_REGISTRY));
    EXPECT_FALSE(Enabled(page, IDC_UPDATE_FILES));
    ASSERT_NE(tree.FindPath(unknownHive), nullptr);
    EXPECT_EQ(tree.Info(tree.FindPath(unknownHive)).Color, CProjectTreeCtrl::MissingColor);

    // Both ticked; only the one that exists below the chosen key moves.
    tree.SetCheck(tree.FindPath(gone), true);
    tree.SetCheck(tree.FindPath(unknownHive), true);
    page.RescanRegistryUnder(base + L"\\Now");
    EXPECT_EQ(w.Text(IDC_SHOW_REGISTRY_SUMMARY),
              L"Registry Summary:\nTotal number of registries: 3\nNumber of missing registries: 1");
    EXPECT_TRUE(page.IsModified());
    EXPECT_TRUE(Checked(page, IDC_SHOW_MISSING_REGISTRIES));
    EXPECT_EQ(tree.FindPath(gone), nullptr);

    // Back before Next drops the unwritten change: the page shows the project file again.
    w.PressBack();
    ASSERT_TRUE(w.WaitForPosition(PagePosition::CaptureBasicInformation));
    ASSERT_TRUE(w.Sheet().SetActivePageById(IDD_SHOW_PROJECT));
    ASSERT_TRUE(w.WaitForPosition(PagePosition::ShowProjectFile));
    page.WaitForExistenceChecks();
    EXPECT_FALSE(page.IsModified());
    EXPECT_EQ(w.Text(IDC_SHOW_REGISTRY_SUMMARY),
              L"Registry Summary:\nTotal number of Subkeys: 3\nNumber of missing subkeys: 2");
    EXPECT_NE(tree.FindPath(gone), nullptr);
    // Ignoring what is missing goes on without writing.
    w.Click(IDC_IGNORE_MISSING);
    ASSERT_TRUE(WaitUntil([&] { return w.IsButtonEnabled(ID_WIZNEXT); }));
    w.PressNext();
    ASSERT_TRUE(w.WaitForPosition(PagePosition::BuildMsi));
    EXPECT_EQ(ReadFileBytes(m_session.ProjectFilePath()), m_written);
    EXPECT_TRUE(m_messages.shown.empty());
}
