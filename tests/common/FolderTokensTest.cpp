#include "common/FolderTokens.h"

#include <gtest/gtest.h>

namespace {

class FolderTokens : public ::testing::Test
{
protected:
    void SetUp() override
    {
        FolderTokenValues& v = m_tokens;
        v.programfiles = L"C:\\Program Files";
        v.windir = L"C:\\windows";
        v.userprofile = L"C:\\users\\ann";
        v.appdata = L"C:\\users\\ann\\Application Data";
        v.allusersprofile = L"C:\\ProgramData";
        v.systemdrive = L"C:";
    }
    std::wstring Token(std::wstring p) const
    {
        ToTokenPath(p, m_tokens);
        return p;
    }
    std::wstring Real(std::wstring p) const
    {
        ToRealPath(p, m_tokens);
        return p;
    }

    FolderTokenValues m_tokens;
};

} // namespace

TEST_F(FolderTokens, LeadingFolderBecomesItsTokenAndBack)
{
    EXPECT_EQ(Token(L"C:\\Program Files\\App\\a.dll"), L"%PROGRAMFILES%\\App\\a.dll");
    // A folder matches whole folder names only.
    EXPECT_EQ(Token(L"C:\\Program Files (x86)\\App"), L"C:\\Program Files (x86)\\App");
    EXPECT_EQ(Real(L"%PROGRAMFILES%\\App\\a.dll"), L"C:\\Program Files\\App\\a.dll");
    EXPECT_EQ(Real(L"%PROGRAMFILES% (x86)\\App"), L"C:\\Program Files (x86)\\App");
    EXPECT_EQ(Token(L"C:\\windows\\win.ini"), L"%WINDIR%\\win.ini");
    EXPECT_EQ(Token(L"C:\\ProgramData\\x"), L"%ALLUSERSPROFILE%\\x");
}

TEST_F(FolderTokens, ApplicationDataWinsOverTheProfileThatHoldsIt)
{
    EXPECT_EQ(Token(L"C:\\users\\ann\\Application Data\\App\\c.ini"), L"%APPDATA%\\App\\c.ini");
    EXPECT_EQ(Token(L"C:\\users\\ann\\Desktop\\x.lnk"), L"%USERPROFILE%\\Desktop\\x.lnk");
    EXPECT_EQ(Real(L"%APPDATA%\\App"), L"C:\\users\\ann\\Application Data\\App");
}

TEST_F(FolderTokens, ComparisonIsCaseSensitiveAndAnchoredAtTheStart)
{
    EXPECT_EQ(Token(L"c:\\program files\\App"), L"c:\\program files\\App");
    EXPECT_EQ(Real(L"X\\%WINDIR%"), L"X\\%WINDIR%");
    EXPECT_EQ(Token(L"D:\\C:\\Program Files"), L"D:\\C:\\Program Files");
}

TEST_F(FolderTokens, SystemDriveTokenMadeOnlyForTheWholePathButExpandedWhereverItLeads)
{
    EXPECT_EQ(Token(L"C:"), L"%SYSDRIVE%");
    EXPECT_EQ(Token(L"C:\\"), L"C:\\");
    EXPECT_EQ(Token(L"C:\\data"), L"C:\\data");
    EXPECT_EQ(Real(L"%SYSDRIVE%"), L"C:");
    // Include/exclude files name paths below the drive by its token.
    EXPECT_EQ(Real(L"%SYSDRIVE%\\data"), L"C:\\data");
    EXPECT_EQ(Real(L"%SysDrive%\\pagefile.sys"), L"C:\\pagefile.sys");
    EXPECT_EQ(Real(L"%SYSDRIVE%data"), L"%SYSDRIVE%data");
}

TEST_F(FolderTokens, EveryOccurrenceOfTheLeadingValueIsReplacedButOnlyOneKind)
{
    EXPECT_EQ(Token(L"C:\\windows\\x\\C:\\windows"), L"%WINDIR%\\x\\%WINDIR%");
    EXPECT_EQ(Real(L"%WINDIR%\\a\\%WINDIR%\\%SYSDRIVE%"), L"C:\\windows\\a\\C:\\windows\\%SYSDRIVE%");
}

TEST_F(FolderTokens, AnUnsetVariableIsSkippedSoLaterRowsAreStillTried)
{
    m_tokens.programfiles.clear();
    m_tokens.windir.clear();
    EXPECT_EQ(Token(L"C:\\users\\ann\\Application Data\\x"), L"%APPDATA%\\x");
    EXPECT_EQ(Real(L"%APPDATA%\\x"), L"C:\\users\\ann\\Application Data\\x");
    EXPECT_EQ(Real(L"%PROGRAMFILES%\\x"), L"%PROGRAMFILES%\\x");
    EXPECT_EQ(Token(L"C:"), L"%SYSDRIVE%");
}

TEST_F(FolderTokens, NonAsciiFolderNamesConvert)
{
    m_tokens.programfiles = L"C:\\Programme \u00fcber";
    EXPECT_EQ(Token(L"C:\\Programme \u00fcber\\Caf\u00e9"), L"%PROGRAMFILES%\\Caf\u00e9");
    EXPECT_EQ(Real(L"%PROGRAMFILES%\\Caf\u00e9"), L"C:\\Programme \u00fcber\\Caf\u00e9");
}

// 32-bit Windows (no ProgramW6432) and 64-bit Windows, where this 32-bit
// program's Program Files is the (x86) one and the 64-bit one has its own token.
TEST_F(FolderTokens, ProgramFilesFoldersOf32And64BitWindows)
{
    struct Case
    {
        const wchar_t* programFiles;
        const wchar_t* programFiles64;
        const wchar_t* real;
        const wchar_t* token;
    };
    const Case cases[] = {
        {L"C:\\Program Files", L"", L"C:\\Program Files", L"%PROGRAMFILES%"},
        {L"C:\\Program Files", L"", L"C:\\Program Files\\App\\a.exe", L"%PROGRAMFILES%\\App\\a.exe"},
        {L"C:\\Program Files", L"", L"C:\\Program Files (x86)\\App", L"C:\\Program Files (x86)\\App"},
        {L"C:\\Program Files (x86)", L"C:\\Program Files", L"C:\\Program Files (x86)", L"%PROGRAMFILES%"},
        {L"C:\\Program Files (x86)", L"C:\\Program Files", L"C:\\Program Files (x86)\\App\\a.exe",
         L"%PROGRAMFILES%\\App\\a.exe"},
        {L"C:\\Program Files (x86)", L"C:\\Program Files", L"C:\\Program Files", L"%PROGRAMFILES64%"},
        {L"C:\\Program Files (x86)", L"C:\\Program Files", L"C:\\Program Files\\App\\a.exe",
         L"%PROGRAMFILES64%\\App\\a.exe"},
        {L"C:\\Program Files (x86)", L"C:\\Program Files", L"C:\\Program Files\\App\\C:\\Program Files (x86)",
         L"%PROGRAMFILES64%\\App\\C:\\Program Files (x86)"},
        {L"C:\\Program Files (x86)", L"C:\\Program Files", L"C:\\Program Filesx\\a", L"C:\\Program Filesx\\a"},
        {L"C:\\Program Files (x86)", L"C:\\Program Files", L"C:\\windows\\system32\\a.dll", L"%WINDIR%\\system32\\a.dll"},
    };
    for (const Case& c : cases) {
        m_tokens.programfiles = c.programFiles;
        m_tokens.programfiles64 = c.programFiles64;
        EXPECT_EQ(Token(c.real), c.token) << c.real;
        EXPECT_EQ(Real(c.token), c.real) << c.token;
    }
}
