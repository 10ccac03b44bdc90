// The Create Project File and MSI page in the real sheet: a prepared capture
// of one executable, a shortcut chosen with Select in the real shortcut
// dialog, and Next up to the built package, whose Shortcut and Icon tables
// are read back; and the roads that end early.
#include "common/Config.h"
#include "common/PathSetup.h"
#include "common/Utf.h"
#include "manager/UIManager.h"
#include "msi/MsiHandle.h"
#include "tests/ui/MsiQuery.h"
#include "tests/ui/WizardHarness.h"
#include "ui/controls/ShortcutListEditor.h"
#include "ui/framework/UiServices.h"
#include "ui/pages/CreateProjectFileAndMsiPage.h"
#include "ui/pages/CreateProjectFileAndMsiRules.h"
#include "ui/wizard/Resource.h"

#include <gtest/gtest.h>

#include <commctrl.h>
#include <ole2.h>

#include <functional>
#include <optional>
#include <set>

namespace {

class ProjectPage : public ::testing::Test
{
protected:
    void SetUp() override
    {
        OleInitialize(nullptr);
        m_environment = std::make_unique<WizardEnvironment>(m_session);
        // An error log of the test's own, named in the page's failure text.
        m_errorLog = m_environment->Files() + L"\\ErrorLog.txt";
        WriteFileBytes(m_environment->ConfigPath(), "[LogFileDetails]\r\nLogLevel=2\r\nDebugLogFileName=" +
                                                         ToUtf8(m_environment->Files()) + "\\DebugLog.txt\r\n"
                                                         "ErrorLogFileName=" + ToUtf8(m_errorLog) + "\r\n");
        m_log.emplace(m_environment->Program());
        SetAdministratorCheck([] { return true; });
        const std::wstring bin = ExecutableFolder() + L"\\..\\bin\\";
        for (const wchar_t* file : {L"Blank.msi", L"makecab.exe"})
            ASSERT_TRUE(CopyFileW((bin + file).c_str(), (m_environment->Program() + L"\\" + file).c_str(), FALSE));
        m_manager = std::make_unique<CUIManager>(m_session);
        ASSERT_TRUE(m_manager->Initialize());
    }

    void TearDown() override
    {
        m_manager->Uninitialize();
        m_manager.reset();
        RemoveSnapshotTakenKey(m_session.Paths);
        SetAdministratorCheck(nullptr);
        m_log.reset();
        m_environment.reset();
        OleUninitialize();
    }

    // A capture in which a setup added app.exe (this program, with its icon) and a text file.
    void PrepareCapture(const std::wstring& folder = L"App")
    {
        const std::wstring app = m_environment->Files() + L"\\" + folder;
        ASSERT_TRUE(CreateDirectoryW(app.c_str(), nullptr));
        m_manager->SetProductInfo(L"IconApp", L"1.0", L"Acme");
        const ScanDetails details{{L"File", {app}}};
        // A project file written by an earlier case took the working folders along.
        EnsureFolder(m_session.Paths.SnapshotFolder());
        EnsureFolder(m_session.Paths.IniBackupFolder);
        m_manager->SetScanDetails(details);
        ASSERT_TRUE(m_manager->WriteScanDetails());
        CEnumerateWrapper& coordinator = m_manager->Coordinator();
        ASSERT_FALSE(coordinator.IsFirstSnapshotTaken()); // also makes the snapshot folders
        ASSERT_TRUE(coordinator.CaptureSnapshot(details)) << ReadFileBytes(m_errorLog);
        wchar_t self[MAX_PATH] = {};
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        ASSERT_TRUE(CopyFileW(self, (app + L"\\app.exe").c_str(), FALSE));
        WriteFileBytes(app + L"\\readme.txt", "read me");
        ASSERT_TRUE(coordinator.CaptureSnapshot(details));
        ASSERT_TRUE(coordinator.CompareSnapshot());
        m_output = m_environment->Files() + L"\\Out";
        CreateDirectoryW(m_output.c_str(), nullptr);
        ASSERT_TRUE(IsFolder(m_output));
    }

    // The sheet on the page, with the target folder set.
    CCreateProjectFileMsiDlg& OpenPage(WizardDriver& w)
    {
        EXPECT_TRUE(w.Sheet().SetActivePageById(IDD_CREATE_PROJECT));
        EXPECT_TRUE(w.WaitForPosition(PagePosition::CreateProjectFile));
        EXPECT_TRUE(WaitUntil([&] { return w.IsButtonEnabled(ID_WIZNEXT); }));
        w.Type(IDC_TARGET_PATH, m_output);
        return dynamic_cast<CCreateProjectFileMsiDlg&>(*w.Sheet().ActivePage());
    }

