#include "common/FileVersionInfo.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

std::wstring OwnPath()
{
    wchar_t path[MAX_PATH * 4] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH * 4);
    return path;
}

} // namespace

TEST(FileVersionInfo, ReadsTheStringsOfTheBestMatchingLanguage)
{
    CFileVersionInfo info;
    ASSERT_TRUE(info.Create(OwnPath()));
    // The test executable carries German and US English tables. Which one wins
    // depends on the user's language: German only on a German system.
    if (PRIMARYLANGID(GetUserDefaultLangID()) == LANG_GERMAN) {
        EXPECT_EQ(info.GetProductName(), L"Widget Bauer");
    } else {
        EXPECT_EQ(info.GetProductName(), L"Widget Maker");
        EXPECT_EQ(info.GetCompanyName(), L"  Acme Test Corp  ") << "the reader keeps blanks; the page trims";
        EXPECT_EQ(info.GetProductVersion(), L"2.5");
        EXPECT_EQ(info.GetFileDescription(), L"Test executable");
    }
    EXPECT_EQ(info.GetFixedInfo().dwFileVersionMS, DWORD((2 << 16) | 5));
    EXPECT_EQ(info.GetFixedInfo().dwFileVersionLS, DWORD(7));
}

TEST(FileVersionInfo, AFileWithoutAVersionResourceLeavesEverythingEmpty)
{
    TempFolder folder;
    const std::wstring plain = folder / L"setup.bat";
    WriteFileBytes(plain, "@echo off\r\n");
    CFileVersionInfo info;
    ASSERT_TRUE(info.Create(OwnPath()));
    EXPECT_FALSE(info.Create(plain));
    EXPECT_EQ(info.GetProductName(), L"");
    EXPECT_EQ(info.GetCompanyName(), L"");
    EXPECT_EQ(info.GetFixedInfo().dwFileVersionMS, 0u);
    EXPECT_FALSE(info.Create(folder / L"missing.exe"));
}
