// Services: the ServiceInstall and ServiceControl rows of the captured
// services whose program the package installs, in place of their registry
// values; and the tables and actions the service and environment rows need.
#include "msi/MsiServiceRows.h"

#include "common/FolderTokens.h"
#include "common/Utf.h"
#include "msi/MSIHandler.h"
#include "msi/MsiTables.h"

#include <algorithm>

namespace {

constexpr std::uint32_t OwnProcess = 0x10;   // SERVICE_WIN32_OWN_PROCESS
constexpr std::uint32_t SharedProcess = 0x20; // SERVICE_WIN32_SHARE_PROCESS
constexpr std::uint32_t Interactive = 0x100;  // SERVICE_INTERACTIVE_PROCESS

struct SystemTable
{
    const wchar_t* name;
    const wchar_t* create;
    // Column, nullable, key table, category of the _Validation rows.
    std::vector<std::vector<const wchar_t*>> validation;
};

const std::vector<SystemTable>& SystemTables()
{
    static const std::vector<SystemTable> tables = {
        {L"Environment",
         L"CREATE TABLE `Environment` (`Environment` CHAR(72) NOT NULL, `Name` CHAR(255) NOT NULL, "
         L"`Value` CHAR(255), `Component_` CHAR(72) NOT NULL PRIMARY KEY `Environment`)",
         {{L"Environment", L"N", L"", L"Identifier"},
          {L"Name", L"N", L"", L"Text"},
          {L"Value", L"Y", L"", L"Formatted"},
          {L"Component_", L"N", L"Component", L"Identifier"}}},
        {L"ServiceInstall",
         L"CREATE TABLE `ServiceInstall` (`ServiceInstall` CHAR(72) NOT NULL, `Name` CHAR(255) NOT NULL, "
         L"`DisplayName` CHAR(255), `ServiceType` LONG NOT NULL, `StartType` LONG NOT NULL, "
         L"`ErrorControl` LONG NOT NULL, `LoadOrderGroup` CHAR(255), `Dependencies` CHAR(255), "
         L"`StartName` CHAR(255), `Password` CHAR(255), `Arguments` CHAR(255), `Component_` CHAR(72) NOT NULL, "
         L"`Description` CHAR(255) PRIMARY KEY `ServiceInstall`)",
         {{L"ServiceInstall", L"N", L"", L"Identifier"},
          {L"Name", L"N", L"", L"Formatted"},
          {L"DisplayName", L"Y", L"", L"Formatted"},
          {L"ServiceType", L"N", L"", L""},
          {L"StartType", L"N", L"", L""},
          {L"ErrorControl", L"N", L"", L""},
          {L"LoadOrderGroup", L"Y", L"", L"Formatted"},
          {L"Dependencies", L"Y", L"", L"Formatted"},
          {L"StartName", L"Y", L"", L"Formatted"},
          {L"Password", L"Y", L"", L"Formatted"},
          {L"Arguments", L"Y", L"", L"Formatted"},
          {L"Component_", L"N", L"Component", L"Identifier"},
          {L"Description", L"Y", L"", L"Formatted"}}},
        {L"ServiceControl",
         L"CREATE TABLE `ServiceControl` (`ServiceControl` CHAR(72) NOT NULL, `Name` CHAR(255) NOT NULL, "
         L"`Event` SHORT NOT NULL, `Arguments` CHAR(255), `Wait` SHORT, `Component_` CHAR(72) NOT NULL "
         L"PRIMARY KEY `ServiceControl`)",
         {{L"ServiceControl", L"N", L"", L"Identifier"},
          {L"Name", L"N", L"", L"Formatted"},
          {L"Event", L"N", L"", L""},
          {L"Arguments", L"Y", L"", L"Formatted"},
          {L"Wait", L"Y", L"", L""},
          {L"Component_", L"N", L"Component", L"Identifier"}}},
    };
    return tables;
}

// ServiceControl's stop and delete events also name a service that another
// product installed: only the package's own services are controlled.
constexpr int EventStart = 0x1, EventStop = 0x2, EventUninstallStop = 0x20, EventUninstallDelete = 0x80;

} // namespace

std::optional<int> InstallerServiceType(std::uint32_t type)
{
    const std::uint32_t kind = type & ~Interactive;
    if (kind != OwnProcess && kind != SharedProcess)
        return std::nullopt;
    return static_cast<int>(type);
}

std::optional<int> InstallerStartType(std::uint32_t start)
{
    if (start < 2 || start > 4)
        return std::nullopt; // boot and system start belong to drivers
    return static_cast<int>(start);
}

