#pragma once
// The file system side of the snapshot engine. A capture walks the root
// folders, writes every file and folder below them to a snapshot file and
// keeps the same entries in memory; the first capture also backs up every INI
// file it meets (into one pack file). The comparison of the two snapshots fills the file area of a
// change set (added, modified, deleted), grouped by folder; changed INI files go to the INI change
// tracker instead, which fills the INI area. Writing both areas to "FileChanges.xml" and
// "INIChanges.xml" is a step of its own.
#include "common/ChangeTypes.h"
#include "common/Paths.h"
#include "common/Progress.h"
#include "engine/IniBackupPack.h"
#include "engine/IniChangeTracker.h"
#include "engine/SnapshotRecord.h"
#include "project/ChangeSet.h"
#include "project/XmlDocument.h"

#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

// True when the path ends with ".ini" or ".INI" after at least one other
// character (other letter cases are ordinary files).
bool IsIniFilePath(const std::wstring& path);
// Where the backup copy of an INI file is compared: the INI backup folder
// (`backupFolder`) plus the path without its first component.
std::wstring IniBackupPathOf(const std::wstring& backupFolder, const std::wstring& path);

enum class SnapshotKind { First, Second };

// What the file side noted of the added files besides the change set.
struct AddedFileNotes
{
    // The added .lnk files of the comparison (real paths), which the change
    // document leaves out.
    std::vector<std::wstring> Links;
    // Full paths of the added ".exe" files the change documents listed, in
    // the order written, over every comparison of this object.
    std::vector<std::wstring> Executables;
};

// What the last capture's walk counted.
struct FileScanCounts
{
    int Folders = 0;
    int Files = 0;
    // Folders the walk could not enumerate (access denied, vanished).
    int UnreadableFolders = 0;
};

class CFileEnumerate
{
public:
    // Reports the walk and the comparison into `progress` and files the
    // changes into the file and INI areas of `changes`; both outlive it.
    // `paths` and `tokens` outlive it too and are read when used, not copied.
    CFileEnumerate(CProgressState& progress, ChangeSet& changes, const WorkPaths& paths, const FolderTokenValues& tokens);
    // Reports into `progress`, files into a change set of its own.
    CFileEnumerate(CProgressState& progress, const WorkPaths& paths, const FolderTokenValues& tokens);
    // A progress state and a change set of its own.
    CFileEnumerate(const WorkPaths& paths, const FolderTokenValues& tokens);
    ~CFileEnumerate();
    CFileEnumerate(const CFileEnumerate&) = delete;
    CFileEnumerate& operator=(const CFileEnumerate&) = delete;

    // Builds the snapshot file paths under the working root, loads the raw
    // project file into the file side's and the INI tracker's documents and
    // adds the built-in exclusions. Always Ok.
    Result Initialize();

    // 1 when the first snapshot file exists; otherwise makes sure its folder
    // exists and answers 0. The answer is also stored as the flag.
    int IsFirstSnapshotTaken();

    // Captures the first snapshot, or the second once a first one was taken.
    // `roots` are real folder paths. Ok, or the failure, logged with the
    // file's name and the system's code and text, when the snapshot file
    // could not be created or written (the in-memory snapshot is filled
    // either way) or the first snapshot is not complete. A stop request
    // (StopToken.h) ends the walk: the snapshot file is removed, a first
    // snapshot counts as not taken, and the result is ERROR_CANCELLED after
    // one log line.
    Result CaptureSnapshot(const std::vector<std::wstring>& roots);

    // Loads "FirstSnapShot.txt" into the first snapshot, overwriting entries of
    // the same path. A damaged file is read up to the damage (logged) and is
    // Ok; one that does not open is a failure (logged).
    Result ReadFirstSnapshot();

    // Compares the two snapshots (leaving both empty) and fills the file and
    // INI areas of the change set. Ok, or ERROR_CANCELLED after one log line
    // when stopped.
    Result CompareSnapshot();

    // The comparison's second step: writes the file area into a fresh copy of
    // the raw project file saved as "FileChanges.xml" (packable files only)
    // and has the INI tracker write "INIChanges.xml". Ok, or the failure after
    // one log line when stopped (the part-written document removed); or,
    // after a line naming the document, when either change document could
    // not be saved (with the code and text of the first writer's failure,
    // which that writer logged too).
    Result WriteChangeDocuments();

