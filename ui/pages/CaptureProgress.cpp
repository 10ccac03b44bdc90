#include "ui/pages/CaptureProgress.h"

#include "ui/pages/FailureReason.h"

#include <commctrl.h>

namespace CaptureProgress {

int StepFor(int itemCount, int current)
{
    return itemCount > 0 ? Range / itemCount : current;
}

bool ShouldAdvance(int step, int rootsDone, int position)
{
    return step * (rootsDone + 1) - 50 >= position;
}

void PauseWhilePainting(DWORD milliseconds)
{
    const ULONGLONG end = GetTickCount64() + milliseconds;
    for (;;) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE | PM_QS_PAINT | PM_QS_SENDMESSAGE))
            DispatchMessageW(&message);
        const ULONGLONG now = GetTickCount64();
        if (now >= end)
            return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_PAINT | QS_SENDMESSAGE);
    }
}

void FillToEnd(HWND bar, int barStep)
{
    if (barStep < 1)
        barStep = 1;
    SendMessageW(bar, PBM_SETSTEP, static_cast<WPARAM>(barStep), 0);
    // Positions are set rather than stepped: a step past the end would wrap.
    for (int position = static_cast<int>(SendMessageW(bar, PBM_GETPOS, 0, 0)); position < Range;) {
        position = position + barStep < Range ? position + barStep : Range;
        SendMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(position), 0);
        UpdateWindow(bar);
        Sleep(1);
    }
}

int FillPosition(int start, int barStep, ULONGLONG elapsedMs)
{
    const ULONGLONG position = static_cast<ULONGLONG>(start < 0 ? 0 : start) +
                               static_cast<ULONGLONG>(barStep < 1 ? 1 : barStep) * elapsedMs;
    return position < static_cast<ULONGLONG>(Range) ? static_cast<int>(position) : Range;
}

void CBarFill::Begin(HWND bar, int barStep)
{
    m_bar = bar;
    m_barStep = barStep;
    m_start = static_cast<int>(SendMessageW(bar, PBM_GETPOS, 0, 0));
    m_begun = GetTickCount64();
    SendMessageW(bar, PBM_SETSTEP, static_cast<WPARAM>(barStep < 1 ? 1 : barStep), 0);
}

bool CBarFill::Tick()
{
    if (!m_bar)
        return true;
    const int position = FillPosition(m_start, m_barStep, GetTickCount64() - m_begun);
    // Positions are set rather than stepped: a step past the end would wrap.
    SendMessageW(m_bar, PBM_SETPOS, static_cast<WPARAM>(position), 0);
    if (position < Range)
        return false;
    m_bar = nullptr;
    return true;
}

std::wstring FailureText(const std::wstring& what, bool pending, const std::wstring& configFile)
{
    std::wstring text = what + L" " + FailureReasonText(configFile);
    if (pending)
        text += L" The capture stays pending: press Next to try again, or Cancel; the next start of Corvane "
                L"Repackager offers to continue it.";
    else
        text += L" Press Next to take the snapshot again.";
    return text;
}

int ShowSelection(HWND folderTree, HWND hiveTree, const ScanDetails& details)
{
    int count = 0;
    const std::pair<const wchar_t*, HWND> lists[] = {{L"File", folderTree}, {L"Registry", hiveTree}};
    for (const auto& [category, tree] : lists) {
        const auto entry = details.find(category);
        if (entry == details.end())
            continue;
        for (const std::wstring& value : entry->second) {
            TVINSERTSTRUCTW insert{};
            insert.hParent = TVI_ROOT;
            insert.hInsertAfter = TVI_LAST;
            insert.item.mask = TVIF_TEXT;
            insert.item.pszText = const_cast<wchar_t*>(value.c_str());
            SendMessageW(tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert));
            ++count;
        }
    }
    return count;
}

} // namespace CaptureProgress
