#include "common/Paths.h"
#include "tests/engine/FileTestFixture.h"

namespace {

using FileCompare = FileEnumerateFixture;

SnapshotEntry File(std::int64_t written, std::uint64_t size)
{
    return SnapshotEntry{written, size, false};
}
SnapshotEntry Folder(std::int64_t written)
{
    return SnapshotEntry{written, 0, true};
}

using Files = std::vector<std::wstring>;

} // namespace

TEST_F(FileCompare, PairsEntriesByExactPathAndGroupsChangesByFolder)
{
    // Without a raw project file the writer stops at once and leaves the maps
    // as the comparison filed them (it would prune files that do not exist).
    ASSERT_TRUE(DeleteFileW((m_root / L"Raw.xml").c_str()));
    auto e = NewEnumerator();
    e->SetFirstSnapshotTaken(true);
    SnapshotMap before, after;
    before[L"C:\\App"] = Folder(100);
    before[L"C:\\App\\same.dll"] = File(100, 10);
    before[L"C:\\App\\bigger.dll"] = File(100, 10);
    before[L"C:\\App\\newer.dll"] = File(100, 10);
    before[L"C:\\App\\created.dll"] = File(100, 10);
    before[L"C:\\App\\a.txt"] = File(100, 1);
    before[L"C:\\gone.txt"] = File(100, 1);
    before[L"C:\\Old"] = Folder(100);
    before[L"C:\\Old\\x.bin"] = File(100, 1);

    after[L"C:\\App"] = Folder(200);
    after[L"C:\\App\\same.dll"] = File(100, 10);
    after[L"C:\\App\\bigger.dll"] = File(100, 11);
    after[L"C:\\App\\newer.dll"] = File(101, 10);
    after[L"C:\\App\\created.dll"] = File(100, 10); // a new creation time is not kept at all
    after[L"C:\\App\\A.TXT"] = File(100, 1);            // a case-only rename
    after[L"C:\\New"] = Folder(200);
    after[L"C:\\New\\n1.txt"] = File(200, 1);
    after[L"C:\\New\\Sub\\n2.txt"] = File(200, 1);
    after[L"C:\\Empty"] = Folder(200);
    e->SetSnapshots(std::move(before), std::move(after));

    // Without a raw project file the change document cannot be written.
    EXPECT_FALSE(CompareAndWrite(*e));
    EXPECT_EQ(m_progress.StatusText(), L"Comparing File System Snapshot");
    EXPECT_TRUE(e->Snapshot(SnapshotKind::First).empty());
    EXPECT_TRUE(e->Snapshot(SnapshotKind::Second).empty());

    const DirectoryChangeMap modified = {{L"C:\\App", Files{L"C:\\App\\bigger.dll", L"C:\\App\\newer.dll"}}};
    const DirectoryChangeMap deleted = {
        {L"C:", Files{L"C:\\gone.txt"}},
        {L"C:\\App", Files{L"C:\\App\\a.txt"}},
        {L"C:\\Old", Files{L"C:\\Old\\x.bin"}},
    };
    const DirectoryChangeMap added = {
        {L"C:\\App", Files{L"C:\\App\\A.TXT"}},
        {L"C:\\Empty", Files{}},
        {L"C:\\New", Files{L"C:\\New\\n1.txt"}},
        {L"C:\\New\\Sub", Files{L"C:\\New\\Sub\\n2.txt"}},
    };
    EXPECT_EQ(e->Changes().Files(ChangeOrigin::Modified), modified);
    EXPECT_EQ(e->Changes().Files(ChangeOrigin::Deleted), deleted);
    EXPECT_EQ(e->Changes().Files(ChangeOrigin::Added), added);

    // A comparison with nothing captured files nothing more.
    m_progress.SetStatusText(L"other");
    EXPECT_FALSE(CompareAndWrite(*e));
    EXPECT_EQ(m_progress.StatusText(), L"other");
    EXPECT_EQ(e->Changes().Files(ChangeOrigin::Added), added);
}

