#pragma once
// The setup program together with every process it starts, however deep.
//
// Many setups unpack the real setup, start it and exit at once; waiting for
// the started process alone would take the second snapshot while the real
// setup still works. CSetupProcess creates the setup suspended, puts it into a
// job object of its own whose completion port reports when the job's last
// process has ended, and only then lets it run. A process that cannot join the
// job (already in a job that forbids nesting, before Windows 8) runs alone and
// only it is waited for, with one log line saying so.
//
// The exit code that tells success is the setup's own, not its children's.
// Processes of the job are left running when the object goes: closing the job
// does not end them. A child that asks to break away from the job
// (CREATE_BREAKAWAY_FROM_JOB) may: such a program does not want to be waited for.
#include "common/UniqueHandle.h"

#include <set>
#include <string>
#include <vector>

// One process of the setup that is still running.
struct RunningProgram
{
    DWORD id = 0;
    std::wstring name; // image file name ("inner.exe"), "<unknown>" when it cannot be asked
};

class CSetupProcess
{
public:
    CSetupProcess() = default;
    CSetupProcess(const CSetupProcess&) = delete;
    CSetupProcess& operator=(const CSetupProcess&) = delete;

    // Starts `commandLine` (the program first, quoted where it has blanks) in
    // `folder` (empty: this process's current folder). False when the process
    // could not be created; the thread's last error then holds the system's
    // code and the log has one line.
    [[nodiscard]] bool Start(std::wstring commandLine, const std::wstring& folder);
    // Follows a process that something else started and that already runs
    // (the shell's launch): it joins a job if it still can, so that what it
    // starts from now on is waited for too. `process` may be any waitable
    // handle; one that is not a process is waited for alone.
    void Follow(UniqueKernelHandle process);

    // Waits up to `milliseconds` (INFINITE: no limit) until every process of
    // the setup has ended. True when they have (also when nothing was started).
    [[nodiscard]] bool WaitForAll(DWORD milliseconds);
    // The started process itself has ended; the rest of the job may still run.
    [[nodiscard]] bool SetupHasEnded() const;
    // The started process's exit code: false while it runs or when it is not known.
    [[nodiscard]] bool ExitCode(DWORD& code) const;
    // The setup's processes still running: the job's, or the setup's own when
    // it runs alone. Empty once WaitForAll returned true.
    [[nodiscard]] std::vector<RunningProgram> StillRunning() const;
    // True when the setup runs in a job, so that its children are waited for.
    [[nodiscard]] bool FollowsChildren() const noexcept { return m_job.valid(); }
    [[nodiscard]] HANDLE Process() const noexcept { return m_process.get(); }

private:
    [[nodiscard]] bool CreateJob();
    [[nodiscard]] bool JoinJob(HANDLE process, const std::wstring& what);
    // Takes the completion messages waiting at the port, for at most
    // `milliseconds`; true when the job has reported its last process ended.
    [[nodiscard]] bool TakeMessages(DWORD milliseconds);
    [[nodiscard]] long ActiveProcesses() const;

    UniqueKernelHandle m_process;
    UniqueKernelHandle m_job;
    UniqueKernelHandle m_port;
    DWORD m_processId = 0;
    bool m_allEnded = false;
    std::set<DWORD> m_seen; // processes the port reported started and not yet ended
};

// The image file name of process `id`, "<unknown>" when it cannot be asked.
std::wstring ProcessImageName(DWORD id);
// "inner.exe (1234), tray.exe (1240)".
std::wstring DescribePrograms(const std::vector<RunningProgram>& programs);
