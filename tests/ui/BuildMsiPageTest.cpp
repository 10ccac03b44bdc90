// The Build MSI page in the real sheet: a project file written by the
// project writers with a shortcut in two places and its icon; the page shows
// it as one entry, the shortcut dialog edits its name, places and icon, and
// Next writes the edits into the project file and builds the package, whose
// Shortcut and Icon tables are read back. A build that fails ends the page
// with its reason and Finish.
#include "common/PathSetup.h"
#include "common/UniqueHandle.h"
#include "common/Utf.h"
#include "manager/UIManager.h"
#include "project/ProjectReaders.h"
#include "project/ProjectWriters.h"
#include "project/Base64.h"
#include "tests/ui/MsiQuery.h"
#include "tests/ui/WizardHarness.h"
#include "ui/controls/ShortcutListEditor.h"
#include "ui/framework/UiServices.h"
#include "ui/pages/BuildMsiPage.h"
#include "ui/pages/FailureReason.h"
#include "ui/wizard/Resource.h"

#include <gtest/gtest.h>

#include <ole2.h>

#include <algorithm>

namespace {

class BuildMsiPage : public ::testing::Test
{
protected:
    void SetUp() override
    {
        OleInitialize(nullptr);
        m_environment = std::make_unique<WizardEnvironment>(m_session);
        const std::wstring bin = ExecutableFolder() + L"\\..\\bin\\";
        for (const wchar_t* file : {L"Blank.msi", L"makecab.exe"})
            ASSERT_TRUE(CopyFileW((bin + file).c_str(), (m_environment->Program() + L"\\" + file).c_str(), FALSE));
        SetAdministratorCheck([] { return true; });
        m_manager = std::make_unique<CUIManager>(m_session);
        ASSERT_TRUE(m_manager->Initialize());
        m_manager->SetProductInfo(L"IconApp", L"1.0", L"Acme");
        ASSERT_NO_FATAL_FAILURE(WriteProject());
    }

    void TearDown() override
    {
        m_manager->Uninitialize();
        m_manager.reset();
        SetAdministratorCheck(nullptr);
        m_environment.reset();
        OleUninitialize();
    }

    // A project of one program (this test program, with its icons) whose
    // shortcut "App" stands on the desktop and in the quick launch bar, with
    // the icon it had when the project was written, which is gone since.
    void WriteProject()
    {
        const std::wstring app = m_environment->Files() + L"\\App";
        ASSERT_TRUE(CreateDirectoryW(app.c_str(), nullptr));
        wchar_t self[MAX_PATH] = {};
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        m_app = app + L"\\app.exe";
        ASSERT_TRUE(CopyFileW(self, m_app.c_str(), FALSE));
        m_output = m_environment->Files() + L"\\Out";
        ASSERT_TRUE(CreateDirectoryW(m_output.c_str(), nullptr));
        ASSERT_TRUE(EnsureFolder(m_session.Paths.PackagesFolder()));
        m_session.SetProjectFilePath(m_session.Paths.PackagesFolder() + L"\\IconApp_1.0.xml");

        const std::wstring oldIcon = m_oldIcon = m_environment->Files() + L"\\app.exe_0.ico";
        ASSERT_TRUE(SaveIconFile(ExtractIconAt(m_app, 0), oldIcon));
        m_storedIcon = ReadFileBytes(oldIcon);
        IconMap icons;
        ASSERT_TRUE(ReadIconFile(oldIcon, icons[oldIcon]));
        icons[oldIcon].Executables = {L"app.exe"};
        ASSERT_TRUE(DeleteFileW(oldIcon.c_str()));

        XmlDocument project;
        ASSERT_TRUE(project.Load(m_session.Paths.RawProjectFilePath));
        DirectoryChangeMap files{{app, {m_app}}};
        ASSERT_TRUE(WriteFileList(project, ChangeOrigin::Added, files, m_session.Tokens, m_session.ProjectFilePath(),
                                  FileListMode::KeepAll));
        ASSERT_TRUE(WriteShortcutList(project, {{L"App", L"app.exe", L"DesktopFolder", oldIcon, L"0"},
                                  {L"App", L"app.exe", L"QuickLaunchFolder", oldIcon, L"0"}},
                                      m_session.Tokens, m_session.ProjectFilePath()));
        ASSERT_TRUE(WriteShortcutIcons(project, icons, m_session.ProjectFilePath()));
        ASSERT_TRUE(WriteProductInfo(project, {L"IconApp", L"1.0", L"Acme"}, m_session.ProjectFilePath()));
    }

