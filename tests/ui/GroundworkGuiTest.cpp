// What the pages stand on, with real windows: a worker watched from a window
// timer, Cancel of the real sheet while a capture runs, the modal dialog
// base, and the replaceable platform functions.
#include "common/Paths.h"
#include "common/Progress.h"
#include "common/StopToken.h"
#include "common/Utf.h"
#include "common/Worker.h"
#include "manager/UIManager.h"
#include "tests/ui/WizardHarness.h"
#include "ui/dialogs/AboutDlg.h"
#include "ui/framework/UiServices.h"
#include "ui/wizard/Resource.h"

#include <gtest/gtest.h>

#include <ole2.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <stdexcept>

namespace {

class Groundwork : public ::testing::Test
{
protected:
    void SetUp() override
    {
        OleInitialize(nullptr);
        m_environment = std::make_unique<WizardEnvironment>(m_session);
        SetAdministratorCheck([] { return true; });
        m_manager = std::make_unique<CUIManager>(m_session);
        ASSERT_TRUE(m_manager->Initialize());
    }

    void TearDown() override
    {
        m_manager->Uninitialize();
        m_manager.reset();
        SetAdministratorCheck(nullptr);
        m_environment.reset();
        OleUninitialize();
    }

    std::unique_ptr<WizardEnvironment> m_environment;
    MessageBoxRecorder m_messages;
    Session m_session;
    std::unique_ptr<CUIManager> m_manager;
};

// A window that watches a worker from a 50 ms timer, as the capture pages do.
class CWatchingDialog : public CDialog
{
public:
    CWatchingDialog() : CDialog(IDD_ABOUTBOX) {}
    CWorker worker;
    bool sawRunning = false;
    bool sawDone = false;
    int result = -1;

protected:
    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        SetTimer(Window(), 1035, 50, nullptr);
        return TRUE;
    }
    void OnTimer(UINT_PTR) override
    {
        if (worker.IsRunning())
            sawRunning = true;
        if (worker.IsDone()) {
            sawDone = true;
            result = worker.Result();
            KillTimer(Window(), 1035);
        }
    }
};

} // namespace

TEST_F(Groundwork, AWorkersEndAndResultAreSeenByTheTimer)
{
    CWatchingDialog dialog;
    ASSERT_NE(dialog.Create(nullptr), nullptr);
    std::atomic<bool> release{false};
    ASSERT_TRUE(dialog.worker.Start([&] {
        while (!release)
            Sleep(1);
        return 1;
    }));
    EXPECT_FALSE(dialog.worker.Start([] { return 1; })) << "one operation at a time";
    ASSERT_TRUE(WaitUntil([&] { return dialog.sawRunning; }));
    EXPECT_FALSE(dialog.sawDone);
    release = true;
    ASSERT_TRUE(WaitUntil([&] { return dialog.sawDone; }));
    EXPECT_EQ(dialog.result, 1);

    // The same worker runs the next operation; an exception gives 0, a stop
    // request reaches the operation through its thread's token.
    struct Case
    {
        const char* name;
        std::function<int()> operation;
        bool stop;
        int expected;
    };
    const Case cases[] = {
        {"throws", [] () -> int { throw std::runtime_error("boom"); }, false, 0},
        {"stopped", [] {
             while (!StopRequested())
                 Sleep(1);
             return 5;
         }, true, 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        dialog.sawDone = false;
        ASSERT_TRUE(dialog.worker.Start(c.operation));
        SetTimer(dialog.Window(), 1035, 50, nullptr);
        if (c.stop)
            dialog.worker.RequestStop();
        ASSERT_TRUE(WaitUntil([&] { return dialog.sawDone; }));
        EXPECT_EQ(dialog.result, c.expected);
    }
    DestroyWindow(dialog.Window());
}

TEST_F(Groundwork, CancelDuringACaptureStopsItAndClosesTheSheet)
{
    // A long capture: the system folder, many times over.
    const wchar_t* windir = _wgetenv(L"windir");
    const std::wstring system = windir ? windir : L"C:\\windows";
    const ScanDetails details{{L"File", std::vector<std::wstring>(200, system)}};
    CEnumerateWrapper& coordinator = m_manager->Coordinator();
    ASSERT_FALSE(coordinator.IsFirstSnapshotTaken());
    m_session.Progress.SetStepCount(0);
    {
        WizardDriver w(m_session, *m_manager);
        CPropertyPage& page = *w.Sheet().ActivePage();
        ASSERT_TRUE(page.Worker().Start([&] { return coordinator.CaptureSnapshot(details) ? 1 : 0; }));
        ASSERT_TRUE(WaitUntil([&] { return m_session.Progress.StepCount() >= 1; }, 60000))
            << "the capture never got going";
        ASSERT_TRUE(page.Worker().IsRunning()) << "the capture ended before Cancel";

        w.Sheet().PressButton(PSBTN_CANCEL);
        ASSERT_TRUE(WaitUntil([&] { return w.Sheet().IsFinished(); })) << "Cancel did not close the sheet";
        EXPECT_FALSE(page.Worker().IsRunning()) << "a worker outlived the sheet";
        EXPECT_TRUE(page.Worker().IsDone());
        EXPECT_EQ(page.Worker().Result(), 0);
        EXPECT_LT(m_session.Progress.StepCount(), 200);
    }
    EXPECT_FALSE(PathExists(coordinator.FileSide().FirstSnapshotPath()));
    EXPECT_FALSE(coordinator.IsFirstSnapshotTaken()) << "a stopped first capture must not count";
}

namespace {

// Refuses OK once with a message, throws from one timer tick, then accepts.
class CTestDialog : public CDialog
{
public:
    CTestDialog() : CDialog(IDD_ABOUTBOX) {}
    std::wstring year = L"1999";
    int ticks = 0;
    int okPresses = 0;

protected:
    void DoDataExchange(CDataExchange& exchange) override { exchange.Text(IDC_ABOUT_YEAR, year); }
    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        SetTimer(Window(), 1, 20, nullptr);
        return TRUE;
    }
    void OnTimer(UINT_PTR) override
    {
        ++ticks;
        if (ticks == 1)
            throw std::runtime_error("a handler failed");
        if (ticks == 2)
            SetItemText(IDC_ABOUT_YEAR, L"2027");
        if (ticks >= 3)
            SendMessageW(Window(), WM_COMMAND, IDOK, 0);
    }
    void OnOK() override
    {
        if (++okPresses == 1) {
            ShowMessage(L"Not yet", L"Warning", MB_OK | MB_ICONWARNING);
            return;
        }
        CDialog::OnOK();
    }
};

} // namespace

