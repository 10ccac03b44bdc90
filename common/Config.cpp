#include "common/Config.h"

#include <windows.h>

int ReadConfigInt(const std::wstring& file, const wchar_t* section, const wchar_t* key, int fallback)
{
    return static_cast<int>(GetPrivateProfileIntW(section, key, fallback, file.c_str()));
}

std::wstring ReadConfigString(const std::wstring& file, const wchar_t* section, const wchar_t* key,
                              const wchar_t* fallback)
{
    wchar_t buffer[256] = {};
    const DWORD n = GetPrivateProfileStringW(section, key, fallback, buffer, 256, file.c_str());
    return std::wstring(buffer, n);
}

bool WriteConfigString(const std::wstring& file, const wchar_t* section, const wchar_t* key, const wchar_t* value)
{
    return WritePrivateProfileStringW(section, key, value, file.c_str()) != FALSE;
}
