// A captured service's values and a captured variable as the columns of
// ServiceInstall, ServiceControl and Environment rows, and the tables and
// actions the builder adds to a template that lacks them.
#include "msi/MsiServiceRows.h"
#include "common/Paths.h"
#include "common/Utf.h"
#include "msi/MSIHandler.h"
#include "tests/msi/BuilderScene.h"
#include "tests/support/TestSupport.h"

#include <algorithm>

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

// A project with a service program among its files and four recorded
// services: one the package installs (under another account), a driver, one
// whose program the package lacks, and one whose values the review took out.
TEST(SystemRows, OnlyPackagedServicesLeaveTheRegistryTable)
{
    TempFolder temp;
    SetUpBuilderPaths(temp.Path());
    const std::wstring folder = TokenValues().programfiles + L"\\CorvaneSvcRows" + NewGuidText().substr(1, 8);
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    WriteFileBytes(folder + L"\\svc.exe", "MZ service");

    const std::wstring services = L"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\";
    const std::wstring environment = L"HKEY_CURRENT_USER\\Environment";
    auto value = [](const std::wstring& key, const wchar_t* name, const wchar_t* type) {
        return RegistryChangeEntry{key, std::wstring(L"\"") + name + L"\"", type, L""};
    };
    RegistryChangeMap added;
    for (const wchar_t* name : {L"CorvaneOk", L"CorvaneDrv", L"CorvaneAway"})
        added[services + name] = {value(services + name, L"Type", L"REG_DWORD"),
                                  value(services + name, L"ImagePath", L"REG_SZ")};
    added[services + L"CorvaneOk\\Parameters"] = {value(services + L"CorvaneOk\\Parameters", L"Mode", L"REG_SZ")};
    RegistryChangeMap modified{{environment, {value(environment, L"Path", L"REG_SZ")}}};

    std::wstring program = folder + L"\\svc.exe";
    ToTokenPath(program);
    const ServiceList recorded = {
        {services + L"CorvaneOk", L"CorvaneOk", L"Ok", L"", 0x10, 2, 1, L"", {}, {}, L".\\packager", program, L"-run"},
        {services + L"CorvaneDrv", L"CorvaneDrv", L"", L"", 0x1, 3, 1, L"", {}, {}, L"", program},
        {services + L"CorvaneAway", L"CorvaneAway", L"", L"", 0x10, 3, 1, L"", {}, {}, L"", L"C:\\Elsewhere\\a.exe"},
        {services + L"CorvanePruned", L"CorvanePruned", L"", L"", 0x10, 3, 1, L"", {}, {}, L"", program},
    };
    const EnvironmentList variables = {
        {environment, L"Path", false, EnvironmentAction::Extend, L"", {L"C:\\First"}, {folder}}};
    {
        CXMLDocumentHandler doc;
        ASSERT_EQ(1, doc.Load(ExecutableFolder() + L"\\..\\bin\\RawProjectFile.xml"));
        const std::string save = ToUtf8(temp / L"Project.xml");
        DirectoryChangeMap files{{folder, {folder + L"\\svc.exe"}}};
        doc.InsertDirectoryAndFileInXML(NodePath::FilesAdded, files, save, true);
        doc.InsertRegistryKeyAndValueInXML(NodePath::RegistryAdded, added, save);
        doc.InsertRegistryKeyAndValueInXML(NodePath::RegistryModified, modified, save);
        SetProjectFilePath(temp / L"Project.xml");
        doc.InsertProductInfoInXML(NodePath::Product, {L"CorvaneSvcRows", L"1.0", L"Corvane"});
        ASSERT_TRUE(WriteServiceList(doc, recorded, save));
        ASSERT_TRUE(WriteEnvironmentList(doc, variables, save));
    }

    MsiBuildCounts counts;
    std::vector<std::wstring> notes;
    std::string packagePath;
    {
        CMSIHandler builder;
        ASSERT_EQ(1, builder.Initialize(ToUtf8(temp / L"Project.xml")));
        EXPECT_EQ(1, builder.BuildMSI());
        counts = builder.Counts();
        notes = builder.BuildNotes();
        packagePath = builder.PackagePath();
        builder.Uninitialize();
    }
    RemoveFolderTree(folder);
    EXPECT_EQ(counts.ServiceRows, 1u);
    EXPECT_EQ(counts.EnvironmentRows, 2u);
    // The driver's and the other service's values were tried as registry
    // values (this machine lacks them), the Parameters value as well; the
    // installed service's own values and Path never were.
    EXPECT_EQ(counts.RegistryLeftOut, 5u);
    auto noted = [&](const std::wstring& service, const std::wstring& text) {
        return std::any_of(notes.begin(), notes.end(), [&](const std::wstring& n) {
            return n.find(L"The service " + service + L" ") == 0 && n.find(text) != std::wstring::npos;
        });
    };
    EXPECT_TRUE(noted(L"CorvaneDrv", L"becomes active at the next restart"));
    EXPECT_TRUE(noted(L"CorvaneAway", L"C:\\Elsewhere\\a.exe, which is not a file of the package"));
    EXPECT_TRUE(noted(L"CorvaneOk", L"runs as .\\packager"));
    EXPECT_EQ(notes.size(), 3u);

    UniqueMsiHandle database;
    ASSERT_EQ(ERROR_SUCCESS, MsiOpenDatabaseW(FromUtf8(packagePath).c_str(), MSIDBOPEN_READONLY, database.put()));
    EXPECT_EQ(Column(database.get(), L"SELECT `Name` FROM `ServiceInstall`"), std::vector<std::wstring>{L"CorvaneOk"});
    EXPECT_EQ(Column(database.get(), L"SELECT `StartName` FROM `ServiceInstall`"),
              std::vector<std::wstring>{L"LocalSystem"});
    EXPECT_EQ(Column(database.get(), L"SELECT `Component_` FROM `ServiceControl`"),
              std::vector<std::wstring>{L"SVC.EXECOMP"});
    EXPECT_EQ(Column(database.get(), L"SELECT `Value` FROM `Environment`"),
              (std::vector<std::wstring>{L"[~];[ProgramFilesFolder]" + folder.substr(folder.find_last_of(L'\\') + 1),
                                         L"C:\\First;[~]"}));
    database.reset();
    EXPECT_EQ(MsiCloseAllHandles(), 0u);
}

} // namespace
