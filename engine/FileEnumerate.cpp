#include "engine/FileEnumerate.h"
#include "project/ProjectWriters.h"
#include "engine/FileTimeConverter.h"
#include "engine/SnapshotFile.h"

#include "common/FolderTokens.h"
#include "common/Log.h"
#include "common/StopToken.h"
#include "common/SnapshotSeal.h"
#include "common/UniqueHandle.h"
#include "common/Utf.h"
#include "common/Wow64.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string_view>

namespace {

constexpr const wchar_t* BuiltInExclusions[] = {
    L"%APPDATA%\\INIBACKUP",
    L"%USERPROFILE%\\LOCAL SETTINGS\\TEMP",
    L"%USERPROFILE%\\APPDATA\\LOCAL\\TEMP",
};

// The form FindFirstFileExW accepts for a folder of any length.
std::wstring EnumerationPattern(const std::wstring& folder)
{
    if (folder.size() + 1 < MAX_PATH)
        return folder + L'*';
    if (folder.size() > 2 && folder[1] == L':')
        return L"\\\\?\\" + folder + L'*';
    if (folder.compare(0, 2, L"\\\\") == 0 && folder.compare(0, 4, L"\\\\?\\") != 0)
        return L"\\\\?\\UNC\\" + folder.substr(2) + L'*';
    return folder + L'*';
}

std::vector<std::wstring> SplitPath(const std::wstring& path)
{
    std::vector<std::wstring> pieces;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find(L'\\', start);
        if (end == std::wstring::npos)
            end = path.size();
        if (end > start)
            pieces.emplace_back(path, start, end - start);
        start = end + 1;
    }
    return pieces;
}

// The folder key of a file: its path without the last component.
std::wstring FolderOf(const std::wstring& path)
{
    const auto pieces = SplitPath(path);
    std::wstring folder;
    for (std::size_t i = 0; i + 1 < pieces.size(); ++i) {
        if (i > 0)
            folder += L'\\';
        folder += pieces[i];
    }
    return folder;
}

// Writes `contents` to `target`, created or replaced. False when the file
// cannot be created or the write fails (a half-written file is removed).
bool WriteWholeFile(const std::wstring& target, const std::string& contents)
{
    UniqueFile out(
        CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out)
        return false;
    DWORD written = 0;
    if (!contents.empty() &&
        (!WriteFile(out.get(), contents.data(), static_cast<DWORD>(contents.size()), &written, nullptr) ||
         written != contents.size())) {
        out.reset();
        DeleteFileW(target.c_str());
        return false;
    }
    return true;
}

void PublishCounters(CProgressState& progress, int folders, int files)
{
    char text[256];
    std::snprintf(text, sizeof text, "Folders Scanned: %ld  Files Scanned: %ld", static_cast<long>(folders),
                  static_cast<long>(files));
    wchar_t wide[256] = {};
    MultiByteToWideChar(CP_ACP, 0, text, -1, wide, 256);
    wide[255] = L'\0';
    progress.SetDetailText(wide);
}

} // namespace

// Lets BackupINIFile remember the backup folders it made sure of, for the
// length of one capture or comparison (outside them the backup tree may be
// removed at any time).
class CFileEnumerate::CBackupFolderScope
{
public:
    explicit CBackupFolderScope(CFileEnumerate& owner) : m_owner(owner)
    {
        m_owner.m_cacheBackupFolders = true;
        m_owner.m_ensuredBackupFolder.clear();
    }
    ~CBackupFolderScope()
    {
        m_owner.m_cacheBackupFolders = false;
        m_owner.m_ensuredBackupFolder.clear();
    }
    CBackupFolderScope(const CBackupFolderScope&) = delete;
    CBackupFolderScope& operator=(const CBackupFolderScope&) = delete;

private:
    CFileEnumerate& m_owner;
};

// One capture's walk: the path being built, the target map and the writer.
class CFileEnumerate::CWalk
{
public:
    CWalk(CFileEnumerate& owner, SnapshotMap& target, CSnapshotFileWriter& writer, bool backupIni)
        : m_owner(owner), m_target(target), m_writer(writer), m_backupIni(backupIni)
    {
        m_path.reserve(1100);
        m_key.reserve(1100);
    }

    // True once the walk saw a stop request; the rest is not walked.
    bool Stopped() const noexcept { return m_stopped; }

