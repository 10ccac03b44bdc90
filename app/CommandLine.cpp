#include "app/CommandLine.h"

#include "common/Config.h"
#include "common/FileVersionInfo.h"
#include "common/Log.h"
#include "common/Paths.h"
#include "common/UniqueHandle.h"
#include "common/Utf.h"
#include "common/Workspace.h"
#include "manager/UIManager.h"

#include <windows.h>

#include <cwctype>

namespace {

std::wstring Lower(std::wstring text)
{
    if (!text.empty())
        CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

// Removes every occurrence of `what`; returns whether there was one.
bool RemoveAll(std::wstring& text, const std::wstring& what)
{
    bool found = false;
    std::wstring::size_type at;
    while ((at = text.find(what)) != std::wstring::npos) {
        text.erase(at, what.size());
        found = true;
    }
    return found;
}

std::wstring Trim(const std::wstring& text)
{
    const auto first = text.find_first_not_of(L" \t\r\n");
    if (first == std::wstring::npos)
        return {};
    const auto last = text.find_last_not_of(L" \t\r\n");
    return text.substr(first, last - first + 1);
}

bool FileExists(const std::wstring& path)
{
    WIN32_FIND_DATAW data;
    UniqueFind find(FindFirstFileW(path.c_str(), &data));
    return find.valid() && !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring Number(long long value)
{
    return std::to_wstring(value);
}

// ---- Build from a project file -------------------------------------------------

// Which platform the package was built for: an x64 package when it has a
// 64-bit component, else an Intel one.
void ReportPlatform(const CMSIHandler& builder, const ReportLine& report)
{
    report(L"Package platform: " + builder.Counts().Platform + L".");
}

int RunBuildMode(const std::vector<std::wstring>& arguments, const ReportLine& report)
{
    CLogReference log;
    IsCommandLineMode = true;
    const std::wstring projectFile = arguments[0];
    std::wstring outputFolder = Lower(arguments[1]);
    if (!RemoveAll(outputFolder, L"-path=")) {
        log->WriteError(BuildUsageLine);
        report(L"Usage: CorvaneRepackager.exe <project file> -Path=<output folder> [-File=<MSI name>]");
        return ExitWrongArguments;
    }
    if (!FileExists(projectFile)) {
        log->WriteError("Given XML file not found\n");
        report(L"Project file not found: " + projectFile);
        return ExitFailure;
    }
    std::wstring msiName = arguments.size() > 2 ? Lower(arguments[2]) : std::wstring();
    RemoveAll(msiName, L"-file=");

    EnsureFolder(ToUtf8(outputFolder));
    if (!InitializePaths(outputFolder, msiName)) {
        report(L"The output folder or the working folder path is too long.");
        return ExitFailure;
    }
    SetProjectFilePath(projectFile);
    CUIManagerReference manager;
    manager->Initialize();
    EnsureFolder(WorkingTempFolder());
    EnsureFolder(ToUtf8(outputFolder) + "\\Packages");
    report(L"Building the package from " + projectFile);
    const int result = manager->BuildPackage();
    report(result == 1 ? L"Package built in " + FromUtf8(PackagesFolder()) : L"The build failed; see the error log.");
    if (result == 1)
        ReportPlatform(manager->Builder(), report);
    return result == 1 ? ExitSuccess : ExitFailure;
}

// ---- Unattended capture ----------------------------------------------------------

int RunSetup(const CaptureOptions& options, const ReportLine& report)
{
    std::wstring commandLine = L"\"" + options.setup + L"\"";
    if (!options.args.empty())
        commandLine += L" " + options.args;
    std::wstring folder = options.setup.substr(0, options.setup.find_last_of(L'\\'));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    report(L"Running the setup: " + commandLine);
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.empty() ? nullptr : folder.c_str(), &startup, &process)) {
        report(L"The setup could not be started (error " + Number(GetLastError()) + L").");
        return -1;
    }
    UniqueKernelHandle processHandle(process.hProcess);
    UniqueKernelHandle threadHandle(process.hThread);
    WaitForSingleObject(processHandle.get(), INFINITE);
    DWORD exitCode = 0;
    GetExitCodeProcess(processHandle.get(), &exitCode);
    report(L"The setup ended with exit code " + Number(exitCode) + L".");
    return static_cast<int>(exitCode);
}

long long CountFiles(const DirectoryChangeMap& map)
{
    long long count = 0;
    for (const auto& [folder, files] : map)
        count += static_cast<long long>(files.size());
    return count;
}

long long CountValues(const RegistryChangeMap& map)
{
    long long count = 0;
    for (const auto& [key, values] : map)
        count += static_cast<long long>(values.size());
    return count;
}

long long CountEntries(const IniChangeMap& map)
{
    long long count = 0;
    for (const auto& [file, entries] : map)
        count += static_cast<long long>(entries.size());
    return count;
}

bool SetUpPaths(const CaptureOptions& options, const std::wstring& msiName, const ReportLine& report)
{
    IsCommandLineMode = true;
    EnsureFolder(ToUtf8(options.path));
    if (!InitializePaths(options.path, msiName)) {
        report(L"The output folder or the working folder path is too long.");
        return false;
    }
    return true;
}

// Fills in the product information from the options or the setup's version
// resource. False when something is still missing.
bool ResolveProduct(CaptureOptions& options, const ReportLine& report)
{
    if (!options.setup.empty() && (options.name.empty() || options.version.empty() || options.company.empty())) {
        CFileVersionInfo info;
        if (info.Create(options.setup)) {
            if (options.name.empty())
                options.name = Trim(info.GetProductName());
            if (options.version.empty())
                options.version = Trim(info.GetProductVersion());
            if (options.company.empty())
                options.company = Trim(info.GetCompanyName());
        }
    }
    std::wstring missing;
    if (options.name.empty())
        missing += L" -Name=";
    if (options.version.empty())
        missing += L" -Version=";
    if (options.company.empty())
        missing += L" -Company=";
    if (!missing.empty()) {
        report(L"The product information is incomplete and the setup's version resource does not supply it; "
               L"give" + missing);
        return false;
    }
    return true;
}

int TakeFirstSnapshot(CUIManager& manager, const CaptureOptions& options, const ReportLine& report)
{
    if (manager.Initialize() != 1) {
        report(L"The snapshot engine could not be set up; see the error log.");
        return ExitFailure;
    }
    if (IsSnapshotTaken) {
        report(L"An earlier capture was pending; it is discarded.");
        DiscardPendingCapture();
    }
    manager.Coordinator().IsFirstSnapshotTaken();
    manager.SetSetupFilePath(options.setup);
    manager.SetProductInfo(options.name, options.version, options.company);
    manager.SetScanDetails(manager.ScanDetailsFromIncludedLists());
    if (manager.WriteScanDetails() != 1)
        report(L"Warning: the scan details could not be saved; a restart could not resume this capture.");
    report(L"Taking the first snapshot...");
    const int captured = manager.Coordinator().CaptureSnapshot(manager.GetScanDetails());
    CFileEnumerate& files = manager.Coordinator().FileSide();
    report(L"First snapshot: " + Number(files.FoldersScanned()) + L" folders, " + Number(files.FilesScanned()) +
           L" files.");
    if (captured != 1) {
        report(L"The first snapshot failed; see the error log.");
        return ExitFailure;
    }
    WriteSnapshotTakenKey();
    return ExitSuccess;
}

int FinishCapture(CUIManager& manager, const ReportLine& report)
{
    report(L"Taking the second snapshot...");
    if (manager.Coordinator().CaptureSnapshot(manager.GetScanDetails()) != 1) {
        report(L"The second snapshot failed; see the error log.");
        return ExitFailure;
    }
    report(L"Comparing the snapshots...");
    if (manager.Coordinator().CompareSnapshot() != 1) {
        report(L"The comparison failed; see the error log.");
        return ExitFailure;
    }
    CFileEnumerate& files = manager.Coordinator().FileSide();
    CRegistryEnumerate& registry = manager.Coordinator().RegistrySide();
    CIniChangeTracker& ini = files.IniTracker();
    report(L"Files: " + Number(CountFiles(files.AddedItems())) + L" added, " +
           Number(CountFiles(files.ModifiedItems())) + L" modified, " + Number(CountFiles(files.DeletedItems())) +
           L" deleted.");
    report(L"Registry values: " + Number(CountValues(registry.AddedChanges())) + L" added, " +
           Number(CountValues(registry.ModifiedChanges())) + L" modified, " +
           Number(CountValues(registry.DeletedChanges())) + L" deleted.");
    report(L"INI entries: " + Number(CountEntries(ini.AddedItems())) + L" added, " +
           Number(CountEntries(ini.ModifiedItems())) + L" modified, " + Number(CountEntries(ini.DeletedItems())) +
           L" deleted.");
    if (manager.CreateProjectFile() != 1) {
        report(L"The project file could not be written; see the error log.");
        return ExitFailure;
    }
    report(L"Project file: " + FromUtf8(GetProjectFilePath()));

    EnsureFolder(WorkingTempFolder());
    EnsureFolder(PackagesFolder());
    report(L"Building the package...");
    const int built = manager.BuildPackage();
    manager.Uninitialize();
    if (built != 1) {
        report(L"The package build failed; see the error log.");
        return ExitFailure;
    }
    report(L"Package: " + FromUtf8(PackagesFolder() + "\\" + Paths().MsiFileName));
    ReportPlatform(manager.Builder(), report);
    return ExitSuccess;
}

int RunCapture(CaptureOptions options, const ReportLine& report)
{
    CLogReference log;
    if (!FileExists(options.setup)) {
        report(L"Setup program not found: " + options.setup);
        return ExitWrongArguments;
    }
    if (!ResolveProduct(options, report))
        return ExitFailure;
    if (!SetUpPaths(options, options.file.empty() ? options.name + L".msi" : options.file, report))
        return ExitFailure;
    CUIManagerReference manager;
    if (const int result = TakeFirstSnapshot(*manager, options, report); result != ExitSuccess)
        return result;
    RunSetup(options, report);
    return FinishCapture(*manager, report);
}

int RunSnapshot(CaptureOptions options, const ReportLine& report)
{
    CLogReference log;
    if (!options.setup.empty() && !FileExists(options.setup)) {
        report(L"Setup program not found: " + options.setup);
        return ExitWrongArguments;
    }
    if (!ResolveProduct(options, report))
        return ExitFailure;
    if (!SetUpPaths(options, options.file, report))
        return ExitFailure;
    CUIManagerReference manager;
    if (const int result = TakeFirstSnapshot(*manager, options, report); result != ExitSuccess)
        return result;
    report(L"First snapshot taken. Run the setup (restart if it asks), then: CorvaneRepackager.exe -resume -Path=" +
           options.path);
    return ExitSuccess;
}

int RunResume(const CaptureOptions& options, const ReportLine& report)
{
    CLogReference log;
    if (!SetUpPaths(options, options.file, report))
        return ExitFailure;
    CUIManagerReference manager;
    if (manager->Initialize() != 1) {
        report(L"The snapshot engine could not be set up; see the error log.");
        return ExitFailure;
    }
    if (!IsSnapshotTaken || !manager->Coordinator().IsFirstSnapshotTaken()) {
        report(L"No pending capture to resume: take the first snapshot with -snapshot.");
        return ExitFailure;
    }
    manager->ReadScanDetails();
    const ProductInfo& product = manager->GetProductInfo();
    if (product.ApplicationName.empty()) {
        report(L"The saved scan details are missing or damaged; the capture cannot be resumed.");
        return ExitFailure;
    }
    if (options.file.empty())
        Paths().MsiFileName = ToUtf8(product.ApplicationName + L".msi");
    report(L"Resuming the capture of " + product.ApplicationName + L" " + product.Version);
    return FinishCapture(*manager, report);
}

} // namespace

