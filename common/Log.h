#pragma once
// The process-wide diagnostic log: one time-stamped line per failure, written
// to the error log file named in CorvaneRepackager.ini. Shared by reference
// counting; when it cannot be set up, logging is silently off.
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

class CLogHandler
{
public:
    // The first call creates the instance and opens it; every call counts.
    static CLogHandler* GetInstance();
    // The last release of the shared instance closes the files and frees it.
    static void ReleaseInstance(CLogHandler* instance);

    // Writes "<time> <message>\n" and flushes. Returns 0 for a null message,
    // 1 otherwise, whether or not anything was written (levels 2 and 3 only).
    int WriteError(const char* message);
    int WriteError(const std::string& message) { return WriteError(message.c_str()); }

    int Level() const { return m_level; }
    bool IsOpened() const { return m_opened; }
    // The error log as the log really writes it (the fallback name when the
    // configured one cannot be used), made a full path when it was opened;
    // "" when this level keeps no error log or the file could not be opened.
    const std::wstring& ErrorLogFile() const { return m_errorLogFile; }
    // The configuration file the settings came from.
    const std::wstring& ConfigFilePath() const { return m_configFilePath; }

    CLogHandler(const CLogHandler&) = delete;
    CLogHandler& operator=(const CLogHandler&) = delete;

private:
    CLogHandler() = default;
    ~CLogHandler();

    bool Open();
    bool ReadLogSettings();

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

// Holds one log reference for the life of an object (RAII over Get/Release).
class CLogReference
{
public:
    CLogReference() : m_log(CLogHandler::GetInstance()) {}
    ~CLogReference() { CLogHandler::ReleaseInstance(m_log); }
    CLogReference(const CLogReference&) = delete;
    CLogReference& operator=(const CLogReference&) = delete;

    CLogHandler* operator->() const { return m_log; }
    CLogHandler* get() const { return m_log; }

private:
    CLogHandler* m_log;
};

// Writes one line through a short-lived reference; for code without a holder.
// The line is written as UTF-8.
void LogError(const std::wstring& message);