std::optional<std::wstring> InstallerAccount(const std::wstring& account)
{
    std::wstring name = account;
    for (const wchar_t* prefix : {L".\\", L"NT AUTHORITY\\"})
        if (name.size() > wcslen(prefix) && SameName(name.substr(0, wcslen(prefix)), prefix))
            name.erase(0, wcslen(prefix));
    if (name.empty() || SameName(name, L"LocalSystem"))
        return std::wstring(L"LocalSystem");
    if (SameName(name, L"LocalService") || SameName(name, L"Local Service"))
        return std::wstring(L"NT AUTHORITY\\LocalService");
    if (SameName(name, L"NetworkService") || SameName(name, L"Network Service"))
        return std::wstring(L"NT AUTHORITY\\NetworkService");
    return std::nullopt;
}

int ServiceControlEvents(std::uint32_t start)
{
    const int events = EventStop | EventUninstallStop | EventUninstallDelete;
    return start == 2 ? events | EventStart : events;
}

std::wstring InstallerDependencies(const std::vector<std::wstring>& services, const std::vector<std::wstring>& groups)
{
    std::wstring text;
    for (const std::wstring& service : services)
        text += service + L"[~]";
    for (const std::wstring& group : groups)
        text += L"+" + group + L"[~]";
    return text;
}

bool EnsureSystemTable(MSIHANDLE database, const std::wstring& table)
{
    const auto definition = std::find_if(SystemTables().begin(), SystemTables().end(),
                                   [&](const SystemTable& t) { return table == t.name; });
    if (definition == SystemTables().end())
        return false;
    if (MsiDatabaseIsTablePersistentW(database, definition->name) != MSICONDITION_NONE)
        return true;
    UniqueMsiHandle view;
    UINT rc = MsiDatabaseOpenViewW(database, definition->create, view.put());
    if (rc == ERROR_SUCCESS)
        rc = MsiViewExecute(view.get(), 0);
    if (rc != ERROR_SUCCESS) {
        LogError(L"CMSIHandler::EnsureSystemTable: Unable to create the " + table + L" table (error " +
                 std::to_wstring(rc) + L")");
        return false;
    }
    CTableInserter validation(database, L"_Validation",
                              {L"Table", L"Column", L"Nullable", L"KeyTable", L"KeyColumn", L"Category"},
                              "CMSIHandler::EnsureSystemTable: Unable to open the _Validation table");
    for (const auto& column : definition->validation) {
        const bool foreign = column[2][0] != L'\0';
        (void)validation.Insert({definition->name, column[0], column[1], column[2],
                                 foreign ? MsiField(1) : MsiField(std::wstring_view()), column[3]});
    }
    return true;
}

bool EnsureExecuteAction(MSIHANDLE database, const std::wstring& action, int sequence)
{
    UniqueMsiHandle view;
    UniqueMsiHandle parameter(MsiCreateRecord(1));
    if (MsiDatabaseOpenViewW(database, L"SELECT `Action` FROM `InstallExecuteSequence` WHERE `Action` = ?",
                             view.put()) != ERROR_SUCCESS ||
        !parameter || MsiRecordSetStringW(parameter.get(), 1, action.c_str()) != ERROR_SUCCESS ||
        MsiViewExecute(view.get(), parameter.get()) != ERROR_SUCCESS) {
        LogError(L"CMSIHandler::EnsureExecuteAction: Unable to read InstallExecuteSequence");
        return false;
    }
    UniqueMsiHandle found;
    const UINT fetched = MsiViewFetch(view.get(), found.put());
    MsiViewClose(view.get());
    if (fetched == ERROR_SUCCESS)
        return true;
    found.reset();
    CTableInserter sequenceTable(database, L"InstallExecuteSequence", {L"Action", L"Sequence"},
                                 "CMSIHandler::EnsureExecuteAction: Unable to open InstallExecuteSequence");
    return sequenceTable.Insert({action, sequence});
}

// ---- The builder's part -------------------------------------------------------

