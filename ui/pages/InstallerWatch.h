#pragma once
// The watch for Windows Installer processes ("msiexec.exe") around the run of
// a setup program: the ones running before the launch ("before"), and the
// ones a monitor sees while the setup runs ("during"). An installer process
// seen during the run that was not already running before means the setup is
// a Windows Installer setup.
//
// The window thread takes "before", then runs Monitor() on a worker while it
// waits for the setup; once the setup has ended it calls StopMonitoring(),
// joins the worker, and only then reads the lists (InstallerStarted). The
// processes come from ListProcesses (UiServices.h).
#include "ui/framework/UiServices.h"

#include <windows.h>

#include <atomic>
#include <map>
#include <string>
#include <vector>

class CInstallerWatch
{
public:
    using ProcessMap = std::map<DWORD, std::wstring>;

    // Adds `process` to `map` when its name, lower-cased, is "msiexec.exe"; an
    // entry already there for its identifier stays as it is.
    static void CheckProcess(const ProcessEntry& process, ProcessMap& map);

    // Lists the processes now into "before". False when the list failed.
    bool TakeBefore();
    // The monitor: lists the processes into "during" every 3 ms until
    // StopMonitoring or a stop request of the thread (StopToken.h); ends at
    // once when the list fails. Returns 1, or 0 after a failed list.
    int Monitor();
    // Tells the monitor to end after its current pass; it is never restarted.
    void StopMonitoring() noexcept { m_monitoring.store(false); }
    bool IsMonitoring() const noexcept { return m_monitoring.load(); }

    // After the monitor has been joined: removes from both lists the
    // processes that were running before the launch; true when an installer
    // process is left in "during".
    bool InstallerStarted();

    const ProcessMap& Before() const noexcept { return m_before; }
    const ProcessMap& During() const noexcept { return m_during; }
    // Empties both lists.
    void Clear();

private:
    static bool CheckAll(ProcessMap& map);

    std::atomic<bool> m_monitoring{true};
    ProcessMap m_before;
    ProcessMap m_during;
};
