// The whole capture road without a window: start-up, scan details from the
// included lists, first capture, a fake setup that changes real files, keys
// and INI entries, second capture, comparison, project file; and the same road
// split by a restart between the two captures.
#include "common/Config.h"
#include "common/FolderTokens.h"
#include "common/NameUuid.h"
#include "common/PathSetup.h"
#include "common/Utf.h"
#include "common/Worker.h"
#include "engine/UninstallRegistration.h"
#include "manager/UIManager.h"
#include "tests/support/RegistryTestHelpers.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>

namespace {

struct ElementText
{
    std::wstring name;
    std::vector<std::wstring> attributes;
};

// Every element below `node` in document order, with its attributes by position.
void Collect(const XmlNode& node, std::vector<ElementText>& out, const std::wstring& prefix)
{
    for (XmlNode child = node.GetFirstChild(); !child.IsNull(); child = child.GetNextSibling()) {
        if (!child.IsElement())
            continue;
        ElementText e{prefix + child.GetName(), {}};
        for (long i = 0; i < child.GetAttributeCount(); ++i)
            e.attributes.push_back(child.GetAttribute(i));
        out.push_back(e);
        Collect(child, out, prefix + L"  ");
    }
}

std::vector<std::wstring> Dump(const std::wstring& file, const std::wstring& section)
{
    XmlDocument doc;
    EXPECT_TRUE(doc.Load(file)) << ToUtf8(file);
    std::vector<ElementText> elements;
    Collect(doc.Root().SelectSingleNode(section), elements, L"");
    std::vector<std::wstring> lines;
    for (const auto& e : elements) {
        std::wstring line = e.name;
        for (const auto& a : e.attributes)
            line += L" [" + a + L"]";
        lines.push_back(line);
    }
    return lines;
}

std::wstring Token(std::wstring path, const FolderTokenValues& tokens)
{
    ToTokenPath(path, tokens);
    return path;
}

class CaptureRoad : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (const wchar_t* f : {L"prog", L"work", L"appdata", L"target", L"target\\Caf\u00e9"})
            CreateDirectoryW((m_root / f).c_str(), nullptr);
        const std::wstring bin = ExecutableFolder() + L"\\..\\bin\\";
        ASSERT_TRUE(CopyFileW((bin + L"RawProjectFile.xml").c_str(), (m_root / L"prog\\RawProjectFile.xml").c_str(), FALSE));
        WriteFileBytes(m_root / L"prog\\CorvaneRepackager.ini", "[LogFileDetails]\r\nLogLevel=0\r\n");
        m_target = m_root / L"target";
        const std::string include =
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<IncludeExclude><FileSystem><IncludedItems>"
            "<IncludedEntry Name=\"" + ToUtf8(m_target) + "\"/></IncludedItems><ExcludedItems>"
            "<ExcludedEntry Name=\"" + ToUtf8(m_target) + "\\Noise\" Description=\"scratch\"/>"
            "</ExcludedItems></FileSystem><RegistrySystem><IncludedItems>"
            "<IncludedEntry Name=\"HKEY_CURRENT_USER\\Software\\CorvaneTest\\Road\"/></IncludedItems><ExcludedItems>"
            "<ExcludedEntry Name=\"HKEY_CURRENT_USER\\Software\\CorvaneTest\\Road\\Noise\" Description=\"mru\"/>"
            "</ExcludedItems></RegistrySystem></IncludeExclude>\r\n";
        WriteFileBytes(m_root / L"prog\\DefaultIncludeExclude.xml", include);
        m_cd = std::make_unique<ScopedCurrentDirectory>(m_root / L"prog");
        ASSERT_TRUE(InitializePaths(m_session, L"", L""));
        PrepareMachine();
    }

    // The machine before the setup.
    void PrepareMachine()
    {
        WriteFileBytes(m_target + L"\\keep.txt", "keep");
        WriteFileBytes(m_target + L"\\modify.txt", "before");
        WriteFileBytes(m_target + L"\\delete.txt", "gone soon");
        WriteFileBytes(m_target + L"\\app.ini", "[Main]\r\nMode=1\r\nOld=x\r\n");
        m_key = std::make_unique<TestRegistryKey>(L"Road");
        SetDword(m_key->Key(), L"Count", 1);
        SetString(m_key->Key(), L"Remove", L"me");
    }

    void TearDown() override
    {
        RemoveSnapshotTakenKey(m_session.Paths);
        m_cd.reset();
    }

    // What a setup would do.
    void RunFakeSetup()
    {
        CreateDirectoryW((m_target + L"\\bin").c_str(), nullptr);
        WriteFileBytes(m_target + L"\\bin\\tool.exe", "MZ tool");
        WriteFileBytes(m_target + L"\\bin\\lib.dll", "library");
        WriteFileBytes(m_target + L"\\bin\\scratch.tmp", "temporary");
        WriteFileBytes(m_target + L"\\Caf\u00e9\\na\u00efve.txt", "accents");
        WriteFileBytes(m_target + L"\\modify.txt", "after the setup");
        DeleteFileW((m_target + L"\\delete.txt").c_str());
        CreateDirectoryW((m_target + L"\\Noise").c_str(), nullptr);
        WriteFileBytes(m_target + L"\\Noise\\log.txt", "excluded");
        WritePrivateProfileStringW(L"Main", L"Mode", L"2", (m_target + L"\\app.ini").c_str());
        WritePrivateProfileStringW(L"Main", L"Added", L"yes", (m_target + L"\\app.ini").c_str());
        WritePrivateProfileStringW(L"Main", L"Old", nullptr, (m_target + L"\\app.ini").c_str());

        SetDword(m_key->Key(), L"Count", 2);
        RegDeleteValueW(m_key->Key(), L"Remove");
        HKEY sub = nullptr;
        ASSERT_EQ(RegCreateKeyExW(m_key->Key(), L"Settings", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, nullptr),
                  ERROR_SUCCESS);
        SetString(sub, L"Path", m_target + L"\\bin\\tool.exe");
        RegCloseKey(sub);
        ASSERT_EQ(RegCreateKeyExW(m_key->Key(), L"Noise", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, nullptr),
                  ERROR_SUCCESS);
        SetString(sub, L"Recent", L"excluded");
        RegCloseKey(sub);
    }

    // Runs one long operation: on this thread, as the command line does, or
    // on a page's worker, whose end the test waits for.
    int Run(const std::function<int()>& operation)
    {
        if (!m_onWorker)
            return operation();
        CWorker worker;
        EXPECT_TRUE(worker.Start(operation));
        worker.Join();
        EXPECT_TRUE(worker.IsDone());
        return worker.Result();
    }

    void FirstHalf(CUIManager& manager)
    {
        ASSERT_TRUE(manager.Initialize());
        ASSERT_FALSE(manager.Coordinator().IsFirstSnapshotTaken()) << "a fresh start has no first snapshot";
        manager.SetSetupFilePath(m_root / L"setup.exe");
        manager.SetProductInfo(L"RoadApp", L"1.2", L"Acme");
        manager.SetScanDetails(manager.ScanDetailsFromIncludedLists());
        ASSERT_TRUE(manager.WriteScanDetails());
        ASSERT_EQ(Run([&] { return manager.Coordinator().CaptureSnapshot(manager.GetScanDetails()) ? 1 : 0; }), 1);
        ASSERT_TRUE(WriteSnapshotTakenKey(m_session.Paths));
    }

    void SecondHalf(CUIManager& manager)
    {
        ASSERT_EQ(Run([&] { return manager.Coordinator().CaptureSnapshot(manager.GetScanDetails()) ? 1 : 0; }), 1);
        ASSERT_EQ(Run([&] { return manager.Coordinator().CompareSnapshot() ? 1 : 0; }), 1);
        ASSERT_EQ(Run([&] { return manager.CreateProjectFile() ? 1 : 0; }), 1);
        ASSERT_EQ(manager.Uninitialize(), 1);
    }

    void CheckProjectFile(const Session& session)
    {
        const std::wstring project = session.ProjectFilePath();
        EXPECT_EQ(project, session.Paths.OutputFolder + L"\\Packages\\RoadApp_1.2.xml");
        const std::wstring t = Token(m_target, session.Tokens);
        EXPECT_EQ(Dump(project, L"FileSystem"),
                  (std::vector<std::wstring>{
                      L"AddedItems",
                      L"  DirectoryList",
                      L"    Directory [" + t + L"\\bin]",
                      L"      File [tool.exe]", // files stand in the reverse of their path order
                      L"      File [lib.dll]",
                      L"    Directory [" + t + L"\\Caf\u00e9]",
                      L"      File [na\u00efve.txt]",
                      L"ModifiedItems",
                      L"  DirectoryList",
                      L"    Directory [" + t + L"]",
                      L"      File [modify.txt]",
                      L"DeletedItems",
                      L"  DirectoryList",
                  }));
        const std::wstring key = L"HKEY_CURRENT_USER\\Software\\CorvaneTest\\Road";
        EXPECT_EQ(Dump(project, L"RegistrySystem"),
                  (std::vector<std::wstring>{
                      L"AddedItems",
                      L"  SubKeyList",
                      L"    SubKey [" + key + L"\\Settings]",
                      L"      Value [\"Path\"] [REG_SZ]",
                      L"ModifiedItems",
                      L"  SubKeyList",
                      L"    SubKey [" + key + L"]",
                      L"      Value [\"Count\"] [REG_DWORD]",
                      L"DeletedItems",
                      L"  SubKeyList",
                      L"    SubKey [" + key + L"]",
                      L"      Value [\"Remove\"] [REG_SZ]",
                  }));
        const std::wstring ini = t + L"\\app.ini";
        EXPECT_EQ(Dump(project, L"INIFileSystem"),
                  (std::vector<std::wstring>{
                      L"AddedItems",
                      L"  FileList",
                      L"    File [" + ini + L"]",
                      L"      Section [Main] [Added] [yes]",
                      L"ModifiedItems",
                      L"  FileList",
                      L"    File [" + ini + L"]",
                      L"      Section [Main] [Mode] [2]",
                      L"DeletedItems",
                      L"  FileList",
                      L"    File [" + ini + L"]",
                      L"      Section [Main] [Old] [x]",
                  }));
        EXPECT_EQ(Dump(project, L"ProductInformation"),
                  (std::vector<std::wstring>{L"ProductInformation [RoadApp] [1.2] [Acme] [" +
                                             DeriveUpgradeCode(L"Acme", L"RoadApp") + L"]"}))
            << "the capture names the product's UpgradeCode";
        EXPECT_FALSE(PathExists(m_session.Paths.TempFolder())) << "the end of a capture removes \\Temp";
        EXPECT_FALSE(ReadSnapshotTakenKey(m_session.Paths));
    }

    TempFolder m_root;
    ScopedEnvironment m_temp{L"temp", (m_root / L"work").c_str()};
    ScopedEnvironment m_appdata{L"appdata", (m_root / L"appdata").c_str()};
    std::unique_ptr<ScopedCurrentDirectory> m_cd;
    // The paths of the run, for the pending-capture key.
    Session m_session;
    std::unique_ptr<TestRegistryKey> m_key;
    std::wstring m_target;
    bool m_onWorker = false;
};

} // namespace

