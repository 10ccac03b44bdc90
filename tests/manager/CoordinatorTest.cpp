// The snapshot coordinator's own decisions and the manager's include/exclude
// operations, on real folders, keys and documents.
#include "common/Config.h"
#include "common/NameUuid.h"
#include "common/PathSetup.h"
#include "common/StopToken.h"
#include "common/Utf.h"
#include "manager/UIManager.h"
#include "tests/project/XmlTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>
#include <memory>
#include <stop_token>

namespace {

class Coordinator : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (const wchar_t* f : {L"prog", L"work", L"appdata", L"data"})
            CreateDirectoryW((m_root / f).c_str(), nullptr);
        ASSERT_TRUE(CopyFileW(ShippedRawProjectFile().c_str(), (m_root / L"prog\\RawProjectFile.xml").c_str(), FALSE));
        // The log reads its settings from the program folder, the current one.
        m_log = std::make_unique<CapturedLog>(m_root / L"prog");
        ASSERT_TRUE(InitializePaths(m_session, L"", L""));
        EnsureFolder(m_session.Paths.SnapshotFolder());
        EnsureFolder(m_session.Paths.TempFolder());
    }

    void TearDown() override { m_cd.reset(); }

    // The selection and stores of the test, as the manager hands its
    // session's to its coordinator.
    CaptureExclusions Exclusions()
    {
        return {m_session.Selection, m_session.ExcludedFiles, m_session.ExcludedRegistry};
    }

    TempFolder m_root;
    ScopedEnvironment m_temp{L"temp", (m_root / L"work").c_str()};
    ScopedEnvironment m_appdata{L"appdata", (m_root / L"appdata").c_str()};
    std::unique_ptr<CapturedLog> m_log;
    std::unique_ptr<ScopedCurrentDirectory> m_cd;
    Session m_session;
};

} // namespace

TEST_F(Coordinator, CapturesOnlyTheKindsTheScanDetailsName)
{
    TestRegistryKey key(L"CoordinatorKinds");
    {
        CEnumerateWrapper wrapper(m_session.Paths, m_session.Tokens, Exclusions());
        ASSERT_TRUE(wrapper.Initialize());
        EXPECT_FALSE(wrapper.IsFirstSnapshotTaken());
        EXPECT_TRUE(wrapper.CaptureSnapshot({{L"Unknown", {L"x"}}})) << "unknown kinds are ignored";
        EXPECT_FALSE(PathExists(wrapper.FileSide().FirstSnapshotPath()));
        EXPECT_TRUE(wrapper.CaptureSnapshot({{L"Registry", {L"HKCU\\" + key.SubPath()}}}));
        EXPECT_FALSE(PathExists(wrapper.FileSide().FirstSnapshotPath())) << "no file capture ran";
        EXPECT_TRUE(PathExists(wrapper.RegistrySide().FirstSnapshotFilePrefix() + L"0.reg"));
    }
    EXPECT_TRUE(m_log->Messages().empty());
}

TEST_F(Coordinator, TheProgramsOwnFoldersAndTheUsersExclusionsAreNeverCaptured)
{
    // The program folder lives inside the captured tree here, as it may on a
    // real machine; so do an excluded folder and the working root.
    WriteFileBytes(m_root / L"prog\\own.txt", "the program's own file");
    WriteFileBytes(m_root / L"work\\scratch.txt", "a setup's scratch file");
    CreateDirectoryW((m_root / L"data\\Cache").c_str(), nullptr);
    WriteFileBytes(m_root / L"data\\Cache\\c.bin", "noise");
    WriteFileBytes(m_root / L"data\\real.txt", "payload");
    m_session.Selection.FilesExcluded.emplace(L"X", ExcludedItem{m_root / L"data\\Cache", L""});

    CEnumerateWrapper wrapper(m_session.Paths, m_session.Tokens, Exclusions());
    ASSERT_TRUE(wrapper.Initialize());
    wrapper.IsFirstSnapshotTaken();
    ASSERT_TRUE(wrapper.CaptureSnapshot({{L"File", {m_root.Path()}}}));
    const SnapshotMap& first = wrapper.FileSide().Snapshot(SnapshotKind::First);
    EXPECT_EQ(first.count(m_root / L"data\\real.txt"), 1u);
    for (const wchar_t* never : {L"prog", L"prog\\own.txt", L"work", L"work\\scratch.txt", L"data\\Cache",
                                 L"data\\Cache\\c.bin", L"appdata"}) {
        // The application-data folder itself is captured; its INI backup is not.
        if (std::wstring(never) == L"appdata")
            continue;
        EXPECT_EQ(first.count(m_root / never), 0u) << ToUtf8(never);
    }
}

