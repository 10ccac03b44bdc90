#include "common/Paths.h"
#include "common/StopToken.h"
#include "tests/engine/FileTestFixture.h"

#include <algorithm>
#include <atomic>
#include <thread>

namespace {

// Wine on Linux cannot set creation times; compare with what is reported.
FILETIME ReportedCreationTime(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    EXPECT_TRUE(GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data));
    return data.ftCreationTime;
}

using FileSnapshot = FileEnumerateFixture;

std::ptrdiff_t IndexOf(const std::vector<SnapshotFileEntry>& entries, const std::string& path)
{
    const auto it = std::find_if(entries.begin(), entries.end(), [&](const auto& e) { return e.Path == path; });
    return it == entries.end() ? -1 : it - entries.begin();
}

// Names in the order the platform's enumeration gives them.
std::vector<std::wstring> ListFolder(const std::wstring& folder)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    HANDLE h = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (h == INVALID_HANDLE_VALUE)
        return names;
    do {
        const std::wstring name = data.cFileName;
        if (name != L"." && name != L"..")
            names.push_back(name);
    } while (FindNextFileW(h, &data));
    FindClose(h);
    return names;
}

} // namespace

TEST_F(FileSnapshot, WritesOneExactRecordPerEntryFolderBeforeItsContents)
{
    MakeFolder(In(L"Sub"));
    WriteFileBytes(In(L"Sub\\b.bin"), "12345");
    WriteFileBytes(In(L"a.txt"), "abc");
    const FILETIME created = MakeFileTime(2019, 11, 2, 8, 9, 10, 4000000);
    const FILETIME written = MakeFileTime(2021, 3, 4, 5, 6, 7, 9999999); // cut, never rounded
    const FILETIME winter = MakeFileTime(2022, 1, 15, 23, 59, 59);
    SetTimes(In(L"a.txt"), created, written);
    SetTimes(In(L"Sub\\b.bin"), created, winter);
    SetTimes(In(L"Sub"), created, winter);

    auto e = NewEnumerator();
    ASSERT_FALSE(e->FirstSnapshotTaken());
    EXPECT_TRUE(e->CaptureSnapshot({TreeRoot()}));
    EXPECT_TRUE(e->FirstSnapshotTaken());
    EXPECT_EQ(e->Counts().Folders, 1);
    EXPECT_EQ(e->Counts().Files, 2);
    EXPECT_EQ(m_progress.DetailText(), L"Folders Scanned: 1  Files Scanned: 2");
    EXPECT_EQ(m_progress.StatusText(), L"Scanning File System:- " + TreeRoot());
    EXPECT_EQ(m_progress.StepCount(), 1);

    const auto entries = FirstFile(*e);
    ASSERT_EQ(entries.size(), 3u);
    const std::string tree = ToUtf8(Tree());
    for (const auto& entry : entries) {
        EXPECT_EQ(entry.Length, 1056u);
        EXPECT_TRUE(entry.PathPaddingZero) << entry.Path;
        EXPECT_TRUE(entry.PaddingZero) << entry.Path;
    }
    const auto a = IndexOf(entries, tree + "\\a.txt");
    const auto sub = IndexOf(entries, tree + "\\Sub");
    const auto b = IndexOf(entries, tree + "\\Sub\\b.bin");
    ASSERT_GE(a, 0);
    ASSERT_GE(sub, 0);
    ASSERT_GE(b, 0);
    EXPECT_EQ(b, sub + 1) << "a folder's contents follow its own entry at once";

    // Siblings stand in the platform's enumeration order.
    const auto names = ListFolder(Tree());
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(names[0] == L"a.txt", a < sub);

    EXPECT_EQ(entries[a].Size, 3u);
    EXPECT_EQ(entries[a].IsDirectory, 0);
    EXPECT_EQ(entries[a].CreationTime, ReferenceSeconds(ReportedCreationTime(In(L"a.txt"))));
    EXPECT_EQ(entries[a].LastWriteTime, ReferenceSeconds(written));
    EXPECT_EQ(entries[b].Size, 5u);
    EXPECT_EQ(entries[b].LastWriteTime, ReferenceSeconds(winter));
    EXPECT_EQ(entries[sub].Size, 0u);
    EXPECT_EQ(entries[sub].IsDirectory, 1);
    EXPECT_EQ(entries[sub].LastWriteTime, ReferenceSeconds(winter));

    TIME_ZONE_INFORMATION zone{};
    if (GetTimeZoneInformation(&zone) == TIME_ZONE_ID_UNKNOWN && zone.Bias == 0) {
        // With no offset the round trip through local time is the plain count.
        EXPECT_EQ(entries[a].LastWriteTime, UnixSeconds(written));
    }

    // The in-memory snapshot holds the same entries under their wide paths.
    const SnapshotMap& map = e->Snapshot(SnapshotKind::First);
    ASSERT_EQ(map.size(), 3u);
    for (const auto& entry : entries) {
        const auto it = map.find(FromUtf8(entry.Path));
        ASSERT_NE(it, map.end()) << entry.Path;
        EXPECT_EQ(it->second.LastWriteTime, entry.LastWriteTime);
        EXPECT_EQ(it->second.Size, entry.Size);
        EXPECT_EQ(it->second.IsDirectory, entry.IsDirectory == 1);
    }
}