    // Presses Next and collects the first status line until `last` shows.
    std::vector<std::wstring> RunUntil(WizardDriver& w, const std::function<bool(const std::wstring&)>& last)
    {
        std::vector<std::wstring> statuses;
        w.PressNext();
        EXPECT_TRUE(WaitUntil(
            [&] {
                const std::wstring status = w.Text(IDC_PROJECT_STATUS);
                if (statuses.empty() || statuses.back() != status)
                    statuses.push_back(status);
                return last(status);
            },
            180000))
            << ToUtf8(statuses.empty() ? L"" : statuses.back());
        return statuses;
    }

    std::unique_ptr<WizardEnvironment> m_environment;
    std::optional<ScopedFileLog> m_log;
    MessageBoxRecorder m_messages;
    Session m_session;
    std::unique_ptr<CUIManager> m_manager;
    std::wstring m_output;
    std::wstring m_errorLog;
};

} // namespace

TEST_F(ProjectPage, AShortcutChosenWithSelectEndsUpInTheBuiltPackage)
{
    ASSERT_NO_FATAL_FAILURE(PrepareCapture());
    WizardDriver w(m_session, *m_manager);
    CCreateProjectFileMsiDlg& page = OpenPage(w);
    EXPECT_TRUE(w.IsVisible(IDC_SELECT_SHORTCUT));
    EXPECT_EQ(w.Text(IDC_MSI_NAME), L"IconApp.msi");
    EXPECT_EQ(w.Text(IDC_DESCRIPTION).substr(0, 32), L"This screen allows you to choose");
    HWND combo = w.Control(IDC_EXECUTABLE_COMBO);
    ASSERT_NE(combo, nullptr);
    ASSERT_EQ(SendMessageW(combo, CB_GETCOUNT, 0, 0), 1);
    const std::wstring app = m_environment->Files() + L"\\App\\app.exe";
    EXPECT_EQ(page.ExecutableNames(), (std::map<std::wstring, std::wstring>{{L"app.exe", app}}));

    // A refused name is put back as it was when the page opened.
    w.Type(IDC_MSI_NAME, L"package.MSI");
    w.PressNext();
    PumpMessages();
    ASSERT_EQ(m_messages.shown.size(), 1u);
    EXPECT_EQ(m_messages.shown[0].text, L"Repackager file should have .msi extension");
    EXPECT_EQ(m_messages.shown[0].caption, L"Warning");
    EXPECT_EQ(m_messages.shown[0].type & MB_ICONMASK, static_cast<UINT>(MB_ICONWARNING));
    EXPECT_EQ(w.Text(IDC_MSI_NAME), L"IconApp.msi");
    EXPECT_EQ(page.CurrentState(), CCreateProjectFileMsiDlg::State::Editing);

    // Select opens the dialog for the chosen executable: its name, its icons, every place ticked.
    SendMessageW(combo, CB_SETCURSEL, 0, 0);
    RunWithShortcutDialog([&] { w.Click(IDC_SELECT_SHORTCUT); },
                       [&](HWND dialog) {
                           EXPECT_EQ(DialogItemText(dialog, IDC_SHORTCUT_NAME), L"app");
                           EXPECT_EQ(DialogItemText(dialog, IDC_ICON_SOURCE), app);
                           EXPECT_EQ(SendDlgItemMessageW(dialog, IDC_ICON_LIST, LVM_GETITEMCOUNT, 0, 0), CountIcons(app));
                           EXPECT_NE(SendDlgItemMessageW(dialog, IDC_ICON_PREVIEW, STM_GETICON, 0, 0), 0);
                           for (int id : {IDC_SHORTCUT_DESKTOP, IDC_SHORTCUT_PROGRAM_MENU, IDC_SHORTCUT_QUICK_LAUNCH})
                               EXPECT_EQ(IsDlgButtonChecked(dialog, id), BST_CHECKED) << id;
                           SetDlgItemTextW(dialog, IDC_SHORTCUT_NAME, L"My App");
                           CheckDlgButton(dialog, IDC_SHORTCUT_QUICK_LAUNCH, BST_UNCHECKED);
                           SendMessageW(dialog, WM_COMMAND, IDOK, 0);
                       });
    HWND list = w.Control(IDC_SHORTCUT_LIST);
    ASSERT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 1);
    const ShortcutEntry chosen{L"My App", L"app.exe", app, 0, true, true, false};
    EXPECT_EQ(page.Entries(), (ShortcutEntryMap{{L"My App", chosen}}));
    // Select on the same executable again adds nothing.
    w.Click(IDC_SELECT_SHORTCUT);
    EXPECT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 1);

    // A double-click opens the stored entry; Cancel changes nothing.
    RunWithShortcutDialog([&] { page.OnEditShortcut(0); },
                       [](HWND dialog) {
                           EXPECT_EQ(DialogItemText(dialog, IDC_SHORTCUT_NAME), L"My App");
                           EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_SHORTCUT_QUICK_LAUNCH), BST_UNCHECKED);
                           SetDlgItemTextW(dialog, IDC_SHORTCUT_NAME, L"Changed");
                           SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
                       });
    EXPECT_EQ(page.Entries(), (ShortcutEntryMap{{L"My App", chosen}}));

    const std::vector<std::wstring> statuses =
        RunUntil(w, [](const std::wstring& s) { return s == L"Successfully built MSI file" || s.find(L"could not") != s.npos; });
    ASSERT_EQ(w.Text(IDC_PROJECT_STATUS), L"Successfully built MSI file");
    EXPECT_NE(std::find(statuses.begin(), statuses.end(), L"Successfully created project file"), statuses.end());
    EXPECT_NE(std::find(statuses.begin(), statuses.end(), L"Corvane Repackager is now building MSI setup file."),
              statuses.end());
    EXPECT_FALSE(w.IsVisible(IDC_PROJECT_PROGRESS));
    EXPECT_FALSE(w.IsVisible(IDC_SHORTCUT_LIST));
    EXPECT_TRUE(WaitUntil([&] { return w.IsButtonEnabled(ID_WIZFINISH); }));
    EXPECT_EQ(m_session.ProjectFilePath(), m_output + L"\\Packages\\ProjectFile.xml");

    // The package has both shortcuts of the entry and one icon, the extracted file's bytes.
    const std::wstring icon = m_session.Paths.ExtractedIconFolder + L"\\app.exe_0.ico";
    ASSERT_TRUE(PathExists(icon));
    {
        UniqueMsiHandle database;
        ASSERT_EQ(MsiOpenDatabaseW((m_output + L"\\Packages\\IconApp.msi").c_str(), MSIDBOPEN_READONLY,
                                   database.put()),
                  static_cast<UINT>(ERROR_SUCCESS));
        const auto shortcuts = Query(database.get(),
                                     L"SELECT `Shortcut`,`Directory_`,`Name`,`Target`,`Icon_`,`IconIndex` FROM "
                                     L"`Shortcut` ORDER BY `Shortcut`",
                                     nullptr);
        // The project writer puts each new element first, so the records come back reversed.
        EXPECT_EQ(shortcuts, (std::vector<std::vector<std::wstring>>{
                                 {L"Shortcut0", L"ProgramMenuFolder", L"My App", L"[#app.exe]", L"Icon1", L"0"},
                                 {L"Shortcut1", L"DesktopFolder", L"My App", L"[#app.exe]", L"Icon1", L"0"}}));
        std::vector<DWORD> sizes;
        const auto icons = Query(database.get(), L"SELECT `Name`,`Data` FROM `Icon`", &sizes);
        EXPECT_EQ(icons, (std::vector<std::vector<std::wstring>>{{L"Icon1"}}));
        EXPECT_EQ(sizes, (std::vector<DWORD>{static_cast<DWORD>(ReadFileBytes(icon).size())}));
    }
    EXPECT_EQ(MsiCloseAllHandles(), 0u);

    // Finish ends the capture.
    w.Sheet().PressButton(PSBTN_FINISH);
    EXPECT_TRUE(WaitUntil([&] { return w.Sheet().IsFinished(); }));
    EXPECT_FALSE(PathExists(m_session.Paths.TempFolder()));
}