TEST_F(Coordinator, ASectionMissingFromAChangeDocumentIsLoggedAndTheProjectStillSaved)
{
    WriteFileBytes(m_session.Paths.FileChangesPath, "<Root><Other/></Root>");
    WriteFileBytes(m_session.Paths.RegChangesPath, ReadFileBytes(ShippedRawProjectFile()));
    {
        CEnumerateWrapper wrapper(m_session.Paths, m_session.Tokens, Exclusions());
        ASSERT_TRUE(wrapper.Initialize());
        ASSERT_TRUE(wrapper.IsProjectLoaded());
        ASSERT_TRUE(wrapper.BuildProjectFile(ProductInfo{L"App", L"2.0", L"Acme"}, m_session.ProjectFilePath()));
    }
    // Read the log before a new handler opens it afresh (which empties it).
    const std::vector<std::string> messages = m_log->Messages();
    XmlDocument project;
    ASSERT_TRUE(project.Load(m_session.ProjectFilePath()));
    EXPECT_EQ(ElementNames(project.Root()),
              (std::vector<std::wstring>{L"FileSystem", L"RegistrySystem", L"INIFileSystem", L"ShortcutList",
                                         L"ShortcutICONs", L"ProductInformation"}));
    EXPECT_EQ(Attributes(project.Root().SelectSingleNode(L"ProductInformation").GetFirstChild()),
              (std::vector<std::wstring>{L"App", L"2.0", L"Acme", DeriveUpgradeCode(L"Acme", L"App")}))
        << "a new capture names its UpgradeCode";
    EXPECT_EQ(messages,
              (std::vector<std::string>{"CEnumerateWrapper::ReplaceNodeInProjectFile Unable to find the Specified TAG "
                                        "in XML"}));
}

TEST_F(Coordinator, AnUnsavableProjectFileIsLoggedWithItsAdvice)
{
    m_session.SetProjectFilePath(m_root / L"no such folder\\p.xml");
    Result replaced = Result::Ok();
    {
        CEnumerateWrapper wrapper(m_session.Paths, m_session.Tokens, Exclusions());
        ASSERT_TRUE(wrapper.Initialize());
        replaced = wrapper.ReplaceNodeInProjectFile(m_session.Paths.FileChangesPath, L"FileSystem", m_session.ProjectFilePath());
    }
    // The line, then the code and text of the failed save; the result carries it.
    const std::vector<std::string> messages = m_log->Messages();
    ASSERT_EQ(messages.size(), 1u);
    const std::string head = "CEnumerateWrapper::ReplaceNodeInProjectFile Unable to save XML File"
                             "\t\t\t\t\t\t\t\t\t\t\tCheck the project file path is valid (error 0x";
    EXPECT_EQ(messages[0].rfind(head, 0), 0u) << messages[0];
    EXPECT_EQ(messages[0].back(), ')');
    EXPECT_FALSE(replaced);
    EXPECT_EQ(ToUtf8(replaced.Text()), messages[0]);
}

TEST_F(Coordinator, TheProjectFileIsWrittenWholeOrTheCaptureStaysPending)
{
    struct Case
    {
        const char* name;
        std::wstring projectFile;
        bool removeRawProject;
        const char* fileChanges; // written as the file change document when given
        int result;
    };
    CreateDirectoryW((m_root / L"is a folder.xml").c_str(), nullptr);
    WriteFileBytes(m_root / L"a file", "x");
    const Case cases[] = {
        {"folder missing", m_root / L"no such folder\\p.xml", false, nullptr, 0},
        {"path under a file", m_root / L"a file\\p.xml", false, nullptr, 0},
        {"path names a folder", m_root / L"is a folder.xml", false, nullptr, 0},
        {"change document that does not load", m_root / L"damaged.xml", false, "<FileSystem><Added>", 0},
        {"change documents missing", m_root / L"whole.xml", false, nullptr, 1},
        {"raw project file missing", m_root / L"p.xml", true, nullptr, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.removeRawProject)
            DeleteFileW((m_root / L"prog\\RawProjectFile.xml").c_str());
        DeleteFileW(m_session.Paths.FileChangesPath.c_str());
        EnsureFolder(m_session.Paths.TempFolder()); // the last case's Uninitialize removed it
        if (c.fileChanges)
            WriteFileBytes(m_session.Paths.FileChangesPath, c.fileChanges);
        ASSERT_TRUE(WriteSnapshotTakenKey(m_session.Paths));
        Session session;
        session.Paths = m_session.Paths;
        session.SetProjectFilePath(c.projectFile);
        auto manager = std::make_unique<CUIManager>(session);
        ASSERT_TRUE(manager->Initialize());
        ASSERT_TRUE(session.SnapshotPending);
        manager->Coordinator().IsFirstSnapshotTaken();
        ASSERT_TRUE(manager->Coordinator().CaptureSnapshot({{L"File", {m_root / L"data"}}}));
        EXPECT_EQ(static_cast<bool>(manager->CreateProjectFile()), c.result == 1);
        // Pending exactly while the capture is not in a complete project file.
        EXPECT_EQ(ReadSnapshotTakenKey(m_session.Paths), c.result == 0);
        EXPECT_EQ(session.SnapshotPending.load(), c.result == 0);
        EXPECT_EQ(PathExists(manager->Coordinator().FileSide().FirstSnapshotPath()), c.result == 0);
        EXPECT_EQ(PathExists(m_session.Paths.IniBackupFolder), c.result == 0);
        if (c.fileChanges) {
            EXPECT_FALSE(PathExists(c.projectFile)) << "no project file without the file changes";
        }
        manager->Uninitialize();
        manager.reset();
    }
}

