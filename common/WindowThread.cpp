#include "common/WindowThread.h"

#ifndef NDEBUG
#include "common/Log.h"

#include <cstdlib>
#include <string>

void CWindowThread::AssertCurrent(const wchar_t* what) const noexcept
{
    if (IsCurrent())
        return;
    try {
        LogError(std::wstring(L"CWindowThread: ") + what + L" written on thread " +
                 std::to_wstring(GetCurrentThreadId()) + L", not on the window thread " + std::to_wstring(m_threadId));
    } catch (...) {
    }
    std::abort();
}
#endif
