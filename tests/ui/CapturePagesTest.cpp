// The capture pages: the pacing of their progress bars and the watch for
// installer processes without a window, then the real sheet from the basic
// information page to the first review page, with the setup launch and the
// process list answered by the test.
#include "common/Config.h"
#include "common/PathSetup.h"
#include "common/Progress.h"
#include "common/Utf.h"
#include "common/Workspace.h"
#include "manager/UIManager.h"
#include "tests/support/RegistryTestHelpers.h"
#include "tests/ui/WizardHarness.h"
#include "ui/framework/UiServices.h"
#include "ui/pages/CaptureProgress.h"
#include "ui/pages/InstallerWatch.h"
#include "ui/pages/LaunchSetupPage.h"
#include "ui/wizard/Resource.h"

#include <gtest/gtest.h>

#include <commctrl.h>
#include <ole2.h>

#include <atomic>
#include <mutex>
#include <thread>

namespace {

// ---- Without a window ---------------------------------------------------------------

// Where the bar stops while `rootsDone` roots are finished, moving `barStep`
// at a time, given many more ticks than it needs.
int BarStopsAt(int step, int barStep, int rootsDone)
{
    int position = 0;
    for (int tick = 0; tick < 2 * CaptureProgress::Range; ++tick)
        if (CaptureProgress::ShouldAdvance(step, rootsDone, position))
            position += barStep;
    return position;
}

TEST(CaptureProgressPacing, StepsAndWhereTheBarWaitsForTheNextRoot)
{
    EXPECT_EQ(CaptureProgress::StepFor(6, 0), 166);
    EXPECT_EQ(CaptureProgress::StepFor(5, 0), 200);
    EXPECT_EQ(CaptureProgress::StepFor(0, 166), 166) << "no item leaves the step as it was";

    struct Case
    {
        const char* name;
        int step;
        int barStep;
        int rootsDone;
        int stop;
    };
    const Case cases[] = {
        {"one folder and five hives, first root", 166, 1, 0, 117},
        {"three folders and two hives, first root", 200, 1, 0, 151},
        {"three folders and two hives, second root", 200, 1, 1, 351},
        {"comparison, file part", CaptureProgress::ComparisonStep, 2, 0, 452},
        {"comparison, registry part", CaptureProgress::ComparisonStep, 2, 1, 952},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(BarStopsAt(c.step, c.barStep, c.rootsDone), c.stop);
    }

    // The run to the end stops at the end, whatever the step leaves over.
    HWND bar = CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_POPUP, 0, 0, 200, 20, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(bar, nullptr);
    SendMessageW(bar, PBM_SETRANGE32, 0, CaptureProgress::Range);
    SendMessageW(bar, PBM_SETPOS, 451, 0);
    CaptureProgress::FillToEnd(bar, 2);
    EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), CaptureProgress::Range);
    DestroyWindow(bar);

    // The final fill paced by the page's timer: two per millisecond from where
    // the bar stood, never past the end.
    struct Fill { int start, barStep; ULONGLONG elapsed; int position; };
    for (const Fill& f : {Fill{117, 2, 0, 117}, Fill{117, 2, 100, 317}, Fill{117, 2, 441, 999},
                          Fill{117, 2, 442, 1000}, Fill{952, 2, 100000000000ULL, 1000}, Fill{0, 0, 5, 5}})
        EXPECT_EQ(CaptureProgress::FillPosition(f.start, f.barStep, f.elapsed), f.position)
            << f.start << " after " << f.elapsed << " ms";
}

TEST(InstallerWatch, OnlyInstallersStartedDuringTheRunCount)
{
    struct Case
    {
        DWORD id;
        const wchar_t* name;
    };
    const Case cases[] = {{1, L"msiexec.exe"}, {2, L"MsiExec.EXE"}, {3, L"<unknown>"},
                          {4, L"msiexec.exe.old"}, {5, L"notmsiexec.exe"}, {6, L"setup.exe"}};
    CInstallerWatch::ProcessMap map{{7, L"first"}};
    for (const Case& c : cases)
        CInstallerWatch::CheckProcess({c.id, c.name}, map);
    CInstallerWatch::CheckProcess({7, L"msiexec.exe"}, map);
    EXPECT_EQ(map, (CInstallerWatch::ProcessMap{{1, L"msiexec.exe"}, {2, L"msiexec.exe"}, {7, L"first"}}));

    // Before the launch one installer runs already; during the run a second appears.
    std::atomic<int> calls{0};
    SetProcessListFunction([&](std::vector<ProcessEntry>& list) {
        if (calls++ == 0)
            list = {{10, L"msiexec.exe"}, {11, L"explorer.exe"}};
        else
            list = {{10, L"msiexec.exe"}, {12, L"MSIEXEC.exe"}, {0, L"msiexec.exe"}};
        return true;
    });
    CInstallerWatch watch;
    ASSERT_TRUE(watch.TakeBefore());
    int result = -1;
    std::thread monitor([&] { result = watch.Monitor(); });
    while (calls < 4)
        Sleep(1);
    EXPECT_TRUE(watch.IsMonitoring());
    watch.StopMonitoring();
    monitor.join();
    EXPECT_EQ(result, 1);
    EXPECT_TRUE(watch.InstallerStarted());
    EXPECT_EQ(watch.During(), (CInstallerWatch::ProcessMap{{12, L"msiexec.exe"}}));
    EXPECT_TRUE(watch.Before().empty());

    // A list that cannot be read ends the monitor.
    SetProcessListFunction([](std::vector<ProcessEntry>&) { return false; });
    CInstallerWatch failing;
    EXPECT_EQ(failing.Monitor(), 0);
    EXPECT_FALSE(failing.InstallerStarted());
    SetProcessListFunction(nullptr);
}

