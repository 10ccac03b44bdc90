#include "msi/PackageTransaction.h"

#include "common/UniqueHandle.h"
#include "common/Utf.h"
#include "msi/MsiResult.h"

#include <objbase.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool FileExists(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool PathExists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Why a storage's streams are not whole, or "".
std::string StreamProblem(IStorage* storage)
{
    std::string problem;
    // {000C1084-0000-0000-C000-000000000046}: the class of an installer database.
    static const CLSID databaseClass = {0x000C1084, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
    STATSTG root{};
    IEnumSTATSTG* elements = nullptr;
    bool summaryFound = false;
    if (FAILED(storage->Stat(&root, STATFLAG_NONAME)) || !IsEqualCLSID(root.clsid, databaseClass))
        return "it is not a Windows Installer database";
    if (FAILED(storage->EnumElements(0, nullptr, 0, &elements)) || !elements)
        return "its streams cannot be listed";
    STATSTG stat{};
    std::vector<char> buffer(65536);
    while (problem.empty() && elements->Next(1, &stat, nullptr) == S_OK) {
        if (stat.pwcsName && std::wstring(stat.pwcsName) == L"\005SummaryInformation")
            summaryFound = true;
        if (stat.type == STGTY_STREAM) {
            IStream* stream = nullptr;
            ULONGLONG total = 0;
            if (SUCCEEDED(storage->OpenStream(stat.pwcsName, nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, &stream)) &&
                stream) {
                ULONG got = 0;
                while (SUCCEEDED(stream->Read(buffer.data(), static_cast<ULONG>(buffer.size()), &got)) && got > 0)
                    total += got;
                stream->Release();
            }
            if (total != stat.cbSize.QuadPart)
                problem = "a stream of it is cut short";
        }
        CoTaskMemFree(stat.pwcsName);
    }
    elements->Release();
    if (problem.empty() && !summaryFound)
        problem = "it has no summary information";
    return problem;
}

// A database template must at least be a compound file whose root storage
// opens: msi.dll does not survive some damaged ones. Why it is not, with the
// system's code (ERROR_INSTALL_PACKAGE_INVALID where no call failed), or Ok.
Result TemplateProblem(const std::wstring& path)
{
    static const unsigned char signature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        const DWORD error = GetLastError();
        return Result::Failure(error, L"it cannot be opened");
    }
    LARGE_INTEGER size{};
    unsigned char header[512] = {};
    DWORD got = 0;
    if (!GetFileSizeEx(file.get(), &size) || !ReadFile(file.get(), header, sizeof header, &got, nullptr) ||
        got != sizeof header || std::memcmp(header, signature, sizeof signature) != 0)
        return Result::Failure(ERROR_INSTALL_PACKAGE_INVALID, L"it is not a Windows Installer database");
    // Sectors are 512 bytes (version 3) or 4096 (version 4); the header takes one.
    const unsigned sectorShift = header[30] | (header[31] << 8);
    const long long sector = sectorShift == 9 ? 512 : sectorShift == 12 ? 4096 : 0;
    if (sector == 0 || size.QuadPart < 3 * sector || size.QuadPart % sector != 0)
        return Result::Failure(ERROR_INSTALL_PACKAGE_INVALID, L"it is cut short or damaged");
    file.reset();
    IStorage* storage = nullptr;
    const HRESULT opened = StgOpenStorage(path.c_str(), nullptr, STGM_READ | STGM_SHARE_DENY_WRITE, nullptr, 0,
                                          &storage);
    if (FAILED(opened) || !storage) {
        // Storage failures keep the Win32 code in their low word.
        const bool win32 = HRESULT_FACILITY(opened) == FACILITY_STORAGE || HRESULT_FACILITY(opened) == FACILITY_WIN32;
        return Result::Failure(win32 ? HRESULT_CODE(opened) : ERROR_INSTALL_PACKAGE_INVALID,
                               L"its storage cannot be opened");
    }
    // Every stream must read to its recorded end: a broken sector chain
    // shows here rather than inside msi.dll.
    const std::string problem = StreamProblem(storage);
    storage->Release();
    if (!problem.empty())
        return Result::Failure(ERROR_INSTALL_PACKAGE_INVALID, FromUtf8(problem));
    return Result::Ok();
}

// The code page the database keeps its strings in, from its _ForceCodepage
// export; 0 (neutral) means the ANSI code page.
UINT DatabaseCodePage(MSIHANDLE database, const std::wstring& folder)
{
    const std::wstring name = L"codepage-" + std::to_wstring(GetCurrentProcessId()) + L".idt";
    UINT codePage = CP_ACP;
    if (MsiDatabaseExportW(database, L"_ForceCodepage", folder.c_str(), name.c_str()) == ERROR_SUCCESS) {
        const std::wstring path = folder + L"\\" + name;
        if (std::FILE* file = _wfopen(path.c_str(), L"rb")) {
            char text[256] = {};
            const std::size_t got = std::fread(text, 1, sizeof text - 1, file);
            std::fclose(file);
            text[got] = '\0';
            // Two empty lines, then "<code page>\t_ForceCodepage".
            const char* line = text;
            for (int i = 0; i < 2 && line; ++i) {
                line = std::strchr(line, '\n');
                if (line)
                    ++line;
            }
            if (line)
                codePage = static_cast<UINT>(std::strtoul(line, nullptr, 10));
        }
        DeleteFileW(path.c_str());
    }
    return codePage == 0 ? CP_ACP : codePage;
}

} // namespace

