#pragma once
// Shared set-up of the file system snapshot and INI tests: a fresh folder that
// serves as working root, application-data folder and home of every folder
// token, a raw project file, and an error log the tests can read.
#include "common/Paths.h"
#include "common/Progress.h"
#include "common/Utf.h"
#include "engine/FileEnumerate.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <ctime>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

// The skeleton every change document starts from.
inline constexpr const char* RawProjectSkeleton =
    "<?xml version=\"1.0\"?>\r\n<Project>"
    "<FileSystem><AddedItems><DirectoryList/></AddedItems><ModifiedItems><DirectoryList/></ModifiedItems>"
    "<DeletedItems><DirectoryList/></DeletedItems></FileSystem>"
    "<RegistrySystem><AddedItems><SubKeyList/></AddedItems><ModifiedItems><SubKeyList/></ModifiedItems>"
    "<DeletedItems><SubKeyList/></DeletedItems></RegistrySystem>"
    "<INIFileSystem><AddedItems><FileList/></AddedItems><ModifiedItems><FileList/></ModifiedItems>"
    "<DeletedItems><FileList/></DeletedItems></INIFileSystem>"
    "<ShortcutList/><ShortcutICONs/><ProductInformation/></Project>";

// Readable failure messages for the change entries.
inline void PrintTo(const IniChangeEntry& e, std::ostream* os)
{
    *os << "[" << ToUtf8(e.Section) << "] " << ToUtf8(e.Key) << "=" << ToUtf8(e.Value);
}

// One entry of a snapshot file, as read back byte by byte.
struct SnapshotFileEntry
{
    std::uint32_t Length = 0;
    std::string Path;
    bool PathPaddingZero = true;
    std::int64_t CreationTime = 0;
    std::int64_t LastWriteTime = 0;
    std::uint64_t Size = 0;
    std::uint8_t IsDirectory = 0;
    bool PaddingZero = true;
};

inline std::vector<SnapshotFileEntry> ParseSnapshotFile(const std::string& bytes)
{
    std::vector<SnapshotFileEntry> entries;
    EXPECT_EQ(bytes.size() % 1060, 0u) << "a snapshot file is a whole number of 1060-byte entries";
    for (std::size_t at = 0; at + 1060 <= bytes.size(); at += 1060) {
        SnapshotFileEntry e;
        std::memcpy(&e.Length, bytes.data() + at, 4);
        const char* r = bytes.data() + at + 4;
        e.Path.assign(r, strnlen(r, 1024));
        for (std::size_t i = e.Path.size(); i < 1024; ++i)
            e.PathPaddingZero = e.PathPaddingZero && r[i] == 0;
        std::memcpy(&e.CreationTime, r + 1024, 8);
        std::memcpy(&e.LastWriteTime, r + 1032, 8);
        std::memcpy(&e.Size, r + 1040, 8);
        e.IsDirectory = static_cast<std::uint8_t>(r[1048]);
        for (int i = 1049; i < 1056; ++i)
            e.PaddingZero = e.PaddingZero && r[i] == 0;
        entries.push_back(e);
    }
    return entries;
}

// A file time from calendar fields (UTC) plus hundreds of nanoseconds.
inline FILETIME MakeFileTime(int year, int month, int day, int hour, int minute, int second, int ticks = 0)
{
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(year);
    st.wMonth = static_cast<WORD>(month);
    st.wDay = static_cast<WORD>(day);
    st.wHour = static_cast<WORD>(hour);
    st.wMinute = static_cast<WORD>(minute);
    st.wSecond = static_cast<WORD>(second);
    FILETIME ft{};
    SystemTimeToFileTime(&st, &ft);
    ULARGE_INTEGER v{};
    v.LowPart = ft.dwLowDateTime;
    v.HighPart = ft.dwHighDateTime;
    v.QuadPart += static_cast<ULONGLONG>(ticks);
    ft.dwLowDateTime = v.LowPart;
    ft.dwHighDateTime = v.HighPart;
    return ft;
}

// The snapshot time of a file time, by the platform calls one at a time:
// local time, whole seconds, back to a calendar time.
inline std::int64_t ReferenceSeconds(const FILETIME& ft)
{
    FILETIME local{};
    SYSTEMTIME st{};
    if (!FileTimeToLocalFileTime(&ft, &local) || !FileTimeToSystemTime(&local, &st))
        return 0;
    std::tm t{};
    t.tm_year = st.wYear - 1900;
    t.tm_mon = st.wMonth - 1;
    t.tm_mday = st.wDay;
    t.tm_hour = st.wHour;
    t.tm_min = st.wMinute;
    t.tm_sec = st.wSecond;
    t.tm_isdst = -1;
    const __time64_t r = _mktime64(&t);
    return r == -1 ? 0 : static_cast<std::int64_t>(r);
}

