#include "tests/support/TestSupport.h"

#include "common/PathSetup.h"
#include "common/Paths.h"
#include "common/Utf.h"

#include <objbase.h>

#include <fstream>
#include <iterator>
#include <stdexcept>
#include <vector>

std::wstring NewGuidText()
{
    GUID guid{};
    CoCreateGuid(&guid);
    wchar_t text[64] = {};
    StringFromGUID2(guid, text, 64);
    return text;
}

TempFolder::TempFolder()
{
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, temp);
    std::wstring base = temp;
    if (!base.empty() && base.back() == L'\\')
        base.pop_back();
    m_path = base + L"\\CorvaneTest" + NewGuidText();
    if (!CreateDirectoryW(m_path.c_str(), nullptr))
        throw std::runtime_error("cannot create the test folder");
}

TempFolder::~TempFolder()
{
    RemoveFolderTree(m_path);
}

std::string TempFolder::Utf8() const
{
    return ToUtf8(m_path);
}

TestRegistryKey::TestRegistryKey(const std::wstring& name)
    : m_subPath(L"Software\\CorvaneTest\\" + name)
{
    RegDeleteTreeW(HKEY_CURRENT_USER, m_subPath.c_str());
    if (RegCreateKeyExW(HKEY_CURRENT_USER, m_subPath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &m_key,
                        nullptr) != ERROR_SUCCESS)
        throw std::runtime_error("cannot create the test key");
}

TestRegistryKey::~TestRegistryKey()
{
    if (m_key)
        RegCloseKey(m_key);
    RegDeleteTreeW(HKEY_CURRENT_USER, m_subPath.c_str());
}

std::wstring CurrentDirectory()
{
    const DWORD n = GetCurrentDirectoryW(0, nullptr);
    std::wstring directory(n, L'\0');
    const DWORD got = n > 0 ? GetCurrentDirectoryW(n, directory.data()) : 0;
    directory.resize(got < n ? got : 0);
    while (directory.size() > 3 && directory.back() == L'\\')
        directory.pop_back();
    return directory;
}

ScopedCurrentDirectory::ScopedCurrentDirectory(const std::wstring& path)
{
    wchar_t old[MAX_PATH * 4] = {};
    GetCurrentDirectoryW(MAX_PATH * 4, old);
    m_old = old;
    SetCurrentDirectoryW(path.c_str());
}

ScopedCurrentDirectory::~ScopedCurrentDirectory()
{
    SetCurrentDirectoryW(m_old.c_str());
}

ScopedEnvironment::ScopedEnvironment(const wchar_t* name, const wchar_t* value) : m_name(name)
{
    std::vector<wchar_t> buffer(32768);
    const DWORD n = GetEnvironmentVariableW(name, buffer.data(), static_cast<DWORD>(buffer.size()));
    m_had = n > 0 || GetLastError() != ERROR_ENVVAR_NOT_FOUND;
    m_old.assign(buffer.data(), n);
    SetEnvironmentVariableW(name, value);
}

ScopedEnvironment::~ScopedEnvironment()
{
    SetEnvironmentVariableW(m_name.c_str(), m_had ? m_old.c_str() : nullptr);
}

void WriteFileBytes(const std::wstring& path, std::string_view bytes)
{
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        throw std::runtime_error("cannot write " + ToUtf8(path));
    DWORD written = 0;
    WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(h);
}

std::string ReadFileBytes(const std::wstring& path)
{
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return {};
    std::string out;
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(h, buffer, sizeof buffer, &got, nullptr) && got > 0)
        out.append(buffer, got);
    CloseHandle(h);
    return out;
}

bool PathExists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsFolder(const std::wstring& path)
{
    const DWORD a = GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring ExecutableFolder()
{
    wchar_t path[MAX_PATH * 4] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH * 4);
    std::wstring p = path;
    return p.substr(0, p.find_last_of(L'\\'));
}

FolderTokenValues MachineTokens()
{
    FolderTokenValues tokens;
    ReadEnvironment(tokens);
    return tokens;
}
