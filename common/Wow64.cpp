#include "common/Wow64.h"

#include "common/Log.h"
#include "common/UniqueHandle.h"

#include <cwchar>

bool IsWow64Windows() noexcept
{
    static const bool wow64 = [] {
        BOOL result = FALSE;
        return IsWow64Process(GetCurrentProcess(), &result) && result;
    }();
    return wow64;
}

REGSAM RegistryViewAccess() noexcept
{
    return IsWow64Windows() ? KEY_WOW64_64KEY : 0;
}

std::wstring RegistryLinkTarget(HKEY root, const std::wstring& subkey)
{
    UniqueHKey key;
    if (RegOpenKeyExW(root, subkey.c_str(), REG_OPTION_OPEN_LINK, KEY_QUERY_VALUE | RegistryViewAccess(),
                      key.put()) != ERROR_SUCCESS)
        return {};
    wchar_t target[1024] = {};
    DWORD type = 0, size = sizeof target - sizeof(wchar_t);
    const LSTATUS rc = RegQueryValueExW(key.get(), L"SymbolicLinkValue", nullptr, &type,
                                        reinterpret_cast<BYTE*>(target), &size);
    if (rc != ERROR_SUCCESS || type != REG_LINK)
        return {};
    // Stored without a terminator.
    return std::wstring(target, wcsnlen(target, size / sizeof(wchar_t)));
}

CFsRedirectionOff::CFsRedirectionOff() noexcept
{
    if (!IsWow64Windows())
        return;
    m_active = Wow64DisableWow64FsRedirection(&m_previous) != FALSE;
    if (!m_active) {
        try {
            LogError(L"CFsRedirectionOff: Unable to turn file-system redirection off; System32 is seen as SysWOW64");
        } catch (...) {
        }
    }
}

CFsRedirectionOff::~CFsRedirectionOff()
{
    if (m_active)
        Wow64RevertWow64FsRedirection(m_previous);
}
