#pragma once
// The progress state shared by the worker in progress (writer) and the page
// that polls it from a timer (reader). Texts are replaced and copied whole
// under a lock, so a reader never sees half a text; the step count is atomic.
// Safe to use from any thread.
#include <atomic>
#include <mutex>
#include <string>

class CProgressState
{
public:
    void SetStatusText(std::wstring text);
    void SetDetailText(std::wstring text);
    std::wstring StatusText() const;
    std::wstring DetailText() const;

    void SetStepCount(int count) { m_stepCount.store(count); }
    void AddStep() { m_stepCount.fetch_add(1); }
    int StepCount() const { return m_stepCount.load(); }

    // How much of a measured operation is done, in thousandths; -1 while no
    // operation measures itself (the pages then pace their bars by the step count).
    void SetShare(int permille) { m_share.store(permille); }
    int Share() const { return m_share.load(); }

    void Clear();

private:
    mutable std::mutex m_lock;
    std::wstring m_statusText;
    std::wstring m_detailText;
    std::atomic<int> m_stepCount{0};
    std::atomic<int> m_share{-1};
};
