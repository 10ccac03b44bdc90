#pragma once
// The thread that owns the state of a run: the window thread of the wizard
// (the thread of the command line or of a test). State written there only,
// and read by workers while no write can happen, is checked in debug builds:
// a write from another thread logs one line and stops the program at once,
// where the fault is. Release builds check nothing.
#include <windows.h>

class CWindowThread
{
public:
    // Records the constructing thread.
    CWindowThread() noexcept : m_threadId(GetCurrentThreadId()) {}

    bool IsCurrent() const noexcept { return GetCurrentThreadId() == m_threadId; }

    // `what` names the state being written, for the log line.
#ifdef NDEBUG
    void AssertCurrent(const wchar_t*) const noexcept {}
#else
    void AssertCurrent(const wchar_t* what) const noexcept;
#endif

private:
    DWORD m_threadId;
};
