#include "ui/pages/LaunchSetupPage.h"

#include "common/Config.h"
#include "common/Log.h"
#include "common/Utf.h"
#include "manager/UIManager.h"
#include "ui/dialogs/WarningMSIDetected.h"
#include "ui/framework/UiServices.h"
#include "ui/wizard/Resource.h"

namespace {

constexpr wchar_t Description[] =
    L"Corvane Repackager is now ready to launch the installation to be repackaged.\r\n\r\nChoose the first option to "
    L"launch the selected application for installation and then move to next screen. Alternately use the second "
    L"option to move to next screen after externally launching the application.";

// Waits up to `milliseconds` for `handle` (none: only the time) while the
// windows keep painting and timers keep firing. Input goes only to `accepted`
// (none: nowhere); what was typed or clicked elsewhere is dropped.
void WaitWithoutInput(HANDLE handle, DWORD milliseconds, HWND accepted)
{
    const DWORD wake = QS_PAINT | QS_TIMER | QS_SENDMESSAGE | (accepted ? QS_INPUT : 0);
    MsgWaitForMultipleObjects(handle ? 1 : 0, &handle, FALSE, milliseconds, wake);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE | PM_QS_PAINT | PM_QS_SENDMESSAGE))
        DispatchMessageW(&message);
    while (PeekMessageW(&message, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE))
        DispatchMessageW(&message);
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE | PM_QS_INPUT)) {
        if (accepted && message.hwnd == accepted) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
}

} // namespace

CLaunchSetupDlg::CLaunchSetupDlg(Session& session, CUIManager& manager)
    : CPropertyPage(IDD_LAUNCH_SETUP, L"Corvane Repackager 1.0: Launch Setup"), m_session(session),
      m_manager(manager)
{
}

