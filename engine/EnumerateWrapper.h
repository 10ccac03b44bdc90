#pragma once
// The single entry point of the snapshot engine: set-up, the two captures,
// the comparison, and putting the project file together from the three change
// documents. Owns the capture's change set, the file system side, the
// registry side and the project document.
#include "common/ChangeTypes.h"
#include "common/Log.h"
#include "common/Paths.h"
#include "engine/CapturedShortcuts.h"
#include "engine/ExcludedChanges.h"
#include "engine/FileEnumerate.h"
#include "engine/PerUserData.h"
#include "engine/RegistryEnumerate.h"
#include "engine/UninstallRegistration.h"
#include "project/SystemSettings.h"
#include "project/XmlDocument.h"

#include <string>

// What a capture leaves out and where its clean-up files what it takes out:
// the include/exclude selection (its excluded folders and keys are not
// captured) and the stores of excluded changes (the setup's own uninstall
// registration goes there).
struct CaptureExclusions
{
    const IncludeExcludeSelection& Selection;
    CExcludedFileChanges& Files;
    CExcludedRegistryChanges& Registry;
};

class CEnumerateWrapper
{
public:
    // The comparison files its changes into `changes` and adds the shortcuts
    // the setup made to `shortcuts`; the project file gets `shortcuts` and
    // `icons`. All three outlive the wrapper.
    // Both sides report into `progress`, which outlives the wrapper too.
    // `paths` and `tokens` outlive it as well; they are read when used, not
    // copied, since the entry point may fill them after the wrapper exists.
    CEnumerateWrapper(ChangeSet& changes, ShortcutList& shortcuts, const IconMap& icons, CProgressState& progress,
                      const WorkPaths& paths, const FolderTokenValues& tokens, const CaptureExclusions& exclusions)
        : m_changes(changes), m_shortcuts(shortcuts), m_icons(icons), m_progress(progress), m_paths(paths),
          m_tokens(tokens), m_exclusions(exclusions),
          m_files(progress, m_changes, paths, tokens), m_registry(progress, m_changes, paths)
    {
    }
    // A wrapper of its own: the changes, the lists and the progress state are its own.
    CEnumerateWrapper(const WorkPaths& paths, const FolderTokenValues& tokens, const CaptureExclusions& exclusions)
        : m_changes(m_ownChanges), m_shortcuts(m_ownShortcuts), m_icons(m_ownIcons), m_progress(m_ownProgress), m_paths(paths), m_tokens(tokens),
          m_exclusions(exclusions),
          m_files(m_ownProgress, m_changes, paths, tokens),
          m_registry(m_ownProgress, m_changes, paths)
    {
    }
    ~CEnumerateWrapper();
    CEnumerateWrapper(const CEnumerateWrapper&) = delete;
    CEnumerateWrapper& operator=(const CEnumerateWrapper&) = delete;

    // Sets up both sides and loads the raw project file. A failure (logged)
    // when a side could not be set up; a raw project file that does not load
    // fails BuildProjectFile later.
    Result Initialize();
    // Gives back the log, removes working root + "\Temp" and resets both
    // sides; the snapshot files stay. Returns 1.
    int Uninitialize();

