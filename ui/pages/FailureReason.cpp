#include "ui/pages/FailureReason.h"

#include "common/Config.h"
#include "common/Log.h"

std::wstring FailureReasonText()
{
    CLogReference log;
    if (!log->ErrorLogFile().empty())
        return L"The reason is in the error log " + log->ErrorLogFile() + L".";
    const std::wstring config = log->ConfigFilePath().empty() ? ConfigFile() : log->ConfigFilePath();
    if (log->Level() == 2 || log->Level() == 3)
        return L"The error log named in section [LogFileDetails] of " + config + L" could not be opened.";
    return L"No error log is kept at LogLevel " + std::to_wstring(log->Level()) +
           L": set LogLevel=2 in section [LogFileDetails] of " + config + L" to keep one, then try again.";
}
