#include "common/Workspace.h"

#include "common/Config.h"
#include "common/Log.h"
#include "common/PathTable.h"

namespace {

// Without a working root and an application-data folder the folders below
// would be "\Temp", "\SnapShot" and "\INIBackup" at the root of the current drive.
bool HasWorkingRoot()
{
    const WorkPaths& paths = Paths();
    return !paths.WorkingRoot.empty() && !paths.IniBackupFolder.empty() && paths.IniBackupFolder != L"\\INIBackup";
}

} // namespace

bool CleanWorkspaceAtStartup()
{
    const bool pending = ReadSnapshotTakenKey();
    if (!HasWorkingRoot()) {
        LogError(L"CleanWorkspaceAtStartup: No working root; nothing is cleaned");
        return pending;
    }
    if (!pending) {
        RemoveFolderTree(WorkingTempFolder());
        RemoveFolderTree(WorkingSnapshotFolder());
        RemoveFolderTree(Paths().IniBackupFolder);
    }
    EnsureFolder(WorkingSnapshotFolder());
    EnsureFolder(Paths().IniBackupFolder);
    return pending;
}

void DiscardPendingCapture()
{
    if (!HasWorkingRoot()) {
        LogError(L"DiscardPendingCapture: No working root; nothing is removed");
        return;
    }
    RemoveFolderTree(WorkingTempFolder());
    RemoveFolderTree(WorkingSnapshotFolder());
    EnsureFolder(WorkingSnapshotFolder());
    RemoveFolderTree(Paths().IniBackupFolder);
    EnsureFolder(Paths().IniBackupFolder);
    RemoveSnapshotTakenKey();
}