// ---- The real sheet -------------------------------------------------------------------

std::wstring ThisProgram()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

std::vector<std::wstring> TreeItems(HWND tree)
{
    std::vector<std::wstring> items;
    auto item = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
    while (item) {
        wchar_t text[512] = {};
        TVITEMW data{};
        data.mask = TVIF_TEXT;
        data.hItem = item;
        data.pszText = text;
        data.cchTextMax = 512;
        SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&data));
        items.push_back(text);
        item = reinterpret_cast<HTREEITEM>(
            SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(item)));
    }
    return items;
}

std::wstring SystemText(DWORD error)
{
    wchar_t text[512] = {};
    FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, text, 512, nullptr);
    std::wstring result = text;
    while (!result.empty() && (result.back() == L'\n' || result.back() == L'\r' || result.back() == L' '))
        result.pop_back();
    return result;
}

// The warning dialog, answered from a timer inside its own modal loop.
struct WarningAnswer
{
    int button = IDOK;
    int shown = 0;
    std::wstring text;
    bool dialogFont = false;
    HWND answered = nullptr;
};
WarningAnswer g_warning;

BOOL CALLBACK FindWarning(HWND window, LPARAM found)
{
    wchar_t caption[128] = {};
    GetWindowTextW(window, caption, 128);
    if (IsWindowVisible(window) && std::wstring(caption) == L"Warning Windows Intaller Setup Detected") {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

void CALLBACK AnswerWarning(HWND, UINT, UINT_PTR, DWORD)
{
    HWND box = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindWarning, reinterpret_cast<LPARAM>(&box));
    if (!box || box == g_warning.answered)
        return;
    g_warning.answered = box;
    ++g_warning.shown;
    wchar_t text[1024] = {};
    GetDlgItemTextW(box, IDC_MSI_WARNING_TEXT, text, 1024);
    g_warning.text = text;
    g_warning.dialogFont =
        reinterpret_cast<HFONT>(SendDlgItemMessageW(box, IDC_MSI_WARNING_TEXT, WM_GETFONT, 0, 0)) == DialogFont();
    PostMessageW(box, WM_COMMAND, static_cast<WPARAM>(g_warning.button), 0);
}

// Presses "Continue without waiting" once the Launch Setup page shows it,
// from inside the page's wait (which runs the thread's timers).
struct GoOnPress
{
    HWND page = nullptr;
    std::wstring text;
    bool pressed = false;
};
GoOnPress g_goOn;

void CALLBACK PressGoOnWhenShown(HWND, UINT, UINT_PTR, DWORD)
{
    HWND button = g_goOn.page ? GetDlgItem(g_goOn.page, IDC_STOP_WAITING) : nullptr;
    if (g_goOn.pressed || !button || !IsWindowVisible(button))
        return;
    wchar_t text[1024] = {};
    GetDlgItemTextW(g_goOn.page, IDC_STILL_RUNNING, text, 1024);
    g_goOn.text = text;
    g_goOn.pressed = true;
    SendMessageW(button, BM_CLICK, 0, 0);
}

constexpr wchar_t LaunchDescription[] =
    L"Corvane Repackager is now ready to launch the installation to be repackaged.\r\n\r\nChoose the first option to "
    L"launch the selected application for installation and then move to next screen. Alternately use the second "
    L"option to move to next screen after externally launching the application.";

class CapturePages : public ::testing::Test
{
protected:
    void SetUp() override
    {
        OleInitialize(nullptr);
        m_environment = std::make_unique<WizardEnvironment>(m_session);
        m_key = std::make_unique<TestRegistryKey>(L"CapturePages");
        m_hive = L"HKEY_CURRENT_USER\\" + m_key->SubPath();
        m_watched = m_environment->Files() + L"\\watched";
        CreateDirectoryW(m_watched.c_str(), nullptr);
        WriteFileBytes(m_watched + L"\\before.txt", "before");
        WriteIncludeExclude({m_watched}, {m_hive});
        SetAdministratorCheck([] { return true; });
        SetShellLaunchFunction([this](HWND, const std::wstring& file, const std::wstring& verb,
                                      UniqueKernelHandle& process) {
            m_launches.push_back(verb + L" " + file);
            if (m_launchFails) {
                process.reset();
                SetLastError(ERROR_FILE_NOT_FOUND);
                return false;
            }
            // The setup's run: a thread of the test whose end sets an event
            // the page waits on as on a process.
            if (m_setupThread.joinable())
                m_setupThread.join();
            HANDLE ended = CreateEventW(nullptr, TRUE, FALSE, nullptr);
            HANDLE waited = nullptr;
            DuplicateHandle(GetCurrentProcess(), ended, GetCurrentProcess(), &waited, 0, FALSE,
                            DUPLICATE_SAME_ACCESS);
            process.reset(waited);
            m_setupThread = std::thread([this, ended] {
                m_setupBody();
                SetEvent(ended);
                CloseHandle(ended);
            });
            return process.valid();
        });
        // The page's launch goes to the shell's stand-in above, as a file the
        // platform cannot start itself does.
        SetSetupLaunchFunction([](HWND owner, const std::wstring& file, CSetupProcess& setup) {
            UniqueKernelHandle process;
            if (!LaunchWithShell(owner, file, L"open", process))
                return false;
            setup.Follow(std::move(process));
            return true;
        });
        SetProcessListFunction([this](std::vector<ProcessEntry>& list) {
            ++m_listCalls;
            std::lock_guard<std::mutex> lock(m_processLock);
            list = m_processes;
            return true;
        });
        m_manager = std::make_unique<CUIManager>(m_session);
        ASSERT_TRUE(m_manager->Initialize());
    }

    void TearDown() override
    {
        if (m_setupThread.joinable())
            m_setupThread.join();
        m_wizard.reset();
        m_manager->Uninitialize();
        m_manager.reset();
        SetAdministratorCheck(nullptr);
        SetShellLaunchFunction(nullptr);
        SetSetupLaunchFunction(nullptr);
        SetProcessListFunction(nullptr);
        m_session.SnapshotPending = false;
        m_key.reset();
        m_environment.reset();
        OleUninitialize();
    }

    // The included lists of the include/exclude file beside the program.
    void WriteIncludeExclude(const std::vector<std::wstring>& folders, const std::vector<std::wstring>& keys)
    {
        std::wstring xml = L"<?xml version=\"1.0\" encoding=\"UTF-8\"?><IncludeExclude><FileSystem><IncludedItems>";
        for (const std::wstring& folder : folders)
            xml += L"<IncludedEntry Name=\"" + folder + L"\"/>";
        xml += L"</IncludedItems><ExcludedItems/></FileSystem><RegistrySystem><IncludedItems>";
        for (const std::wstring& key : keys)
            xml += L"<IncludedEntry Name=\"" + key + L"\"/>";
        xml += L"</IncludedItems><ExcludedItems/></RegistrySystem></IncludeExclude>";
        WriteFileBytes(m_environment->Program() + L"\\DefaultIncludeExclude.xml", ToUtf8(xml));
        // The lists read by an earlier wizard of this process go.
        m_session.Selection.FilesIncluded.clear();
        m_session.Selection.RegistryIncluded.clear();
    }

    WizardDriver& Open()
    {
        m_wizard.reset();
        m_wizard = std::make_unique<WizardDriver>(m_session, *m_manager);
        return *m_wizard;
    }

    WizardDriver& OpenAt(int position)
    {
        WizardDriver& w = Open();
        EXPECT_TRUE(w.Sheet().SetActivePage(position));
        EXPECT_TRUE(w.WaitForPosition(position));
        return w;
    }

    // Welcome and basic information with a new capture of App.exe (a copy of
    // this program), as a user goes.
    WizardDriver& OpenPreInstallation()
    {
        const std::wstring setup = m_environment->Files() + L"\\App.exe";
        EXPECT_TRUE(CopyFileW(ThisProgram().c_str(), setup.c_str(), FALSE));
        WizardDriver& w = Open();
        EXPECT_TRUE(w.LeaveWelcome(PagePosition::CaptureBasicInformation));
        w.Click(IDC_CREATE_PROJECT);
        w.Type(IDC_LOCATION, setup);
        w.Type(IDC_APPLICATION_NAME, L"App");
        w.Type(IDC_VERSION, L"1.0");
        w.Type(IDC_COMPANY_NAME, L"Acme");
        w.PressNext();
        EXPECT_TRUE(w.WaitForPosition(PagePosition::PreInstallationSnapshot));
        return w;
    }

    bool BackAndNextEnabled(WizardDriver& w)
    {
        return WaitUntil([&] { return w.IsButtonEnabled(ID_WIZBACK) && w.IsButtonEnabled(ID_WIZNEXT); });
    }

    // Puts an installer process in the list until the monitor has read it twice.
    void ShowInstallerWhileTheMonitorLooks(DWORD id)
    {
        {
            std::lock_guard<std::mutex> lock(m_processLock);
            m_processes.push_back({id, L"msiexec.exe"});
        }
        const int seen = m_listCalls;
        const ULONGLONG deadline = GetTickCount64() + 10000;
        while (m_listCalls < seen + 2 && GetTickCount64() < deadline)
            Sleep(1);
        std::lock_guard<std::mutex> lock(m_processLock);
        m_processes.pop_back();
    }

    std::unique_ptr<WizardEnvironment> m_environment;
    std::unique_ptr<TestRegistryKey> m_key;
    Session m_session;
    std::unique_ptr<CUIManager> m_manager;
    std::unique_ptr<WizardDriver> m_wizard;
    MessageBoxRecorder m_messages;
    std::wstring m_hive;
    std::wstring m_watched;
    std::vector<std::wstring> m_launches;
    bool m_launchFails = false;
    std::function<void()> m_setupBody = [] {};
    std::thread m_setupThread;
    std::mutex m_processLock;
    std::vector<ProcessEntry> m_processes;
    std::atomic<int> m_listCalls{0};
};

TEST_F(CapturePages, CaptureRoadFromBasicInformationToTheFirstReviewPage)
{
    m_setupBody = [this] {
        WriteFileBytes(m_watched + L"\\installed.txt", "installed");
        SetString(m_key->Key(), L"InstalledValue", L"yes");
    };
    WizardDriver& w = OpenPreInstallation();
    ASSERT_EQ(w.Position(), PagePosition::PreInstallationSnapshot);
    const std::wstring setup = m_environment->Files() + L"\\App.exe";

    // Pre Installation Snapshot: the selection, saved for a restart.
    EXPECT_EQ(w.Text(IDC_DESCRIPTION),
              L"This screen shows you the list of directories and registry keys that will be included in snapshot of "
              L"the system. You can change this default list of included items by clicking the \"Advanced\" button. "
              L"You may also modify items that are excluded by default by clicking the \"Advanced\" button.");
    EXPECT_EQ(TreeItems(w.Control(IDC_FOLDER_TREE)), std::vector<std::wstring>{m_watched});
    EXPECT_EQ(TreeItems(w.Control(IDC_HIVE_TREE)), std::vector<std::wstring>{m_hive});
    EXPECT_EQ(w.Text(IDC_FOLDERS_LABEL), L"Directories");
    EXPECT_TRUE(w.IsVisible(IDC_ADVANCED));
    EXPECT_TRUE(IsWindowEnabled(w.Control(IDC_ADVANCED)));
    EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(w.Control(IDC_FOLDER_TREE), WM_GETFONT, 0, 0)), DialogFont());
    EXPECT_TRUE(PathExists(m_session.Paths.SnapshotFolder() + L"\\ScanDetails.txt"));
    EXPECT_FALSE(ReadSnapshotTakenKey(m_session.Paths));
    CCaptureSnapshotDlg& pre = w.Sheet().PreInstallationPage();
    EXPECT_EQ(pre.ItemCount(), 2);

    ASSERT_TRUE(BackAndNextEnabled(w));
    w.PressNext();
    ASSERT_TRUE(WaitUntil([&] { return pre.IsCapturing() || pre.IsSnapshotDone(); }));
    EXPECT_EQ(pre.ProgressStep(), 500);
    ASSERT_TRUE(w.WaitForPosition(PagePosition::LaunchSetup, 60000)) << "the page did not move on by itself";
    EXPECT_TRUE(pre.IsSnapshotDone());
    EXPECT_TRUE(PathExists(m_manager->Coordinator().FileSide().FirstSnapshotPath()));
    EXPECT_TRUE(ReadSnapshotTakenKey(m_session.Paths)) << "Launch Setup marks the capture pending";
    EXPECT_FALSE(m_session.SnapshotPending) << "this is no resumed run";

    // Launch Setup: the setup's file name in both choices.
    EXPECT_EQ(w.Text(IDC_DESCRIPTION), LaunchDescription);
    EXPECT_EQ(w.Text(IDC_LAUNCH_SETUP), L"Launch App.exe");
    EXPECT_EQ(w.Text(IDC_DO_NOT_LAUNCH), L"Do not launch App.exe");
    EXPECT_EQ(SendMessageW(w.Control(IDC_LAUNCH_SETUP), BM_GETCHECK, 0, 0), BST_CHECKED);

    // Back shows the snapshot as done, and Next goes on without a second capture.
    ASSERT_TRUE(BackAndNextEnabled(w));
    w.PressBack();
    ASSERT_TRUE(w.WaitForPosition(PagePosition::PreInstallationSnapshot));
    EXPECT_EQ(w.Text(IDC_DESCRIPTION), L"Pre installation snapshot done");
    EXPECT_TRUE(w.IsVisible(IDC_FOLDER_TREE));
    EXPECT_FALSE(w.IsVisible(IDC_SNAPSHOT_STATUS));
    ASSERT_TRUE(BackAndNextEnabled(w));
    w.PressNext();
    ASSERT_TRUE(w.WaitForPosition(PagePosition::LaunchSetup));
    EXPECT_FALSE(pre.IsCapturing());

    // Launch: the setup runs (the test's stand-in installs a file and a value).
    ASSERT_TRUE(BackAndNextEnabled(w));
    w.PressNext();
    ASSERT_TRUE(w.WaitForPosition(PagePosition::PostInstallationSnapshot, 30000));
    EXPECT_EQ(m_launches, std::vector<std::wstring>{L"open " + setup});
    EXPECT_TRUE(w.Sheet().LaunchSetupPage().IsLaunched());
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(w.Sheet().LaunchSetupPage().Window(), IDC_LAUNCH_SETUP)));
    EXPECT_TRUE(w.IsButtonEnabled(IDCANCEL));

    // Post Installation Snapshot: the same selection, then capture and comparison.
    EXPECT_EQ(w.Text(IDC_DESCRIPTION),
              L"The application \"App\" has been installed.Corvane Repackager is now ready to take the post "
              L"installation snapshot.\r\n\r\nThe Corvane Repacakger will now take a second snapshot (based on the "
              L"pre-selected locations below) in order to determine the changes made by the installation.");
    EXPECT_EQ(w.Text(IDC_FOLDERS_LABEL), L"File System");
    EXPECT_EQ(TreeItems(w.Control(IDC_FOLDER_TREE)), std::vector<std::wstring>{m_watched});
    EXPECT_EQ(TreeItems(w.Control(IDC_HIVE_TREE)), std::vector<std::wstring>{m_hive});
    ASSERT_TRUE(BackAndNextEnabled(w));
    w.PressNext();
    CSecondSnapshotDlg& post = w.Sheet().PostInstallationPage();
    ASSERT_TRUE(WaitUntil([&] { return post.CurrentPhase() != CSecondSnapshotDlg::Phase::Ready; }));
    EXPECT_EQ(post.ProgressStep(), 500) << "two items";
    ASSERT_TRUE(w.WaitForPosition(PagePosition::ReviewFiles, 60000)) << "the page did not move on by itself";
    EXPECT_EQ(post.CurrentPhase(), CSecondSnapshotDlg::Phase::Compared);
    const std::string fileChanges = ReadFileBytes(m_session.Paths.FileChangesPath);
    EXPECT_NE(fileChanges.find("installed.txt"), std::string::npos) << fileChanges;
    EXPECT_EQ(fileChanges.find("before.txt"), std::string::npos) << fileChanges;
    const std::string registryChanges = ReadFileBytes(m_session.Paths.RegChangesPath);
    EXPECT_NE(registryChanges.find("InstalledValue"), std::string::npos) << registryChanges;
    EXPECT_TRUE(m_messages.shown.empty());

    // Coming back shows the finished text and offers only Next.
    ASSERT_TRUE(BackAndNextEnabled(w));
    w.PressBack();
    ASSERT_TRUE(w.WaitForPosition(PagePosition::PostInstallationSnapshot));
    EXPECT_TRUE(WaitUntil([&] { return w.IsButtonEnabled(ID_WIZNEXT) && !w.IsButtonEnabled(ID_WIZBACK); }));
    EXPECT_EQ(w.Text(IDC_DESCRIPTION), L"Corvane Repackager has taken pre and post installation snapshot and "
                                       L"comparision of both snapshot has been done.");
    EXPECT_TRUE(w.IsVisible(IDC_HIVE_TREE));
    EXPECT_FALSE(w.IsVisible(IDC_POST_PROGRESS));
    w.PressNext();
    EXPECT_TRUE(w.WaitForPosition(PagePosition::ReviewFiles));
}

