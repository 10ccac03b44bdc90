// The wait for a whole setup, with real processes: setup_tree.exe stands in
// for a bootstrapper that starts its inner setup (itself) and exits early.
#include "common/SetupProcess.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::wstring TreeCommand(int depth, int milliseconds, int exitCode, const std::wstring& marker)
{
    return L"\"" + ExecutableFolder() + L"\\setup_tree.exe\" " + std::to_wstring(depth) + L" " +
           std::to_wstring(milliseconds) + L" " + std::to_wstring(exitCode) + L" \"" + marker + L"\"";
}

} // namespace

TEST(SetupProcess, WaitsForEveryProcessOfTheSetupAndKeepsTheSetupsExitCode)
{
    struct Case
    {
        const char* what;
        int depth;        // 0: a plain setup; 1: a bootstrapper; 2: a bootstrapper of one
        int milliseconds; // how long the innermost process works
        int exitCode;     // the started process's own exit code
    };
    const Case cases[] = {
        {"plain setup", 0, 300, 0},
        {"bootstrapper exiting early with its own code", 1, 1500, 7},
        {"two levels deep", 2, 1500, 3010},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder folder;
        const std::wstring marker = folder / L"installed.txt";
        CSetupProcess setup;
        const ULONGLONG start = GetTickCount64();
        ASSERT_TRUE(setup.Start(TreeCommand(c.depth, c.milliseconds, c.exitCode, marker), folder.Path()));
        EXPECT_TRUE(setup.FollowsChildren());
        ASSERT_TRUE(setup.WaitForAll(60000));
        const ULONGLONG waited = GetTickCount64() - start;
        EXPECT_TRUE(PathExists(marker)) << "the wait ended before the innermost process had written its file";
        EXPECT_GE(waited + 50, static_cast<ULONGLONG>(c.milliseconds));
        EXPECT_TRUE(setup.SetupHasEnded());
        DWORD code = 0;
        ASSERT_TRUE(setup.ExitCode(code));
        EXPECT_EQ(static_cast<DWORD>(c.exitCode), code);
        EXPECT_TRUE(setup.StillRunning().empty());
    }
}

TEST(SetupProcess, ATimeoutNamesTheProcessesStillRunning)
{
    TempFolder folder;
    const std::wstring marker = folder / L"installed.txt";
    CSetupProcess setup;
    ASSERT_TRUE(setup.Start(TreeCommand(1, 4000, 0, marker), folder.Path()));
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(setup.Process(), 10000)) << "the bootstrapper exits at once";
    EXPECT_FALSE(setup.WaitForAll(300));
    EXPECT_TRUE(setup.SetupHasEnded());
    const std::vector<RunningProgram> running = setup.StillRunning();
    ASSERT_EQ(1u, running.size());
    EXPECT_EQ(L"setup_tree.exe", running[0].name);
    EXPECT_NE(GetProcessId(setup.Process()), running[0].id) << "the child, not the ended bootstrapper";
    EXPECT_EQ(L"setup_tree.exe (" + std::to_wstring(running[0].id) + L")", DescribePrograms(running));

    ASSERT_TRUE(setup.WaitForAll(60000));
    EXPECT_EQ(std::to_string(running[0].id), ReadFileBytes(marker)) << "the process named is the one that worked";
}

TEST(SetupProcess, AProgramThatCannotStartReportsTheSystemsCode)
{
    TempFolder folder;
    CSetupProcess setup;
    EXPECT_FALSE(setup.Start(L"\"" + (folder / L"missing.exe") + L"\"", folder.Path()));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
    EXPECT_TRUE(setup.WaitForAll(0)) << "nothing started, nothing to wait for";

    // A handle that is no process (the shell gave an event) is waited for alone.
    UniqueKernelHandle event(CreateEventW(nullptr, TRUE, TRUE, nullptr));
    setup.Follow(std::move(event));
    EXPECT_FALSE(setup.FollowsChildren());
    EXPECT_TRUE(setup.WaitForAll(1000));
}
