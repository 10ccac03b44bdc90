#include "common/Wow64.h"

#include "common/Log.h"

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

CFsRedirectionOff::CFsRedirectionOff() noexcept
{
    if (!IsWow64Windows())
        return;
    m_active = Wow64DisableWow64FsRedirection(&m_previous) != FALSE;
    if (!m_active)
        LogError("CFsRedirectionOff: Unable to turn file-system redirection off; System32 is seen as SysWOW64");
}

CFsRedirectionOff::~CFsRedirectionOff()
{
    if (m_active)
        Wow64RevertWow64FsRedirection(m_previous);
}