TEST_F(CapturePages, LaunchSetupAsksForAChoiceReportsAFailedStartAndCanSkipTheLaunch)
{
    m_manager->SetSetupFilePath(L"C:\\Setups\\App\\setup.exe");
    WizardDriver& w = OpenAt(PagePosition::LaunchSetup);
    EXPECT_TRUE(ReadSnapshotTakenKey(m_session.Paths));
    EXPECT_EQ(w.Text(IDC_LAUNCH_SETUP), L"Launch setup.exe");
    EXPECT_EQ(w.Text(IDC_DO_NOT_LAUNCH), L"Do not launch setup.exe");

    // Neither choice made.
    SendMessageW(w.Control(IDC_LAUNCH_SETUP), BM_SETCHECK, BST_UNCHECKED, 0);
    ASSERT_TRUE(BackAndNextEnabled(w));
    w.PressNext();
    ASSERT_TRUE(WaitUntil([&] { return m_messages.shown.size() == 1; }));
    EXPECT_EQ(m_messages.shown[0].text, L"Please select any radio button to proceed");
    EXPECT_EQ(m_messages.shown[0].caption, L"Information");
    EXPECT_EQ(m_messages.shown[0].type, static_cast<UINT>(MB_OK | MB_ICONINFORMATION));
    EXPECT_EQ(w.Position(), PagePosition::LaunchSetup);
    EXPECT_TRUE(m_launches.empty());

    // A setup that cannot start: the system's reason, and the page stays as it was.
    m_launchFails = true;
    w.Click(IDC_LAUNCH_SETUP);
    w.PressNext();
    ASSERT_TRUE(WaitUntil([&] { return m_messages.shown.size() == 2; }));
    EXPECT_EQ(m_messages.shown[1].caption, L"Error");
    EXPECT_EQ(m_messages.shown[1].type, static_cast<UINT>(MB_OK | MB_ICONERROR));
    const std::wstring& text = m_messages.shown[1].text;
    EXPECT_NE(text.find(L"C:\\Setups\\App\\setup.exe"), std::wstring::npos) << ToUtf8(text);
    const std::wstring reason = SystemText(ERROR_FILE_NOT_FOUND);
    ASSERT_FALSE(reason.empty());
    EXPECT_EQ(text.substr(text.size() - std::min(text.size(), reason.size())), reason) << ToUtf8(text);
    EXPECT_EQ(m_launches, std::vector<std::wstring>{L"open C:\\Setups\\App\\setup.exe"});
    PumpMessages();
    EXPECT_EQ(w.Position(), PagePosition::LaunchSetup);
    EXPECT_FALSE(w.Sheet().LaunchSetupPage().IsLaunched());
    EXPECT_TRUE(IsWindowEnabled(w.Control(IDC_LAUNCH_SETUP)));
    EXPECT_TRUE(IsWindowEnabled(w.Control(IDC_DO_NOT_LAUNCH)));
    EXPECT_TRUE(BackAndNextEnabled(w));
    EXPECT_TRUE(w.IsButtonEnabled(IDCANCEL));

    // Not launched: nothing runs and nothing is watched.
    const int listsSoFar = m_listCalls;
    w.Click(IDC_DO_NOT_LAUNCH);
    w.PressNext();
    ASSERT_TRUE(w.WaitForPosition(PagePosition::PostInstallationSnapshot));
    EXPECT_EQ(m_launches.size(), 1u);
    EXPECT_EQ(m_listCalls, listsSoFar);
    EXPECT_EQ(m_messages.shown.size(), 2u);
    // Not a resumed run: Back returns to Launch Setup.
    ASSERT_TRUE(BackAndNextEnabled(w));
    w.PressBack();
    EXPECT_TRUE(w.WaitForPosition(PagePosition::LaunchSetup));
}