    void ScanRoot(const std::wstring& root)
    {
        if (m_stop.stop_requested())
            m_stopped = true;
        if (m_stopped)
            return;
        m_path = root;
        if (m_path.empty() || m_path.back() != L'\\')
            m_path += L'\\';
        ScanFolder();
        PublishCounters(m_owner.m_progress, m_owner.m_counts.Folders, m_owner.m_counts.Files);
    }

private:
    // Walks the folder in m_path (ending in a backslash): each entry is
    // recorded, and a folder is walked right after its own entry.
    void ScanFolder()
    {
        const std::size_t base = m_path.size();
        WIN32_FIND_DATAW data;
        UniqueFind find(FindFirstFileExW(EnumerationPattern(m_path).c_str(), FindExInfoBasic, &data,
                                         FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH));
        if (!find) {
            const DWORD error = GetLastError();
            if (error != ERROR_FILE_NOT_FOUND && error != ERROR_NO_MORE_FILES)
                ++m_owner.m_counts.UnreadableFolders;
            return;
        }
        do {
            if (m_stop.stop_requested())
                m_stopped = true;
            if (m_stopped)
                break;
            const wchar_t* name = data.cFileName;
            if (name[0] == L'.' && (name[1] == L'\0' || (name[1] == L'.' && name[2] == L'\0')))
                continue;
            m_path.resize(base);
            m_path.append(name);
            if (Record(data)) {
                m_path.push_back(L'\\');
                ScanFolder();
            }
        } while (FindNextFileW(find.get(), &data));
        m_path.resize(base);
    }