TEST_F(ProjectPage, WithoutBuildMsiOrWhenTheBuildFailsThePageEndsWithFinish)
{
    ASSERT_NO_FATAL_FAILURE(PrepareCapture());
    struct Case
    {
        const char* name;
        bool buildMsi;
        std::wstring expectedStatus;
    };
    // The configured name is a path, which the log refuses: the message names
    // the file the log writes instead.
    const Case cases[] = {
        {"project file only", false, L"Successfully created project file"},
        {"the build fails", true, L"The MSI file could not be built. The reason is in the error log c:\\ErrorLog.txt."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // Without the template database the build cannot start.
        if (c.buildMsi) {
            ASSERT_TRUE(DeleteFileW((m_environment->Program() + L"\\Blank.msi").c_str()));
        }
        WizardDriver w(m_session, *m_manager);
        CCreateProjectFileMsiDlg& page = OpenPage(w);
        CheckDlgButton(page.Window(), IDC_BUILD_MSI_CHECK, c.buildMsi ? BST_CHECKED : BST_UNCHECKED);
        RunUntil(w, [&](const std::wstring& s) { return s == c.expectedStatus; });
        EXPECT_TRUE(WaitUntil([&] { return w.IsButtonEnabled(ID_WIZFINISH); }));
        EXPECT_TRUE(w.IsButtonEnabled(IDCANCEL));
        EXPECT_FALSE(w.IsVisible(IDC_PROJECT_PROGRESS));
        PumpMessages();
        EXPECT_EQ(w.Text(IDC_PROJECT_STATUS), c.expectedStatus) << "nothing follows the end";
        EXPECT_TRUE(PathExists(m_output + L"\\Packages\\ProjectFile.xml"));
        EXPECT_EQ(page.CurrentState(), c.buildMsi ? CCreateProjectFileMsiDlg::State::Failed
                                                   : CCreateProjectFileMsiDlg::State::Finished);
        DeleteFileW((m_output + L"\\Packages\\ProjectFile.xml").c_str());
    }
    EXPECT_TRUE(m_messages.shown.empty());
}

TEST_F(ProjectPage, ThePendingMarkIsClearedExactlyWhenTheProjectFileIsWritten)
{
    struct Case
    {
        const char* name;
        bool blockProject; // the project file's path is a folder
        bool retry;        // Next again once the folder is gone (else Cancel)
        bool buildMsi;
    };
    const Case cases[] = {
        {"written, Cancel during the build", false, false, true},
        {"not written, Cancel", true, false, false},
        {"not written, then written on the second Next", true, true, false},
    };
    int run = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_messages.shown.clear();
        ASSERT_NO_FATAL_FAILURE(PrepareCapture(L"App" + std::to_wstring(++run)));
        ASSERT_TRUE(WriteSnapshotTakenKey(m_session.Paths));
        m_session.SnapshotPending = true;
        const std::wstring project = m_output + L"\\Packages\\ProjectFile.xml";
        DeleteFileW(project.c_str());
        EnsureFolder(m_output + L"\\Packages");
        if (c.blockProject) {
            ASSERT_TRUE(CreateDirectoryW(project.c_str(), nullptr));
        }
        const std::wstring firstSnapshot = m_manager->Coordinator().FileSide().FirstSnapshotPath();

        auto w = std::make_unique<WizardDriver>(m_session, *m_manager);
        CCreateProjectFileMsiDlg& page = OpenPage(*w);
        CheckDlgButton(page.Window(), IDC_BUILD_MSI_CHECK, c.buildMsi ? BST_CHECKED : BST_UNCHECKED);
        w->PressNext();
        // The project file is never cut short by Cancel: looked at after each
        // message, since the page's next tick may already end the state.
        bool creating = false;
        for (const ULONGLONG deadline = GetTickCount64() + 10000; !creating && GetTickCount64() < deadline;) {
            MSG message;
            if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
                continue;
            }
            TranslateMessage(&message);
            DispatchMessageW(&message);
            if ((creating = page.CurrentState() == CCreateProjectFileMsiDlg::State::Creating)) {
                EXPECT_FALSE(w->IsButtonEnabled(IDCANCEL));
            }
        }
        ASSERT_TRUE(creating);
        if (c.blockProject) {
            ASSERT_TRUE(WaitUntil([&] { return !m_messages.shown.empty(); }, 60000));
            PumpMessages();
            const std::wstring text = m_messages.shown[0].text;
            EXPECT_EQ(text.rfind(L"The project file " + project + L" could not be created.", 0), 0u) << ToUtf8(text);
            EXPECT_NE(text.find(L"the capture stays pending"), std::wstring::npos) << ToUtf8(text);
            EXPECT_EQ(w->Text(IDC_PROJECT_STATUS), text);
            EXPECT_EQ(page.CurrentState(), CCreateProjectFileMsiDlg::State::Editing);
            EXPECT_TRUE(WaitUntil([&] { return w->IsButtonEnabled(ID_WIZNEXT) && w->IsButtonEnabled(IDCANCEL); }));
            EXPECT_TRUE(w->IsVisible(IDC_SHORTCUT_LIST));
            EXPECT_TRUE(ReadSnapshotTakenKey(m_session.Paths));
            EXPECT_TRUE(PathExists(firstSnapshot));
            RemoveDirectoryW(project.c_str());
            if (c.retry)
                RunUntil(*w, [](const std::wstring& s) { return s == L"Successfully created project file"; });
        } else {
            ASSERT_TRUE(WaitUntil([&] { return page.CurrentState() != CCreateProjectFileMsiDlg::State::Creating; },
                                  60000));
            EXPECT_TRUE(w->IsButtonEnabled(IDCANCEL)) << "the build can be stopped";
        }
        const bool written = !c.blockProject || c.retry;
        if (!c.retry) {
            w->Sheet().PressButton(PSBTN_CANCEL);
            ASSERT_TRUE(WaitUntil([&] { return w->Sheet().IsFinished(); }, 60000));
        }
        w.reset();
        EXPECT_EQ(ReadSnapshotTakenKey(m_session.Paths), !written);
        EXPECT_EQ(m_session.SnapshotPending.load(), !written);
        EXPECT_EQ(PathExists(firstSnapshot), !written);
        EXPECT_EQ(PathExists(project), written);
        EXPECT_EQ(m_messages.shown.size(), c.blockProject ? 1u : 0u);
    }
}

