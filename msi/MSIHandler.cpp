// The build pipeline: template copy, cabinet directive file, the cabinet
// maker's run, the file side of the tables (Directory, File, Component,
// FeatureComponents, Media) and the stored cabinet.
#include "msi/MSIHandler.h"

#include "common/FileNames.h"
#include "common/FolderTokens.h"
#include "common/Paths.h"
#include "common/Progress.h"
#include "common/StopToken.h"
#include "common/UniqueHandle.h"
#include "common/Utf.h"
#include "msi/BuildPacer.h"
#include "msi/CabinetJob.h"
#include "common/Wow64.h"
#include "msi/MsiPlatform.h"
#include "msi/FileRules.h"
#include "msi/MsiTableIds.h"
#include "msi/MsiTables.h"
#include "msi/Upgrade.h"

#include <msidefs.h>
#include <objbase.h>

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <optional>

namespace {

constexpr const wchar_t* CabinetName = L"MSIProject.cab";
constexpr std::uint64_t CabinetFileLimit = 0x80000000ull; // 2 GiB: no file of this size fits a cabinet

// The template's own Directory keys: a captured folder never takes one of them.
constexpr const wchar_t* TemplateDirectoryKeys[] = {
    L"TARGETDIR",       L"ProgramFilesFolder", L"SystemFolder",         L"System16Folder",   L"AppDataFolder",
    L"APPDATA",         L"USERPROFILE",        L"ALLUSERSPROFILE",      L"INSTALLDIR",       L"DesktopFolder",
    L"ProgramMenuFolder", L"QuickLaunchMicrosoft", L"QuickLaunchExplorer", L"QuickLaunchFolder", L"WindowsFolder",
    L"ProgramFiles64Folder", L"System64Folder", L"StartMenuFolder",
};

std::wstring LastComponent(const std::wstring& path)
{
    const auto slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::wstring ParentOf(const std::wstring& path)
{
    const auto slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

bool FileExists(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The read-only, hidden and system bits of an open file as File.Attributes bits.
int FileRowAttributes(HANDLE file)
{
    BY_HANDLE_FILE_INFORMATION information{};
    if (!GetFileInformationByHandle(file, &information))
        return 0;
    int attributes = 0;
    if (information.dwFileAttributes & FILE_ATTRIBUTE_READONLY)
        attributes |= msidbFileAttributesReadOnly;
    if (information.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN)
        attributes |= msidbFileAttributesHidden;
    if (information.dwFileAttributes & FILE_ATTRIBUTE_SYSTEM)
        attributes |= msidbFileAttributesSystem;
    return attributes;
}

// Quotes a DDF item with ' or, when the text holds that character, with ".
std::string DdfQuote(const std::string& text)
{
    const char quote = text.find('\'') == std::string::npos ? '\'' : '"';
    return quote + text + quote;
}

// 8-bit text in the cabinet maker's encoding; false when a character has no
// equivalent in the ANSI code page.
bool ToDdfText(const std::wstring& text, bool utf8, std::string& out)
{
    if (utf8) {
        out = ToUtf8(text);
        return true;
    }
    out.clear();
    if (text.empty())
        return true;
    BOOL lossy = FALSE;
    const int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0, nullptr, &lossy);
    if (n <= 0 || lossy)
        return false;
    out.resize(static_cast<std::size_t>(n));
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), static_cast<int>(text.size()), out.data(), n,
                        nullptr, &lossy);
    return !lossy;
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

// A Windows Installer identifier made of a name: ASCII letters, digits,
// underscores and periods, never starting with a digit or a period; every
// other character becomes "_".
std::wstring MsiIdentifier(const std::wstring& name)
{
    std::wstring id = name;
    for (wchar_t& c : id) {
        const bool allowed = (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') || (c >= L'0' && c <= L'9') ||
                             c == L'_' || c == L'.';
        if (!allowed)
            c = L'_';
    }
    if (id.empty() || (id[0] >= L'0' && id[0] <= L'9') || id[0] == L'.')
        id.insert(0, 1, L'_');
    return id;
}

namespace {

// True for a folder (token form or real) on the system drive: the installer's
// Directory table can only place folders below TARGETDIR, the system drive.
bool OnSystemDrive(const std::wstring& folder)
{
    if (folder.starts_with(L"%"))
        return true;
    const std::wstring& drive = TokenValues().systemdrive;
    if (drive.empty())
        return true;
    const std::wstring head = folder.substr(0, drive.size());
    const bool sameDrive = CompareStringOrdinal(head.c_str(), static_cast<int>(head.size()), drive.c_str(),
                                                static_cast<int>(drive.size()), TRUE) == CSTR_EQUAL;
    return sameDrive && (folder.size() == drive.size() || folder[drive.size()] == L'\\');
}

// Longest package path Windows Installer opens (shorter than MAX_PATH).
constexpr std::size_t PackagePathLimit = MAX_PATH - 1;

// A database template must at least be a compound file whose root storage
// opens: msi.dll does not survive some damaged ones. Why it is not, or "".
std::string TemplateProblem(const std::wstring& path)
{
    static const unsigned char signature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return "it cannot be opened (error " + std::to_string(GetLastError()) + ")";
    LARGE_INTEGER size{};
    unsigned char header[512] = {};
    DWORD got = 0;
    if (!GetFileSizeEx(file.get(), &size) || !ReadFile(file.get(), header, sizeof header, &got, nullptr) ||
        got != sizeof header || std::memcmp(header, signature, sizeof signature) != 0)
        return "it is not a Windows Installer database";
    // Sectors are 512 bytes (version 3) or 4096 (version 4); the header takes one.
    const unsigned sectorShift = header[30] | (header[31] << 8);
    const long long sector = sectorShift == 9 ? 512 : sectorShift == 12 ? 4096 : 0;
    if (sector == 0 || size.QuadPart < 3 * sector || size.QuadPart % sector != 0)
        return "it is cut short or damaged";
    file.reset();
    IStorage* storage = nullptr;
    const HRESULT opened = StgOpenStorage(path.c_str(), nullptr, STGM_READ | STGM_SHARE_DENY_WRITE, nullptr, 0,
                                          &storage);
    if (FAILED(opened) || !storage)
        return "its storage cannot be opened";
    // Every stream must read to its recorded end: a broken sector chain
    // shows here rather than inside msi.dll.
    std::string problem;
    // {000C1084-0000-0000-C000-000000000046}: the class of an installer database.
    static const CLSID databaseClass = {0x000C1084, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
    STATSTG root{};
    IEnumSTATSTG* elements = nullptr;
    bool summaryFound = false;
    if (FAILED(storage->Stat(&root, STATFLAG_NONAME)) || !IsEqualCLSID(root.clsid, databaseClass)) {
        problem = "it is not a Windows Installer database";
    } else if (FAILED(storage->EnumElements(0, nullptr, 0, &elements)) || !elements) {
        problem = "its streams cannot be listed";
    } else {
        STATSTG stat{};
        std::vector<char> buffer(65536);
        while (problem.empty() && elements->Next(1, &stat, nullptr) == S_OK) {
            if (stat.pwcsName && std::wstring(stat.pwcsName) == L"\005SummaryInformation")
                summaryFound = true;
            if (stat.type == STGTY_STREAM) {
                IStream* stream = nullptr;
                ULONGLONG total = 0;
                if (SUCCEEDED(storage->OpenStream(stat.pwcsName, nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0,
                                                  &stream)) &&
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
    }
    storage->Release();
    return problem;
}

// The processors this process may run on.
int ProcessorsAvailable()
{
    DWORD_PTR process = 0;
    DWORD_PTR system = 0;
    if (!GetProcessAffinityMask(GetCurrentProcess(), &process, &system) || process == 0)
        return 1;
    return std::popcount(static_cast<std::uintptr_t>(process));
}

} // namespace

CMSIHandler::CMSIHandler() = default;

bool CMSIHandler::FitsCodePage(const std::wstring& text)
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
    return SwitchToUtf8();
}

bool CMSIHandler::SwitchToUtf8()
{
    if (m_codePage == CP_UTF8)
        return true;
    if (!m_database)
        return false;
    const std::wstring folder = WorkingTempFolder();
    const std::wstring name = L"utf8-" + std::to_wstring(GetCurrentProcessId()) + L".idt";
    const std::wstring path = folder + L"\\" + name;
    bool imported = false;
    if (std::FILE* file = _wfopen(path.c_str(), L"wb")) {
        const char text[] = "\r\n\r\n65001\t_ForceCodepage\r\n";
        const bool written = std::fwrite(text, 1, sizeof text - 1, file) == sizeof text - 1;
        imported = std::fclose(file) == 0 && written &&
                   MsiDatabaseImportW(m_database.get(), folder.c_str(), name.c_str()) == ERROR_SUCCESS;
        DeleteFileW(path.c_str());
    }
    if (!imported) {
        LogError(L"CMSIHandler::SwitchToUtf8: Unable to set the package's code page to 65001");
        return false;
    }
    m_codePage = CP_UTF8;
    return true;
}

CMSIHandler::~CMSIHandler()
{
    CloseAll();
}

std::wstring CMSIHandler::DefaultCabinetMaker()
{
    wchar_t system[MAX_PATH];
    const UINT n = GetSystemDirectoryW(system, MAX_PATH);
    if (n > 0 && n < MAX_PATH) {
        const std::wstring platform = std::wstring(system, n) + L"\\makecab.exe";
        if (FileExists(platform))
            return platform;
    }
    return Paths().ProgramFolder + L"\\makecab.exe";
}

int CMSIHandler::Initialize(const std::wstring& projectFile)
{
    CloseAll();
    m_cabinetPath = PackagesFolder() + L"\\" + CabinetName;
    m_batchPath = WorkingTempFolder() + L"\\BuildAllCab.bat";
    m_ddfPath = WorkingTempFolder() + L"\\MSIProject.ddf";
    if (m_cabinetMaker.empty())
        m_cabinetMaker = DefaultCabinetMaker();

    auto fail = [this](const std::wstring& message) {
        LogError(message);
        return 0;
    };

    m_notes.clear();
    m_project = std::make_unique<CXMLDocumentHandler>();
    m_isProjectLoaded = m_project->Load(projectFile) == 1;
    if (!m_isProjectLoaded)
        return fail(L"CMSIHandler::Initialize: Unable to load Project File");

    m_productInfo = {};
    m_project->ReadProductInfo(m_productInfo);
    m_x64Capture = IsX64Platform(m_productInfo.Platform);

    // The path table is only read here: a worker may run the build while the
    // window thread owns the table.
    const std::wstring& msiName = Paths().MsiFileName;
    if (msiName.empty()) {
        // A name made of product information: one plain file name in the
        // packages folder, whatever the product is called.
        const std::wstring product =
            m_productInfo.ApplicationName.empty() ? std::wstring(L"MSIProject") : m_productInfo.ApplicationName;
        const std::wstring plain = MakePlainFileName(product + L".msi");
        if (plain != product + L".msi")
            LogError(L"CMSIHandler::Initialize: The product name \"" + product +
                     L"\" does not make a plain file name; the package is named \"" + plain + L"\"");
        m_packagePath = PackagesFolder() + L"\\" + plain;
    } else {
        m_packagePath = PackagesFolder() + L"\\" + msiName;
    }
    // Built under a name of its own in the same folder, and moved over the
    // package's name only when complete: an earlier package survives a failed build.
    m_buildPath = PackagesFolder() + L"\\~build-" + std::to_wstring(GetCurrentProcessId()) + L".msi.tmp";
    m_templatePath = Paths().ProgramFolder + L"\\Blank.msi";

    EnsureFolder(PackagesFolder());
    EnsureFolder(WorkingTempFolder());

    // The whole template, whatever its size; the copy must be writable.
    const std::wstring& templateW = m_templatePath;
    const std::wstring& buildW = m_buildPath;
    for (const std::wstring* path : {&m_packagePath, &m_buildPath})
        if (path->size() > PackagePathLimit)
            return fail(L"CMSIHandler::Initialize: The package path " + *path + L" is " +
                        std::to_wstring(path->size()) +
                        L" characters long; Windows Installer opens paths of at most 259 characters");
    if (!FileExists(templateW))
        return fail(L"CMSIHandler::Initialize: Unable to Open " + m_templatePath + L" File");
    if (const std::string problem = TemplateProblem(templateW); !problem.empty())
        return fail(L"CMSIHandler::Initialize: The template " + m_templatePath + L" cannot be used: " +
                    FromUtf8(problem));
    if (!CopyFileW(templateW.c_str(), buildW.c_str(), FALSE))
        return fail(L"CMSIHandler::Initialize: Unable to Open " + m_buildPath + L" File");
    const DWORD attributes = GetFileAttributesW(buildW.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        SetFileAttributesW(buildW.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);

    if (MsiOpenDatabaseW(buildW.c_str(), MSIDBOPEN_DIRECT, m_database.put()) != ERROR_SUCCESS) {
        m_database.reset();
        DeleteFileW(buildW.c_str());
        return fail(L"CMSIHandler::Initialize: Unable to Open MSI File");
    }
    m_codePage = DatabaseCodePage(m_database.get(), WorkingTempFolder());
    return 1;
}

int CMSIHandler::BuildMSI()
{
    if (!m_isProjectLoaded || !m_database) {
        LogError(L"CMSIHandler::BuildMSI: XML not loaded");
        return 0;
    }
    m_counts = {};
    m_machineValues = std::make_unique<CMachineValues>(CaptureMachine::Current());
    m_files.clear();
    m_leftOut.clear();
    m_failure.clear();
    ResolveUpgradeCodeAndVersion();
    m_leftOutFolders.clear();

    m_project->ReadProjectLists();
    // A product name outside the code page switches the database to UTF-8 now.
    for (const std::wstring* text :
         {&m_productInfo.ApplicationName, &m_productInfo.CompanyName, &m_productInfo.Version})
        (void)FitsCodePage(*text);
    m_ddfIsUtf8 = !m_cabinetMaker.ends_with(L"\\System32\\makecab.exe") &&
                  !m_cabinetMaker.ends_with(L"\\system32\\makecab.exe");
    CollectFiles(m_project->AddedFiles());
    CollectFiles(m_project->ModifiedFiles(), true);
    StageRedirectedFiles();
    TakeSystemSettings();

    if (StopRequested())
        return Stopped();
    PlanPackageCabinets();
    if (!WriteDdf())
        return 0;
    WriteBatchFile();
    Progress().SetStatusText(L"DDF File Creation is in progress.");

    std::vector<std::wstring> folders;
    for (const DirectoryChangeMap* map : {&m_project->AddedFiles(), &m_project->ModifiedFiles()})
        for (const auto& [folder, files] : *map)
            if (!files.empty())
                folders.push_back(folder);
    // An added folder without files is one the setup left empty.
    std::vector<std::wstring> emptyFolders;
    for (const auto& [folder, files] : m_project->AddedFiles())
        if (files.empty())
            emptyFolders.push_back(folder);
    int registryNumber = 0;
    const auto valueCount = [](const RegistryChangeMap& keys) {
        std::size_t count = 0;
        for (const auto& [key, values] : keys)
            count += values.size();
        return count;
    };
    // Each step of the rows with the number of rows it is about to insert
    // (at least one), and the cabinet weighing as much as all the rows: the
    // step count rises at the middle of the build whatever finishes first.
    const std::pair<std::size_t, std::function<void()>> rowSteps[] = {
        {folders.size(), [&] { AddDirectoryRows(folders); }},
        {emptyFolders.size(), [&] { AddEmptyFolderRows(emptyFolders); }},
        {m_files.size(), [&] { AddFileRows(); }},
        {1, [&] { AddProperties(); }},
        {1, [&] { AddUpgradeRows(); }},
        {1, [&] { AddMediaRow(); }},
        {valueCount(m_project->AddedKeys()), [&] { AddRegistryRows(m_project->AddedKeys(), registryNumber); }},
        {valueCount(m_project->ModifiedKeys()),
         [&] { AddRegistryRows(m_project->ModifiedKeys(), registryNumber, true); }},
        {m_services.size() + m_environment.size(),
         [&] {
             AddServiceRows();
             AddEnvironmentRows();
         }},
        {1,
         [&] {
             m_project->ReadShortcutList();
             AddShortcutRows(m_project->Shortcuts());
         }},
        {1, [&] { AddIniRows(); }},
    };
    std::size_t rowUnits = 0;
    for (const auto& [units, step] : rowSteps)
        rowUnits += std::max<std::size_t>(units, 1);
    const std::size_t cabinetUnits = m_files.empty() ? 0 : rowUnits;
    CBuildPacer pacer(rowUnits + cabinetUnits);
    // The cabinets' share of the work grows with the bytes packed.
    std::size_t cabinetCounted = 0;
    const std::function<void(std::uint64_t, std::uint64_t)> paceCabinet = [&](std::uint64_t done, std::uint64_t total) {
        const std::size_t units =
            total == 0 ? cabinetUnits
                       : static_cast<std::size_t>(static_cast<double>(cabinetUnits) * static_cast<double>(done) /
                                                  static_cast<double>(total));
        if (units > cabinetCounted) {
            pacer.Finished(units - cabinetCounted);
            cabinetCounted = units;
        }
    };

    // With more than one processor the cabinet maker works while the rows go
    // in; with one, it runs after them (side by side they would only take
    // turns, and the switching costs more than it overlaps).
    bool cabinetOk = true;
    const bool cabinetBesideRows = ProcessorsAvailable() > 1;
    if (!m_files.empty() && cabinetBesideRows) {
        Progress().SetStatusText(L"CAB File Creation is in progress.");
        cabinetOk = StartCabinetMaker();
    }

    Progress().SetStatusText(L"MSI TABLE Entry is in progress.");
    for (const auto& [units, step] : rowSteps) {
        if (StopRequested())
            return Stopped();
        step();
        pacer.Finished(std::max<std::size_t>(units, 1));
        PollCabinetMaker(paceCabinet);
    }
    if (StopRequested())
        return Stopped();

    Progress().SetStatusText(L"Creating Internal CAB is in progress.");
    const std::wstring title = m_productInfo.ApplicationName + L"_" + m_productInfo.Version;
    WriteSummaryInformation(title, title, L"", L"MSI created with the Corvane Repackager.");

    if (!m_files.empty()) {
        if (!cabinetBesideRows) {
            Progress().SetStatusText(L"CAB File Creation is in progress.");
            cabinetOk = StartCabinetMaker();
            Progress().SetStatusText(L"Creating Internal CAB is in progress.");
        }
        cabinetOk = cabinetOk && FinishCabinetMaker(paceCabinet);
        if (StopRequested())
            return Stopped();
        if (cabinetOk)
            AddDeferredHashRows();
    }
    for (const auto& [id, table] : m_tables)
        m_counts.RejectedRows += table->Rejected();
    m_tables.clear();
    CheckOwnRows();
    m_counts.ComputerNameValues = m_machineValues->ComputerNameValues();
    if (m_counts.ComputerNameValues > 0)
        Note(L"The capturing computer's name is in " + std::to_wstring(m_counts.ComputerNameValues) +
             L" value(s), packaged as they are; the error log names each one.");

    const UINT committed = MsiDatabaseCommit(m_database.get());
    m_database.reset();
    if (committed != ERROR_SUCCESS) {
        Progress().SetStatusText(L"");
        Fail("CMSIHandler::BuildMSI: Unable to commit " + ToUtf8(m_packagePath));
        DiscardBuild();
        return 0;
    }
    // The embedded cabinets go into the committed package's file.
    cabinetOk = cabinetOk && StoreCabinets();
    Progress().SetStatusText(L"");
    if (!cabinetOk || !PublishPackage()) {
        DiscardBuild();
        return 0;
    }
    return 1;
}

void CMSIHandler::DiscardBuild()
{
    if (!m_buildPath.empty())
        DeleteFileW(m_buildPath.c_str());
    DiscardCabinets();
}

int CMSIHandler::Stopped()
{
    // Nothing of a stopped build is kept: the cabinet maker is ended, and the
    // half-made package and the cabinet are removed; an earlier package of the
    // same name stays.
    m_tables.clear();
    m_database.reset();
    DiscardBuild();
    Progress().SetStatusText(L"");
    LogError(L"CMSIHandler::BuildMSI: Stopped before the package was complete; " + m_packagePath + L" not written");
    return 0;
}

void CMSIHandler::Uninitialize()
{
    CloseAll();
    m_usedFileKeys.clear();
    m_fileKeyCounts.clear();
    m_firstKeyOfName.clear();
    m_usedDirectoryKeys.clear();
    m_directoryNameCounts.clear();
    m_directoryKeys.clear();
    m_leftOutFolders.clear();
    m_shortcutFolderKeys.clear();
    m_windowsFolderAdded = false;
    m_registryComponentAdded = false;
    m_registry64ComponentAdded = false;
    m_keptRegistryComponentAdded = false;
    m_keptRegistry64ComponentAdded = false;
    m_keptIniComponentAdded = false;
    m_emptyFolderComponentAdded = false;
    m_has64BitComponent = false;
    m_platformFolderRows.clear();
    m_sharedKeys.clear();
    m_iconNumbers.clear();
    m_project.reset();
    m_isProjectLoaded = false;
}

void CMSIHandler::CloseAll()
{
    m_tables.clear();
    if (m_database) {
        // A build that did not run to its end leaves no package behind.
        m_database.reset();
        DiscardBuild();
    }
    // A cabinet maker still at work is ended with what it wrote.
    DiscardCabinets();
}

// ---- Files ----------------------------------------------------------------

UniqueFile CMSIHandler::OpenPackableFile(const std::wstring& realPath, std::uint64_t& size) const
{
    size = 0;
    if (IsTemporaryOrLinkFile(realPath)) {
        LogError(L"CMSIHandler::AddFileRows: " + realPath + L" is a temporary file or a shell link; left out");
        return UniqueFile();
    }
    // A capture of 64-bit Windows named System32 as itself.
    std::optional<CFsRedirectionOff> realFolders;
    if (m_x64Capture)
        realFolders.emplace();
    UniqueFile file(CreateFileW(realPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    LARGE_INTEGER length{};
    if (!file || !GetFileSizeEx(file.get(), &length)) {
        LogError(L"CMSIHandler::AddFileRows: " + realPath + L" cannot be read (error " +
                 std::to_wstring(GetLastError()) + L"); left out");
        return UniqueFile();
    }
    size = static_cast<std::uint64_t>(length.QuadPart);
    return file;
}

void CMSIHandler::ReadFileIdentity(PackedFile& file, HANDLE open) const
{
    // A versioned file is compared by its version; an unversioned one by its
    // hash (without one the installer judges it by size and dates alone).
    // Only an executable image can have a version: every other file is hashed
    // in the one read that tells it is none.
    std::optional<CFsRedirectionOff> realFolders;
    if (m_x64Capture)
        realFolders.emplace();
    // Our cabinet maker reports each file's digest as it compresses it: a
    // file that is not an image (its first two bytes tell) is then read once
    // in the build. Empty files keep msi.dll's own answer.
    if (m_ddfIsUtf8 && file.size > 0) {
        char start[2] = {};
        DWORD got = 0;
        LARGE_INTEGER zero{};
        if (ReadFile(open, start, sizeof start, &got, nullptr) && SetFilePointerEx(open, zero, nullptr, FILE_BEGIN) &&
            !(got == 2 && start[0] == 'M' && start[1] == 'Z')) {
            file.hashPending = true;
            return;
        }
    }
    switch (HashUnlessImage(open, file.realPath, file.hash)) {
    case FileHashRead::Hashed:
        file.hashed = true;
        break;
    case FileHashRead::Image:
        // Without a version, hashed in pieces through the same handle (msi.dll
        // would map the whole file).
        if (!ReadFileVersionColumns(file.realPath, file.version, file.language)) {
            LARGE_INTEGER start{};
            file.hashed = SetFilePointerEx(open, start, nullptr, FILE_BEGIN) &&
                          HashUnlessImage(open, file.realPath, file.hash, true) == FileHashRead::Hashed;
        }
        break;
    case FileHashRead::Failed:
        break;
    }
}

std::wstring CMSIHandler::MakeUniqueName(const std::wstring& name, std::set<std::wstring>& used,
                                         std::map<std::wstring, unsigned>& counts)
{
    const std::wstring upper = UpperKey(name);
    if (used.insert(upper).second)
        return name;
    // name1, name2, ...; a number another name already took is passed over.
    unsigned& count = counts[upper];
    for (;;) {
        ++count;
        const std::wstring suffix = std::to_wstring(count);
        if (used.insert(upper + suffix).second)
            return name + suffix;
    }
}

void CMSIHandler::CollectFiles(const DirectoryChangeMap& files, bool keptOnRemoval)
{
    for (const auto& [folder, paths] : files) {
        for (const std::wstring& path : paths) {
            if (StopRequested())
                return; // BuildMSI ends the build
            std::wstring real = path;
            ToRealPath(real);
            if (!OnSystemDrive(ParentOf(path))) {
                if (LeaveOutFolder(ParentOf(path)))
                    LogError(L"CMSIHandler::AddFileRows: " + ParentOf(path) +
                             L" is not on the system drive, where the package installs; its files are left out");
                LogError(L"CMSIHandler::AddFileRows: " + real + L" left out with its folder");
                m_leftOut.push_back(real);
                ++m_counts.FilesLeftOut;
                continue;
            }
            std::uint64_t size = 0;
            const UniqueFile open = OpenPackableFile(real, size);
            if (!open) {
                m_leftOut.push_back(real);
                ++m_counts.FilesLeftOut;
                continue;
            }
            if (size >= CabinetFileLimit) {
                LogError(L"CMSIHandler::AddFileRows: " + real +
                         L" is 2 GiB or larger and cannot be stored in a cabinet; left out");
                m_leftOut.push_back(real);
                ++m_counts.FilesLeftOut;
                continue;
            }
            if (!FitsCodePage(path)) {
                LogError(L"CMSIHandler::AddFileRows: " + real +
                         L" cannot be named in the package's code page; left out");
                m_leftOut.push_back(real);
                ++m_counts.FilesLeftOut;
                continue;
            }
            PackedFile file;
            file.folder = ParentOf(path);
            file.name = LastComponent(path);
            std::string probe;
            if (!ToDdfText(real, m_ddfIsUtf8, probe) || !ToDdfText(file.name, m_ddfIsUtf8, probe)) {
                LogError(L"CMSIHandler::WriteCabinetList: " + real +
                         L" cannot be named in the cabinet maker's code page; left out");
                m_leftOut.push_back(real);
                ++m_counts.FilesLeftOut;
                continue;
            }
            file.realPath = std::move(real);
            // The File key is also the file's name inside the cabinet, where the
            // installer looks it up as 8-bit text: characters beyond ASCII
            // become "_" there (the File table keeps the real name).
            // (It is also a table key: a valid identifier.)
            file.key = MakeUniqueName(MsiIdentifier(file.name), m_usedFileKeys, m_fileKeyCounts);
            file.component = UpperKey(file.key + L"Comp");
            file.size = static_cast<std::uint32_t>(size);
            file.is64Bit = IsFolder64Bit(file.folder, m_x64Capture);
            file.keptOnRemoval = keptOnRemoval;
            file.attributes = FileRowAttributes(open.get());
            ReadFileIdentity(file, open.get());
            m_firstKeyOfName.emplace(UpperKey(file.name), file.key);
            m_files.push_back(std::move(file));
        }
    }
    m_counts.FilesPacked = m_files.size();
    m_counts.FilesKept = static_cast<std::size_t>(
        std::count_if(m_files.begin(), m_files.end(), [](const PackedFile& file) { return file.keptOnRemoval; }));
}

bool CMSIHandler::WriteDdf()
{
    std::string packages;
    if (!ToDdfText(PackagesFolder(), m_ddfIsUtf8, packages))
        packages = ToUtf8(PackagesFolder());
    // Without files, the header alone (no cabinet maker runs).
    const std::size_t count = std::max<std::size_t>(m_plan.cabinets.size(), 1);
    for (std::size_t c = 0; c < count; ++c) {
        const PlannedCabinet cabinet = c < m_plan.cabinets.size() ? m_plan.cabinets[c] : PlannedCabinet{};
        std::FILE* ddf = _wfopen(c < m_cabinetDdfs.size() ? m_cabinetDdfs[c].c_str() : m_ddfPath.c_str(),
                                 L"wb");
        if (!ddf) {
            Fail("CMSIHandler::BuildMSI: Unable to Open DDF File");
            return false;
        }
        std::string cabinetName = ToUtf8(CabinetName);
        if (c < m_cabinetFiles.size())
            (void)ToDdfText(LastComponent(m_cabinetFiles[c]), m_ddfIsUtf8, cabinetName);
        // A cabinet larger than a CD's worth says so: a cabinet maker that
        // splits at MaxDiskSize must not split it.
        const bool beyondCd = cabinet.bound > 681984000ull;
        std::string text;
        if (m_ddfIsUtf8)
            text = "\xEF\xBB\xBF";
        text += ".Option EXPLICIT\n"
                ".Set Cabinet = off\n"
                ".Set Compress = off\n"
                ".Set MaxDiskSize = " +
                std::string(beyondCd ? "0" : "CDROM") +
                "\n"
                ".Set ReservePerCabinetSize = 6144\n"
                ".Set DiskDirectoryTemplate = " +
                DdfQuote(packages) +
                "\n"
                ".Set CompressionType = MSZIP\n"
                ".Set CompressionLevel = 7\n"
                ".Set CompressionMemory = 21\n"
                ".Set CabinetNameTemplate = " +
                DdfQuote(cabinetName) +
                "\n"
                ".Set Cabinet=on\n"
                ".Set Compress=on\n"
                ".Set UniqueFiles=off\n";
        for (std::size_t i = cabinet.firstFile; i < cabinet.firstFile + cabinet.fileCount; ++i) {
            const PackedFile& file = m_files[i];
            std::string real, name;
            (void)ToDdfText(file.realPath, m_ddfIsUtf8, real);
            (void)ToDdfText(file.key, m_ddfIsUtf8, name);
            text += DdfQuote(real) + " " + DdfQuote(name) + "\n";
        }
        const bool ok = std::fwrite(text.data(), 1, text.size(), ddf) == text.size();
        const bool closed = std::fclose(ddf) == 0;
        if (!ok || !closed) {
            Fail("CMSIHandler::BuildMSI: Unable to Open DDF File");
            return false;
        }
    }
    return true;
}

// A record of how the cabinets were made, for someone who wants to run it
// again by hand. It names the cabinet maker by its full path; the build itself
// starts the cabinet maker directly.
void CMSIHandler::WriteBatchFile()
{
    std::FILE* batch = _wfopen(m_batchPath.c_str(), L"wb");
    if (!batch)
        return;
    std::string maker;
    if (!ToDdfText(m_cabinetMaker, false, maker))
        maker = ToUtf8(m_cabinetMaker);
    std::string text = "@echo off";
    for (std::size_t c = 0; c < m_cabinetFiles.size(); ++c)
        text += "\r\ndel \"" + ToUtf8(m_cabinetFiles[c]) + "\"\r\n\"" + maker + "\" /f \"" +
                ToUtf8(LastComponent(m_cabinetDdfs[c])) + "\"";
    std::fwrite(text.data(), 1, text.size(), batch);
    std::fclose(batch);
}

// ---- Directory, File, Component, FeatureComponents, Media -------------------

// The installer property that stands for a whole token folder, or "".
static std::wstring ParentFolderProperty(const std::wstring& folder)
{
    if (folder == L"%WINDIR%")
        return L"WindowsFolder";
    if (folder == L"%USERPROFILE%")
        return L"USERPROFILE";
    if (folder == L"%ALLUSERSPROFILE%")
        return L"ALLUSERSPROFILE";
    if (folder == L"%APPDATA%")
        return L"AppDataFolder";
    if (folder == L"%PROGRAMFILES%")
        return L"ProgramFilesFolder";
    const std::wstring& drive = TokenValues().systemdrive;
    if (folder == L"%SYSDRIVE%" || (!drive.empty() && UpperKey(folder) == UpperKey(drive)))
        return L"TARGETDIR";
    return L"";
}

// For a folder without a row of its own: the standard folder it lies in.
static std::wstring FallbackFolderProperty(const std::wstring& folder)
{
    static const std::pair<const wchar_t*, const wchar_t*> table[] = {
        {L"%PROGRAMFILES%", L"ProgramFilesFolder"}, {L"%WINDIR%\\system32", L"SystemFolder"},
        {L"%WINDIR%\\system", L"System16Folder"},   {L"%WINDIR%", L"WindowsFolder"},
        {L"%APPDATA%", L"APPDATA"},                 {L"%USERPROFILE%", L"USERPROFILE"},
        {L"%ALLUSERSPROFILE%", L"ALLUSERSPROFILE"}, {L"%SYSDRIVE%", L"TARGETDIR"},
    };
    for (const auto& [token, property] : table)
        if (folder.find(token) != std::wstring::npos)
            return property;
    const std::wstring& drive = TokenValues().systemdrive;
    if (!drive.empty() && UpperKey(folder) == UpperKey(drive))
        return L"TARGETDIR";
    return folder;
}

// The key of a folder's row: recorded earlier, a standard folder, or a new
// row (with rows for its unknown parents first). `isProperty` tells a
// standard folder, whose key is used without upper-casing.
std::wstring CMSIHandler::DirectoryKeyFor(const std::wstring& folder, bool& isProperty)
{
    isProperty = false;
    const std::wstring property = FolderProperty(folder);
    if (!property.empty()) {
        isProperty = true;
        return property;
    }
    const std::wstring upperFolder = UpperKey(folder);
    if (auto known = m_directoryKeys.find(upperFolder); known != m_directoryKeys.end())
        return known->second;

    // Walk up to the first folder that has a key (or has no parent).
    std::vector<std::wstring> chain{folder};
    std::wstring parentKey;
    for (;;) {
        const std::wstring parent = ParentOf(chain.back());
        if (parent.empty()) {
            // A drive other than the system drive: the drive names its own parent key.
            if (chain.size() > 1) {
                parentKey = UpperKey(chain.back());
                chain.pop_back();
            } else {
                parentKey = L"TARGETDIR";
            }
            break;
        }
        const std::wstring parentProperty = FolderProperty(parent);
        if (!parentProperty.empty()) {
            parentKey = parentProperty;
            break;
        }
        if (auto known = m_directoryKeys.find(UpperKey(parent)); known != m_directoryKeys.end()) {
            parentKey = known->second;
            break;
        }
        chain.push_back(parent);
    }
    CTableInserter& table = Table(TableId::Directory);
    std::wstring key;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        const std::wstring name = LastComponent(*it);
        key = UpperKey(MakeUniqueName(MsiIdentifier(name), m_usedDirectoryKeys, m_directoryNameCounts));
        m_directoryKeys.emplace(UpperKey(*it), key);
        if (table.Insert({key, parentKey, name}))
            ++m_counts.DirectoryRows;
        parentKey = key;
    }
    return key;
}

void CMSIHandler::AddDirectoryRows(const std::vector<std::wstring>& folders)
{
    CTableInserter& table = Table(TableId::Directory);
    if (!m_windowsFolderAdded) {
        m_windowsFolderAdded = true;
        for (const wchar_t* key : TemplateDirectoryKeys)
            m_usedDirectoryKeys.insert(UpperKey(key));
        const std::wstring windowsName = LastComponent(TokenValues().windir);
        (void)table.Insert({L"WindowsFolder", L"TARGETDIR", L".:" + (windowsName.empty() ? L"Windows" : windowsName)});
    }
    for (const std::wstring& folder : folders) {
        // Empty components (doubled or trailing backslashes) are dropped.
        std::wstring clean;
        std::size_t start = 0;
        while (start <= folder.size()) {
            std::size_t end = folder.find(L'\\', start);
            if (end == std::wstring::npos)
                end = folder.size();
            if (end > start) {
                if (!clean.empty())
                    clean += L'\\';
                clean.append(folder, start, end - start);
            }
            start = end + 1;
        }
        if (clean.empty())
            continue;
        if (!OnSystemDrive(clean)) {
            if (LeaveOutFolder(clean))
                LogError(L"CMSIHandler::AddDirectoryRows: " + clean +
                         L" is not on the system drive, where the package installs; left out");
            continue;
        }
        bool isProperty = false;
        const std::wstring key = DirectoryKeyFor(clean, isProperty);
        if (clean != folder && !isProperty)
            m_directoryKeys.emplace(UpperKey(folder), key);
    }
}

bool CMSIHandler::LeaveOutFolder(const std::wstring& folder)
{
    if (!m_leftOutFolders.insert(UpperKey(folder)).second)
        return false;
    ++m_counts.FoldersLeftOut;
    return true;
}

// The standard folder that stands for the whole folder, its row added when
// it is one of the 64-bit folders that the template does not have.
std::wstring CMSIHandler::FolderProperty(const std::wstring& folder)
{
    const std::wstring platform = PlatformFolderProperty(folder, m_x64Capture);
    if (!platform.empty()) {
        EnsurePlatformFolderRow(platform);
        return platform;
    }
    return ParentFolderProperty(folder);
}

std::wstring CMSIHandler::ComponentDirectory(const std::wstring& folder) const
{
    if (auto known = m_directoryKeys.find(UpperKey(folder)); known != m_directoryKeys.end())
        return known->second;
    if (const std::wstring platform = PlatformFolderProperty(folder, m_x64Capture); !platform.empty())
        return platform;
    const std::wstring property = ParentFolderProperty(folder);
    return property.empty() ? FallbackFolderProperty(folder) : property;
}

void CMSIHandler::AddFileRows()
{
    CTableInserter& files = Table(TableId::File);
    CTableInserter& components = Table(TableId::Component);
    CTableInserter& featureComponents = Table(TableId::FeatureComponent);
    // The order of the rows matters for speed, not for the package. Before a
    // row goes in, the database looks for a row with the same key, and some
    // implementations (Wine's) do that by reading every row of the table,
    // unless a key text is new to the database, which cannot match. The
    // component names are new to the FeatureComponents rows and the File keys
    // to the File rows; only the Component rows, whose keys the
    // FeatureComponents rows have already named, pay for a search (one column
    // per row, the cheapest). Going in one after another, the Component rows
    // also lie together in memory, which keeps that search fast.
    for (const PackedFile& file : m_files)
        (void)featureComponents.Insert({L"MSIFeature", file.component});
    // Each file is its component's key path.
    for (const PackedFile& file : m_files) {
        // A component that changes its bitness is another component: its code too.
        const std::wstring identity =
            FileComponentIdentity(file.folder, file.name) + (file.is64Bit ? L"|x64" : L"");
        int attributes = 8; // msidbComponentAttributesSharedDllRefCount
        if (file.is64Bit)
            attributes |= msidbComponentAttributes64bit;
        if (file.keptOnRemoval)
            attributes |= msidbComponentAttributesPermanent;
        (void)components.Insert({file.component, ComponentId(identity), ComponentDirectory(file.folder), attributes,
                                 file.key});
        m_has64BitComponent = m_has64BitComponent || file.is64Bit;
    }
    int sequence = 0;
    for (const PackedFile& file : m_files) {
        ++sequence;
        (void)files.Insert({file.key, file.component, file.name, static_cast<int>(file.size), file.version,
                            file.language, msidbFileAttributesCompressed | file.attributes, sequence});
    }
    CTableInserter& hashes = Table(TableId::MsiFileHash);
    for (const PackedFile& file : m_files)
        if (file.hashed)
            (void)hashes.Insert({file.key, 0, file.hash[0], file.hash[1], file.hash[2], file.hash[3]});
}

// Folders the setup created and left empty: a CreateFolder row each, so the
// installation creates them, and a RemoveFile row that takes them away again
// on removal. One component with a value of its own as key path holds them.
void CMSIHandler::AddEmptyFolderRows(const std::vector<std::wstring>& folders)
{
    AddDirectoryRows(folders);
    const std::wstring component = L"EMPTYFOLDERCOMP";
    int number = 0;
    for (const std::wstring& folder : folders) {
        if (m_leftOutFolders.count(UpperKey(folder)))
            continue; // logged and counted with the folder
        const auto known = m_directoryKeys.find(UpperKey(folder));
        if (known == m_directoryKeys.end())
            continue; // a standard folder: it exists anyway
        if (!std::exchange(m_emptyFolderComponentAdded, true)) {
            (void)Table(TableId::Component)
                .Insert({component, ComponentId(FixedComponentIdentity(component)), L"ProgramFilesFolder",
                         RegistryKeyPathAttribute, AddKeyPathValue(component, L"EmptyFolders")});
            (void)Table(TableId::FeatureComponent).Insert({L"MSIFeature", component});
        }
        if (Table(TableId::CreateFolder).Insert({known->second, component}))
            ++m_counts.EmptyFolders;
        (void)Table(TableId::RemoveFile)
            .Insert({L"RemoveEmpty" + std::to_wstring(++number), component, L"", known->second, 2});
    }
}

void CMSIHandler::AddMediaRow()
{
    CTableInserter& media = Table(TableId::Media);
    if (m_plan.cabinets.empty()) {
        (void)media.Insert({1, 0, L""});
        return;
    }
    for (std::size_t c = 0; c < m_plan.cabinets.size(); ++c)
        (void)media.Insert({m_plan.cabinets[c].diskId, m_plan.cabinets[c].lastSequence, m_cabinetNames[c]});
}

CTableInserter& CMSIHandler::Table(int id)
{
    auto& slot = m_tables[id];
    if (!slot) {
        const TableLayout& layout = TableLayouts()[id];
        slot = std::make_unique<CTableInserter>(m_database.get(), layout.name, layout.columns, layout.openFailure);
    }
    return *slot;
}
