#include "app/CommandLine.h"
#include "common/Paths.h"
#include "common/UniqueHandle.h"
#include "common/Utf.h"
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
    EXPECT_FALSE(o.wxs);
    ASSERT_TRUE(ParseCaptureOptions({L"-resume", L"-Wxs", L"-Path=C:\\o"}, o, error));
    EXPECT_TRUE(o.wxs);
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
    EXPECT_FALSE(ParseCaptureOptions({L"-snapshot", L"-Path=C:\\o", L"-wxs"}, o, error)) << "-snapshot builds nothing";
}

namespace {

// A program folder of its own, made current, with the log writing into it.
class CommandLineRun : public ::testing::Test
{
protected:
    void SetUp() override
    {
        WriteFileBytes(m_root / L"CorvaneRepackager.ini",
                       "[LogFileDetails]\r\nLogLevel=2\r\nErrorLogFileName=ErrorLog.txt\r\n");
    }

    int Run(const std::vector<std::wstring>& arguments)
    {
        m_report.clear();
        ScopedFileLog log(m_root.Path()); // as the program opens it for each run
        Session session; // a run of its own, as the program has
        return RunCommandLine(session, arguments, [this](const std::wstring& line) { m_report.push_back(line); });
    }

    std::string Log() const { return ReadFileBytes(m_root / L"ErrorLog.txt"); }

    // The program's data files, and an include/exclude file that limits the
    // captures to one folder and one test key, so that they take moments.
    void PrepareCaptures()
    {
        for (const wchar_t* file : {L"RawProjectFile.xml", L"Blank.msi"})
            ASSERT_TRUE(
                CopyFileW((ExecutableFolder() + L"\\..\\bin\\" + file).c_str(), (m_root / file).c_str(), FALSE));
        for (const wchar_t* folder : {L"data", L"appdata", L"work"})
            CreateDirectoryW((m_root / folder).c_str(), nullptr);
        for (const wchar_t* file : {L"data\\a.txt", L"data\\b.txt", L"data\\c.txt"})
            WriteFileBytes(m_root / file, "installed before");
        WriteFileBytes(m_root / L"DefaultIncludeExclude.xml",
                       "<IncludeExclude><FileSystem><IncludedItems><IncludedEntry Name=\"" + ToUtf8(m_root / L"data") +
                           "\"/></IncludedItems><ExcludedItems/></FileSystem><RegistrySystem><IncludedItems>"
                           "<IncludedEntry Name=\"HKEY_CURRENT_USER\\" + ToUtf8(m_key.SubPath()) +
                           "\"/></IncludedItems><ExcludedItems/></RegistrySystem></IncludeExclude>");
    }

    bool Pending() const
    {
        return ReadFileBytes(m_root / L"CorvaneRepackager.ini").find("IsSnapshotTaken=1") != std::string::npos;
    }
    std::wstring FirstSnapshot() const { return m_root / L"work\\SnapShot\\FileSystemDir\\FirstSnapShot.txt"; }
    bool Reported(const std::wstring& text) const
    {
        for (const std::wstring& line : m_report)
            if (line.find(text) != std::wstring::npos)
                return true;
        return false;
    }
    std::string Dump() const
    {
        std::string text;
        for (const std::wstring& line : m_report)
            text += ToUtf8(line) + "\n";
        return text;
    }
    std::wstring Cmd() const
    {
        wchar_t system[MAX_PATH];
        GetSystemDirectoryW(system, MAX_PATH);
        return std::wstring(system) + L"\\cmd.exe";
    }

    TempFolder m_root;
    ScopedCurrentDirectory m_cd{m_root.Path()};
    ScopedEnvironment m_temp{L"temp", (m_root / L"work").c_str()};
    ScopedEnvironment m_appdata{L"appdata", (m_root / L"appdata").c_str()};
    TestRegistryKey m_key{L"CommandLineCapture"};
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
    EXPECT_NE(m_report.back().find(L"-snapshot"), std::wstring::npos);