    // The project's shortcut list replaced by `records` (the writer saves to the project file path).
    void StoreShortcuts(const std::wstring& project, const ShortcutList& records)
    {
        const std::wstring current = m_session.ProjectFilePath();
        m_session.SetProjectFilePath(project);
        XmlDocument document;
        ASSERT_TRUE(document.Load(project));
        EXPECT_TRUE(ReplaceShortcutList(document, records, m_session.Tokens, m_session.ProjectFilePath()));
        m_session.SetProjectFilePath(current);
    }

    ShortcutList StoredShortcuts(const std::wstring& project) const
    {
        XmlDocument saved;
        EXPECT_TRUE(saved.Load(project));
        ShortcutList records;
        ReadShortcutList(saved, records, m_session.Tokens);
        return records;
    }

    CBuildMSIDlg& OpenPage(WizardDriver& w)
    {
        EXPECT_TRUE(w.Sheet().SetActivePageById(IDD_BUILD_MSI));
        EXPECT_TRUE(w.WaitForPosition(PagePosition::BuildMsi));
        EXPECT_TRUE(WaitUntil([&] { return w.IsButtonEnabled(ID_WIZNEXT); }));
        return w.Sheet().BuildMsiPage();
    }

    bool WaitForEnd(WizardDriver& w, CBuildMSIDlg& page)
    {
        return WaitUntil([&] { return page.CurrentState() != CBuildMSIDlg::State::Building; }, 180000) &&
               WaitUntil([&] { return w.IsButtonEnabled(ID_WIZFINISH); });
    }

    std::unique_ptr<WizardEnvironment> m_environment;
    MessageBoxRecorder m_messages;
    Session m_session;
    std::unique_ptr<CUIManager> m_manager;
    std::wstring m_app;
    std::wstring m_output;
    std::string m_storedIcon;
    std::wstring m_oldIcon;
};

} // namespace