TEST_F(FileSnapshot, TimesOutsideTheCalendarRangeAreZero)
{
    WriteFileBytes(In(L"old.txt"), "x");
    const FILETIME before1970 = MakeFileTime(1965, 6, 1, 12, 0, 0);
    SetTimes(In(L"old.txt"), before1970, before1970);

    auto e = NewEnumerator();
    ASSERT_TRUE(e->CaptureSnapshot({TreeRoot()}));
    const auto entries = FirstFile(*e);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].LastWriteTime, ReferenceSeconds(before1970));
    EXPECT_EQ(entries[0].LastWriteTime, 0) << "a time before 1970 cannot be converted";
    EXPECT_EQ(entries[0].CreationTime, ReferenceSeconds(ReportedCreationTime(In(L"old.txt"))));
}

TEST_F(FileSnapshot, RootsWithoutTrailingBackslashAndSeveralRootsInListOrder)
{
    MakeFolder(In(L"one"));
    MakeFolder(In(L"two"));
    WriteFileBytes(In(L"one\\x.txt"), "1");
    WriteFileBytes(In(L"two\\y.txt"), "2");

    auto e = NewEnumerator();
    ASSERT_TRUE(e->CaptureSnapshot({In(L"two"), In(L"one\\")}));
    const auto entries = FirstFile(*e);
    ASSERT_EQ(entries.size(), 2u) << "the roots themselves get no entry";
    EXPECT_EQ(entries[0].Path, ToUtf8(In(L"two\\y.txt")));
    EXPECT_EQ(entries[1].Path, ToUtf8(In(L"one\\x.txt")));
    EXPECT_EQ(m_progress.StepCount(), 2);
}

TEST_F(FileSnapshot, EmptyRootListWritesAnEmptyFileAndStillMarksTheFirstSnapshot)
{
    auto e = NewEnumerator();
    EXPECT_TRUE(e->CaptureSnapshot({}));
    EXPECT_TRUE(e->FirstSnapshotTaken());
    EXPECT_EQ(e->Counts().Folders, 0);
    EXPECT_EQ(e->Counts().Files, 0);
    ASSERT_TRUE(PathExists(e->FirstSnapshotPath()));
    EXPECT_EQ(ReadFileBytes(e->FirstSnapshotPath()).size(), 0u);

    // A new instance finds the file and knows the next capture is the second.
    auto next = NewEnumerator();
    EXPECT_TRUE(next->FirstSnapshotTaken());
}

TEST_F(FileSnapshot, IsFirstSnapshotTakenCreatesTheSnapshotFolder)
{
    CFileEnumerate e(m_paths, m_tokens);
    ASSERT_TRUE(e.Initialize());
    EXPECT_EQ(e.FirstSnapshotPath(), m_root / L"work\\SnapShot\\FileSystemDir\\FirstSnapShot.txt");
    EXPECT_EQ(e.SecondSnapshotPath(), m_root / L"work\\SnapShot\\FileSystemDir\\SecondSnapShot.txt");
    EXPECT_FALSE(IsFolder(m_root / L"work\\SnapShot\\FileSystemDir"));
    EXPECT_EQ(e.IsFirstSnapshotTaken(), 0);
    EXPECT_TRUE(IsFolder(m_root / L"work\\SnapShot\\FileSystemDir"));
    WriteFileBytes(e.FirstSnapshotPath(), "");
    EXPECT_EQ(e.IsFirstSnapshotTaken(), 1);
    EXPECT_TRUE(e.FirstSnapshotTaken());
}