TEST_F(Groundwork, AModalDialogExchangesItsDataAndSurvivesAFailingHandler)
{
    CTestDialog dialog;
    EXPECT_EQ(dialog.DoModal(nullptr), IDOK);
    EXPECT_EQ(dialog.year, L"2027") << "OK copies the controls into the members";
    EXPECT_EQ(dialog.okPresses, 2) << "the first OK was refused and the dialog stayed";
    EXPECT_GE(dialog.ticks, 4) << "the dialog went on after the exception";
    ASSERT_EQ(m_messages.shown.size(), 1u);
    EXPECT_EQ(m_messages.shown[0].text, L"Not yet");
    EXPECT_EQ(m_messages.shown[0].caption, L"Warning");
    EXPECT_EQ(dialog.Window(), nullptr);

    // The About box stands on the same base.
    CAboutDlg about;
    HWND window = about.Create(nullptr);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(reinterpret_cast<HFONT>(SendDlgItemMessageW(window, IDC_ABOUT_VERSION, WM_GETFONT, 0, 0)), DialogFont());
    SendMessageW(window, WM_COMMAND, IDOK, 0);
    EXPECT_FALSE(IsWindow(window));
}

TEST_F(Groundwork, PlatformFunctionsRunForRealOrThroughTheirStandIns)
{
    // Real: this process is listed by its module name, a program starts and its handle is given.
    std::vector<ProcessEntry> processes;
    ASSERT_TRUE(ListProcesses(processes));
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    const std::wstring selfName = std::wstring(self).substr(std::wstring(self).find_last_of(L'\\') + 1);
    const auto me = std::find_if(processes.begin(), processes.end(),
                                 [](const ProcessEntry& p) { return p.id == GetCurrentProcessId(); });
    ASSERT_NE(me, processes.end());
    EXPECT_EQ(_wcsicmp(me->name.c_str(), selfName.c_str()), 0) << ToUtf8(me->name);

    UniqueKernelHandle process;
    ASSERT_TRUE(LaunchWithShell(nullptr, ExecutableFolder() + L"\\..\\bin\\makecab.exe", L"open", process));
    ASSERT_TRUE(process.valid());
    EXPECT_EQ(WaitForSingleObject(process.get(), 30000), WAIT_OBJECT_0);
    EXPECT_FALSE(LaunchWithShell(nullptr, m_environment->Files() + L"\\missing.exe", L"open", process));

    // Stand-ins answer instead.
    std::vector<std::wstring> calls;
    SetProcessListFunction([&](std::vector<ProcessEntry>& list) {
        calls.push_back(L"list");
        list = {{42, L"msiexec.exe"}};
        return true;
    });
    SetShellLaunchFunction([&](HWND, const std::wstring& file, const std::wstring& verb, UniqueKernelHandle& handle) {
        calls.push_back(verb + L" " + file);
        handle.reset();
        return true;
    });
    SetFolderBrowseFunction([&](HWND, const std::wstring& title) {
        calls.push_back(title);
        return std::wstring(L"C:\\Chosen");
    });
    ASSERT_TRUE(ListProcesses(processes));
    EXPECT_EQ(processes.size(), 1u);
    EXPECT_TRUE(LaunchWithShell(nullptr, L"C:\\setup.exe", L"open", process));
    EXPECT_EQ(BrowseForFolder(nullptr, L"Pick a folder, any folder:"), L"C:\\Chosen");
    EXPECT_EQ(calls, (std::vector<std::wstring>{L"list", L"open C:\\setup.exe", L"Pick a folder, any folder:"}));
    SetProcessListFunction(nullptr);
    SetShellLaunchFunction(nullptr);
    SetFolderBrowseFunction(nullptr);
}
