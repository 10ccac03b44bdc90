#include "msi/PackageBuild.h"
#include "project/ProjectReaders.h"

#include "common/Log.h"
#include "common/StopToken.h"
#include "common/Utf.h"
#include "msi/FileCollection.h"
#include "msi/FileRows.h"
#include "msi/PackageTransaction.h"
#include "msi/ProductRows.h"

#include <algorithm>
#include <bit>
#include <cstdint>

namespace {

// The processors this process may run on.
int ProcessorsAvailable()
{
    DWORD_PTR process = 0;
    DWORD_PTR system = 0;
    if (!GetProcessAffinityMask(GetCurrentProcess(), &process, &system) || process == 0)
        return 1;
    return std::popcount(static_cast<std::uintptr_t>(process));
}

std::size_t ValueCount(const RegistryChangeMap& keys)
{
    std::size_t count = 0;
    for (const auto& [key, values] : keys)
        count += values.size();
    return count;
}

// The platform's cabinet maker reads its directive files in the ANSI code page.
bool ReadsUtf8(const std::wstring& cabinetMaker)
{
    return !cabinetMaker.ends_with(L"\\System32\\makecab.exe") && !cabinetMaker.ends_with(L"\\system32\\makecab.exe");
}

} // namespace

CPackageBuild::CPackageBuild(CPackageTransaction& transaction, const XmlDocument& document, ProjectModel& project,
                             const ProductInfo& product, MsiBuildResults& results,
                             const PackageBuildSettings& settings)
    : m_transaction(transaction), m_progress(settings.progress),
      m_build(transaction.Database(), transaction.CodePage(), document, project, product, results, settings.place),
      m_directories(m_build), m_registry(m_build, m_directories), m_ini(m_build, m_directories),
      m_shortcuts(m_build, m_directories), m_settings(m_build),
      m_cabinets(m_build, settings.cabinetMaker, settings.progressReport)
{
    m_build.ddfIsUtf8 = ReadsUtf8(settings.cabinetMaker);
}

void CPackageBuild::Collect()
{
    ProjectModel& project = m_build.project;
    ReadProjectLists(m_build.document, project);
    // A product name outside the code page switches the database to UTF-8 now.
    for (const std::wstring* text : {&m_build.product.ApplicationName, &m_build.product.CompanyName,
                                     &m_build.product.Version})
        (void)m_build.FitsCodePage(*text);
    CollectFiles(m_build, project.Changes.Files(ChangeOrigin::Added));
    CollectFiles(m_build, project.Changes.Files(ChangeOrigin::Modified), true);
    // Where each file lies on this machine, before any is staged for the cabinet maker.
    for (const PackedFile& file : m_build.files)
        m_build.results.sources.files.emplace(file.key, file.realPath);
    StageRedirectedFiles(m_build);
    m_settings.Take();
}

Result CPackageBuild::Run()
{
    ResolveUpgradeCodeAndVersion(m_build);
    Collect();
    if (StopRequested())
        return Stopped();
    m_cabinets.Plan(m_transaction.PackagePath());
    m_build.results.cabinetNames = m_cabinets.Names();
    if (Result written = m_cabinets.WriteDirectives(); !written)
        return written;
    m_progress.SetStatusText(L"DDF File Creation is in progress.");

    const ChangeSet& changes = m_build.project.Changes;
    for (const DirectoryChangeMap* map : {&changes.Files(ChangeOrigin::Added), &changes.Files(ChangeOrigin::Modified)})
        for (const auto& [folder, files] : *map)
            if (!files.empty())
                m_folders.push_back(folder);
    // An added folder without files is one the setup left empty.
    for (const auto& [folder, files] : changes.Files(ChangeOrigin::Added))
        if (files.empty())
            m_emptyFolders.push_back(folder);

    Result cabinet = Result::Ok();
    if (!WriteRowsAndCabinets(cabinet))
        return Stopped();
    CloseRows();
    return Commit(std::move(cabinet));
}

// Each step of the rows with the number of rows it is about to insert (at
// least one counts).
std::vector<CPackageBuild::RowStep> CPackageBuild::RowSteps()
{
    ProjectModel& project = m_build.project;
    return {
        {m_folders.size(), [this] { m_directories.AddFolders(m_folders); }},
        {m_emptyFolders.size(), [this] { m_directories.AddEmptyFolders(m_emptyFolders); }},
        {1, [this] { AddProperties(m_build); }},
        {1, [this] { AddUpgradeRows(m_build); }},
        {1, [this] { AddMediaRows(m_build, m_cabinets.Layout(), m_cabinets.Names()); }},
        {ValueCount(project.Changes.Registry(ChangeOrigin::Added)),
         [this, &project] { m_registry.Add(project.Changes.Registry(ChangeOrigin::Added)); }},
        {ValueCount(project.Changes.Registry(ChangeOrigin::Modified)),
         [this, &project] { m_registry.Add(project.Changes.Registry(ChangeOrigin::Modified), true); }},
        {m_settings.Count(),
         [this] {
             m_settings.AddServiceRows();
             m_settings.AddEnvironmentRows();
         }},
        {1,
         [this, &project] {
             project.Shortcuts.clear();
             ReadShortcutList(m_build.document, project.Shortcuts, m_build.place.tokens);
             m_shortcuts.Add(project.Shortcuts);
         }},
        {1, [this] { m_ini.Add(); }},
    };
}

