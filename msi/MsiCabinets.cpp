// The cabinets of a package build: how the files are spread over them, the
// runs of the cabinet maker, the cabinets stored in the package or placed
// beside it, and the package and its cabinets moved to their names together.
#include "msi/MSIHandler.h"

#include "common/Config.h"
#include "common/Log.h"
#include "common/Paths.h"
#include "common/Progress.h"
#include "common/StopToken.h"
#include "common/Utf.h"
#include "msi/CabinetJob.h"
#include "msi/CabinetStore.h"
#include "msi/FileRules.h"
#include "msi/MsiTableIds.h"
#include "msi/MsiTables.h"

#include <algorithm>
#include <array>
#include <map>
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
    if (MsiOpenDatabaseW(package.c_str(), MSIDBOPEN_READONLY, database.put()) != ERROR_SUCCESS)
        return names;
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

void CMSIHandler::Fail(const std::string& line)
{
    LogError(FromUtf8(line));
    if (m_failure.empty())
        m_failure = line;
}

void CMSIHandler::PlanPackageCabinets()
{
    std::wstring problem;
    const CabinetLimits limits = ReadCabinetLimits(ConfigFile(), problem);
    if (!problem.empty())
        LogError(L"CMSIHandler::BuildMSI: " + problem);
    std::vector<CabinetFileSize> sizes;
    sizes.reserve(m_files.size());
    for (const PackedFile& file : m_files)
        sizes.push_back({file.size, ToUtf8(file.key).size()});
    m_plan = PlanCabinets(sizes, limits);

    const std::wstring packages = PackagesFolder();
    const std::wstring temp = WorkingTempFolder();
    const std::wstring packageName = Upper(FileNameOf(m_packagePath));
    m_earlierCabinets = ExternalCabinetsOf(m_packagePath);
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
    m_cabinetNames.clear();
    m_cabinetFiles.clear();
    m_cabinetDdfs.clear();
    const std::wstring build = L"~build-" + std::to_wstring(GetCurrentProcessId()) + L"-";
    for (std::size_t c = 0; c < m_plan.cabinets.size(); ++c) {
        const std::wstring number = c == 0 ? std::wstring() : std::to_wstring(c + 1);
        m_cabinetDdfs.push_back(temp + L"\\MSIProject" + number + L".ddf");
        if (m_plan.external && c < external.size()) {
            m_cabinetNames.push_back(external[c]);
            // Made under a temporary name, moved beside the package with it.
            m_cabinetFiles.push_back(packages + L"\\" + build + external[c] + L".tmp");
        } else {
            const std::wstring stream = L"MSIProject" + number + L".cab";
            m_cabinetNames.push_back(L"#" + stream);
            m_cabinetFiles.push_back(packages + L"\\" + stream);
        }
    }
    if (m_plan.external) {
        std::wstring list;
        for (const std::wstring& name : m_cabinetNames)
            list += (list.empty() ? L"" : L", ") + name;
        Note(L"The files hold " + FromUtf8(Megabytes(m_plan.totalBound)) +
             L" MB, more than a package can embed: the package is a folder of files to be deployed together, " +
             FileNameOf(m_packagePath) + L" with its cabinets " + list + L" beside it in " + packages);
    }
}

bool CMSIHandler::StartCabinetMaker()
{
    m_cabinetJob = std::make_unique<CCabinetJob>(m_cabinetMaker, WorkingTempFolder());
    for (std::size_t c = 0; c < m_plan.cabinets.size(); ++c) {
        const PlannedCabinet& cabinet = m_plan.cabinets[c];
        std::uint64_t bytes = 0;
        for (std::size_t i = cabinet.firstFile; i < cabinet.firstFile + cabinet.fileCount; ++i)
            bytes += m_files[i].size;
        m_cabinetJob->Add({m_cabinetDdfs[c], m_cabinetFiles[c], cabinet.fileCount, bytes, cabinet.firstFile});
    }
    if (!m_cabinetJob->Start()) {
        Fail("CMSIHandler::RunBatchFile: " + m_cabinetJob->Failure());
        return false;
    }
    return true;
}

