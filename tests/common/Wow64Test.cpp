#include "common/RegistryViews.h"
#include "common/Wow64.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

// A file made in the real SysWOW64: a 32-bit program sees it in System32 only
// while redirection is on.
class RedirectionProbe
{
public:
    RedirectionProbe() : m_name(L"corvane-probe-" + NewGuidText() + L".txt")
    {
        wchar_t windows[MAX_PATH];
        GetWindowsDirectoryW(windows, MAX_PATH);
        m_folder = windows;
        WriteFileBytes(m_folder + L"\\syswow64\\" + m_name, "probe");
    }
    ~RedirectionProbe() { DeleteFileW((m_folder + L"\\syswow64\\" + m_name).c_str()); }

    // True when System32 shows SysWOW64 to this thread.
    bool Redirected() const { return PathExists(m_folder + L"\\system32\\" + m_name); }

private:
    std::wstring m_name;
    std::wstring m_folder;
};

} // namespace

TEST(Wow64, RedirectionGuardRestoresTheStateOnEveryPath)
{
    if (!IsWow64Windows()) {
        // 32-bit Windows: nothing to turn off, and no registry view flag.
        const CFsRedirectionOff guard;
        EXPECT_FALSE(guard.IsActive());
        EXPECT_EQ(RegistryViewAccess(), 0u);
        GTEST_SKIP() << "32-bit Windows: no file-system redirection to test";
    }
    EXPECT_EQ(RegistryViewAccess(), static_cast<REGSAM>(KEY_WOW64_64KEY));
    const RedirectionProbe probe;
    ASSERT_TRUE(probe.Redirected());
    {
        const CFsRedirectionOff outer;
        EXPECT_TRUE(outer.IsActive());
        EXPECT_FALSE(probe.Redirected());
        {
            const CFsRedirectionOff inner; // nested: leaving it keeps the outer state
            EXPECT_FALSE(probe.Redirected());
        }
        EXPECT_FALSE(probe.Redirected());
    }
    EXPECT_TRUE(probe.Redirected());

    // Left by an exception.
    try {
        const CFsRedirectionOff guard;
        EXPECT_FALSE(probe.Redirected());
        throw std::runtime_error("leave the scope");
    } catch (const std::runtime_error&) {
    }
    EXPECT_TRUE(probe.Redirected());
}

TEST(RegistryViews, TwinsStripAndSixtyFourBitKeys)
{
    using Twins = std::vector<std::wstring>;
    EXPECT_EQ(Wow6432NodeTwins(L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor\\App"),
              Twins{L"HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Vendor\\App"});
    EXPECT_EQ(Wow6432NodeTwins(L"HKEY_LOCAL_MACHINE\\Software\\Classes\\CLSID"),
              (Twins{L"HKEY_LOCAL_MACHINE\\Software\\Classes\\WOW6432Node\\CLSID",
                     L"HKEY_LOCAL_MACHINE\\Software\\WOW6432Node\\Classes\\CLSID"}));
    EXPECT_EQ(Wow6432NodeTwins(L"HKEY_CURRENT_USER\\Software\\Classes\\Interface"),
              Twins{L"HKEY_CURRENT_USER\\Software\\Classes\\WOW6432Node\\Interface"});
    EXPECT_EQ(Wow6432NodeTwins(L"HKEY_CLASSES_ROOT\\CLSID"), Twins{L"HKEY_CLASSES_ROOT\\WOW6432Node\\CLSID"});
    // Shared keys, the bases themselves and keys already in the 32-bit view have none.
    EXPECT_EQ(Wow6432NodeTwins(L"HKEY_CURRENT_USER\\Software\\Vendor"), Twins{});
    EXPECT_EQ(Wow6432NodeTwins(L"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet"), Twins{});
    EXPECT_EQ(Wow6432NodeTwins(L"HKEY_LOCAL_MACHINE\\SOFTWARE"), Twins{});
    EXPECT_EQ(Wow6432NodeTwins(L"HKEY_LOCAL_MACHINE\\SOFTWAREX\\A"), Twins{});
    EXPECT_EQ(Wow6432NodeTwins(L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\A"), Twins{});

    EXPECT_TRUE(IsIn32BitView(L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Microsoft"));
    EXPECT_TRUE(IsIn32BitView(L"HKEY_LOCAL_MACHINE\\Software\\Classes\\Wow6432Node\\AppId"));
    EXPECT_FALSE(IsIn32BitView(L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node")) << "the node itself";
    EXPECT_FALSE(IsIn32BitView(L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft"));
    EXPECT_FALSE(IsIn32BitView(L"HKEY_CURRENT_USER\\Software\\Vendor\\Wow6432Node\\X"));

    struct Case
    {
        const wchar_t* root;
        const wchar_t* key;
        const wchar_t* stripped; // nullptr: not a key of the 32-bit view
        bool only64;
    };
    const Case cases[] = {
        {L"HKEY_LOCAL_MACHINE", L"SOFTWARE\\WOW6432Node\\Vendor\\App", L"SOFTWARE\\Vendor\\App", false},
        {L"HKEY_LOCAL_MACHINE", L"SOFTWARE\\wow6432node", L"SOFTWARE", false},
        {L"HKEY_LOCAL_MACHINE", L"SOFTWARE\\Classes\\Wow6432Node\\CLSID\\{1}", L"SOFTWARE\\Classes\\CLSID\\{1}", false},
        {L"HKEY_CURRENT_USER", L"Software\\Classes\\WOW6432Node\\Interface", L"Software\\Classes\\Interface", false},
        {L"HKEY_CLASSES_ROOT", L"WOW6432Node\\CLSID", L"CLSID", false},
        {L"HKEY_LOCAL_MACHINE", L"SOFTWARE\\Vendor\\App", nullptr, true},
        {L"HKEY_LOCAL_MACHINE", L"Software", nullptr, true},
        {L"HKEY_LOCAL_MACHINE", L"SOFTWARE\\Vendor\\WOW6432Node", nullptr, true},
        {L"HKEY_CLASSES_ROOT", L".corvane", nullptr, true},
        {L"HKEY_CURRENT_USER", L"Software\\Classes\\CLSID\\{1}", nullptr, true},
        {L"HKEY_CURRENT_USER", L"Software\\Classes\\.corvane", nullptr, false},
        {L"HKEY_CURRENT_USER", L"Software\\Vendor", nullptr, false},
        {L"HKEY_LOCAL_MACHINE", L"SYSTEM\\CurrentControlSet\\Services\\X", nullptr, false},
        {L"HKEY_USERS", L".DEFAULT\\Software\\Vendor", nullptr, false},
    };
    for (const Case& c : cases) {
        std::wstring key = c.key;
        EXPECT_EQ(StripWow6432Node(c.root, key), c.stripped != nullptr) << c.key;
        EXPECT_EQ(key, c.stripped ? c.stripped : c.key);
        EXPECT_EQ(IsOnly64BitViewKey(c.root, c.key), c.only64) << c.key;
    }
}
