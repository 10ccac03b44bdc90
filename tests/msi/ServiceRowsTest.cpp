// A captured service's values and a captured variable as the columns of
// ServiceInstall, ServiceControl and Environment rows, and those rows in a
// package built from a template that lacks their tables and actions.
#include "msi/MsiServiceRows.h"
#include "common/PathSetup.h"
#include "common/Utf.h"
#include "msi/MSIHandler.h"
#include "tests/msi/BuilderScene.h"
#include "tests/support/TestSupport.h"

#include <algorithm>

#include <gtest/gtest.h>

namespace {

TEST(ServiceColumns, TypeStartEventsAndAccounts)
{
    // Own and shared processes, interactive or not, are kept; drivers, the
    // interactive bit alone and per-user services are not.
    for (std::uint32_t type : {0x10u, 0x20u, 0x110u, 0x120u})
        EXPECT_EQ(InstallerServiceType(type), static_cast<int>(type)) << std::hex << type;
    for (std::uint32_t type : {0x1u, 0x2u, 0x100u, 0x50u})
        EXPECT_EQ(InstallerServiceType(type), std::nullopt) << std::hex << type;
    const std::optional<int> starts[] = {std::nullopt, std::nullopt, 2, 3, 4, std::nullopt};
    for (std::uint32_t start = 0; start < 6; ++start)
        EXPECT_EQ(InstallerStartType(start), starts[start]) << start;

    // Stop on install and removal, delete on removal; start only when automatic.
    EXPECT_EQ(ServiceControlEvents(2), 0x1 | 0x2 | 0x20 | 0x80);
    for (std::uint32_t start : {3u, 4u})
        EXPECT_EQ(ServiceControlEvents(start), 0x2 | 0x20 | 0x80) << start;
    EXPECT_EQ(InstallerDependencies({L"RpcSs", L"Tcpip"}, {L"NetGroup"}), L"RpcSs[~]Tcpip[~]+NetGroup[~]");
    EXPECT_EQ(InstallerDependencies({}, {}), L"");

    // Account and StartName; nullptr: an account the package cannot carry.
    const std::pair<const wchar_t*, const wchar_t*> accounts[] = {
        {L"", L"LocalSystem"}, {L"LocalSystem", L"LocalSystem"}, {L".\\localsystem", L"LocalSystem"},
        {L"NT AUTHORITY\\LocalService", L"NT AUTHORITY\\LocalService"},
        {L"NT AUTHORITY\\LOCAL SERVICE", L"NT AUTHORITY\\LocalService"},
        {L"nt authority\\network service", L"NT AUTHORITY\\NetworkService"},
        {L"NT AUTHORITY\\NetworkService", L"NT AUTHORITY\\NetworkService"},
        {L".\\packager", nullptr}, {L"CORP\\svc-app", nullptr}, {L"NT AUTHORITY\\SomeoneElse", nullptr}};
    for (const auto& [account, startName] : accounts)
        EXPECT_EQ(InstallerAccount(account), startName ? std::optional<std::wstring>(startName) : std::nullopt)
            << ToUtf8(account);
}

TEST(EnvironmentColumns, RowsPerAction)
{
    const auto same = [](const std::wstring& text) { return text; };
    const std::tuple<const char*, EnvironmentRecord, std::vector<EnvironmentRow>> cases[] = {
        {"new system variable", {L"", L"HOME", true, EnvironmentAction::Create, L"C:\\h"}, {{L"=-*HOME", L"C:\\h"}}},
        {"new user variable", {L"", L"HOME", false, EnvironmentAction::Create, L"C:\\h"}, {{L"=-HOME", L"C:\\h"}}},
        {"changed value", {L"", L"MODE", true, EnvironmentAction::Set, L"fast"}, {{L"=*MODE", L"fast"}}},
        {"appended and prepended",
         {L"", L"Path", true, EnvironmentAction::Extend, L"", {L"C:\\P1", L"C:\\P2"}, {L"C:\\A1", L"C:\\A2"}},
         {{L"=-*Path", L"[~];C:\\A1"}, {L"=-*Path", L"[~];C:\\A2"}, {L"=-*Path", L"C:\\P2;[~]"},
          {L"=-*Path", L"C:\\P1;[~]"}}},
        {"extension by nothing", {L"", L"Path", true, EnvironmentAction::Extend}, {}},
    };
    for (const auto& [what, variable, rows] : cases)
        EXPECT_EQ(EnvironmentRows(variable, same), rows) << what;
}

// The rows of `sql`, each row's fields joined by '|'.
std::vector<std::wstring> Rows(MSIHANDLE database, const wchar_t* sql)
{
    std::vector<std::wstring> rows;
    UniqueMsiHandle view;
    EXPECT_EQ(ERROR_SUCCESS, MsiDatabaseOpenViewW(database, sql, view.put())) << ToUtf8(sql);
    MsiViewExecute(view.get(), 0);
    for (UniqueMsiHandle record; MsiViewFetch(view.get(), record.put()) == ERROR_SUCCESS;) {
        rows.emplace_back();
        for (UINT i = 1; i <= MsiRecordGetFieldCount(record.get()); ++i) {
            wchar_t text[256] = {};
            DWORD size = 256;
            MsiRecordGetStringW(record.get(), i, text, &size);
            rows.back() += (i > 1 ? L"|" : L"") + std::wstring(text);
        }
    }
    return rows;
}

// A project with a service program among its files and four recorded
// services: one the package installs (under another account), a driver, one
// whose program the package lacks, and one whose values the review took out.
// The template lacks the service and environment tables and actions.
TEST(SystemRows, OnlyPackagedServicesLeaveTheRegistryTable)
{
    TempFolder temp;
    const WorkPaths paths = BuilderPaths(temp.Path());
    const FolderTokenValues tokens = MachineTokens();
    const std::wstring folder = tokens.programfiles + L"\\CorvaneSvcRows" + NewGuidText().substr(1, 8);
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
    ToTokenPath(program, tokens);
    const ServiceList recorded = {
        {services + L"CorvaneOk", L"CorvaneOk", L"Ok", L"", 0x10, 2, 1, L"", {}, {}, L".\\packager", program, L"-run"},
        {services + L"CorvaneDrv", L"CorvaneDrv", L"", L"", 0x1, 3, 1, L"", {}, {}, L"", program},
        {services + L"CorvaneAway", L"CorvaneAway", L"", L"", 0x10, 3, 1, L"", {}, {}, L"", L"C:\\Elsewhere\\a.exe"},
        {services + L"CorvanePruned", L"CorvanePruned", L"", L"", 0x10, 3, 1, L"", {}, {}, L"", program},
    };
    const EnvironmentList variables = {
        {environment, L"Path", false, EnvironmentAction::Extend, L"", {L"C:\\First"}, {folder}}};
    {
        XmlDocument doc;
        ASSERT_TRUE(doc.Load(ExecutableFolder() + L"\\..\\bin\\RawProjectFile.xml"));
        const std::wstring save = temp / L"Project.xml";
        DirectoryChangeMap files{{folder, {folder + L"\\svc.exe"}}};
        EXPECT_TRUE(WriteFileList(doc, ChangeOrigin::Added, files, tokens, save, FileListMode::KeepAll));
        EXPECT_TRUE(WriteRegistryList(doc, ChangeOrigin::Added, added, save));
        EXPECT_TRUE(WriteRegistryList(doc, ChangeOrigin::Modified, modified, save));
        EXPECT_TRUE(WriteProductInfo(doc, {L"CorvaneSvcRows", L"1.0", L"Corvane"}, save));
        ASSERT_TRUE(WriteServiceList(doc, recorded, save));
        ASSERT_TRUE(WriteEnvironmentList(doc, variables, save));
    }

    CMSIHandler builder;
    ASSERT_EQ(1, builder.Initialize(BuilderRequest(paths, tokens, temp / L"Project.xml")));
    EXPECT_EQ(1, builder.BuildMSI());
    const std::vector<std::wstring> notes = builder.BuildNotes();
    const std::wstring packagePath = builder.PackagePath();
    EXPECT_EQ(builder.Counts().ServiceRows, 1u);
    EXPECT_EQ(builder.Counts().EnvironmentRows, 2u);
    // The driver's and the other service's values were tried as registry
    // values (this machine lacks them), the Parameters value as well; the
    // installed service's own values and Path never were.
    EXPECT_EQ(builder.Counts().RegistryLeftOut, 5u);
    builder.Uninitialize();
    RemoveFolderTree(folder);
    // One note per service left out or changed, naming it first.
    const std::pair<const wchar_t*, const wchar_t*> noted[] = {
        {L"CorvaneDrv", L"becomes active at the next restart"},
        {L"CorvaneAway", L"C:\\Elsewhere\\a.exe, which is not a file of the package"},
        {L"CorvaneOk", L"runs as .\\packager"}};
    ASSERT_EQ(notes.size(), 3u);
    for (const auto& [service, text] : noted)
        EXPECT_TRUE(std::any_of(notes.begin(), notes.end(), [&](const std::wstring& n) {
            return n.find(std::wstring(L"The service ") + service + L" ") == 0 && n.find(text) != std::wstring::npos;
        })) << ToUtf8(service);

    UniqueMsiHandle database;
    ASSERT_EQ(ERROR_SUCCESS, MsiOpenDatabaseW(packagePath.c_str(), MSIDBOPEN_DIRECT, database.put()));
    EXPECT_EQ(Rows(database.get(), L"SELECT `Name`, `StartName`, `Arguments`, `Component_` FROM `ServiceInstall`"),
              std::vector<std::wstring>{L"CorvaneOk|LocalSystem|-run|SVC.EXECOMP"});
    EXPECT_EQ(Rows(database.get(), L"SELECT `Component_` FROM `ServiceControl`"),
              std::vector<std::wstring>{L"SVC.EXECOMP"});
    EXPECT_EQ(Rows(database.get(), L"SELECT `Value` FROM `Environment`"),
              (std::vector<std::wstring>{L"[~];[ProgramFilesFolder]" + folder.substr(folder.find_last_of(L'\\') + 1),
                                         L"C:\\First;[~]"}));
    EXPECT_EQ(Rows(database.get(), L"SELECT `Column` FROM `_Validation` WHERE `Table`='ServiceInstall'").size(), 13u);
    // Tables and actions the package has are left as they are.
    const wchar_t* sequence = L"SELECT `Action`, `Sequence` FROM `InstallExecuteSequence`";
    const std::vector<std::wstring> actions = Rows(database.get(), sequence);
    for (const wchar_t* table : {L"Environment", L"ServiceInstall", L"ServiceControl"})
        EXPECT_TRUE(EnsureSystemTable(database.get(), table)) << ToUtf8(table);
    EXPECT_TRUE(EnsureExecuteAction(database.get(), L"WriteEnvironmentStrings", 5201));
    EXPECT_TRUE(EnsureExecuteAction(database.get(), L"InstallFiles", 4001));
    EXPECT_FALSE(EnsureSystemTable(database.get(), L"NoSuchTable"));
    EXPECT_EQ(Rows(database.get(), sequence), actions);
    database.reset();
    EXPECT_EQ(MsiCloseAllHandles(), 0u);
}

} // namespace
