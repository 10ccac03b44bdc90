#include "app/CommandLine.h"
#include "common/Paths.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <memory>

TEST(CaptureOptions, CommandsAndNamesAreMatchedWithoutCaseAndValuesKeepTheirs)
{
    CaptureOptions o;
    std::wstring error;
    ASSERT_TRUE(ParseCaptureOptions({L"-CAPTURE", L"C:\\Setups\\App Setup.exe", L"-PATH=D:\\Out Put", L"-file=My.msi",
                                     L"-Args=/S /D=C:\\Prog", L"-name=My App", L"-VERSION=2.0", L"-Company=Acme Inc"},
                                    o, error))
        << std::string(error.begin(), error.end());
    EXPECT_EQ(o.command, L"-capture");
    EXPECT_EQ(o.setup, L"C:\\Setups\\App Setup.exe");
    EXPECT_EQ(o.path, L"D:\\Out Put");
    EXPECT_EQ(o.file, L"My.msi");
    EXPECT_EQ(o.args, L"/S /D=C:\\Prog");
    EXPECT_EQ(o.name, L"My App");
    EXPECT_EQ(o.version, L"2.0");
    EXPECT_EQ(o.company, L"Acme Inc");

    ASSERT_TRUE(ParseCaptureOptions({L"-Snapshot", L"-Path=C:\\o", L"-Setup=C:\\s.exe"}, o, error));
    EXPECT_EQ(o.setup, L"C:\\s.exe");
    ASSERT_TRUE(ParseCaptureOptions({L"-resume", L"-Path=C:\\o"}, o, error));
    EXPECT_EQ(o.command, L"-resume");
}

TEST(CaptureOptions, WrongArgumentsAreRefusedWithAReason)
{
    CaptureOptions o;
    std::wstring error;
    EXPECT_FALSE(ParseCaptureOptions({L"-capture", L"-Path=C:\\o"}, o, error)) << "the setup program is missing";
    EXPECT_FALSE(ParseCaptureOptions({L"-capture", L"C:\\s.exe"}, o, error)) << "no output folder";
    EXPECT_FALSE(ParseCaptureOptions({L"-capture", L"C:\\s.exe", L"-Path=C:\\o", L"-Colour=red"}, o, error));
    EXPECT_NE(error.find(L"-Colour=red"), std::wstring::npos);
    EXPECT_FALSE(ParseCaptureOptions({L"-capture", L"C:\\s.exe", L"-Path=C:\\o", L"-Setup=C:\\t.exe"}, o, error))
        << "-Setup= belongs to -snapshot";
    EXPECT_FALSE(ParseCaptureOptions({L"-capture", L"C:\\Setups\\app.MSI", L"-Path=C:\\o"}, o, error))
        << "Windows Installer setups cannot be repackaged";
    EXPECT_FALSE(ParseCaptureOptions({L"-build"}, o, error));
}

namespace {

// A program folder of its own, made current, with the log writing into it.
class CommandLineRun : public ::testing::Test
{
protected:
    void SetUp() override
    {
        WriteFileBytes(m_root / L"CorvaneRepackager.ini",
                       "[LogFileDetails]\r\nLogLevel=2\r\nErrorLogFileName=" + m_root.Utf8() + "\\ErrorLog.txt\r\n");
    }

    int Run(const std::vector<std::wstring>& arguments)
    {
        m_report.clear();
        return RunCommandLine(arguments, [this](const std::wstring& line) { m_report.push_back(line); });
    }

    std::string Log() const { return ReadFileBytes(m_root / L"ErrorLog.txt"); }

    TempFolder m_root;
    ScopedCurrentDirectory m_cd{m_root.Path()};
    ScopedEnvironment m_temp{L"temp", (m_root / L"work").c_str()};
    std::vector<std::wstring> m_report;
};

} // namespace

TEST_F(CommandLineRun, OneArgumentWritesTheUsageLineAndEndsWithTheWrongArgumentsCode)
{
    EXPECT_EQ(Run({L"project.xml"}), ExitWrongArguments);
    EXPECT_NE(Log().find(std::string(" ") + BuildUsageLine + "\r\n"), std::string::npos) << Log();
    EXPECT_FALSE(m_report.empty());
}

TEST_F(CommandLineRun, ABuildWithoutPathOrWithAMissingProjectFileFails)
{
    WriteFileBytes(m_root / L"p.xml", "<x/>");
    EXPECT_EQ(Run({m_root / L"p.xml", L"-File=a.msi"}), ExitWrongArguments) << "no -Path=";
    EXPECT_NE(Log().find(BuildUsageLine), std::string::npos);

    EXPECT_EQ(Run({m_root / L"missing.xml", L"-Path=" + (m_root / L"out")}), ExitFailure);
    EXPECT_NE(Log().find(" Given XML file not found\r\n\r\n"), std::string::npos) << Log();
    EXPECT_FALSE(PathExists(m_root / L"out")) << "nothing is created for a missing project file";
}

TEST_F(CommandLineRun, CaptureCommandsReportWrongArgumentsWithUsage)
{
    EXPECT_EQ(Run({L"-capture", L"-Path=" + (m_root / L"out")}), ExitWrongArguments);
    ASSERT_GE(m_report.size(), 2u);
    EXPECT_NE(m_report[1].find(L"-capture"), std::wstring::npos);
    EXPECT_EQ(Run({L"-capture", m_root / L"nosetup.exe", L"-Path=" + (m_root / L"out")}), ExitWrongArguments);
    EXPECT_NE(m_report.back().find(L"not found"), std::wstring::npos);
}

TEST_F(CommandLineRun, ACaptureWithoutProductInformationFailsBeforeTouchingTheMachine)
{
    // A "setup" without a version resource and no -Name/-Version/-Company.
    WriteFileBytes(m_root / L"setup.exe", "MZ not really a program");
    EXPECT_EQ(Run({L"-capture", m_root / L"setup.exe", L"-Path=" + (m_root / L"out"), L"-Name=App"}), ExitFailure);
    EXPECT_NE(m_report.back().find(L"-Version= -Company="), std::wstring::npos);
    EXPECT_FALSE(PathExists(m_root / L"out"));
}

TEST_F(CommandLineRun, ResumeWithoutAPendingCaptureFails)
{
    EXPECT_EQ(Run({L"-resume", L"-Path=" + (m_root / L"out")}), ExitFailure);
    EXPECT_NE(m_report.back().find(L"No pending capture"), std::wstring::npos);
}
