#include "msi/BuildContext.h"

#include "common/Log.h"
#include "common/Utf.h"
#include "msi/MsiPlatform.h"
#include "msi/MsiResult.h"
#include "msi/MsiTableIds.h"
#include "msi/MsiTables.h"
#include "msi/Upgrade.h"

#include <cstdio>

BuildContext::BuildContext(MSIHANDLE databaseHandle, UINT codePage, const XmlDocument& projectDocument,
                           ProjectModel& projectModel, const ProductInfo& productInfo, MsiBuildResults& buildResults,
                           const BuildPlace& buildPlace)
    : database(databaseHandle), place(buildPlace), document(projectDocument), project(projectModel), product(productInfo), results(buildResults),
      counts(buildResults.counts), x64Capture(IsX64Platform(productInfo.Platform)),
      machineValues(CaptureMachine::Current(buildPlace.tokens)), m_codePage(codePage)
{
}

BuildContext::~BuildContext() = default;

CTableInserter& BuildContext::Table(int id)
{
    auto& slot = m_tables[id];
    if (!slot) {
        const TableLayout& layout = TableLayouts()[id];
        slot = std::make_unique<CTableInserter>(database, layout.name, layout.columns, layout.openFailure);
    }
    return *slot;
}

std::size_t BuildContext::CloseTables()
{
    std::size_t rejected = 0;
    for (const auto& [id, table] : m_tables)
        rejected += table->Rejected();
    m_tables.clear();
    return rejected;
}

bool BuildContext::FitsCodePage(const std::wstring& text)
{
    if (text.empty() || m_codePage == CP_UTF8)
        return true;
    BOOL lossy = FALSE;
    const int n = WideCharToMultiByte(m_codePage, WC_NO_BEST_FIT_CHARS, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0, nullptr, &lossy);
    if (n > 0 && !lossy)
        return true;
    // The database keeps the ANSI code page while every string fits it, and
    // turns to UTF-8 at the first one that does not.
    return static_cast<bool>(SwitchToUtf8());
}

Result BuildContext::SwitchToUtf8()
{
    if (m_codePage == CP_UTF8)
        return Result::Ok();
    if (!database)
        return Result::Failure(ERROR_INVALID_HANDLE, L"no database");
    const std::wstring folder = place.tempFolder;
    const std::wstring name = L"utf8-" + std::to_wstring(GetCurrentProcessId()) + L".idt";
    const std::wstring path = folder + L"\\" + name;
    bool imported = false;
    UINT error = ERROR_SUCCESS;
    if (std::FILE* file = _wfopen(path.c_str(), L"wb")) {
        const char text[] = "\r\n\r\n65001\t_ForceCodepage\r\n";
        const bool written = std::fwrite(text, 1, sizeof text - 1, file) == sizeof text - 1;
        if (std::fclose(file) != 0 || !written)
            error = GetLastError() ? GetLastError() : ERROR_WRITE_FAULT;
        else
            error = MsiDatabaseImportW(database, folder.c_str(), name.c_str());
        imported = error == ERROR_SUCCESS;
        DeleteFileW(path.c_str());
    } else {
        error = GetLastError();
    }
    if (!imported) {
        const Result failure = Result::Installer(
            error == ERROR_SUCCESS ? ERROR_GEN_FAILURE : error,
            L"CMSIHandler::SwitchToUtf8: Unable to set the package's code page to 65001", InstallerErrorDetail());
        LogError(failure.Text());
        return failure;
    }
    m_codePage = CP_UTF8;
    return Result::Ok();
}

void BuildContext::Note(const std::wstring& line)
{
    LogError(L"CMSIHandler::BuildMSI: " + line);
    results.notes.push_back(line);
}

void BuildContext::Fail(const std::string& line)
{
    LogError(FromUtf8(line));
    if (results.failure.empty())
        results.failure = line;
}

Result BuildContext::Fail(Result failure)
{
    Fail(ToUtf8(failure.Text()));
    return failure;
}

std::wstring BuildContext::MachineValue(const std::wstring& raw, const std::wstring& where)
{
    return machineValues.Formatted(raw, where);
}

std::wstring BuildContext::ComponentId(std::wstring_view identity) const
{
    std::wstring code = ComponentCode(results.upgradeCode, identity);
    return code.empty() ? NewGuidString() : code;
}

// A value of the component's own below the product's key: it exists exactly
// while the component is installed, so the installer can tell that it is.
std::wstring BuildContext::AddKeyPathValue(const std::wstring& component, const std::wstring& valueName)
{
    std::wstring key = L"Software";
    if (!product.CompanyName.empty())
        key += L"\\[Manufacturer]";
    key += product.ApplicationName.empty() ? L"\\Corvane Repackager" : L"\\[ProductName]";
    const std::wstring id = L"CorvaneKeyPath" + component;
    constexpr int UserOrMachine = -1; // HKCU or HKLM, as ALLUSERS decides
    if (!Table(TableId::Registry).Insert({id, UserOrMachine, key, valueName, L"[ProductVersion]", component}))
        return L"";
    return id;
}

bool BuildContext::LeaveOutFolder(const std::wstring& folder)
{
    if (!m_leftOutFolders.insert(UpperKey(folder)).second)
        return false;
    ++counts.FoldersLeftOut;
    return true;
}

bool BuildContext::IsLeftOutFolder(const std::wstring& folder) const
{
    return m_leftOutFolders.count(UpperKey(folder)) != 0;
}
