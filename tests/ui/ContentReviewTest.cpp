// The two Package Content Review pages in the real sheet, on change maps of a
// comparison: the messages that differ between the pages, ">>" with and
// without a description, every excluded entry returning to the map it came
// from, and Next rewriting a change document only after a move.
#include "common/FolderTokens.h"
#include "common/PathSetup.h"
#include "common/Utf.h"
#include "manager/UIManager.h"
#include "tests/ui/WizardHarness.h"
#include "ui/pages/PackageContentReviewPage.h"
#include "ui/wizard/Resource.h"

#include <gtest/gtest.h>

#include <ole2.h>

namespace {

std::string ReadAll(const std::wstring& path)
{
    std::string text;
    if (FILE* file = _wfopen(path.c_str(), L"rb")) {
        char buffer[4096];
        for (size_t n; (n = fread(buffer, 1, sizeof buffer, file)) > 0;)
            text.append(buffer, n);
        fclose(file);
    }
    return text;
}

// UTF-16 documents read back as UTF-8 for searching.
std::wstring ReadDocument(const std::wstring& path)
{
    const std::string bytes = ReadAll(path);
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF)
        return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data() + 2), (bytes.size() - 2) / 2);
    return FromUtf8(bytes);
}

class ContentReview : public ::testing::Test
{
protected:
    void SetUp() override
    {
        OleInitialize(nullptr);
        m_environment = std::make_unique<WizardEnvironment>(m_session);
        m_manager = std::make_unique<CUIManager>(m_session);
        ASSERT_TRUE(m_manager->Initialize());
        EnsureFolder(m_session.Paths.TempFolder()); // where the comparison writes the change documents
        m_session.ExcludedFiles.Clear();
        m_session.ExcludedRegistry.Clear();
        const std::wstring files = m_environment->Files();
        m_app = files + L"\\App";
        for (const std::wstring& folder : {m_app, m_app + L"\\sub", files + L"\\Other"})
            CreateDirectoryW(folder.c_str(), nullptr);
        for (const wchar_t* name : {L"App\\a.exe", L"App\\b.dll", L"App\\old.cfg", L"App\\sub\\c.txt", L"Other\\d.txt"})
            WriteFileBytes(files + L"\\" + name, "data");
        ChangeSet& changes = m_manager->Coordinator().Changes();
        changes.Files(ChangeOrigin::Added) = {{m_app, {m_app + L"\\a.exe", m_app + L"\\b.dll"}},
                             {m_app + L"\\sub", {m_app + L"\\sub\\c.txt"}},
                             {files + L"\\Other", {files + L"\\Other\\d.txt"}}};
        changes.Files(ChangeOrigin::Modified) = {{m_app, {m_app + L"\\old.cfg"}}};
        changes.Files(ChangeOrigin::Deleted) = {{files + L"\\Gone", {files + L"\\Gone\\e.txt"}}};
        m_files = {changes.Files(ChangeOrigin::Added), changes.Files(ChangeOrigin::Modified), changes.Files(ChangeOrigin::Deleted)};

        // Keys are written with their values only.
        auto value = [](const std::wstring& key) {
            return std::vector<RegistryChangeEntry>{{L"[" + key + L"]", L"\"Name\"", L"REG_SZ", L"\"x\""}};
        };
        const std::wstring app = L"HKEY_CURRENT_USER\\Software\\ReviewApp";
        changes.Registry(ChangeOrigin::Added) = {{app, {}},
                                   {app + L"\\User", value(app + L"\\User")},
                                   {app + L"\\User\\Deep", {}},
                                   {app + L"\\Keep", {}},
                                   {app + L"Two", value(app + L"Two")}};
        changes.Registry(ChangeOrigin::Deleted) = {{app + L"\\Old", value(app + L"\\Old")}};
        m_keys = {changes.Registry(ChangeOrigin::Added), changes.Registry(ChangeOrigin::Modified), changes.Registry(ChangeOrigin::Deleted)};
        m_wizard = std::make_unique<WizardDriver>(m_session, *m_manager);
    }

    void TearDown() override
    {
        m_wizard.reset();
        m_manager->Coordinator().FileSide().Reset();
        m_manager->Coordinator().RegistrySide().Reset();
        m_session.ExcludedFiles.Clear();
        m_session.ExcludedRegistry.Clear();
        m_manager->Uninitialize();
        m_manager.reset();
        m_environment.reset();
        OleUninitialize();
    }

    WizardDriver& Open(int position)
    {
        EXPECT_TRUE(m_wizard->Sheet().SetActivePage(position));
        EXPECT_TRUE(m_wizard->WaitForPosition(position));
        return *m_wizard;
    }

    void Check(CProjectTreeCtrl& tree, const std::wstring& path)
    {
        HTREEITEM item = tree.FindPath(path);
        ASSERT_TRUE(item) << ToUtf8(path);
        tree.SetCheck(item, true);
    }

