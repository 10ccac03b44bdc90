#include "common/ComScope.h"
#include "app/Startup.h"

#include "common/Log.h"
#include "common/RunLock.h"
#include "ui/framework/UiServices.h"

std::wstring WorkingFoldersInUse(const std::wstring& holder)
{
    return L"Another run of Corvane Repackager" + (holder.empty() ? std::wstring() : L", from " + holder + L",") +
           L" is using this user's working folders; wait until it has ended.";
}

int RunProgram(const std::vector<std::wstring>& arguments, const std::wstring& programFolder,
               const ReportLine& console, const std::function<int(Session&)>& wizard)
{
    // Runs from one program folder share its working folders, snapshots and
    // logs: one at a time, held until the run ends.
    CRunLock runLock;
    const bool locked = runLock.Acquire(programFolder);
    // Runs from other program folders share this user's working folders.
    CWorkingFoldersLock workingLock;
    std::wstring holder;
    std::wstring refusal;
    if (!locked)
        refusal = AnotherRunInProgress;
    else if (!workingLock.Acquire(programFolder, holder))
        refusal = WorkingFoldersInUse(holder);
    if (!refusal.empty()) {
        if (arguments.empty())
            ShowMessageBox(nullptr, refusal, L"Corvane Repackager", MB_OK | MB_ICONWARNING);
        else
            console(refusal);
        return ExitFailure;
    }
    // Opened only once the run owns the program folder: opening empties the
    // log files, which a refused run must leave to the run that holds them.
    CFileLogSink log(programFolder);
    CLogScope logScope(log);
    // XML documents and shell objects are used on this thread.
    CComScope com;
    Session session;
    return arguments.empty() ? wizard(session) : RunCommandLine(session, arguments, console);
}