TEST_F(ProjectPage, TheShortcutListHoldsOnlyNamedShortcutsToFilesOfTheProject)
{
    ASSERT_NO_FATAL_FAILURE(PrepareCapture());
    WizardDriver w(m_session, *m_manager);
    CCreateProjectFileMsiDlg& page = OpenPage(w);
    HWND combo = w.Control(IDC_EXECUTABLE_COMBO);
    SendMessageW(combo, CB_SETCURSEL, 0, 0);
    // Names the dialog refuses (an empty one would replace the next empty
    // one), then a name longer than the list's first read.
    const std::wstring longName(80, L'n');
    const std::pair<std::wstring, std::wstring> cases[] = {
        {L"", L"Shortcut Name can not be empty"},
        {L"   ", L"Shortcut Name can not be empty"},
        {longName, L""},
    };
    for (const auto& [name, message] : cases) {
        SCOPED_TRACE(ToUtf8(name));
        m_messages.shown.clear();
        RunWithShortcutDialog([&] { w.Click(IDC_SELECT_SHORTCUT); }, [&, &name = name](HWND dialog) {
            SetDlgItemTextW(dialog, IDC_SHORTCUT_NAME, name.c_str());
            SendMessageW(dialog, WM_COMMAND, IDOK, 0);
            if (IsWindow(dialog) && IsWindowVisible(dialog))
                SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        });
        EXPECT_EQ(m_messages.shown.size(), message.empty() ? 0u : 1u);
        if (!m_messages.shown.empty()) {
            EXPECT_EQ(m_messages.shown[0].text, message);
            EXPECT_EQ(m_messages.shown[0].caption, L"Warning");
        }
        EXPECT_EQ(page.Entries().size(), message.empty() ? 1u : 0u);
    }
    ASSERT_EQ(page.Entries().size(), 1u);
    // A name longer than the list's first buffer is read whole, so the line stays editable.
    HWND list = w.Control(IDC_SHORTCUT_LIST);
    EXPECT_EQ(ShortcutLineName(list, 0), longName);
    RunWithShortcutDialog([&] { page.OnEditShortcut(0); }, [&](HWND dialog) {
        EXPECT_EQ(DialogItemText(dialog, IDC_SHORTCUT_NAME), longName);
        SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    });

    // The review pages leave app.exe out: the combo box no longer offers it,
    // and its shortcut is refused before anything is written.
    m_messages.shown.clear();
    DirectoryChangeMap& added = m_manager->Coordinator().Changes().Files(ChangeOrigin::Added);
    added.begin()->second.clear();
    w.PressBack();
    ASSERT_TRUE(w.WaitForPosition(PagePosition::ReviewRegistry));
    ASSERT_TRUE(WaitUntil([&] { return w.IsButtonEnabled(ID_WIZNEXT); }));
    w.PressNext();
    ASSERT_TRUE(w.WaitForPosition(PagePosition::CreateProjectFile));
    EXPECT_EQ(SendMessageW(combo, CB_GETCOUNT, 0, 0), 0);
    EXPECT_FALSE(w.IsVisible(IDC_SELECT_SHORTCUT));
    EXPECT_TRUE(page.ExecutableNames().empty());
    ASSERT_TRUE(WaitUntil([&] { return w.IsButtonEnabled(ID_WIZNEXT); }));
    w.PressNext();
    PumpMessages();
    ASSERT_EQ(m_messages.shown.size(), 1u);
    EXPECT_EQ(m_messages.shown[0].text.rfind(L"The shortcut \"" + longName + L"\" points to app.exe, which is not in "
                                             L"the project.", 0),
              0u)
        << ToUtf8(m_messages.shown[0].text);
    EXPECT_EQ(page.CurrentState(), CCreateProjectFileMsiDlg::State::Editing);
    EXPECT_FALSE(PathExists(m_output + L"\\Packages\\ProjectFile.xml"));
}

