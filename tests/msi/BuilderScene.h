#pragma once
// A captured application as the builder tests see it: files below the build
// prefix's Program Files folder, registry values below
// HKCU\Software\CorvaneTest\<name>, INI changes, a shortcut and the product
// information, written into a project file with the project writers. Shared by
// the builder tests and the package maker of the host-side install check.
#include "common/ChangeTypes.h"
#include "common/FolderTokens.h"
#include "common/PathSetup.h"
#include "common/Utf.h"
#include "msi/BuildRequest.h"
#include "project/ProjectReaders.h"
#include "project/ProjectWriters.h"
#include "tests/support/TestSupport.h"

#include <windows.h>

#include <random>
#include <string>
#include <vector>

inline std::string RandomBytes(std::size_t size, unsigned seed)
{
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes)
        c = static_cast<char>(random() & 0xff);
    return bytes;
}

// Work paths in a test's own folders; the template and the cabinet maker come
// from the build's bin folder.
inline WorkPaths BuilderPaths(const std::wstring& root)
{
    WorkPaths paths;
    paths.ProgramFolder = ExecutableFolder() + L"\\..\\bin";
    paths.WorkingRoot = root + L"\\work";
    paths.OutputFolder = root + L"\\out";
    paths.MsiFileName.clear();
    CreateDirectoryW((root + L"\\work").c_str(), nullptr);
    CreateDirectoryW((root + L"\\work\\Temp").c_str(), nullptr);
    CreateDirectoryW((root + L"\\out").c_str(), nullptr);
    CreateDirectoryW((root + L"\\out\\Packages").c_str(), nullptr);
    return paths;
}

// The build of `project` into the output folder of `paths` (BuilderPaths); the
// package is named after the product unless `packageName` names it.
inline BuildRequest BuilderRequest(const WorkPaths& paths, const FolderTokenValues& tokens, const std::wstring& project,
                                   const std::wstring& packageName = L"")
{
    return {project, paths.OutputFolder, packageName, paths, tokens};
}

inline void SetRegistryValue(HKEY key, const wchar_t* name, DWORD type, const void* data, std::size_t size)
{
    RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), static_cast<DWORD>(size));
}