    std::unique_ptr<WizardEnvironment> m_environment;
    Session m_session;
    std::unique_ptr<CUIManager> m_manager;
    std::unique_ptr<WizardDriver> m_wizard;
    std::wstring m_app;
    struct FileMaps { DirectoryChangeMap added, modified, deleted; } m_files;
    struct KeyMaps { RegistryChangeMap added, modified, deleted; } m_keys;
};

TEST_F(ContentReview, FilePageMovesFoldersAndFilesAndPutsThemBackWhereTheyCameFrom)
{
    MessageBoxRecorder messages;
    WizardDriver& w = Open(PagePosition::ReviewFiles);
    auto& page = w.Sheet().ReviewFilesPage();
    ChangeSet& changes = m_manager->Coordinator().Changes();
    EXPECT_EQ(w.Text(IDC_DESCRIPTION), CContentReviewPage::DescriptionText);
    EXPECT_EQ(w.Text(IDC_INCLUDED_LABEL), L"Included File Items");
    EXPECT_EQ(CProjectTreeCtrl::Internals::InsertedPaths(page.IncludedTree()).size(), 10u); // 4 folders, 6 files
    // The default exclusions of the include/exclude file stand in the excluded tree.
    EXPECT_FALSE(CProjectTreeCtrl::Internals::InsertedPaths(page.ExcludedTree()).empty());
    const auto defaults = CProjectTreeCtrl::Internals::InsertedPaths(page.ExcludedTree());

    // Nothing ticked, then two ticked without a description: one message each, nothing moves.
    w.Click(IDC_EXCLUDE);
    w.Click(IDC_INCLUDE);
    Check(page.IncludedTree(), m_app + L"\\sub");
    Check(page.IncludedTree(), m_environment->Files() + L"\\Gone\\e.txt");
    w.Type(IDC_EXCLUDE_DESCRIPTION, L"  \r\n ");
    w.Click(IDC_EXCLUDE);
    ASSERT_EQ(messages.shown.size(), 3u);
    EXPECT_EQ(messages.shown[0].text, L"Please check the item that need to be excluded");
    EXPECT_EQ(messages.shown[1].text, L"Please check the item that need to be included");
    EXPECT_EQ(messages.shown[2].text, L"Please provide description for excluded item and then click >> button");
    for (const ShownMessage& shown : messages.shown) {
        EXPECT_EQ(shown.caption, L"Warning");
        EXPECT_EQ(shown.type & MB_ICONWARNING, static_cast<UINT>(MB_ICONWARNING));
    }
    EXPECT_EQ(changes.Files(ChangeOrigin::Added), m_files.added);
    EXPECT_FALSE(page.Changed());

    // The folder App (added and modified, with its sub folder), and the
    // deleted file, each with the description; the description field empties.
    page.IncludedTree().SetCheck(page.IncludedTree().FindPath(m_app + L"\\sub"), false);
    Check(page.IncludedTree(), m_app);
    w.Type(IDC_EXCLUDE_DESCRIPTION, L" the application ");
    w.Click(IDC_EXCLUDE);
    EXPECT_EQ(messages.shown.size(), 3u);
    EXPECT_TRUE(page.Changed());
    EXPECT_EQ(w.Text(IDC_EXCLUDE_DESCRIPTION), L"");
    EXPECT_EQ(page.LastDescription(), L"the application");
    EXPECT_EQ(changes.Files(ChangeOrigin::Added), (DirectoryChangeMap{*std::prev(m_files.added.end())}));
    EXPECT_TRUE(changes.Files(ChangeOrigin::Modified).empty());
    EXPECT_TRUE(changes.Files(ChangeOrigin::Deleted).empty()) << "the deleted file's folder is left without files";
    EXPECT_EQ(CProjectTreeCtrl::Internals::InsertedPaths(page.IncludedTree()),
              (std::vector<std::wstring>{m_environment->Files() + L"\\Other",
                                         m_environment->Files() + L"\\Other\\d.txt"}));
    for (const std::wstring& path : {m_app, m_app + L"\\sub\\c.txt", m_app + L"\\old.cfg",
                                     m_environment->Files() + L"\\Gone\\e.txt"})
        EXPECT_TRUE(page.ExcludedTree().FindPath(path)) << ToUtf8(path);
    std::wstring token = m_app;
    ToTokenPath(token, m_session.Tokens);
    ASSERT_EQ(page.PageExclusions().count(ToUpperAscii(token)), 1u);
    EXPECT_EQ(page.PageExclusions().at(ToUpperAscii(token)).Description, L"the application");
    EXPECT_EQ(m_session.ReviewCopies.ReviewFiles, page.PageExclusions());

    // Next writes the document without them.
    w.PressNext();
    ASSERT_TRUE(w.WaitForPosition(PagePosition::ReviewRegistry));
    const std::wstring written = ReadDocument(m_session.Paths.FileChangesPath);
    EXPECT_NE(written.find(L"d.txt"), std::wstring::npos);
    for (const wchar_t* name : {L"a.exe", L"old.cfg", L"c.txt", L"e.txt"})
        EXPECT_EQ(written.find(name), std::wstring::npos) << ToUtf8(name);

    // "<<" on the excluded folder and file: every entry back in its own map,
    // the modified file as modified, the deleted one as deleted.
    w.PressBack();
    ASSERT_TRUE(w.WaitForPosition(PagePosition::ReviewFiles));
    Check(page.ExcludedTree(), m_app);
    Check(page.ExcludedTree(), m_environment->Files() + L"\\Gone\\e.txt");
    w.Click(IDC_INCLUDE);
    EXPECT_EQ(changes.Files(ChangeOrigin::Added), m_files.added);
    EXPECT_EQ(changes.Files(ChangeOrigin::Modified), m_files.modified);
    EXPECT_EQ(changes.Files(ChangeOrigin::Deleted), m_files.deleted);
    EXPECT_TRUE(m_session.ExcludedFiles.Empty());
    EXPECT_TRUE(page.PageExclusions().empty());
    EXPECT_EQ(CProjectTreeCtrl::Internals::InsertedPaths(page.ExcludedTree()), defaults);
    EXPECT_EQ(CProjectTreeCtrl::Internals::InsertedPaths(page.IncludedTree()).size(), 10u);

    // Next after the move writes again; a later Next without a move does not.
    w.PressNext();
    ASSERT_TRUE(w.WaitForPosition(PagePosition::ReviewRegistry));
    EXPECT_NE(ReadDocument(m_session.Paths.FileChangesPath).find(L"old.cfg"), std::wstring::npos);
    DeleteFileW(m_session.Paths.FileChangesPath.c_str());
    w.PressBack();
    ASSERT_TRUE(w.WaitForPosition(PagePosition::ReviewFiles));
    w.PressNext();
    ASSERT_TRUE(w.WaitForPosition(PagePosition::ReviewRegistry));
    EXPECT_FALSE(PathExists(m_session.Paths.FileChangesPath));
}