void CMSIHandler::PollCabinetMaker(const std::function<void(std::uint64_t, std::uint64_t)>& paced)
{
    if (!m_cabinetJob || !m_cabinetJob->Started())
        return;
    (void)m_cabinetJob->Poll();
    const CabinetJobProgress progress = m_cabinetJob->Progress();
    paced(progress.bytesPacked + progress.filesPacked, progress.bytesTotal + progress.filesTotal);
}

bool CMSIHandler::FinishCabinetMaker(const std::function<void(std::uint64_t, std::uint64_t)>& paced)
{
    if (!m_cabinetJob || !m_cabinetJob->Started())
        return false;
    const ULONGLONG start = GetTickCount64();
    ULONGLONG lastReport = start;
    CabinetJobProgress reported;
    const auto tick = [&] {
        const CabinetJobProgress progress = m_cabinetJob->Progress();
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
    const bool made = m_cabinetJob->Wait(tick, 250);
    if (!made && !StopRequested())
        Fail("CMSIHandler::RunBatchFile: " + (m_cabinetJob->Failure().empty() ? std::string("the cabinet maker failed")
                                                                              : m_cabinetJob->Failure()));
    if (made)
        paced(1, 1);
    return made;
}

void CMSIHandler::AddDeferredHashRows()
{
    // The digests the cabinet maker counted while it packed the files; a file
    // it did not report (another cabinet maker) is read here once more.
    CTableInserter& hashes = Table(TableId::MsiFileHash);
    const auto& reported = m_cabinetJob ? m_cabinetJob->Hashes() : std::map<std::size_t, std::array<int, 4>>{};
    for (std::size_t i = 0; i < m_files.size(); ++i) {
        PackedFile& file = m_files[i];
        if (!file.hashPending)
            continue;
        file.hashPending = false;
        if (const auto found = reported.find(i); found != reported.end()) {
            std::copy(found->second.begin(), found->second.end(), file.hash);
            file.hashed = true;
        } else {
            UniqueFile open(CreateFileW(file.realPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
            file.hashed = open && HashUnlessImage(open.get(), file.realPath, file.hash, true) == FileHashRead::Hashed;
        }
        if (file.hashed)
            (void)hashes.Insert({file.key, 0, file.hash[0], file.hash[1], file.hash[2], file.hash[3]});
    }
}

bool CMSIHandler::StoreCabinets()
{
    if (m_plan.external || m_plan.cabinets.empty())
        return true;
    Progress().SetStatusText(L"Creating Internal CAB is in progress.");
    std::vector<StreamSource> streams;
    for (std::size_t c = 0; c < m_cabinetNames.size(); ++c)
        streams.push_back({m_cabinetNames[c].substr(1), m_cabinetFiles[c]});
    std::string failure;
    if (!StoreStreams(m_buildPath, streams, failure)) {
        Fail("CMSIHandler::BuildMSI: " + failure);
        return false;
    }
    for (const std::wstring& file : m_cabinetFiles)
        DeleteFileW(file.c_str());
    return true;
}

bool CMSIHandler::PublishPackage()
{
    // Every file of the package, from its temporary name to its own; names
    // that are taken are first moved aside, and put back when a move fails,
    // so that an earlier package stays whole with its own cabinets.
    const std::wstring packages = PackagesFolder();
    std::vector<std::pair<std::wstring, std::wstring>> moves;
    if (m_plan.external)
        for (std::size_t c = 0; c < m_cabinetFiles.size(); ++c)
            moves.emplace_back(m_cabinetFiles[c], packages + L"\\" + m_cabinetNames[c]);
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
        Fail("CMSIHandler::BuildMSI: Unable to replace " + ToUtf8(failed) + " (error " + std::to_string(error) + ")");
        return false;
    }
    for (const std::wstring& path : movedAside)
        DeleteFileW((path + aside).c_str());
    // Cabinets of the replaced package that this one does not use.
    for (const std::wstring& earlier : m_earlierCabinets) {
        bool reused = false;
        if (m_plan.external)
            for (const std::wstring& name : m_cabinetNames)
                reused = reused || Upper(name) == Upper(earlier);
        if (!reused)
            DeleteFileW((packages + L"\\" + earlier).c_str());
    }
    return true;
}

void CMSIHandler::DiscardCabinets()
{
    if (m_cabinetJob) {
        m_cabinetJob->Stop();
        m_cabinetJob.reset();
    }
    for (const std::wstring& file : m_cabinetFiles)
        DeleteFileW(file.c_str());
}