    // Records the entry in m_path; true when it is a folder to walk into.
    bool Record(const WIN32_FIND_DATAW& data)
    {
        m_key.assign(m_path);
        if (m_owner.IsExcluded(m_key))
            return false;

        bool replaced = false;
        const std::size_t bytes = EncodeUtf8(m_path, m_utf8, SnapshotPathCapacity, replaced);
        if (bytes == std::wstring_view::npos) {
            LogError(L"CFileEnumerate::ScanFolder: Path longer than 1023 bytes not recorded: " + m_path);
            return false;
        }

        const bool isFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        const std::int64_t creationTime = m_times.ToSeconds(data.ftCreationTime);
        SnapshotEntry entry;
        entry.LastWriteTime = m_times.ToSeconds(data.ftLastWriteTime);
        entry.IsDirectory = isFolder;
        if (isFolder)
            ++m_owner.m_counts.Folders;
        else {
            ++m_owner.m_counts.Files;
            entry.Size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        }

        // The key is the path as the record holds it, so that a reloaded
        // snapshot has the same keys.
        if (replaced)
            m_target.insert_or_assign(FromUtf8(std::string_view(m_utf8, bytes)), entry);
        else
            m_target.insert_or_assign(m_path, entry);
        m_writer.Append(m_utf8, bytes, creationTime, entry);
        if (((m_owner.m_counts.Folders + m_owner.m_counts.Files) & (DetailInterval - 1)) == 0)
            PublishCounters(m_owner.m_progress, m_owner.m_counts.Folders, m_owner.m_counts.Files);

        if (isFolder)
            // Junctions and folder links are recorded but never followed: they
            // can lead out of the root or round in a loop.
            return (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
        if (m_backupIni && IsIniFilePath(m_path))
            m_owner.m_metIniFiles.emplace_back(m_path, entry.Size);
        return false;
    }

    // The counters text is refreshed every this many entries (and at the end
    // of each root); the page polls it every 50 ms or so.
    static constexpr int DetailInterval = 64;

    CFileEnumerate& m_owner;
    SnapshotMap& m_target;
    CSnapshotFileWriter& m_writer;
    bool m_backupIni;
    CFileTimeConverter m_times;
    std::stop_token m_stop = CurrentStopToken();
    bool m_stopped = false;
    std::wstring m_path;
    std::wstring m_key;
    char m_utf8[SnapshotPathCapacity + 1];
};

CFileEnumerate::CFileEnumerate(CProgressState& progress, ChangeSet& changes, const WorkPaths& paths,
                               const FolderTokenValues& tokens)
    : m_changes(changes), m_iniTracker(changes, paths, tokens), m_progress(progress), m_paths(paths), m_tokens(tokens)
{
}

CFileEnumerate::CFileEnumerate(CProgressState& progress, const WorkPaths& paths, const FolderTokenValues& tokens)
    : m_changes(m_ownChanges), m_iniTracker(m_ownChanges, paths, tokens), m_progress(progress), m_paths(paths),
      m_tokens(tokens)
{
}

CFileEnumerate::CFileEnumerate(const WorkPaths& paths, const FolderTokenValues& tokens)
    : m_changes(m_ownChanges), m_iniTracker(m_ownChanges, paths, tokens), m_progress(m_ownProgress), m_paths(paths),
      m_tokens(tokens)
{
}
CFileEnumerate::~CFileEnumerate() = default;

Result CFileEnumerate::Initialize()
{
    const std::wstring folder = m_paths.SnapshotFolder() + L"\\FileSystemDir";
    m_fileSystemDirPath = folder;
    m_firstSnapshotPath = folder + L"\\FirstSnapShot.txt";
    m_secondSnapshotPath = folder + L"\\SecondSnapShot.txt";
    (void)m_document.Load(m_paths.RawProjectFilePath);
    (void)m_iniTracker.Initialize();
    for (const wchar_t* exclusion : BuiltInExclusions)
        m_excludedFolders.insert(exclusion);
    return Result::Ok();
}

int CFileEnumerate::IsFirstSnapshotTaken()
{
    m_firstSnapshotHeld = false;
    if (GetFileAttributesW(m_firstSnapshotPath.c_str()) == INVALID_FILE_ATTRIBUTES) {
        EnsureFolder(m_fileSystemDirPath);
        m_firstSnapshotTaken = false;
    } else {
        m_firstSnapshotTaken = true;
    }
    return m_firstSnapshotTaken ? 1 : 0;
}

void CFileEnumerate::AddExcludedFolder(std::wstring path)
{
    // Walked paths never take the %SYSDRIVE% token below the drive itself
    // (only the bare drive does): "%SYSDRIVE%\X" is stored as the walk sees it.
    constexpr std::wstring_view sysDrive = L"%SYSDRIVE%\\";
    const std::wstring& drive = m_tokens.systemdrive;
    if (!drive.empty() && path.size() > sysDrive.size() &&
        CompareStringOrdinal(path.c_str(), static_cast<int>(sysDrive.size()), sysDrive.data(),
                             static_cast<int>(sysDrive.size()), TRUE) == CSTR_EQUAL)
        path.replace(0, sysDrive.size() - 1, drive);
    ToTokenPath(path, m_tokens);
    while (!path.empty() && path.back() == L'\\')
        path.pop_back();
    if (!path.empty())
        m_excludedFolders.insert(ToUpperAscii(std::move(path)));
}

bool CFileEnumerate::IsExcluded(std::wstring& key) const
{
    if (m_excludedFolders.empty())
        return false;
    ToTokenPath(key, m_tokens);
    for (wchar_t& c : key)
        if (c >= L'a' && c <= L'z')
            c = static_cast<wchar_t>(c - L'a' + L'A');
    return m_excludedFolders.count(key) != 0;
}

// Makes ready for a capture: the second one checks and reads the first
// snapshot and drops an earlier comparison; the first one starts the INI
// backup pack. Sets the snapshot file to write; a failure (logged by the
// seal check) when the first snapshot is not sound.
Result CFileEnumerate::PrepareCapture(bool second, std::wstring& target)
{
    if (second) {
        // A first snapshot cut short would make everything it lost look added.
        if (!CheckSnapshotSeal(m_firstSnapshotPath))
            return Result::Win32(ERROR_FILE_CORRUPT, L"CFileEnumerate::CaptureSnapshot: The first snapshot " +
                                                         m_firstSnapshotPath + L" is not complete");
        m_progress.SetStatusText(L"");
        m_progress.SetStatusText(L"Reading First Snapshot");
        // The first capture of this run left the same entries in memory as
        // it wrote to the file (the seal proves the file unchanged since).
        if (!m_firstSnapshotHeld)
            (void)ReadFirstSnapshot(); // a file that does not open was checked above
        DeleteFileW(m_secondSnapshotPath.c_str());
        RemoveFolderTree(m_paths.TempFolder());
        // The change files of an earlier comparison are gone with that folder;
        // its change lists go too, or the next comparison would list every
        // change twice.
        for (DirectoryChangeMap& map : m_changes.FileMaps)
            map.clear();
        m_iniTracker.Reset();
        target = m_secondSnapshotPath;
    } else {
        target = m_firstSnapshotPath;
    }
    // Each capture describes the tree as it is now: nothing of an earlier
    // capture of the same kind may linger in the map.
    (second ? m_secondSnapshot : m_firstSnapshot).clear();
    if (!second) {
        m_firstSnapshotHeld = false;
        // A failed pack is logged; the capture goes on without INI backups
        // (their files then compare as new).
        EnsureFolder(m_paths.IniBackupFolder);
        (void)m_backupPack.Create(CIniBackupPack::PackPathIn(m_paths.IniBackupFolder));
        m_backupPackLooked = false;
    }
    return Result::Ok();
}

// Walks each root that is not excluded; the first capture backs up the INI
// files met after each root. False when the walk or the backups were stopped.
bool CFileEnumerate::WalkRoots(const std::vector<std::wstring>& roots, CWalk& walk, bool second)
{
    bool backupsStopped = false;
    std::wstring key;
    for (const std::wstring& root : roots) {
        key = root;
        ToTokenPath(key, m_tokens);
        if (!key.empty() && key.back() == L'\\')
            key.pop_back();
        if (m_excludedFolders.count(ToUpperAscii(key)) == 0) {
            m_progress.SetStatusText(L"Scanning File System:- " + root);
            // System32 as itself and SysWOW64 once, on 64-bit Windows. The walk
            // only enumerates, writes the snapshot file and reads INI files.
            const CFsRedirectionOff realFolders;
            walk.ScanRoot(root);
            if (!second && !walk.Stopped())
                backupsStopped = !BackupMetIniFiles();
        }
        if (walk.Stopped() || backupsStopped)
            break;
        m_progress.AddStep();
    }
    return !(walk.Stopped() || backupsStopped);
}

Result CFileEnumerate::CaptureSnapshot(const std::vector<std::wstring>& roots)
{
    const CBackupFolderScope backupFolders(*this);
    const bool second = m_firstSnapshotTaken;
    std::wstring target;
    if (Result prepared = PrepareCapture(second, target); !prepared)
        return prepared;
    SnapshotMap& map = second ? m_secondSnapshot : m_firstSnapshot;

    RemoveSnapshotSeal(target);
    const std::wstring line = L"CFileEnumerate::CaptureSnapshot: ";
    CSnapshotFileWriter writer;
    Result result = writer.Create(target);
    if (!result)
        result = LogFailure(Result::Failure(result.Code(), line + result.Text()));

    m_counts.Folders = 0;
    m_counts.Files = 0;
    m_counts.UnreadableFolders = 0;
    CWalk walk(*this, map, writer, !second);
    const bool complete = WalkRoots(roots, walk, second);
    m_metIniFiles.clear();
    if (!complete) {
        // A cut walk would compare as a mass deletion: its file goes, and a
        // first snapshot counts as not taken (a pending capture keeps its
        // first snapshot and can take the second one again).
        (void)writer.Close();
        DeleteFileW(target.c_str());
        if (!second)
            m_backupPack.Discard();
        return LogFailure(Result::Failure(ERROR_CANCELLED, line + L"Stopped before the walk was complete; " + target +
                                                               L" removed"));
    }
    if (!second) {
        m_firstSnapshotTaken = true;
        // Sealed before the snapshot: a sealed first snapshot has its backups.
        (void)m_backupPack.Close();
    }

    if (Result closed = writer.Close(); !closed && result)
        result = LogFailure(Result::Failure(closed.Code(), line + closed.Text()));
    if (result && !WriteSnapshotSeal(target, writer.Checksum().Size(), writer.Checksum().Crc()))
        result = Result::Win32(ERROR_WRITE_FAULT, line + L"Unable to seal the snapshot file " + target);
    if (!second)
        m_firstSnapshotHeld = static_cast<bool>(result);
    if (m_counts.UnreadableFolders > 0)
        LogError(line + std::to_wstring(m_counts.UnreadableFolders) + L" folder(s) could not be read and were skipped");
    return result;
}

bool CFileEnumerate::BackupMetIniFiles()
{
    const std::stop_token stop = CurrentStopToken();
    for (const auto& [path, size] : m_metIniFiles) {
        if (stop.stop_requested())
            return false;
        BackupINIFile(path, size);
    }
    m_metIniFiles.clear();
    return true;
}

Result CFileEnumerate::ReadFirstSnapshot()
{
    return ReadSnapshotFile(m_firstSnapshotPath, m_firstSnapshot);
}

bool IsIniFilePath(const std::wstring& path)
{
    constexpr std::size_t n = 4;
    if (path.size() <= n)
        return false;
    const std::wstring_view tail(path.data() + path.size() - n, n);
    return tail == L".ini" || tail == L".INI";
}

std::wstring IniBackupPathOf(const std::wstring& backupFolder, const std::wstring& path)
{
    const auto pieces = SplitPath(path);
    std::wstring backup = backupFolder;
    for (std::size_t i = 1; i < pieces.size(); ++i) {
        backup += L'\\';
        backup += pieces[i];
    }
    return backup;
}

void CFileEnumerate::BackupINIFile(const std::wstring& path, std::uint64_t sizeHint)
{
    const CFsRedirectionOff realFolders; // the INI file may lie in System32
    if (!m_firstSnapshotTaken) {
        m_backupPack.Add(path, sizeHint);
        return;
    }
    const auto pieces = SplitPath(path);
    if (pieces.size() < 2)
        return;
    // The backup folder, and where each of its folders ends: the backup
    // folder itself, then one per piece of the path but the first and last.
    std::wstring folder = m_paths.IniBackupFolder;
    std::vector<std::size_t> ends{folder.size()};
    for (std::size_t i = 1; i + 1 < pieces.size(); ++i) {
        folder += L'\\';
        folder += pieces[i];
        ends.push_back(folder.size());
    }
    // Changed INI files come folder by folder: the folders that the last
    // backup copy made sure of need no second look.
    const auto known = [this, &folder](std::size_t end) {
        const std::wstring& last = m_ensuredBackupFolder;
        return last.size() >= end && (last.size() == end || last[end] == L'\\') &&
               last.compare(0, end, folder, 0, end) == 0;
    };
    std::size_t first = 0;
    while (!m_ensuredBackupFolder.empty() && first < ends.size() && known(ends[first]))
        ++first;
    bool ensured = true;
    for (std::size_t k = first; k < ends.size(); ++k)
        ensured = EnsureFolder(folder.substr(0, ends[k])) && ensured;
    if (m_cacheBackupFolders)
        m_ensuredBackupFolder = ensured ? folder : std::wstring();
    const std::wstring backup = folder + L'\\' + pieces.back();

    // The pack of this capture's first snapshot gives the copy that is
    // compared (none when the pack cannot be trusted). Without a pack (a
    // capture begun by a version that copied every INI file into the tree)
    // the copy already stands there.
    if (!m_backupPackLooked) {
        m_backupPackLooked = true;
        (void)m_backupPack.Load(CIniBackupPack::PackPathIn(m_paths.IniBackupFolder));
    }
    if (m_backupPack.Found()) {
        const std::optional<std::string> contents = m_backupPack.Contents(path);
        // No backup: the file is new, and a copy left by an earlier capture
        // must not stand in for one.
        if (!contents || !WriteWholeFile(backup, *contents))
            DeleteFileW(backup.c_str());
    }
    (void)m_iniTracker.CompareINIFile(backup, path);
}

Result CFileEnumerate::CompareSnapshot()
{
    const CBackupFolderScope backupFolders(*this);
    m_firstSnapshotHeld = false; // the comparison takes the entries out
    if (!m_firstSnapshot.empty() || !m_secondSnapshot.empty())
        m_progress.SetStatusText(L"Comparing File System Snapshot");

    // Both maps are ordered alike, so one merged walk pairs the entries. The
    // changes are only noted during the walk and recorded once it is done,
    // before the maps are freed: what the recording keeps (the change lists,
    // the INI backup index) then lies after the snapshots in memory instead
    // of scattered through the space they free, which can be given back.
    const std::stop_token stop = CurrentStopToken();
    using Noted = std::vector<const SnapshotMap::value_type*>;
    Noted modified, deleted, added;
    auto before = m_firstSnapshot.begin();
    auto after = m_secondSnapshot.begin();
    while (before != m_firstSnapshot.end() && after != m_secondSnapshot.end()) {
        if (stop.stop_requested()) {
            // No change document: the pending capture takes its second
            // snapshot again and compares then.
            return LogFailure(Result::Failure(ERROR_CANCELLED,
                                              L"CFileEnumerate::CompareSnapshot: Stopped before the comparison was "
                                              L"complete; no " + m_paths.FileChangesPath + L" written"));
        }
        if (before->first < after->first) {
            deleted.push_back(&*before++);
        } else if (after->first < before->first) {
            added.push_back(&*after++);
        } else {
            if (before->second.LastWriteTime != after->second.LastWriteTime ||
                before->second.Size != after->second.Size)
                modified.push_back(&*after);
            ++before;
            ++after;
        }
    }
    for (; before != m_firstSnapshot.end(); ++before)
        deleted.push_back(&*before);
    for (; after != m_secondSnapshot.end(); ++after)
        added.push_back(&*after);
    for (const auto& [origin, noted] : {std::pair{ChangeOrigin::Modified, &modified},
                                        std::pair{ChangeOrigin::Deleted, &deleted},
                                        std::pair{ChangeOrigin::Added, &added}})
        for (const SnapshotMap::value_type* entry : *noted)
            AddChange(origin, entry->first, entry->second.IsDirectory);
    Noted().swap(modified);
    Noted().swap(deleted);
    Noted().swap(added);
    m_firstSnapshot.clear();
    m_secondSnapshot.clear();
    return Result::Ok();
}

void CFileEnumerate::SetSnapshots(SnapshotMap first, SnapshotMap second)
{
    m_firstSnapshotHeld = false;
    m_firstSnapshot = std::move(first);
    m_secondSnapshot = std::move(second);
}

Result CFileEnumerate::WriteChangeDocuments()
{
    // Start from the empty skeleton, so that a repeated comparison does not
    // leave the elements of the previous one in the document.
    (void)m_document.Load(m_paths.RawProjectFilePath);
    EnsureFolder(m_paths.TempFolder()); // the second capture removed it
    Result written = WriteChangeDocument(false);
    if (StopRequested()) {
        // The writers stopped part-way: what one of them saved is incomplete.
        DeleteFileW(m_paths.FileChangesPath.c_str());
        return LogFailure(Result::Failure(ERROR_CANCELLED,
                                          L"CFileEnumerate::CompareSnapshot: Stopped before the comparison was "
                                          L"complete; no " + m_paths.FileChangesPath + L" written"));
    }
    // The writers logged their own lines; this one names the document.
    const std::wstring line = L"CFileEnumerate::CompareSnapshot: Unable to write ";
    if (!written)
        return LogFailure(Result::Because(line + m_paths.FileChangesPath, written));
    if (Result ini = m_iniTracker.WriteINIChanges(); !ini)
        return LogFailure(Result::Because(line + m_paths.IniChangesPath, ini));
    return Result::Ok();
}

void CFileEnumerate::AddChange(ChangeOrigin origin, const std::wstring& path, bool isDirectory)
{
    if (IsIniFilePath(path)) {
        // A new INI file whose text entries cannot hold goes into the
        // package whole, as an ordinary file.
        const std::wstring beyond = origin == ChangeOrigin::Added ? IniFileBeyondEntries(path) : std::wstring();
        if (beyond.empty()) {
            BackupINIFile(path);
            return;
        }
        LogError(L"CFileEnumerate::CompareSnapshot: " + path + L" is packaged as a file, not as INI entries: " +
                 beyond);
    }
    DirectoryChangeMap& map = m_changes.Files(origin);
    if (isDirectory) {
        map[path];
        return;
    }
    map[FolderOf(path)].push_back(path);
    // The writer drops links as files; the coordinator reads them as shortcuts.
    if (origin == ChangeOrigin::Added && path.size() > 4 &&
        CompareStringOrdinal(path.c_str() + path.size() - 4, 4, L".lnk", 4, TRUE) == CSTR_EQUAL)
        m_addedNotes.Links.push_back(path);
}

Result CFileEnumerate::WriteChangeDocument(bool keepAll)
{
    const std::wstring& target = m_paths.FileChangesPath;
    const FileListMode mode = keepAll ? FileListMode::KeepAll : FileListMode::PackableOnly;
    // Every list is written; the first failure is the result.
    Result saved = WriteFileList(m_document, ChangeOrigin::Added, m_changes.Files(ChangeOrigin::Added), m_tokens,
                                 target, mode, &m_addedNotes.Executables);
    for (const ChangeOrigin origin : {ChangeOrigin::Modified, ChangeOrigin::Deleted})
        if (Result list = WriteFileList(m_document, origin, m_changes.Files(origin), m_tokens, target, mode);
            !list && saved)
            saved = std::move(list);
    return saved;
}

Result CFileEnumerate::WriteFileChanges()
{
    if (Result loaded = m_document.Load(m_paths.RawProjectFilePath); !loaded)
        return LogFailure(Result::Failure(loaded.Code(), L"CFileEnumerate::WriteFileChanges: " + loaded.Text()));
    return WriteChangeDocument(true);
}

void CFileEnumerate::Reset()
{
    m_firstSnapshotHeld = false;
    m_firstSnapshot.clear();
    m_secondSnapshot.clear();
    for (DirectoryChangeMap& map : m_changes.FileMaps)
        map.clear();
    m_addedNotes.Links.clear();
    m_excludedFolders.clear();
    m_iniTracker.Reset();
    m_backupPack.Unload();
    m_backupPackLooked = false;
}
