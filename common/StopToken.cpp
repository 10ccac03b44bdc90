#include "common/StopToken.h"

namespace {

// The current thread's token lives in its scope; the thread-local value is a
// plain pointer, since a thread-local object with a destructor is destroyed
// after the thread's storage is gone on this platform's runtime.
thread_local const std::stop_token* t_current = nullptr;

} // namespace

CStopScope::CStopScope(std::stop_token token) : m_token(std::move(token)), m_previous(t_current)
{
    t_current = &m_token;
}

CStopScope::~CStopScope()
{
    t_current = m_previous;
}

bool StopRequested() noexcept
{
    return t_current && t_current->stop_requested();
}

std::stop_token CurrentStopToken()
{
    return t_current ? *t_current : std::stop_token();
}
