#include "common/FileNames.h"

#include <windows.h>

#include <cwctype>

namespace {

bool IsForbidden(wchar_t c)
{
    return c < 0x20 || c == L'<' || c == L'>' || c == L':' || c == L'"' || c == L'/' || c == L'\\' || c == L'|' ||
           c == L'?' || c == L'*';
}

// Length of the base name (up to the first dot, trailing blanks dropped) when
// it names a device, else 0.
std::size_t ReservedBaseLength(const std::wstring& name)
{
    std::size_t end = name.find(L'.');
    if (end == std::wstring::npos)
        end = name.size();
    std::wstring base = name.substr(0, end);
    while (!base.empty() && base.back() == L' ')
        base.pop_back();
    std::wstring upper;
    for (wchar_t c : base)
        upper += static_cast<wchar_t>(std::towupper(c));
    if (upper == L"CON" || upper == L"PRN" || upper == L"AUX" || upper == L"NUL")
        return base.size();
    if (upper.size() == 4 && (upper.starts_with(L"COM") || upper.starts_with(L"LPT")) && upper[3] >= L'1' &&
        upper[3] <= L'9')
        return base.size();
    return 0;
}

} // namespace

std::wstring PlainFileNameProblem(const std::wstring& name)
{
    if (name.empty())
        return L"the name is empty";
    for (wchar_t c : name) {
        if (c == L'\\' || c == L'/')
            return L"a file name cannot hold a folder path";
        if (c == L':')
            return L"a file name cannot hold a drive or a colon";
    }
    if (name == L"." || name == L"..")
        return L"\".\" and \"..\" name folders";
    for (wchar_t c : name)
        if (IsForbidden(c))
            return L"a file name cannot hold the characters < > \" | ? * or control characters";
    if (name.back() == L'.' || name.back() == L' ')
        return L"a file name cannot end in a dot or a blank";
    if (ReservedBaseLength(name) > 0)
        return L"the name is reserved for a device";
    return L"";
}

std::wstring MakePlainFileName(const std::wstring& name)
{
    std::wstring plain = name;
    for (wchar_t& c : plain)
        if (IsForbidden(c))
            c = L'_';
    for (auto it = plain.rbegin(); it != plain.rend() && (*it == L'.' || *it == L' '); ++it)
        *it = L'_';
    if (const std::size_t base = ReservedBaseLength(plain); base > 0)
        plain.insert(base, 1, L'_');
    if (plain.empty())
        plain = L"_";
    return plain;
}

bool IsTemporaryOrLinkFile(const std::wstring& path)
{
    const std::size_t slash = path.find_last_of(L"\\/");
    const std::size_t dot = path.find_last_of(L'.');
    if (dot == std::wstring::npos || (slash != std::wstring::npos && dot < slash))
        return false;
    const std::wstring extension = path.substr(dot);
    for (const wchar_t* leftOut : {L".tmp", L".lnk"})
        if (CompareStringOrdinal(extension.c_str(), -1, leftOut, -1, TRUE) == CSTR_EQUAL)
            return true;
    return false;
}
