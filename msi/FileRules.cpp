#include "msi/FileRules.h"

#include "common/Log.h"
#include "common/Utf.h"
#include "msi/MsiResult.h"
#include "msi/MsiTables.h"

#include <windows.h>

#include <bcrypt.h>
#include <cstdint>

#include <cstdlib>
#include <cwctype>
#include <map>
#include <msi.h>
#include <msiquery.h>
#include <set>

bool ReadFileVersionColumns(const std::wstring& path, std::wstring& version, std::wstring& language)
{
    version.clear();
    language.clear();
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    if (size == 0)
        return false;
    std::vector<BYTE> block(size);
    if (!GetFileVersionInfoW(path.c_str(), 0, size, block.data()))
        return false;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT fixedSize = 0;
    if (!VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &fixedSize) || !fixed ||
        fixedSize < sizeof(VS_FIXEDFILEINFO) || fixed->dwSignature != 0xFEEF04BD)
        return false;
    version = std::to_wstring(HIWORD(fixed->dwFileVersionMS)) + L"." + std::to_wstring(LOWORD(fixed->dwFileVersionMS)) +
              L"." + std::to_wstring(HIWORD(fixed->dwFileVersionLS)) + L"." +
              std::to_wstring(LOWORD(fixed->dwFileVersionLS));

    // Pairs of (language, code page); the languages go in, in their order.
    const WORD* pairs = nullptr;
    UINT bytes = 0;
    if (VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(const_cast<WORD**>(&pairs)),
                       &bytes) &&
        pairs) {
        std::set<WORD> seen;
        for (UINT i = 0; i + 1 < bytes / sizeof(WORD); i += 2) {
            if (!seen.insert(pairs[i]).second)
                continue;
            if (!language.empty())
                language += L',';
            language += std::to_wstring(pairs[i]);
        }
    }
    return true;
}

bool ReadFileHash(const std::wstring& path, int (&parts)[4])
{
    MSIFILEHASHINFO hash{};
    hash.dwFileHashInfoSize = sizeof hash;
    const UINT rc = MsiGetFileHashW(path.c_str(), 0, &hash);
    if (rc != ERROR_SUCCESS) {
        LogError(L"CMSIHandler::AddFileRows: no hash of " + path + InstallerSuffix(rc));
        return false;
    }
    for (int i = 0; i < 4; ++i)
        parts[i] = static_cast<int>(hash.dwData[i]);
    return true;
}

FileHashRead HashUnlessImage(HANDLE file, const std::wstring& path, int (&parts)[4], bool images)
{
    // msi.dll's hash is the MD5 digest as four little-endian DWORDs.
    struct Algorithm
    {
        BCRYPT_ALG_HANDLE handle = nullptr;
        Algorithm() { (void)BCryptOpenAlgorithmProvider(&handle, BCRYPT_MD5_ALGORITHM, nullptr, 0); }
        ~Algorithm()
        {
            if (handle)
                BCryptCloseAlgorithmProvider(handle, 0);
        }
    };
    static const Algorithm md5; // a provider handle serves every thread
    thread_local std::vector<unsigned char> buffer(1 << 16); // one per thread, not per file

    DWORD got = 0;
    if (!md5.handle || !ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr))
        return ReadFileHash(path, parts) ? FileHashRead::Hashed : FileHashRead::Failed;
    if (!images && got >= 2 && buffer[0] == 'M' && buffer[1] == 'Z')
        return FileHashRead::Image;
    if (got == 0) // what msi.dll gives an empty file, whatever it is
        return ReadFileHash(path, parts) ? FileHashRead::Hashed : FileHashRead::Failed;

    BCRYPT_HASH_HANDLE hash = nullptr;
    if (!BCRYPT_SUCCESS(BCryptCreateHash(md5.handle, &hash, nullptr, 0, nullptr, 0, 0)))
        return ReadFileHash(path, parts) ? FileHashRead::Hashed : FileHashRead::Failed;
    bool ok = true;
    DWORD error = ERROR_SUCCESS; // of the read that failed, or the hash's ERROR_GEN_FAILURE
    while (ok && got > 0) {
        const bool hashed = BCRYPT_SUCCESS(BCryptHashData(hash, buffer.data(), got, 0));
        ok = hashed && ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr);
        if (hashed && !ok)
            error = GetLastError();
    }
    unsigned char digest[16];
    ok = ok && BCRYPT_SUCCESS(BCryptFinishHash(hash, digest, sizeof digest, 0));
    BCryptDestroyHash(hash);
    if (!ok) {
        LogError(L"CMSIHandler::AddFileRows: no hash of " + path + L" (read failed)" +
                 Result::Suffix(error == ERROR_SUCCESS ? ERROR_GEN_FAILURE : error));
        return FileHashRead::Failed;
    }
    for (int i = 0; i < 4; ++i)
        parts[i] = static_cast<int>(static_cast<std::uint32_t>(digest[4 * i]) |
                                    static_cast<std::uint32_t>(digest[4 * i + 1]) << 8 |
                                    static_cast<std::uint32_t>(digest[4 * i + 2]) << 16 |
                                    static_cast<std::uint32_t>(digest[4 * i + 3]) << 24);
    return FileHashRead::Hashed;
}