TEST_F(Coordinator, UninitializeRemovesTheWorkingTempButKeepsTheSnapshots)
{
    CEnumerateWrapper wrapper(m_session.Paths, m_session.Tokens, Exclusions());
    ASSERT_TRUE(wrapper.Initialize());
    wrapper.IsFirstSnapshotTaken();
    ASSERT_TRUE(wrapper.CaptureSnapshot({{L"File", {m_root / L"data"}}}));
    WriteFileBytes(m_session.Paths.FileChangesPath, "x");
    EXPECT_EQ(wrapper.Uninitialize(), 1);
    EXPECT_FALSE(PathExists(m_session.Paths.TempFolder()));
    EXPECT_TRUE(PathExists(wrapper.FileSide().FirstSnapshotPath()));
}

TEST_F(Coordinator, ManagerSavesExcludedItemsIntoTheFileItWritesTo)
{
    WriteFileBytes(m_root / L"prog\\DefaultIncludeExclude.xml",
                   "<R><FileSystem><IncludedItems><IncludedEntry Name=\"%SYSDRIVE%\"/></IncludedItems>"
                   "<ExcludedItems/></FileSystem><RegistrySystem><IncludedItems>"
                   "<IncludedEntry Name=\"HKEY_CURRENT_USER\"/></IncludedItems><ExcludedItems/></RegistrySystem></R>");
    auto manager = std::make_unique<CUIManager>(m_session);
    ASSERT_NE(manager->IncludeExclude().LoadIncludedItems(IncludeExcludePath::RegistryIncluded), nullptr);
    EXPECT_EQ(manager->IncludeExclude().LoadIncludedItems(L"Bogus//Path"), nullptr);
    m_session.Selection.RegistryIncluded.emplace(L"HKEY_USERS", L"HKEY_USERS");
    manager->IncludeExclude().Save(0, L"UpdatedIncludeExclude.xml");
    m_session.Selection.FilesExcluded.emplace(L"%WINDIR%\\TEMP", ExcludedItem{L"%WINDIR%\\Temp", L"temporary"});
    manager->IncludeExclude().Save(1, L"UpdatedIncludeExclude.xml");

    ExcludedItemMap copy{{L"OLD", ExcludedItem{L"old", L""}}};
    manager->IncludeExclude().CopyExcludedItems(IncludeExcludePath::FilesExcluded, copy);
    EXPECT_EQ(copy, m_session.Selection.FilesExcluded);
    manager.reset();

    XmlDocument updated;
    ASSERT_TRUE(updated.Load(m_root / L"prog\\UpdatedIncludeExclude.xml"));
    EXPECT_EQ(ChildNames(updated.Root().SelectSingleNode(IncludeExcludePath::RegistryIncluded)),
              (std::vector<std::wstring>{L"HKEY_USERS", L"HKEY_CURRENT_USER"}))
        << "the exclusion save must keep the included items saved before it";
    EXPECT_EQ(ChildNames(updated.Root().SelectSingleNode(IncludeExcludePath::FilesExcluded)),
              (std::vector<std::wstring>{L"%WINDIR%\\Temp"}));
    EXPECT_EQ(ReadFileBytes(m_root / L"prog\\DefaultIncludeExclude.xml").find("Temp"), std::string::npos)
        << "the default file is left alone";

    // Set As Default after those saves: each save writes exactly its own
    // target, with its own lists, the target's other lists kept.
    struct Save
    {
        int mode;
        const wchar_t* target;
    };
    manager = std::make_unique<CUIManager>(m_session);
    m_session.Selection.FilesExcluded = {{L"%WINDIR%\\LOGS", ExcludedItem{L"%WINDIR%\\Logs", L"logs"}}};
    m_session.Selection.RegistryIncluded = {{L"HKEY_LOCAL_MACHINE", L"HKEY_LOCAL_MACHINE"}};
    for (const Save& save : {Save{1, L"DefaultIncludeExclude.xml"}, Save{0, L"DefaultIncludeExclude.xml"}})
        manager->IncludeExclude().Save(save.mode, save.target);
    manager.reset();
    XmlDocument defaults;
    ASSERT_TRUE(defaults.Load(m_root / L"prog\\DefaultIncludeExclude.xml"));
    EXPECT_EQ(ChildNames(defaults.Root().SelectSingleNode(IncludeExcludePath::FilesExcluded)),
              (std::vector<std::wstring>{L"%WINDIR%\\Logs"}));
    EXPECT_EQ(ChildNames(defaults.Root().SelectSingleNode(IncludeExcludePath::RegistryIncluded)),
              (std::vector<std::wstring>{L"HKEY_LOCAL_MACHINE"}));
    ASSERT_TRUE(updated.Load(m_root / L"prog\\UpdatedIncludeExclude.xml"));
    EXPECT_EQ(ChildNames(updated.Root().SelectSingleNode(IncludeExcludePath::FilesExcluded)),
              (std::vector<std::wstring>{L"%WINDIR%\\Temp"}))
        << "the updated file is left alone";
}

