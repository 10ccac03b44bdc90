#pragma once
// The Launch Setup page: marks the capture as pending, then runs the setup
// program (or lets the user run it some other way) and waits for it, while a
// monitor on the page's worker watches for Windows Installer processes the
// setup starts; if one appeared, CWarningMSIDetected offers to quit.
#include "ui/InstallerWatch.h"
#include "ui/PropertyPage.h"

#include <string>

class CLaunchSetupDlg : public CPropertyPage
{
public:
    CLaunchSetupDlg();

    // The setup has been launched (or the user chose to launch it himself):
    // Next goes straight on from now on.
    bool IsLaunched() const noexcept { return m_launched; }
    const CInstallerWatch& Watch() const noexcept { return m_watch; }

    // The text after the last backslash of `path`.
    static std::wstring FileNameOf(const std::wstring& path);
    // The message shown when the shell could not start the setup: the path and
    // the system's text for `error`.
    static std::wstring LaunchFailureText(const std::wstring& path, DWORD error);

protected:
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    LRESULT OnWizardBack() override;
    LRESULT OnWizardNext() override;
    void OnDestroy() override;

private:
    // Runs the setup and watches it; false when it could not be started.
    bool LaunchAndWatch(const std::wstring& setupPath);
    // The user chose "Quit" in the warning: the pending capture goes, the
    // deployment notes open and the wizard closes.
    void Quit();
    void SetNavigation(bool enabled) const;

    bool m_launched = false;
    CInstallerWatch m_watch;
};
