#pragma once
// The run of a project page's long operation (the project writer, the
// package build) on the page's worker, watched by a timer of the page: each
// tick copies the progress text into the page's second status line and paces
// the bar; once the operation has returned, a successful run's bar runs to its
// end. The Create Project File and MSI page and the Build MSI page share it;
// the page keeps its own states and texts.
#include "common/Progress.h"
#include "ui/framework/PropertyPage.h"

#include <windows.h>

#include <functional>
#include <optional>

class CBuildRunner
{
public:
    // The page timer that drives the run.
    static constexpr UINT_PTR TimerId = 1035;

    // `page` runs the operation on its worker and owns the timer; the
    // operation reports into `progress`; `barId` and
    // `detailId` are its progress bar and second status line; the timer
    // fires every `intervalMs`.
    CBuildRunner(CPropertyPage& page, CProgressState& progress, int barId, int detailId, UINT intervalMs) noexcept
        : m_page(page), m_progress(progress), m_barId(barId), m_detailId(detailId), m_interval(intervalMs)
    {
    }

    // The bar's range (0 to ProgressRange) and step; once the page's controls exist.
    void SetUpBar() const;
    // Starts `operation` on the page's worker with the bar and the progress
    // step count back at 0; `increment` paces the bar. False when the worker
    // did not start.
    bool Start(std::function<int()> operation, int increment);
    void StartTimer() const;
    void StopTimer() const;
    // One tick of the page's timers: for the run's timer, the status line and
    // the bar follow the progress, and once the operation is done its result
    // comes back; nothing for any other timer.
    std::optional<int> Tick(UINT_PTR timerId) const;
    // After the operation: a successful run's bar fills to its end (steps of
    // two, 1 ms apart); the progress text is cleared either way.
    void Ended(bool succeeded) const;

private:
    HWND Bar() const;

    CPropertyPage& m_page;
    CProgressState& m_progress;
    int m_barId;
    int m_detailId;
    UINT m_interval;
    int m_increment = 0;
};
