#include "common/Log.h"
#include "common/Utf.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <regex>
#include <thread>
#include <vector>

namespace {

// A program folder with a configuration file, made the current directory.
class LogFixture : public ::testing::Test
{
protected:
    void Configure(const std::string& logSection)
    {
        // UTF-16 with a byte order mark: the profile functions read non-ASCII
        // names from such a file on every Windows version.
        const std::wstring text = FromUtf8("[LogFileDetails]\r\n" + logSection);
        std::string bytes = "\xff\xfe";
        bytes.append(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
        WriteFileBytes(m_root / L"CorvaneRepackager.ini", bytes);
    }
    std::wstring ErrorLog() const { return m_root / L"Error\u00e9Log.txt"; }
    std::wstring DebugLog() const { return m_root / L"DebugLog.txt"; }
    std::string Names() const
    {
        return "ErrorLogFileName=Error\xc3\xa9Log.txt\r\nDebugLogFileName=DebugLog.txt\r\n";
    }

    TempFolder m_root;
    ScopedCurrentDirectory m_cd{m_root.Path()};
};

const std::regex LinePattern(R"((\d\d-(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec)-\d{4} \d\d:\d\d:\d\d) (.*))");

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::string::size_type start = 0, end;
    // The log is a text-mode stream: every line ends in CR LF on disk.
    while ((end = text.find("\r\n", start)) != std::string::npos) {
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    EXPECT_EQ(start, text.size()) << "the file must end with a whole line";
    return lines;
}

} // namespace

TEST_F(LogFixture, LevelTwoWritesTimeStampedLinesToTheErrorLog)
{
    WriteFileBytes(ErrorLog(), "old content");
    Configure("LogLevel=2\r\n" + Names());
    {
        CFileLogSink log(m_root.Path());
        EXPECT_TRUE(log.IsOpened());
        EXPECT_EQ(log.ErrorLogFile(), ErrorLog());
        log.Write("CMSIHandler::RunBatchFile: Create Process Fail");
        log.Write("CX::Y\t\t\tTabs kept");
        log.Write("Given XML file not found\n");
    }

    const std::string text = ReadFileBytes(ErrorLog());
    const auto lines = Lines(text);
    ASSERT_EQ(lines.size(), 4u) << text;
    std::smatch m;
    ASSERT_TRUE(std::regex_match(lines[0], m, LinePattern)) << lines[0];
    EXPECT_EQ(m[3].str(), "CMSIHandler::RunBatchFile: Create Process Fail");
    ASSERT_TRUE(std::regex_match(lines[1], m, LinePattern));
    EXPECT_EQ(m[3].str(), "CX::Y\t\t\tTabs kept");
    ASSERT_TRUE(std::regex_match(lines[2], m, LinePattern));
    EXPECT_EQ(m[3].str(), "Given XML file not found");
    EXPECT_EQ(lines[3], "") << "a message ending in a newline leaves an empty line";
    EXPECT_FALSE(PathExists(DebugLog()));
}

TEST_F(LogFixture, LevelOneOnlyEmptiesTheDebugLog)
{
    WriteFileBytes(DebugLog(), "old");
    Configure("LogLevel=1\r\n" + Names());
    {
        CFileLogSink log(m_root.Path());
        log.Write("not written");
        EXPECT_EQ(log.ErrorLogFile(), L"");
    }
    EXPECT_TRUE(PathExists(DebugLog()));
    EXPECT_EQ(ReadFileBytes(DebugLog()), "");
    EXPECT_FALSE(PathExists(ErrorLog()));
}

TEST_F(LogFixture, LevelThreeOpensBothAndWritesTheErrorLog)
{
    Configure("LogLevel=3\r\n" + Names());
    {
        CFileLogSink log(m_root.Path());
        log.Write("three");
    }
    EXPECT_EQ(ReadFileBytes(DebugLog()), "");
    EXPECT_NE(ReadFileBytes(ErrorLog()).find(" three\r\n"), std::string::npos);
}

TEST_F(LogFixture, LevelZeroOrNoConfigurationTouchesNoFile)
{
    WriteFileBytes(ErrorLog(), "keep");
    Configure("LogLevel=0\r\n" + Names());
    {
        CFileLogSink log(m_root.Path());
        log.Write("x");
    }
    EXPECT_EQ(ReadFileBytes(ErrorLog()), "keep");

    DeleteFileW((m_root / L"CorvaneRepackager.ini").c_str());
    {
        CFileLogSink log(m_root.Path());
        EXPECT_FALSE(log.IsOpened());
        log.Write("y");
    }
    EXPECT_EQ(ReadFileBytes(ErrorLog()), "keep");
}

// LogError writes to the sink made current last; the one before comes back
// when its scope ends. Opening the file log again empties it.
TEST_F(LogFixture, LogErrorWritesToTheCurrentSinkOnly)
{
    Configure("LogLevel=2\r\n" + Names());
    CMemoryLogSink first;
    CMemoryLogSink outer;
    {
        CLogScope firstScope(first);
        LogError(L"caf\u00e9 kept as UTF-8");
        {
            CLogScope scope(outer);
            LogError(L"to the outer sink");
            {
                CFileLogSink file(m_root.Path());
                CLogScope inner(file);
                EXPECT_EQ(CurrentFileLog(), &file);
                LogError(L"to the file");
            }
            EXPECT_EQ(CurrentFileLog(), nullptr);
            LogError(L"back to the outer sink");
        }
    }
    EXPECT_EQ(first.Messages(), std::vector<std::string>{"caf\xc3\xa9 kept as UTF-8"});
    EXPECT_EQ(outer.Messages(), (std::vector<std::string>{"to the outer sink", "back to the outer sink"}));
    EXPECT_NE(ReadFileBytes(ErrorLog()).find(" to the file\r\n"), std::string::npos);

    CFileLogSink again(m_root.Path());
    EXPECT_EQ(ReadFileBytes(ErrorLog()), "");
}

TEST_F(LogFixture, LinesFromSeveralThreadsNeverInterleave)
{
    Configure("LogLevel=2\r\n" + Names());
    {
        CFileLogSink log(m_root.Path());
        CLogScope scope(log);
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t)
            threads.emplace_back([t] {
                const std::wstring message = L"Thread" + std::to_wstring(t) + std::wstring(300, wchar_t(L'a' + t));
                for (int i = 0; i < 200; ++i)
                    LogError(message);
            });
        for (auto& th : threads)
            th.join();
    }

