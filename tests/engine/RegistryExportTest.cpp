#include "common/Paths.h"
#include "common/Utf.h"
#include "engine/RegFileWriter.h"
#include "engine/RegistryEnumerate.h"
#include "tests/support/RegistryTestHelpers.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

const std::wstring Header = L"Windows Registry Editor Version 5.00\r\n\r\n";

class RegistryExport : public ::testing::Test
{
protected:
    // Exports `root` into a fresh file and returns its text.
    std::wstring Export(const std::wstring& root, DWORD* result = nullptr)
    {
        const std::wstring file = m_folder / L"RegSnapShot0.reg";
        DWORD writeError = 0;
        const DWORD rc = m_registry.ExportKey(root, file, writeError);
        if (result)
            *result = rc;
        EXPECT_EQ(writeError, 0u);
        return ReadRegFile(file);
    }

    TempFolder m_folder;
    WorkPaths m_paths;
    CRegistryEnumerate m_registry{m_paths};
};

} // namespace

TEST_F(RegistryExport, WritesEveryTypeSortedAndEscapedByteForByte)
{
    TestRegistryKey test(L"ExportTypes");
    const HKEY k = test.Key();
    SetString(k, L"", L"");
    SetString(k, L"Str", L"a\"b\\c");
    const BYTE bin[] = {1, 255};
    SetValue(k, L"Bin", REG_BINARY, bin, 2);
    SetValue(k, L"EmptyBin", REG_BINARY, nullptr, 0);
    SetDword(k, L"Dw", 10);
    const std::uint64_t qword = 0x0102030405060708ull;
    SetValue(k, L"Qw", REG_QWORD, &qword, 8);
    SetValue(k, L"Multi", REG_MULTI_SZ, L"a\0b\0", 10);
    SetString(k, L"Exp", L"%x%", REG_EXPAND_SZ);
    const BYTE big[] = {0, 0, 1, 2};
    SetValue(k, L"Big", REG_DWORD_BIG_ENDIAN, big, 4);
    const BYTE none[] = {0xab};
    SetValue(k, L"None", REG_NONE, none, 1);
    SetValue(k, L"Odd", 0x20, bin, 2);
    SetString(k, L"Lines", L"a\r\nb");
    SetValue(k, L"Padded", REG_SZ, L"ab\0\0", 8);
    SetValue(k, L"NoNul", REG_SZ, L"ab", 4);
    SetValue(k, L"Inner", REG_SZ, L"a\0b", 8);
    SetDword(k, L"q\"u\\o=te", 1);
    // Subkeys whose plain character order differs from the registry's order.
    CreateKey(k, L"b2");
    CreateKey(k, L"B1");
    CreateKey(k, L"A b");
    SetDword(CreateKey(k, L"a\\z").get(), L"v", 0);

    const std::wstring path = L"HKEY_CURRENT_USER\\" + test.SubPath();
    const std::wstring expected = Header + L"[" + path + L"]\r\n" +
                                  L"@=\"\"\r\n"
                                  L"\"Big\"=hex(5):00,00,01,02\r\n"
                                  L"\"Bin\"=hex:01,ff\r\n"
                                  L"\"Dw\"=dword:0000000a\r\n"
                                  L"\"EmptyBin\"=hex:\r\n"
                                  L"\"Exp\"=hex(2):25,00,78,00,25,00,00,00\r\n"
                                  L"\"Inner\"=hex(1):61,00,00,00,62,00,00,00\r\n"
                                  L"\"Lines\"=hex(1):61,00,0d,00,0a,00,62,00,00,00\r\n"
                                  L"\"Multi\"=hex(7):61,00,00,00,62,00,00,00,00,00\r\n"
                                  L"\"None\"=hex(0):ab\r\n"
                                  L"\"NoNul\"=\"ab\"\r\n"
                                  L"\"Odd\"=hex(20):01,ff\r\n"
                                  L"\"Padded\"=\"ab\"\r\n"
                                  L"\"Qw\"=hex(b):08,07,06,05,04,03,02,01\r\n"
                                  L"\"q\\\"u\\\\o=te\"=dword:00000001\r\n"
                                  L"\"Str\"=\"a\\\"b\\\\c\"\r\n"
                                  L"\r\n" +
                                  L"[" + path + L"\\a]\r\n\r\n" +
                                  L"[" + path + L"\\a\\z]\r\n\"v\"=dword:00000000\r\n\r\n" +
                                  L"[" + path + L"\\A b]\r\n\r\n" +
                                  L"[" + path + L"\\B1]\r\n\r\n" +
                                  L"[" + path + L"\\b2]\r\n\r\n";
    DWORD result = 1;
    EXPECT_EQ(Export(L"HKEY_CURRENT_USER\\" + test.SubPath(), &result), expected);
    EXPECT_EQ(result, 0u);
    EXPECT_EQ(m_registry.KeysOpened(), 6);
}

TEST_F(RegistryExport, ShortHiveNameAndTrailingBackslashGiveTheLongHeader)
{
    TestRegistryKey test(L"ShortHive");
    CreateKey(test.Key(), L"X");
    const std::wstring longPath = L"HKEY_CURRENT_USER\\" + test.SubPath();
    const std::wstring expected = Header + L"[" + longPath + L"\\X]\r\n\r\n";
    EXPECT_EQ(Export(L"HKCU\\" + test.SubPath() + L"\\X"), expected);
    EXPECT_EQ(Export(L"HKCU\\" + test.SubPath() + L"\\X\\"), expected);
}