TEST_F(FileSnapshot, ReloadGivesBackTheSameSnapshot)
{
    MakeFolder(In(L"Sub"));
    MakeFolder(In(L"Sub\\Deeper"));
    WriteFileBytes(In(L"Sub\\Deeper\\c.dat"), std::string(70000, 'c'));
    WriteFileBytes(In(L"a.txt"), "a");
    auto e = NewEnumerator();
    ASSERT_TRUE(e->CaptureSnapshot({TreeRoot()}));
    const SnapshotMap captured = e->Snapshot(SnapshotKind::First);
    ASSERT_EQ(captured.size(), 4u);

    auto reloaded = NewEnumerator();
    EXPECT_TRUE(reloaded->ReadFirstSnapshot());
    EXPECT_EQ(reloaded->Snapshot(SnapshotKind::First), captured);
    EXPECT_EQ(reloaded->Snapshot(SnapshotKind::First).at(In(L"Sub\\Deeper\\c.dat")).Size, 70000u);
}

TEST_F(FileSnapshot, TwoCapturesOfAnUnchangedTreeGiveIdenticalRecords)
{
    MakeFolder(In(L"Sub"));
    WriteFileBytes(In(L"Sub\\b.bin"), "12345");
    auto e = NewEnumerator();
    ASSERT_TRUE(e->CaptureSnapshot({TreeRoot()}));
    const std::string first = ReadFileBytes(e->FirstSnapshotPath());
    ASSERT_TRUE(e->CaptureSnapshot({TreeRoot()}));
    const std::string second = ReadFileBytes(e->SecondSnapshotPath());
    EXPECT_EQ(first, second);
    EXPECT_EQ(e->Snapshot(SnapshotKind::First), e->Snapshot(SnapshotKind::Second));
}

TEST_F(FileSnapshot, ExcludedFoldersAreNeitherRecordedNorEnteredNorCounted)
{
    // The tree is the token home: AppData\INIBackup is the built-in exclusion.
    const std::wstring root = m_root.Path() + L"\\";
    MakeFolder(m_root / L"AppData\\INIBackup\\Windows");
    WriteFileBytes(m_root / L"AppData\\INIBackup\\Windows\\win.ini", "[a]\r\nb=c\r\n");
    WriteFileBytes(m_root / L"AppData\\kept.txt", "k");
    MakeFolder(m_root / L"Profile");
    MakeFolder(m_root / L"Profile\\Local Settings");
    MakeFolder(m_root / L"Profile\\Local Settings\\Temp");
    WriteFileBytes(m_root / L"Profile\\Local Settings\\Temp\\junk.txt", "j");
    MakeFolder(In(L"Skip"));
    WriteFileBytes(In(L"Skip\\inside.txt"), "i");
    MakeFolder(In(L"SkipToo"));
    WriteFileBytes(In(L"SkipToo\\inside.txt"), "i");
    MakeFolder(In(L"Kept"));
    WriteFileBytes(In(L"Kept\\inside.txt"), "i");
    MakeFolder(m_root / L"Windows");
    MakeFolder(m_root / L"Windows\\Logs");

    auto e = NewEnumerator();
    // Real form in lower case with a trailing backslash, and token form.
    std::wstring real = In(L"skip\\");
    e->AddExcludedFolder(real);
    e->AddExcludedFolder(L"%windir%\\Logs");
    e->AddExcludedFolder(In(L"SkipToo").substr(0, m_root.Path().size()) + L"\\TREE\\SKIPTOO");
    EXPECT_EQ(e->ExcludedFolders().count(ToUpperAscii(real.substr(0, real.size() - 1))), 1u);
    EXPECT_EQ(e->ExcludedFolders().count(L"%WINDIR%\\LOGS"), 1u);
    EXPECT_EQ(e->ExcludedFolders().count(L"%APPDATA%\\INIBACKUP"), 1u);

    ASSERT_TRUE(e->CaptureSnapshot({root}));
    const SnapshotMap& map = e->Snapshot(SnapshotKind::First);
    EXPECT_EQ(map.count(m_root / L"AppData\\INIBackup"), 0u);
    EXPECT_EQ(map.count(m_root / L"AppData\\INIBackup\\Windows"), 0u);
    EXPECT_EQ(map.count(m_root / L"AppData\\kept.txt"), 1u);
    EXPECT_EQ(map.count(m_root / L"Profile\\Local Settings"), 1u);
    EXPECT_EQ(map.count(m_root / L"Profile\\Local Settings\\Temp"), 0u);
    EXPECT_EQ(map.count(m_root / L"Profile\\Local Settings\\Temp\\junk.txt"), 0u);
    EXPECT_EQ(map.count(In(L"Skip")), 0u);
    EXPECT_EQ(map.count(In(L"Skip\\inside.txt")), 0u);
    EXPECT_EQ(map.count(In(L"SkipToo")), 0u);
    EXPECT_EQ(map.count(In(L"SkipToo\\inside.txt")), 0u);
    EXPECT_EQ(map.count(In(L"Kept\\inside.txt")), 1u);
    EXPECT_EQ(map.count(m_root / L"Windows"), 1u);
    EXPECT_EQ(map.count(m_root / L"Windows\\Logs"), 0u);

    int folders = 0, files = 0;
    for (const auto& [path, entry] : map)
        (entry.IsDirectory ? folders : files)++;
    EXPECT_EQ(e->Counts().Folders, folders);
    EXPECT_EQ(e->Counts().Files, files);
    EXPECT_EQ(FirstFile(*e).size(), map.size());
}