    const auto lines = Lines(ReadFileBytes(ErrorLog()));
    ASSERT_EQ(lines.size(), 800u);
    for (const auto& line : lines) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(line, m, LinePattern)) << line;
        const std::string msg = m[3].str();
        const char fill = msg.back();
        EXPECT_EQ(msg, "Thread" + std::to_string(fill - 'a') + std::string(300, fill));
    }
}

TEST_F(LogFixture, LogNamesThatAreNotPlainFileNamesFallBackToTheDefaultWithANote)
{
    WriteFileBytes(m_root / L"RawProjectFile.xml", "<CorvaneProject/>");
    const char* refused[] = {"CorvaneRepackager.ini", "rawprojectfile.xml", "..\\up.txt", "C:\\elsewhere.txt",
                             "NUL", "sub\\log.txt"};
    for (const char* name : refused) {
        SCOPED_TRACE(name);
        Configure(std::string("LogLevel=2\r\nErrorLogFileName=") + name + "\r\n");
        const std::string configuration = ReadFileBytes(m_root / L"CorvaneRepackager.ini");
        {
            CFileLogSink log(m_root.Path());
            log.Write("after the note");
        }
        EXPECT_EQ(ReadFileBytes(m_root / L"CorvaneRepackager.ini"), configuration);
        EXPECT_EQ(ReadFileBytes(m_root / L"RawProjectFile.xml"), "<CorvaneProject/>");
        const std::string text = ReadFileBytes(L"c:\\ErrorLog.txt");
        EXPECT_NE(text.find(std::string("ErrorLogFileName=") + name + " of the configuration cannot be used"),
                  std::string::npos)
            << text;
        EXPECT_NE(text.find("after the note"), std::string::npos);
    }
}
