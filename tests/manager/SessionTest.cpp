// The session's own paths: filled at start-up, one run's apart from another's.
#include "manager/Session.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

TEST(Session, StartUpPlacesTheRunsPathsAndDefaultProjectFile)
{
    TempFolder root;
    CreateDirectoryW((root / L"prog").c_str(), nullptr);
    ScopedCurrentDirectory cd(root / L"prog");
    ScopedEnvironment temp(L"temp", (root / L"work").c_str());
    ScopedEnvironment appdata(L"appdata", (root / L"data").c_str());
    const std::wstring prog = root / L"prog";

    Session wizard;
    ASSERT_TRUE(InitializePaths(wizard, L"", L""));
    EXPECT_EQ(wizard.Paths.ProgramFolder, prog);
    EXPECT_EQ(wizard.Paths.WorkingRoot, root / L"work");
    EXPECT_EQ(wizard.Tokens.appdata, root / L"data") << "the token values are the session's too";
    EXPECT_EQ(wizard.ProjectFilePath(), prog + L"\\Packages\\ProjectFile.xml");

    // Another run's session: its own output folder, the first one's untouched.
    Session commandLine;
    ASSERT_TRUE(InitializePaths(commandLine, L"D:\\out\\", L"App.msi"));
    EXPECT_EQ(commandLine.Paths.OutputFolder, L"D:\\out");
    EXPECT_EQ(commandLine.Paths.MsiFileName, L"App.msi");
    EXPECT_EQ(commandLine.ProjectFilePath(), L"D:\\out\\Packages\\ProjectFile.xml");
    EXPECT_EQ(wizard.Paths.OutputFolder, prog);
    EXPECT_EQ(wizard.ProjectFilePath(), prog + L"\\Packages\\ProjectFile.xml");

    commandLine.SetProjectFilePath(L"E:\\p\\\u00e9.xml");
    EXPECT_EQ(commandLine.ProjectFilePath(), L"E:\\p\\\u00e9.xml");

    // A refused start-up leaves no paths, and no new project file name.
    ScopedEnvironment unset(L"temp", nullptr);
    EXPECT_FALSE(InitializePaths(commandLine, L"", L""));
    EXPECT_TRUE(commandLine.Paths.WorkingRoot.empty());
    EXPECT_TRUE(commandLine.Paths.ConfigFilePath.empty());
    EXPECT_EQ(commandLine.ProjectFilePath(), L"E:\\p\\\u00e9.xml");
}
