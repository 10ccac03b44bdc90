#pragma once
// The workspace operations run at start-up, at the end of a capture and when
// the user discards a pending capture, in the folders of the given paths.
#include "common/Paths.h"

// Start-up clean-up: reads the pending-capture key; when no
// capture is pending removes working root + "\Temp", "\SnapShot" and the INI
// backup folder; in every case makes sure "\SnapShot" and the INI backup folder
// exist. Returns whether a capture is pending.
bool CleanWorkspaceAtStartup(const WorkPaths& paths);

// "Start Over": removes the earlier capture's files, recreates "\SnapShot" and
// the INI backup folder empty and removes the key (the caller clears its
// pending-capture flag).
void DiscardPendingCapture(const WorkPaths& paths);
