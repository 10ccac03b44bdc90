#pragma once
// The Launch Setup page: marks the capture as pending, then runs the setup
// program (or lets the user run it some other way) and waits for it, while a
// monitor on the page's worker watches for Windows Installer processes the
// setup starts; if one appeared, CWarningMSIDetected offers to quit. The wait
// covers every process the setup starts (SetupProcess.h); once the setup's own
// process has ended and only programs it started still run, the page names
// them and offers to go on without waiting for them.
#include "common/SetupProcess.h"
#include "manager/UIManager.h"
#include "ui/framework/PropertyPage.h"
#include "ui/pages/InstallerWatch.h"

#include <string>
#include <vector>

class CLaunchSetupDlg : public CPropertyPage
{
public:
    CLaunchSetupDlg(Session& session, CUIManager& manager);

    // The setup has been launched (or the user chose to launch it himself):
    // Next goes straight on from now on.
    bool IsLaunched() const noexcept { return m_launched; }
    const CInstallerWatch& Watch() const noexcept { return m_watch; }

    // The text after the last backslash of `path`.
    static std::wstring FileNameOf(const std::wstring& path);
    // The message shown when the shell could not start the setup: the path and
    // the system's text for `error`.
    static std::wstring LaunchFailureText(const std::wstring& path, DWORD error);
    // The page's text while programs the setup started keep running after it.
    static std::wstring StillRunningText(const std::vector<RunningProgram>& programs);
    // The programs the page named while waiting, empty when it did not wait
    // for any beyond the setup; the user went on without them when
    // WentOnWithoutWaiting() is true.
    const std::vector<RunningProgram>& ProgramsWaitedFor() const noexcept { return m_waitedFor; }
    bool WentOnWithoutWaiting() const noexcept { return m_wentOn; }

protected:
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    LRESULT OnWizardBack() override;
    LRESULT OnWizardNext() override;
    void OnDestroy() override;
    bool OnCommand(WORD controlId, WORD code, HWND control) override;

private:
    // Runs the setup and watches it; false when it could not be started.
    bool LaunchAndWatch(const std::wstring& setupPath);
    // Waits until every process of the setup has ended or the user goes on.
    void WaitForSetup(CSetupProcess& setup);
    // The user chose "Quit" in the warning: the pending capture goes, the
    // deployment notes open and the wizard closes.
    void Quit();
    void SetNavigation(bool enabled) const;

    Session& m_session;
    CUIManager& m_manager;
    bool m_launched = false;
    CInstallerWatch m_watch;
    std::vector<RunningProgram> m_waitedFor;
    bool m_wentOn = false;
    bool m_goOnPressed = false;
};
