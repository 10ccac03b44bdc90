#include "common/Paths.h"

#include "common/Config.h"
#include "common/Log.h"
#include "common/UniqueHandle.h"
#include "common/Utf.h"

#include <mutex>
#include <vector>

const char* const ValueTypePrefixes[ValueTypeCount] = {"hex(2):", "hex:", "hex(b):", "dword:", ""};
const char* const ValueTypeNames[ValueTypeCount] = {"REG_EXPAND_SZ", "REG_BINARY", "REG_QWORD", "REG_DWORD", "REG_SZ"};

namespace {

std::mutex g_projectFileLock;
std::wstring g_projectFilePath;

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

WorkPaths& Paths()
{
    static WorkPaths table;
    return table;
}

FolderTokenValues& TokenValues()
{
    static FolderTokenValues values;
    return values;
}

bool ReadEnvironment()
{
    bool ok = true;
    FolderTokenValues& v = TokenValues();
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

bool InitializePaths(const std::wstring& outputFolder, const std::wstring& msiFileName)
{
    WorkPaths t;
    t.ProgramFolder = StripTrailingSlash(CurrentDirectory());
    ReadEnvironment();
    const FolderTokenValues& env = TokenValues();
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
        Paths() = WorkPaths{};
        return false;
    }

    t.ExtractedIconFolder = t.ProgramFolder + L"\\ExtractedIcon";
    t.FileChangesPath = t.WorkingRoot + L"\\Temp\\FileChanges.xml";
    t.RegChangesPath = t.WorkingRoot + L"\\Temp\\RegChanges.xml";
    t.IniChangesPath = t.WorkingRoot + L"\\Temp\\INIChanges.xml";
    SetProjectFilePath(t.OutputFolder + L"\\Packages\\ProjectFile.xml");
    t.DefaultIncludeExcludePath = t.ProgramFolder + L"\\DefaultIncludeExclude.xml";
    t.UpdatedIncludeExcludePath = t.ProgramFolder + L"\\UpdatedIncludeExclude.xml";
    t.RawProjectFilePath = t.ProgramFolder + L"\\RawProjectFile.xml";
    t.IniBackupFolder = appData + L"\\INIBackup";
    t.ConfigFilePath = t.ProgramFolder + L"\\CorvaneRepackager.ini";
    Paths() = std::move(t);
    HiveNames();
    return true;
}

std::wstring GetProjectFilePath()
{
    std::lock_guard lock(g_projectFileLock);
    return g_projectFilePath;
}

void SetProjectFilePath(const std::wstring& path)
{
    std::lock_guard lock(g_projectFileLock);
    g_projectFilePath = path;
}

std::wstring ConfigFile()
{
    return Paths().ConfigFilePath;
}

bool ReadSnapshotTakenKey()
{
    return ReadConfigInt(ConfigFile(), L"SnapshotDetails", L"IsSnapshotTaken", 0) != 0;
}

bool WriteSnapshotTakenKey()
{
    return WriteConfigString(ConfigFile(), L"SnapshotDetails", L"IsSnapshotTaken", L"1");
}

bool RemoveSnapshotTakenKey()
{
    return WriteConfigString(ConfigFile(), L"SnapshotDetails", L"IsSnapshotTaken", nullptr);
}

std::wstring WorkingTempFolder() { return Paths().WorkingRoot + L"\\Temp"; }
std::wstring WorkingSnapshotFolder() { return Paths().WorkingRoot + L"\\SnapShot"; }
std::wstring PackagesFolder() { return Paths().OutputFolder + L"\\Packages"; }

bool EnsureFolder(const std::wstring& path)
{
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        CreateDirectoryW(path.c_str(), nullptr);
        attributes = GetFileAttributesW(path.c_str());
    }
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

namespace {

// Empties and removes the folder in `path`, which it leaves as it found it.
void RemoveTree(std::wstring& path)
{
    const std::size_t length = path.size();
    path += L"\\*";
    WIN32_FIND_DATAW data;
    UniqueFind find(
        FindFirstFileExW(path.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH));
    if (find) {
        do {
            const wchar_t* name = data.cFileName;
            if (name[0] == L'.' && (name[1] == L'\0' || (name[1] == L'.' && name[2] == L'\0')))
                continue;
            path.resize(length + 1);
            path += name;
            const bool isLink = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
            if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !isLink) {
                RemoveTree(path);
            } else if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                // A junction or folder link: remove the link, never what it points to.
                RemoveDirectoryW(path.c_str());
            } else {
                if (data.dwFileAttributes & FILE_ATTRIBUTE_READONLY)
                    SetFileAttributesW(path.c_str(), data.dwFileAttributes & ~FILE_ATTRIBUTE_READONLY);
                DeleteFileW(path.c_str());
            }
        } while (FindNextFileW(find.get(), &data));
    }
    find.reset();
    path.resize(length);
    if (!RemoveDirectoryW(path.c_str())) {
        // A read-only folder is removed once the attribute is off.
        const DWORD attributes = GetFileAttributesW(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) &&
            SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY))
            RemoveDirectoryW(path.c_str());
    }
}

} // namespace

void RemoveFolderTree(const std::wstring& path)
{
    if (path.empty())
        return;
    std::wstring folder = path;
    while (folder.size() > 1 && folder.back() == L'\\')
        folder.pop_back();
    folder.reserve(folder.size() + 300);
    RemoveTree(folder);
}

const std::map<std::wstring, HKEY>& HiveNames()
{
    static const std::map<std::wstring, HKEY> names = {
        {L"HKCR", HKEY_CLASSES_ROOT}, {L"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
        {L"HKCU", HKEY_CURRENT_USER}, {L"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
        {L"HKLM", HKEY_LOCAL_MACHINE}, {L"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
        {L"HKU", HKEY_USERS}, {L"HKEY_USERS", HKEY_USERS},
        {L"HKCC", HKEY_CURRENT_CONFIG}, {L"HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG},
    };
    return names;
}

int ClassifyValueText(std::string_view text, std::string_view* data)
{
    for (int i = 0; i < ValueTypeCount; ++i) {
        const std::string_view prefix = ValueTypePrefixes[i];
        if (text.substr(0, prefix.size()) == prefix) {
            if (data)
                *data = text.substr(prefix.size());
            return i;
        }
    }
    return ValueTypeCount - 1; // unreachable: the empty prefix matches everything
}
