#pragma once
// Test helpers: each test owns its corner of the machine (a fresh folder, a
// registry key under HKCU\Software\CorvaneTest) and gives it back afterwards.
#include <windows.h>

#include "common/Log.h"
#include "common/Paths.h"

#include <string>
#include <string_view>

// A folder named by a fresh GUID under the temporary folder; removed with its
// contents on destruction.
class TempFolder
{
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::wstring& Path() const { return m_path; }
    std::string Utf8() const;
    std::wstring operator/(std::wstring_view name) const { return m_path + L"\\" + std::wstring(name); }

private:
    std::wstring m_path;
};

// HKEY_CURRENT_USER\Software\CorvaneTest\<name>, created empty, deleted afterwards.
class TestRegistryKey
{
public:
    explicit TestRegistryKey(const std::wstring& name);
    ~TestRegistryKey();
    TestRegistryKey(const TestRegistryKey&) = delete;
    TestRegistryKey& operator=(const TestRegistryKey&) = delete;

    HKEY Key() const { return m_key; }
    // Path below HKEY_CURRENT_USER.
    const std::wstring& SubPath() const { return m_subPath; }

private:
    std::wstring m_subPath;
    HKEY m_key = nullptr;
};

// Sets the current directory for the scope.
// The log of a program folder (the one its CorvaneRepackager.ini names) made
// the current log while it lives; opening it empties its files.
class ScopedFileLog
{
public:
    explicit ScopedFileLog(const std::wstring& programFolder) : m_sink(programFolder), m_scope(m_sink) {}
    const CFileLogSink& Sink() const { return m_sink; }

private:
    CFileLogSink m_sink;
    CLogScope m_scope;
};

// The current directory, without a trailing backslash.
std::wstring CurrentDirectory();

class ScopedCurrentDirectory
{
public:
    explicit ScopedCurrentDirectory(const std::wstring& path);
    ~ScopedCurrentDirectory();

private:
    std::wstring m_old;
};

// Sets (or, with a null value, unsets) an environment variable for the scope.
class ScopedEnvironment
{
public:
    ScopedEnvironment(const wchar_t* name, const wchar_t* value);
    ~ScopedEnvironment();

private:
    std::wstring m_name;
    std::wstring m_old;
    bool m_had = false;
};

void WriteFileBytes(const std::wstring& path, std::string_view bytes);
std::string ReadFileBytes(const std::wstring& path);
bool PathExists(const std::wstring& path);
bool IsFolder(const std::wstring& path);
std::wstring NewGuidText();
// Folder of the running test executable.
std::wstring ExecutableFolder();

// The token values of this machine, read from the environment as a run
// reads them at start-up.
FolderTokenValues MachineTokens();