bool IsCaptureCommand(const std::wstring& firstArgument)
{
    const std::wstring lower = Lower(firstArgument);
    return lower == L"-capture" || lower == L"-snapshot" || lower == L"-resume";
}

bool ParseCaptureOptions(const std::vector<std::wstring>& arguments, CaptureOptions& options, std::wstring& error)
{
    options = CaptureOptions{};
    if (arguments.empty() || !IsCaptureCommand(arguments[0])) {
        error = L"Unknown command.";
        return false;
    }
    options.command = Lower(arguments[0]);
    std::size_t next = 1;
    if (options.command == L"-capture") {
        if (arguments.size() < 2 || arguments[1].starts_with(L"-")) {
            error = L"-capture needs the setup program as its second argument.";
            return false;
        }
        options.setup = arguments[1];
        next = 2;
    }
    struct Option
    {
        const wchar_t* name;
        std::wstring CaptureOptions::*field;
    };
    const Option known[] = {
        {L"-path=", &CaptureOptions::path},       {L"-file=", &CaptureOptions::file},
        {L"-args=", &CaptureOptions::args},       {L"-name=", &CaptureOptions::name},
        {L"-version=", &CaptureOptions::version}, {L"-company=", &CaptureOptions::company},
        {L"-setup=", &CaptureOptions::setup},
    };
    for (std::size_t i = next; i < arguments.size(); ++i) {
        const std::wstring& argument = arguments[i];
        const std::wstring lower = Lower(argument);
        bool matched = false;
        for (const Option& option : known) {
            const std::wstring name = option.name;
            if (lower.starts_with(name)) {
                const bool setupAllowed = options.command == L"-snapshot";
                if (name == L"-setup=" && !setupAllowed)
                    break;
                options.*option.field = argument.substr(name.size());
                matched = true;
                break;
            }
        }
        if (!matched) {
            error = L"Unknown argument: " + argument;
            return false;
        }
    }
    if (options.path.empty()) {
        error = L"-Path=<output folder> is required.";
        return false;
    }
    if (Lower(options.setup).find(L".msi") != std::wstring::npos) {
        error = L"Windows Installer setups (.msi) cannot be repackaged.";
        return false;
    }
    return true;
}