TEST_F(CapturePages, InstallerStartedByTheSetupIsWarnedAndQuitEndsTheCapture)
{
    struct Case
    {
        const char* name;
        bool runningBefore;
        int answer;
        bool warned;
        bool quits;
    };
    const Case cases[] = {
        {"installer already running before the launch", true, IDOK, false, false},
        {"installer started by the setup, ignored", false, IDOK, true, false},
        {"installer started by the setup, quit", false, IDCANCEL, true, true},
    };
    m_manager->SetSetupFilePath(L"C:\\Setups\\App\\setup.exe");
    const std::wstring notes = m_environment->Program() + L"\\DeploymentNotes.html";
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, AnswerWarning);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        g_warning = WarningAnswer{};
        g_warning.button = c.answer;
        m_launches.clear();
        m_processes = c.runningBefore ? std::vector<ProcessEntry>{{500, L"msiexec.exe"}} : std::vector<ProcessEntry>{};
        m_setupBody = [this, &c] {
            if (c.runningBefore) {
                const int seen = m_listCalls;
                const ULONGLONG deadline = GetTickCount64() + 10000;
                while (m_listCalls < seen + 2 && GetTickCount64() < deadline)
                    Sleep(1);
            } else {
                ShowInstallerWhileTheMonitorLooks(600);
            }
        };
        // What the first snapshot left.
        WriteFileBytes(m_session.Paths.SnapshotFolder() + L"\\FirstSnapShot.txt", "snapshot");
        WriteFileBytes(m_session.Paths.IniBackupFolder + L"\\app.ini", "[a]");

        WizardDriver& w = OpenAt(PagePosition::LaunchSetup);
        ASSERT_TRUE(BackAndNextEnabled(w));
        w.PressNext();
        if (c.quits) {
            ASSERT_TRUE(WaitUntil([&] { return w.Sheet().IsFinished(); }, 30000)) << "the wizard stayed open";
            EXPECT_FALSE(PathExists(m_session.Paths.SnapshotFolder()));
            EXPECT_FALSE(PathExists(m_session.Paths.IniBackupFolder));
            EXPECT_FALSE(ReadSnapshotTakenKey(m_session.Paths));
            EXPECT_FALSE(m_session.SnapshotPending);
            EXPECT_EQ(m_launches, (std::vector<std::wstring>{L"open C:\\Setups\\App\\setup.exe", L"open " + notes}));
            EXPECT_TRUE(PathExists(ExecutableFolder() + L"\\..\\bin\\DeploymentNotes.html"));
        } else {
            ASSERT_TRUE(w.WaitForPosition(PagePosition::PostInstallationSnapshot, 30000));
            EXPECT_TRUE(ReadSnapshotTakenKey(m_session.Paths));
            EXPECT_TRUE(PathExists(m_session.Paths.SnapshotFolder() + L"\\FirstSnapShot.txt"));
            EXPECT_EQ(m_launches.size(), 1u);
        }
        EXPECT_EQ(g_warning.shown, c.warned ? 1 : 0);
        if (c.warned) {
            EXPECT_EQ(g_warning.text,
                      L"This installation appears to be a Windows Installer setup and should not be repackaged. "
                      L"Windows Installer setups may be customized using transform files. You will find details on "
                      L"most applications and how to properly customize their deployment at " +
                          notes);
            EXPECT_TRUE(g_warning.dialogFont);
        }
        EXPECT_FALSE(w.Sheet().LaunchSetupPage().Worker().IsRunning()) << "the monitor outlived the setup";
        EXPECT_TRUE(m_messages.shown.empty());
        m_wizard.reset();
        EnsureFolder(m_session.Paths.SnapshotFolder());
        EnsureFolder(m_session.Paths.IniBackupFolder);
    }
    KillTimer(nullptr, timer);
}