TEST_F(FileCompare, AddChangeFilesByCategoryAndFolderKey)
{
    auto e = NewEnumerator();
    e->AddChange(ChangeOrigin::Added, L"C:\\App\\bin\\a.dll", false);
    e->AddChange(ChangeOrigin::Added, L"C:\\App\\bin\\b.dll", false);
    e->AddChange(ChangeOrigin::Added, L"C:\\App\\bin", true);
    e->AddChange(ChangeOrigin::Added, L"C:\\App\\\\doubled\\\\c.dll", false);
    e->AddChange(ChangeOrigin::Deleted, L"C:\\a.txt", false);
    e->AddChange(ChangeOrigin::Modified, L"C:\\App\\Empty", true);
    e->AddChange(ChangeOrigin::Modified, L"C:\\App\\app.Ini", false);
    // Only the three file lists name a file origin: a stored list path of
    // another letter case or another area files nothing.
    for (const wchar_t* other : {L"FileSystem//AddedItems//directorylist", NodePath::RegistryAdded})
        if (const auto list = ChangeListOf(other); list && list->Area == ChangeArea::Files)
            e->AddChange(list->Origin, L"C:\\App\\x.dll", false);

    EXPECT_EQ(e->Changes().Files(ChangeOrigin::Added), (DirectoryChangeMap{
                                   {L"C:\\App\\bin", Files{L"C:\\App\\bin\\a.dll", L"C:\\App\\bin\\b.dll"}},
                                   {L"C:\\App\\doubled", Files{L"C:\\App\\\\doubled\\\\c.dll"}},
                               }));
    EXPECT_EQ(e->Changes().Files(ChangeOrigin::Deleted), (DirectoryChangeMap{{L"C:", Files{L"C:\\a.txt"}}}));
    EXPECT_EQ(e->Changes().Files(ChangeOrigin::Modified), (DirectoryChangeMap{
                                      {L"C:\\App", Files{L"C:\\App\\app.Ini"}},
                                      {L"C:\\App\\Empty", Files{}},
                                  }));
}

TEST_F(FileCompare, IniFilesAndFoldersNamedLikeThemGoToTheIniTracker)
{
    auto e = NewEnumerator();
    e->SetFirstSnapshotTaken(true);
    WriteFileBytes(In(L"app.ini"), "[S]\r\nk=2\r\n");
    MakeFolder(In(L"x.ini"));
    e->AddChange(ChangeOrigin::Modified, In(L"app.ini"), false);
    e->AddChange(ChangeOrigin::Added, In(L"x.ini"), true);
    e->AddChange(ChangeOrigin::Added, In(L"UPPER.INI"), false);

    EXPECT_TRUE(e->Changes().Files(ChangeOrigin::Modified).empty());
    EXPECT_TRUE(e->Changes().Files(ChangeOrigin::Added).empty());
    // No backup of app.ini exists: every entry of the file counts as added.
    const IniChangeMap expected = {{In(L"app.ini"), {IniChangeEntry{L"S", L"k", L"2"}}}};
    EXPECT_EQ(e->Changes().Ini(ChangeOrigin::Added), expected);
    EXPECT_TRUE(e->Changes().Ini(ChangeOrigin::Modified).empty());
    EXPECT_TRUE(e->Changes().Ini(ChangeOrigin::Deleted).empty());
}

TEST_F(FileCompare, IdenticalSnapshotsGiveNoChanges)
{
    WriteFileBytes(In(L"a.txt"), "a");
    MakeFolder(In(L"Sub"));
    WriteFileBytes(In(L"Sub\\b.txt"), "b");
    auto e = NewEnumerator();
    ASSERT_TRUE(e->CaptureSnapshot({TreeRoot()}));
    ASSERT_TRUE(e->CaptureSnapshot({TreeRoot()}));
    ASSERT_EQ(e->Snapshot(SnapshotKind::First).size(), 3u);
    EXPECT_TRUE(CompareAndWrite(*e));
    EXPECT_TRUE(e->Changes().Files(ChangeOrigin::Added).empty());
    EXPECT_TRUE(e->Changes().Files(ChangeOrigin::Modified).empty());
    EXPECT_TRUE(e->Changes().Files(ChangeOrigin::Deleted).empty());
    EXPECT_TRUE(e->Snapshot(SnapshotKind::First).empty());
    EXPECT_TRUE(e->Snapshot(SnapshotKind::Second).empty());
}

