#include "common/Log.h"

#include "common/Config.h"
#include "common/FileNames.h"
#include "common/Utf.h"

#include <windows.h>

#include <ctime>

namespace {

std::mutex g_instanceLock;

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
CLogHandler* g_instance = nullptr;
unsigned g_referenceCount = 0;

} // namespace

CLogHandler* CLogHandler::GetInstance()
{
    std::lock_guard lock(g_instanceLock);
    if (g_referenceCount == 0) {
        g_instance = new CLogHandler();
        g_instance->Open();
    }
    ++g_referenceCount;
    return g_instance;
}

void CLogHandler::ReleaseInstance(CLogHandler* instance)
{
    std::lock_guard lock(g_instanceLock);
    if (g_referenceCount == 0 || instance != g_instance)
        return;
    if (--g_referenceCount == 0) {
        delete g_instance;
        g_instance = nullptr;
    }
}

CLogHandler::~CLogHandler()
{
    // A half-done Open may have left the debug stream open: close what is open.
    if (m_debugStream)
        std::fclose(m_debugStream);
    if (m_errorStream)
        std::fclose(m_errorStream);
}

bool CLogHandler::ReadLogSettings()
{
    wchar_t directory[256] = {};
    const DWORD n = GetCurrentDirectoryW(256, directory);
    if (n == 0 || n >= 256)
        return false;
    m_configFilePath = std::wstring(directory) + L"\\" + ConfigFileName;

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
        }
    }
    return true;
}

bool CLogHandler::Open()
{
    if (m_opened)
        return true;
    if (!ReadLogSettings())
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
        wchar_t full[MAX_PATH] = {};
        const DWORD n = GetFullPathNameW(m_errorLogFileName.c_str(), MAX_PATH, full, nullptr);
        m_errorLogFile = n > 0 && n < MAX_PATH ? std::wstring(full) : m_errorLogFileName;
    }
    m_opened = true;
    for (const std::string& note : m_notes)
        WriteError(note);
    m_notes.clear();
    return true;
}

int CLogHandler::WriteError(const char* message)
{
    if (!message)
        return 0;
    if (m_level != 2 && m_level != 3)
        return 1;

    char stamp[32] = {};
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (now != static_cast<std::time_t>(-1) && localtime_s(&local, &now) == 0)
        std::strftime(stamp, sizeof stamp, "%d-%b-%Y %H:%M:%S", &local);

    std::lock_guard lock(m_writeLock);
    if (m_errorStream) {
        std::fprintf(m_errorStream, "%s %s\n", stamp, message);
        std::fflush(m_errorStream);
    }
    return 1;
}

void LogError(const std::wstring& message)
{
    CLogReference log;
    log->WriteError(ToUtf8(message));
}
