// Test helper: edits a package the way the MSI build does, through msi.dll.
//
//   msi_package_edit <database> <command file>
//
// The command file (UTF-8) holds one command per line, fields split by tabs:
//   SQL      <statement>                 run an INSERT or other statement
//   SQLBLOB  <statement> <file>          the statement's one "?" gets the file
//   STREAM   <name> <file>               store the file in `_Streams`
//   SUMMARY  <property id> <text>        set a string summary property
// The database is opened in direct mode and committed at the end. Unlike the
// build, any failure stops here with exit code 1 and names the line.
#include <windows.h>
#include <wtypes.h>
#include <msi.h>
#include <msiquery.h>

#include <cstdio>
#include <string>
#include <vector>

#include "common/UniqueHandle.h"
#include "common/Utf.h"
#include "msi/MsiHandle.h"

namespace {

std::vector<std::wstring> Split(const std::wstring& line)
{
    std::vector<std::wstring> fields;
    size_t start = 0;
    for (;;) {
        const size_t tab = line.find(L'\t', start);
        fields.push_back(line.substr(start, tab == std::wstring::npos ? std::wstring::npos : tab - start));
        if (tab == std::wstring::npos)
            return fields;
        start = tab + 1;
    }
}

UINT RunSql(MSIHANDLE database, const std::wstring& sql, const wchar_t* blob)
{
    UniqueMsiHandle view;
    UINT rc = MsiDatabaseOpenViewW(database, sql.c_str(), view.put());
    if (rc != ERROR_SUCCESS)
        return rc;
    UniqueMsiHandle record;
    if (blob) {
        record.reset(MsiCreateRecord(1));
        rc = MsiRecordSetStreamW(record.get(), 1, blob);
        if (rc != ERROR_SUCCESS)
            return rc;
    }
    rc = MsiViewExecute(view.get(), record.get());
    MsiViewClose(view.get());
    return rc;
}

UINT AddStream(MSIHANDLE database, const std::wstring& name, const std::wstring& file)
{
    UniqueMsiHandle view;
    UINT rc = MsiDatabaseOpenViewW(database, L"SELECT * FROM `_Streams`", view.put());
    if (rc != ERROR_SUCCESS)
        return rc;
    UniqueMsiHandle record(MsiCreateRecord(2));
    if ((rc = MsiRecordSetStringW(record.get(), 1, name.c_str())) != ERROR_SUCCESS ||
        (rc = MsiRecordSetStreamW(record.get(), 2, file.c_str())) != ERROR_SUCCESS)
        return rc;
    return MsiViewModify(view.get(), MSIMODIFY_INSERT, record.get());
}

UINT SetSummary(MSIHANDLE database, UINT id, const std::wstring& text)
{
    UniqueMsiHandle info;
    UINT rc = MsiGetSummaryInformationW(database, nullptr, 1, info.put());
    if (rc != ERROR_SUCCESS)
        return rc;
    rc = MsiSummaryInfoSetPropertyW(info.get(), id, VT_LPSTR, 0, nullptr, text.c_str());
    if (rc != ERROR_SUCCESS)
        return rc;
    return MsiSummaryInfoPersist(info.get());
}

int Run(const std::wstring& databasePath, const std::wstring& commandPath)
{
    UniqueFile file(CreateFileW(commandPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file) {
        std::fprintf(stderr, "cannot open the command file\n");
        return 1;
    }
    std::string bytes;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) && got > 0)
        bytes.append(buffer, got);
    const std::wstring text = FromUtf8(bytes);

    UniqueMsiHandle database;
    UINT rc = MsiOpenDatabaseW(databasePath.c_str(), MSIDBOPEN_DIRECT, database.put());
    if (rc != ERROR_SUCCESS) {
        std::fprintf(stderr, "MsiOpenDatabase failed: %u\n", rc);
        return 1;
    }
    size_t pos = 0;
    int lineNo = 0;
    while (pos < text.size()) {
        size_t end = text.find(L'\n', pos);
        if (end == std::wstring::npos)
            end = text.size();
        std::wstring line = text.substr(pos, end - pos);
        pos = end + 1;
        ++lineNo;
        if (!line.empty() && line.back() == L'\r')
            line.pop_back();
        if (line.empty())
            continue;
        const std::vector<std::wstring> f = Split(line);
        if (f[0] == L"SQL" && f.size() == 2)
            rc = RunSql(database.get(), f[1], nullptr);
        else if (f[0] == L"SQLBLOB" && f.size() == 3)
            rc = RunSql(database.get(), f[1], f[2].c_str());
        else if (f[0] == L"STREAM" && f.size() == 3)
            rc = AddStream(database.get(), f[1], f[2]);
        else if (f[0] == L"SUMMARY" && f.size() == 3)
            rc = SetSummary(database.get(), static_cast<UINT>(std::wcstoul(f[1].c_str(), nullptr, 10)), f[2]);
        else
            rc = ERROR_BAD_FORMAT;
        if (rc != ERROR_SUCCESS) {
            std::fprintf(stderr, "line %d failed with %u: %s\n", lineNo, rc, ToUtf8(line).c_str());
            return 1;
        }
    }
    rc = MsiDatabaseCommit(database.get());
    if (rc != ERROR_SUCCESS) {
        std::fprintf(stderr, "MsiDatabaseCommit failed: %u\n", rc);
        return 1;
    }
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: msi_package_edit <database> <command file>\n");
        return 2;
    }
    const int result = Run(argv[1], argv[2]);
    if (MsiCloseAllHandles() != 0) {
        std::fprintf(stderr, "handles left open\n");
        return 1;
    }
    return result;
}