TEST_F(FileCompare, ComparisonAloneFillsTheChangeSet)
{
    // The comparison writes nothing: what it found is read off the change
    // set, the raw project file in place (the writer would prune the files
    // that do not exist).
    struct Case
    {
        const char* name;
        SnapshotMap before, after;
        ChangeOrigin origin;
        DirectoryChangeMap expected; // the only map of the file area that is not empty
    };
    const Case cases[] = {
        {"larger file", {{L"C:\\A\\f.dll", File(1, 1)}}, {{L"C:\\A\\f.dll", File(1, 2)}}, ChangeOrigin::Modified,
         {{L"C:\\A", Files{L"C:\\A\\f.dll"}}}},
        {"newer file", {{L"C:\\A\\f.dll", File(1, 1)}}, {{L"C:\\A\\f.dll", File(2, 1)}}, ChangeOrigin::Modified,
         {{L"C:\\A", Files{L"C:\\A\\f.dll"}}}},
        {"gone file", {{L"C:\\A\\f.dll", File(1, 1)}}, {}, ChangeOrigin::Deleted, {{L"C:\\A", Files{L"C:\\A\\f.dll"}}}},
        {"new folder", {}, {{L"C:\\N", Folder(1)}}, ChangeOrigin::Added, {{L"C:\\N", Files{}}}},
        {"new link", {}, {{L"C:\\M\\go.LNK", File(1, 1)}}, ChangeOrigin::Added, {{L"C:\\M", Files{L"C:\\M\\go.LNK"}}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ChangeSet changes;
        auto e = NewEnumerator(&changes);
        e->SetFirstSnapshotTaken(true);
        e->SetSnapshots(c.before, c.after);
        ASSERT_TRUE(e->CompareSnapshot());
        ChangeSet expected;
        expected.Files(c.origin) = c.expected;
        EXPECT_EQ(changes, expected);
        EXPECT_EQ(&e->Changes(), &changes);
        EXPECT_EQ(e->AddedNotes().Links.size(), std::string_view(c.name) == "new link" ? 1u : 0u);
        EXPECT_TRUE(e->Snapshot(SnapshotKind::First).empty());
        EXPECT_TRUE(e->Snapshot(SnapshotKind::Second).empty());
    }
}

TEST_F(FileCompare, RealTreeBeforeAndAfterAnInstallation)
{
    const FILETIME t1 = MakeFileTime(2020, 1, 1, 10, 0, 0);
    const FILETIME t2 = MakeFileTime(2020, 1, 1, 10, 0, 5);
    MakeFolder(In(L"App"));
    WriteFileBytes(In(L"App\\keep.dll"), "keep");
    WriteFileBytes(In(L"App\\grow.dll"), "grow");
    WriteFileBytes(In(L"App\\restored.dll"), "1234");
    WriteFileBytes(In(L"App\\gone.dll"), "gone");
    WriteFileBytes(In(L"App\\app.ini"), "[Main]\r\nVersion=1\r\nOld=x\r\n");
    WriteFileBytes(In(L"App\\other.Ini"), "a");
    for (const wchar_t* name : {L"App\\keep.dll", L"App\\grow.dll", L"App\\restored.dll", L"App\\gone.dll",
                                L"App\\app.ini", L"App\\other.Ini"})
        SetTimes(In(name), t1, t1);
    SetTimes(In(L"App"), t1, t1);
    ASSERT_TRUE(DeleteFileW((m_root / L"Raw.xml").c_str())); // maps as filed, see above

    auto e = NewEnumerator();
    ASSERT_TRUE(e->CaptureSnapshot({TreeRoot()}));

    // The installation.
    WriteFileBytes(In(L"App\\grow.dll"), "grown");
    WriteFileBytes(In(L"App\\restored.dll"), "abcd"); // same size, time put back
    ASSERT_TRUE(DeleteFileW(In(L"App\\gone.dll").c_str()));
    WriteFileBytes(In(L"App\\app.ini"), "[Main]\r\nVersion=2\r\nNew=y\r\n");
    WriteFileBytes(In(L"App\\other.Ini"), "bb");
    MakeFolder(In(L"New"));
    WriteFileBytes(In(L"New\\n.exe"), "n");
    MakeFolder(In(L"Empty"));
    for (const wchar_t* name : {L"App\\grow.dll", L"App\\app.ini", L"App\\other.Ini"})
        SetTimes(In(name), t1, t2);
    SetTimes(In(L"App\\restored.dll"), t1, t1);
    SetTimes(In(L"App"), t1, t2);

    e = NewEnumerator(); // as after a restart
    ASSERT_TRUE(e->CaptureSnapshot({TreeRoot()}));
    ASSERT_FALSE(CompareAndWrite(*e)) << "without a raw project file no change document is written";

    EXPECT_EQ(e->Changes().Files(ChangeOrigin::Modified), (DirectoryChangeMap{{In(L"App"), Files{In(L"App\\grow.dll"), In(L"App\\other.Ini")}}}));
    EXPECT_EQ(e->Changes().Files(ChangeOrigin::Deleted), (DirectoryChangeMap{{In(L"App"), Files{In(L"App\\gone.dll")}}}));
    EXPECT_EQ(e->Changes().Files(ChangeOrigin::Added), (DirectoryChangeMap{{In(L"Empty"), Files{}}, {In(L"New"), Files{In(L"New\\n.exe")}}}));

    const IniChangeMap modified = {{In(L"App\\app.ini"), {IniChangeEntry{L"Main", L"Version", L"2"}}}};
    const IniChangeMap added = {{In(L"App\\app.ini"), {IniChangeEntry{L"Main", L"New", L"y"}}}};
    const IniChangeMap deleted = {{In(L"App\\app.ini"), {IniChangeEntry{L"Main", L"Old", L"x"}}}};
    EXPECT_EQ(e->Changes().Ini(ChangeOrigin::Modified), modified);
    EXPECT_EQ(e->Changes().Ini(ChangeOrigin::Added), added);
    EXPECT_EQ(e->Changes().Ini(ChangeOrigin::Deleted), deleted);
}

TEST_F(FileCompare, AChangeDocumentThatCannotBeWrittenFailsTheComparison)
{
    struct Case
    {
        const char* name;
        std::wstring WorkPaths::*path;
        const char* logText;
    };
    const Case cases[] = {
        {"FileChanges.xml", &WorkPaths::FileChangesPath, "Unable to write "},
        {"INIChanges.xml", &WorkPaths::IniChangesPath, "Unable to write "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::wstring saved = m_paths.*c.path;
        m_paths.*c.path = (m_root / L"no such folder\\") + FromUtf8(c.name);
        auto e = NewEnumerator();
        e->SetFirstSnapshotTaken(true);
        e->SetSnapshots({}, SnapshotMap{{In(L"new.txt"), File(1, 1)}});
        WriteFileBytes(In(L"new.txt"), "n");
        EXPECT_FALSE(CompareAndWrite(*e));
        e.reset();
        EXPECT_NE(ErrorLog().find(c.logText + ToUtf8(m_paths.*c.path)), std::string::npos) << ErrorLog();
        m_paths.*c.path = saved;
    }
}

// One run (no restart): the second capture compares against the first
// snapshot the run still holds, and a repeated second capture after a
// comparison reloads it from its file. INI files in sibling, nested and
// similarly named folders are all backed up on the way.
TEST_F(FileCompare, OneRunComparesAgainstTheHeldFirstSnapshotAndARepeatReloadsIt)
{
    const FILETIME t1 = MakeFileTime(2020, 1, 1, 10, 0, 0);
    const FILETIME t2 = MakeFileTime(2020, 1, 1, 10, 0, 5);
    const wchar_t* inis[] = {L"App\\Sub\\b.ini", L"App\\Sub\\Deep\\c.ini", L"App\\Subx\\d.ini", L"Other\\e.ini",
                             L"App\\top.ini"};
    for (const wchar_t* folder : {L"App", L"App\\Sub", L"App\\Sub\\Deep", L"App\\Subx", L"Other"})
        MakeFolder(In(folder));
    WriteFileBytes(In(L"App\\a.dll"), "a");
    for (const wchar_t* ini : inis)
        WriteFileBytes(In(ini), "[S]\r\nK=1\r\n");
    SetFileAttributesW(In(L"App\\Sub\\b.ini").c_str(), FILE_ATTRIBUTE_READONLY);
    SetTimes(In(L"App\\a.dll"), t1, t1);
    SetTimes(In(L"App\\Subx\\d.ini"), t1, t1);
    ASSERT_TRUE(DeleteFileW((m_root / L"Raw.xml").c_str())); // maps as filed, see above

    auto e = NewEnumerator();
    ASSERT_TRUE(e->CaptureSnapshot({TreeRoot()}));
    {
        CIniBackupPack pack;
        ASSERT_TRUE(pack.Load(CIniBackupPack::PackPathIn(m_paths.IniBackupFolder)));
        for (const wchar_t* ini : inis)
            EXPECT_EQ(pack.Contents(In(ini)), "[S]\r\nK=1\r\n") << ini;
        // Only compared files become copies of their own.
        EXPECT_FALSE(PathExists(IniBackupPathOf(m_paths.IniBackupFolder, In(L"App\\Subx\\d.ini"))));
    }

    WriteFileBytes(In(L"App\\a.dll"), "aa");
    SetTimes(In(L"App\\a.dll"), t1, t2);
    WriteFileBytes(In(L"App\\Subx\\d.ini"), "[S]\r\nK=2\r\n");
    SetTimes(In(L"App\\Subx\\d.ini"), t1, t2);
    WriteFileBytes(In(L"New.txt"), "n");

    const DirectoryChangeMap modified = {{In(L"App"), Files{In(L"App\\a.dll")}}};
    const DirectoryChangeMap added = {{Tree(), Files{In(L"New.txt")}}};
    const IniChangeMap iniModified = {{In(L"App\\Subx\\d.ini"), {IniChangeEntry{L"S", L"K", L"2"}}}};
    for (const char* round : {"second capture", "repeated second capture"}) {
        SCOPED_TRACE(round);
        ASSERT_TRUE(e->CaptureSnapshot({TreeRoot()}));
        ASSERT_FALSE(CompareAndWrite(*e)) << "without a raw project file no change document is written";
        EXPECT_EQ(e->Changes().Files(ChangeOrigin::Modified), modified);
        EXPECT_EQ(e->Changes().Files(ChangeOrigin::Added), added);
        EXPECT_TRUE(e->Changes().Files(ChangeOrigin::Deleted).empty());
        EXPECT_EQ(e->Changes().Ini(ChangeOrigin::Modified), iniModified);
        EXPECT_EQ(ReadFileBytes(IniBackupPathOf(m_paths.IniBackupFolder, In(L"App\\Subx\\d.ini"))), "[S]\r\nK=1\r\n");
        EXPECT_FALSE(PathExists(IniBackupPathOf(m_paths.IniBackupFolder, In(L"App\\top.ini"))));
    }
}

// The backup a changed INI file is compared with comes from the first
// capture's sealed pack; a pack that is unsealed or changed is not trusted, a
// capture begun with the copies in the tree (no pack) compares those, and a
// new file never borrows a copy left in the tree.
TEST_F(FileCompare, IniBackupsComeFromASealedPackOrFromTheTree)
{
    const FILETIME t1 = MakeFileTime(2020, 1, 1, 10, 0, 0);
    const FILETIME t2 = MakeFileTime(2020, 1, 1, 10, 0, 5);
    const std::wstring pack = CIniBackupPack::PackPathIn(m_paths.IniBackupFolder);
    enum class Damage { None, Unsealed, Changed, NoPack };
    struct Case
    {
        const char* name;
        Damage damage;
        bool modified; // compared with the old contents, rather than all new
        const char* log;
    };
    const Case cases[] = {
        {"sealed pack", Damage::None, true, ""},
        {"seal removed", Damage::Unsealed, false, "has no completion record"},
        {"pack changed", Damage::Changed, false, "does not match its completion record"},
        {"copies in the tree, no pack", Damage::NoPack, true, ""},
    };
    ASSERT_TRUE(DeleteFileW((m_root / L"Raw.xml").c_str())); // maps as filed, see above
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ReopenLog();
        RemoveFolderTree(m_paths.IniBackupFolder);
        EnsureFolder(m_paths.IniBackupFolder);
        DeleteFileW((m_paths.SnapshotFolder() + L"\\FileSystemDir\\FirstSnapShot.txt").c_str());
        DeleteFileW(In(L"new.ini").c_str());
        WriteFileBytes(In(L"app.ini"), "[S]\r\nK=1\r\n");
        SetTimes(In(L"app.ini"), t1, t1);

        auto e = NewEnumerator();
        ASSERT_FALSE(e->FirstSnapshotTaken());
        ASSERT_TRUE(e->CaptureSnapshot({TreeRoot()}));
        const std::wstring copy = IniBackupPathOf(m_paths.IniBackupFolder, In(L"app.ini"));
        switch (c.damage) {
        case Damage::None:
            break;
        case Damage::Unsealed:
            ASSERT_TRUE(DeleteFileW(SnapshotSealPath(pack).c_str()));
            break;
        case Damage::Changed: {
            std::string bytes = ReadFileBytes(pack);
            bytes.back() ^= 1;
            WriteFileBytes(pack, bytes);
            break;
        }
        case Damage::NoPack:
            ASSERT_TRUE(DeleteFileW(pack.c_str()));
            break;
        }
        // A copy left in the tree by an earlier capture, of a file this one
        // first meets after the setup.
        const std::wstring stale = IniBackupPathOf(m_paths.IniBackupFolder, In(L"new.ini"));
        const std::wstring backupFolder = m_paths.IniBackupFolder;
        for (std::size_t at = stale.find(L'\\', backupFolder.size() + 1); at != std::wstring::npos;
             at = stale.find(L'\\', at + 1))
            CreateDirectoryW(stale.substr(0, at).c_str(), nullptr);
        WriteFileBytes(stale, "[Old]\r\nGone=1\r\n");
        if (c.damage == Damage::NoPack)
            WriteFileBytes(copy, "[S]\r\nK=1\r\n"); // the same folder as the stale copy

        WriteFileBytes(In(L"app.ini"), "[S]\r\nK=2\r\n");
        SetTimes(In(L"app.ini"), t1, t2);
        WriteFileBytes(In(L"new.ini"), "[N]\r\nk=v\r\n");
        e = NewEnumerator(); // as after a restart
        ASSERT_TRUE(e->CaptureSnapshot({TreeRoot()}));
        ASSERT_FALSE(CompareAndWrite(*e)) << "without a raw project file no change document is written";

        IniChangeMap added = {{In(L"new.ini"), {IniChangeEntry{L"N", L"k", L"v"}}}};
        IniChangeMap modified;
        if (c.modified)
            modified[In(L"app.ini")] = {IniChangeEntry{L"S", L"K", L"2"}};
        else
            added[In(L"app.ini")] = {IniChangeEntry{L"S", L"K", L"2"}};
        EXPECT_EQ(e->Changes().Ini(ChangeOrigin::Modified), modified);
        EXPECT_EQ(e->Changes().Ini(ChangeOrigin::Added), added);
        if (c.damage == Damage::NoPack) {
            EXPECT_EQ(e->Changes().Ini(ChangeOrigin::Deleted), (IniChangeMap{{In(L"new.ini"), {IniChangeEntry{L"Old", L"Gone", L"1"}}}}))
                << "without a pack the tree's copies are the backups";
        } else {
            EXPECT_TRUE(e->Changes().Ini(ChangeOrigin::Deleted).empty()) << "the stale copy stood in for a backup";
        }
        const std::string log = ErrorLog();
        if (*c.log) {
            EXPECT_NE(log.find(c.log), std::string::npos) << log;
            EXPECT_NE(log.find("CIniBackupPack::Load: The INI backups in"), std::string::npos) << log;
        } else {
            EXPECT_EQ(log.find("CIniBackupPack"), std::string::npos) << log;
        }
    }
}
