// The clean-up of a compared capture: the setup's own uninstall registration
// moved out of the change maps, and its .lnk files read as shortcuts.
#include "engine/CapturedShortcuts.h"
#include "engine/UninstallRegistration.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <ostream>

#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

inline void PrintTo(const ShortcutRecord& r, std::ostream* os)
{
    for (const std::wstring* field : {&r.Name, &r.ExeName, &r.Directory, &r.Icon, &r.IconIndex, &r.Subfolder,
                                      &r.Arguments, &r.WorkingFolder, &r.Description, &r.ShowCommand})
        *os << std::string(field->begin(), field->end()) << "|";
}

namespace {

const std::wstring Uninstall = L"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

RegistryChangeEntry Sz(const std::wstring& key, const std::wstring& name, const std::wstring& text)
{
    return {L"[" + key + L"]", L"\"" + name + L"\"", L"REG_SZ", L"\"" + text + L"\""};
}

// A REG_EXPAND_SZ value as the comparison keeps it: its UTF-16 bytes in hex.
RegistryChangeEntry ExpandSz(const std::wstring& key, const std::wstring& name, const std::wstring& text)
{
    std::wstring hex;
    wchar_t byte[3];
    for (wchar_t c : text + L'\0') {
        swprintf(byte, 3, L"%02x", c & 0xff);
        hex += byte;
        swprintf(byte, 3, L"%02x", (c >> 8) & 0xff);
        hex += byte;
    }
    return {L"[" + key + L"]", L"\"" + name + L"\"", L"REG_EXPAND_SZ", hex};
}

} // namespace

TEST(UninstallRegistration, TheSetupsEntryAndTheFilesItNamesMoveOut)
{
    const std::wstring app = L"C:\\Program Files\\Vendor App";
    const std::wstring nsis = Uninstall + L"Vendor App";
    const std::wstring inno = Uninstall + L"{5A1B}_is1";
    const std::wstring wow = L"HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Wide";
    SetEnvironmentVariableW(L"CORVANE_TEST_APP", app.c_str());
    RegistryChangeMap keys{
        // Quoted with arguments; DisplayIcon names the application, which stays.
        {nsis, {Sz(nsis, L"DisplayName", L"Vendor App"), Sz(nsis, L"UninstallString", L"\"" + app + L"\\uninstall.exe\" /S"),
                Sz(nsis, L"DisplayIcon", app + L"\\app.exe,0")}},
        {nsis + L"\\Extra", {}},
        // Unquoted path with blanks; an expandable quiet string; DisplayIcon an uninstaller.
        {inno, {Sz(inno, L"UninstallString", app + L"\\unins000.exe"),
                ExpandSz(inno, L"QuietUninstallString", L"\"%CORVANE_TEST_APP%\\unins001.exe\" /SILENT"),
                Sz(inno, L"DisplayIcon", app + L"\\UNINS002.EXE")}},
        // Another view of the registry, an uninstaller that was not captured.
        {wow, {Sz(wow, L"UninstallString", L"C:\\Elsewhere\\uninstall.exe")}},
        // Not an entry: the Uninstall key itself, and a look-alike.
        {L"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall", {}},
        {L"HKEY_CURRENT_USER\\Software\\Vendor\\Uninstall\\Keep", {Sz(L"x", L"UninstallString", app + L"\\app.exe")}},
    };
    DirectoryChangeMap files{
        {app,
         {app + L"\\app.exe", app + L"\\uninstall.exe", app + L"\\unins000.exe", app + L"\\unins000.dat",
          app + L"\\unins001.exe", app + L"\\unins002.exe", app + L"\\unins002.dat", app + L"\\uninstall.dat"}},
    };

    const std::vector<MovedChangeEntry> moved = MoveOutUninstallRegistration(files, keys);

    EXPECT_EQ(files, (DirectoryChangeMap{{app, {app + L"\\app.exe", app + L"\\uninstall.dat"}}}))
        << "the uninstallers and the .dat beside an unins*.exe go; the application and other files stay";
    std::vector<std::wstring> keptKeys;
    for (const auto& [key, values] : keys)
        keptKeys.push_back(key);
    EXPECT_EQ(keptKeys, (std::vector<std::wstring>{L"HKEY_CURRENT_USER\\Software\\Vendor\\Uninstall\\Keep",
                                                   L"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall"}));

    std::size_t values = 0, emptyKeys = 0;
    std::vector<std::wstring> movedFiles;
    for (const MovedChangeEntry& entry : moved) {
        EXPECT_EQ(entry.Description, L"Uninstall entry of the original setup; the package registers its own");
        if (!entry.FilePath.empty()) {
            EXPECT_EQ(ListPathOf(entry.Origin.Area, entry.Origin.Origin), std::wstring(L"FileSystem//AddedItems//DirectoryList"));
            EXPECT_EQ(entry.Location, app);
            movedFiles.push_back(entry.FilePath);
        } else {
            EXPECT_EQ(ListPathOf(entry.Origin.Area, entry.Origin.Origin), std::wstring(L"RegistrySystem//AddedItems//SubKeyList"));
            (entry.Value.ValueName.empty() ? emptyKeys : values) += 1;
        }
    }
    EXPECT_EQ(values, 7u);
    EXPECT_EQ(emptyKeys, 1u) << "a key without values is moved as one entry";
    EXPECT_EQ(movedFiles, (std::vector<std::wstring>{app + L"\\uninstall.exe", app + L"\\unins000.exe",
                                                     app + L"\\unins000.dat", app + L"\\unins001.exe",
                                                     app + L"\\unins002.exe", app + L"\\unins002.dat"}));
}

