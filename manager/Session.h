#pragma once
// What one run of the program works on, owned by its entry point (the
// wizard, the command line, a test) and handed by reference to the manager
// and through the wizard sheet to the pages.
//
// Threads: the fields are written on the window thread while no worker runs,
// except where a field says otherwise; a worker only reads them. The
// manager's setters and the pages check WindowThread in debug builds.
#include "common/ChangeTypes.h"
#include "common/PathSetup.h"
#include "common/Progress.h"
#include "common/WindowThread.h"
#include "engine/ExcludedChanges.h"
#include "manager/CaptureRecord.h"
#include "project/IncludeExclude.h"

#include <atomic>
#include <mutex>
#include <string>

// The exclusions recorded with "Add To Exclude" on the advanced sheet during
// this run: upper-cased token path -> token path and description.
struct AddedExclusions
{
    ExcludedItemMap Files;
    ExcludedItemMap Registry;
};

struct Session
{
    // The thread that made the session: the window thread of the run.
    CWindowThread WindowThread;

    // The changes of the capture: filled by the comparison's worker while the
    // pages wait for it, then trimmed on the review pages (window thread), and
    // read by the project file writer.
    ChangeSet Changes;

    // The shortcuts the user chose for the package (the comparison's worker
    // adds those the setup made while the pages wait for it) and the icons
    // extracted for them; the project file writer takes both.
    ShortcutList SelectedShortcuts;
    IconMap ExtractedIcons;

    // The product of the capture or of the loaded project.
    ProductInfo Product;

    // A first snapshot waits for its second (mirrors the pending-capture key
    // of the configuration file). Atomic: a worker's clean-up clears it.
    std::atomic<bool> SnapshotPending{false};

    // The progress of the running worker (any thread), polled by the page
    // that started it.
    CProgressState Progress;

    AddedExclusions AddToExclude;

    // The work paths and the token values of the run, filled by the entry
    // point (InitializePaths below); the manager hands them to the layers
    // below as values.
    WorkPaths Paths;
    FolderTokenValues Tokens;

    // The project file of the run. It is replaced on the window thread (the
    // command line, the basic information page, the scan details, a page
    // saving under another name) while a worker may read it, so it is read
    // and written under a lock.
    std::wstring ProjectFilePath() const
    {
        const std::lock_guard lock(m_projectFileLock);
        return m_projectFilePath;
    }
    void SetProjectFilePath(const std::wstring& path)
    {
        WindowThread.AssertCurrent(L"the project file path");
        const std::lock_guard lock(m_projectFileLock);
        m_projectFilePath = path;
    }

    // The steps of the run's capture and build, for the capture report.
    CaptureRecord Capture;

    // The include/exclude selection: the folders and keys a capture includes
    // and the items it leaves out, as read from the include/exclude files and
    // edited on the advanced sheet (whose loaders write it on their workers
    // while the modal sheet waits for them). A capture worker reads it when it
    // starts.
    IncludeExcludeSelection Selection;

    // The changes taken out of the comparison's change set, with their
    // descriptions: by the user on the review pages, and by the comparison's
    // clean-up (the setup's own uninstaller and uninstall entry). Written on
    // the window thread, or by the comparison's worker while the pages wait.
    CExcludedFileChanges ExcludedFiles;
    CExcludedRegistryChanges ExcludedRegistry;
    // The review pages' copies of the excluded lists.
    ReviewExclusionCopies ReviewCopies;

private:
    mutable std::mutex m_projectFileLock;
    std::wstring m_projectFilePath;
};

// Fills the session's work paths and token values from the environment and
// the current folder (InitializePaths of common/PathSetup.h) and names the
// default project file (output folder + "\Packages\ProjectFile.xml"). On the
// window thread, at start-up. False (logged) when the paths cannot be placed;
// the paths are then empty.
bool InitializePaths(Session& session, const std::wstring& outputFolder, const std::wstring& msiFileName);
