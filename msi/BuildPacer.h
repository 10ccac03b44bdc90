#pragma once
// Paces ProgressStepCount (Progress.h) over a package build, whose cabinet is
// made beside the rows or after them: the count is 0 for the first half of
// the build's work and 1 from its middle on, and it never falls back,
// whatever order the steps finish in. The build pages pace their bar by it:
// up to 450 while it is 0, up to 950 while it is 1.
#include <cstddef>

class CBuildPacer
{
public:
    // Sets the step count to 0.
    explicit CBuildPacer(std::size_t totalUnits);
    // Counts finished work; the step count becomes 1 once half of the total
    // is done.
    void Finished(std::size_t units);
    bool PastMiddle() const noexcept { return m_pastMiddle; }

private:
    std::size_t m_total;
    std::size_t m_done = 0;
    bool m_pastMiddle = false;
};