TEST_F(CaptureRoad, AnUninterruptedCaptureGivesTheExpectedProjectFile)
{
    Session session;
    ASSERT_TRUE(InitializePaths(session, L"", L""));
    auto manager = std::make_unique<CUIManager>(session);
    FirstHalf(*manager);
    RunFakeSetup();
    SecondHalf(*manager);
    manager.reset();
    CheckProjectFile(session);
}

TEST_F(CaptureRoad, ACaptureResumedAfterARestartGivesTheSameProjectFile)
{
    Session firstSession;
    ASSERT_TRUE(InitializePaths(firstSession, L"", L""));
    auto first = std::make_unique<CUIManager>(firstSession);
    FirstHalf(*first);
    first.reset(); // the process ends here

    RunFakeSetup();
    // Nothing of the first process survives but its files (the second
    // session starts with an empty selection).

    // A new start finds the pending capture, keeps its files and resumes.
    Session secondSession;
    ASSERT_TRUE(InitializePaths(secondSession, L"", L""));
    auto second = std::make_unique<CUIManager>(secondSession);
    ASSERT_NE(second, nullptr);
    ASSERT_TRUE(second->Initialize());
    EXPECT_TRUE(secondSession.SnapshotPending);
    ASSERT_TRUE(second->Coordinator().IsFirstSnapshotTaken());
    second->ReadScanDetails();
    EXPECT_EQ(second->GetProductInfo(), (ProductInfo{L"RoadApp", L"1.2", L"Acme"}));
    EXPECT_EQ(second->GetSetupFilePath(), m_root / L"setup.exe");
    SecondHalf(*second);
    second.reset();
    CheckProjectFile(secondSession);
}

