#include "ui/pages/ReportLink.h"

#include "common/Log.h"
#include "common/Result.h"
#include "manager/RunReport.h"

#include <shellapi.h>

ReportLinkState WriteReportForPage(CUIManager& manager, const Session& session, const std::wstring& project,
                                   bool built)
{
    ReportLinkState state;
    std::wstring path;
    if (const Result written = WriteRunReport(manager, session, project, built, path)) {
        state.Path = path;
        state.Text = L"The capture report is in " + path + L".";
    } else {
        state.Text = L"The capture report could not be written: " + written.Text();
    }
    return state;
}

bool OpenReport(HWND owner, const std::wstring& path)
{
    const auto code = reinterpret_cast<INT_PTR>(
        ShellExecuteW(owner, L"open", path.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    if (code > 32)
        return true;
    LogError(Result::Win32(static_cast<DWORD>(code), L"OpenReport: Unable to open " + path).Text());
    return false;
}
