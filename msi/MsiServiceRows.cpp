// How a captured service becomes ServiceInstall and ServiceControl columns,
// and the tables and actions the service and environment rows need.
#include "msi/MsiServiceRows.h"

#include "common/Log.h"
#include "common/Utf.h"
#include "msi/MsiResult.h"
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

Result EnsureSystemTable(MSIHANDLE database, const std::wstring& table)
{
    const auto definition = std::find_if(SystemTables().begin(), SystemTables().end(),
                                   [&](const SystemTable& t) { return table == t.name; });
    if (definition == SystemTables().end())
        return Result::Failure(ERROR_INVALID_TABLE, L"no definition of the " + table + L" table");
    if (MsiDatabaseIsTablePersistentW(database, definition->name) != MSICONDITION_NONE)
        return Result::Ok();
    UniqueMsiHandle view;
    UINT rc = MsiDatabaseOpenViewW(database, definition->create, view.put());
    if (rc == ERROR_SUCCESS)
        rc = MsiViewExecute(view.get(), 0);
    if (rc != ERROR_SUCCESS) {
        const Result created = InstallerResult(rc, L"CMSIHandler::EnsureSystemTable: Unable to create the " + table +
                                                        L" table");
        LogError(created.Text());
        return created;
    }
    CTableInserter validation(database, L"_Validation",
                              {L"Table", L"Column", L"Nullable", L"KeyTable", L"KeyColumn", L"Category"},
                              "CMSIHandler::EnsureSystemTable: Unable to open the _Validation table");
    for (const auto& column : definition->validation) {
        const bool foreign = column[2][0] != L'\0';
        (void)validation.Insert({definition->name, column[0], column[1], column[2],
                                 foreign ? MsiField(1) : MsiField(std::wstring_view()), column[3]});
    }
    return Result::Ok();
}

Result EnsureExecuteAction(MSIHANDLE database, const std::wstring& action, int sequence)
{
    UniqueMsiHandle view;
    UniqueMsiHandle parameter(MsiCreateRecord(1));
    UINT rc = ERROR_SUCCESS;
    if ((rc = MsiDatabaseOpenViewW(database, L"SELECT `Action` FROM `InstallExecuteSequence` WHERE `Action` = ?",
                                   view.put())) != ERROR_SUCCESS ||
        (rc = parameter ? ERROR_SUCCESS : ERROR_OUTOFMEMORY) != ERROR_SUCCESS ||
        (rc = MsiRecordSetStringW(parameter.get(), 1, action.c_str())) != ERROR_SUCCESS ||
        (rc = MsiViewExecute(view.get(), parameter.get())) != ERROR_SUCCESS) {
        const Result read = InstallerResult(rc, L"CMSIHandler::EnsureExecuteAction: Unable to read InstallExecuteSequence");
        LogError(read.Text());
        return read;
    }
    UniqueMsiHandle found;
    const UINT fetched = MsiViewFetch(view.get(), found.put());
    MsiViewClose(view.get());
    if (fetched == ERROR_SUCCESS)
        return Result::Ok();
    found.reset();
    CTableInserter sequenceTable(database, L"InstallExecuteSequence", {L"Action", L"Sequence"},
                                 "CMSIHandler::EnsureExecuteAction: Unable to open InstallExecuteSequence");
    // A refused row has its own log line.
    if (!sequenceTable.Insert({action, sequence}))
        return Result::Failure(ERROR_FUNCTION_FAILED, L"CMSIHandler::EnsureExecuteAction: " + action + L" not added");
    return Result::Ok();
}