namespace {

struct LinkFields
{
    std::wstring target, arguments, folder, description, icon;
    int iconIndex = 0;
    int show = SW_SHOWNORMAL;
};

// A .lnk written through the same shell interfaces the capture reads with.
void WriteLink(const std::wstring& path, const LinkFields& fields)
{
    IShellLinkW* link = nullptr;
    ASSERT_TRUE(SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                           reinterpret_cast<void**>(&link))));
    link->SetPath(fields.target.c_str());
    link->SetArguments(fields.arguments.c_str());
    link->SetWorkingDirectory(fields.folder.c_str());
    link->SetDescription(fields.description.c_str());
    if (!fields.icon.empty())
        link->SetIconLocation(fields.icon.c_str(), fields.iconIndex);
    link->SetShowCmd(fields.show);
    IPersistFile* file = nullptr;
    ASSERT_TRUE(SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))));
    const HRESULT saved = file->Save(path.c_str(), TRUE);
    file->Release();
    link->Release();
    ASSERT_TRUE(SUCCEEDED(saved)) << "cannot write " << std::string(path.begin(), path.end());
}

class CapturedLinks : public ::testing::Test
{
protected:
    void SetUp() override { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    void TearDown() override { CoUninitialize(); }
    TempFolder m_root;
};

} // namespace

TEST_F(CapturedLinks, LinksInTheShortcutFoldersBecomeShortcutsOfCapturedTargets)
{
    const std::wstring menu = m_root / L"Start Menu";
    const std::wstring programs = menu + L"\\Programs";
    const std::wstring desktop = m_root / L"Desktop";
    const std::wstring app = m_root / L"App";
    for (const std::wstring& folder : {menu, programs, programs + L"\\Vendor", programs + L"\\Vendor\\Tools",
                                       desktop, app, m_root / L"Elsewhere"})
        CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring exe = app + L"\\app.exe";
    WriteFileBytes(exe, "MZ");
    // The places as this machine orders them: deepest first.
    const std::vector<ShortcutPlace> places = {
        {programs, L"ProgramMenuFolder"}, {menu, L"StartMenuFolder"}, {desktop, L"DesktopFolder"}};

    const std::wstring nested = programs + L"\\Vendor\\Tools\\App Tool.lnk";
    WriteLink(nested, {exe, L"--mode \"fast\"", app, L"Runs the tool", exe, 2, SW_SHOWMAXIMIZED});
    const std::wstring onDesktop = desktop + L"\\App.LNK";
    WriteLink(onDesktop, {exe, L"", L"", L"", L""});
    const std::wstring inMenu = menu + L"\\Help.lnk";
    WriteLink(inMenu, {m_root / L"Elsewhere\\help.exe", L"", L"", L"", L""});
    const std::wstring outside = m_root / L"Elsewhere\\Stray.lnk";
    WriteLink(outside, {exe, L"", L"", L"", L""});

    ShellLinkDetails details;
    ASSERT_TRUE(ReadShellLink(nested, details));
    EXPECT_EQ(details.Target, exe);
    EXPECT_EQ(details.Arguments, L"--mode \"fast\"");
    EXPECT_EQ(details.WorkingFolder, app);
    EXPECT_EQ(details.Description, L"Runs the tool");
    EXPECT_EQ(details.IconPath, exe);
    EXPECT_EQ(details.IconIndex, 2);
    EXPECT_EQ(details.ShowCommand, SW_SHOWMAXIMIZED);
    EXPECT_FALSE(ReadShellLink(m_root / L"missing.lnk", details));

    // The captured file list names the target in another letter case.
    const CapturedShortcutResult result =
        ShortcutsFromLinks({nested, onDesktop, inMenu, outside}, places, {app + L"\\APP.EXE"});
    ASSERT_EQ(result.Shortcuts.size(), 2u);
    ShortcutRecord tool{L"App Tool", app + L"\\APP.EXE", L"ProgramMenuFolder", exe, L"2"};
    tool.Subfolder = L"Vendor\\Tools";
    tool.Arguments = L"--mode \"fast\"";
    tool.WorkingFolder = app;
    tool.Description = L"Runs the tool";
    tool.ShowCommand = L"3";
    EXPECT_EQ(result.Shortcuts[0], tool);
    EXPECT_EQ(result.Shortcuts[1], (ShortcutRecord{L"App", app + L"\\APP.EXE", L"DesktopFolder", L"", L""}))
        << "no icon, no arguments, normal window: the optional parts stay empty";
    EXPECT_EQ(result.LeftOut, (std::vector<std::wstring>{inMenu})) << "a target that was not captured is left out";

    // A second comparison's shortcuts replace the first's; the user's stay.
    ShortcutList list{{L"Mine", L"mine.exe", L"DesktopFolder", L"", L"0"}, result.Shortcuts[1]};
    MergeShortcuts(list, result.Shortcuts);
    EXPECT_EQ(list, (ShortcutList{{L"Mine", L"mine.exe", L"DesktopFolder", L"", L"0"}, result.Shortcuts[1],
                                  result.Shortcuts[0]}));
}