inline std::int64_t UnixSeconds(const FILETIME& ft)
{
    ULARGE_INTEGER v{};
    v.LowPart = ft.dwLowDateTime;
    v.HighPart = ft.dwHighDateTime;
    return static_cast<std::int64_t>(v.QuadPart / 10000000ull) - 11644473600ll;
}

inline void SetTimes(const std::wstring& path, const FILETIME& created, const FILETIME& written)
{
    HANDLE h = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << ToUtf8(path);
    EXPECT_TRUE(SetFileTime(h, &created, nullptr, &written));
    CloseHandle(h);
}

inline void MakeFolder(const std::wstring& path)
{
    ASSERT_TRUE(CreateDirectoryW(path.c_str(), nullptr)) << ToUtf8(path);
}

class FileEnumerateFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // The log reads its settings from the current folder when it is created.
        WriteFileBytes(m_root / L"CorvaneRepackager.ini",
                       "[LogFileDetails]\r\nLogLevel=2\r\nErrorLogFileName=ErrorLog.txt\r\n");
        m_cd.emplace(m_root.Path());
        m_log.emplace(m_root.Path());

        MakeFolder(m_root / L"work");
        MakeFolder(m_root / L"work\\SnapShot");
        MakeFolder(m_root / L"work\\Temp");
        MakeFolder(m_root / L"AppData");
        MakeFolder(m_root / L"AppData\\INIBackup");
        MakeFolder(m_root / L"tree");
        WriteFileBytes(m_root / L"Raw.xml", RawProjectSkeleton);

        WorkPaths& p = m_paths;
        p.WorkingRoot = m_root / L"work";
        p.IniBackupFolder = m_root / L"AppData\\INIBackup";
        p.RawProjectFilePath = m_root / L"Raw.xml";
        p.FileChangesPath = p.WorkingRoot + L"\\Temp\\FileChanges.xml";
        p.IniChangesPath = p.WorkingRoot + L"\\Temp\\INIChanges.xml";

        FolderTokenValues& t = m_tokens;
        t.windir = m_root / L"Windows";
        t.programfiles = m_root / L"Program Files";
        t.appdata = m_root / L"AppData";
        t.userprofile = m_root / L"Profile";
        t.allusersprofile = m_root / L"AllUsers";
        t.temp = m_root / L"work";
        t.systemdrive = L"Q:";
    }

    void TearDown() override
    {
        m_log.reset();
        m_cd.reset();
    }

    // A set-up enumerator, as the coordinator makes it at start-up; it files
    // its changes into `changes` when given, else into a set of its own.
    std::unique_ptr<CFileEnumerate> NewEnumerator(ChangeSet* changes = nullptr)
    {
        auto e = changes ? std::make_unique<CFileEnumerate>(m_progress, *changes, m_paths, m_tokens)
                         : std::make_unique<CFileEnumerate>(m_progress, m_paths, m_tokens);
        EXPECT_TRUE(e->Initialize());
        e->IsFirstSnapshotTaken();
        return e;
    }

    // The coordinator's two steps: the comparison, then its change documents.
    static Result CompareAndWrite(CFileEnumerate& e)
    {
        Result compared = e.CompareSnapshot();
        return compared ? e.WriteChangeDocuments() : compared;
    }

    std::wstring ErrorLogPath() const { return m_root / L"ErrorLog.txt"; }
    // Opens the log afresh (emptied), as a new run of the program does.
    void ReopenLog()
    {
        m_log.reset();
        m_log.emplace(m_root.Path());
    }
    std::string ErrorLog() const { return ReadFileBytes(ErrorLogPath()); }
    std::wstring Tree() const { return m_root / L"tree"; }
    std::wstring TreeRoot() const { return m_root / L"tree\\"; }
    std::wstring In(const std::wstring& name) const { return m_root / (L"tree\\" + name); }
    std::vector<SnapshotFileEntry> FirstFile(const CFileEnumerate& e) const
    {
        return ParseSnapshotFile(ReadFileBytes(e.FirstSnapshotPath()));
    }

    TempFolder m_root;
    CProgressState m_progress;
    std::optional<ScopedCurrentDirectory> m_cd;
    std::optional<ScopedFileLog> m_log;
    // The work paths and token values of the test, as a run's session holds them.
    WorkPaths m_paths;
    FolderTokenValues m_tokens;
};
