#pragma once
// One run at a time per program folder: every mode (the wizard, the build
// from a project file, the capture commands) holds a named mutex derived from
// the program folder for the whole run, so two runs never share the working
// folders, the snapshots or the logs.
#include "common/UniqueHandle.h"

#include <string>

class CRunLock
{
public:
    // Takes the lock of `programFolder` (any letter case, with or without a
    // trailing backslash). False when another run holds it, or when the
    // mutex cannot be made (with a log line).
    [[nodiscard]] bool Acquire(const std::wstring& programFolder);
    void Release();
    ~CRunLock() { Release(); }

    // The mutex name of a program folder.
    static std::wstring NameFor(const std::wstring& programFolder);

private:
    UniqueKernelHandle m_mutex;
    bool m_owned = false;
};

// One run at a time per user's working folders: runs from two program folders
// share the user's %TEMP%\SnapShot, %TEMP%\Temp and %APPDATA%\INIBackup, and
// the start-up clean-up of one would wipe the other's pending capture. The
// holder records its program folder beside the working folders, so a refused
// run can name it.
class CWorkingFoldersLock
{
public:
    // False when another run holds the working folders; `holder` is then the
    // program folder it runs from ("" when unknown).
    [[nodiscard]] bool Acquire(const std::wstring& programFolder, std::wstring& holder);
    void Release() { m_lock.Release(); }

    // The lock's key: the user's temporary and application-data folders.
    static std::wstring Key();

private:
    static std::wstring HolderFile();
    CRunLock m_lock;
};