TEST_F(CapturePages, LaunchSetupWaitsForTheProgramsTheSetupStartsAndCanGoOnWithoutThem)
{
    // The real launch of a bootstrapper that exits at once while its inner setup works.
    SetSetupLaunchFunction(nullptr);
    m_manager->SetSetupFilePath(ExecutableFolder() + L"\\setup_tree.exe");
    // How long the inner setup works; whether the user goes on while it still runs.
    struct Case { const char* what; int milliseconds; bool goOn; };
    const Case cases[] = {
        {"the inner setup ends by itself", 2500, false},
        {"a program left running, the user goes on", 120000, true},
    };
    const UINT_PTR timer = SetTimer(nullptr, 0, 100, PressGoOnWhenShown);
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::wstring marker = m_environment->Files() + L"\\inner" + std::to_wstring(++n) + L".txt";
        ScopedEnvironment arguments(L"SETUP_TREE_ARGS",
                                    (L"1 " + std::to_wstring(c.milliseconds) + L" 0 \"" + marker + L"\"").c_str());
        WizardDriver& w = OpenAt(PagePosition::LaunchSetup);
        CLaunchSetupDlg& page = w.Sheet().LaunchSetupPage();
        g_goOn = GoOnPress{};
        g_goOn.page = c.goOn ? page.Window() : nullptr;
        ASSERT_TRUE(BackAndNextEnabled(w));
        w.PressNext();
        ASSERT_TRUE(w.WaitForPosition(PagePosition::PostInstallationSnapshot, 60000));
        EXPECT_EQ(page.WentOnWithoutWaiting(), c.goOn);
        if (!c.goOn) {
            EXPECT_TRUE(PathExists(marker)) << "the page went on before the inner setup had finished";
            EXPECT_FALSE(g_goOn.pressed);
        } else {
            EXPECT_TRUE(g_goOn.pressed) << "the page did not offer to go on";
            EXPECT_FALSE(PathExists(marker));
            ASSERT_EQ(page.ProgramsWaitedFor().size(), 1u);
            const RunningProgram inner = page.ProgramsWaitedFor()[0];
            EXPECT_EQ(inner.name, L"setup_tree.exe");
            EXPECT_EQ(g_goOn.text, CLaunchSetupDlg::StillRunningText({inner}));
            EXPECT_NE(g_goOn.text.find(L"setup_tree.exe (" + std::to_wstring(inner.id) + L")"), std::wstring::npos);
            EXPECT_FALSE(IsWindowVisible(GetDlgItem(page.Window(), IDC_STOP_WAITING)));
            UniqueKernelHandle left(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, inner.id));
            ASSERT_TRUE(left.valid());
            TerminateProcess(left.get(), 0);
            WaitForSingleObject(left.get(), 10000);
        }
        EXPECT_TRUE(m_messages.shown.empty());
        m_wizard.reset();
    }
    KillTimer(nullptr, timer);
}

