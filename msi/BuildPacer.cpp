#include "msi/BuildPacer.h"

#include <algorithm>

CBuildPacer::CBuildPacer(CProgressState& progress, std::size_t totalUnits) : m_progress(progress), m_total(totalUnits)
{
    m_progress.SetStepCount(0);
    m_progress.SetShare(0);
}

CBuildPacer::~CBuildPacer()
{
    m_progress.SetShare(-1);
}

void CBuildPacer::Finished(std::size_t units)
{
    m_done += units;
    const std::size_t done = std::min(m_done, m_total);
    m_progress.SetShare(m_total == 0 ? 1000 : static_cast<int>(static_cast<double>(done) * 1000 / m_total));
    if (!m_pastMiddle && m_done * 2 >= m_total) {
        m_pastMiddle = true;
        m_progress.SetStepCount(1);
    }
}