CPackageTransaction::CPackageTransaction(std::wstring packagePath, std::wstring buildPath, std::wstring tempFolder)
    : m_packagePath(std::move(packagePath)), m_buildPath(std::move(buildPath)), m_tempFolder(std::move(tempFolder))
{
}

CPackageTransaction::~CPackageTransaction()
{
    // A build that did not run to its end leaves no package behind.
    if (m_database)
        Discard();
}

Result CPackageTransaction::Begin(const std::wstring& templatePath)
{
    // The whole template, whatever its size; the copy must be writable.
    for (const std::wstring* path : {&m_packagePath, &m_buildPath})
        if (path->size() > PackagePathLimit)
            return Result::Win32(ERROR_FILENAME_EXCED_RANGE,
                                 L"CMSIHandler::Initialize: The package path " + *path + L" is " +
                                     std::to_wstring(path->size()) +
                                     L" characters long; Windows Installer opens paths of at most 259 characters");
    if (!FileExists(templatePath)) {
        const DWORD error = GetLastError();
        return Result::Win32(error == ERROR_SUCCESS ? ERROR_FILE_NOT_FOUND : error,
                             L"CMSIHandler::Initialize: Unable to Open " + templatePath + L" File");
    }
    if (const Result problem = TemplateProblem(templatePath); !problem)
        return Result::Win32(problem.Code(), L"CMSIHandler::Initialize: The template " + templatePath +
                                                 L" cannot be used: " + problem.Text());
    if (!CopyFileW(templatePath.c_str(), m_buildPath.c_str(), FALSE))
        return Result::LastError(L"CMSIHandler::Initialize: Unable to Open " + m_buildPath + L" File");
    const DWORD attributes = GetFileAttributesW(m_buildPath.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        SetFileAttributesW(m_buildPath.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);

    if (const Result opened = InstallerResult(MsiOpenDatabaseW(m_buildPath.c_str(), MSIDBOPEN_DIRECT,
                                                               m_database.put()),
                                              L"CMSIHandler::Initialize: Unable to Open MSI File");
        !opened) {
        m_database.reset();
        DeleteFileW(m_buildPath.c_str());
        return opened;
    }
    m_codePage = DatabaseCodePage(m_database.get(), m_tempFolder);
    return Result::Ok();
}

Result CPackageTransaction::Commit()
{
    Result committed =
        InstallerResult(MsiDatabaseCommit(m_database.get()), L"CMSIHandler::BuildMSI: Unable to commit " + m_packagePath);
    m_database.reset();
    return committed;
}

Result CPackageTransaction::Publish(const std::vector<std::pair<std::wstring, std::wstring>>& cabinetMoves)
{
    // Every file of the package, from its temporary name to its own; names
    // that are taken are first moved aside, and put back when a move fails,
    // so that an earlier package stays whole with its own cabinets.
    std::vector<std::pair<std::wstring, std::wstring>> moves = cabinetMoves;
    moves.emplace_back(m_buildPath, m_packagePath);
    const std::wstring aside = L".~old-" + std::to_wstring(GetCurrentProcessId());
    std::vector<std::wstring> movedAside;
    std::vector<std::wstring> placed;
    DWORD error = ERROR_SUCCESS;
    std::wstring failed;
    for (const auto& [from, to] : moves) {
        if (PathExists(to)) {
            if (!MoveFileExW(to.c_str(), (to + aside).c_str(), MOVEFILE_REPLACE_EXISTING)) {
                error = GetLastError();
                failed = to;
                break;
            }
            movedAside.push_back(to);
        }
        if (!MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH)) {
            error = GetLastError();
            failed = to;
            break;
        }
        placed.push_back(to);
    }
    if (error != ERROR_SUCCESS) {
        // Back as it was: what was placed goes, what was moved aside returns.
        for (const std::wstring& path : placed)
            DeleteFileW(path.c_str());
        for (const std::wstring& path : movedAside)
            MoveFileExW((path + aside).c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
        return Result::Win32(error, L"CMSIHandler::BuildMSI: Unable to replace " + failed);
    }
    for (const std::wstring& path : movedAside)
        DeleteFileW((path + aside).c_str());
    return Result::Ok();
}

void CPackageTransaction::Discard()
{
    m_database.reset();
    if (!m_buildPath.empty())
        DeleteFileW(m_buildPath.c_str());
}