TEST_F(CapturePages, EmptySelectionAsksBeforeCapturingNothing)
{
    WriteIncludeExclude({}, {});
    WizardDriver& w = OpenPreInstallation();
    CCaptureSnapshotDlg& pre = w.Sheet().PreInstallationPage();
    EXPECT_EQ(pre.ItemCount(), 0);
    EXPECT_TRUE(TreeItems(w.Control(IDC_FOLDER_TREE)).empty());

    m_messages.answer = IDNO;
    ASSERT_TRUE(BackAndNextEnabled(w));
    w.PressNext();
    ASSERT_TRUE(WaitUntil([&] { return m_messages.shown.size() == 1; }));
    EXPECT_EQ(m_messages.shown[0].text, L"No item selected for snapshot. Do you wish to continue?");
    EXPECT_EQ(m_messages.shown[0].caption, L"Warning");
    EXPECT_EQ(m_messages.shown[0].type, static_cast<UINT>(MB_YESNO | MB_ICONWARNING));
    PumpMessages();
    EXPECT_FALSE(pre.IsCapturing());
    EXPECT_EQ(w.Position(), PagePosition::PreInstallationSnapshot);
    EXPECT_TRUE(w.IsVisible(IDC_FOLDER_TREE));

    m_messages.answer = IDYES;
    w.PressNext();
    ASSERT_TRUE(w.WaitForPosition(PagePosition::LaunchSetup, 30000));
    EXPECT_EQ(m_messages.shown.size(), 2u);
    EXPECT_TRUE(pre.IsSnapshotDone());
    EXPECT_EQ(pre.ProgressStep(), 0) << "no item leaves the step as it was";
}