TEST_F(FileSnapshot, AnExcludedRootIsSkippedButCountsAsAStep)
{
    MakeFolder(m_root / L"AppData\\INIBackup\\x");
    WriteFileBytes(In(L"a.txt"), "a");
    auto e = NewEnumerator();
    m_progress.SetStatusText(L"before");
    ASSERT_TRUE(e->CaptureSnapshot({m_root / L"AppData\\INIBackup\\"}));
    EXPECT_EQ(m_progress.StatusText(), L"before");
    EXPECT_EQ(m_progress.StepCount(), 1);
    EXPECT_TRUE(e->Snapshot(SnapshotKind::First).empty());

    // A root added as exclusion at run time is skipped the same way.
    e->Reset();
    e->SetFirstSnapshotTaken(false);
    e->AddExcludedFolder(Tree());
    ASSERT_TRUE(e->CaptureSnapshot({TreeRoot()}));
    EXPECT_TRUE(e->Snapshot(SnapshotKind::First).empty());
    EXPECT_EQ(m_progress.StepCount(), 2);
}

TEST_F(FileSnapshot, UnreadableRootIsCountedAndLoggedOnce)
{
    WriteFileBytes(In(L"a.txt"), "a");
    auto e = NewEnumerator();
    EXPECT_TRUE(e->CaptureSnapshot({In(L"gone\\"), In(L"gone too\\"), TreeRoot()}));
    EXPECT_EQ(e->Counts().UnreadableFolders, 2);
    EXPECT_EQ(e->Counts().Files, 1) << "the walk goes on after a folder it cannot read";
    e.reset();
    const std::string log = ErrorLog();
    EXPECT_NE(log.find("CFileEnumerate::CaptureSnapshot: 2 folder(s) could not be read and were skipped"),
              std::string::npos)
        << log;
}

TEST_F(FileSnapshot, PathsLongerThanTheRecordAreSkippedWithALogLine)
{
    // 80 CJK characters are 240 UTF-8 bytes (a name the host file system
    // takes); four such levels below the tree no longer fit 1023 bytes.
    const std::wstring name(80, L'\u6f22');
    std::vector<std::wstring> levels{Tree() + L"\\" + name};
    while (ToUtf8(levels.back()).size() <= 1023)
        levels.push_back(levels.back() + L"\\" + name);
    ASSERT_GE(levels.size(), 2u);
    for (const auto& level : levels) {
        ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + level).c_str(), nullptr)) << GetLastError();
        WriteFileBytes(L"\\\\?\\" + level + L"\\f.txt", "f");
    }
    const std::wstring& tooLong = levels.back();
    const std::wstring& deepest = levels[levels.size() - 2];
    ASSERT_GT(deepest.size(), static_cast<std::size_t>(MAX_PATH)) << "the walk must go beyond MAX_PATH";

    auto e = NewEnumerator();
    EXPECT_TRUE(e->CaptureSnapshot({TreeRoot()}));
    const SnapshotMap& map = e->Snapshot(SnapshotKind::First);
    const int kept = static_cast<int>(levels.size()) - 1;
    EXPECT_EQ(map.count(deepest), 1u);
    EXPECT_EQ(map.count(tooLong), 0u);
    EXPECT_EQ(map.count(tooLong + L"\\f.txt"), 0u);
    EXPECT_EQ(e->Counts().Folders, kept);
    EXPECT_EQ(e->Counts().Files, ToUtf8(deepest + L"\\f.txt").size() <= 1023 ? kept : kept - 1);
    const auto entries = FirstFile(*e);
    ASSERT_EQ(entries.size(), map.size());
    for (const auto& entry : entries)
        EXPECT_LE(entry.Path.size(), 1023u);

    e.reset();
    const std::string log = ErrorLog();
    EXPECT_NE(log.find("CFileEnumerate::ScanFolder: Path longer than 1023 bytes not recorded: " + ToUtf8(tooLong)),
              std::string::npos)
        << log;
}

