#include "manager/CaptureReport.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr wchar_t Malicious[] = L"<script>alert(\"x\")</script> & 'q'";

CaptureReportInput SampleInput()
{
    CaptureReportInput input;
    ProjectModel& project = input.Project;
    project.Product = {L"App <b>", L"1.0", L"Acme & Co"};
    project.Changes.Files(ChangeOrigin::Added) = {
        {L"%PROGRAMFILES%\\b", {L"%PROGRAMFILES%\\b\\z.txt"}},
        {L"%PROGRAMFILES%\\A", {L"%PROGRAMFILES%\\A\\B.txt", L"%PROGRAMFILES%\\A\\a.txt"}}};
    project.Changes.Files(ChangeOrigin::Modified) = {{L"%WINDIR%", {L"%WINDIR%\\win.ini"}}};
    project.Changes.Files(ChangeOrigin::Deleted) = {{L"%WINDIR%", {L"%WINDIR%\\old.txt"}}};
    project.Changes.Registry(ChangeOrigin::Added) = {
        {L"HKEY_LOCAL_MACHINE\\Software\\App",
         {{L"HKEY_LOCAL_MACHINE\\Software\\App", L"", L"", L""},
          {L"HKEY_LOCAL_MACHINE\\Software\\App", L"\"Evil\"", L"REG_SZ", Malicious},
          {L"HKEY_LOCAL_MACHINE\\Software\\App", L"@", L"REG_SZ", std::wstring(100, L'x') + L"END"}}}};
    project.Changes.Ini(ChangeOrigin::Added) = {{L"%WINDIR%\\app.ini", {{L"General", L"Mode", L"plain"}}}};
    project.Shortcuts = {{L"App", L"%PROGRAMFILES%\\A\\a.txt", L"ProgramMenuFolder", L"", L"0"}};
    input.Steps.Durations[CaptureRecord::Index(CaptureStep::FirstSnapshot)] = 4130;
    input.Excluded = {{L"Folder", L"%PROGRAMFILES%\\Cache", L"Cache of the setup"}};
    input.LeftOut = {{L"File", L"C:\\Program Files\\A\\huge.bin", L"2 GiB or larger"}};
    input.FileSize = [](const std::wstring& path) -> std::optional<unsigned long long> {
        if (path.ends_with(L"a.txt"))
            return 1234567;
        if (path.ends_with(L".ini") || path.ends_with(L"old.txt"))
            return 7;
        return std::nullopt;
    };
    return input;
}

// True when every fragment occurs in `text`, each after the one before.
::testing::AssertionResult InOrder(const std::string& text, const std::vector<std::string>& fragments)
{
    std::size_t at = 0;
    for (const std::string& fragment : fragments) {
        const std::size_t found = text.find(fragment, at);
        if (found == std::string::npos)
            return ::testing::AssertionFailure() << "\"" << fragment << "\" not found after offset " << at;
        at = found + fragment.size();
    }
    return ::testing::AssertionSuccess();
}

} // namespace

TEST(CaptureReport, ShowsEachPartAsWritten)
{
    const std::string html = CaptureReportHtml(SampleInput());
    struct Case
    {
        const char* what;
        std::vector<std::string> fragments;
    } cases[] = {
        {"texts escaped",
         {"<h1>Capture report: App &lt;b&gt; 1.0</h1>", "<td>Acme &amp; Co</td>",
          "<td>&lt;script&gt;alert(&quot;x&quot;)&lt;/script&gt; &amp; &#39;q&#39;</td>"}},
        {"folders and names sorted by path without regard to case",
         {"<th colspan=\"3\">%PROGRAMFILES%\\A</th>", "<td>a.txt</td><td class=\"n\">1,234,567</td><td>added</td>",
          "<td>B.txt</td><td class=\"n\"></td>", "%PROGRAMFILES%\\b</th>", "%WINDIR%</th>",
          "<td>old.txt</td><td class=\"n\"></td><td>deleted</td>", "<td>win.ini</td><td class=\"n\">7</td>"
          "<td>modified</td>"}},
        {"a step not run",
         {"<th>First snapshot</th><th>Setup</th>", "<td>4.13 s</td><td>not run</td><td>not run</td>",
          "<td>not run</td><td>not run</td><td>not run</td></tr>"}},
        {"counts row: 3 added, 1 changed, 1 deleted files, 1 key, 2 values, 1 INI entry, 1 shortcut",
         {"<table class=\"counts\">",
          "<td class=\"n\">3</td><td class=\"n\">1</td><td class=\"n\">1</td><td class=\"n\">1</td>"
          "<td class=\"n\">2</td><td class=\"n\">1</td><td class=\"n\">1</td><td class=\"n\">0</td>"
          "<td class=\"n\">0</td>"}},
        {"long data shortened, whole in its title",
         {"<td>(Default)</td><td>REG_SZ</td><td title=\"" + std::string(100, 'x') + "END\">" +
          std::string(80, 'x') + "\xE2\x80\xA6</td>"}},
        {"what did not go in",
         {"Excluded from the capture (1)", "<td>%PROGRAMFILES%\\Cache</td><td>Cache of the setup</td>",
          "Left out by the build (1)", "<td>C:\\Program Files\\A\\huge.bin</td><td>2 GiB or larger</td>"}},
        {"no package", {"<th>Package</th><td>not built</td>"}},
    };
    for (const Case& c : cases)
        EXPECT_TRUE(InOrder(html, c.fragments)) << c.what;
    EXPECT_EQ(html.find("<script>alert"), std::string::npos);
    // A folder with files of two origins is one group.
    EXPECT_EQ(html.find("%WINDIR%</th>"), html.rfind("%WINDIR%</th>"));
    // The key alone is its heading, not a row of its own.
    EXPECT_TRUE(InOrder(html, {"Registry values (2)"}));
}

TEST(CaptureReport, WritesTheFileOrFailsWithTheSystemsCode)
{
    TempFolder folder;
    const std::wstring path = folder / L"App_report.html";
    ASSERT_TRUE(WriteCaptureReport(SampleInput(), path));
    EXPECT_EQ(ReadFileBytes(path), CaptureReportHtml(SampleInput()));

    const Result failed = WriteCaptureReport(SampleInput(), folder / L"missing\\App_report.html");
    EXPECT_FALSE(failed);
    EXPECT_EQ(failed.Code(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_NE(failed.Text().find(L"(error 3: "), std::wstring::npos);
    EXPECT_EQ(CaptureReportPath(L"C:\\Out\\Packages\\App.MSI"), L"C:\\Out\\Packages\\App_report.html");
}