TEST_F(CapturePages, CancelDuringTheSecondSnapshotKeepsThePendingCapture)
{
    // The first snapshot, as the first page would have taken it.
    CEnumerateWrapper& coordinator = m_manager->Coordinator();
    ASSERT_FALSE(coordinator.IsFirstSnapshotTaken());
    ASSERT_TRUE(coordinator.CaptureSnapshot({{L"File", {m_watched}}, {L"Registry", {m_hive}}}));
    ASSERT_TRUE(WriteSnapshotTakenKey(m_session.Paths));
    // A long second capture: the system folder, many times over.
    const wchar_t* windir = _wgetenv(L"windir");
    const std::wstring system = windir ? windir : L"C:\\windows";
    m_manager->SetScanDetails({{L"File", std::vector<std::wstring>(200, system)},
                               {L"SetupFileInfo", {L"App", L"1.0", L"Acme"}}});
    // Saved as for a restart: the welcome page reads it back.
    ASSERT_TRUE(m_manager->WriteScanDetails());
    m_session.Progress.SetStepCount(0);

    WizardDriver& w = OpenAt(PagePosition::PostInstallationSnapshot);
    CSecondSnapshotDlg& post = w.Sheet().PostInstallationPage();
    EXPECT_EQ(post.ItemCount(), 200);
    ASSERT_TRUE(BackAndNextEnabled(w));
    w.PressNext();
    ASSERT_TRUE(WaitUntil([&] { return m_session.Progress.StepCount() >= 1; }, 60000))
        << "the capture never got going";
    ASSERT_EQ(post.CurrentPhase(), CSecondSnapshotDlg::Phase::Capturing);
    EXPECT_FALSE(w.IsButtonEnabled(ID_WIZNEXT));
    EXPECT_FALSE(w.IsButtonEnabled(ID_WIZBACK));
    EXPECT_FALSE(w.IsVisible(IDC_FOLDER_TREE));
    EXPECT_TRUE(w.IsVisible(IDC_POST_PROGRESS));
    EXPECT_EQ(w.Text(IDC_DESCRIPTION), L"Corvane Repackager is now taking post installation snapshot.");

    w.Sheet().PressButton(PSBTN_CANCEL);
    ASSERT_TRUE(WaitUntil([&] { return w.Sheet().IsFinished(); })) << "Cancel did not close the wizard";
    EXPECT_FALSE(post.Worker().IsRunning());
    WaitUntil([] { return false; }, 300);
    EXPECT_EQ(post.CurrentPhase(), CSecondSnapshotDlg::Phase::Capturing) << "a late tick moved the page on";
    // Resumable: the key and the first snapshot stay, no comparison was written.
    EXPECT_TRUE(ReadSnapshotTakenKey(m_session.Paths));
    EXPECT_TRUE(PathExists(coordinator.FileSide().FirstSnapshotPath()));
    EXPECT_TRUE(coordinator.IsFirstSnapshotTaken());
    EXPECT_FALSE(PathExists(m_session.Paths.FileChangesPath));
}

} // namespace

