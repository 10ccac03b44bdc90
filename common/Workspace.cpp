#include "common/Workspace.h"

#include "common/Config.h"
#include "common/Paths.h"

bool CleanWorkspaceAtStartup()
{
    const bool pending = ReadSnapshotTakenKey();
    IsSnapshotTaken = pending;
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
    RemoveFolderTree(WorkingTempFolder());
    RemoveFolderTree(WorkingSnapshotFolder());
    EnsureFolder(WorkingSnapshotFolder());
    RemoveFolderTree(Paths().IniBackupFolder);
    EnsureFolder(Paths().IniBackupFolder);
    IsSnapshotTaken = false;
    RemoveSnapshotTakenKey();
}
