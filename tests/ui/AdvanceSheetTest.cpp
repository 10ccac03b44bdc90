// The advanced include/exclude sheet: its save rules without a window, the
// real sheet over real folders, keys and include/exclude files, and the road
// from the Pre Installation Snapshot page's "Advanced" button to the capture.
#include "common/Config.h"
#include "common/FolderTokens.h"
#include "common/PathSetup.h"
#include "common/Utf.h"
#include "manager/UIManager.h"
#include "tests/ui/WizardHarness.h"
#include "ui/dialogs/AdvanceSheet.h"
#include "ui/dialogs/AdvanceSheetRules.h"
#include "ui/framework/UiServices.h"
#include "ui/pages/PreInstallationSnapshotPage.h"
#include "ui/wizard/ApplicationMain.h"
#include "ui/wizard/Resource.h"

#include <gtest/gtest.h>

#include <commctrl.h>
#include <ole2.h>

namespace {

// ---- Without a window ---------------------------------------------------------------

ExcludedItemMap Map(std::initializer_list<std::pair<std::wstring, std::wstring>> items)
{
    ExcludedItemMap map;
    for (const auto& [name, description] : items)
        map[ToUpperAscii(name)] = {name, description};
    return map;
}

TEST(AdvanceSheetRules, WhichTickedExclusionsAreSavedAndWithWhichDescription)
{
    const ExcludedItemMap loaded = Map({{L"%WINDIR%\\Temp", L"temp"},
                                        {L"%WINDIR%\\Logs\\Old", L"old logs"},
                                        {L"%WINDIR%\\LogsArchive", L"archive"},
                                        {L"%WINDIR%\\Unticked", L"dropped"}});
    const ExcludedItemMap recorded = Map(
        {{L"%WINDIR%\\Temp", L"recorded later"}, {L"C:\\Data", L"data"}, {L"C:\\Only\\Child", L"child"}});
    const ExcludedItemMap hidden = Map({{L"%SYSDRIVE%\\pagefile.sys", L"paging"}});

    const AdvanceSheet::ExclusionSave save = AdvanceSheet::ExclusionsToSave(
        {L"%windir%\\temp", L"C:\\DATA", L"%WINDIR%\\Logs", L"C:\\Bare", L"C:\\Only"}, loaded, recorded, hidden);
    EXPECT_EQ(save.saved, Map({{L"%WINDIR%\\Temp", L"recorded later"},  // edited in this run, as shown
                               {L"C:\\Data", L"data"},                  // the "Add To Exclude" record
                               {L"%WINDIR%\\Logs\\Old", L"old logs"},   // carried below a bare folder...
                               {L"C:\\Only\\Child", L"child"},         // ...loaded or recorded...
                               {L"%SYSDRIVE%\\pagefile.sys", L"paging"}}))
        << "...but not a sibling that merely begins with the same letters, nor an unticked entry";
    EXPECT_EQ(save.withoutDescription, std::vector<std::wstring>{L"C:\\Bare"});
    EXPECT_NE(AdvanceSheet::NotSavedMessage(save.withoutDescription).find(L"\nC:\\Bare"), std::wstring::npos);
    EXPECT_EQ(AdvanceSheet::NotSavedMessage({}), L"");
}

TEST(AdvanceSheetRules, AddToExcludeAndTheIncludedSave)
{
    const FolderTokenValues tokens = MachineTokens();
    AddedExclusions added;
    std::vector<std::wstring> ticked;
    auto tickFolder = [&](const std::wstring& path) {
        ticked.push_back(path);
        return true;
    };
    auto tickKey = [&](const std::wstring& path) {
        ticked.push_back(L"key " + path);
        return true;
    };
    using AdvanceSheet::AddResult;
    EXPECT_EQ(AdvanceSheet::AddToExclude(added, tokens, L"FileNotChecked\\C:\\Data", L" \t ", tickFolder, tickKey),
              AddResult::NoDescription);
    EXPECT_TRUE(added.Files.empty());
    EXPECT_TRUE(ticked.empty());

    EXPECT_EQ(AdvanceSheet::AddToExclude(added, tokens, L"FileNotChecked\\C:\\Data\\Cache", L"  the cache ",
                                         tickFolder, tickKey),
              AddResult::Added);
    EXPECT_EQ(AdvanceSheet::AddToExclude(added, tokens, L"RegistryNotChecked\\HKEY_CURRENT_USER\\Software\\A", L"a",
                                         tickFolder, tickKey),
              AddResult::Added);
    EXPECT_EQ(AdvanceSheet::AddToExclude(added, tokens, L"Registry\\HKEY_CURRENT_USER\\Software\\B", L"b",
                                         tickFolder, tickKey),
              AddResult::Added);
    EXPECT_EQ(AdvanceSheet::AddToExclude(added, tokens, L"Something\\C:\\X", L"x", tickFolder, tickKey),
              AddResult::UnknownKind);
    EXPECT_EQ(ticked, (std::vector<std::wstring>{L"C:\\Data\\Cache", L"key HKEY_CURRENT_USER\\Software\\A"}));
    EXPECT_EQ(added.Files, Map({{L"C:\\Data\\Cache", L"the cache"}}));
    EXPECT_EQ(added.Registry,
              Map({{L"HKEY_CURRENT_USER\\Software\\A", L"a"}, {L"HKEY_CURRENT_USER\\Software\\B", L"b"}}));

    IncludeExcludeSelection selection;
    selection.FilesIncluded = {{L"OLD", L"Old"}};
    wchar_t windows[MAX_PATH] = {};
    GetWindowsDirectoryW(windows, MAX_PATH);
    const std::wstring inWindows = std::wstring(windows) + L"\\Fonts";
    std::wstring token = inWindows;
    ToTokenPath(token, tokens);
    const ScanDetails details =
        AdvanceSheet::SaveIncluded({inWindows, L"D:\\Data"}, {L"HKEY_LOCAL_MACHINE\\SOFTWARE"}, tokens,
                                   L"C:\\setup.exe", ProductInfo{L"App", L"1.0", L"Acme"}, selection);
    EXPECT_EQ(details, (ScanDetails{{L"File", {inWindows, L"D:\\Data"}},
                                    {L"Registry", {L"HKEY_LOCAL_MACHINE\\SOFTWARE"}},
                                    {L"SetupFilePath", {L"C:\\setup.exe"}},
                                    {L"SetupFileInfo", {L"App", L"1.0", L"Acme"}}}));
    EXPECT_EQ(selection.FilesIncluded, (IncludedItemMap{{ToUpperAscii(token), token}, {L"D:\\DATA", L"D:\\Data"}}));
    EXPECT_EQ(selection.RegistryIncluded,
              (IncludedItemMap{{L"HKEY_LOCAL_MACHINE\\SOFTWARE", L"HKEY_LOCAL_MACHINE\\SOFTWARE"}}));
}

// ---- The real sheet ---------------------------------------------------------------------

class AdvanceSheetGui : public ::testing::Test
{
protected:
    void SetUp() override
    {
        OleInitialize(nullptr);
        m_environment = std::make_unique<WizardEnvironment>(m_session);
        m_key = std::make_unique<TestRegistryKey>(L"AdvanceSheet");
        // The included key has a sibling, so that ticking it leaves its parent unticked.
        m_hive = L"HKEY_CURRENT_USER\\" + m_key->SubPath() + L"\\Included";
        for (const wchar_t* name : {L"Included", L"Cache"}) {
            HKEY sub = nullptr;
            RegCreateKeyExW(m_key->Key(), name, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, nullptr);
            RegCloseKey(sub);
        }
        m_files = m_environment->Files();
        for (const wchar_t* name : {L"watched", L"skip", L"other", L"other\\private", L"bare"})
            CreateDirectoryW((m_files + L"\\" + name).c_str(), nullptr);
        WriteFileBytes(m_files + L"\\watched\\before.txt", "before");
        WriteIncludeExclude();
        for (auto* map : {&m_session.Selection.FilesExcluded, &m_session.Selection.RegistryExcluded, &m_session.AddToExclude.Files,
                          &m_session.AddToExclude.Registry})
            map->clear();
        m_manager = std::make_unique<CUIManager>(m_session);
        ASSERT_TRUE(m_manager->Initialize());
    }

