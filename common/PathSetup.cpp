#include "common/PathSetup.h"

#include "common/Config.h"
#include "common/Log.h"
#include "common/Utf.h"

#include <vector>

namespace {

std::wstring ReadVariable(const wchar_t* name, bool& ok)
{
    std::vector<wchar_t> buffer(1024);
    DWORD n = GetEnvironmentVariableW(name, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n >= buffer.size()) {
        buffer.resize(n + 1);
        n = GetEnvironmentVariableW(name, buffer.data(), static_cast<DWORD>(buffer.size()));
    }
    if (n == 0 || n >= buffer.size()) {
        ok = false;
        return {};
    }
    return std::wstring(buffer.data(), n);
}

std::wstring CurrentDirectory()
{
    const DWORD n = GetCurrentDirectoryW(0, nullptr);
    std::wstring dir(n, L'\0');
    const DWORD got = GetCurrentDirectoryW(n, dir.data());
    dir.resize(got < n ? got : 0);
    return dir;
}

// The limit counts the UTF-8 bytes of the value plus `reserve` more.
bool FitsRoot(const wchar_t* name, const std::wstring& value, std::size_t reserve = 0)
{
    if (ToUtf8(value).size() + reserve <= MaxPathBytes)
        return true;
    LogError(std::wstring(L"InitializePaths: ") + name + L" is longer than 1023 bytes and cannot be used: " + value +
             std::wstring(reserve, L' '));
    return false;
}

std::wstring StripTrailingSlash(std::wstring path)
{
    while (path.size() > 3 && path.back() == L'\\')
        path.pop_back();
    return path;
}

} // namespace

bool ReadEnvironment(FolderTokenValues& v)
{
    bool ok = true;
    v.windir = ReadVariable(L"windir", ok);
    v.programfiles = ReadVariable(L"programfiles", ok);
    v.userprofile = ReadVariable(L"userprofile", ok);
    v.allusersprofile = ReadVariable(L"allusersprofile", ok);
    v.appdata = ReadVariable(L"appdata", ok);
    v.temp = ReadVariable(L"temp", ok);
    v.systemdrive = ReadVariable(L"systemdrive", ok);
    bool optional = true; // only 64-bit Windows sets it
    v.programfiles64 = ReadVariable(L"ProgramW6432", optional);
    return ok;
}

bool InitializePaths(WorkPaths& paths, FolderTokenValues& env, const std::wstring& outputFolder,
                     const std::wstring& msiFileName)
{
    WorkPaths t;
    t.ProgramFolder = StripTrailingSlash(CurrentDirectory());
    ReadEnvironment(env);
    t.WorkingRoot = StripTrailingSlash(env.temp);
    t.OutputFolder = outputFolder.empty() ? t.ProgramFolder : StripTrailingSlash(outputFolder);
    t.AppDataRoot = env.appdata;
    const std::wstring appData = StripTrailingSlash(env.appdata);

    // The longest name appended below is "\UpdatedIncludeExclude.xml" (26 bytes);
    // refusing roots that leave no room for it keeps every entry within the limit.
    constexpr std::size_t longestSuffix = 32;
    // An empty temp or application-data folder would put the working folders
    // ("\Temp", "\SnapShot", "\INIBackup") at the root of the current drive,
    // where the start-up clean-up would remove them.
    bool ok = true;
    if (t.WorkingRoot.empty()) {
        LogError(L"InitializePaths: the TEMP environment variable is not set; the working folders cannot be placed");
        ok = false;
    }
    if (appData.empty()) {
        LogError(L"InitializePaths: the APPDATA environment variable is not set; the INI backup folder cannot be "
                 L"placed");
        ok = false;
    }
    ok = ok && FitsRoot(L"the program folder", t.ProgramFolder, longestSuffix) &&
              FitsRoot(L"the working root (temp)", t.WorkingRoot, longestSuffix) &&
              FitsRoot(L"the output folder", t.OutputFolder, longestSuffix) &&
              FitsRoot(L"the application-data folder", appData, longestSuffix);
    t.MsiFileName = msiFileName;
    ok = ok && FitsRoot(L"the MSI file name", t.MsiFileName);
    if (!ok) {
        paths = WorkPaths{};
        return false;
    }

    t.ExtractedIconFolder = t.ProgramFolder + L"\\ExtractedIcon";
    t.FileChangesPath = t.WorkingRoot + L"\\Temp\\FileChanges.xml";
    t.RegChangesPath = t.WorkingRoot + L"\\Temp\\RegChanges.xml";
    t.IniChangesPath = t.WorkingRoot + L"\\Temp\\INIChanges.xml";
    t.DefaultIncludeExcludePath = t.ProgramFolder + L"\\DefaultIncludeExclude.xml";
    t.UpdatedIncludeExcludePath = t.ProgramFolder + L"\\UpdatedIncludeExclude.xml";
    t.RawProjectFilePath = t.ProgramFolder + L"\\RawProjectFile.xml";
    t.IniBackupFolder = appData + L"\\INIBackup";
    t.ConfigFilePath = t.ProgramFolder + L"\\CorvaneRepackager.ini";
    paths = std::move(t);
    HiveNames();
    return true;
}

bool ReadSnapshotTakenKey(const WorkPaths& paths)
{
    return ReadConfigInt(paths.ConfigFilePath, L"SnapshotDetails", L"IsSnapshotTaken", 0) != 0;
}

bool WriteSnapshotTakenKey(const WorkPaths& paths)
{
    return WriteConfigString(paths.ConfigFilePath, L"SnapshotDetails", L"IsSnapshotTaken", L"1");
}

bool RemoveSnapshotTakenKey(const WorkPaths& paths)
{
    return WriteConfigString(paths.ConfigFilePath, L"SnapshotDetails", L"IsSnapshotTaken", nullptr);
}