    // Stopped after its project file was written: the mark without snapshots.
    // Nothing is left to capture; the report names the file and the build.
    WriteFileBytes(m_root / L"CorvaneRepackager.ini", "[LogFileDetails]\r\nLogLevel=2\r\nErrorLogFileName="
                                                      "ErrorLog.txt\r\n[SnapshotDetails]\r\nIsSnapshotTaken=1\r\n");
    CreateDirectoryW((m_root / L"out").c_str(), nullptr);
    CreateDirectoryW((m_root / L"out\\Packages").c_str(), nullptr);
    const std::wstring project = m_root / L"out\\Packages\\App_1.0.xml";
    WriteFileBytes(project, "<CorvaneProject/>");
    EXPECT_EQ(Run({L"-resume", L"-Path=" + (m_root / L"out")}), ExitFailure);
    ASSERT_FALSE(m_report.empty());
    EXPECT_NE(m_report.back().find(L"already wrote its project file " + project), std::wstring::npos)
        << ToUtf8(m_report.back());
    EXPECT_NE(m_report.back().find(L"CorvaneRepackager.exe \"" + project + L"\" -Path="), std::wstring::npos)
        << ToUtf8(m_report.back());
}

TEST(CaptureOptions, FileNamesAndTimeoutsAreChecked)
{
    CaptureOptions o;
    std::wstring error;
    ASSERT_TRUE(ParseCaptureOptions({L"-capture", L"C:\\s.exe", L"-Path=C:\\o", L"-Timeout=90"}, o, error));
    EXPECT_EQ(o.timeoutMinutes, 90u);
    ASSERT_TRUE(ParseCaptureOptions({L"-capture", L"C:\\s.exe", L"-Path=C:\\o"}, o, error));
    EXPECT_EQ(o.timeoutMinutes, 0u) << "no limit when absent";
    const std::vector<std::wstring> refused[] = {
        {L"-capture", L"C:\\s.exe", L"-Path=C:\\o", L"-Timeout=0"},
        {L"-capture", L"C:\\s.exe", L"-Path=C:\\o", L"-Timeout=ten"},
        {L"-capture", L"C:\\s.exe", L"-Path=C:\\o", L"-Timeout=-5"},
        {L"-capture", L"C:\\s.exe", L"-Path=C:\\o", L"-Timeout="},
        {L"-snapshot", L"-Path=C:\\o", L"-Timeout=5"},
        {L"-capture", L"C:\\s.exe", L"-Path=C:\\o", L"-File=..\\..\\windows\\evil.msi"},
        {L"-capture", L"C:\\s.exe", L"-Path=C:\\o", L"-File=C:\\evil.msi"},
        {L"-resume", L"-Path=C:\\o", L"-File=NUL.msi"},
        {L"-resume", L"-Path=C:\\o", L"-File=evil.msi."},
    };
    for (const auto& arguments : refused) {
        SCOPED_TRACE(ToUtf8(arguments.back()));
        EXPECT_FALSE(ParseCaptureOptions(arguments, o, error));
    }
}

TEST_F(CommandLineRun, BuildModeRefusesWrongArgumentsUnsafeNamesAndFilesThatAreNoProjects)
{
    const std::wstring out = m_root / L"out";
    CreateDirectoryW(out.c_str(), nullptr);
    CreateDirectoryW((out + L"\\Packages").c_str(), nullptr);
    const std::wstring project = out + L"\\Packages\\p.xml";
    WriteFileBytes(project, "<CorvaneProject><ProductInformation><ProductInformation ApplicationName=\"A\" "
                            "Version=\"1\" CompanyName=\"C\"/></ProductInformation></CorvaneProject>");
    struct Case
    {
        const char* name;
        std::vector<std::wstring> arguments;
        int exitCode;
        const wchar_t* reported;
    };
    const Case cases[] = {
        {"unknown option", {project, L"-Path=" + out, L"-Bogus=1"}, ExitWrongArguments, L"-Bogus=1"},
        {"surplus argument", {project, L"-Path=" + out, L"-File=a.msi", L"x"}, ExitWrongArguments, L"Usage:"},
        {"path in -File=", {project, L"-Path=" + out, L"-File=..\\..\\evil.msi"}, ExitWrongArguments, L"plain"},
        {"device in -File=", {project, L"-Path=" + out, L"-File=con.msi"}, ExitWrongArguments, L"device"},
        {"-File= is the project", {project, L"-Path=" + out, L"-File=P.XML"}, ExitWrongArguments, L"project file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Run(c.arguments), c.exitCode);
        EXPECT_TRUE(Reported(c.reported)) << Dump();
    }
    const char* notProjects[] = {
        "<html><body>x</body></html>",
        "<IncludeExclude><FileSystem/></IncludeExclude>",
        "<CorvaneProject><ProductInformation><ProductInformation ApplicationName=\"A\" CompanyName=\"C\"/>"
        "</ProductInformation></CorvaneProject>",
    };
    for (const char* xml : notProjects) {
        SCOPED_TRACE(xml);
        WriteFileBytes(project, xml);
        EXPECT_EQ(Run({project, L"-Path=" + out}), ExitFailure);
        EXPECT_TRUE(Reported(L"Not a project file")) << Dump();
    }
    WIN32_FIND_DATAW data;
    UniqueFind find(FindFirstFileW((out + L"\\Packages\\*.msi").c_str(), &data));
    EXPECT_FALSE(find.valid()) << "no package was written";
    EXPECT_TRUE(PathExists(project)) << "the project file is never overwritten";
}

TEST_F(CommandLineRun, TheSetupsOutcomeDecidesWhatBecomesOfTheCapture)
{
    PrepareCaptures();
    WriteFileBytes(m_root / L"notaprogram.exe", "MZ not really a program");
    struct Case
    {
        const char* name;
        std::wstring setup;
        std::wstring args;
        int exitCode;
        bool pending;
        const wchar_t* reported;
    };
    const Case cases[] = {
        {"success", Cmd(), L"/c exit 0", ExitSuccess, false, L"Package: "},
        {"restart needed", Cmd(), L"/c exit 3010", ExitSuccess, false, L"Package: "},
        {"not a program", m_root / L"notaprogram.exe", L"", ExitFailure, false, L"could not be started"},
        {"failed setup", Cmd(), L"/c exit 1603", ExitFailure, true, L"Exit code 1603 reports a failed setup"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::wstring out = m_root / L"out";
        RemoveFolderTree(out);
        EXPECT_EQ(Run({L"-capture", c.setup, L"-Path=" + out + L"\\nested\\deeper", L"-Args=" + c.args, L"-Name=App",
                       L"-Version=1", L"-Company=Acme"}),
                  c.exitCode);
        EXPECT_TRUE(Reported(c.reported)) << Dump();
        EXPECT_EQ(Pending(), c.pending);
        EXPECT_EQ(PathExists(FirstSnapshot()), c.pending);
        EXPECT_EQ(PathExists(out + L"\\nested\\deeper\\Packages\\App.msi"), c.exitCode == ExitSuccess);
        EXPECT_EQ(Reported(L"-resume -Path="), c.pending) << Dump();
    }
    // The pending capture of the failed setup is finished on request.
    EXPECT_EQ(Run({L"-resume", L"-Path=" + (m_root / L"out\\nested\\deeper")}), ExitSuccess);
    EXPECT_FALSE(Pending());
}

TEST_F(CommandLineRun, NoCaptureIsLostWhenItsFilesCannotBeWrittenOrAreDamaged)
{
    PrepareCaptures();
    const std::wstring out = m_root / L"out";
    const std::vector<std::wstring> snapshot = {L"-snapshot", L"-Path=" + out, L"-Name=..\\..\\evil", L"-Version=1",
                                                L"-Company=Acme"};
    // The output folder cannot be made: nothing is taken.
    WriteFileBytes(m_root / L"a file", "x");
    EXPECT_EQ(Run({L"-snapshot", L"-Path=" + (m_root / L"a file\\out"), L"-Name=A", L"-Version=1",
                   L"-Company=C"}),
              ExitFailure);
    EXPECT_TRUE(Reported(L"cannot be created")) << Dump();
    EXPECT_FALSE(PathExists(FirstSnapshot()));

    // The pending mark cannot be written (the configuration file is held by
    // another process; a read-only file does the same, except under Wine run
    // as root): the snapshot is not left behind.
    int lockedResult = 0;
    {
        UniqueFile held(CreateFileW((m_root / L"CorvaneRepackager.ini").c_str(), GENERIC_READ, 0, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(held);
        lockedResult = Run(snapshot);
    }
    EXPECT_EQ(lockedResult, ExitFailure);
    EXPECT_TRUE(Reported(L"pending-capture mark cannot be written")) << Dump();
    EXPECT_FALSE(Pending());
    EXPECT_FALSE(PathExists(FirstSnapshot()));

    // A damaged first snapshot is refused and stays pending.
    ASSERT_EQ(Run(snapshot), ExitSuccess);
    const std::string bytes = ReadFileBytes(FirstSnapshot());
    WriteFileBytes(FirstSnapshot(), bytes.substr(0, bytes.size() - 1060));
    EXPECT_EQ(Run({L"-resume", L"-Path=" + out}), ExitFailure);
    EXPECT_TRUE(Reported(L"damaged or incomplete")) << Dump();
    EXPECT_TRUE(Pending());
    EXPECT_NE(Log().find("FirstSnapShot.txt does not match its completion record"), std::string::npos) << Log();

    // The project file cannot be written (a folder has its name): the
    // snapshots and the mark stay.
    ASSERT_EQ(Run(snapshot), ExitSuccess);
    const std::wstring project = out + L"\\Packages\\.._.._evil_1.xml";
    ASSERT_TRUE(CreateDirectoryW(project.c_str(), nullptr));
    EXPECT_EQ(Run({L"-resume", L"-Path=" + out}), ExitFailure);
    EXPECT_TRUE(Reported(L"project file could not be written")) << Dump();
    EXPECT_TRUE(Pending());
    EXPECT_TRUE(PathExists(FirstSnapshot()));

    // Once mended, -resume finishes it; names made of the product
    // information stay inside the packages folder.
    ASSERT_TRUE(RemoveDirectoryW(project.c_str()));
    EXPECT_EQ(Run({L"-resume", L"-Path=" + out}), ExitSuccess);
    EXPECT_FALSE(Pending());
    EXPECT_TRUE(PathExists(out + L"\\Packages\\.._.._evil.msi"));
    EXPECT_TRUE(PathExists(out + L"\\Packages\\.._.._evil_1.xml"));
    EXPECT_FALSE(PathExists(m_root / L"evil.msi"));
}

TEST_F(CommandLineRun, APackageWithItemsLeftOutSaysSoAndEndsWithCodeThree)
{
    PrepareCaptures();
    const std::wstring project = m_root / L"p.xml";
    const std::string missing = ToUtf8(m_root / L"gone");
    WriteFileBytes(project, "<CorvaneProject><FileSystem><AddedItems><DirectoryList><Directory Name=\"" + missing +
                                "\"><File Name=\"a.txt\"/><File Name=\"b.txt\"/></Directory></DirectoryList>"
                                "</AddedItems></FileSystem><RegistrySystem><AddedItems><SubKeyList><SubKey "
                                "Name=\"HKEY_CURRENT_USER\\Software\\CorvaneTest\\NoSuchKey\"><Value Name=\"&quot;V&quot;\" "
                                "Type=\"REG_SZ\"/></SubKey></SubKeyList></AddedItems></RegistrySystem>"
                                "<ProductInformation><ProductInformation ApplicationName=\"A\" Version=\"1\" "
                                "CompanyName=\"C\"/></ProductInformation></CorvaneProject>");
    EXPECT_EQ(Run({project, L"-Path=" + (m_root / L"out")}), ExitIncomplete);
    EXPECT_TRUE(Reported(L"Left out: 2 files, 1 registry value (see the error log).")) << Dump();
    EXPECT_TRUE(PathExists(m_root / L"out\\Packages\\a.msi"));
}

TEST_F(CommandLineRun, TheWixSourceGoesBesideThePackageAndAFailedWriteLeavesTheBuildGood)
{
    PrepareCaptures();
    ASSERT_TRUE(CopyFileW((ExecutableFolder() + L"\\..\\bin\\makecab.exe").c_str(), (m_root / L"makecab.exe").c_str(),
                          FALSE));
    const std::wstring project = m_root / L"p.xml";
    WriteFileBytes(project, "<CorvaneProject><FileSystem><AddedItems><DirectoryList><Directory Name=\"" +
                                ToUtf8(m_root / L"data") + "\"><File Name=\"a.txt\"/></Directory></DirectoryList>"
                                "</AddedItems></FileSystem><ProductInformation><ProductInformation "
                                "ApplicationName=\"W &amp; S\" Version=\"1\" CompanyName=\"C\"/></ProductInformation>"
                                "</CorvaneProject>");
    // The build mode lower-cases the output folder.
    const std::wstring packages = commandline::Lower(m_root / L"out") + L"\\Packages\\";
    const std::wstring source = packages + L"w.wxs";
    ASSERT_TRUE(CreateDirectoryW((m_root / L"out").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((m_root / L"out\\Packages").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(source.c_str(), nullptr)); // in the way of the file
    EXPECT_EQ(Run({project, L"-WXS", L"-Path=" + (m_root / L"out"), L"-File=w.msi"}), ExitSuccess);
    EXPECT_TRUE(Reported(L"The WiX source could not be written (the package is good): WriteWixSource: Unable to "
                         L"write " + source + L" (error 5: ")) << Dump();
    EXPECT_NE(Log().find("WriteWixSource: Unable to write"), std::string::npos);

    ASSERT_TRUE(RemoveDirectoryW(source.c_str()));
    EXPECT_EQ(Run({project, L"-Path=" + (m_root / L"out"), L"-wxs"}), ExitSuccess);
    const std::wstring named = packages + L"W & S.wxs";
    EXPECT_TRUE(Reported(L"WiX source: " + named)) << Dump();
    const std::string text = ReadFileBytes(named);
    EXPECT_TRUE(text.starts_with("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<Wix xmlns=\"http://schemas.microsoft.com/"
                                 "wix/2006/wi\">")) << text;
    EXPECT_NE(text.find("Name=\"W &amp; S\""), std::string::npos) << text;
    EXPECT_NE(text.find("<File Id=\"a.txt\" Name=\"a.txt\" Source=\"" + ToUtf8(m_root / L"data\\a.txt") +
                        "\" KeyPath=\"yes\" />"), std::string::npos) << text;
}