bool IsInstallerIdentifier(std::wstring_view text)
{
    if (text.empty())
        return false;
    auto letter = [](wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') || c == L'_'; };
    if (!letter(text[0]))
        return false;
    for (const wchar_t c : text)
        if (!letter(c) && !(c >= L'0' && c <= L'9') && c != L'.')
            return false;
    return true;
}

namespace {

using Row = std::vector<std::wstring>;

// The rows of a query, each field as text (null as empty). False when the
// query cannot run (a table the database does not have).
bool Select(MSIHANDLE database, const std::wstring& sql, std::vector<Row>& rows)
{
    rows.clear();
    UniqueMsiHandle view;
    if (MsiDatabaseOpenViewW(database, sql.c_str(), view.put()) != ERROR_SUCCESS)
        return false;
    if (MsiViewExecute(view.get(), 0) != ERROR_SUCCESS)
        return false;
    for (;;) {
        UniqueMsiHandle record;
        if (MsiViewFetch(view.get(), record.put()) != ERROR_SUCCESS)
            break;
        Row row;
        const UINT count = MsiRecordGetFieldCount(record.get());
        for (UINT i = 1; i <= count; ++i)
            row.push_back(RecordFieldText(record.get(), i));
        rows.push_back(std::move(row));
    }
    MsiViewClose(view.get());
    return true;
}

std::wstring Upper(std::wstring text)
{
    for (wchar_t& c : text)
        c = static_cast<wchar_t>(std::towupper(c));
    return text;
}

constexpr int RegistryKeyPath = 0x4; // msidbComponentAttributesRegistryKeyPath

} // namespace

std::vector<std::wstring> CheckPackageRules(MSIHANDLE database)
{
    std::vector<std::wstring> findings;
    std::vector<Row> rows;

    std::vector<Row> identifierColumns;
    (void)Select(database, L"SELECT `Table`,`Column` FROM `_Validation` WHERE `Category`='Identifier'",
                 identifierColumns);
    for (const Row& column : identifierColumns) {
        if (!Select(database, L"SELECT `" + column[1] + L"` FROM `" + column[0] + L"`", rows))
            continue;
        for (const Row& row : rows)
            if (!row[0].empty() && !IsInstallerIdentifier(row[0]))
                findings.push_back(column[0] + L"." + column[1] + L" \"" + row[0] + L"\" is not an identifier.");
    }

    std::map<std::wstring, std::wstring> fileComponent, registryComponent;
    if (Select(database, L"SELECT `File`,`Component_` FROM `File`", rows))
        for (const Row& row : rows)
            fileComponent[row[0]] = row[1];
    if (Select(database, L"SELECT `Registry`,`Component_` FROM `Registry`", rows))
        for (const Row& row : rows)
            registryComponent[row[0]] = row[1];

    std::map<std::wstring, std::wstring> componentOfCode; // upper-case ComponentId -> first component
    if (Select(database, L"SELECT `Component`,`ComponentId`,`Attributes`,`KeyPath` FROM `Component`", rows)) {
        for (const Row& row : rows) {
            const std::wstring& component = row[0];
            if (!row[1].empty()) {
                const auto [first, isNew] = componentOfCode.emplace(Upper(row[1]), component);
                if (!isNew)
                    findings.push_back(L"Components " + first->second + L" and " + component +
                                       L" have the same ComponentId " + row[1] + L".");
            }
            const std::wstring& keyPath = row[3];
            if (keyPath.empty()) {
                findings.push_back(L"Component " + component + L" has no key path.");
                continue;
            }
            const bool isRegistry = (std::wcstol(row[2].c_str(), nullptr, 10) & RegistryKeyPath) != 0;
            const auto& owners = isRegistry ? registryComponent : fileComponent;
            const wchar_t* table = isRegistry ? L"Registry" : L"File";
            const auto owner = owners.find(keyPath);
            if (owner == owners.end())
                findings.push_back(L"The key path " + keyPath + L" of component " + component + L" has no " + table +
                                   L" row.");
            else if (owner->second != component)
                findings.push_back(L"The key path " + keyPath + L" of component " + component + L" is a " + table +
                                   L" row of component " + owner->second + L".");
        }
    }

    if (Select(database, L"SELECT `Directory`,`Directory_Parent` FROM `Directory`", rows)) {
        std::set<std::wstring> keys;
        for (const Row& row : rows)
            keys.insert(row[0]);
        for (const Row& row : rows)
            if (!row[1].empty() && row[1] != row[0] && !keys.contains(row[1]))
                findings.push_back(L"The parent " + row[1] + L" of directory " + row[0] + L" has no row.");
    }
    return findings;
}
