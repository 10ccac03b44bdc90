// Per-user data of a capture: files below the profile, HKEY_CURRENT_USER values.
#include "engine/PerUserData.h"

#include <gtest/gtest.h>

TEST(PerUserData, CountsFilesBelowTheProfileAndCurrentUserValues)
{
    const DirectoryChangeMap added = {
        {L"C:\\Users\\packager\\AppData\\Roaming\\Vendor", {L"a.ini", L"b.dat"}},
        {L"c:\\users\\PACKAGER", {L"c.txt"}},                      // the profile itself, other case
        {L"C:\\Users\\packager2\\Documents", {L"not-ours.txt"}},   // another profile
        {L"C:\\Program Files\\Vendor", {L"app.exe", L"app.dll"}},
    };
    const DirectoryChangeMap modified = {{L"C:\\Users\\packager\\Desktop", {L"d.lnk"}}};
    const RegistryChangeMap keys = {
        {L"HKEY_CURRENT_USER\\Software\\Vendor",
         {{L"[HKEY_CURRENT_USER\\Software\\Vendor]", L"\"Theme\"", L"REG_SZ", L"dark"},
          {L"[HKEY_CURRENT_USER\\Software\\Vendor]", L"@", L"REG_SZ", L"x"},
          {L"[HKEY_CURRENT_USER\\Software\\Vendor]", L"", L"", L""}}}, // the key alone: no value
        {L"HKEY_CURRENT_USERS_LOOKALIKE\\X", {{L"[X]", L"\"V\"", L"REG_SZ", L"1"}}},
        {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor", {{L"[HKLM]", L"\"Path\"", L"REG_SZ", L"C:\\App"}}},
    };
    struct Case
    {
        const char* what;
        std::vector<const DirectoryChangeMap*> files;
        std::vector<const RegistryChangeMap*> keys;
        std::wstring profile;
        long long expectedFiles;
        long long expectedValues;
        const wchar_t* line;
    };
    const Case cases[] = {
        {"added and modified", {&added, &modified}, {&keys}, L"C:\\Users\\packager", 4, 2,
         L"Per-user data: 4 files in the user profile, 2 HKEY_CURRENT_USER values (installed for the user who "
         L"installs the package)."},
        {"profile with a trailing backslash", {&modified}, {}, L"C:\\Users\\packager\\", 1, 0,
         L"Per-user data: 1 file in the user profile, 0 HKEY_CURRENT_USER values (installed for the user who "
         L"installs the package)."},
        {"no profile known", {&added}, {&keys}, L"", 0, 2, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const PerUserDataCount count = CountPerUserData(c.files, c.keys, c.profile);
        EXPECT_EQ(c.expectedFiles, count.files);
        EXPECT_EQ(c.expectedValues, count.values);
        if (c.line) {
            EXPECT_EQ(std::wstring(c.line), PerUserDataLine(count));
        }
    }
}
