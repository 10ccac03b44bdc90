// The result type and its texts: Win32 and Windows Installer codes with the
// system's text, a callee's failure in its caller's words, and a failed
// msi.dll call as the builder reports it.
#include "common/Result.h"
#include "common/Utf.h"
#include "msi/MsiResult.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cwctype>
#include <string>

namespace {

std::wstring Lower(std::wstring text)
{
    for (wchar_t& c : text)
        c = static_cast<wchar_t>(std::towlower(c));
    return text;
}

} // namespace

TEST(Result, CodesCarryTheSystemsText)
{
    struct Case
    {
        const char* what;
        Result result;
        DWORD code;
        std::wstring text;     // the whole text, or its start when `system` is set
        const wchar_t* system; // a word of the system's text for the code, lower case
    };
    const Case cases[] = {
        {"ok", Result::Ok(), ERROR_SUCCESS, L"", nullptr},
        {"a Win32 code", Result::Win32(ERROR_FILE_NOT_FOUND, L"Unable to open a.txt"), ERROR_FILE_NOT_FOUND,
         L"Unable to open a.txt (error 2: ", L"file"},
        {"a Windows Installer code with its detail",
         Result::Installer(ERROR_BAD_QUERY_SYNTAX, L"Unable to query", L"1: 2227"), ERROR_BAD_QUERY_SYNTAX,
         L"Unable to query (error 1615: ", L"query"},
        {"ERROR_SUCCESS from msi.dll", Result::Installer(ERROR_SUCCESS, L"Unable to query"), ERROR_SUCCESS, L"",
         nullptr},
        {"a failure of no system call", Result::Failure(ERROR_SUCCESS, L"it is cut short"), ERROR_GEN_FAILURE,
         L"it is cut short", nullptr},
        {"a code the system has no text for", Result::Win32(0x2000FFFF, L"odd"), 0x2000FFFF,
         L"odd (error 536936447: unknown error)", nullptr},
        {"a callee's failure in the caller's words",
         Result::Because(L"Unable to write x", Result::Win32(ERROR_ACCESS_DENIED, L"Unable to save y")),
         ERROR_ACCESS_DENIED, L"Unable to write x (error 5: ", L"denied"},
        {"a callee's failure whose text has no code",
         Result::Because(L"Unable to write x", Result::Failure(ERROR_PATH_NOT_FOUND, L"y is missing")),
         ERROR_PATH_NOT_FOUND, L"Unable to write x (error 3: ", L"path"},
        {"a COM failure's ending kept as it is",
         Result::Because(L"Unable to write x", Result::Failure(0x80070005, L"Unable to save y (error 0x80070005: No)")),
         0x80070005, L"Unable to write x (error 0x80070005: No)", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.code == ERROR_SUCCESS, static_cast<bool>(c.result));
        EXPECT_EQ(c.code, c.result.Code());
        const std::wstring& text = c.result.Text();
        if (!c.system) {
            EXPECT_EQ(c.text, text);
            continue;
        }
        ASSERT_TRUE(text.starts_with(c.text)) << ToUtf8(text);
        EXPECT_TRUE(text.ends_with(L")")) << ToUtf8(text);
        const std::wstring system = text.substr(c.text.size());
        EXPECT_NE(std::wstring::npos, Lower(system).find(c.system)) << ToUtf8(text);
        EXPECT_EQ(std::wstring::npos, system.find_first_of(L"\r\n")) << "one line";
    }
    EXPECT_TRUE(Result::Installer(ERROR_BAD_QUERY_SYNTAX, L"q", L"1: 2227").Text().ends_with(L"; 1: 2227)"));
}

TEST(Result, FailedInstallerCallCarriesItsCode)
{
    TempFolder temp;
    const std::wstring notADatabase = temp / L"text.msi";
    WriteFileBytes(notADatabase, std::string(4096, 'x'));
    UniqueMsiHandle database;
    const UINT rc = MsiOpenDatabaseW(notADatabase.c_str(), MSIDBOPEN_READONLY, database.put());
    const Result opened = InstallerResult(rc, L"Unable to open " + notADatabase);
    ASSERT_FALSE(opened);
    EXPECT_EQ(rc, opened.Code());
    EXPECT_TRUE(opened.Text().starts_with(L"Unable to open " + notADatabase + L" (error " + std::to_wstring(rc) + L": "))
        << ToUtf8(opened.Text());
    EXPECT_TRUE(InstallerResult(ERROR_SUCCESS, L"never"));
}