    // Files one changed entry of that origin under its folder. INI files go
    // to the INI tracker.
    void AddChange(ChangeOrigin origin, const std::wstring& path, bool isDirectory);

    // Writes the file area again, every listed file included, into a
    // fresh copy of the raw project file saved as "FileChanges.xml". Ok, or
    // the failure (logged) when the raw project file could not be loaded or a
    // save failed.
    Result WriteFileChanges();

    // Excludes a folder (real or token path) from every later capture: it is
    // neither recorded nor entered.
    void AddExcludedFolder(std::wstring path);

    // Empties both snapshots, the file area of the change set and the
    // exclusions, and resets the INI tracker.
    void Reset();

    // ---- State read by the coordinator, the pages and the tests ----------
    const FileScanCounts& Counts() const noexcept { return m_counts; }
    bool FirstSnapshotTaken() const noexcept { return m_firstSnapshotTaken; }
    // A first snapshot that counts as not taken holds no entries either.
    void SetFirstSnapshotTaken(bool taken) noexcept
    {
        m_firstSnapshotTaken = taken;
        m_firstSnapshotHeld = false;
        if (!taken)
            m_firstSnapshot.clear();
    }

    const std::wstring& FirstSnapshotPath() const noexcept { return m_firstSnapshotPath; }
    const std::wstring& SecondSnapshotPath() const noexcept { return m_secondSnapshotPath; }

    const SnapshotMap& Snapshot(SnapshotKind kind) const noexcept
    {
        return kind == SnapshotKind::First ? m_firstSnapshot : m_secondSnapshot;
    }
    // Puts both snapshots in place as if captured, for a comparison of
    // entries that did not come from a walk (replays, measurements).
    void SetSnapshots(SnapshotMap first, SnapshotMap second);
    // The change set the comparison fills (its file and INI areas).
    const ChangeSet& Changes() const noexcept { return m_changes; }
    const AddedFileNotes& AddedNotes() const noexcept { return m_addedNotes; }
    const std::set<std::wstring>& ExcludedFolders() const noexcept { return m_excludedFolders; }

private:
    class CWalk;
    class CBackupFolderScope;
    // First capture: adds the INI file to the capture's backup pack
    // (IniBackupPack.h); `sizeHint` is the size the walk saw. Once a first
    // snapshot exists: writes the backup out to its backup path and compares
    // it with the file (INI tracker).
    void BackupINIFile(const std::wstring& path, std::uint64_t sizeHint = 0);
    [[nodiscard]] bool IsExcluded(std::wstring& keyBuffer) const;
    Result WriteChangeDocument(bool keepAll);
    // Backs up the INI files the first capture's walk of one root met; false
    // when a stop request ended it.
    [[nodiscard]] bool BackupMetIniFiles();
    Result PrepareCapture(bool second, std::wstring& target);
    [[nodiscard]] bool WalkRoots(const std::vector<std::wstring>& roots, CWalk& walk, bool second);

    FileScanCounts m_counts;
    bool m_firstSnapshotTaken = false;
    // True from a successful first capture until the first snapshot in memory
    // is changed (comparison, reset): a second capture then needs no reload.
    bool m_firstSnapshotHeld = false;
    std::wstring m_firstSnapshotPath;
    std::wstring m_secondSnapshotPath;
    std::wstring m_fileSystemDirPath;
    ChangeSet m_ownChanges;
    ChangeSet& m_changes;
    CIniChangeTracker m_iniTracker;
    XmlDocument m_document;
    SnapshotMap m_firstSnapshot;
    SnapshotMap m_secondSnapshot;
    AddedFileNotes m_addedNotes;
    std::set<std::wstring> m_excludedFolders;
    // The INI backups of the first snapshot: written by the first capture,
    // read once (when the first changed INI file is compared) afterwards.
    CIniBackupPack m_backupPack;
    // The INI files (with their sizes) of the root being walked: read once
    // its walk is done, so that the walk's entries lie together in memory
    // rather than between the buffers of the reads.
    std::vector<std::pair<std::wstring, std::uint64_t>> m_metIniFiles;
    bool m_backupPackLooked = false;
    // While a capture or a comparison runs: the deepest INI backup folder made
    // sure of, so that the next INI file of the same folder needs no look.
    bool m_cacheBackupFolders = false;
    std::wstring m_ensuredBackupFolder;
    CProgressState m_ownProgress;
    CProgressState& m_progress;
    const WorkPaths& m_paths;
    const FolderTokenValues& m_tokens;
};
