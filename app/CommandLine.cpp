#include "app/CommandLine.h"

#include "common/Config.h"
#include "common/FileNames.h"
#include "common/FileVersionInfo.h"
#include "common/Log.h"
#include "common/SetupProcess.h"
#include "common/UniqueHandle.h"
#include "common/Utf.h"
#include "common/Workspace.h"
#include "manager/RunReport.h"
#include "manager/UIManager.h"
#include "project/ProjectCheck.h"

#include <windows.h>

#include <algorithm>
#include <cwctype>

using namespace commandline;

namespace {

// Writes the capture report beside the package just built; returns the console
// line that says where it is, or that it could not be written (logged; nothing
// else changes). A failed build writes none: its package is not there.
std::wstring WriteReport(CUIManager& manager, const Session& session, const std::wstring& project)
{
    std::wstring path;
    const Result written = WriteRunReport(manager, session, project, true, path);
    return written ? L"Capture report: " + path : L"The capture report could not be written: " + written.Text();
}

// ---- Build from a project file -------------------------------------------------

int RunBuildMode(Session& session, std::vector<std::wstring> arguments, const ReportLine& report)
{
    // -Wxs may stand anywhere after the project file.
    const auto wxsOption = std::find_if(arguments.begin() + 1, arguments.end(),
                                        [](const std::wstring& argument) { return Lower(argument) == L"-wxs"; });
    const bool wxs = wxsOption != arguments.end();
    if (wxs)
        arguments.erase(wxsOption);
    if (arguments.size() < 2) {
        LogError(FromUtf8(BuildUsageLine));
        report(BuildUsage);
        return ExitWrongArguments;
    }
    const std::wstring projectFile = arguments[0];
    std::wstring outputFolder = Lower(arguments[1]);
    const bool fileOption = arguments.size() == 3 && Lower(arguments[2]).starts_with(L"-file=");
    if (!RemoveAll(outputFolder, L"-path=") || arguments.size() > 3 || (arguments.size() == 3 && !fileOption)) {
        LogError(FromUtf8(BuildUsageLine));
        if (arguments.size() > 3 || (arguments.size() == 3 && !fileOption))
            report(L"Unknown or surplus argument: " + arguments.back());
        report(BuildUsage);
        return ExitWrongArguments;
    }
    std::wstring msiName = arguments.size() > 2 ? Lower(arguments[2]) : std::wstring();
    RemoveAll(msiName, L"-file=");
    if (!msiName.empty()) {
        if (const std::wstring problem = PlainFileNameProblem(msiName); !problem.empty()) {
            report(L"-File= must be one plain file name inside the Packages folder: " + problem + L".");
            return ExitWrongArguments;
        }
        if (SamePath(outputFolder + L"\\Packages\\" + msiName, projectFile)) {
            report(L"-File= names the project file itself; choose another package name.");
            return ExitWrongArguments;
        }
    }
    if (!FileExists(projectFile)) {
        LogError(L"Given XML file not found\n");
        report(L"Project file not found: " + projectFile);
        return ExitFailure;
    }
    {
        XmlDocument project;
        // A file that does not load is named by the check below, with the
        // parser's reason.
        (void)project.Load(projectFile);
        if (const std::wstring problem = ProjectFileProblem(project); !problem.empty()) {
            LogError(L"The project file " + projectFile + L" cannot be built: " + problem);
            report(L"Not a project file that can be built: " + problem + L".");
            return ExitFailure;
        }
    }

    EnsureFolder(outputFolder);
    if (!InitializePaths(session, outputFolder, msiName)) {
        report(L"The output folder or the working folder path is too long, or TEMP or APPDATA is not set.");
        return ExitFailure;
    }
    session.SetProjectFilePath(projectFile);
    CUIManager manager(session);
    (void)manager.Initialize(); // logged; the build reports its own failure
    EnsureFolder(session.Paths.TempFolder());
    EnsureFolder(outputFolder + L"\\Packages");
    report(L"Building the package from " + projectFile);
    manager.Builder().SetProgressReport(report);
    session.Capture.Clear();
    session.Capture.Begin(CaptureStep::Package);
    const Result built = manager.BuildPackage({projectFile, session.Paths.OutputFolder, msiName, {}, {}});
    session.Capture.End(CaptureStep::Package);
    manager.Builder().SetProgressReport({});
    ReportBuildNotes(manager, report);
    if (!built) {
        report(L"The build failed" + BuildFailureReason(manager) +
               L"; see the error log. No package was written (an earlier package of that name is kept).");
        return ExitFailure;
    }
    const std::wstring reportLine = WriteReport(manager, session, projectFile);
    const int exitCode = ReportBuilt(manager, L"Package built: " + manager.Builder().PackagePath(), report);
    if (wxs)
        ReportWixSource(manager, report);
    report(reportLine);
    return exitCode;
}

// ---- Unattended capture ----------------------------------------------------------

// How the setup ended.
enum class SetupOutcome
{
    Succeeded,   // exit code 0, 3010 or 1641
    NotStarted,  // the process could not be created
    Failed,      // any other exit code
    TimedOut,    // still running at the -Timeout= limit
};

SetupOutcome RunSetup(const CaptureOptions& options, CaptureRecord& record, const ReportLine& report)
{
    std::wstring commandLine = L"\"" + options.setup + L"\"";
    if (!options.args.empty())
        commandLine += L" " + options.args;
    std::wstring folder = options.setup.substr(0, options.setup.find_last_of(L'\\'));
    report(L"Running the setup: " + commandLine);
    CSetupProcess setup;
    record.SetupProgram = options.setup;
    if (!setup.Start(commandLine, folder)) {
        const std::wstring message = SystemMessage(GetLastError());
        LogError(L"RunSetup: Unable to start " + options.setup + L": " + message);
        report(L"The setup could not be started: " + message + L".");
        return SetupOutcome::NotStarted;
    }
    if (!setup.FollowsChildren())
        report(L"The setup cannot be followed into the programs it starts (see the error log); only it is waited "
               L"for.");
    // The whole setup, its children included, shares the one limit.
    const DWORD limit = options.timeoutMinutes == 0 ? INFINITE : options.timeoutMinutes * 60u * 1000u;
    const ULONGLONG started = GetTickCount64();
    // First the setup's own process, to say so when its children go on.
    const DWORD ownWait = WaitForSingleObject(setup.Process(), limit);
    // A moment's grace: the job reports its end just after the last process.
    if (ownWait == WAIT_OBJECT_0 && !setup.WaitForAll(limit == INFINITE ? 200 : std::min<DWORD>(limit, 200))) {
        if (const std::vector<RunningProgram> running = setup.StillRunning(); !running.empty())
            report(L"The setup's own process has ended; waiting for the programs it started: " +
                   DescribePrograms(running));
    }
    const ULONGLONG spent = GetTickCount64() - started;
    const DWORD rest = limit == INFINITE ? INFINITE : (spent >= limit ? 0 : static_cast<DWORD>(limit - spent));
    if (!setup.WaitForAll(rest)) {
        const std::wstring running = DescribePrograms(setup.StillRunning());
        LogError(L"RunSetup: " + options.setup + L" was still running after " +
                 std::to_wstring(options.timeoutMinutes) + L" minute(s): " + running);
        report(L"The setup was still running after " + Plural(options.timeoutMinutes, L"minute", L"minutes") +
               L" (-Timeout=): " + running + L"; the second snapshot is not taken.");
        return SetupOutcome::TimedOut;
    }
    DWORD exitCode = 0;
    if (!setup.ExitCode(exitCode))
        LogError(L"RunSetup: the exit code of " + options.setup + L" cannot be read (error " +
                 std::to_wstring(GetLastError()) + L")");
    record.SetupExitCode = exitCode;
    report(L"The setup ended with exit code " + Number(exitCode) + L".");
    // 3010 and 1641: installed, a restart is needed or was started.
    if (exitCode == 0 || exitCode == 3010 || exitCode == 1641)
        return SetupOutcome::Succeeded;
    LogError(L"RunSetup: " + options.setup + L" ended with exit code " + std::to_wstring(exitCode));
    report(L"Exit code " + Number(exitCode) + L" reports a failed setup; the second snapshot is not taken.");
    return SetupOutcome::Failed;
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

bool SetUpPaths(Session& session, const CaptureOptions& options, const std::wstring& msiName,
                const ReportLine& report)
{
    EnsureFolder(options.path);
    if (!InitializePaths(session, options.path, msiName)) {
        report(L"The output folder or the working folder path is too long, or TEMP or APPDATA is not set.");
        return false;
    }
    return true;
}

std::wstring ResumeLine(const CaptureOptions& options)
{
    return L"CorvaneRepackager.exe -resume -Path=\"" + options.path + L"\"";
}

// -File= must not name the project file of the capture.
bool FileOptionIsNotTheProject(const CaptureOptions& options, const ReportLine& report)
{
    if (options.file.empty())
        return true;
    const std::wstring project = MakePlainFileName(options.name + L"_" + options.version + L".xml");
    if (CompareStringOrdinal(options.file.c_str(), -1, project.c_str(), -1, TRUE) != CSTR_EQUAL)
        return true;
    report(L"-File= names the project file itself (" + project + L"); choose another package name.");
    return false;
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

int TakeFirstSnapshot(Session& session, CUIManager& manager, const CaptureOptions& options,
                      const ReportLine& report)
{
    if (!manager.Initialize()) {
        report(L"The snapshot engine could not be set up; see the error log.");
        return ExitFailure;
    }
    if (session.SnapshotPending) {
        report(L"An earlier capture was pending; it is discarded.");
        DiscardPendingCapture(session.Paths);
        session.SnapshotPending = false;
    }
    manager.Coordinator().IsFirstSnapshotTaken();
    manager.SetSetupFilePath(options.setup);
    manager.SetProductInfo(options.name, options.version, options.company);
    manager.SetScanDetails(manager.ScanDetailsFromIncludedLists());
    if (!manager.WriteScanDetails())
        report(L"Warning: the scan details could not be saved; a restart could not resume this capture.");
    report(L"Taking the first snapshot...");
    session.Capture.Clear();
    session.Capture.Begin(CaptureStep::FirstSnapshot);
    const Result captured = manager.Coordinator().CaptureSnapshot(manager.GetScanDetails());
    session.Capture.End(CaptureStep::FirstSnapshot);
    const FileScanCounts& counts = manager.Coordinator().FileSide().Counts();
    report(L"First snapshot: " + Number(counts.Folders) + L" folders, " + Number(counts.Files) + L" files.");
    if (!captured) {
        report(L"The first snapshot failed; see the error log.");
        return ExitFailure;
    }
    if (!WriteSnapshotTakenKey(session.Paths) || !ReadSnapshotTakenKey(session.Paths)) {
        // Without the mark, the next start would take the snapshot for an
        // abandoned one and delete it.
        LogError(L"TakeFirstSnapshot: Unable to write IsSnapshotTaken to " + session.Paths.ConfigFilePath);
        report(L"The pending-capture mark cannot be written to " + session.Paths.ConfigFilePath +
               L" (read-only?); the capture could not be resumed. Make the file writable and start again.");
        DiscardPendingCapture(session.Paths);
        session.SnapshotPending = false;
        return ExitFailure;
    }
    return ExitSuccess;
}

std::size_t RegistryRootCount(const ScanDetails& details)
{
    const auto roots = details.find(L"Registry");
    return roots == details.end() ? 0 : roots->second.size();
}

// What the comparison's clean-up left out and turned into shortcuts.
void ReportCleanCapture(CEnumerateWrapper& coordinator, const ReportLine& report)
{
    std::size_t keys = 0, files = 0;
    std::wstring lastKey;
    for (const MovedChangeEntry& entry : coordinator.ExcludedUninstallEntries()) {
        if (!entry.FilePath.empty())
            ++files;
        else if (entry.Location != lastKey)
            ++keys;
        lastKey = entry.Location;
    }
    if (keys + files > 0)
        report(L"Uninstall registration of the setup left out: " + Plural(keys, L"key", L"keys") + L", " +
               Plural(files, L"file", L"files") + L" (the package registers its own).");
    const CapturedShortcutResult& shortcuts = coordinator.CapturedShortcuts();
    report(L"Shortcuts: " + Number(static_cast<long long>(shortcuts.Shortcuts.size())) + L" captured, " +
           Number(static_cast<long long>(shortcuts.LeftOut.size())) + L" left out (target not captured).");
}

int FinishCapture(Session& session, CUIManager& manager, const CaptureOptions& options,
                  const std::wstring& packageName, const ReportLine& report)
{
    CaptureRecord& record = session.Capture;
    if (!manager.Coordinator().CheckFirstSnapshot(RegistryRootCount(manager.GetScanDetails()))) {
        report(L"The first snapshot is damaged or incomplete (see the error log); nothing was compared. The capture "
               L"stays pending: start a new one with -capture or -snapshot, which discards it.");
        return ExitFailure;
    }
    report(L"Taking the second snapshot...");
    record.Begin(CaptureStep::SecondSnapshot);
    const Result second = manager.Coordinator().CaptureSnapshot(manager.GetScanDetails());
    record.End(CaptureStep::SecondSnapshot);
    if (!second) {
        report(L"The second snapshot failed; see the error log. The capture stays pending: " + ResumeLine(options));
        return ExitFailure;
    }
    report(L"Comparing the snapshots...");
    record.Begin(CaptureStep::Comparison);
    const Result compared = manager.Coordinator().CompareSnapshot();
    record.End(CaptureStep::Comparison);
    if (!compared) {
        report(L"The comparison failed; see the error log. The capture stays pending: " + ResumeLine(options));
        return ExitFailure;
    }
    const ChangeSet& changes = manager.Coordinator().Changes();
    constexpr ChangeOrigin added = ChangeOrigin::Added, modified = ChangeOrigin::Modified,
                           deleted = ChangeOrigin::Deleted;
    report(L"Files: " + Number(CountFiles(changes.Files(added))) + L" added, " +
           Number(CountFiles(changes.Files(modified))) + L" modified, " + Number(CountFiles(changes.Files(deleted))) +
           L" deleted.");
    report(L"Registry values: " + Number(CountValues(changes.Registry(added))) + L" added, " +
           Number(CountValues(changes.Registry(modified))) + L" modified, " +
           Number(CountValues(changes.Registry(deleted))) + L" deleted.");
    report(L"INI entries: " + Number(CountEntries(changes.Ini(added))) + L" added, " +
           Number(CountEntries(changes.Ini(modified))) + L" modified, " + Number(CountEntries(changes.Ini(deleted))) +
           L" deleted.");
    report(PerUserDataLine(manager.Coordinator().PerUserData()));
    ReportCleanCapture(manager.Coordinator(), report);
    const std::wstring project = session.ProjectFilePath();
    record.Begin(CaptureStep::ProjectFile);
    const Result written = manager.CreateProjectFile();
    record.End(CaptureStep::ProjectFile);
    if (!written) {
        // The snapshots stay, and so does the pending mark.
        report(L"The project file could not be written to " + project +
               L" (see the error log). Nothing was deleted and the capture stays pending: mend the cause, then " +
               ResumeLine(options));
        return ExitFailure;
    }
    report(L"Project file: " + project);

    EnsureFolder(session.Paths.TempFolder());
    EnsureFolder(session.Paths.PackagesFolder());
    report(L"Building the package...");
    manager.Builder().SetProgressReport(report);
    record.Begin(CaptureStep::Package);
    const Result built = manager.BuildPackage({project, session.Paths.OutputFolder, packageName, {}, {}});
    record.End(CaptureStep::Package);
    manager.Builder().SetProgressReport({});
    ReportBuildNotes(manager, report);
    // The report is written before the coordinator ends, which holds what the capture excluded.
    const std::wstring reportLine = built ? WriteReport(manager, session, project) : std::wstring();
    manager.Uninitialize();
    if (!built) {
        report(L"The package build failed" + BuildFailureReason(manager) +
               L"; see the error log. The project file is kept; build again with: "
               L"CorvaneRepackager.exe \"" + project + L"\" -Path=\"" + options.path + L"\"");
        return ExitFailure;
    }
    const int exitCode = ReportBuilt(manager, L"Package: " + manager.Builder().PackagePath(), report);
    if (options.wxs)
        ReportWixSource(manager, report);
    report(reportLine);
    return exitCode;
}

int RunCapture(Session& session, CaptureOptions options, const ReportLine& report)
{
    if (!FileExists(options.setup)) {
        report(L"Setup program not found: " + options.setup);
        return ExitWrongArguments;
    }
    if (!ResolveProduct(options, report))
        return ExitFailure;
    if (!FileOptionIsNotTheProject(options, report))
        return ExitWrongArguments;
    if (!PrepareOutputFolder(options.path, report))
        return ExitFailure;
    const std::wstring packageName =
        options.file.empty() ? PlainNameFromProduct(options.name + L".msi") : options.file;
    if (!SetUpPaths(session, options, packageName, report))
        return ExitFailure;
    CUIManager manager(session);
    if (const int result = TakeFirstSnapshot(session, manager, options, report); result != ExitSuccess)
        return result;
    session.Capture.Begin(CaptureStep::Setup);
    const SetupOutcome outcome = RunSetup(options, session.Capture, report);
    session.Capture.End(CaptureStep::Setup);
    switch (outcome) {
    case SetupOutcome::Succeeded:
        break;
    case SetupOutcome::NotStarted:
        // Nothing ran, so nothing changed: the first snapshot goes.
        DiscardPendingCapture(session.Paths);
        session.SnapshotPending = false;
        manager.Uninitialize();
        report(L"The first snapshot is discarded; nothing was captured.");
        return ExitFailure;
    case SetupOutcome::Failed:
    case SetupOutcome::TimedOut:
        report(L"The capture stays pending. If the installation is good after all, finish it with: " +
               ResumeLine(options) + L"; otherwise start a new capture, which discards it.");
        return ExitFailure;
    }
    return FinishCapture(session, manager, options, packageName, report);
}

int RunSnapshot(Session& session, CaptureOptions options, const ReportLine& report)
{
    if (!options.setup.empty() && !FileExists(options.setup)) {
        report(L"Setup program not found: " + options.setup);
        return ExitWrongArguments;
    }
    if (!ResolveProduct(options, report))
        return ExitFailure;
    if (!FileOptionIsNotTheProject(options, report))
        return ExitWrongArguments;
    if (!PrepareOutputFolder(options.path, report))
        return ExitFailure;
    if (!SetUpPaths(session, options, options.file, report))
        return ExitFailure;
    CUIManager manager(session);
    if (const int result = TakeFirstSnapshot(session, manager, options, report); result != ExitSuccess)
        return result;
    report(L"First snapshot taken. Run the setup (restart if it asks), then: " + ResumeLine(options));
    return ExitSuccess;
}

// The newest project file in the Packages folder of the output folder, or "".
std::wstring WrittenProjectFile(const WorkPaths& paths)
{
    const std::wstring packages = paths.PackagesFolder();
    WIN32_FIND_DATAW data{};
    UniqueFind find(FindFirstFileW((packages + L"\\*.xml").c_str(), &data));
    if (!find)
        return L"";
    std::wstring newest;
    FILETIME newestTime{};
    do {
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            continue;
        if (newest.empty() || CompareFileTime(&data.ftLastWriteTime, &newestTime) > 0) {
            newest = packages + L"\\" + data.cFileName;
            newestTime = data.ftLastWriteTime;
        }
    } while (FindNextFileW(find.get(), &data));
    return newest;
}

int RunResume(Session& session, CaptureOptions options, const ReportLine& report)
{
    if (!SetUpPaths(session, options, options.file, report))
        return ExitFailure;
    CUIManager manager(session);
    if (!manager.Initialize()) {
        report(L"The snapshot engine could not be set up; see the error log.");
        return ExitFailure;
    }
    if (!session.SnapshotPending || !manager.Coordinator().IsFirstSnapshotTaken()) {
        // Interrupted after its project file was complete: nothing is left to
        // capture, only the package to build from that file.
        if (const std::wstring project = WrittenProjectFile(session.Paths);
            session.SnapshotPending && !project.empty()) {
            report(L"No pending capture to resume: the capture already wrote its project file " + project +
                   L". Build the package with: CorvaneRepackager.exe \"" + project + L"\" -Path=\"" + options.path +
                   L"\"");
            return ExitFailure;
        }
        report(L"No pending capture to resume: take the first snapshot with -snapshot.");
        return ExitFailure;
    }
    manager.ReadScanDetails();
    const ProductInfo& product = manager.GetProductInfo();
    if (product.ApplicationName.empty()) {
        report(L"The saved scan details are missing or damaged; the capture cannot be resumed.");
        return ExitFailure;
    }
    options.name = product.ApplicationName;
    options.version = product.Version;
    if (!FileOptionIsNotTheProject(options, report))
        return ExitWrongArguments;
    const std::wstring packageName =
        options.file.empty() ? PlainNameFromProduct(product.ApplicationName + L".msi") : options.file;
    report(L"Resuming the capture of " + product.ApplicationName + L" " + product.Version);
    // The first snapshot and the setup ran in an earlier run.
    session.Capture.Clear();
    return FinishCapture(session, manager, options, packageName, report);
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
        {L"-setup=", &CaptureOptions::setup},     {L"-timeout=", &CaptureOptions::timeout},
    };
    for (std::size_t i = next; i < arguments.size(); ++i) {
        const std::wstring& argument = arguments[i];
        const std::wstring lower = Lower(argument);
        // Only the commands that build a package write its WiX source.
        if (lower == L"-wxs" && options.command != L"-snapshot") {
            options.wxs = true;
            continue;
        }
        bool matched = false;
        for (const Option& option : known) {
            const std::wstring name = option.name;
            if (lower.starts_with(name)) {
                const bool setupAllowed = options.command == L"-snapshot";
                if (name == L"-setup=" && !setupAllowed)
                    break;
                // Only -capture runs the setup, so only it can wait for it.
                if (name == L"-timeout=" && options.command != L"-capture")
                    break;
                options.*option.field = argument.substr(name.size());
                matched = name != L"-timeout=" || !options.timeout.empty();
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
    if (!options.file.empty()) {
        if (const std::wstring problem = PlainFileNameProblem(options.file); !problem.empty()) {
            error = L"-File= must be one plain file name inside the Packages folder: " + problem + L".";
            return false;
        }
    }
    if (!options.timeout.empty()) {
        // The wait is counted in milliseconds of 32 bits: at most 71,582 minutes.
        constexpr unsigned MaxMinutes = 71582;
        const bool digits = options.timeout.size() <= 5 &&
                            options.timeout.find_first_not_of(L"0123456789") == std::wstring::npos;
        options.timeoutMinutes = digits ? static_cast<unsigned>(std::stoul(options.timeout)) : 0;
        if (options.timeoutMinutes == 0 || options.timeoutMinutes > MaxMinutes) {
            error = L"-Timeout= takes a whole number of minutes, from 1 to 71582.";
            return false;
        }
    }
    if (Lower(options.setup).find(L".msi") != std::wstring::npos) {
        error = L"Windows Installer setups (.msi) cannot be repackaged.";
        return false;
    }
    return true;
}

int RunCommandLine(Session& session, const std::vector<std::wstring>& arguments, const ReportLine& report)
{
    if (!arguments.empty() && IsCaptureCommand(arguments[0])) {
        CaptureOptions options;
        std::wstring error;
        if (!ParseCaptureOptions(arguments, options, error)) {
            report(error);
            report(L"Usage: CorvaneRepackager.exe -capture \"<setup program>\" -Path=<output folder> [-File=<MSI name>] "
                   L"[-Args=\"<setup arguments>\"] [-Name=<name>] [-Version=<version>] [-Company=<company>] "
                   L"[-Timeout=<minutes>] [-Wxs]");
            report(L"       CorvaneRepackager.exe -snapshot -Path=<output folder> [-Setup=\"<setup program>\"] "
                   L"[-Name=...] [-Version=...] [-Company=...]");
            report(L"       CorvaneRepackager.exe -resume -Path=<output folder> [-File=<MSI name>] [-Wxs]");
            return ExitWrongArguments;
        }
        if (options.command == L"-capture")
            return RunCapture(session, options, report);
        if (options.command == L"-snapshot")
            return RunSnapshot(session, options, report);
        return RunResume(session, std::move(options), report);
    }
    if (arguments.size() < 2) {
            LogError(FromUtf8(BuildUsageLine));
        report(BuildUsage);
        return ExitWrongArguments;
    }
    return RunBuildMode(session, arguments, report);
}