// The shortcut list both project pages share, on a list view of its own:
// lines in name order with the executable's file name, a line rewritten in
// place, only this list's double-clicks, and no second entry for an
// executable that has one.
TEST(ShortcutListEditor, LinesFollowTheEntriesAndOnlyThisListsDoubleClicksCount)
{
    HWND list = CreateWindowExW(0, WC_LISTVIEWW, L"", WS_POPUP | LVS_REPORT, 0, 0, 300, 120, nullptr, nullptr,
                                nullptr, nullptr);
    ASSERT_NE(list, nullptr);
    {
        CShortcutListEditor editor;
        editor.Attach(list);
        ASSERT_EQ(editor.Window(), list);
        EXPECT_EQ(SendMessageW(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) & LVS_EX_FULLROWSELECT,
                  LVS_EX_FULLROWSELECT);
        // The editor destroys its image list itself: the window must not as well.
        EXPECT_NE(GetWindowLongPtrW(list, GWL_STYLE) & LVS_SHAREIMAGELISTS, 0);
        const ShortcutEntry zeta{L"Zeta", L"[ProgramFilesFolder]\\Acme\\zeta.exe", L"", 0, true, false, false};
        const ShortcutEntry alpha{L"Alpha", L"alpha.exe", L"", 0, false, true, false};
        editor.Add(zeta);
        editor.ShowEntries({{alpha.name, alpha}, {zeta.name, zeta}});
        ASSERT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 2);
        EXPECT_EQ(ShortcutLineName(list, 0), L"Alpha");
        EXPECT_EQ(ShortcutLineName(list, 1), L"Zeta");
        EXPECT_EQ(ShortcutLineName(list, 2), L"");
        wchar_t executable[64] = {};
        LVITEMW sub{};
        sub.iSubItem = 1;
        sub.pszText = executable;
        sub.cchTextMax = 64;
        SendMessageW(list, LVM_GETITEMTEXTW, 1, reinterpret_cast<LPARAM>(&sub));
        EXPECT_STREQ(executable, L"zeta.exe");
        EXPECT_EQ(editor.Entries(), (ShortcutEntryMap{{L"Alpha", alpha}, {L"Zeta", zeta}}));

        EXPECT_FALSE(editor.AddWithDialog(nullptr, L"zeta.exe", L"")) << "zeta.exe has its shortcut already";
        EXPECT_EQ(editor.Entries().size(), 2u);

        struct Case
        {
            const char* name;
            HWND from;
            UINT code;
            int item;
            std::optional<int> line;
        };
        const Case cases[] = {
            {"double-click on a line", list, static_cast<UINT>(NM_DBLCLK), 1, 1},
            {"double-click below the lines", list, static_cast<UINT>(NM_DBLCLK), -1, -1},
            {"single click", list, static_cast<UINT>(NM_CLICK), 1, std::nullopt},
            {"another control's double-click", GetDesktopWindow(), static_cast<UINT>(NM_DBLCLK), 0, std::nullopt},
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(c.name);
            NMITEMACTIVATE activate{};
            activate.hdr.hwndFrom = c.from;
            activate.hdr.code = c.code;
            activate.iItem = c.item;
            EXPECT_EQ(editor.DoubleClickedLine(activate.hdr), c.line);
        }
    }
    DestroyWindow(list);
}
