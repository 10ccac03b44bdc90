#include "msi/PackageCabinets.h"

#include "common/Config.h"
#include "common/Log.h"
#include "common/StopToken.h"
#include "common/Utf.h"
#include "msi/BuildContext.h"
#include "msi/CabinetJob.h"
#include "msi/CabinetStore.h"
#include "msi/MsiHandle.h"
#include "msi/MsiResult.h"

#include <cwctype>

namespace {

std::wstring FileNameOf(const std::wstring& path)
{
    const auto slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::wstring Upper(std::wstring text)
{
    for (wchar_t& c : text)
        c = static_cast<wchar_t>(std::towupper(c));
    return text;
}

bool PathExists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The external cabinets (Media.Cabinet without "#") of a package, or none.
std::vector<std::wstring> ExternalCabinetsOf(const std::wstring& package)
{
    std::vector<std::wstring> names;
    if (!PathExists(package))
        return names;
    UniqueMsiHandle database;
    if (const Result opened = InstallerResult(MsiOpenDatabaseW(package.c_str(), MSIDBOPEN_READONLY, database.put()),
                                              L"CMSIHandler::BuildMSI: Unable to read the cabinets of " + package);
        !opened) {
        LogError(opened.Text());
        return names;
    }
    UniqueMsiHandle view;
    if (MsiDatabaseOpenViewW(database.get(), L"SELECT `Cabinet` FROM `Media`", view.put()) != ERROR_SUCCESS ||
        MsiViewExecute(view.get(), 0) != ERROR_SUCCESS)
        return names;
    for (;;) {
        UniqueMsiHandle record;
        if (MsiViewFetch(view.get(), record.put()) != ERROR_SUCCESS)
            break;
        wchar_t text[MAX_PATH] = {};
        DWORD size = MAX_PATH;
        if (MsiRecordGetStringW(record.get(), 1, text, &size) != ERROR_SUCCESS)
            continue;
        const std::wstring name(text, size);
        if (!name.empty() && name[0] != L'#' && name.find_first_of(L"\\/:") == std::wstring::npos)
            names.push_back(name);
    }
    return names;
}

std::string Megabytes(std::uint64_t bytes)
{
    return std::to_string((bytes + (1 << 19)) >> 20);
}

} // namespace

CPackageCabinets::CPackageCabinets(BuildContext& build, std::wstring cabinetMaker,
                                   std::function<void(const std::wstring&)> progressReport)
    : m_build(build), m_cabinetMaker(std::move(cabinetMaker)), m_progressReport(std::move(progressReport))
{
    m_directives.singleDdf = m_build.place.tempFolder + L"\\MSIProject.ddf";
}

CPackageCabinets::~CPackageCabinets()
{
    Discard();
}

void CPackageCabinets::Plan(const std::wstring& packagePath)
{
    std::wstring problem;
    const CabinetLimits limits = ReadCabinetLimits(m_build.place.configFile, problem);
    if (!problem.empty())
        LogError(L"CMSIHandler::BuildMSI: " + problem);
    std::vector<CabinetFileSize> sizes;
    sizes.reserve(m_build.files.size());
    for (const PackedFile& file : m_build.files)
        sizes.push_back({file.size, ToUtf8(file.key).size()});
    m_plan = PlanCabinets(sizes, limits);
    m_directives.utf8 = m_build.ddfIsUtf8;
    // External cabinets go beside the package.
    m_directives.packagesFolder = packagePath.substr(0, packagePath.find_last_of(L'\\'));

    const std::wstring& packages = m_directives.packagesFolder;
    const std::wstring temp = m_build.place.tempFolder;
    const std::wstring packageName = Upper(FileNameOf(packagePath));
    m_earlierCabinets = ExternalCabinetsOf(packagePath);
    std::vector<std::wstring> external;
    if (m_plan.external) {
        // A name is free unless another file has it: the cabinets of the
        // package this build replaces are replaced with it.
        external = ExternalCabinetNames(m_plan.cabinets.size(), [&](const std::wstring& name) {
            if (Upper(name) == packageName)
                return true;
            for (const std::wstring& earlier : m_earlierCabinets)
                if (Upper(earlier) == Upper(name))
                    return false;
            return PathExists(packages + L"\\" + name);
        });
    }
    m_names.clear();
    m_directives.cabinetFiles.clear();
    m_directives.ddfs.clear();
    const std::wstring build = L"~build-" + std::to_wstring(GetCurrentProcessId()) + L"-";
    for (std::size_t c = 0; c < m_plan.cabinets.size(); ++c) {
        const std::wstring number = c == 0 ? std::wstring() : std::to_wstring(c + 1);
        m_directives.ddfs.push_back(temp + L"\\MSIProject" + number + L".ddf");
        if (m_plan.external && c < external.size()) {
            m_names.push_back(external[c]);
            // Made under a temporary name, moved beside the package with it.
            m_directives.cabinetFiles.push_back(packages + L"\\" + build + external[c] + L".tmp");
        } else {
            const std::wstring stream = L"MSIProject" + number + L".cab";
            m_names.push_back(L"#" + stream);
            m_directives.cabinetFiles.push_back(packages + L"\\" + stream);
        }
    }
    if (m_plan.external) {
        std::wstring list;
        for (const std::wstring& name : m_names)
            list += (list.empty() ? L"" : L", ") + name;
        m_build.Note(L"The files hold " + FromUtf8(Megabytes(m_plan.totalBound)) +
                     L" MB, more than a package can embed: the package is a folder of files to be deployed together, " +
                     FileNameOf(packagePath) + L" with its cabinets " + list + L" beside it in " + packages);
    }
}

Result CPackageCabinets::WriteDirectives()
{
    if (const Result written = WriteDirectiveFiles(m_directives, m_plan, m_build.files); !written)
        return m_build.Fail(Result::Win32(written.Code(), L"CMSIHandler::BuildMSI: Unable to Open DDF File"));
    WriteCabinetBatchFile(m_build.place.tempFolder + L"\\BuildAllCab.bat", m_cabinetMaker, m_directives);
    return Result::Ok();
}

Result CPackageCabinets::Start()
{
    m_job = std::make_unique<CCabinetJob>(m_cabinetMaker, m_build.place.tempFolder);
    for (std::size_t c = 0; c < m_plan.cabinets.size(); ++c) {
        const PlannedCabinet& cabinet = m_plan.cabinets[c];
        std::uint64_t bytes = 0;
        for (std::size_t i = cabinet.firstFile; i < cabinet.firstFile + cabinet.fileCount; ++i)
            bytes += m_build.files[i].size;
        m_job->Add({m_directives.ddfs[c], m_directives.cabinetFiles[c], cabinet.fileCount, bytes, cabinet.firstFile});
    }
    if (const Result started = m_job->Start(); !started)
        return m_build.Fail(Result::Failure(started.Code(), L"CMSIHandler::RunBatchFile: " + started.Text()));
    return Result::Ok();
}

void CPackageCabinets::Poll(const Paced& paced)
{
    if (!m_job || !m_job->Started())
        return;
    (void)m_job->Poll();
    const CabinetJobProgress progress = m_job->Progress();
    paced(progress.bytesPacked + progress.filesPacked, progress.bytesTotal + progress.filesTotal);
}

Result CPackageCabinets::Finish(const Paced& paced)
{
    if (!m_job || !m_job->Started())
        return Result::Failure(ERROR_INVALID_FUNCTION, L"the cabinet maker was not started");
    ULONGLONG lastReport = GetTickCount64();
    CabinetJobProgress reported;
    const auto tick = [&] {
        const CabinetJobProgress progress = m_job->Progress();
        paced(progress.bytesPacked + progress.filesPacked, progress.bytesTotal + progress.filesTotal);
        // A long wait says how far it has come, once a second at most.
        const ULONGLONG now = GetTickCount64();
        if (m_progressReport && now - lastReport >= 1000 &&
            (progress.filesPacked != reported.filesPacked || progress.bytesPacked != reported.bytesPacked)) {
            lastReport = now;
            reported = progress;
            m_progressReport(L"Packed " + std::to_wstring(progress.filesPacked) + L" of " +
                             std::to_wstring(progress.filesTotal) + L" files, " +
                             FromUtf8(Megabytes(progress.bytesPacked)) + L" of " +
                             FromUtf8(Megabytes(progress.bytesTotal)) + L" MB");
        }
        return !StopRequested();
    };
    const Result made = m_job->Wait(tick, 250);
    if (!made && !StopRequested())
        return m_build.Fail(Result::Failure(made.Code(), L"CMSIHandler::RunBatchFile: " + made.Text()));
    if (made)
        paced(1, 1);
    return made;
}

const CabinetReports& CPackageCabinets::Reports() const
{
    static const CabinetReports none;
    return m_job ? m_job->Reports() : none;
}

Result CPackageCabinets::Store(const std::wstring& package)
{
    if (m_plan.external || m_plan.cabinets.empty())
        return Result::Ok();
    std::vector<StreamSource> streams;
    for (std::size_t c = 0; c < m_names.size(); ++c)
        streams.push_back({m_names[c].substr(1), m_directives.cabinetFiles[c]});
    if (const Result stored = StoreStreams(package, streams); !stored)
        return m_build.Fail(Result::Failure(stored.Code(), L"CMSIHandler::BuildMSI: " + stored.Text()));
    for (const std::wstring& file : m_directives.cabinetFiles)
        DeleteFileW(file.c_str());
    return Result::Ok();
}

std::vector<std::pair<std::wstring, std::wstring>> CPackageCabinets::PublishMoves() const
{
    std::vector<std::pair<std::wstring, std::wstring>> moves;
    if (m_plan.external)
        for (std::size_t c = 0; c < m_directives.cabinetFiles.size(); ++c)
            moves.emplace_back(m_directives.cabinetFiles[c], m_directives.packagesFolder + L"\\" + m_names[c]);
    return moves;
}

void CPackageCabinets::RemoveUnusedEarlierCabinets() const
{
    for (const std::wstring& earlier : m_earlierCabinets) {
        bool reused = false;
        if (m_plan.external)
            for (const std::wstring& name : m_names)
                reused = reused || Upper(name) == Upper(earlier);
        if (!reused)
            DeleteFileW((m_directives.packagesFolder + L"\\" + earlier).c_str());
    }
}

void CPackageCabinets::Discard()
{
    if (m_job) {
        m_job->Stop();
        m_job.reset();
    }
    for (const std::wstring& file : m_directives.cabinetFiles)
        DeleteFileW(file.c_str());
}
