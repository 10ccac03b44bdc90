#pragma once
// What the two snapshot pages share: the pacing of their progress bar (range
// 0 to 1000, polled from a 100 ms timer) and the short pauses they make on the
// window thread while their windows keep painting.
#include "common/ChangeTypes.h"

#include <windows.h>

namespace CaptureProgress {

inline constexpr int Range = 1000;
// The step of the comparison: its file part and its registry part.
inline constexpr int ComparisonStep = 500;

// The bar's share of one root: Range / item count, `current` when there is
// no item.
int StepFor(int itemCount, int current);

// Whether the bar at `position` moves on by one of its steps on this tick:
// it creeps towards 50 short of the end of the root in progress
// (step * (rootsDone + 1) - 50) and moves on again once a root completes.
bool ShouldAdvance(int step, int rootsDone, int position);

// Waits `milliseconds`, dispatching paint and sent messages only.
void PauseWhilePainting(DWORD milliseconds);

// Runs the bar to its end, `barStep` at a time, one step per millisecond,
// repainting as it goes.
void FillToEnd(HWND bar, int barStep);

// The bar's final fill paced by the page's timer instead of a blocking loop:
// from `start`, `barStep` per millisecond elapsed, at most Range.
int FillPosition(int start, int barStep, ULONGLONG elapsedMs);

// The final fill of a page's bar, one call per timer tick: the window keeps
// answering while the bar runs to its end.
class CBarFill
{
public:
    // Starts the fill of `bar` from its position now.
    void Begin(HWND bar, int barStep);
    bool IsFilling() const noexcept { return m_bar != nullptr; }
    // Moves the bar on for the time since Begin; true once it is at its end
    // (the fill is then over).
    bool Tick();

private:
    HWND m_bar = nullptr;
    int m_start = 0;
    int m_barStep = 1;
    ULONGLONG m_begun = 0;
};

// The text a snapshot page shows when a capture or the comparison failed:
// `what` failed, where the reason is, and what the user can do now
// (`pending`: the setup ran, so the capture stays pending).
std::wstring FailureText(const std::wstring& what, bool pending, const std::wstring& configFile);

// The folders ("File") and hives ("Registry") of scan details as two tree
// lists; inserts them as root items at the end of the trees. Returns the
// number of items inserted.
int ShowSelection(HWND folderTree, HWND hiveTree, const ScanDetails& details);

} // namespace CaptureProgress
