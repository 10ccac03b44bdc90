#include "msi/PackageTables.h"

#include "common/Log.h"
#include "msi/MsiHandle.h"
#include "msi/MsiResult.h"
#include "msi/MsiTables.h"

#include <msi.h>
#include <wtypes.h>

namespace {

const std::vector<PackageRow> NoRows;

Result ReadTable(MSIHANDLE database, const PackageTableColumns& layout, std::vector<PackageRow>& rows)
{
    std::wstring query = L"SELECT ";
    for (std::size_t i = 0; i < layout.columns.size(); ++i)
        query += (i ? L", `" : L"`") + std::wstring(layout.columns[i]) + L"`";
    query += L" FROM `" + std::wstring(layout.table) + L"`";
    const std::wstring what = L"ReadPackageTables: Unable to read the " + std::wstring(layout.table) + L" table";
    UniqueMsiHandle view;
    if (const UINT rc = MsiDatabaseOpenViewW(database, query.c_str(), view.put()); rc != ERROR_SUCCESS)
        return InstallerResult(rc, what);
    if (const UINT rc = MsiViewExecute(view.get(), 0); rc != ERROR_SUCCESS)
        return InstallerResult(rc, what);
    for (;;) {
        UniqueMsiHandle record;
        const UINT rc = MsiViewFetch(view.get(), record.put());
        if (rc == ERROR_NO_MORE_ITEMS)
            return Result::Ok();
        if (rc != ERROR_SUCCESS)
            return InstallerResult(rc, what);
        PackageRow row;
        for (UINT field = 1; field <= layout.columns.size(); ++field)
            row.push_back(RecordFieldText(record.get(), field));
        rows.push_back(std::move(row));
    }
}

// The summary information's code page and template (the platform) properties.
constexpr UINT CodePageProperty = 1;
constexpr UINT TemplateProperty = 7;

void ReadSummary(MSIHANDLE database, PackageTables& tables)
{
    UniqueMsiHandle summary;
    if (MsiGetSummaryInformationW(database, nullptr, 0, summary.put()) != ERROR_SUCCESS)
        return;
    UINT type = 0;
    INT number = 0;
    FILETIME time{};
    DWORD size = 0;
    if (MsiSummaryInfoGetPropertyW(summary.get(), CodePageProperty, &type, &number, &time, nullptr, &size) ==
            ERROR_SUCCESS &&
        type == VT_I2)
        tables.codePage = static_cast<unsigned short>(number); // a 16-bit property: 65001 reads as negative
    wchar_t text[256] = {};
    size = 256;
    if (MsiSummaryInfoGetPropertyW(summary.get(), TemplateProperty, &type, &number, &time, text, &size) ==
        ERROR_SUCCESS) {
        const std::wstring templ = text;
        tables.platform = templ.substr(0, templ.find(L';'));
    }
}

} // namespace

const std::vector<PackageRow>& PackageTables::Rows(const std::wstring& table) const
{
    const auto found = rows.find(table);
    return found == rows.end() ? NoRows : found->second;
}

std::wstring PackageTables::Property(const std::wstring& name) const
{
    for (const PackageRow& row : Rows(L"Property"))
        if (row[0] == name)
            return row[1];
    return L"";
}

const std::vector<PackageTableColumns>& PackageTableLayouts()
{
    static const std::vector<PackageTableColumns> layouts = {
        {L"Property", {L"Property", L"Value"}},
        {L"Directory", {L"Directory", L"Directory_Parent", L"DefaultDir"}},
        {L"Component", {L"Component", L"ComponentId", L"Directory_", L"Attributes", L"KeyPath"}},
        {L"Feature", {L"Feature", L"Title", L"Description", L"Display", L"Level"}},
        {L"FeatureComponents", {L"Feature_", L"Component_"}},
        {L"File", {L"File", L"Component_", L"FileName", L"Attributes"}},
        {L"Registry", {L"Registry", L"Root", L"Key", L"Name", L"Value", L"Component_"}},
        {L"Shortcut",
         {L"Shortcut", L"Directory_", L"Name", L"Component_", L"Target", L"Icon_", L"IconIndex", L"Arguments",
          L"Description", L"ShowCmd", L"WkDir"}},
        {L"Icon", {L"Name"}},
        {L"IniFile", {L"IniFile", L"FileName", L"DirProperty", L"Section", L"Key", L"Value", L"Action", L"Component_"}},
        {L"RemoveIniFile",
         {L"RemoveIniFile", L"FileName", L"DirProperty", L"Section", L"Key", L"Value", L"Action", L"Component_"}},
        {L"CreateFolder", {L"Directory_", L"Component_"}},
        {L"RemoveFile", {L"FileKey", L"Component_", L"FileName", L"DirProperty", L"InstallMode"}},
        {L"ServiceInstall",
         {L"ServiceInstall", L"Name", L"DisplayName", L"ServiceType", L"StartType", L"ErrorControl", L"LoadOrderGroup",
          L"Dependencies", L"StartName", L"Password", L"Arguments", L"Component_", L"Description"}},
        {L"ServiceControl", {L"ServiceControl", L"Name", L"Event", L"Arguments", L"Wait", L"Component_"}},
        {L"Environment", {L"Environment", L"Name", L"Value", L"Component_"}},
        {L"CustomAction", {L"Action", L"Type", L"Source", L"Target"}},
        {L"InstallExecuteSequence", {L"Action", L"Condition", L"Sequence"}},
    };
    return layouts;
}

Result ReadPackageTables(const std::wstring& packagePath, PackageTables& tables)
{
    tables = PackageTables{};
    UniqueMsiHandle database;
    if (const UINT rc = MsiOpenDatabaseW(packagePath.c_str(), MSIDBOPEN_READONLY, database.put());
        rc != ERROR_SUCCESS) {
        Result failure = InstallerResult(rc, L"ReadPackageTables: Unable to open " + packagePath);
        LogError(failure.Text());
        return failure;
    }
    for (const PackageTableColumns& layout : PackageTableLayouts()) {
        if (MsiDatabaseIsTablePersistentW(database.get(), layout.table) != MSICONDITION_TRUE)
            continue;
        std::vector<PackageRow>& rows = tables.rows[layout.table];
        if (Result read = ReadTable(database.get(), layout, rows); !read) {
            LogError(read.Text());
            return read;
        }
    }
    ReadSummary(database.get(), tables);
    return Result::Ok();
}
