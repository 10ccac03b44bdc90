#include "msi/SystemSettingRows.h"

#include "common/FolderTokens.h"
#include "common/Utf.h"
#include "msi/BuildContext.h"
#include "msi/MachineValues.h"
#include "msi/MsiServiceRows.h"
#include "msi/MsiTables.h"

#include <algorithm>
#include <cwchar>
#include <optional>

CSystemSettingRows::CSystemSettingRows(BuildContext& build) : m_build(build)
{
}

void CSystemSettingRows::Take()
{
    m_services.clear();
    m_environment.clear();
    RegistryChangeMap& added = m_build.project.Changes.Registry(ChangeOrigin::Added);
    RegistryChangeMap& modified = m_build.project.Changes.Registry(ChangeOrigin::Modified);

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

    const std::vector<PackedFile>& files = m_build.files;
    for (ServiceRecord& service : ReadServiceList(m_build.document)) {
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
        ToRealPath(real, m_build.place.tokens);
        const auto file = std::find_if(files.begin(), files.end(),
                                       [&](const PackedFile& f) { return SameName(f.realPath, real); });
        std::string problem;
        if (!InstallerServiceType(service.Type) || !InstallerStartType(service.Start))
            problem = "is a driver or a kind of service Windows Installer does not install";
        else if (file == files.end())
            problem = "runs " + ToUtf8(real) + ", which is not a file of the package";
        if (!problem.empty()) {
            m_build.Note(L"The service " + service.Name + L" " + FromUtf8(problem) +
                         L"; it stays as registry values and becomes active at the next restart.");
            continue;
        }
        (void)takeOut(ownValues, [](const RegistryChangeEntry&) { return true; });
        m_services.push_back({std::move(service), file->component});
    }

    for (EnvironmentRecord& variable : ReadEnvironmentList(m_build.document)) {
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

void CSystemSettingRows::AddServiceRows()
{
    if (m_services.empty())
        return;
    const MSIHANDLE database = m_build.database;
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
            m_build.Note(L"The service " + service.Name + L" runs as " + service.Account +
                         L" on the capture machine; the package installs it as LocalSystem, and the installing "
                         L"administrator sets its account.");
            account = L"LocalSystem";
        }
        const std::wstring texts[] = {service.Name, service.DisplayName, service.Description, service.Group,
                                      service.Arguments};
        if (!std::all_of(std::begin(texts), std::end(texts),
                         [&](const std::wstring& t) { return m_build.FitsCodePage(t); })) {
            m_build.Note(L"The service " + service.Name + L" cannot be written in the package's code page; left out.");
            continue;
        }
        const std::wstring key = L"CorvaneService" + std::to_wstring(++number);
        const bool installed =
            install.Insert({key, EscapeFormatted(service.Name), EscapeFormatted(service.DisplayName),
                            *InstallerServiceType(service.Type), *InstallerStartType(service.Start),
                            static_cast<int>(service.ErrorControl), EscapeFormatted(service.Group),
                            InstallerDependencies(service.DependOnService, service.DependOnGroup), *account,
                            L"", m_build.machineValues.Folders(EscapeFormatted(service.Arguments)), component,
                            EscapeFormatted(service.Description)});
        if (installed && control.Insert({key, EscapeFormatted(service.Name), ServiceControlEvents(service.Start), L"",
                                         1, component}))
            ++m_build.counts.ServiceRows;
    }
}

// Environment rows in place of the registry values of the environment keys,
// so that a list variable such as Path keeps the target machine's entries
// and only gains (and loses again) the setup's.
void CSystemSettingRows::AddEnvironmentRows()
{
    if (m_environment.empty())
        return;
    const MSIHANDLE database = m_build.database;
    if (!EnsureSystemTable(database, L"Environment"))
        return;
    for (const auto& [action, sequence] :
         {std::pair{L"RemoveEnvironmentStrings", 3300}, std::pair{L"WriteEnvironmentStrings", 5200}})
        (void)EnsureExecuteAction(database, action, sequence);
    CTableInserter table(database, L"Environment", {L"Environment", L"Name", L"Value", L"Component_"},
                         "CMSIHandler::AddEnvironmentRows: Unable to open the Environment table");
    // The keys sort in the order the rows are written: the installer applies
    // them in key order, and the entries put in front depend on it.
    int number = 0;
    const auto format = [&](const std::wstring& text) { return m_build.machineValues.Folders(EscapeFormatted(text)); };
    for (const EnvironmentRecord& variable : m_environment) {
        for (const EnvironmentRow& row : EnvironmentRows(variable, format)) {
            if (!m_build.FitsCodePage(row.Name) || !m_build.FitsCodePage(row.Value)) {
                m_build.Note(L"The variable " + variable.Name +
                             L" cannot be written in the package's code page; left out.");
                break;
            }
            wchar_t key[40];
            std::swprintf(key, 40, L"CorvaneEnvironment%04d", ++number);
            // The registry component: installed for the machine, as the registry values were.
            if (table.Insert({key, row.Name, row.Value, L"REGDIFFCOMP"}))
                ++m_build.counts.EnvironmentRows;
        }
    }
}
