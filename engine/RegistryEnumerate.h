#pragma once
// The registry side of the snapshot engine. A capture exports every key and
// value below each registry root into one snapshot file per root (the
// registry editor's export format, RegFileWriter); the comparison merges the
// first and the second file of each root in one forward pass, writes a
// registry-editor patch per root ("Difference<i>.reg") and fills the registry
// area of a change set (added, modified, deleted); writing that area to
// "RegChanges.xml" is a step of its own.
#include "common/ChangeTypes.h"
#include "common/Log.h"
#include "common/Paths.h"
#include "common/Progress.h"
#include "project/ChangeSet.h"
#include "project/XmlDocument.h"

#include <windows.h>

#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

class CRegLineReader;
class RegFileWriter;

class CRegistryEnumerate
{
public:
    // A capture numbers its files 0 to 99.
    static constexpr std::size_t MaxRoots = 100;

    // Reports the captures and the comparison into `progress` and files the
    // changes into the registry area of `changes`; both outlive it. `paths`
    // outlives it too and is read when used, not copied.
    CRegistryEnumerate(CProgressState& progress, ChangeSet& changes, const WorkPaths& paths);
    // Reports into `progress`, files into a change set of its own.
    CRegistryEnumerate(CProgressState& progress, const WorkPaths& paths);
    // A progress state and a change set of its own.
    explicit CRegistryEnumerate(const WorkPaths& paths);
    ~CRegistryEnumerate();
    CRegistryEnumerate(const CRegistryEnumerate&) = delete;
    CRegistryEnumerate& operator=(const CRegistryEnumerate&) = delete;

    // Builds the snapshot and difference paths under the working root, loads
    // the raw project file into the change document and takes a log
    // reference. Always Ok.
    Result Initialize();

    // 1 when the first snapshot file (RegSnapShot0.reg) exists, after making
    // sure the second-snapshot folder exists; otherwise makes sure the
    // first-snapshot folder exists and answers 0. The answer is kept as the flag.
    int IsFirstSnapshotTaken();

    // Exports each root ("HKLM", "HKEY_CURRENT_USER\Software\X"...) into its
    // snapshot file: the first capture, or the second once a first one was
    // taken. Ok, or the failure after one log line (with the system's code and
    // text where a call failed) when the list holds more than 100 roots or a
    // snapshot file cannot be created or written. A stop request
    // (StopToken.h) ends the export with ERROR_CANCELLED and one log line; the
    // files of this capture are removed (a first snapshot then counts as not
    // taken).
    Result CaptureSnapshot(const std::vector<std::wstring>& roots);

    // Compares the snapshot files of the last capture pair by pair and fills
    // the registry area of the change set (emptied first). Ok, or the failure
    // after a log line naming the file when a snapshot file cannot be read or
    // a difference file cannot be created or written, or when stopped (the cut
    // difference file removed).
    Result CompareSnapshot();

    // The comparison's second step: writes the registry area into a fresh
    // copy of the raw project file saved as "RegChanges.xml". Ok, or the
    // failure after one log line when stopped (the part-written document
    // removed) or when a list could not be written (the first writer's).
    Result WriteChangeDocument();

    // Merges one pair of snapshot files into the change maps and writes the
    // difference file. Ok, or the failure after a log line naming the file
    // and the system's code and text.
    Result CompareSnapshotFiles(const std::wstring& firstFile, const std::wstring& secondFile,
                                const std::wstring& differenceFile);

    // Files one change under its key in the map of that origin. An entry with
    // an empty value name records the key alone.
    void AddRegistryChange(ChangeOrigin origin, const RegistryChangeEntry& entry);

    // Writes the registry area again into a fresh copy of the raw project file,
    // saved as "RegChanges.xml". Ok, or the failure (logged) when the raw
    // project file could not be loaded or a list could not be written.
    Result WriteRegistryChanges();

    // Exports one root into one file. Returns 0 or the platform error code of
    // a key that could not be read (ignored by the capture); `writeError`
    // receives the error of a file that could not be created or written.
    DWORD ExportKey(const std::wstring& root, const std::wstring& fileName, DWORD& writeError);

    // Keys left out of every capture, with their subtrees: full key paths
    // (short or long hive names, any letter case).
    void SetExcludedKeys(std::set<std::wstring> keyPaths);

    // Empties the registry area of the change set and gives back the log reference.
    void Reset();

    // The change set the comparison fills (its registry area).
    const ChangeSet& Changes() const noexcept { return m_changes; }
    // The first snapshot's entries of the environment variables (Session
    // Manager\Environment, HKEY_CURRENT_USER\Environment) that the last
    // comparison found modified: their values before the setup ran.
    const std::vector<RegistryChangeEntry>& PreviousEnvironmentValues() const noexcept
    {
        return m_previousEnvironment;
    }

    int SnapshotFileCount() const noexcept { return m_snapshotFileCount; }
    bool FirstSnapshotTaken() const noexcept { return m_firstSnapshotTaken; }
    void SetFirstSnapshotTaken(bool taken) noexcept { m_firstSnapshotTaken = taken; }
    long KeysOpened() const noexcept { return m_keysOpened; }

    const std::wstring& FirstSnapshotFilePrefix() const noexcept { return m_firstSnapshotFilePrefix; }
    const std::wstring& SecondSnapshotFilePrefix() const noexcept { return m_secondSnapshotFilePrefix; }

private:
    class CMerge;

    void WriteLog(const std::wstring& message);
    Result WriteLists();
    // ExportKey's part for a root under a hive: every registry view of it.
    DWORD ExportRootViews(RegFileWriter& writer, HKEY hive, const std::wstring& subkey);

    int m_snapshotFileCount = 0;
    bool m_firstSnapshotTaken = false;
    long m_keysOpened = 0;
    std::wstring m_firstSnapshotFilePrefix;
    std::wstring m_secondSnapshotFilePrefix;
    std::wstring m_regSystemDirPath;
    std::wstring m_firstSnapshotFolder;
    std::wstring m_secondSnapshotFolder;
    std::wstring m_differencePrefix;
    XmlDocument m_document;
    std::set<std::wstring> m_excludedKeys; // folded full paths, long hive names

    ChangeSet m_ownChanges;
    ChangeSet& m_changes;
    std::vector<RegistryChangeEntry> m_previousEnvironment;
    CProgressState m_ownProgress;
    CProgressState& m_progress;
    const WorkPaths& m_paths;
};

// How a value line is reported: the value name part (quotes kept, escapes
// undone), the type name and the normalised data text.
RegistryChangeEntry MakeValueChange(std::wstring_view keyLine, std::wstring_view namePart, bool hasEquals,
                                    std::wstring_view data);