namespace {

// Where a capture writes its snapshot file, made a folder so that it cannot be written.
struct BlockedFile
{
    explicit BlockedFile(const std::wstring& path) : path(path)
    {
        DeleteFileW(this->path.c_str());
        CreateDirectoryW(this->path.c_str(), nullptr);
    }
    ~BlockedFile() { Clear(); }
    void Clear() const { RemoveDirectoryW(path.c_str()); }
    std::wstring path;
};

} // namespace

TEST_F(CapturePages, AFailedCaptureOrComparisonStaysOnItsPageAndCanBeTriedAgain)
{
    enum class Fails { FirstSnapshot, SecondSnapshot, Comparison };
    struct Case { const char* name; Fails fails; bool retry /* else Cancel */; const wchar_t* what; };
    const Case cases[] = {
        {"first snapshot, then again", Fails::FirstSnapshot, true, L"The snapshot of the system could not be taken."},
        {"second snapshot, then Cancel", Fails::SecondSnapshot, false,
         L"The post installation snapshot could not be taken."},
        {"comparison, then again", Fails::Comparison, true, L"The snapshots could not be compared."},
    };
    CEnumerateWrapper& coordinator = m_manager->Coordinator();
    const std::wstring raw = m_session.Paths.RawProjectFilePath;
    const std::string rawProject = ReadFileBytes(raw);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_messages.shown.clear();
        m_session.SnapshotPending = false;
        DiscardPendingCapture(m_session.Paths);
        coordinator.IsFirstSnapshotTaken();
        std::unique_ptr<BlockedFile> blocked;
        WizardDriver* driven = nullptr;
        if (c.fails == Fails::FirstSnapshot) {
            blocked = std::make_unique<BlockedFile>(coordinator.FileSide().FirstSnapshotPath());
            driven = &OpenPreInstallation();
        } else {
            // A pending capture, resumed on the second page.
            ASSERT_TRUE(coordinator.CaptureSnapshot({{L"File", {m_watched}}, {L"Registry", {m_hive}}}));
            ASSERT_TRUE(WriteSnapshotTakenKey(m_session.Paths));
            m_manager->SetScanDetails({{L"File", {m_watched}}, {L"Registry", {m_hive}},
                                       {L"SetupFileInfo", {L"App", L"1.0", L"Acme"}}});
            ASSERT_TRUE(m_manager->WriteScanDetails());
            if (c.fails == Fails::SecondSnapshot)
                blocked = std::make_unique<BlockedFile>(coordinator.FileSide().SecondSnapshotPath());
            else
                WriteFileBytes(raw, "<not a project");
            driven = &OpenAt(PagePosition::PostInstallationSnapshot);
        }
        WizardDriver& w = *driven;
        const int page = w.Position();
        ASSERT_TRUE(BackAndNextEnabled(w));
        w.PressNext();
        ASSERT_TRUE(WaitUntil([&] { return !m_messages.shown.empty(); }, 60000)) << "no failure shown";
        PumpMessages();
        // The page stays, names the failure and the error log, and offers Next again.
        const std::wstring text = m_messages.shown[0].text;
        EXPECT_EQ(m_messages.shown[0].caption, L"Error");
        EXPECT_EQ(text.rfind(c.what, 0), 0u) << ToUtf8(text);
        EXPECT_NE(text.find(L"error log"), std::wstring::npos) << ToUtf8(text);
        const bool pending = c.fails != Fails::FirstSnapshot;
        EXPECT_EQ(text.find(L"The capture stays pending") != std::wstring::npos, pending) << ToUtf8(text);
        EXPECT_EQ(w.Text(IDC_DESCRIPTION), text);
        EXPECT_EQ(w.Position(), page);
        EXPECT_TRUE(w.IsVisible(IDC_FOLDER_TREE));
        EXPECT_TRUE(BackAndNextEnabled(w));
        EXPECT_EQ(ReadSnapshotTakenKey(m_session.Paths), pending);
        if (pending) {
            EXPECT_EQ(w.Sheet().PostInstallationPage().CurrentPhase(), CSecondSnapshotDlg::Phase::Ready);
            EXPECT_TRUE(coordinator.CheckFirstSnapshot(1)) << "the first snapshot stays";
        } else {
            EXPECT_FALSE(w.Sheet().PreInstallationPage().IsSnapshotDone());
            EXPECT_FALSE(coordinator.FileSide().FirstSnapshotTaken()) << "a failed first snapshot is none";
            EXPECT_TRUE(IsWindowEnabled(w.Control(IDC_ADVANCED)));
        }

        if (blocked)
            blocked->Clear();
        WriteFileBytes(raw, rawProject);
        if (c.retry) {
            w.PressNext();
            const int next = pending ? PagePosition::ReviewFiles : PagePosition::LaunchSetup;
            EXPECT_TRUE(w.WaitForPosition(next, 60000)) << "the second try did not go on";
            EXPECT_EQ(m_messages.shown.size(), 1u);
        } else {
            w.Sheet().PressButton(PSBTN_CANCEL);
            ASSERT_TRUE(WaitUntil([&] { return w.Sheet().IsFinished(); }));
            EXPECT_TRUE(ReadSnapshotTakenKey(m_session.Paths)) << "Cancel leaves the capture pending";
            EXPECT_TRUE(PathExists(coordinator.FileSide().FirstSnapshotPath()));
        }
        m_wizard.reset();
    }
}
