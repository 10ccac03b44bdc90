#include "common/Config.h"

#include "common/Paths.h"
#include "common/Utf.h"

#include <windows.h>

std::wstring ConfigFile()
{
    return Paths().ConfigFilePath;
}

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

bool ReadSnapshotTakenKey()
{
    return ReadConfigInt(ConfigFile(), L"SnapshotDetails", L"IsSnapshotTaken", 0) != 0;
}

bool WriteSnapshotTakenKey()
{
    return WriteConfigString(ConfigFile(), L"SnapshotDetails", L"IsSnapshotTaken", L"1");
}

bool RemoveSnapshotTakenKey()
{
    return WriteConfigString(ConfigFile(), L"SnapshotDetails", L"IsSnapshotTaken", nullptr);
}