std::wstring CLaunchSetupDlg::FileNameOf(const std::wstring& path)
{
    const std::size_t slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::wstring CLaunchSetupDlg::LaunchFailureText(const std::wstring& path, DWORD error)
{
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
        reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring reason = length > 0 && buffer ? std::wstring(buffer, length) : L"Error " + std::to_wstring(error);
    if (buffer)
        LocalFree(buffer);
    while (!reason.empty() && (reason.back() == L'\r' || reason.back() == L'\n' || reason.back() == L' '))
        reason.pop_back();
    return L"The setup program could not be started:\r\n" + path + L"\r\n\r\n" + reason;
}

BOOL CLaunchSetupDlg::OnInitDialog()
{
    CPropertyPage::OnInitDialog();
    // From now on a restart offers to resume the capture.
    WriteSnapshotTakenKey(m_session.Paths);
    for (int id : {IDC_DESCRIPTION, IDC_LAUNCH_SETUP, IDC_DO_NOT_LAUNCH, IDC_STILL_RUNNING, IDC_STOP_WAITING})
        SetItemFont(id, DialogFont());
    SetItemText(IDC_DESCRIPTION, Description);

    CUIManager* manager = &m_manager;
    const std::wstring name = FileNameOf(manager->GetSetupFilePath());
    SetItemText(IDC_LAUNCH_SETUP, L"Launch " + name);
    SetItemText(IDC_DO_NOT_LAUNCH, L"Do not launch " + name);
    CheckRadioButton(Window(), IDC_LAUNCH_SETUP, IDC_DO_NOT_LAUNCH, IDC_LAUNCH_SETUP);
    return TRUE;
}

BOOL CLaunchSetupDlg::OnSetActive()
{
    SetWizardButtons(PSWIZB_BACK | PSWIZB_NEXT);
    return CPropertyPage::OnSetActive();
}

LRESULT CLaunchSetupDlg::OnWizardBack()
{
    return IDD_PRE_INSTALLATION;
}

void CLaunchSetupDlg::SetNavigation(bool enabled) const
{
    for (int id : {ID_WIZNEXT, ID_WIZBACK, IDCANCEL})
        EnableSheetButton(id, enabled);
}

LRESULT CLaunchSetupDlg::OnWizardNext()
{
    if (!IsChecked(IDC_LAUNCH_SETUP) && !IsChecked(IDC_DO_NOT_LAUNCH)) {
        ShowMessage(L"Please select any radio button to proceed", L"Information", MB_OK | MB_ICONINFORMATION);
        return StayOnPage;
    }
    if (m_launched || IsChecked(IDC_DO_NOT_LAUNCH))
        return IDD_POST_INSTALLATION;

    CUIManager* manager = &m_manager;
    EnableItem(IDC_LAUNCH_SETUP, false);
    EnableItem(IDC_DO_NOT_LAUNCH, false);
    SetItemText(IDC_DESCRIPTION, Description);
    SetNavigation(false);
    const std::wstring setupPath = manager->GetSetupFilePath();
    if (!LaunchAndWatch(setupPath)) {
        const DWORD error = GetLastError();
        EnableItem(IDC_LAUNCH_SETUP, true);
        EnableItem(IDC_DO_NOT_LAUNCH, true);
        SetNavigation(true);
        ShowMessage(LaunchFailureText(setupPath, error), L"Error", MB_OK | MB_ICONERROR);
        return StayOnPage;
    }
    SetNavigation(true);
    m_launched = true;

    if (m_watch.InstallerStarted()) {
        CWarningMSIDetected warning(DeploymentNotesAddress(m_session.Paths));
        if (warning.DoModal(SheetWindow()) == IDCANCEL) {
            Quit();
            return StayOnPage;
        }
    }
    return IDD_POST_INSTALLATION;
}

bool CLaunchSetupDlg::LaunchAndWatch(const std::wstring& setupPath)
{
    m_watch.TakeBefore();
    CSetupProcess setup;
    m_session.Capture.Begin(CaptureStep::Setup);
    if (!LaunchSetup(SheetWindow(), setupPath, setup))
        return false;
    m_session.Capture.SetupProgram = setupPath;
    Worker().Start([this] { return m_watch.Monitor(); });
    // A setup handed to a program that was already running gives no handle:
    // there is nothing to wait for.
    WaitForSetup(setup);
    m_session.Capture.End(CaptureStep::Setup);
    if (DWORD exitCode = 0; !m_wentOn && setup.Process() && setup.ExitCode(exitCode))
        m_session.Capture.SetupExitCode = exitCode;
    m_watch.StopMonitoring();
    // The lists are read only once the monitor has ended.
    Worker().WaitWhilePainting();
    return true;
}

std::wstring CLaunchSetupDlg::StillRunningText(const std::vector<RunningProgram>& programs)
{
    return L"The setup has ended, but programs it started are still running: " + DescribePrograms(programs) +
           L".\r\n\r\nThe second snapshot waits until they end. Choose \"Continue without waiting\" if they "
           L"are meant to keep running (the installed application, a tray program).";
}

void CLaunchSetupDlg::WaitForSetup(CSetupProcess& setup)
{
    m_waitedFor.clear();
    m_wentOn = false;
    m_goOnPressed = false;
    constexpr DWORD Slice = 100;  // how often the wait looks at the job
    constexpr ULONGLONG ListEvery = 1000;
    ULONGLONG listed = 0;
    while (!setup.WaitForAll(0)) {
        const bool ownEnded = setup.SetupHasEnded();
        if (ownEnded && GetTickCount64() - listed >= ListEvery) {
            const std::vector<RunningProgram> running = setup.StillRunning();
            if (!running.empty()) {
                m_waitedFor = running;
                SetItemText(IDC_STILL_RUNNING, StillRunningText(running));
                ShowItem(IDC_STILL_RUNNING, true);
                ShowItem(IDC_STOP_WAITING, true);
            }
            listed = GetTickCount64();
        }
        if (m_goOnPressed) {
            m_wentOn = true;
            LogError(L"CLaunchSetupDlg: went on without waiting for " + DescribePrograms(setup.StillRunning()));
            break;
        }
        WaitWithoutInput(ownEnded ? nullptr : setup.Process(), Slice,
                         ownEnded ? GetDlgItem(Window(), IDC_STOP_WAITING) : nullptr);
    }
    ShowItem(IDC_STILL_RUNNING, false);
    ShowItem(IDC_STOP_WAITING, false);
}

bool CLaunchSetupDlg::OnCommand(WORD controlId, WORD code, HWND control)
{
    if (controlId == IDC_STOP_WAITING && code == BN_CLICKED) {
        m_goOnPressed = true;
        return true;
    }
    return CPropertyPage::OnCommand(controlId, code, control);
}

void CLaunchSetupDlg::Quit()
{
    RemoveFolderTree(m_session.Paths.SnapshotFolder());
    RemoveFolderTree(m_session.Paths.IniBackupFolder);
    m_session.SnapshotPending = false;
    RemoveSnapshotTakenKey(m_session.Paths);

    const std::wstring notes = DeploymentNotesAddress(m_session.Paths);
    UniqueKernelHandle browser;
    if (!LaunchWithShell(SheetWindow(), notes, L"open", browser))
        OpenWithHtmHandler(notes);

    // The wizard closes as after Cancel; the message after it wakes the
    // sheet's loop so that it notices.
    if (HWND sheet = SheetWindow()) {
        PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
        PostMessageW(sheet, WM_NULL, 0, 0);
    }
}

void CLaunchSetupDlg::OnDestroy()
{
    m_watch.Clear();
}
