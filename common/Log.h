#pragma once
// The diagnostic log: one time-stamped line per failure. The entry point opens
// the log once (a file sink over the program folder's configuration) and makes
// it current for the run; LogError writes to the current sink from any thread.
// With no sink set, lines are dropped, as they are when the log cannot be set up.
#include <cstdio>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

// Where log lines go: one message (UTF-8 text, without its line end) at a time.
class CLogSink
{
public:
    virtual ~CLogSink() = default;
    virtual void Write(std::string_view message) = 0;
};

// The log files that section [LogFileDetails] of the program folder's
// CorvaneRepackager.ini names; opening the sink empties them. LogLevel 2 and 3
// keep an error log, 1 and 3 a debug log (only emptied); without the
// configuration file nothing is opened and nothing written.
class CFileLogSink final : public CLogSink
{
public:
    explicit CFileLogSink(const std::wstring& programFolder);
    ~CFileLogSink() override;
    CFileLogSink(const CFileLogSink&) = delete;
    CFileLogSink& operator=(const CFileLogSink&) = delete;

    // Writes "<time> <message>\n" and flushes (levels 2 and 3 only).
    void Write(std::string_view message) override;

    int Level() const { return m_level; }
    bool IsOpened() const { return m_opened; }
    // The error log as the sink really writes it (the fallback name when the
    // configured one cannot be used), made a full path when it was opened;
    // "" when this level keeps no error log or the file could not be opened.
    const std::wstring& ErrorLogFile() const { return m_errorLogFile; }
    // The configuration file the settings came from.
    const std::wstring& ConfigFilePath() const { return m_configFilePath; }

private:
    bool Open(const std::wstring& programFolder);
    bool ReadLogSettings(const std::wstring& programFolder);

    std::FILE* m_debugStream = nullptr;
    std::FILE* m_errorStream = nullptr;
    int m_level = 0;
    std::wstring m_debugLogFileName;
    std::wstring m_errorLogFileName;
    std::wstring m_configFilePath;
    std::wstring m_errorLogFile;
    std::vector<std::string> m_notes; // written once the log is open
    bool m_opened = false;
    std::mutex m_writeLock;
};

// Keeps the messages, without time stamps; for tests that assert log lines.
class CMemoryLogSink final : public CLogSink
{
public:
    void Write(std::string_view message) override;
    std::vector<std::string> Messages() const;

private:
    mutable std::mutex m_lock;
    std::vector<std::string> m_messages;
};

// Makes `sink` the current sink while it lives; the sink current before comes
// back afterwards. The sink must outlive the scope.
class CLogScope
{
public:
    explicit CLogScope(CLogSink& sink);
    ~CLogScope();
    CLogScope(const CLogScope&) = delete;
    CLogScope& operator=(const CLogScope&) = delete;

private:
    CLogSink* m_previous;
};

// The current sink when it is the file log, for the names and level it
// reports; null otherwise. Read it on the thread that opened the log.
const CFileLogSink* CurrentFileLog();

// Writes one line (as UTF-8) to the current sink.
void LogError(const std::wstring& message);

class Result;
// Writes the failure's text as one line and gives the failure back, so that
// its callers pass it up rather than log it again.
Result LogFailure(Result failure);