TEST_F(BuildMsiPage, StoredShortcutEditedInTheDialogReachesTheProjectFileAndThePackage)
{
    WizardDriver w(m_session, *m_manager);
    CBuildMSIDlg& page = OpenPage(w);
    const std::wstring iconFolder = m_session.Paths.ExtractedIconFolder;
    // The stored icon is back, and the two records are one line with both places.
    EXPECT_EQ(ReadFileBytes(iconFolder + L"\\app.exe_0.ico"), m_storedIcon);
    const ShortcutList stored = {{L"App", L"app.exe", L"QuickLaunchFolder", m_oldIcon, L"0"},
                                 {L"App", L"app.exe", L"DesktopFolder", m_oldIcon, L"0"}};
    EXPECT_EQ(page.Entries(), (ShortcutEntryMap{{L"App", {L"App", L"app.exe", iconFolder + L"\\app.exe_0.ico", 0,
                                                          true, false, true, stored}}}));
    HWND list = w.Control(IDC_BUILD_SHORTCUT_LIST);
    ASSERT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 1);
    EXPECT_EQ(ShortcutLineName(list, 0), L"App");
    EXPECT_EQ(w.Text(IDC_BUILD_MSI_NAME), L"IconApp.msi");
    EXPECT_EQ(w.Text(IDC_DESCRIPTION).substr(0, 42), L"This screen shows you the details of the s");

    // A file is no target folder; the field shows what it showed when the page opened.
    const std::wstring opening = w.Text(IDC_BUILD_TARGET_PATH);
    w.Type(IDC_BUILD_TARGET_PATH, m_app);
    w.PressNext();
    PumpMessages();
    ASSERT_EQ(m_messages.shown.size(), 1u);
    EXPECT_EQ(m_messages.shown[0].text, L"Given Path is not an direectory");
    EXPECT_EQ(m_messages.shown[0].caption, L"Warning");
    EXPECT_EQ(w.Text(IDC_BUILD_TARGET_PATH), opening);
    EXPECT_EQ(page.CurrentState(), CBuildMSIDlg::State::Editing);

    // The dialog opens with the stored places; a new name, other places, the program's second icon.
    RunWithShortcutDialog([&] { page.OnEditShortcut(0); },
                       [&](HWND dialog) {
                           EXPECT_EQ(DialogItemText(dialog, IDC_SHORTCUT_NAME), L"App");
                           EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_SHORTCUT_DESKTOP), BST_CHECKED);
                           EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_SHORTCUT_PROGRAM_MENU), BST_UNCHECKED);
                           EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_SHORTCUT_QUICK_LAUNCH), BST_CHECKED);
                           SetDlgItemTextW(dialog, IDC_SHORTCUT_NAME, L"Renamed");
                           CheckDlgButton(dialog, IDC_SHORTCUT_DESKTOP, BST_UNCHECKED);
                           CheckDlgButton(dialog, IDC_SHORTCUT_PROGRAM_MENU, BST_CHECKED);
                           SetDlgItemTextW(dialog, IDC_ICON_SOURCE, m_app.c_str());
                           SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_ICON_SOURCE, EN_KILLFOCUS),
                                        reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_ICON_SOURCE)));
                           ASSERT_GE(SendDlgItemMessageW(dialog, IDC_ICON_LIST, LVM_GETITEMCOUNT, 0, 0), 2);
                           LVITEMW item{};
                           item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
                           item.state = LVIS_SELECTED | LVIS_FOCUSED;
                           SendDlgItemMessageW(dialog, IDC_ICON_LIST, LVM_SETITEMSTATE, 1,
                                               reinterpret_cast<LPARAM>(&item));
                           SendMessageW(dialog, WM_COMMAND, IDOK, 0);
                       });
    EXPECT_EQ(ShortcutLineName(list, 0), L"Renamed");
    EXPECT_EQ(page.Entries(),
              (ShortcutEntryMap{{L"Renamed", {L"Renamed", L"app.exe", m_app, 1, false, true, true, stored}}}));

    w.Type(IDC_BUILD_TARGET_PATH, m_output);
    w.PressNext();
    ASSERT_TRUE(WaitForEnd(w, page));
    ASSERT_EQ(w.Text(IDC_BUILD_STATUS), L"Successfully built MSI file");
    EXPECT_FALSE(w.IsVisible(IDC_BUILD_PROGRESS));
    EXPECT_FALSE(w.IsVisible(IDC_BUILD_SHORTCUT_LIST));
    EXPECT_EQ(m_manager->Builder().PackagePath().rfind(m_output + L"\\Packages\\", 0), 0u)
        << "built into the typed target";

    // The project file holds the edited shortcut and exactly the icon it uses now.
    const std::wstring newIcon = iconFolder + L"\\app.exe_1.ico";
    XmlDocument saved;
    ASSERT_TRUE(saved.Load(m_session.ProjectFilePath()));
    ShortcutList records;
    ReadShortcutList(saved, records, m_session.Tokens);
    EXPECT_EQ(records, (ShortcutList{{L"Renamed", L"app.exe", L"QuickLaunchFolder", newIcon, L"1"},
                                     {L"Renamed", L"app.exe", L"ProgramMenuFolder", newIcon, L"1"}}));
    IconMap icons;
    ReadShortcutIcons(saved, icons);
    ASSERT_EQ(icons.size(), 1u);
    EXPECT_EQ(icons.begin()->first, newIcon);
    EXPECT_EQ(DecodeBase64(icons.begin()->second.Data).size(), ReadFileBytes(newIcon).size());

    {
        UniqueMsiHandle database;
        ASSERT_EQ(MsiOpenDatabaseW((m_output + L"\\Packages\\IconApp.msi").c_str(), MSIDBOPEN_READONLY,
                                   database.put()),
                  static_cast<UINT>(ERROR_SUCCESS));
        const auto shortcuts = Query(database.get(),
                                     L"SELECT `Directory_`,`Name`,`Icon_`,`IconIndex` FROM `Shortcut` ORDER BY "
                                     L"`Shortcut`",
                                     nullptr);
        EXPECT_EQ(shortcuts, (std::vector<std::vector<std::wstring>>{{L"QuickLaunchFolder", L"Renamed", L"Icon1", L"1"},
                                                                     {L"ProgramMenuFolder", L"Renamed", L"Icon1", L"1"}}));
        std::vector<DWORD> sizes;
        EXPECT_EQ(Query(database.get(), L"SELECT `Name`,`Data` FROM `Icon`", &sizes),
                  (std::vector<std::vector<std::wstring>>{{L"Icon1"}}));
        EXPECT_EQ(sizes, (std::vector<DWORD>{static_cast<DWORD>(ReadFileBytes(newIcon).size())}));
    }
    EXPECT_EQ(MsiCloseAllHandles(), 0u);

    w.Sheet().PressButton(PSBTN_FINISH);
    EXPECT_TRUE(WaitUntil([&] { return w.Sheet().IsFinished(); }));
    EXPECT_EQ(m_messages.shown.size(), 1u);
}