    void TearDown() override
    {
        m_wizard.reset();
        m_manager->Uninitialize();
        m_manager.reset();
        m_session.SnapshotPending = false;
        SetAdministratorCheck(nullptr);
        m_key.reset();
        m_environment.reset();
        OleUninitialize();
    }

    // A path in the token form of the run.
    std::wstring Token(std::wstring path) const
    {
        ToTokenPath(path, m_session.Tokens);
        return path;
    }

    // Included: the watched folder and the test key; excluded: "skip" and a
    // folder and a key missing here.
    void WriteIncludeExclude()
    {
        const std::wstring xml =
            L"<?xml version=\"1.0\" encoding=\"UTF-8\"?><IncludeExclude><FileSystem><IncludedItems>"
            L"<IncludedEntry Name=\"" + Token(m_files + L"\\watched") + L"\"/></IncludedItems><ExcludedItems>"
            L"<ExcludedEntry Name=\"" + Token(m_files + L"\\skip") + L"\" Description=\"skipped\"/>"
            L"<ExcludedEntry Name=\"" + Token(m_files + L"\\gone") + L"\" Description=\"not here\"/>"
            L"</ExcludedItems></FileSystem><RegistrySystem><IncludedItems>"
            L"<IncludedEntry Name=\"" + m_hive + L"\"/></IncludedItems><ExcludedItems>"
            L"<ExcludedEntry Name=\"" + m_hive + L"\\Gone\" Description=\"no key\"/>"
            L"</ExcludedItems></RegistrySystem></IncludeExclude>";
        WriteFileBytes(m_environment->Program() + L"\\DefaultIncludeExclude.xml", ToUtf8(xml));
        m_session.Selection.FilesIncluded.clear();
        m_session.Selection.RegistryIncluded.clear();
    }

