#include "common/Workspace.h"

#include "common/Config.h"
#include "common/Log.h"
#include "common/PathSetup.h"

namespace {

// Without a working root and an application-data folder the folders below
// would be "\Temp", "\SnapShot" and "\INIBackup" at the root of the current drive.
bool HasWorkingRoot(const WorkPaths& paths)
{
    return !paths.WorkingRoot.empty() && !paths.IniBackupFolder.empty() && paths.IniBackupFolder != L"\\INIBackup";
}

} // namespace

bool CleanWorkspaceAtStartup(const WorkPaths& paths)
{
    const bool pending = ReadSnapshotTakenKey(paths);
    if (!HasWorkingRoot(paths)) {
        LogError(L"CleanWorkspaceAtStartup: No working root; nothing is cleaned");
        return pending;
    }
    if (!pending) {
        RemoveFolderTree(paths.TempFolder());
        RemoveFolderTree(paths.SnapshotFolder());
        RemoveFolderTree(paths.IniBackupFolder);
    }
    EnsureFolder(paths.SnapshotFolder());
    EnsureFolder(paths.IniBackupFolder);
    return pending;
}

void DiscardPendingCapture(const WorkPaths& paths)
{
    if (!HasWorkingRoot(paths)) {
        LogError(L"DiscardPendingCapture: No working root; nothing is removed");
        return;
    }
    RemoveFolderTree(paths.TempFolder());
    RemoveFolderTree(paths.SnapshotFolder());
    EnsureFolder(paths.SnapshotFolder());
    RemoveFolderTree(paths.IniBackupFolder);
    EnsureFolder(paths.IniBackupFolder);
    RemoveSnapshotTakenKey(paths);
}
