// A captured service's values and a captured variable as the columns of
// ServiceInstall, ServiceControl and Environment rows, and the tables and
// actions the builder adds to a template that lacks them.
#include "msi/MsiServiceRows.h"
#include "common/Utf.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

TEST(ServiceColumns, TypeStartAndEvents)
{
    struct Case
    {
        std::uint32_t type;
        std::optional<int> column;
    };
    const Case types[] = {
        {0x10, 0x10},          // own process
        {0x20, 0x20},          // shared process
        {0x110, 0x110},        // own process, interactive
        {0x120, 0x120},        // shared process, interactive
        {0x1, std::nullopt},   // kernel driver
        {0x2, std::nullopt},   // file-system driver
        {0x100, std::nullopt}, // interactive alone
        {0x50, std::nullopt},  // a per-user service
    };
    for (const Case& c : types)
        EXPECT_EQ(InstallerServiceType(c.type), c.column) << std::hex << c.type;

    const std::optional<int> starts[] = {std::nullopt, std::nullopt, 2, 3, 4, std::nullopt};
    for (std::uint32_t start = 0; start < 6; ++start)
        EXPECT_EQ(InstallerStartType(start), starts[start]) << start;

    // Stop on install and removal, delete on removal; start only when automatic.
    EXPECT_EQ(ServiceControlEvents(2), 0x1 | 0x2 | 0x20 | 0x80);
    EXPECT_EQ(ServiceControlEvents(3), 0x2 | 0x20 | 0x80);
    EXPECT_EQ(ServiceControlEvents(4), 0x2 | 0x20 | 0x80);

    EXPECT_EQ(InstallerDependencies({L"RpcSs", L"Tcpip"}, {L"NetGroup"}), L"RpcSs[~]Tcpip[~]+NetGroup[~]");
    EXPECT_EQ(InstallerDependencies({}, {}), L"");
}

TEST(ServiceColumns, Accounts)
{
    struct Case
    {
        std::wstring account;
        std::optional<std::wstring> startName;
    };
    const Case cases[] = {
        {L"", L"LocalSystem"},
        {L"LocalSystem", L"LocalSystem"},
        {L".\\localsystem", L"LocalSystem"},
        {L"NT AUTHORITY\\LocalService", L"NT AUTHORITY\\LocalService"},
        {L"NT AUTHORITY\\LOCAL SERVICE", L"NT AUTHORITY\\LocalService"},
        {L"NT AUTHORITY\\NetworkService", L"NT AUTHORITY\\NetworkService"},
        {L"nt authority\\network service", L"NT AUTHORITY\\NetworkService"},
        {L".\\packager", std::nullopt},
        {L"CORP\\svc-app", std::nullopt},
        {L"NT AUTHORITY\\SomeoneElse", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(InstallerAccount(c.account), c.startName) << ToUtf8(c.account);
}

TEST(EnvironmentColumns, RowsPerAction)
{
    const auto same = [](const std::wstring& text) { return text; };
    struct Case
    {
        const char* what;
        EnvironmentRecord variable;
        std::vector<EnvironmentRow> rows;
    };
    const Case cases[] = {
        {"new system variable", {L"", L"HOME", true, EnvironmentAction::Create, L"C:\\h"}, {{L"=-*HOME", L"C:\\h"}}},
        {"new user variable", {L"", L"HOME", false, EnvironmentAction::Create, L"C:\\h"}, {{L"=-HOME", L"C:\\h"}}},
        {"changed value", {L"", L"MODE", true, EnvironmentAction::Set, L"fast"}, {{L"=*MODE", L"fast"}}},
        {"appended and prepended",
         {L"", L"Path", true, EnvironmentAction::Extend, L"", {L"C:\\P1", L"C:\\P2"}, {L"C:\\A1", L"C:\\A2"}},
         {{L"=-*Path", L"[~];C:\\A1"},
          {L"=-*Path", L"[~];C:\\A2"},
          {L"=-*Path", L"C:\\P2;[~]"},
          {L"=-*Path", L"C:\\P1;[~]"}}},
        {"extension by nothing", {L"", L"Path", true, EnvironmentAction::Extend}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(EnvironmentRows(c.variable, same), c.rows);
    }
}

std::vector<std::wstring> Column(MSIHANDLE database, const std::wstring& sql)
{
    std::vector<std::wstring> values;
    UniqueMsiHandle view;
    if (MsiDatabaseOpenViewW(database, sql.c_str(), view.put()) != ERROR_SUCCESS ||
        MsiViewExecute(view.get(), 0) != ERROR_SUCCESS)
        return values;
    for (;;) {
        UniqueMsiHandle record;
        if (MsiViewFetch(view.get(), record.put()) != ERROR_SUCCESS)
            break;
        wchar_t text[256] = {};
        DWORD size = 256;
        MsiRecordGetStringW(record.get(), 1, text, &size);
        values.emplace_back(text);
    }
    return values;
}

TEST(SystemTables, AddedToTheTemplateOnce)
{
    TempFolder folder;
    const std::wstring path = folder / L"package.msi";
    ASSERT_TRUE(CopyFileW((ExecutableFolder() + L"\\..\\bin\\Blank.msi").c_str(), path.c_str(), FALSE));
    UniqueMsiHandle database;
    ASSERT_EQ(ERROR_SUCCESS, MsiOpenDatabaseW(path.c_str(), MSIDBOPEN_DIRECT, database.put()));
    for (int pass = 0; pass < 2; ++pass) {
        for (const wchar_t* table : {L"Environment", L"ServiceInstall", L"ServiceControl"})
            ASSERT_TRUE(EnsureSystemTable(database.get(), table)) << ToUtf8(table);
        ASSERT_TRUE(EnsureExecuteAction(database.get(), L"WriteEnvironmentStrings", 5200));
        ASSERT_TRUE(EnsureExecuteAction(database.get(), L"InstallFiles", 4001)); // the template has it
    }
    EXPECT_FALSE(EnsureSystemTable(database.get(), L"NoSuchTable"));
    EXPECT_EQ(Column(database.get(), L"SELECT `Sequence` FROM `InstallExecuteSequence` WHERE "
                                     L"`Action`='WriteEnvironmentStrings' OR `Action`='InstallFiles'")
                  .size(),
              2u);
    EXPECT_EQ(Column(database.get(), L"SELECT `Column` FROM `_Validation` WHERE `Table`='ServiceInstall'").size(),
              13u);
    EXPECT_EQ(Column(database.get(), L"SELECT `Environment` FROM `Environment`").size(), 0u);
    database.reset();
    EXPECT_EQ(MsiCloseAllHandles(), 0u);
}

} // namespace