TEST_F(FileSnapshot, SnapshotFileThatCannotBeCreatedFailsWithALogLineButFillsTheMap)
{
    WriteFileBytes(In(L"a.txt"), "a");
    CFileEnumerate e(m_paths, m_tokens);
    ASSERT_TRUE(e.Initialize()); // FileSystemDir is never made: the file cannot be created
    const Result captured = e.CaptureSnapshot({TreeRoot()});
    EXPECT_EQ(captured.Code(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(e.Snapshot(SnapshotKind::First).count(In(L"a.txt")), 1u);
    EXPECT_TRUE(e.FirstSnapshotTaken());
    // The line names the file, then the system's code and text; the result carries it.
    const std::string line = "CFileEnumerate::CaptureSnapshot: Unable to create the snapshot file " +
                             ToUtf8(e.FirstSnapshotPath()) + " (error 3: " +
                             ToUtf8(Result::SystemText(ERROR_PATH_NOT_FOUND)) + ")";
    EXPECT_EQ(ToUtf8(captured.Text()), line);
    const std::string log = ErrorLog();
    EXPECT_NE(log.find(line + "\r\n"), std::string::npos) << log;
}

TEST_F(FileSnapshot, DamagedSnapshotFilesAreReadUpToTheDamage)
{
    MakeFolder(In(L"Sub"));
    WriteFileBytes(In(L"a.txt"), "a");
    auto e = NewEnumerator();
    ASSERT_TRUE(e->CaptureSnapshot({TreeRoot()}));
    const std::wstring file = e->FirstSnapshotPath();
    const std::string good = ReadFileBytes(file);
    ASSERT_EQ(good.size(), 2 * 1060u);
    const std::string firstPath = ParseSnapshotFile(good)[0].Path;
    e.reset();

    struct Case
    {
        const char* name;
        std::string bytes;
        const char* logText;
    };
    std::string badLength = good.substr(0, 1060) + good.substr(1060);
    const std::uint32_t bigLength = 4000;
    std::memcpy(badLength.data() + 1060, &bigLength, 4);
    std::string unterminated = good;
    std::memset(unterminated.data() + 1064, 'x', 1024);
    const Case cases[] = {
        {"bad length field", badLength, "Bad record length 4000 at offset 1060"},
        {"record cut short", good.substr(0, 1060 + 4 + 500), "Cut entry at offset 1060"},
        {"length field cut short", good.substr(0, 1060 + 2), "Cut entry at offset 1060"},
        {"path without terminator", unterminated, "Unterminated path at offset 1060"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFileBytes(file, c.bytes);
        auto reader = NewEnumerator();
        EXPECT_TRUE(reader->ReadFirstSnapshot());
        ASSERT_EQ(reader->Snapshot(SnapshotKind::First).size(), 1u);
        EXPECT_EQ(reader->Snapshot(SnapshotKind::First).begin()->first, FromUtf8(firstPath));
        reader.reset();
        EXPECT_NE(ErrorLog().find(c.logText), std::string::npos) << ErrorLog();
    }
}

TEST_F(FileSnapshot, SecondCaptureReloadsTheFirstAndBacksUpNoIniFile)
{
    WriteFileBytes(In(L"app.ini"), "[Main]\r\nKey=1\r\n");
    auto e = NewEnumerator();
    ASSERT_TRUE(e->CaptureSnapshot({TreeRoot()}));
    const std::wstring packPath = CIniBackupPack::PackPathIn(m_paths.IniBackupFolder);
    const auto backupOf = [&packPath](const std::wstring& path) {
        CIniBackupPack pack;
        EXPECT_TRUE(pack.Load(packPath));
        return pack.Contents(path);
    };
    EXPECT_EQ(backupOf(In(L"app.ini")), "[Main]\r\nKey=1\r\n") << "the first capture backs up INI files";

    // A restart: the first snapshot comes back from its file.
    e = NewEnumerator();
    ASSERT_TRUE(e->FirstSnapshotTaken());
    WriteFileBytes(m_root / L"work\\Temp\\old.xml", "x");
    WriteFileBytes(In(L"app.ini"), "[Main]\r\nKey=2\r\n");
    WriteFileBytes(In(L"new.ini"), "[N]\r\nk=v\r\n");
    ASSERT_TRUE(e->CaptureSnapshot({TreeRoot()}));
    EXPECT_EQ(m_progress.StatusText(), L"Scanning File System:- " + TreeRoot());
    EXPECT_EQ(e->Snapshot(SnapshotKind::First).size(), 1u);
    EXPECT_EQ(e->Snapshot(SnapshotKind::Second).size(), 2u);
    EXPECT_EQ(ParseSnapshotFile(ReadFileBytes(e->SecondSnapshotPath())).size(), 2u);
    EXPECT_EQ(backupOf(In(L"app.ini")), "[Main]\r\nKey=1\r\n");
    EXPECT_EQ(backupOf(In(L"new.ini")), std::nullopt);
    EXPECT_FALSE(PathExists(m_root / L"work\\Temp")) << "the second capture clears the old change files";

    // A repeated second capture describes the tree as it is now.
    ASSERT_TRUE(DeleteFileW(In(L"new.ini").c_str()));
    ASSERT_TRUE(e->CaptureSnapshot({TreeRoot()}));
    EXPECT_EQ(e->Snapshot(SnapshotKind::Second).size(), 1u);
    EXPECT_EQ(e->Snapshot(SnapshotKind::Second).count(In(L"new.ini")), 0u);
}

TEST_F(FileSnapshot, IniTestAndBackupPath)
{
    EXPECT_TRUE(IsIniFilePath(L"C:\\Windows\\win.ini"));
    EXPECT_TRUE(IsIniFilePath(L"C:\\APP\\SETUP.INI"));
    EXPECT_TRUE(IsIniFilePath(L"C:\\x.ini.d\\y.ini"));
    EXPECT_FALSE(IsIniFilePath(L"C:\\app.Ini"));
    EXPECT_FALSE(IsIniFilePath(L"C:\\app.ini.bak"));
    EXPECT_FALSE(IsIniFilePath(L".ini"));
    EXPECT_TRUE(IsIniFilePath(L"a.ini"));

    EXPECT_EQ(IniBackupPathOf(m_paths.IniBackupFolder, L"C:\\Windows\\win.ini"), m_root / L"AppData\\INIBackup\\Windows\\win.ini");
    EXPECT_EQ(IniBackupPathOf(m_paths.IniBackupFolder, L"C:\\\\a\\\\b.ini"), m_root / L"AppData\\INIBackup\\a\\b.ini");
}

// The pack finds a backup by the exact path the walk met, among many: the
// last backup of a path added twice, nothing for a path that differs in one
// unit or only in letter case, nothing once unloaded.
TEST_F(FileSnapshot, IniBackupPackFindsEachBackupByItsExactPath)
{
    const std::wstring packPath = CIniBackupPack::PackPathIn(m_paths.IniBackupFolder);
    MakeFolder(In(L"many"));
    CIniBackupPack pack;
    ASSERT_TRUE(pack.Create(packPath));
    WriteFileBytes(In(L"twice.ini"), "old");
    pack.Add(In(L"twice.ini"));
    for (int i = 0; i < 300; ++i) {
        WriteFileBytes(In(L"many\\f" + std::to_wstring(i) + L".ini"), std::to_string(i));
        pack.Add(In(L"many\\f" + std::to_wstring(i) + L".ini"));
    }
    WriteFileBytes(In(L"twice.ini"), "new");
    pack.Add(In(L"twice.ini"));
    ASSERT_TRUE(pack.Close());

    ASSERT_TRUE(pack.Load(packPath));
    const std::pair<const wchar_t*, std::optional<std::string>> cases[] = {
        {L"twice.ini", "new"},      {L"many\\f0.ini", "0"},     {L"many\\f299.ini", "299"},
        {L"many\\F7.ini", std::nullopt}, {L"many\\f9.INI", std::nullopt}, {L"many\\f300.ini", std::nullopt},
    };
    for (const auto& [name, backup] : cases)
        EXPECT_EQ(pack.Contents(In(name)), backup) << ToUtf8(name);
    for (int i = 0; i < 300; ++i)
        ASSERT_EQ(pack.Contents(In(L"many\\f" + std::to_wstring(i) + L".ini")), std::to_string(i)) << i;
    pack.Unload();
    EXPECT_EQ(pack.Contents(In(L"twice.ini")), std::nullopt);
    EXPECT_EQ(ErrorLog().find("CIniBackupPack"), std::string::npos) << ErrorLog();
}

TEST_F(FileSnapshot, NonAsciiPathsSurviveCaptureAndReload)
{
    const std::wstring cafe = L"Caf\u00e9";
    const std::wstring naive = L"na\u00efve.txt";
    const std::wstring cjk = L"\u6587\u4ef6\U0001F600.dat";
    MakeFolder(In(cafe));
    WriteFileBytes(In(cafe + L"\\" + naive), "n");
    WriteFileBytes(In(cjk), "c");

    auto e = NewEnumerator();
    ASSERT_TRUE(e->CaptureSnapshot({TreeRoot()}));
    const auto entries = FirstFile(*e);
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_GE(IndexOf(entries, ToUtf8(Tree()) + "\\Caf\xc3\xa9\\na\xc3\xafve.txt"), 0);
    EXPECT_GE(IndexOf(entries, ToUtf8(Tree()) + "\\\xe6\x96\x87\xe4\xbb\xb6\xf0\x9f\x98\x80.dat"), 0);
    EXPECT_EQ(e->Snapshot(SnapshotKind::First).count(In(cafe + L"\\" + naive)), 1u);
    EXPECT_EQ(e->Snapshot(SnapshotKind::First).count(In(cjk)), 1u);

    auto reloaded = NewEnumerator();
    EXPECT_TRUE(reloaded->ReadFirstSnapshot());
    EXPECT_EQ(reloaded->Snapshot(SnapshotKind::First), e->Snapshot(SnapshotKind::First));
}

TEST_F(FileSnapshot, FolderLinksAreRecordedButNotEntered)
{
    MakeFolder(In(L"target"));
    WriteFileBytes(In(L"target\\t.txt"), "t");
    MakeFolder(m_root / L"outside");
    WriteFileBytes(m_root / L"outside\\o.txt", "o");
    if (!CreateSymbolicLinkW(In(L"link").c_str(), (m_root / L"outside").c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY))
        GTEST_SKIP() << "folder links cannot be made here (error " << GetLastError() << ")";
    const DWORD attributes = GetFileAttributesW(In(L"link").c_str());
    if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        GTEST_SKIP() << "the platform does not report the link as a reparse point";
    const auto listed = ListFolder(Tree());
    if (std::find(listed.begin(), listed.end(), L"link") == listed.end())
        GTEST_SKIP() << "the platform's enumeration does not list folder links (Wine 8)";

    auto e = NewEnumerator();
    ASSERT_TRUE(e->CaptureSnapshot({TreeRoot()}));
    const SnapshotMap& map = e->Snapshot(SnapshotKind::First);
    ASSERT_EQ(map.count(In(L"link")), 1u);
    EXPECT_TRUE(map.at(In(L"link")).IsDirectory);
    EXPECT_EQ(map.count(In(L"link\\o.txt")), 0u);
    EXPECT_EQ(map.count(In(L"target\\t.txt")), 1u);
    RemoveDirectoryW(In(L"link").c_str());
}

TEST_F(FileSnapshot, FileInADriveRootHasOneBackslash)
{
    const std::wstring drive = L"R:";
    WriteFileBytes(In(L"top.txt"), "t");
    if (!DefineDosDeviceW(DDD_RAW_TARGET_PATH, drive.c_str(), (L"\\??\\" + Tree()).c_str()))
        GTEST_SKIP() << "no drive letter can be mapped here (error " << GetLastError() << ")";
    if (!PathExists(drive + L"\\top.txt")) {
        DefineDosDeviceW(DDD_REMOVE_DEFINITION, drive.c_str(), nullptr);
        GTEST_SKIP() << "the mapped drive letter does not reach the folder";
    }
    auto e = NewEnumerator();
    const bool captured = static_cast<bool>(e->CaptureSnapshot({drive + L"\\"}));
    DefineDosDeviceW(DDD_REMOVE_DEFINITION, drive.c_str(), nullptr);
    ASSERT_TRUE(captured);
    const auto entries = FirstFile(*e);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].Path, "R:\\top.txt");
}

TEST_F(FileSnapshot, AStopDuringALongWalkEndsItWithoutASnapshotFile)
{
    // A long walk: one small tree, given as root many times over.
    for (int f = 0; f < 10; ++f) {
        MakeFolder(In(L"d" + std::to_wstring(f)));
        for (int i = 0; i < 20; ++i)
            WriteFileBytes(In(L"d" + std::to_wstring(f) + L"\\f" + std::to_wstring(i) + L".txt"), "x");
    }
    const std::vector<std::wstring> roots(400, Tree());

    for (const bool second : {false, true}) {
        SCOPED_TRACE(second ? "second capture" : "first capture");
        ReopenLog();
        auto e = NewEnumerator();
        if (second) {
            ASSERT_TRUE(e->CaptureSnapshot({Tree()}));
        }
        const std::wstring target = second ? e->SecondSnapshotPath() : e->FirstSnapshotPath();
        m_progress.SetStepCount(0);

        std::stop_source stop;
        std::atomic<int> result{-1};
        std::thread walker([&] {
            CStopScope scope(stop.get_token());
            result = static_cast<int>(e->CaptureSnapshot(roots).Code());
        });
        // Stop once two roots are done, as Cancel would in the middle.
        while (m_progress.StepCount() < 2 && result == -1)
            Sleep(1);
        stop.request_stop();
        walker.join();

        EXPECT_EQ(result, static_cast<int>(ERROR_CANCELLED));
        EXPECT_LT(m_progress.StepCount(), static_cast<int>(roots.size())) << "the walk went on to the end";
        EXPECT_FALSE(PathExists(target)) << "a cut snapshot file would be trusted";
        EXPECT_EQ(e->FirstSnapshotTaken(), second) << "a stopped first capture counts as not taken";
        EXPECT_EQ(PathExists(CIniBackupPack::PackPathIn(m_paths.IniBackupFolder)), second)
            << "a stopped first capture leaves no INI backups";
        if (second) {
            EXPECT_TRUE(PathExists(e->FirstSnapshotPath())) << "the pending capture stays resumable";
        }
        // The log starts afresh with each enumerator.
        const std::string log = ErrorLog();
        EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << log;
        EXPECT_NE(log.find("CFileEnumerate::CaptureSnapshot: Stopped before the walk was complete"), std::string::npos);
    }
}

TEST_F(FileSnapshot, SystemDriveExclusionsMatchTheWalkedPaths)
{
    // The tree stands for the system drive: "%SYSDRIVE%\X" entries, as the
    // shipped include/exclude file has them, must keep X out.
    m_tokens.systemdrive = Tree();
    MakeFolder(In(L"$Recycle.Bin"));
    WriteFileBytes(In(L"$Recycle.Bin\\gone.txt"), "g");
    WriteFileBytes(In(L"pagefile.sys"), "p");
    WriteFileBytes(In(L"kept.txt"), "k");
    auto e = NewEnumerator();
    e->AddExcludedFolder(L"%SYSDRIVE%\\$Recycle.Bin");
    e->AddExcludedFolder(L"%sysdrive%\\PAGEFILE.SYS");
    ASSERT_TRUE(e->CaptureSnapshot({TreeRoot()}));
    const SnapshotMap& map = e->Snapshot(SnapshotKind::First);
    EXPECT_EQ(map.count(In(L"$Recycle.Bin")), 0u);
    EXPECT_EQ(map.count(In(L"$Recycle.Bin\\gone.txt")), 0u);
    EXPECT_EQ(map.count(In(L"pagefile.sys")), 0u);
    EXPECT_EQ(map.count(In(L"kept.txt")), 1u);
}

TEST_F(FileSnapshot, ADamagedOrUnfinishedFirstSnapshotIsNeverCompared)
{
    for (int i = 0; i < 4; ++i)
        WriteFileBytes(In(L"f" + std::to_wstring(i) + L".txt"), "x");
    struct Case
    {
        const char* name;
        void (*damage)(const std::wstring& file);
        const char* logText;
    };
    const Case cases[] = {
        {"cut at a record boundary",
         [](const std::wstring& file) { WriteFileBytes(file, ReadFileBytes(file).substr(0, 2 * 1060)); },
         "does not match its completion record"},
        {"record missing",
         [](const std::wstring& file) { ASSERT_TRUE(DeleteFileW((file + L".complete").c_str())); },
         "has no completion record"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        {
            auto first = NewEnumerator();
            first->SetFirstSnapshotTaken(false);
            ASSERT_TRUE(first->CaptureSnapshot({TreeRoot()}));
            c.damage(first->FirstSnapshotPath());
        }
        auto second = NewEnumerator();
        ASSERT_TRUE(second->FirstSnapshotTaken());
        EXPECT_EQ(second->CaptureSnapshot({TreeRoot()}).Code(), static_cast<DWORD>(ERROR_FILE_CORRUPT));
        EXPECT_TRUE(second->Snapshot(SnapshotKind::Second).empty());
        second.reset();
        EXPECT_NE(ErrorLog().find("FirstSnapShot.txt " + std::string(c.logText)), std::string::npos) << ErrorLog();
    }
}
