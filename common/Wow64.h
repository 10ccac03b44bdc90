#pragma once
// This program is a 32-bit executable. On 64-bit Windows it runs under WOW64,
// which redirects C:\Windows\System32 to SysWOW64 and shows only the 32-bit
// registry view. The helpers below let the snapshot engine and the builder
// see the real machine; on 32-bit Windows they change nothing.
#include <windows.h>

#include <string>

// True when this process runs under WOW64 (64-bit Windows). Asked once.
[[nodiscard]] bool IsWow64Windows() noexcept;

// The access flag that opens the 64-bit registry view (KEY_WOW64_64KEY) on
// 64-bit Windows, 0 on 32-bit Windows. Added to every open of a walk or read
// that must see both views: the 64-bit view holds the 32-bit one as
// SOFTWARE\WOW6432Node.
[[nodiscard]] REGSAM RegistryViewAccess() noexcept;

// The target of a registry link ("\REGISTRY\MACHINE\Software\...") when the
// key (in the 64-bit view on 64-bit Windows) is one, as the keys below
// WOW6432Node that the 32-bit view shares with the 64-bit one; "" otherwise.
[[nodiscard]] std::wstring RegistryLinkTarget(HKEY root, const std::wstring& subkey);

// Turns file-system redirection off for the calling thread while it lives and
// restores the previous state when it ends, whatever way the scope is left.
// While it is off, System32 is the real 64-bit folder, so nothing may load a
// library in that scope (no COM, no LoadLibrary): keep the scope to plain
// file calls. Guards nest.
class CFsRedirectionOff
{
public:
    CFsRedirectionOff() noexcept;
    ~CFsRedirectionOff();
    CFsRedirectionOff(const CFsRedirectionOff&) = delete;
    CFsRedirectionOff& operator=(const CFsRedirectionOff&) = delete;

    // True when this guard turned redirection off (64-bit Windows only).
    [[nodiscard]] bool IsActive() const noexcept { return m_active; }

private:
    PVOID m_previous = nullptr;
    bool m_active = false;
};