TEST_F(BuildMsiPage, AFailedBuildIsReportedWithFinishAndCancel)
{
    // Without the template database the build cannot start.
    ASSERT_TRUE(DeleteFileW((m_environment->Program() + L"\\Blank.msi").c_str()));
    WizardDriver w(m_session, *m_manager);
    CBuildMSIDlg& page = OpenPage(w);
    w.Type(IDC_BUILD_TARGET_PATH, m_output);
    w.PressNext();
    ASSERT_TRUE(WaitForEnd(w, page));
    EXPECT_EQ(page.CurrentState(), CBuildMSIDlg::State::Failed);
    EXPECT_EQ(w.Text(IDC_BUILD_STATUS),
              L"The MSI file could not be built. " + FailureReasonText(m_session.Paths.ConfigFilePath));
    EXPECT_TRUE(w.IsButtonEnabled(IDCANCEL));
    EXPECT_FALSE(PathExists(m_output + L"\\Packages\\IconApp.msi"));
    // The shortcuts were written back before the build.
    XmlDocument saved;
    ASSERT_TRUE(saved.Load(m_session.ProjectFilePath()));
    ShortcutList records;
    ReadShortcutList(saved, records, m_session.Tokens);
    EXPECT_EQ(records.size(), 2u);
    EXPECT_TRUE(m_messages.shown.empty());
}

namespace {

// The records as sorted rows of their fields: the order of a list written
// back may differ, its records may not.
std::vector<std::vector<std::wstring>> Rows(const ShortcutList& records)
{
    std::vector<std::vector<std::wstring>> rows;
    for (const ShortcutRecord& r : records)
        rows.push_back({r.Name, r.ExeName, r.Directory, r.Icon, r.IconIndex, r.Subfolder, r.Arguments,
                        r.WorkingFolder, r.Description, r.ShowCommand});
    std::sort(rows.begin(), rows.end());
    return rows;
}

} // namespace

