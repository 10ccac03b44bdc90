#pragma once
// COM for the life of a scope on the calling thread. Entry points (the
// program's run, the tests' main, the bench mains) and worker threads hold one
// for as long as they use XML documents or shell objects.
#include <objbase.h>

class CComScope
{
public:
    explicit CComScope(DWORD model = COINIT_APARTMENTTHREADED) noexcept : m_result(CoInitializeEx(nullptr, model)) {}
    // S_FALSE (already started on this thread) is counted and balanced too;
    // RPC_E_CHANGED_MODE (another model owns the thread) is used, not ended.
    ~CComScope()
    {
        if (SUCCEEDED(m_result))
            CoUninitialize();
    }
    CComScope(const CComScope&) = delete;
    CComScope& operator=(const CComScope&) = delete;

    HRESULT Status() const noexcept { return m_result; }

private:
    HRESULT m_result;
};
