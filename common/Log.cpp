#include "common/Log.h"

#include "common/Config.h"
#include "common/FileNames.h"
#include "common/Result.h"
#include "common/Utf.h"

#include <windows.h>

#include <ctime>

namespace {

// The program's own files beside the log: a log must never overwrite them.
constexpr const wchar_t* ProtectedNames[] = {
    L"CorvaneRepackager.ini",  L"CorvaneRepackager.exe", L"DefaultIncludeExclude.xml",
    L"UpdatedIncludeExclude.xml", L"RawProjectFile.xml",  L"Blank.msi",
    L"makecab.exe",            L"Products.html",         L"Wait.html",
};

// Why a log file name from the configuration cannot be used, or "".
std::wstring LogNameProblem(const std::wstring& name)
{
    if (std::wstring problem = PlainFileNameProblem(name); !problem.empty())
        return problem;
    for (const wchar_t* own : ProtectedNames)
        if (CompareStringOrdinal(name.c_str(), -1, own, -1, TRUE) == CSTR_EQUAL)
            return L"it names one of the program's own files";
    return L"";
}
std::mutex g_currentLock;
CLogSink* g_current = nullptr;

// "dd-Mon-yyyy hh:mm:ss" of the local time, or "" when it cannot be read.
std::string TimeStamp()
{
    char stamp[32] = {};
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (now != static_cast<std::time_t>(-1) && localtime_s(&local, &now) == 0)
        std::strftime(stamp, sizeof stamp, "%d-%b-%Y %H:%M:%S", &local);
    return stamp;
}

} // namespace

CFileLogSink::CFileLogSink(const std::wstring& programFolder)
{
    Open(programFolder);
}

CFileLogSink::~CFileLogSink()
{
    // A half-done Open may have left the debug stream open: close what is open.
    if (m_debugStream)
        std::fclose(m_debugStream);
    if (m_errorStream)
        std::fclose(m_errorStream);
}

bool CFileLogSink::ReadLogSettings(const std::wstring& programFolder)
{
    if (programFolder.empty())
        return false;
    m_configFilePath = programFolder + L"\\" + ConfigFileName;

    if (GetFileAttributesW(m_configFilePath.c_str()) == INVALID_FILE_ATTRIBUTES) {
        std::printf("Configuration File Not Found \n");
        std::fflush(stdout);
        return false;
    }
    m_level = ReadConfigInt(m_configFilePath, L"LogFileDetails", L"LogLevel", 2);
    // The names are plain file names, put in the program folder; anything
    // else (a path, a device, the configuration or a data file) falls back to
    // the default, with a note once the log is open.
    const std::pair<std::wstring*, const wchar_t*> names[] = {
        {&m_debugLogFileName, L"DebugLogFileName"},
        {&m_errorLogFileName, L"ErrorLogFileName"},
    };
    for (const auto& [name, key] : names) {
        const std::wstring fallback = name == &m_debugLogFileName ? L"c:\\DebugLog.txt" : L"c:\\ErrorLog.txt";
        *name = ReadConfigString(m_configFilePath, L"LogFileDetails", key, fallback.c_str());
        if (*name == fallback)
            continue;
        if (const std::wstring problem = LogNameProblem(*name); !problem.empty()) {
            m_notes.push_back("The log file name " + ToUtf8(std::wstring(key)) + "=" + ToUtf8(*name) +
                              " of the configuration cannot be used (" + ToUtf8(problem) + "); " +
                              ToUtf8(fallback) + " is used instead");
            *name = fallback;
        } else {
            *name = programFolder + L"\\" + *name;
        }
    }
    return true;
}

bool CFileLogSink::Open(const std::wstring& programFolder)
{
    if (!ReadLogSettings(programFolder))
        return false;
    if (m_level == 1 || m_level == 3) {
        m_debugStream = _wfopen(m_debugLogFileName.c_str(), L"w");
        if (!m_debugStream)
            return false;
    }
    if (m_level == 2 || m_level == 3) {
        m_errorStream = _wfopen(m_errorLogFileName.c_str(), L"w");
        if (!m_errorStream)
            return false;
        const DWORD n = GetFullPathNameW(m_errorLogFileName.c_str(), 0, nullptr, nullptr);
        std::wstring full(n, L'\0');
        const DWORD got = n > 0 ? GetFullPathNameW(m_errorLogFileName.c_str(), n, full.data(), nullptr) : 0;
        m_errorLogFile = got > 0 && got < n ? full.substr(0, got) : m_errorLogFileName;
    }
    m_opened = true;
    for (const std::string& note : m_notes)
        Write(note);
    m_notes.clear();
    return true;
}

void CFileLogSink::Write(std::string_view message)
{
    if (m_level != 2 && m_level != 3)
        return;
    const std::string stamp = TimeStamp();
    std::lock_guard lock(m_writeLock);
    if (m_errorStream) {
        std::fprintf(m_errorStream, "%s %.*s\n", stamp.c_str(), static_cast<int>(message.size()), message.data());
        std::fflush(m_errorStream);
    }
}

void CMemoryLogSink::Write(std::string_view message)
{
    std::lock_guard lock(m_lock);
    m_messages.emplace_back(message);
}

std::vector<std::string> CMemoryLogSink::Messages() const
{
    std::lock_guard lock(m_lock);
    return m_messages;
}

CLogScope::CLogScope(CLogSink& sink)
{
    std::lock_guard lock(g_currentLock);
    m_previous = g_current;
    g_current = &sink;
}

CLogScope::~CLogScope()
{
    std::lock_guard lock(g_currentLock);
    g_current = m_previous;
}

const CFileLogSink* CurrentFileLog()
{
    std::lock_guard lock(g_currentLock);
    return dynamic_cast<const CFileLogSink*>(g_current);
}

void LogError(const std::wstring& message)
{
    std::lock_guard lock(g_currentLock);
    if (g_current)
        g_current->Write(ToUtf8(message));
}

Result LogFailure(Result failure)
{
    LogError(failure.Text());
    return failure;
}
