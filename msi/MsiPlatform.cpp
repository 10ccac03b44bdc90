// What a captured item becomes in a package built from a capture of 64-bit
// Windows: its component's bitness, its standard folder, its registry view.
#include "msi/MsiPlatform.h"

#include "common/RegistryViews.h"
#include "msi/MsiTables.h"

namespace {

constexpr const wchar_t* ProgramFiles64Token = L"%PROGRAMFILES64%";
constexpr const wchar_t* System32Folder = L"%WINDIR%\\SYSTEM32";
constexpr const wchar_t* SysWow64Folder = L"%WINDIR%\\SYSWOW64";

// True when the folder (upper case) is `base` or lies below it.
bool IsAtOrBelow(const std::wstring& upperFolder, const std::wstring& base)
{
    return upperFolder.compare(0, base.size(), base) == 0 &&
           (upperFolder.size() == base.size() || upperFolder[base.size()] == L'\\');
}

} // namespace

bool IsX64Platform(const std::wstring& platform)
{
    return UpperKey(platform) == L"X64";
}

bool IsFolder64Bit(const std::wstring& folder, bool x64Capture)
{
    if (!x64Capture)
        return false;
    const std::wstring upper = UpperKey(folder);
    return IsAtOrBelow(upper, ProgramFiles64Token) || IsAtOrBelow(upper, System32Folder);
}

std::wstring PlatformFolderProperty(const std::wstring& folder, bool x64Capture)
{
    if (!x64Capture)
        return L"";
    const std::wstring upper = UpperKey(folder);
    if (upper == ProgramFiles64Token)
        return L"ProgramFiles64Folder";
    if (upper == System32Folder)
        return L"System64Folder";
    if (upper == SysWow64Folder)
        return L"SystemFolder";
    return L"";
}

bool TakeRegistryKeyView(const std::wstring& root, std::wstring& key, bool x64Capture)
{
    if (!x64Capture)
        return false;
    if (StripWow6432Node(root, key))
        return false;
    return IsOnly64BitViewKey(root, key);
}

bool IsInRealSystem32(const std::wstring& folder)
{
    return IsAtOrBelow(UpperKey(folder), System32Folder);
}
