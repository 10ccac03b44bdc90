// Environment variables: Environment rows in place of the registry values of
// the environment keys, so that a list variable such as Path keeps the
// target machine's entries and only gains (and loses again) the setup's.
#include "msi/MsiServiceRows.h"

#include "common/Utf.h"
#include "msi/MSIHandler.h"
#include "msi/MsiTables.h"

#include <cwchar>

void CMSIHandler::AddEnvironmentRows()
{
    if (m_environment.empty())
        return;
    const MSIHANDLE database = m_database.get();
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
    const auto format = [](const std::wstring& text) { return ReplaceFolderPaths(EscapeFormatted(text)); };
    for (const EnvironmentRecord& variable : m_environment) {
        for (const EnvironmentRow& row : EnvironmentRows(variable, format)) {
            if (!FitsCodePage(row.Name) || !FitsCodePage(row.Value)) {
                Note(L"The variable " + variable.Name + L" cannot be written in the package's code page; left out.");
                break;
            }
            wchar_t key[40];
            std::swprintf(key, 40, L"CorvaneEnvironment%04d", ++number);
            // The registry component: installed for the machine, as the registry values were.
            if (table.Insert({key, row.Name, row.Value, L"REGDIFFCOMP"}))
                ++m_counts.EnvironmentRows;
        }
    }
}
