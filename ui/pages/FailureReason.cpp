#include "ui/pages/FailureReason.h"

#include "common/Config.h"
#include "common/Log.h"

std::wstring FailureReasonText(const std::wstring& configFile)
{
    const CFileLogSink* log = CurrentFileLog();
    const int level = log ? log->Level() : 0;
    if (log && !log->ErrorLogFile().empty())
        return L"The reason is in the error log " + log->ErrorLogFile() + L".";
    const std::wstring config = !log || log->ConfigFilePath().empty() ? configFile : log->ConfigFilePath();
    if (level == 2 || level == 3)
        return L"The error log named in section [LogFileDetails] of " + config + L" could not be opened.";
    return L"No error log is kept at LogLevel " + std::to_wstring(level) +
           L": set LogLevel=2 in section [LogFileDetails] of " + config + L" to keep one, then try again.";
}