int RunCommandLine(const std::vector<std::wstring>& arguments, const ReportLine& report)
{
    if (!arguments.empty() && IsCaptureCommand(arguments[0])) {
        CaptureOptions options;
        std::wstring error;
        if (!ParseCaptureOptions(arguments, options, error)) {
            report(error);
            report(L"Usage: CorvaneRepackager.exe -capture \"<setup program>\" -Path=<output folder> [-File=<MSI name>] "
                   L"[-Args=\"<setup arguments>\"] [-Name=<name>] [-Version=<version>] [-Company=<company>]");
            report(L"       CorvaneRepackager.exe -snapshot -Path=<output folder> [-Setup=\"<setup program>\"] "
                   L"[-Name=...] [-Version=...] [-Company=...]");
            report(L"       CorvaneRepackager.exe -resume -Path=<output folder> [-File=<MSI name>]");
            return ExitWrongArguments;
        }
        if (options.command == L"-capture")
            return RunCapture(options, report);
        if (options.command == L"-snapshot")
            return RunSnapshot(options, report);
        return RunResume(options, report);
    }
    if (arguments.size() < 2) {
        CLogReference log;
        log->WriteError(BuildUsageLine);
        report(L"Usage: CorvaneRepackager.exe <project file> -Path=<output folder> [-File=<MSI name>]");
        return ExitWrongArguments;
    }
    return RunBuildMode(arguments, report);
}
