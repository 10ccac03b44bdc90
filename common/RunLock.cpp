#include "common/RunLock.h"

#include "common/Log.h"

#include <cstdint>
#include <cwchar>
#include <cwctype>

std::wstring CRunLock::NameFor(const std::wstring& programFolder)
{
    std::wstring folder = programFolder;
    while (!folder.empty() && (folder.back() == L'\\' || folder.back() == L'/'))
        folder.pop_back();
    // FNV-1a over the upper-case folder: mutex names cannot hold backslashes
    // and are limited in length.
    std::uint64_t hash = 0xcbf29ce484222325ull;
    for (wchar_t c : folder) {
        const wchar_t upper = c == L'/' ? L'\\' : static_cast<wchar_t>(std::towupper(c));
        hash ^= static_cast<std::uint16_t>(upper);
        hash *= 0x100000001b3ull;
    }
    wchar_t text[40];
    std::swprintf(text, 40, L"%016llx", static_cast<unsigned long long>(hash));
    return std::wstring(L"CorvaneRepackager.Run.") + text;
}

bool CRunLock::Acquire(const std::wstring& programFolder)
{
    Release();
    const std::wstring name = NameFor(programFolder);
    // Global, so that runs in other sessions of the machine count too; a
    // process without the right to make global objects falls back to its session.
    HANDLE mutex = CreateMutexW(nullptr, FALSE, (L"Global\\" + name).c_str());
    if (!mutex)
        mutex = CreateMutexW(nullptr, FALSE, (L"Local\\" + name).c_str());
    if (!mutex) {
        LogError("CRunLock::Acquire: Unable to create the run mutex (error " + std::to_string(GetLastError()) + ")");
        return false;
    }
    m_mutex.reset(mutex);
    const DWORD waited = WaitForSingleObject(mutex, 0);
    // An abandoned mutex belonged to a run that ended without releasing it.
    m_owned = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
    if (!m_owned)
        m_mutex.reset();
    return m_owned;
}

void CRunLock::Release()
{
    if (m_owned && m_mutex)
        ReleaseMutex(m_mutex.get());
    m_owned = false;
    m_mutex.reset();
}