TEST_F(BuildMsiPage, NextKeepsEveryStoredShortcutWithItsDetailsAndReadsAnotherProjectAfresh)
{
    // Captured shortcuts: two of one name in different Start-menu subfolders,
    // one with every detail, one in the Start menu itself.
    const std::wstring project = m_session.ProjectFilePath();
    const ShortcutList detailed = {
        {L"App", L"app.exe", L"ProgramMenuFolder", m_oldIcon, L"0", L"Vendor\\App", L"/run", L"[APPDIR]", L"Runs it",
         L"7"},
        {L"App", L"app.exe", L"ProgramMenuFolder", m_oldIcon, L"0", L"Vendor\\Tools"},
        {L"App", L"app.exe", L"DesktopFolder", m_oldIcon, L"0"},
        {L"Help", L"app.exe", L"StartMenuFolder", m_oldIcon, L"0", L"", L"/help", L"", L"Help", L"3"},
    };
    ASSERT_NO_FATAL_FAILURE(StoreShortcuts(project, detailed));
    // A second project of another product, with a shortcut of its own.
    const std::wstring other = m_session.Paths.PackagesFolder() + L"\\Other_2.0.xml";
    ASSERT_TRUE(CopyFileW(project.c_str(), other.c_str(), FALSE));
    const ShortcutList otherShortcuts = {{L"Other", L"app.exe", L"QuickLaunchFolder", m_oldIcon, L"0"}};
    ASSERT_NO_FATAL_FAILURE(StoreShortcuts(other, otherShortcuts));

    const std::wstring icon = m_session.Paths.ExtractedIconFolder + L"\\app.exe_0.ico";
    auto withRestoredIcon = [&](ShortcutList records) {
        for (ShortcutRecord& r : records)
            r.Icon = icon;
        return records;
    };
    {
        WizardDriver w(m_session, *m_manager);
        CBuildMSIDlg& page = OpenPage(w);
        EXPECT_EQ(page.Entries().size(), 2u);

        // Back to the basic information, where the other project is chosen, and on to this page again.
        w.PressBack();
        ASSERT_TRUE(w.WaitForPosition(PagePosition::ShowProjectFile));
        ASSERT_TRUE(WaitUntil([&] { return w.IsButtonEnabled(ID_WIZBACK); }));
        w.PressBack();
        ASSERT_TRUE(w.WaitForPosition(PagePosition::CaptureBasicInformation));
        m_session.SetProjectFilePath(other);
        m_manager->SetProductInfo(L"Other", L"2.0", L"Acme");
        ASSERT_TRUE(w.Sheet().SetActivePageById(IDD_SHOW_PROJECT));
        ASSERT_TRUE(w.WaitForPosition(PagePosition::ShowProjectFile));
        ASSERT_TRUE(WaitUntil([&] { return w.IsButtonEnabled(ID_WIZNEXT); }));
        w.PressNext();
        ASSERT_TRUE(w.WaitForPosition(PagePosition::BuildMsi));
        ASSERT_TRUE(WaitUntil([&] { return w.IsButtonEnabled(ID_WIZNEXT); }));
        EXPECT_EQ(w.Text(IDC_BUILD_MSI_NAME), L"Other.msi");
        ASSERT_EQ(page.Entries().size(), 1u);
        EXPECT_EQ(page.Entries().begin()->first, L"Other");
        EXPECT_EQ(ShortcutLineName(w.Control(IDC_BUILD_SHORTCUT_LIST), 0), L"Other");

        // Next writes the other project only, its stored shortcut unchanged; then the first one the same way.
        w.Type(IDC_BUILD_TARGET_PATH, m_output);
        w.PressNext();
        ASSERT_TRUE(WaitForEnd(w, page));
        EXPECT_TRUE(PathExists(m_output + L"\\Packages\\Other.msi"));
        EXPECT_FALSE(PathExists(m_output + L"\\Packages\\IconApp.msi"));
        EXPECT_EQ(Rows(StoredShortcuts(other)), Rows(withRestoredIcon(otherShortcuts)));
        EXPECT_EQ(Rows(StoredShortcuts(project)), Rows(detailed)) << "the first project was not touched";
    }

    WizardDriver again(m_session, *m_manager);
    m_session.SetProjectFilePath(project);
    CBuildMSIDlg& first = OpenPage(again);
    again.Type(IDC_BUILD_TARGET_PATH, m_output);
    again.PressNext();
    ASSERT_TRUE(WaitForEnd(again, first));
    EXPECT_EQ(Rows(StoredShortcuts(project)), Rows(withRestoredIcon(detailed)));
    EXPECT_TRUE(m_messages.shown.empty());
}

TEST_F(BuildMsiPage, AProjectFileThatCannotTakeTheShortcutsStopsTheBuild)
{
    const std::wstring project = m_session.ProjectFilePath();
    const std::string before = ReadFileBytes(project);
    // Another program holds the file open for reading, sharing no writes.
    UniqueFile held(CreateFileW(project.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held.valid());
    WizardDriver w(m_session, *m_manager);
    CBuildMSIDlg& page = OpenPage(w);
    w.Type(IDC_BUILD_TARGET_PATH, m_output);
    w.PressNext();
    PumpMessages();
    ASSERT_EQ(m_messages.shown.size(), 1u);
    EXPECT_EQ(m_messages.shown[0].caption, L"Error");
    EXPECT_EQ(m_messages.shown[0].text.rfind(L"The shortcuts could not be written into the project file " + project +
                                             L"; nothing was built.", 0),
              0u)
        << ToUtf8(m_messages.shown[0].text);
    EXPECT_EQ(page.CurrentState(), CBuildMSIDlg::State::Editing);
    EXPECT_TRUE(w.IsVisible(IDC_BUILD_SHORTCUT_LIST));
    EXPECT_FALSE(PathExists(m_output + L"\\Packages\\IconApp.msi"));
    held.reset();
    EXPECT_EQ(ReadFileBytes(project), before);
}
