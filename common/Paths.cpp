#include "common/Paths.h"

#include "common/UniqueHandle.h"
#include "common/Utf.h"

#include <vector>

const char* const ValueTypePrefixes[ValueTypeCount] = {"hex(2):", "hex:", "hex(b):", "dword:", ""};
const char* const ValueTypeNames[ValueTypeCount] = {"REG_EXPAND_SZ", "REG_BINARY", "REG_QWORD", "REG_DWORD", "REG_SZ"};

bool EnsureFolder(const std::wstring& path)
{
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        CreateDirectoryW(path.c_str(), nullptr);
        attributes = GetFileAttributesW(path.c_str());
    }
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

namespace {

// Empties and removes the folder in `path`, which it leaves as it found it.
void RemoveTree(std::wstring& path)
{
    const std::size_t length = path.size();
    path += L"\\*";
    WIN32_FIND_DATAW data;
    UniqueFind find(
        FindFirstFileExW(path.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH));
    if (find) {
        do {
            const wchar_t* name = data.cFileName;
            if (name[0] == L'.' && (name[1] == L'\0' || (name[1] == L'.' && name[2] == L'\0')))
                continue;
            path.resize(length + 1);
            path += name;
            const bool isLink = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
            if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !isLink) {
                RemoveTree(path);
            } else if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                // A junction or folder link: remove the link, never what it points to.
                RemoveDirectoryW(path.c_str());
            } else {
                if (data.dwFileAttributes & FILE_ATTRIBUTE_READONLY)
                    SetFileAttributesW(path.c_str(), data.dwFileAttributes & ~FILE_ATTRIBUTE_READONLY);
                DeleteFileW(path.c_str());
            }
        } while (FindNextFileW(find.get(), &data));
    }
    find.reset();
    path.resize(length);
    if (!RemoveDirectoryW(path.c_str())) {
        // A read-only folder is removed once the attribute is off.
        const DWORD attributes = GetFileAttributesW(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) &&
            SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY))
            RemoveDirectoryW(path.c_str());
    }
}

} // namespace

void RemoveFolderTree(const std::wstring& path)
{
    if (path.empty())
        return;
    std::wstring folder = path;
    while (folder.size() > 1 && folder.back() == L'\\')
        folder.pop_back();
    folder.reserve(folder.size() + 300);
    RemoveTree(folder);
}

const std::map<std::wstring, HKEY>& HiveNames()
{
    static const std::map<std::wstring, HKEY> names = {
        {L"HKCR", HKEY_CLASSES_ROOT}, {L"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
        {L"HKCU", HKEY_CURRENT_USER}, {L"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
        {L"HKLM", HKEY_LOCAL_MACHINE}, {L"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
        {L"HKU", HKEY_USERS}, {L"HKEY_USERS", HKEY_USERS},
        {L"HKCC", HKEY_CURRENT_CONFIG}, {L"HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG},
    };
    return names;
}

int ClassifyValueText(std::string_view text, std::string_view* data)
{
    for (int i = 0; i < ValueTypeCount; ++i) {
        const std::string_view prefix = ValueTypePrefixes[i];
        if (text.substr(0, prefix.size()) == prefix) {
            if (data)
                *data = text.substr(prefix.size());
            return i;
        }
    }
    return ValueTypeCount - 1; // unreachable: the empty prefix matches everything
}
