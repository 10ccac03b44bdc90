#include "msi/BuildPacer.h"

#include "common/Progress.h"

CBuildPacer::CBuildPacer(std::size_t totalUnits) : m_total(totalUnits)
{
    Progress().SetStepCount(0);
}

void CBuildPacer::Finished(std::size_t units)
{
    m_done += units;
    if (!m_pastMiddle && m_done * 2 >= m_total) {
        m_pastMiddle = true;
        Progress().SetStepCount(1);
    }
}