TEST_F(ContentReview, RegistryPageIsSilentWithoutTicksAndExcludesKeysWithTheirSubkeys)
{
    MessageBoxRecorder messages;
    WizardDriver& w = Open(PagePosition::ReviewRegistry);
    auto& page = w.Sheet().ReviewRegistryPage();
    const auto defaults = CProjectTreeCtrl::Internals::InsertedPaths(page.ExcludedTree());
    ChangeSet& changes = m_manager->Coordinator().Changes();
    EXPECT_EQ(w.Text(IDC_EXCLUDED_LABEL), L"Excluded Registry Items");
    ASSERT_TRUE(w.Control(IDC_EXCLUDED_REGISTRY_TREE));
    w.Click(IDC_EXCLUDE);
    w.Click(IDC_INCLUDE);
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_FALSE(page.Changed());

    Check(page.IncludedTree(), L"HKEY_CURRENT_USER\\Software\\ReviewApp\\User");
    Check(page.IncludedTree(), L"HKEY_CURRENT_USER\\Software\\ReviewApp\\Old");
    w.Type(IDC_EXCLUDE_DESCRIPTION, L"user settings");
    w.Click(IDC_EXCLUDE);
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(changes.Registry(ChangeOrigin::Added).size(), 3u); // ReviewApp itself, its Keep and ReviewAppTwo
    EXPECT_TRUE(changes.Registry(ChangeOrigin::Added).count(L"HKEY_CURRENT_USER\\Software\\ReviewApp"));
    EXPECT_TRUE(changes.Registry(ChangeOrigin::Deleted).empty());
    EXPECT_FALSE(page.IncludedTree().FindPath(L"HKEY_CURRENT_USER\\Software\\ReviewApp\\User"));
    EXPECT_TRUE(page.IncludedTree().FindPath(L"HKEY_CURRENT_USER\\Software\\ReviewApp"));
    EXPECT_TRUE(page.ExcludedTree().FindPath(L"HKEY_CURRENT_USER\\Software\\ReviewApp\\User\\Deep"));

    w.PressNext(); // leaves for the project page
    ASSERT_TRUE(w.WaitForPosition(PagePosition::CreateProjectFile));
    const std::wstring written = ReadDocument(m_session.Paths.RegChangesPath);
    EXPECT_NE(written.find(L"ReviewAppTwo"), std::wstring::npos);
    EXPECT_EQ(written.find(L"ReviewApp\\User"), std::wstring::npos);
    EXPECT_EQ(written.find(L"ReviewApp\\Old"), std::wstring::npos);

    // Back, and the whole branch comes back: the value to the added map, the old key to the deleted one.
    w.PressBack();
    ASSERT_TRUE(w.WaitForPosition(PagePosition::ReviewRegistry));
    Check(page.ExcludedTree(), L"HKEY_CURRENT_USER\\Software\\ReviewApp");
    w.Click(IDC_INCLUDE);
    EXPECT_EQ(changes.Registry(ChangeOrigin::Added), m_keys.added);
    EXPECT_EQ(changes.Registry(ChangeOrigin::Deleted), m_keys.deleted);
    EXPECT_EQ(CProjectTreeCtrl::Internals::InsertedPaths(page.ExcludedTree()), defaults);
}

} // namespace