bool CPackageBuild::WriteRowsAndCabinets(Result& cabinet)
{
    const std::vector<RowStep> rowSteps = RowSteps();
    // The File and MsiFileHash rows go in once the cabinets are made: the
    // cabinet maker tells the files' hashes and the order it packed them in.
    // The Component rows need nothing of it.
    const std::size_t fileUnits = std::max<std::size_t>(m_build.files.size(), 1);
    std::size_t rowUnits = 2 * fileUnits;
    for (const auto& [units, step] : rowSteps)
        rowUnits += std::max<std::size_t>(units, 1);
    // The cabinet weighs as much as all the rows: the step count rises at the
    // middle of the build whatever finishes first.
    const bool hasFiles = !m_build.files.empty();
    const std::size_t cabinetUnits = hasFiles ? rowUnits : 0;
    m_pacer = std::make_unique<CBuildPacer>(m_progress, rowUnits + cabinetUnits);
    CBuildPacer& pacer = *m_pacer;
    // The cabinets' share of the work grows with the bytes packed.
    std::size_t cabinetCounted = 0;
    const CPackageCabinets::Paced paceCabinet = [&](std::uint64_t done, std::uint64_t total) {
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
    const bool cabinetBesideRows = ProcessorsAvailable() > 1;
    if (hasFiles && cabinetBesideRows) {
        m_progress.SetStatusText(L"CAB File Creation is in progress.");
        cabinet = m_cabinets.Start();
    }
    m_progress.SetStatusText(L"MSI TABLE Entry is in progress.");
    for (const auto& [units, step] : rowSteps) {
        if (StopRequested())
            return false;
        step();
        pacer.Finished(std::max<std::size_t>(units, 1));
        m_cabinets.Poll(paceCabinet);
    }
    if (StopRequested())
        return false;

    // Beside the cabinet maker, the component rows go in now; on one
    // processor with the other file rows, in the order that searches least.
    if (hasFiles && cabinetBesideRows) {
        AddComponentRows(m_build, m_directories);
        pacer.Finished(fileUnits);
        m_cabinets.Poll(paceCabinet);
        if (StopRequested())
            return false;
    }

    m_progress.SetStatusText(L"Creating Internal CAB is in progress.");
    if (!hasFiles) {
        pacer.Finished(2 * fileUnits);
        WriteSummaryInformation(m_build);
        return true;
    }
    if (!cabinetBesideRows) {
        m_progress.SetStatusText(L"CAB File Creation is in progress.");
        cabinet = m_cabinets.Start();
        m_progress.SetStatusText(L"Creating Internal CAB is in progress.");
    }
    if (cabinet)
        cabinet = m_cabinets.Finish(paceCabinet);
    if (StopRequested())
        return false;
    if (cabinet) {
        m_progress.SetStatusText(L"MSI TABLE Entry is in progress.");
        IdentifyPackedFiles(m_build, m_cabinets.Reports());
        OrderAsPacked(m_build, m_cabinets.Layout(), m_cabinets.Reports());
        if (cabinetBesideRows) {
            AddHashAndFileRows(m_build);
            pacer.Finished(fileUnits);
        } else {
            AddFileRows(m_build, m_directories);
            pacer.Finished(2 * fileUnits);
        }
        // The platform of the package follows its components'.
        WriteSummaryInformation(m_build);
    }
    return true;
}

void CPackageBuild::CloseRows()
{
    m_build.counts.RejectedRows += m_build.CloseTables();
    CheckOwnRows(m_build);
    m_build.counts.ComputerNameValues = m_build.machineValues.ComputerNameValues();
    if (m_build.counts.ComputerNameValues > 0)
        m_build.Note(L"The capturing computer's name is in " + std::to_wstring(m_build.counts.ComputerNameValues) +
                     L" value(s), packaged as they are; the error log names each one.");
}

Result CPackageBuild::Commit(Result cabinet)
{
    if (Result committed = m_transaction.Commit(); !committed) {
        m_progress.SetStatusText(L"");
        Result failure = m_build.Fail(std::move(committed));
        Discard();
        return failure;
    }
    // The embedded cabinets go into the committed package's file.
    if (cabinet) {
        m_progress.SetStatusText(L"Creating Internal CAB is in progress.");
        cabinet = m_cabinets.Store(m_transaction.BuildPath());
    }
    m_progress.SetStatusText(L"");
    if (!cabinet) {
        Discard();
        return cabinet;
    }
    if (Result published = m_transaction.Publish(m_cabinets.PublishMoves()); !published) {
        Result failure = m_build.Fail(std::move(published));
        Discard();
        return failure;
    }
    m_cabinets.RemoveUnusedEarlierCabinets();
    return Result::Ok();
}

void CPackageBuild::Discard()
{
    m_transaction.Discard();
    m_cabinets.Discard();
}

Result CPackageBuild::Stopped()
{
    // Nothing of a stopped build is kept: the cabinet maker is ended, and the
    // half-made package and the cabinet are removed; an earlier package of the
    // same name stays.
    (void)m_build.CloseTables();
    Discard();
    m_progress.SetStatusText(L"");
    const std::wstring line =
        L"CMSIHandler::BuildMSI: Stopped before the package was complete; " + m_transaction.PackagePath() + L" not written";
    LogError(line);
    return Result::Failure(ERROR_CANCELLED, line);
}