    std::string File(const wchar_t* name) { return ReadFileBytes(m_environment->Program() + L"\\" + name); }
    static bool Lists(const std::string& xml, const std::wstring& name)
    {
        return xml.find("Name=\"" + ToUtf8(name) + "\"") != std::string::npos;
    }

    std::unique_ptr<WizardEnvironment> m_environment;
    std::unique_ptr<TestRegistryKey> m_key;
    Session m_session;
    std::unique_ptr<CUIManager> m_manager;
    std::unique_ptr<WizardDriver> m_wizard;
    MessageBoxRecorder m_messages;
    std::wstring m_hive;
    std::wstring m_files;
};

bool Enabled(HWND sheet, int id)
{
    return IsWindowEnabled(GetDlgItem(sheet, id)) != FALSE;
}

TEST_F(AdvanceSheetGui, LoadersSetAsDefaultAddToExcludeAndOK)
{
    m_manager->SetScanDetails(m_manager->ScanDetailsFromIncludedLists());
    CParentSheet sheet(m_session, *m_manager);
    HWND window = sheet.Create(nullptr);
    ASSERT_NE(window, nullptr);
    wchar_t caption[128] = {};
    GetWindowTextW(window, caption, 128);
    EXPECT_STREQ(caption, L"Corvane Repackager 1.0: Advance Functionality");
    EXPECT_FALSE(Enabled(window, IDOK)) << "the included loader runs";
    EXPECT_FALSE(Enabled(window, IDCANCEL));
    CAdvanceInclude& include = sheet.IncludePage();
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(include.Window(), IDC_SET_AS_DEFAULT)));
    ASSERT_TRUE(WaitUntil([&] { return !include.IsLoading(); }));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(include.Window(), IDC_SET_AS_DEFAULT)));
    EXPECT_TRUE(Enabled(window, IDOK));
    EXPECT_TRUE(Enabled(window, IDCANCEL));
    EXPECT_TRUE(IsWindowVisible(include.FolderTree().Window()));
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(include.Window(), IDC_INCLUDE_WAIT)));

    // The scan details' folder and key come ticked; one more folder.
    CFolderList folders;
    include.FolderTree().CollectTicked(folders);
    EXPECT_EQ(std::vector<std::wstring>(folders.begin(), folders.end()),
              std::vector<std::wstring>{m_files + L"\\watched\\"});
    ASSERT_TRUE(include.FolderTree().TickByPath(m_files + L"\\other"));
    CRegistryList keys;
    include.RegistryTree().CollectTicked(keys);
    EXPECT_EQ(std::vector<std::wstring>(keys.begin(), keys.end()), std::vector<std::wstring>{m_hive + L"\\"});

    SendMessageW(include.Window(), WM_COMMAND, MAKEWPARAM(IDC_SET_AS_DEFAULT, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(include.Window(), IDC_SET_AS_DEFAULT)));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(include.Window(), IDC_SET_AS_DEFAULT)));
    EXPECT_TRUE(Lists(File(L"DefaultIncludeExclude.xml"), Token(m_files + L"\\other")));
    EXPECT_FALSE(PathExists(m_environment->Program() + L"\\UpdatedIncludeExclude.xml"));

    // "Excluded Items": its own loader; what is missing here is kept aside.
    ASSERT_TRUE(sheet.SetActivePage(1));
    CAdvanceExclude& exclude = sheet.ExcludePage();
    EXPECT_FALSE(Enabled(window, IDOK));
    ASSERT_TRUE(WaitUntil([&] { return !exclude.IsLoading(); }));
    EXPECT_TRUE(Enabled(window, IDOK));
    EXPECT_EQ(exclude.HiddenFiles().size(), 1u);
    EXPECT_EQ(exclude.HiddenKeys().size(), 1u);
    HWND page = exclude.Window();
    CFolderTreeCtrl& tree = exclude.FolderTree();
    EXPECT_TRUE(tree.IsTicked(tree.Find(m_files + L"\\skip")));

    // A press on the ticked "skip" shows its record and description.
    tree.PressItem(tree.Find(m_files + L"\\skip"), false);
    EXPECT_EQ(GetDlgItemTextW(page, IDC_SELECTION_RECORD, caption, 128) > 0, true);
    EXPECT_EQ(std::wstring(caption), L"File\\" + Token(m_files + L"\\skip"));
    wchar_t description[600] = {};
    GetDlgItemTextW(page, IDC_ADVANCE_DESCRIPTION, description, 600);
    EXPECT_STREQ(description, L"skipped");

    // "Add To Exclude" on an unticked folder: without a description it warns
    // and records nothing; with one it ticks and records.
    HTREEITEM other = tree.Find(m_files + L"\\other");
    tree.PressItem(other, false);
    SetDlgItemTextW(page, IDC_ADVANCE_DESCRIPTION, L"   ");
    exclude.AddToExclude();
    ASSERT_EQ(m_messages.shown.size(), 1u);
    EXPECT_EQ(m_messages.shown[0].text, L"Please provide the description and then click \"Add To Exclude\"");
    EXPECT_EQ(m_messages.shown[0].caption, L"Warning");
    EXPECT_TRUE(m_session.AddToExclude.Files.empty());
    EXPECT_FALSE(tree.IsTicked(other));
    SetDlgItemTextW(page, IDC_ADVANCE_DESCRIPTION, L"other files");
    exclude.AddToExclude();
    EXPECT_EQ(m_messages.shown.size(), 1u);
    EXPECT_TRUE(tree.IsTicked(other));
    EXPECT_EQ(m_session.AddToExclude.Files.size(), 1u);
    GetDlgItemTextW(page, IDC_ADVANCE_DESCRIPTION_LABEL, caption, 128);
    EXPECT_STREQ(caption, L"Description of excluded item:");

    // A ticked folder without a description is not saved, and the user is told.
    ASSERT_TRUE(tree.TickByPath(m_files + L"\\bare"));
    sheet.PressButton(PSBTN_OK);
    ASSERT_TRUE(WaitUntil([&] { return sheet.IsFinished(); }));
    ASSERT_EQ(m_messages.shown.size(), 2u);
    EXPECT_NE(m_messages.shown[1].text.find(Token(m_files + L"\\bare")), std::wstring::npos);
    sheet.Destroy();

    const std::string updated = File(L"UpdatedIncludeExclude.xml");
    for (const std::wstring& listed : {Token(m_files + L"\\watched"), Token(m_files + L"\\other"), m_hive,
                                       Token(m_files + L"\\skip"), Token(m_files + L"\\gone"), m_hive + L"\\Gone"})
        EXPECT_TRUE(Lists(updated, listed)) << ToUtf8(listed);
    EXPECT_FALSE(Lists(updated, Token(m_files + L"\\bare")));
    EXPECT_NE(updated.find("Description=\"other files\""), std::string::npos);
    EXPECT_EQ(m_manager->GetScanDetails()[L"File"],
              (std::vector<std::wstring>{m_files + L"\\other", m_files + L"\\watched"}));
}

