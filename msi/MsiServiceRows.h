#pragma once
// How a captured service and a captured environment variable become Windows
// Installer's own rows (ServiceInstall, ServiceControl, Environment), and the
// tables and standard actions those rows need when the template lacks them.
#include "common/Result.h"
#include "msi/MsiHandle.h"
#include "project/SystemSettings.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// ServiceInstall.ServiceType: a service of its own process or of a shared one,
// with the interactive flag kept; none for drivers and every other kind,
// which Windows Installer does not install.
std::optional<int> InstallerServiceType(std::uint32_t type);
// ServiceInstall.StartType: automatic, on demand or disabled; none for the
// boot and system start of drivers.
std::optional<int> InstallerStartType(std::uint32_t start);
// ServiceInstall.StartName for the built-in accounts (LocalSystem, also for an
// empty name, and the local and network service accounts, in any of their
// spellings); none for another account, whose password the package cannot carry.
std::optional<std::wstring> InstallerAccount(const std::wstring& account);
// ServiceControl.Event: stopped on install and on removal, deleted on removal,
// started on install when it starts automatically.
int ServiceControlEvents(std::uint32_t start);
// ServiceInstall.Dependencies: services, then groups marked "+", each ended by [~].
std::wstring InstallerDependencies(const std::vector<std::wstring>& services, const std::vector<std::wstring>& groups);

// One Environment row: its Name (with the prefixes) and Value, unformatted.
struct EnvironmentRow
{
    std::wstring Name;
    std::wstring Value;

    friend bool operator==(const EnvironmentRow&, const EnvironmentRow&) = default;
};
// The rows of one variable, in the order they must be applied: a new variable
// set and removed again ("=-"), a changed one set ("="), a list variable one
// row per added entry ("=-" with "[~];entry" at the end, "entry;[~]" in front,
// the front ones last first so that they end up in their order). "*" marks a
// system variable. An extension by nothing gives no row. `format` turns an
// entry or value into the column's text (escapes, folder properties).
template <typename Format>
std::vector<EnvironmentRow> EnvironmentRows(const EnvironmentRecord& variable, Format&& format)
{
    std::vector<EnvironmentRow> rows;
    const std::wstring scope = variable.System ? L"*" : L"";
    switch (variable.Action) {
    case EnvironmentAction::Create:
        rows.push_back({L"=-" + scope + variable.Name, format(variable.Value)});
        break;
    case EnvironmentAction::Set:
        rows.push_back({L"=" + scope + variable.Name, format(variable.Value)});
        break;
    case EnvironmentAction::Extend:
        for (const std::wstring& entry : variable.Append)
            rows.push_back({L"=-" + scope + variable.Name, L"[~];" + format(entry)});
        for (auto entry = variable.Prepend.rbegin(); entry != variable.Prepend.rend(); ++entry)
            rows.push_back({L"=-" + scope + variable.Name, format(*entry) + L";[~]"});
        break;
    }
    return rows;
}

// Creates the table (with its _Validation rows) when the database lacks it;
// `table` is one of "Environment", "ServiceInstall", "ServiceControl". A
// failure after its log line when it cannot be made (without one for a table
// of another name).
Result EnsureSystemTable(MSIHANDLE database, const std::wstring& table);
// Adds the standard action to InstallExecuteSequence at its usual number when
// the sequence does not hold it. A failure after its log line.
Result EnsureExecuteAction(MSIHANDLE database, const std::wstring& action, int sequence);
