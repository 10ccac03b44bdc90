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
        LogError(L"CRunLock::Acquire: Unable to create the run mutex (error " + std::to_wstring(GetLastError()) + L")");
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

namespace {

std::wstring Environment(const wchar_t* name)
{
    wchar_t value[MAX_PATH * 2] = {};
    const DWORD n = GetEnvironmentVariableW(name, value, MAX_PATH * 2);
    return n > 0 && n < MAX_PATH * 2 ? std::wstring(value, n) : std::wstring();
}

} // namespace

std::wstring CWorkingFoldersLock::Key()
{
    return L"WorkingFolders|" + Environment(L"TEMP") + L"|" + Environment(L"APPDATA");
}

std::wstring CWorkingFoldersLock::HolderFile()
{
    const std::wstring temp = Environment(L"TEMP");
    return temp.empty() ? std::wstring() : temp + L"\\CorvaneRepackager.run";
}

bool CWorkingFoldersLock::Acquire(const std::wstring& programFolder, std::wstring& holder)
{
    holder.clear();
    const std::wstring file = HolderFile();
    if (m_lock.Acquire(Key())) {
        if (!file.empty()) {
            UniqueFile out(CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
            DWORD written = 0;
            if (out)
                WriteFile(out.get(), programFolder.data(), static_cast<DWORD>(programFolder.size() * sizeof(wchar_t)),
                          &written, nullptr);
        }
        return true;
    }
    UniqueFile in(CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
    wchar_t text[MAX_PATH * 2] = {};
    DWORD got = 0;
    if (in && ReadFile(in.get(), text, sizeof text - sizeof(wchar_t), &got, nullptr))
        holder.assign(text, got / sizeof(wchar_t));
    return false;
}
