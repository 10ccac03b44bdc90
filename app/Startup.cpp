#include "app/Startup.h"

#include "common/RunLock.h"
#include "ui/UiServices.h"

int RunProgram(const std::vector<std::wstring>& arguments, const std::wstring& programFolder,
               const ReportLine& console, const std::function<int()>& wizard)
{
    // Runs from one program folder share its working folders, snapshots and
    // logs: one at a time, held until the run ends.
    CRunLock runLock;
    const bool locked = runLock.Acquire(programFolder);
    if (arguments.empty()) {
        if (!locked) {
            ShowMessageBox(nullptr, AnotherRunInProgress, L"Corvane Repackager", MB_OK | MB_ICONWARNING);
            return ExitFailure;
        }
        return wizard();
    }
    if (!locked) {
        console(AnotherRunInProgress);
        return ExitFailure;
    }
    return RunCommandLine(arguments, console);
}
