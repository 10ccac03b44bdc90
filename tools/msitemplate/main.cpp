// msitemplate: builds an installer database from a folder of IDT text files.
//
//   msitemplate <idt folder> <output database>
//
// Every *.idt file of the folder is imported with MsiDatabaseImport, the
// database code page first ("_ForceCodepage.idt"). "_SummaryInformation.idt"
// (the layout msidump writes: property id, tab, value) is applied through the
// summary information API. The output is replaced only when everything
// succeeded; on failure it is removed and the exit code is 1.
#include <windows.h>
#include <wtypes.h>
#include <msi.h>
#include <msidefs.h>
#include <msiquery.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "common/Utf.h"
#include "msi/MsiHandle.h"

namespace {

const wchar_t kCodepageFile[] = L"_ForceCodepage.idt";
const wchar_t kSummaryFile[] = L"_SummaryInformation.idt";

void Fail(const std::wstring& message)
{
    std::fprintf(stderr, "msitemplate: %s\n", ToUtf8(message).c_str());
}

std::vector<std::wstring> ListIdtFiles(const std::wstring& folder)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data{};
    UniqueFind find(FindFirstFileW((folder + L"\\*.idt").c_str(), &data));
    if (!find)
        return names;
    do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            names.emplace_back(data.cFileName);
    } while (FindNextFileW(find.get(), &data));
    std::sort(names.begin(), names.end());
    // The code page must be in place before any string is stored.
    auto cp = std::find(names.begin(), names.end(), kCodepageFile);
    if (cp != names.end())
        std::rotate(names.begin(), cp, cp + 1);
    return names;
}

bool ReadText(const std::wstring& path, std::string& text)
{
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) && got > 0)
        text.append(buffer, got);
    return true;
}

bool ParseTime(const std::string& text, FILETIME& out)
{
    SYSTEMTIME st{};
    unsigned y, mo, d, h, mi, s;
    if (std::sscanf(text.c_str(), "%u/%u/%u %u:%u:%u", &y, &mo, &d, &h, &mi, &s) != 6)
        return false;
    st.wYear = static_cast<WORD>(y);
    st.wMonth = static_cast<WORD>(mo);
    st.wDay = static_cast<WORD>(d);
    st.wHour = static_cast<WORD>(h);
    st.wMinute = static_cast<WORD>(mi);
    st.wSecond = static_cast<WORD>(s);
    return SystemTimeToFileTime(&st, &out) != FALSE;
}

// Applies "<id>\t<value>" lines after the three header lines.
bool ApplySummary(MSIHANDLE database, const std::wstring& path)
{
    std::string text;
    if (!ReadText(path, text)) {
        Fail(L"cannot read " + path);
        return false;
    }
    UniqueMsiHandle info;
    UINT rc = MsiGetSummaryInformationW(database, nullptr, 20, info.put());
    if (rc != ERROR_SUCCESS) {
        Fail(L"MsiGetSummaryInformation failed with " + std::to_wstring(rc));
        return false;
    }
    size_t pos = 0;
    int lineNo = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (++lineNo <= 3 || line.empty())
            continue;
        const size_t tab = line.find('\t');
        if (tab == std::string::npos) {
            Fail(path + L"(" + std::to_wstring(lineNo) + L"): no tab between id and value");
            return false;
        }
        const UINT id = static_cast<UINT>(std::strtoul(line.substr(0, tab).c_str(), nullptr, 10));
        const std::string value = line.substr(tab + 1);
        UINT type = VT_LPSTR;
        INT number = 0;
        FILETIME time{};
        switch (id) {
        case PID_CODEPAGE:
            type = VT_I2;
            number = std::atoi(value.c_str());
            break;
        case PID_PAGECOUNT:
        case PID_WORDCOUNT:
        case PID_CHARCOUNT:
        case PID_SECURITY:
            type = VT_I4;
            number = std::atoi(value.c_str());
            break;
        case PID_EDITTIME:
        case PID_LASTPRINTED:
        case PID_CREATE_DTM:
        case PID_LASTSAVE_DTM:
            type = VT_FILETIME;
            if (!ParseTime(value, time)) {
                Fail(path + L"(" + std::to_wstring(lineNo) + L"): time is not yyyy/mm/dd hh:mm:ss");
                return false;
            }
            break;
        default:
            break;
        }
        const std::wstring wide = FromUtf8(value);
        rc = MsiSummaryInfoSetPropertyW(info.get(), id, type, number, &time, wide.c_str());
        if (rc != ERROR_SUCCESS) {
            Fail(path + L"(" + std::to_wstring(lineNo) + L"): property " + std::to_wstring(id) +
                 L" refused with " + std::to_wstring(rc));
            return false;
        }
    }
    rc = MsiSummaryInfoPersist(info.get());
    if (rc != ERROR_SUCCESS) {
        Fail(L"MsiSummaryInfoPersist failed with " + std::to_wstring(rc));
        return false;
    }
    return true;
}

bool Build(const std::wstring& folder, const std::wstring& output)
{
    const std::vector<std::wstring> files = ListIdtFiles(folder);
    if (files.empty()) {
        Fail(L"no .idt files in " + folder);
        return false;
    }
    UniqueMsiHandle database;
    UINT rc = MsiOpenDatabaseW(output.c_str(), MSIDBOPEN_CREATE, database.put());
    if (rc != ERROR_SUCCESS) {
        Fail(L"cannot create " + output + L" (error " + std::to_wstring(rc) + L")");
        return false;
    }
    for (const std::wstring& name : files) {
        if (name == kSummaryFile)
            continue;
        rc = MsiDatabaseImportW(database.get(), folder.c_str(), name.c_str());
        if (rc != ERROR_SUCCESS) {
            Fail(L"cannot import " + name + L" (error " + std::to_wstring(rc) + L")");
            return false;
        }
    }
    if (std::find(files.begin(), files.end(), kSummaryFile) != files.end() &&
        !ApplySummary(database.get(), folder + L"\\" + kSummaryFile))
        return false;
    rc = MsiDatabaseCommit(database.get());
    if (rc != ERROR_SUCCESS) {
        Fail(L"cannot commit " + output + L" (error " + std::to_wstring(rc) + L")");
        return false;
    }
    return true;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: msitemplate <idt folder> <output database>\n");
        return 2;
    }
    const std::wstring folder = argv[1];
    const std::wstring output = argv[2];
    // Build beside the target and move into place, so a failed run never
    // leaves a half-made database under the real name.
    const std::wstring partial = output + L".partial";
    DeleteFileW(partial.c_str());
    const bool ok = Build(folder, partial);
    if (MsiCloseAllHandles() != 0)
        Fail(L"handles left open");
    if (!ok || !MoveFileExW(partial.c_str(), output.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        if (ok)
            Fail(L"cannot move the database to " + output);
        DeleteFileW(partial.c_str());
        return 1;
    }
    return 0;
}
