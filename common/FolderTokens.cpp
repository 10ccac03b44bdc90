#include "common/FolderTokens.h"

namespace {

struct TokenRow
{
    const wchar_t* token;
    const std::wstring FolderTokenValues::*value;
};

// Tested in this order: the application-data folder lies inside the user
// profile, so it must be tried first.
constexpr TokenRow PrefixRows[] = {
    {L"%PROGRAMFILES%", &FolderTokenValues::programfiles},
    // 64-bit Windows only: the 64-bit Program Files folder (ProgramW6432);
    // for this 32-bit program %PROGRAMFILES% is Program Files (x86) there.
    {L"%PROGRAMFILES64%", &FolderTokenValues::programfiles64},
    {L"%WINDIR%", &FolderTokenValues::windir},
    {L"%APPDATA%", &FolderTokenValues::appdata},
    {L"%USERPROFILE%", &FolderTokenValues::userprofile},
    {L"%ALLUSERSPROFILE%", &FolderTokenValues::allusersprofile},
};
constexpr const wchar_t* SysDriveToken = L"%SYSDRIVE%";

void ReplaceAll(std::wstring& text, const std::wstring& from, const std::wstring& to)
{
    std::wstring::size_type at = 0;
    while ((at = text.find(from, at)) != std::wstring::npos) {
        text.replace(at, from.size(), to);
        at += to.size();
    }
}

// Replaces every occurrence of `from` when its first occurrence starts the path.
bool ReplaceIfLeading(std::wstring& path, const std::wstring& from, const std::wstring& to)
{
    if (from.empty() || path.find(from) != 0)
        return false;
    ReplaceAll(path, from, to);
    return true;
}

// True when `at` ends a folder name of the path: the end or a backslash.
bool EndsAFolderName(const std::wstring& path, std::wstring::size_type at)
{
    return at == path.size() || path[at] == L'\\';
}

// A real folder matches only whole folder names, so that C:\Program Files
// never takes the start of C:\Program Files (x86): every occurrence that ends
// at a separator is replaced when the first one starts the path.
bool ReplaceLeadingFolder(std::wstring& path, const std::wstring& folder, const std::wstring& token)
{
    if (folder.empty() || path.compare(0, folder.size(), folder) != 0 || !EndsAFolderName(path, folder.size()))
        return false;
    std::wstring::size_type at = 0;
    while ((at = path.find(folder, at)) != std::wstring::npos) {
        if (!EndsAFolderName(path, at + folder.size())) {
            at += folder.size();
            continue;
        }
        path.replace(at, folder.size(), token);
        at += token.size();
    }
    return true;
}

} // namespace

void ToTokenPath(std::wstring& path, const FolderTokenValues& values)
{
    for (const TokenRow& row : PrefixRows) {
        // An unset variable is skipped, so the later rows are still tried.
        if (ReplaceLeadingFolder(path, values.*row.value, row.token))
            return;
    }
    if (!values.systemdrive.empty() && path == values.systemdrive)
        path = SysDriveToken;
}

void ToRealPath(std::wstring& path, const FolderTokenValues& values)
{
    for (const TokenRow& row : PrefixRows) {
        if ((values.*row.value).empty())
            continue;
        if (ReplaceIfLeading(path, row.token, values.*row.value))
            return;
    }
    if (values.systemdrive.empty())
        return;
    // The drive's token stands alone or starts a path ("%SYSDRIVE%\pagefile.sys"
    // in the include/exclude file), in any case.
    const std::size_t length = std::char_traits<wchar_t>::length(SysDriveToken);
    if (path.size() >= length &&
        CompareStringOrdinal(path.c_str(), static_cast<int>(length), SysDriveToken, static_cast<int>(length), TRUE) ==
            CSTR_EQUAL &&
        EndsAFolderName(path, length))
        path.replace(0, length, values.systemdrive);
}