inline void SetRegistryString(HKEY key, const wchar_t* name, DWORD type, const std::wstring& text)
{
    SetRegistryValue(key, name, type, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
}

class BuilderScene
{
public:
    // `folder` is created below the Program Files of `tokens`; `keyName` below
    // HKCU\Software\CorvaneTest.
    BuilderScene(const FolderTokenValues& tokens, const std::wstring& folder, const std::wstring& keyName)
        : m_tokens(tokens), m_root(tokens.programfiles + L"\\" + folder),
          m_keyPath(L"Software\\CorvaneTest\\" + keyName)
    {
    }

    const std::wstring& Root() const { return m_root; }
    const std::wstring& KeyPath() const { return m_keyPath; }

    // The payload files.
    void CreatePayload()
    {
        for (const wchar_t* sub : {L"", L"\\App", L"\\App\\Data", L"\\Other", L"\\Other\\Sub"})
            CreateDirectoryW((m_root + sub).c_str(), nullptr);
        Write(L"\\App\\app.exe", RandomBytes(3000, 1));
        Write(L"\\App\\readme.txt", "read me\r\n");
        Write(L"\\App\\Data\\donn\u00e9es \u00fc.bin", RandomBytes(70000, 2));
        Write(L"\\App\\Data\\\u65e5\u672c.bin", "outside the package's code page");
        Write(L"\\App\\Data\\it's.txt", "a name with a quote\r\n");
        Write(L"\\Other\\readme.txt", "another read me\r\n");
        Write(L"\\Other\\Sub\\README.TXT", std::string(200000, 'z'));
        Write(L"\\App\\settings.dat", "modified settings\r\n");
        Write(L"\\App\\cache.tmp", "temporary");
        // A 1x1 32-bit icon.
        static const unsigned char icon[] = {0, 0, 1, 0, 1, 0, 1, 1, 0, 0, 1, 0, 32, 0, 48, 0, 0, 0, 22, 0, 0, 0,
                                             40, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 1, 0, 32, 0, 0, 0, 0, 0, 0, 0,
                                             0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 255, 0, 0, 255, 0, 0,
                                             0, 0};
        Write(L"\\app.ico", std::string(reinterpret_cast<const char*>(icon), sizeof icon));
    }

    DirectoryChangeMap AddedFiles() const
    {
        return {
            {Real(L"\\App"), {Real(L"\\App\\app.exe"), Real(L"\\App\\readme.txt"), Real(L"\\App\\cache.tmp"),
                               Real(L"\\App\\gone.txt")}},
            {Real(L"\\App\\Data"),
             {Real(L"\\App\\Data\\donn\u00e9es \u00fc.bin"), Real(L"\\App\\Data\\it's.txt"),
              Real(L"\\App\\Data\\\u65e5\u672c.bin")}},
            {Real(L"\\Other"), {Real(L"\\Other\\readme.txt")}},
            {Real(L"\\Other\\Sub"), {Real(L"\\Other\\Sub\\README.TXT")}},
        };
    }
    DirectoryChangeMap ModifiedFiles() const { return {{Real(L"\\App"), {Real(L"\\App\\settings.dat")}}}; }

    void CreateRegistry() const
    {
        HKEY key = nullptr;
        RegCreateKeyExW(HKEY_CURRENT_USER, m_keyPath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
        SetRegistryString(key, L"Path", REG_SZ, m_root + L"\\App\\bin");
        SetRegistryString(key, L"Icon", REG_EXPAND_SZ, L"%SystemRoot%\\system32\\shell32.dll,3");
        const BYTE blob[] = {0x0a, 0x0b, 0xff};
        SetRegistryValue(key, L"Blob", REG_BINARY, blob, sizeof blob);
        const DWORD ten = 10, all = 0xffffffff;
        SetRegistryValue(key, L"Count", REG_DWORD, &ten, 4);
        SetRegistryValue(key, L"Minus", REG_DWORD, &all, 4);
        const ULONGLONG big = 0x0102030405060708ull;
        SetRegistryValue(key, L"Big", REG_QWORD, &big, 8);
        const wchar_t multi[] = L"a\0b b\0c\0";
        SetRegistryValue(key, L"List", REG_MULTI_SZ, multi, sizeof multi);
        SetRegistryString(key, L"Say \"hi\"", REG_SZ, L"it's [literal]");
        SetRegistryString(key, L"", REG_SZ, L"default text");
        SetRegistryString(key, L"Hash", REG_SZ, L"#not a number");
        RegCloseKey(key);
        RegCreateKeyExW(HKEY_CURRENT_USER, (m_keyPath + L"\\Sub").c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &key, nullptr);
        SetRegistryString(key, L"Mod", REG_SZ, L"modified");
        RegCloseKey(key);
    }

    void RemoveRegistry() const { RegDeleteTreeW(HKEY_CURRENT_USER, m_keyPath.c_str()); }
    void RemovePayload() const { RemoveFolderTree(m_root); }

    std::wstring FullKey() const { return L"HKEY_CURRENT_USER\\" + m_keyPath; }

    RegistryChangeMap AddedKeys() const
    {
        const std::wstring k = FullKey();
        auto v = [&](const wchar_t* name, const wchar_t* type) { return RegistryChangeEntry{k, name, type, L""}; };
        return {{k,
                 {v(L"\"Path\"", L"REG_SZ"), v(L"\"Icon\"", L"REG_EXPAND_SZ"), v(L"\"Blob\"", L"REG_BINARY"),
                  v(L"\"Count\"", L"REG_DWORD"), v(L"\"Minus\"", L"REG_DWORD"), v(L"\"Big\"", L"REG_QWORD"),
                  v(L"\"List\"", L"REG_SZ"), v(L"\"Say \"hi\"\"", L"REG_SZ"), v(L"@", L"REG_SZ"),
                  v(L"\"Hash\"", L"REG_SZ"), v(L"\"Gone\"", L"REG_SZ")}}};
    }
    RegistryChangeMap ModifiedKeys() const
    {
        const std::wstring k = FullKey() + L"\\Sub";
        return {{k, {RegistryChangeEntry{k, L"\"Mod\"", L"REG_SZ", L""}}}};
    }

    IniChangeMap AddedIni() const
    {
        return {{L"%WINDIR%\\corvane_bt.ini", {{L"Settings", L"Mode", L"fast"}, {L"Settings", L"Quote", L"it's on"}}}};
    }
    // An INI value holding a folder gets the folder property, as registry values do.
    IniChangeMap ModifiedIni() const
    {
        return {{Token(L"\\App") + L"\\app.ini", {{L"Main", L"Key", L"v"}, {L"Main", L"Home", Real(L"\\App")}}}};
    }
    IniChangeMap DeletedIni() const { return {{L"%WINDIR%\\corvane_old.ini", {{L"Old", L"Gone", L"1"}}}}; }

    // Writes the project file at `path` from the raw project file.
    bool WriteProject(const std::wstring& path) const
    {
        XmlDocument doc;
        if (!doc.Load(ExecutableFolder() + L"\\..\\bin\\RawProjectFile.xml"))
            return false;
        const std::wstring& save = path;
        DirectoryChangeMap added = AddedFiles(), modified = ModifiedFiles();
        (void)WriteFileList(doc, ChangeOrigin::Added, added, m_tokens, save, FileListMode::KeepAll);
        (void)WriteFileList(doc, ChangeOrigin::Modified, modified, m_tokens, save, FileListMode::KeepAll);
        RegistryChangeMap addedKeys = AddedKeys(), modifiedKeys = ModifiedKeys();
        (void)WriteRegistryList(doc, ChangeOrigin::Added, addedKeys, save);
        (void)WriteRegistryList(doc, ChangeOrigin::Modified, modifiedKeys, save);
        IniChangeMap a = AddedIni(), m = ModifiedIni(), d = DeletedIni();
        (void)WriteIniList(doc, ChangeOrigin::Added, a, save);
        (void)WriteIniList(doc, ChangeOrigin::Modified, m, save);
        (void)WriteIniList(doc, ChangeOrigin::Deleted, d, save);
        (void)WriteShortcutList(doc, {CapturedShortcut(),
                                 {L"Corvane BT", L"app.exe", L"DesktopFolder", m_root + L"\\app.ico", L"0"},
                                 {L"Corvane BT 2", L"app.exe", L"ProgramMenuFolder", m_root + L"\\app.ico", L"0"},
                                 {L"Not packaged", L"missing.exe", L"DesktopFolder", L"", L""}}, m_tokens, save);
        (void)WriteProductInfo(doc, {L"CorvaneBT", L"1.2", L"Corvane Test"}, save);
        return PathExists(path);
    }

    // A shortcut as the capture reads it from a setup's link, in a nested
    // Start-menu subfolder; it stands last in the file (Shortcut3).
    ShortcutRecord CapturedShortcut() const
    {
        ShortcutRecord tool{L"Corvane BT 3", Token(L"\\App\\app.exe"), L"ProgramMenuFolder", L"", L""};
        tool.Subfolder = L"Corvane BT\\Tools";
        tool.Arguments = L"--ini \"" + Real(L"\\App\\app.ini") + L"\" [x]";
        tool.WorkingFolder = Real(L"\\App\\Data");
        tool.Description = L"Runs the tool";
        tool.ShowCommand = L"7";
        return tool;
    }

    std::wstring Real(const wchar_t* sub) const { return m_root + sub; }
    std::wstring Token(const wchar_t* sub) const
    {
        std::wstring path = m_root + sub;
        ToTokenPath(path, m_tokens);
        return path;
    }

private:
    void Write(const wchar_t* sub, const std::string& bytes) const { WriteFileBytes(m_root + sub, bytes); }

    FolderTokenValues m_tokens;
    std::wstring m_root;
    std::wstring m_keyPath;
};
