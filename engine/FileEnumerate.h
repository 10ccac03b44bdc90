#pragma once
// The file system side of the snapshot engine. A capture walks the root
// folders, writes every file and folder below them to a snapshot file and
// keeps the same entries in memory; the first capture also backs up every INI
// file it meets (into one pack file). The comparison of the two snapshots fills three change maps
// (added, modified, deleted), grouped by folder, and writes them to
// "FileChanges.xml"; changed INI files go to the INI change tracker instead.
#include "common/ChangeTypes.h"
#include "common/Progress.h"
#include "engine/IniBackupPack.h"
#include "engine/IniChangeTracker.h"
#include "engine/SnapshotRecord.h"
#include "project/XmlDocument.h"

#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

class CFileEnumerate
{
public:
    // Reports the walk and the comparison into `progress`, which outlives it.
    explicit CFileEnumerate(CProgressState& progress);
    // Reports into a progress state of its own.
    CFileEnumerate();
    ~CFileEnumerate();
    CFileEnumerate(const CFileEnumerate&) = delete;
    CFileEnumerate& operator=(const CFileEnumerate&) = delete;

    // Builds the snapshot file paths under the working root, loads the raw
    // project file into the file side's and the INI tracker's documents and
    // adds the built-in exclusions. Returns 1.
    int Initialize();

    // 1 when the first snapshot file exists; otherwise makes sure its folder
    // exists and answers 0. The answer is also stored as the flag.
    int IsFirstSnapshotTaken();

    // Captures the first snapshot, or the second once a first one was taken.
    // `roots` are real folder paths. Returns 1, or 0 (with a log line naming
    // the file) when the snapshot file could not be created or written; the
    // in-memory snapshot is filled either way. A stop request (StopToken.h)
    // ends the walk: the snapshot file is removed, a first snapshot counts as
    // not taken, and the result is 0 after one log line.
    int CaptureSnapshot(const std::vector<std::wstring>& roots);

    // Loads "FirstSnapShot.txt" into the first snapshot, overwriting entries of
    // the same path. A damaged file is read up to the damage (logged). Returns 1.
    int ReadFirstSnapshot();

    // Compares the two snapshots (leaving both empty), fills the change maps,
    // writes "FileChanges.xml" and has the INI tracker write its changes.
    // Returns 1, or 0 after one log line when stopped (nothing written) or
    // when either change document could not be saved.
    int CompareSnapshot();

    // Files one changed entry of that origin under its folder. INI files go
    // to the INI tracker.
    void AddChange(ChangeOrigin origin, const std::wstring& path, bool isDirectory);

    // Writes the three change maps again, every listed file included, into a
    // fresh copy of the raw project file saved as "FileChanges.xml". Returns 1,
    // or 0 when the raw project file could not be loaded or the save failed.
    int WriteFileChanges();

    // True when the path ends with ".ini" or ".INI" after at least one other
    // character (other letter cases are ordinary files).
    static bool IsINIFile(const std::wstring& path);

    // First capture: adds the INI file to the capture's backup pack
    // (IniBackupPack.h); `sizeHint` is the size the walk saw. Once a first
    // snapshot exists: writes the backup out to its backup path and compares
    // it with the file (INI tracker).
    int BackupINIFile(const std::wstring& path, std::uint64_t sizeHint = 0);
    // Where the backup copy of an INI file is compared: the INI backup folder
    // plus the path without its first component.
    static std::wstring BackupPathOf(const std::wstring& path);

    // Excludes a folder (real or token path) from every later capture: it is
    // neither recorded nor entered.
    void AddExcludedFolder(std::wstring path);

    // Empties both snapshots, the change maps and the exclusions, and resets
    // the INI tracker.
    void Reset();

    // ---- State read by the coordinator, the pages and the tests ----------
    int FoldersScanned() const noexcept { return m_foldersScanned; }
    int FilesScanned() const noexcept { return m_filesScanned; }
    // Folders the last capture could not enumerate (access denied, vanished).
    int UnreadableFolders() const noexcept { return m_unreadableFolders; }
    bool FirstSnapshotTaken() const noexcept { return m_firstSnapshotTaken; }
    void SetFirstSnapshotTaken(bool taken) noexcept
    {
        m_firstSnapshotTaken = taken;
        m_firstSnapshotHeld = false;
    }

    const std::wstring& FirstSnapshotPath() const noexcept { return m_firstSnapshotPath; }
    const std::wstring& SecondSnapshotPath() const noexcept { return m_secondSnapshotPath; }

    SnapshotMap& FirstSnapshot() noexcept { return m_firstSnapshot; }
    SnapshotMap& SecondSnapshot() noexcept { return m_secondSnapshot; }
    DirectoryChangeMap& AddedItems() noexcept { return m_addedItems; }
    DirectoryChangeMap& DeletedItems() noexcept { return m_deletedItems; }
    DirectoryChangeMap& ModifiedItems() noexcept { return m_modifiedItems; }
    // The added .lnk files of the comparison (real paths), which the change
    // document leaves out.
    const std::vector<std::wstring>& AddedLinkFiles() const noexcept { return m_addedLinks; }
    const std::set<std::wstring>& ExcludedFolders() const noexcept { return m_excludedFolders; }
    CIniChangeTracker& IniTracker() noexcept { return m_iniTracker; }
    // Full paths of the added ".exe" files the change documents listed, in
    // the order written, over every comparison of this object.
    const std::vector<std::wstring>& AddedExecutables() const noexcept { return m_addedExecutables; }

private:
    class CWalk;
    class CBackupFolderScope;
    [[nodiscard]] bool IsExcluded(std::wstring& keyBuffer) const;
    [[nodiscard]] bool WriteChangeDocument(bool keepAll);
    // Backs up the INI files the first capture's walk of one root met; false
    // when a stop request ended it.
    [[nodiscard]] bool BackupMetIniFiles();
    [[nodiscard]] bool PrepareCapture(bool second, std::wstring& target);
    [[nodiscard]] bool WalkRoots(const std::vector<std::wstring>& roots, CWalk& walk, bool second);

    int m_foldersScanned = 0;
    int m_filesScanned = 0;
    int m_unreadableFolders = 0;
    bool m_firstSnapshotTaken = false;
    // True from a successful first capture until the first snapshot in memory
    // is changed (comparison, reset): a second capture then needs no reload.
    bool m_firstSnapshotHeld = false;
    std::wstring m_firstSnapshotPath;
    std::wstring m_secondSnapshotPath;
    std::wstring m_fileSystemDirPath;
    CIniChangeTracker m_iniTracker;
    XmlDocument m_document;
    std::vector<std::wstring> m_addedExecutables;
    SnapshotMap m_firstSnapshot;
    SnapshotMap m_secondSnapshot;
    DirectoryChangeMap m_addedItems;
    DirectoryChangeMap m_deletedItems;
    DirectoryChangeMap m_modifiedItems;
    std::vector<std::wstring> m_addedLinks;
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
};
