#include "common/Progress.h"

void CProgressState::SetStatusText(std::wstring text)
{
    std::lock_guard lock(m_lock);
    m_statusText.swap(text);
}

void CProgressState::SetDetailText(std::wstring text)
{
    std::lock_guard lock(m_lock);
    m_detailText.swap(text);
}

std::wstring CProgressState::StatusText() const
{
    std::lock_guard lock(m_lock);
    return m_statusText;
}

std::wstring CProgressState::DetailText() const
{
    std::lock_guard lock(m_lock);
    return m_detailText;
}

void CProgressState::Clear()
{
    std::lock_guard lock(m_lock);
    m_statusText.clear();
    m_detailText.clear();
    m_stepCount.store(0);
    m_share.store(-1);
}