void CMSIHandler::TakeSystemSettings()
{
    m_services.clear();
    m_environment.clear();
    RegistryChangeMap& added = m_project->AddedKeys();
    RegistryChangeMap& modified = m_project->ModifiedKeys();

    // The values `matchesValue` accepts of the keys `matchesKey` accepts, taken
    // out of the added and the modified map; true when any was there.
    auto takeOut = [&](auto&& matchesKey, auto&& matchesValue) {
        bool found = false;
        for (RegistryChangeMap* map : {&added, &modified})
            for (auto& [key, values] : *map) {
                if (!matchesKey(key))
                    continue;
                const auto end = std::remove_if(values.begin(), values.end(), matchesValue);
                found = found || end != values.end();
                values.erase(end, values.end());
            }
        return found;
    };

    for (ServiceRecord& service : ReadServiceList(*m_project)) {
        // The service's own key (under any control set) and the subkeys the
        // service control manager keeps; other subkeys (Parameters) stay.
        const auto ownValues = [&](const std::wstring& key) {
            bool ownKey = false;
            if (!SameName(ServiceOfKey(key, &ownKey), service.Name))
                return false;
            const std::wstring last = key.substr(key.find_last_of(L'\\') + 1);
            return ownKey || SameName(last, L"Security") || SameName(last, L"Enum");
        };
        // The user may have taken the service's values out of the project.
        const bool listed = std::any_of(added.begin(), added.end(), [&](const auto& key) {
            return ownValues(key.first) && !key.second.empty();
        });
        if (!listed)
            continue;
        std::wstring real = service.Program;
        ToRealPath(real);
        const auto file = std::find_if(m_files.begin(), m_files.end(),
                                       [&](const PackedFile& f) { return SameName(f.realPath, real); });
        std::string problem;
        if (!InstallerServiceType(service.Type) || !InstallerStartType(service.Start))
            problem = "is a driver or a kind of service Windows Installer does not install";
        else if (file == m_files.end())
            problem = "runs " + ToUtf8(real) + ", which is not a file of the package";
        if (!problem.empty()) {
            Note(L"The service " + service.Name + L" " + FromUtf8(problem) +
                 L"; it stays as registry values and becomes active at the next restart.");
            continue;
        }
        (void)takeOut(ownValues, [](const RegistryChangeEntry&) { return true; });
        m_services.push_back({std::move(service), file->component});
    }

    for (EnvironmentRecord& variable : ReadEnvironmentList(*m_project)) {
        const auto variableKey = [&](const std::wstring& key) {
            bool system = false;
            return IsEnvironmentKey(key, &system) && system == variable.System;
        };
        const auto variableValue = [&](const RegistryChangeEntry& value) {
            const std::wstring& name = value.ValueName;
            return name.size() >= 2 && SameName(name.substr(1, name.size() - 2), variable.Name);
        };
        if (takeOut(variableKey, variableValue))
            m_environment.push_back(std::move(variable));
    }
}

void CMSIHandler::AddServiceRows()
{
    if (m_services.empty())
        return;
    const MSIHANDLE database = m_database.get();
    if (!EnsureSystemTable(database, L"ServiceInstall") || !EnsureSystemTable(database, L"ServiceControl"))
        return;
    for (const auto& [action, sequence] : {std::pair{L"StopServices", 1900}, std::pair{L"DeleteServices", 2000},
                                           std::pair{L"InstallServices", 5800}, std::pair{L"StartServices", 5900}})
        (void)EnsureExecuteAction(database, action, sequence);
    CTableInserter install(database, L"ServiceInstall",
                           {L"ServiceInstall", L"Name", L"DisplayName", L"ServiceType", L"StartType", L"ErrorControl",
                            L"LoadOrderGroup", L"Dependencies", L"StartName", L"Password", L"Arguments",
                            L"Component_", L"Description"},
                           "CMSIHandler::AddServiceRows: Unable to open the ServiceInstall table");
    CTableInserter control(database, L"ServiceControl",
                           {L"ServiceControl", L"Name", L"Event", L"Arguments", L"Wait", L"Component_"},
                           "CMSIHandler::AddServiceRows: Unable to open the ServiceControl table");
    int number = 0;
    for (const auto& [service, component] : m_services) {
        std::optional<std::wstring> account = InstallerAccount(service.Account);
        if (!account) {
            Note(L"The service " + service.Name + L" runs as " + service.Account +
                 L" on the capture machine; the package installs it as LocalSystem, and the installing "
                 L"administrator sets its account.");
            account = L"LocalSystem";
        }
        const std::wstring texts[] = {service.Name, service.DisplayName, service.Description, service.Group,
                                      service.Arguments};
        if (!std::all_of(std::begin(texts), std::end(texts), [&](const std::wstring& t) { return FitsCodePage(t); })) {
            Note(L"The service " + service.Name + L" cannot be written in the package's code page; left out.");
            continue;
        }
        const std::wstring key = L"CorvaneService" + std::to_wstring(++number);
        const bool installed =
            install.Insert({key, EscapeFormatted(service.Name), EscapeFormatted(service.DisplayName),
                            *InstallerServiceType(service.Type), *InstallerStartType(service.Start),
                            static_cast<int>(service.ErrorControl), EscapeFormatted(service.Group),
                            InstallerDependencies(service.DependOnService, service.DependOnGroup), *account,
                            L"", ReplaceFolderPaths(EscapeFormatted(service.Arguments)), component,
                            EscapeFormatted(service.Description)});
        if (installed && control.Insert({key, EscapeFormatted(service.Name), ServiceControlEvents(service.Start), L"",
                                         1, component}))
            ++m_counts.ServiceRows;
    }
}