TEST_F(CaptureRoad, ACaptureRunOnWorkersWritesTheSameProjectFileAsOnOneThread)
{
    // The manager and its documents are made on this thread, as on the
    // wizard's window thread; the captures, the comparison and the project
    // writer then run on workers with COM of their own.
    std::string oneThread;
    for (const bool onWorker : {false, true}) {
        SCOPED_TRACE(onWorker ? "on workers" : "on one thread");
        m_onWorker = onWorker;
        if (onWorker) {
            RemoveFolderTree(m_target);
            CreateDirectoryW(m_target.c_str(), nullptr);
            CreateDirectoryW((m_target + L"\\Caf\u00e9").c_str(), nullptr);
            m_key.reset();
            PrepareMachine();
        }
        Session session;
        ASSERT_TRUE(InitializePaths(session, L"", L""));
        auto manager = std::make_unique<CUIManager>(session);
        FirstHalf(*manager);
        RunFakeSetup();
        SecondHalf(*manager);
        manager.reset();
        CheckProjectFile(session);
        if (!onWorker)
            oneThread = ReadFileBytes(session.ProjectFilePath());
        else
            EXPECT_EQ(ReadFileBytes(session.ProjectFilePath()), oneThread);
    }
}

TEST_F(CaptureRoad, TheSetupsOwnUninstallerWaitsAmongTheExcludedChangesAndCanComeBack)
{
    Session session;
    ASSERT_TRUE(InitializePaths(session, L"", L""));
    auto manager = std::make_unique<CUIManager>(session);
    FirstHalf(*manager);
    RunFakeSetup();
    const std::wstring uninstaller = m_target + L"\\bin\\uninstall.exe";
    WriteFileBytes(uninstaller, "MZ uninstall");
    const std::wstring entry = L"Microsoft\\Windows\\CurrentVersion\\Uninstall\\RoadApp";
    HKEY sub = nullptr;
    ASSERT_EQ(RegCreateKeyExW(m_key->Key(), entry.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, nullptr),
              ERROR_SUCCESS);
    SetString(sub, L"UninstallString", L"\"" + uninstaller + L"\" /S");
    RegCloseKey(sub);
    ASSERT_TRUE(manager->Coordinator().CaptureSnapshot(manager->GetScanDetails()));
    ASSERT_TRUE(manager->Coordinator().CompareSnapshot());

    // Out of the added maps, into the stores the review pages list, with the reason.
    CEnumerateWrapper& coordinator = manager->Coordinator();
    const std::wstring bin = m_target + L"\\bin";
    const std::wstring key = L"HKEY_CURRENT_USER\\Software\\CorvaneTest\\Road\\" + entry;
    const auto& files = coordinator.Changes().Files(ChangeOrigin::Added).at(bin);
    EXPECT_EQ(std::count(files.begin(), files.end(), uninstaller), 0);
    EXPECT_EQ(coordinator.Changes().Registry(ChangeOrigin::Added).count(key), 0u);
    EXPECT_EQ(session.ExcludedFiles.EntriesByKey()[bin], std::vector<std::wstring>{uninstaller});
    EXPECT_EQ(session.ExcludedFiles.DescriptionOf(bin), UninstallEntryDescription);
    EXPECT_EQ(session.ExcludedRegistry.EntriesByKey()[key].size(), 1u);
    EXPECT_EQ(session.ExcludedRegistry.DescriptionOf(key), UninstallEntryDescription);

    // "<<" puts them back where they came from.
    ChangeSet& changes = coordinator.Changes();
    session.ExcludedFiles.RestoreKey(FileChangeMaps(changes), bin);
    session.ExcludedRegistry.RestoreKey(RegistryChangeMaps(changes), key);
    const auto& restored = changes.Files(ChangeOrigin::Added).at(bin);
    EXPECT_EQ(std::count(restored.begin(), restored.end(), uninstaller), 1);
    EXPECT_EQ(changes.Registry(ChangeOrigin::Added).at(key).size(), 1u);
    EXPECT_TRUE(session.ExcludedFiles.Empty());
    EXPECT_TRUE(session.ExcludedRegistry.Empty());
    EXPECT_EQ(manager->Uninitialize(), 1);
    manager.reset();
}
