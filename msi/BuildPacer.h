#pragma once
// Paces the step count of a progress state (Progress.h) over a package build, whose cabinet is
// made beside the rows or after them: the count is 0 for the first half of
// the build's work and 1 from its middle on, and it never falls back,
// whatever order the steps finish in. The share of the work done (Progress
// Share, in thousandths) follows every unit, so that a bar can move with the
// files packed; it is -1 again once the pacer is gone.
#include "common/Progress.h"

#include <cstddef>

class CBuildPacer
{
public:
    // Sets the step count of `progress` to 0.
    CBuildPacer(CProgressState& progress, std::size_t totalUnits);
    ~CBuildPacer();
    CBuildPacer(const CBuildPacer&) = delete;
    CBuildPacer& operator=(const CBuildPacer&) = delete;
    // Counts finished work; the step count becomes 1 once half of the total
    // is done.
    void Finished(std::size_t units);
    bool PastMiddle() const noexcept { return m_pastMiddle; }

private:
    CProgressState& m_progress;
    std::size_t m_total;
    std::size_t m_done = 0;
    bool m_pastMiddle = false;
};
