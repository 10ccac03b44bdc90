#pragma once
// The workspace operations run at start-up, at the end of a capture and when
// the user discards a pending capture.

// Start-up clean-up: reads the pending-capture key into IsSnapshotTaken; when no
// capture is pending removes working root + "\Temp", "\SnapShot" and the INI
// backup folder; in every case makes sure "\SnapShot" and the INI backup folder
// exist. Returns whether a capture is pending.
bool CleanWorkspaceAtStartup();

// "Start Over": removes the earlier capture's files, recreates "\SnapShot" and
// the INI backup folder empty, clears the flag and removes the key.
void DiscardPendingCapture();
