#include "common/Config.h"
#include "common/PathSetup.h"
#include "common/Utf.h"
#include "common/Workspace.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// A program folder, a working root and an application-data folder of their own.
class WorkspaceFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        CreateDirectoryW((m_root / L"prog").c_str(), nullptr);
        CreateDirectoryW((m_root / L"work").c_str(), nullptr);
        CreateDirectoryW((m_root / L"appdata").c_str(), nullptr);
        m_cd = std::make_unique<ScopedCurrentDirectory>(m_root / L"prog");
        ASSERT_TRUE(InitializePaths(m_paths, m_tokens, L"", L""));
    }

    void FillWorkingFolders()
    {
        for (const wchar_t* folder : {L"work\\Temp", L"work\\SnapShot", L"appdata\\INIBackup"}) {
            CreateDirectoryW((m_root / folder).c_str(), nullptr);
            CreateDirectoryW((m_root / folder + L"\\sub").c_str(), nullptr);
            WriteFileBytes(m_root / folder + L"\\sub\\f.txt", "x");
        }
    }

    bool IsEmptyFolder(const std::wstring& path)
    {
        return IsFolder(path) && !PathExists(path + L"\\sub");
    }

    TempFolder m_root;
    ScopedEnvironment m_temp{L"temp", (m_root / L"work").c_str()};
    ScopedEnvironment m_appdata{L"appdata", (m_root / L"appdata").c_str()};
    std::unique_ptr<ScopedCurrentDirectory> m_cd;
    WorkPaths m_paths;
    FolderTokenValues m_tokens;
};

} // namespace

TEST_F(WorkspaceFixture, AFirstStartCleansTheWorkingFolders)
{
    FillWorkingFolders();
    EXPECT_FALSE(CleanWorkspaceAtStartup(m_paths));
    EXPECT_FALSE(PathExists(m_root / L"work\\Temp")) << "\\Temp comes back only when a build or capture needs it";
    EXPECT_TRUE(IsEmptyFolder(m_root / L"work\\SnapShot"));
    EXPECT_TRUE(IsEmptyFolder(m_root / L"appdata\\INIBackup"));
}

TEST_F(WorkspaceFixture, APendingCaptureKeepsEverything)
{
    FillWorkingFolders();
    ASSERT_TRUE(WriteSnapshotTakenKey(m_paths));
    EXPECT_TRUE(ReadSnapshotTakenKey(m_paths));
    EXPECT_TRUE(CleanWorkspaceAtStartup(m_paths));
    EXPECT_TRUE(PathExists(m_root / L"work\\Temp\\sub\\f.txt"));
    EXPECT_TRUE(PathExists(m_root / L"work\\SnapShot\\sub\\f.txt"));
    EXPECT_TRUE(PathExists(m_root / L"appdata\\INIBackup\\sub\\f.txt"));
}

TEST_F(WorkspaceFixture, StartOverDiscardsThePendingCaptureAndItsKey)
{
    FillWorkingFolders();
    WriteFileBytes(m_root / L"prog\\CorvaneRepackager.ini",
                   "[LogFileDetails]\r\nLogLevel=0\r\n[SnapshotDetails]\r\nIsSnapshotTaken=1\r\n");
    ASSERT_TRUE(CleanWorkspaceAtStartup(m_paths));
    DiscardPendingCapture(m_paths);
    EXPECT_FALSE(ReadSnapshotTakenKey(m_paths));
    EXPECT_FALSE(PathExists(m_root / L"work\\Temp"));
    EXPECT_TRUE(IsEmptyFolder(m_root / L"work\\SnapShot"));
    EXPECT_TRUE(IsEmptyFolder(m_root / L"appdata\\INIBackup"));
    const std::string ini = ReadFileBytes(m_root / L"prog\\CorvaneRepackager.ini");
    EXPECT_EQ(ini.find("IsSnapshotTaken"), std::string::npos) << ini;
    EXPECT_NE(ini.find("LogLevel=0"), std::string::npos) << "other keys stay";
}

TEST_F(WorkspaceFixture, ConfigurationReadsDefaultsAndCutsLongStrings)
{
    const std::wstring file = m_paths.ConfigFilePath;
    EXPECT_EQ(ReadConfigInt(file, L"AdvertisementURL", L"WaitTimeOut", 10), 10);
    WriteFileBytes(m_root / L"prog\\CorvaneRepackager.ini",
                   "[AdvertisementURL]\r\nWaitTimeOut=3\r\nWaitHTML=" + std::string(400, 'w') + "\r\n");
    EXPECT_EQ(ReadConfigInt(file, L"AdvertisementURL", L"WaitTimeOut", 10), 3);
    EXPECT_EQ(ReadConfigString(file, L"AdvertisementURL", L"WaitHTML", L"").size(), 255u);
    EXPECT_EQ(ReadConfigString(file, L"AdvertisementURL", L"StaticAdvertisementHTML", L""), L"");
}

TEST_F(WorkspaceFixture, WithoutTempOrAppDataNothingAtTheDriveRootIsRemoved)
{
    // Folders at the root of the current drive that an empty working root
    // would name.
    const std::wstring drive = m_root.Path().substr(0, 2);
    const std::wstring marker = L"corvane-" + NewGuidText();
    std::vector<std::wstring> made;
    for (const wchar_t* folder : {L"\\Temp", L"\\SnapShot", L"\\INIBackup"}) {
        if (CreateDirectoryW((drive + folder).c_str(), nullptr))
            made.push_back(drive + folder);
        WriteFileBytes(drive + folder + L"\\" + marker, "keep");
    }
    for (const wchar_t* variable : {L"temp", L"appdata"}) {
        SCOPED_TRACE(ToUtf8(variable));
        ScopedEnvironment unset(variable, nullptr);
        EXPECT_FALSE(InitializePaths(m_paths, m_tokens, L"", L""));
        EXPECT_EQ(m_paths.WorkingRoot, L"") << "the paths are left empty";
        EXPECT_FALSE(CleanWorkspaceAtStartup(m_paths));
        DiscardPendingCapture(m_paths);
        for (const wchar_t* folder : {L"\\Temp", L"\\SnapShot", L"\\INIBackup"})
            EXPECT_TRUE(PathExists(drive + folder + L"\\" + marker)) << ToUtf8(folder);
    }
    for (const wchar_t* folder : {L"\\Temp", L"\\SnapShot", L"\\INIBackup"})
        DeleteFileW((drive + folder + L"\\" + marker).c_str());
    for (const std::wstring& folder : made)
        RemoveDirectoryW(folder.c_str());
}