TEST_F(RegistryExport, WholeHiveStartsWithTheHiveHeader)
{
    TestRegistryKey test(L"WholeHive");
    SetDword(test.Key(), L"Marker", 7);
    const std::wstring text = Export(L"HKCU");
    const std::wstring start = Header + L"[HKEY_CURRENT_USER]\r\n";
    EXPECT_EQ(text.substr(0, start.size()), start);
    const std::wstring section = L"\r\n[HKEY_CURRENT_USER\\" + test.SubPath() + L"]\r\n\"Marker\"=dword:00000007\r\n";
    EXPECT_NE(text.find(section), std::wstring::npos);
}

TEST_F(RegistryExport, UnknownHiveWritesTheHeaderOnlyAndTellsStandardError)
{
    const std::wstring errorFile = m_folder / L"stderr.txt";
    const HANDLE saved = GetStdHandle(STD_ERROR_HANDLE);
    {
        UniqueFile redirected(CreateFileW(errorFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(redirected.valid());
        SetStdHandle(STD_ERROR_HANDLE, redirected.get());
        const std::wstring text = Export(L"HKXX\\Soft");
        SetStdHandle(STD_ERROR_HANDLE, saved);
        EXPECT_EQ(text, Header);
    }
    EXPECT_EQ(ReadFileBytes(errorFile), "Invalid key: 'HKXX'. Must be one of: HKCC HKCR HKCU HKLM HKU\r\n");
    // Hive names are matched exactly.
    SetStdHandle(STD_ERROR_HANDLE, INVALID_HANDLE_VALUE);
    EXPECT_EQ(Export(L"hkcu\\Software"), Header);
    SetStdHandle(STD_ERROR_HANDLE, saved);
}

TEST_F(RegistryExport, ExcludedKeysAreLeftOutWithTheirSubtrees)
{
    TestRegistryKey test(L"Exclusions");
    SetDword(CreateKey(test.Key(), L"Keep").get(), L"k", 1);
    SetDword(CreateKey(test.Key(), L"Skip\\Inner").get(), L"i", 2);
    CreateKey(test.Key(), L"SkipNot");
    CreateKey(test.Key(), L"Gone");
    // Short and long hive names, any case, a trailing backslash.
    m_registry.SetExcludedKeys({L"HKCU\\" + ToUpperAscii(test.SubPath()) + L"\\SKIP",
                                L"HKEY_CURRENT_USER\\" + test.SubPath() + L"\\gone\\"});

    const std::wstring path = L"HKEY_CURRENT_USER\\" + test.SubPath();
    EXPECT_EQ(Export(path), Header + L"[" + path + L"]\r\n\r\n" + L"[" + path + L"\\Keep]\r\n\"k\"=dword:00000001\r\n\r\n" +
                                L"[" + path + L"\\SkipNot]\r\n\r\n");

    // An excluded root leaves the header alone.
    EXPECT_EQ(Export(path + L"\\Skip"), Header);
}

TEST_F(RegistryExport, MissingRootKeyGivesTheHeaderAndItsError)
{
    TestRegistryKey test(L"Missing");
    DWORD result = 0;
    EXPECT_EQ(Export(L"HKEY_CURRENT_USER\\" + test.SubPath() + L"\\Nothing", &result), Header);
    EXPECT_EQ(result, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST(RegistryExportFile, UnwritableFileIsReportedNotIgnored)
{
    TempFolder folder;
    const WorkPaths paths;
    CRegistryEnumerate registry(paths);
    DWORD writeError = 0;
    (void)registry.ExportKey(L"HKCU\\Software", folder / L"no\\such\\folder.reg", writeError);
    EXPECT_EQ(writeError, static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

TEST(RegistryOrder, KeyPathsCompareByComponentWithoutCase)
{
    using RegOrder::CompareKeyPaths;
    EXPECT_LT(CompareKeyPaths(L"K", L"K\\Sub"), 0);
    EXPECT_LT(CompareKeyPaths(L"K\\Sub", L"K 2"), 0);
    EXPECT_LT(CompareKeyPaths(L"Run\\X", L"RunOnce"), 0);
    EXPECT_LT(CompareKeyPaths(L"abc", L"ABD"), 0);
    EXPECT_EQ(CompareKeyPaths(L"Software\\Vendor", L"SOFTWARE\\vendor"), 0);
    EXPECT_GT(CompareKeyPaths(L"b", L"A\\z"), 0);
    EXPECT_TRUE(RegOrder::IsBelow(L"A\\Run\\x", L"a\\RUN"));
    EXPECT_FALSE(RegOrder::IsBelow(L"A\\RunOnce", L"A\\Run"));
    EXPECT_FALSE(RegOrder::IsBelow(L"A\\Run", L"A\\Run"));

    using RegOrder::CompareValueNames;
    EXPECT_LT(CompareValueNames(L"", true, L"!x", false), 0);
    EXPECT_LT(CompareValueNames(L"b", false, L"C", false), 0);
    EXPECT_EQ(CompareValueNames(L"Name", false, L"nAME", false), 0);
    EXPECT_LT(CompareValueNames(L"ab", false, L"abc", false), 0);

    std::wstring escaped;
    RegOrder::AppendEscapedName(escaped, L"a\"b\\c\r\nd=e");
    EXPECT_EQ(escaped, L"a\\\"b\\\\c\\r\\nd=e");
    EXPECT_EQ(RegOrder::Unescape(escaped), L"a\"b\\c\r\nd=e");
}
