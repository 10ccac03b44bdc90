#pragma once
// CorvaneRepackager.ini: read and written with the wide private-profile functions.
// The file itself is named by the caller (WorkPaths::ConfigFilePath, common/Paths.h).
#include <string>

inline constexpr const wchar_t* ConfigFileName = L"CorvaneRepackager.ini";

int ReadConfigInt(const std::wstring& file, const wchar_t* section, const wchar_t* key, int fallback);
// Strings are cut to 255 characters, as the profile reader's buffer holds.
std::wstring ReadConfigString(const std::wstring& file, const wchar_t* section, const wchar_t* key,
                              const wchar_t* fallback);
// Writes a value; a null value removes the key. Returns false when the write fails.
bool WriteConfigString(const std::wstring& file, const wchar_t* section, const wchar_t* key, const wchar_t* value);
