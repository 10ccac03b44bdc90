// The capture machine in captured values: its folders become folder
// properties, its user's name [LogonUser]; its computer's name is counted.
#include "common/Log.h"
#include "common/Utf.h"
#include "msi/MachineValues.h"
#include "tests/project/XmlTestSupport.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

// Listed shortest first: the rewriting must order them itself.
CaptureMachine Packager()
{
    const std::wstring profile = L"C:\\Users\\packager";
    const std::wstring menu = profile + L"\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu";
    return {{
                {profile, L"[USERPROFILE]"},
                {L"C:\\Program Files", L"[ProgramFilesFolder]"},
                {profile + L"\\Desktop", L"[DesktopFolder]"},
                {profile + L"\\Documents", L"[PersonalFolder]"},
                {profile + L"\\AppData\\Local", L"[LocalAppDataFolder]"},
                {profile + L"\\AppData\\Roaming", L"[APPDATA]"},
                {profile + L"\\AppData\\Local\\Temp\\", L"[TempFolder]"},
                {menu, L"[StartMenuFolder]"},
                {menu + L"\\Programs", L"[ProgramMenuFolder]"},
                {menu + L"\\Programs\\Startup", L"[StartupFolder]"},
            },
            L"packager",
            {L"CAPTUREPC"}};
}

} // namespace

TEST(MachineValues, FoldersLongestFirstAtPathBoundariesUserNameAndComputerNameCounted)
{
    struct Case { const wchar_t* raw; const wchar_t* formatted; bool namesComputer; };
    const Case cases[] = {
        // The longest folder wins, whichever order the folders came in.
        {L"C:\\Users\\packager\\AppData\\Local\\Temp\\x.log", L"[TempFolder]x.log", false},
        {L"C:\\Users\\packager\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Startup\\tray.lnk",
         L"[StartupFolder]tray.lnk", false},
        {L"C:\\Users\\packager\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Vendor",
         L"[ProgramMenuFolder]Vendor", false},
        {L"C:\\Users\\packager\\AppData\\Roaming\\Vendor\\app.ini", L"[APPDATA]Vendor\\app.ini", false},
        // Without regard to case.
        {L"c:\\USERS\\Packager\\appdata\\local\\Vendor", L"[LocalAppDataFolder]Vendor", false},
        // The folder itself: at the end, before a list separator, before a quote.
        {L"C:\\Users\\packager", L"[USERPROFILE]", false},
        {L"C:\\Users\\packager\\Desktop;C:\\Program Files\\App", L"[DesktopFolder];[ProgramFilesFolder]App", false},
        {L"\"C:\\Users\\packager\\Documents\" /open", L"\"[PersonalFolder].\" /open", false},
        // Only whole folders: another user's profile, another Program Files, a longer name.
        {L"C:\\Users\\packager2\\Documents\\a", L"C:\\Users\\packager2\\Documents\\a", false},
        {L"C:\\Program Files (x86)\\App", L"C:\\Program Files (x86)\\App", false},
        {L"XC:\\Users\\packager\\a", L"XC:\\Users\\packager\\a", false},
        // The user's name alone, in any case; not inside a longer text.
        {L"packager", L"[LogonUser]", false},
        {L"PACKAGER", L"[LogonUser]", false},
        {L"packager2", L"packager2", false},
        // Brackets stay literal around a replaced folder.
        {L"[x] C:\\Users\\packager\\a", L"[\\[]x[\\]] [USERPROFILE]a", false},
        // The computer's name is left, and counted as a whole word only.
        {L"\\\\capturepc\\share\\setup.exe", L"\\\\capturepc\\share\\setup.exe", true},
        {L"CAPTUREPC-2", L"CAPTUREPC-2", false},
        {L"server=CapturePC;user=packager", L"server=CapturePC;user=packager", true},
    };
    TempFolder folder;
    std::size_t expectedCount = 0;
    {
        CapturedLog log(folder);
        {
            CMachineValues values(Packager());
            for (const Case& c : cases) {
                SCOPED_TRACE(ToUtf8(c.raw));
                EXPECT_EQ(std::wstring(c.formatted), values.Formatted(c.raw, L"HKLM\\Software\\T\\V"));
                expectedCount += c.namesComputer ? 1 : 0;
                EXPECT_EQ(expectedCount, values.ComputerNameValues());
            }
        }
        const std::vector<std::string> lines = log.Messages();
        const std::string named = "CMSIHandler: HKLM\\Software\\T\\V names the capturing computer (CAPTUREPC)";
        EXPECT_EQ(2, std::count_if(lines.begin(), lines.end(),
                                   [&](const std::string& line) { return line.starts_with(named); }));
        EXPECT_NE(std::find(lines.begin(), lines.end(),
                            "CMSIHandler: HKLM\\Software\\T\\V names the capturing computer (CAPTUREPC); packaged as "
                            "it is: \\\\capturepc\\share\\setup.exe"),
                  lines.end());
    }
}