TEST_F(AdvanceSheetGui, AnExclusionsOnlyOKKeepsIncludedItemsAndExclusionsTheTreesCannotShow)
{
    // An included folder on a drive this machine lacks, a key made later, and
    // an exclusion named below the system drive's token.
    const std::wstring absent = L"Q:\\Data";
    const std::wstring later = m_hive + L"\\Later";
    const std::string file = File(L"DefaultIncludeExclude.xml");
    std::string xml = file;
    xml.insert(xml.find("</IncludedItems>"), "<IncludedEntry Name=\"" + ToUtf8(absent) + "\"/>");
    xml.insert(xml.rfind("</IncludedItems>"), "<IncludedEntry Name=\"" + ToUtf8(later) + "\"/>");
    xml.insert(xml.find("</ExcludedItems>"),
               "<ExcludedEntry Name=\"%SYSDRIVE%\\windows\" Description=\"the system folder\"/>");
    WriteFileBytes(m_environment->Program() + L"\\DefaultIncludeExclude.xml", xml);
    m_manager->SetScanDetails(m_manager->ScanDetailsFromIncludedLists());

    CParentSheet sheet(m_session, *m_manager);
    ASSERT_NE(sheet.Create(nullptr), nullptr);
    ASSERT_TRUE(WaitUntil([&] { return !sheet.IncludePage().IsLoading(); }));
    ASSERT_TRUE(sheet.SetActivePage(1));
    CAdvanceExclude& exclude = sheet.ExcludePage();
    ASSERT_TRUE(WaitUntil([&] { return !exclude.IsLoading(); }));
    // The exclusion below the token is shown (and so can be removed there).
    CFolderTreeCtrl& tree = exclude.FolderTree();
    wchar_t windows[MAX_PATH] = {};
    GetWindowsDirectoryW(windows, MAX_PATH);
    EXPECT_TRUE(tree.IsTicked(tree.Find(windows)));
    EXPECT_TRUE(exclude.HiddenFiles().count(L"%SYSDRIVE%\\WINDOWS") == 0);
    // Only the exclusions change: the included items come back as they were.
    sheet.PressButton(PSBTN_OK);
    ASSERT_TRUE(WaitUntil([&] { return sheet.IsFinished(); }));
    sheet.Destroy();
    const std::string updated = File(L"UpdatedIncludeExclude.xml");
    for (const std::wstring& listed : {absent, later, std::wstring(L"%SYSDRIVE%\\windows")})
        EXPECT_TRUE(Lists(updated, listed)) << ToUtf8(listed) << "\n" << updated;
    ScanDetails details = m_manager->GetScanDetails();
    EXPECT_NE(std::find(details[L"File"].begin(), details[L"File"].end(), absent), details[L"File"].end());
    EXPECT_NE(std::find(details[L"Registry"].begin(), details[L"Registry"].end(), later), details[L"Registry"].end());
    EXPECT_TRUE(m_messages.shown.empty());
}

