#include "msi/BuildPacer.h"

#include "common/Progress.h"

#include <algorithm>

CBuildPacer::CBuildPacer(std::size_t totalUnits) : m_total(totalUnits)
{
    Progress().SetStepCount(0);
    Progress().SetShare(0);
}

CBuildPacer::~CBuildPacer()
{
    Progress().SetShare(-1);
}

void CBuildPacer::Finished(std::size_t units)
{
    m_done += units;
    const std::size_t done = std::min(m_done, m_total);
    Progress().SetShare(m_total == 0 ? 1000 : static_cast<int>(static_cast<double>(done) * 1000 / m_total));
    if (!m_pastMiddle && m_done * 2 >= m_total) {
        m_pastMiddle = true;
        Progress().SetStepCount(1);
    }
}