TEST_F(Coordinator, AStoppedOperationFailsWithOneLogLineAndLeavesNothingALaterStepWouldTrust)
{
    TestRegistryKey key(L"CoordinatorStop");
    HKEY child = nullptr;
    ASSERT_EQ(RegCreateKeyExW(key.Key(), L"Child", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &child, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(child);
    WriteFileBytes(m_root / L"data\\before.txt", "before");
    const ScanDetails details{{L"File", {m_root / L"data"}}, {L"Registry", {L"HKCU\\" + key.SubPath()}}};
    std::stop_source stopped;
    stopped.request_stop();
    // Runs one operation as a worker would after Cancel; returns its result.
    auto whenStopped = [&](const std::function<Result()>& operation) {
        CStopScope scope(stopped.get_token());
        return operation();
    };
    const DWORD Cancelled = ERROR_CANCELLED;

    m_session.SetProjectFilePath(m_root / L"out\\p.xml");
    EnsureFolder(m_root / L"out");

    {
        CEnumerateWrapper wrapper(m_session.Paths, m_session.Tokens, Exclusions());
        ASSERT_TRUE(wrapper.Initialize());
        wrapper.IsFirstSnapshotTaken();
        const std::wstring firstFiles = wrapper.FileSide().FirstSnapshotPath();
        const std::wstring firstKeys = wrapper.RegistrySide().FirstSnapshotFilePrefix() + L"0.reg";
        const std::wstring secondFiles = wrapper.FileSide().SecondSnapshotPath();
        const std::wstring secondKeys = wrapper.RegistrySide().SecondSnapshotFilePrefix() + L"0.reg";

        // First capture: nothing of it counts.
        EXPECT_EQ(whenStopped([&] { return wrapper.CaptureSnapshot(details); }).Code(), Cancelled);
        EXPECT_EQ(whenStopped([&] { return wrapper.RegistrySide().CaptureSnapshot({L"HKCU\\" + key.SubPath()}); })
                      .Code(),
                  Cancelled);
        EXPECT_FALSE(PathExists(firstFiles));
        EXPECT_FALSE(PathExists(firstKeys)) << "a cut export would compare as deletions";
        EXPECT_FALSE(wrapper.IsFirstSnapshotTaken());

        ASSERT_TRUE(wrapper.CaptureSnapshot(details));
        WriteFileBytes(m_root / L"data\\added.txt", "added");

        // Second capture: the first snapshot stays, so the capture can go on.
        EXPECT_EQ(whenStopped([&] { return wrapper.CaptureSnapshot(details); }).Code(), Cancelled);
        EXPECT_EQ(whenStopped([&] { return wrapper.RegistrySide().CaptureSnapshot({L"HKCU\\" + key.SubPath()}); })
                      .Code(),
                  Cancelled);
        EXPECT_FALSE(PathExists(secondKeys));
        EXPECT_TRUE(wrapper.IsFirstSnapshotTaken()) << "the pending capture must stay resumable";
        ASSERT_TRUE(wrapper.CaptureSnapshot(details));
        EXPECT_TRUE(PathExists(secondFiles));

        // Comparison: no change document; a later comparison still sees everything.
        EXPECT_EQ(whenStopped([&] { return wrapper.FileSide().CompareSnapshot(); }).Code(), Cancelled);
        EXPECT_EQ(whenStopped([&] { return wrapper.RegistrySide().CompareSnapshot(); }).Code(), Cancelled);
        EXPECT_FALSE(PathExists(m_session.Paths.FileChangesPath));
        EXPECT_FALSE(PathExists(m_session.Paths.RegChangesPath));
        ASSERT_TRUE(wrapper.CompareSnapshot());
        EXPECT_NE(ReadFileBytes(m_session.Paths.FileChangesPath).find("added.txt"), std::string::npos);

        // Project writer: no project file at all rather than one without its sections.
        EXPECT_EQ(whenStopped([&] {
                      return wrapper.BuildProjectFile(ProductInfo{L"App", L"1.0", L"Acme"}, m_session.ProjectFilePath());
                  }).Code(),
                  Cancelled);
        EXPECT_FALSE(PathExists(m_session.ProjectFilePath()));
        ASSERT_TRUE(wrapper.BuildProjectFile(ProductInfo{L"App", L"1.0", L"Acme"}, m_session.ProjectFilePath()));
        EXPECT_TRUE(PathExists(m_session.ProjectFilePath()));
    }
    const std::vector<std::string> messages = m_log->Messages();
    ASSERT_EQ(messages.size(), 7u) << "one line per stopped operation";
    for (const std::string& message : messages)
        EXPECT_NE(message.find("Stopped before"), std::string::npos) << message;
}

TEST_F(Coordinator, AnOutputFolderWhereTheSetupInstallsHidesOnlyItsPackagesFolder)
{
    // -Path="C:\Program Files": the application's files are captured, the
    // program's own packages folder is not.
    const std::wstring output = m_root / L"data";
    m_session.Paths.OutputFolder = output;
    CreateDirectoryW((output + L"\\App").c_str(), nullptr);
    CreateDirectoryW((output + L"\\Packages").c_str(), nullptr);
    WriteFileBytes(output + L"\\App\\app.exe", "the application");
    WriteFileBytes(output + L"\\Packages\\App_1.xml", "the project file");

    CEnumerateWrapper wrapper(m_session.Paths, m_session.Tokens, Exclusions());
    ASSERT_TRUE(wrapper.Initialize());
    wrapper.IsFirstSnapshotTaken();
    ASSERT_TRUE(wrapper.CaptureSnapshot({{L"File", {m_root.Path()}}}));
    const SnapshotMap& first = wrapper.FileSide().Snapshot(SnapshotKind::First);
    EXPECT_EQ(first.count(output + L"\\App\\app.exe"), 1u);
    EXPECT_EQ(first.count(output), 1u);
    EXPECT_EQ(first.count(output + L"\\Packages"), 0u);
    EXPECT_EQ(first.count(output + L"\\Packages\\App_1.xml"), 0u);
}

TEST_F(Coordinator, TwoListLoadersOnTwoThreadsEachReadTheirOwnFile)
{
    // The advanced sheet's pages load on their own workers: the included lists
    // from the default file, the excluded ones from the user's file.
    const auto xml = [](const char* excluded) {
        return std::string("<R><FileSystem><IncludedItems><IncludedEntry Name=\"C:\\Data\"/></IncludedItems>"
                           "<ExcludedItems><ExcludedEntry Name=\"") +
               excluded + "\" Description=\"d\"/></ExcludedItems></FileSystem></R>";
    };
    WriteFileBytes(m_root / L"prog\\DefaultIncludeExclude.xml", xml("C:\\FromDefault"));
    const std::wstring user = m_root / L"prog\\UpdatedIncludeExclude.xml";
    WriteFileBytes(user, xml("C:\\FromUser"));
    auto manager = std::make_unique<CUIManager>(m_session);
    std::atomic<bool> done{false};
    std::thread included([&] {
        while (!done)
            manager->IncludeExclude().LoadIncludedItems(IncludeExcludePath::FilesIncluded);
    });
    int wrong = 0;
    for (int i = 0; i < 300; ++i) {
        m_session.Selection.FilesExcluded.clear();
        manager->IncludeExclude().LoadExcludedItems(IncludeExcludePath::FilesExcluded, user);
        const ExcludedItemMap& excluded = m_session.Selection.FilesExcluded;
        if (excluded.size() != 1 || excluded.begin()->second.Name != L"C:\\FromUser")
            ++wrong;
    }
    done = true;
    included.join();
    manager.reset();
    EXPECT_EQ(wrong, 0) << "a load read the document while the other thread loaded another file";
}