TEST_F(AdvanceSheetGui, CancelSavesNothing)
{
    m_manager->SetScanDetails(m_manager->ScanDetailsFromIncludedLists());
    const ScanDetails before = m_manager->GetScanDetails();
    const std::string defaultFile = File(L"DefaultIncludeExclude.xml");
    CParentSheet sheet(m_session, *m_manager);
    ASSERT_NE(sheet.Create(nullptr), nullptr);
    ASSERT_TRUE(WaitUntil([&] { return !sheet.IncludePage().IsLoading(); }));
    sheet.IncludePage().FolderTree().SetTick(sheet.IncludePage().FolderTree().Find(m_files + L"\\watched"), false);
    sheet.PressButton(PSBTN_CANCEL);
    ASSERT_TRUE(WaitUntil([&] { return sheet.IsFinished(); }));
    sheet.Destroy();
    EXPECT_EQ(m_manager->GetScanDetails(), before);
    EXPECT_EQ(File(L"DefaultIncludeExclude.xml"), defaultFile);
    EXPECT_FALSE(PathExists(m_environment->Program() + L"\\UpdatedIncludeExclude.xml"));
}

// ---- From the Pre Installation Snapshot page ----------------------------------------------

std::function<bool()> g_step;

void CALLBACK RunStep(HWND, UINT, UINT_PTR id, DWORD)
{
    if (g_step && g_step())
        KillTimer(nullptr, id);
}

std::vector<std::wstring> TreeTexts(HWND tree)
{
    std::vector<std::wstring> texts;
    for (auto item = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0)); item;
         item = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(item)))) {
        wchar_t text[512] = {};
        TVITEMW data{};
        data.mask = TVIF_TEXT;
        data.hItem = item;
        data.pszText = text;
        data.cchTextMax = 512;
        SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&data));
        texts.push_back(text);
    }
    return texts;
}

