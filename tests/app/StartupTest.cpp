// Start-up in both modes: one run per program folder, and a wizard that does
// not start without its working folders.
#include "app/Startup.h"
#include "common/RunLock.h"
#include "common/Utf.h"
#include "tests/support/TestSupport.h"
#include "ui/framework/UiServices.h"
#include "ui/wizard/Wizard.h"

#include <gtest/gtest.h>

#include <optional>
#include <thread>

namespace {

struct MessageBoxes
{
    std::vector<std::wstring> texts;
    std::vector<std::wstring> captions;
    MessageBoxes()
    {
        SetMessageBoxFunction([this](HWND, const std::wstring& text, const std::wstring& caption, UINT) {
            texts.push_back(text);
            captions.push_back(caption);
            return IDOK;
        });
    }
    ~MessageBoxes() { SetMessageBoxFunction({}); }
};

// Runs RunProgram on its own thread: the run lock is held per thread, so this
// is another run as far as the lock goes.
int RunElsewhere(const std::vector<std::wstring>& arguments, const std::wstring& folder,
                 std::vector<std::wstring>& console, int& wizardRuns)
{
    int exitCode = -1;
    std::thread([&] {
        exitCode = RunProgram(
            arguments, folder, [&](const std::wstring& line) { console.push_back(line); },
            [&](Session&) {
                ++wizardRuns;
                // The lock is held for the whole run, the wizard included.
                bool other = true;
                std::thread([&] {
                    CRunLock lock;
                    other = lock.Acquire(folder);
                }).join();
                return other ? 99 : 0;
            });
    }).join();
    return exitCode;
}

TEST(Startup, ASecondRunFromTheSameProgramFolderEndsAtOnceInEveryMode)
{
    MessageBoxes boxes;
    const std::wstring folder = L"C:\\Corvane\\Startup-" + NewGuidText();
    CRunLock first;
    ASSERT_TRUE(first.Acquire(folder));

    std::vector<std::wstring> console;
    int wizardRuns = 0;
    EXPECT_EQ(ExitFailure, RunElsewhere({}, folder, console, wizardRuns)) << "the wizard";
    ASSERT_EQ(1u, boxes.texts.size());
    EXPECT_EQ(AnotherRunInProgress, boxes.texts[0]);
    EXPECT_EQ(L"Corvane Repackager", boxes.captions[0]);
    EXPECT_TRUE(console.empty());

    EXPECT_EQ(ExitFailure, RunElsewhere({L"C:\\x\\project.xml", L"-Path=C:\\x"}, folder, console, wizardRuns))
        << "the build from a project file";
    EXPECT_EQ(std::vector<std::wstring>{AnotherRunInProgress}, console);
    EXPECT_EQ(1u, boxes.texts.size()) << "the command line shows no message box";
    EXPECT_EQ(0, wizardRuns);

    first.Release();
    EXPECT_EQ(0, RunElsewhere({}, folder, console, wizardRuns)) << "the lock is free and held by the wizard's run";
    EXPECT_EQ(1, wizardRuns);
}

// Two program folders of one user share the working folders: the second run
// is refused, naming the folder of the run that holds them.
TEST(Startup, ARunFromAnotherProgramFolderOfTheSameUserEndsAtOnce)
{
    MessageBoxes boxes;
    const std::wstring first = L"C:\\CorvA-" + NewGuidText();
    const std::wstring second = L"C:\\CorvB-" + NewGuidText();
    CWorkingFoldersLock holding;
    std::wstring holder;
    ASSERT_TRUE(holding.Acquire(first, holder));

    std::vector<std::wstring> console;
    int wizardRuns = 0;
    EXPECT_EQ(ExitFailure, RunElsewhere({L"-resume", L"-Path=C:\\x"}, second, console, wizardRuns));
    EXPECT_EQ(std::vector<std::wstring>{WorkingFoldersInUse(first)}, console);
    EXPECT_NE(std::wstring::npos, console[0].find(first)) << ToUtf8(console[0]);
    EXPECT_EQ(ExitFailure, RunElsewhere({}, second, console, wizardRuns)) << "the wizard";
    ASSERT_EQ(1u, boxes.texts.size());
    EXPECT_EQ(WorkingFoldersInUse(first), boxes.texts[0]);
    EXPECT_EQ(0, wizardRuns);

    // Another thread is another run for the lock: it is refused while this
    // holds, and takes the folders once they are let go.
    bool other = true;
    std::thread([&] {
        CWorkingFoldersLock lock;
        std::wstring seen;
        other = lock.Acquire(second, seen);
    }).join();
    EXPECT_FALSE(other);
    holding.Release();
    EXPECT_EQ(0, RunElsewhere({}, second, console, wizardRuns)) << "free again";
    EXPECT_EQ(1, wizardRuns);
}

// Restores an environment variable when the test ends.
class EnvironmentVariable
{
public:
    explicit EnvironmentVariable(const wchar_t* name) : m_name(name)
    {
        wchar_t value[32768];
        const DWORD n = GetEnvironmentVariableW(name, value, 32768);
        if (n > 0 && n < 32768)
            m_saved = std::wstring(value, n);
    }
    ~EnvironmentVariable() { SetEnvironmentVariableW(m_name, m_saved ? m_saved->c_str() : nullptr); }

private:
    const wchar_t* m_name;
    std::optional<std::wstring> m_saved;
};

TEST(Startup, TheWizardDoesNotStartWithoutItsWorkingFolders)
{
    MessageBoxes boxes;
    EnvironmentVariable temp(L"TEMP"), appdata(L"APPDATA");
    for (const wchar_t* unset : {L"TEMP", L"APPDATA"}) {
        SCOPED_TRACE(testing::Message() << ToUtf8(unset) << " unset");
        EnvironmentVariable restore(unset);
        ASSERT_TRUE(SetEnvironmentVariableW(unset, nullptr));
        boxes.texts.clear();
        // Were the sheet shown, this would wait for a person: it must stop first.
        Session session;
        EXPECT_EQ(1, RunWizard(session));
        ASSERT_EQ(1u, boxes.texts.size());
        EXPECT_NE(std::wstring::npos, boxes.texts[0].find(L"The program cannot start")) << ToUtf8(boxes.texts[0]);
    }
}

} // namespace
