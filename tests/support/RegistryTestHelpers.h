#pragma once
// Registry helpers for tests that build real keys and read export files.
#include "common/UniqueHandle.h"
#include "common/Utf.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <string_view>

inline void SetValue(HKEY key, const wchar_t* name, DWORD type, const void* data, DWORD size)
{
    ASSERT_EQ(RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS) << ToUtf8(name);
}

// A string value with its terminator, REG_SZ unless another string type is given.
inline void SetString(HKEY key, const wchar_t* name, std::wstring_view text, DWORD type = REG_SZ)
{
    const std::wstring withNul = std::wstring(text) + L'\0';
    SetValue(key, name, type, withNul.data(), static_cast<DWORD>(withNul.size() * sizeof(wchar_t)));
}

inline void SetDword(HKEY key, const wchar_t* name, DWORD value)
{
    SetValue(key, name, REG_DWORD, &value, sizeof value);
}

inline UniqueHKey CreateKey(HKEY parent, const std::wstring& path)
{
    UniqueHKey key;
    EXPECT_EQ(RegCreateKeyExW(parent, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(), nullptr),
              ERROR_SUCCESS)
        << ToUtf8(path);
    return key;
}

// An export file as text: the byte order mark must be there; it is not returned.
inline std::wstring ReadRegFile(const std::wstring& path)
{
    const std::string bytes = ReadFileBytes(path);
    EXPECT_GE(bytes.size(), 2u);
    EXPECT_EQ(bytes.substr(0, 2), std::string("\xff\xfe"));
    EXPECT_EQ(bytes.size() % 2, 0u);
    std::wstring text((bytes.size() - 2) / 2, L'\0');
    std::memcpy(text.data(), bytes.data() + 2, text.size() * 2);
    return text;
}
