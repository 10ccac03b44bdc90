#include "ui/pages/BuildRunner.h"

#include "common/Worker.h"
#include "ui/pages/CreateProjectFileAndMsiRules.h"

#include <commctrl.h>

#include <algorithm>

namespace {

// The second status line copies the progress text and the bar is paced by
// `increment`; the worker's result once it is done, else nothing.
std::optional<int> TickWorkerBar(const CWorker& worker, const CProgressState& progress, HWND bar, HWND detailLine,
                                 int increment)
{
    SetWindowTextW(detailLine, progress.StatusText().c_str());
    if (worker.IsDone())
        return worker.Result();
    const int position = static_cast<int>(SendMessageW(bar, PBM_GETPOS, 0, 0));
    const int next = NextMeasuredProgressPosition(position, increment, progress.StepCount(), progress.Share());
    if (next != position)
        SendMessageW(bar, PBM_SETPOS, next, 0);
    return std::nullopt;
}

void FillProgressBar(HWND bar)
{
    // Steps of two, set one by one: a step past the end would start the bar over.
    for (int position = static_cast<int>(SendMessageW(bar, PBM_GETPOS, 0, 0)); position < ProgressRange;) {
        position = std::min(position + 2, ProgressRange);
        SendMessageW(bar, PBM_SETPOS, position, 0);
        UpdateWindow(bar);
        Sleep(1);
    }
}

} // namespace

HWND CBuildRunner::Bar() const
{
    return m_page.Item(m_barId);
}

void CBuildRunner::SetUpBar() const
{
    SendMessageW(Bar(), PBM_SETRANGE32, 0, ProgressRange);
    SendMessageW(Bar(), PBM_SETSTEP, 1, 0);
}

bool CBuildRunner::Start(std::function<int()> operation, int increment)
{
    m_increment = increment;
    m_progress.SetStepCount(0);
    SendMessageW(Bar(), PBM_SETPOS, 0, 0);
    return m_page.Worker().Start(std::move(operation));
}

void CBuildRunner::StartTimer() const
{
    SetTimer(m_page.Window(), TimerId, m_interval, nullptr);
}

void CBuildRunner::StopTimer() const
{
    KillTimer(m_page.Window(), TimerId);
}

std::optional<int> CBuildRunner::Tick(UINT_PTR timerId) const
{
    if (timerId != TimerId)
        return std::nullopt;
    return TickWorkerBar(m_page.Worker(), m_progress, Bar(), m_page.Item(m_detailId), m_increment);
}

void CBuildRunner::Ended(bool succeeded) const
{
    if (succeeded)
        FillProgressBar(Bar());
    m_progress.SetStatusText(L"");
}