    // Runs the file ("File") and registry ("Registry") captures of the scan
    // details, in map order. The excluded folders and keys of the
    // include/exclude lists, and the program's own folders, are left out.
    // Ok when every capture succeeded, else the first failure (each failure
    // logged by its side). A first capture that failed counts as not taken on
    // both sides, so that the next one is a first capture again.
    //
    // These three stop between entries when the thread's stop token asks to
    // (StopToken.h) and then return ERROR_CANCELLED after one log line,
    // leaving no file a later step would trust: a stopped first capture
    // counts as not taken (both sides), a stopped second capture or
    // comparison keeps the first snapshot so that the pending capture can be
    // resumed, and a stopped project writer removes the project file.
    Result CaptureSnapshot(const ScanDetails& details);
    // Compares each side into the change set and writes its change documents
    // (files and INI entries, then the registry), then cleans the capture
    // (CleanCapture). Ok, or the failing side's result (logged by the side).
    Result CompareSnapshot();
    // After a comparison: moves the setup's own Uninstall registration out of
    // the added maps (ExcludedUninstallEntries) and writes the change
    // documents again when it found one; reads the added links into shortcut
    // records (CapturedShortcuts), merged into the process-wide shortcut list.
    void CleanCapture();
    const std::vector<MovedChangeEntry>& ExcludedUninstallEntries() const noexcept { return m_uninstallEntries; }
    const CapturedShortcutResult& CapturedShortcuts() const noexcept { return m_capturedShortcuts; }
    // After a comparison: the added and modified files below the capturing
    // user's profile and values below HKEY_CURRENT_USER.
    PerUserDataCount PerUserData();
    // Replaces the change sections of the project document by those of the
    // change documents, adds shortcuts, icons and product information, and
    // saves to `projectFile`. Ok, or the failure (logged once, with the
    // system's code and text) when stopped, when the raw project file was not
    // loaded or when any step failed; a project file left incomplete by a stop
    // or a failed step is removed.
    Result BuildProjectFile(const ProductInfo& product, const std::wstring& projectFile);
    // Ok when the project document was saved to `projectFile` afterwards. A
    // change document that is missing leaves the section as the raw project
    // file has it; one that exists but does not load is a failure (logged)
    // and nothing is saved.
    Result ReplaceNodeInProjectFile(const std::wstring& changeDocumentPath, const std::wstring& section,
                                    const std::wstring& projectFile);

    // Ok when the first snapshot's files (the file side's and the registry
    // side's, one per registry root) are complete: each has a completion
    // record that matches it. Each damaged or unfinished file is logged; the
    // failure (ERROR_FILE_CORRUPT) is not logged again.
    Result CheckFirstSnapshot(std::size_t registryRoots);

    // Both sides' first-snapshot checks, combined (AND) and stored back into
    // both flags.
    bool IsFirstSnapshotTaken();

    // The capture's changes: filled by the comparison, edited by the review
    // pages, read by the project writer.
    ChangeSet& Changes() noexcept { return m_changes; }
    const ChangeSet& Changes() const noexcept { return m_changes; }

    CFileEnumerate& FileSide() noexcept { return m_files; }
    CRegistryEnumerate& RegistrySide() noexcept { return m_registry; }
    bool IsProjectLoaded() const noexcept { return m_projectLoaded; }

private:
    // Part of CleanCapture: the services and environment variables among the
    // registry changes (their values stay in the change maps, where the review
    // pages list them under their keys), written into "RegChanges.xml" when
    // there are any.
    void ClassifySystemSettings();
    // A step of BuildProjectFile: both lists of "RegChanges.xml" into the
    // project file (nothing when both are empty). Ok unless a save failed
    // (logged by the writer).
    Result CopySystemSettingsToProjectFile(const std::wstring& projectFile);
    void ApplyExclusions();
    void WriteError(const std::wstring& message);

    ChangeSet m_ownChanges;
    ShortcutList m_ownShortcuts;
    IconMap m_ownIcons;
    CProgressState m_ownProgress;
    ChangeSet& m_changes;
    ShortcutList& m_shortcuts;
    const IconMap& m_icons;
    CProgressState& m_progress;
    const WorkPaths& m_paths;
    const FolderTokenValues& m_tokens;
    CaptureExclusions m_exclusions;
    bool m_projectLoaded = false;
    Result m_projectLoad = Result::Ok();
    CFileEnumerate m_files;
    CRegistryEnumerate m_registry;
    XmlDocument m_project;
    std::vector<MovedChangeEntry> m_uninstallEntries;
    CapturedShortcutResult m_capturedShortcuts;
    ServiceList m_services;
    EnvironmentList m_environment;
};