TEST_F(AdvanceSheetGui, AdvancedChangesWhatThePreInstallationPageListsAndCaptures)
{
    m_wizard = std::make_unique<WizardDriver>(m_session, *m_manager);
    WizardDriver& w = *m_wizard;
    ASSERT_TRUE(w.Sheet().SetActivePage(PagePosition::PreInstallationSnapshot));
    ASSERT_TRUE(w.WaitForPosition(PagePosition::PreInstallationSnapshot));
    CCaptureSnapshotDlg& pre = w.Sheet().PreInstallationPage();
    ASSERT_TRUE(IsWindowEnabled(w.Control(IDC_ADVANCED)));
    EXPECT_EQ(pre.ItemCount(), 2);

    // In the sheet: "other" and "skip" join the watched folder, the key
    // stays; on "Excluded Items", "other\private" is excluded with a description.
    bool done = false;
    int stage = 0;
    g_step = [&] {
        HWND sheet = FindWindowW(nullptr, L"Corvane Repackager 1.0: Advance Functionality");
        if (!sheet)
            return false;
        HWND pageWindow = PropSheet_GetCurrentPageHwnd(sheet);
        auto* page = reinterpret_cast<CPropertyPage*>(GetWindowLongPtrW(pageWindow, DWLP_USER));
        if (auto* include = dynamic_cast<CAdvanceInclude*>(page); include && stage == 0 && !include->IsLoading()) {
            include->FolderTree().TickByPath(m_files + L"\\other");
            include->FolderTree().TickByPath(m_files + L"\\skip");
            PropSheet_SetCurSel(sheet, nullptr, 1);
            stage = 1;
        } else if (auto* exclude = dynamic_cast<CAdvanceExclude*>(page); exclude && !exclude->IsLoading()) {
            CFolderTreeCtrl& tree = exclude->FolderTree();
            tree.PressItem(tree.Find(m_files + L"\\other\\private"), false);
            SetDlgItemTextW(pageWindow, IDC_ADVANCE_DESCRIPTION, L"private files");
            exclude->AddToExclude();
            PropSheet_PressButton(sheet, PSBTN_OK);
            done = true;
            return true;
        }
        return false;
    };
    SetTimer(nullptr, 0, 50, RunStep);
    w.Click(IDC_ADVANCED);
    ASSERT_TRUE(WaitUntil([&] { return done; }, 20000));
    g_step = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return pre.ItemCount() == 4; }));
    EXPECT_TRUE(m_messages.shown.empty()) << "\"other\" ticked with its only subfolder keeps that one's description";
    EXPECT_EQ(TreeTexts(w.Control(IDC_FOLDER_TREE)),
              (std::vector<std::wstring>{m_files + L"\\other", m_files + L"\\skip", m_files + L"\\watched"}));
    EXPECT_EQ(TreeTexts(w.Control(IDC_HIVE_TREE)), std::vector<std::wstring>{m_hive});
    EXPECT_TRUE(Lists(File(L"UpdatedIncludeExclude.xml"), Token(m_files + L"\\other")));

    // The capture covers the new selection; its bar steps by 1000 / 4.
    WaitUntil([&] { return w.IsButtonEnabled(ID_WIZNEXT); });
    w.PressNext();
    ASSERT_TRUE(WaitUntil([&] { return pre.IsCapturing() || pre.IsSnapshotDone(); }));
    EXPECT_EQ(pre.ProgressStep(), 250);
    ASSERT_TRUE(w.WaitForPosition(PagePosition::LaunchSetup, 60000));

    // What the setup would add: the excluded folders' files stay out of the changes.
    WriteFileBytes(m_files + L"\\other\\visible.txt", "in");
    WriteFileBytes(m_files + L"\\other\\private\\secret.txt", "out");
    WriteFileBytes(m_files + L"\\skip\\skipped.txt", "out");
    ASSERT_TRUE(m_manager->Coordinator().CaptureSnapshot(m_manager->GetScanDetails()));
    ASSERT_TRUE(m_manager->Coordinator().CompareSnapshot());
    const std::string changes = ReadFileBytes(m_session.Paths.FileChangesPath);
    EXPECT_NE(changes.find("visible.txt"), std::string::npos);
    EXPECT_EQ(changes.find("secret.txt"), std::string::npos);
    EXPECT_EQ(changes.find("skipped.txt"), std::string::npos);
}

} // namespace
