#pragma once
// A finished package's rows read back as text: the tables and columns that
// describe what it installs, each row's fields in the order asked for (a null
// field reads as ""), the summary information's code page and platform.
#include "common/Result.h"

#include <map>
#include <string>
#include <vector>

using PackageRow = std::vector<std::wstring>;

struct PackageTables
{
    // Table name to its rows in the database's order; a table the package
    // lacks has no entry.
    std::map<std::wstring, std::vector<PackageRow>> rows;
    unsigned codePage = 0;     // PID_CODEPAGE; 0 when the summary has none
    std::wstring platform;     // the platform part of PID_TEMPLATE ("Intel", "x64")

    // The rows of a table; empty for a table the package lacks.
    const std::vector<PackageRow>& Rows(const std::wstring& table) const;
    // The value of a Property row; "" when absent.
    std::wstring Property(const std::wstring& name) const;
};

// The columns read from each table, in field order.
struct PackageTableColumns
{
    const wchar_t* table;
    std::vector<const wchar_t*> columns;
};
const std::vector<PackageTableColumns>& PackageTableLayouts();

// Reads every table of PackageTableLayouts() the package has. A failure (the
// package does not open, a query fails) is logged with Windows Installer's
// code and text.
Result ReadPackageTables(const std::wstring& packagePath, PackageTables& tables);
