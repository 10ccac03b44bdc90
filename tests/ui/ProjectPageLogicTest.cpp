// The rules of the Create Project File and MSI page without a window: the
// checks of its three fields, default shortcut names, the shortcut records
// and icon files made from the entries, and the pacing of the bar.
#include "common/UniqueHandle.h"
#include "common/Utf.h"
#include "project/Base64.h"
#include "tests/support/TestSupport.h"
#include "ui/pages/CreateProjectFileAndMsiRules.h"
#include "ui/pages/FailureReason.h"
#include "ui/wizard/Resource.h"

#include <gtest/gtest.h>

#include <ole2.h>

#include <cstdlib>

namespace {

// Runs a command line of the host system's shell (Wine starts host programs,
// but hands back neither their output nor their exit code) and gives its exit
// code and output, through files the shell writes in `folder`.
struct ToolRun
{
    int exitCode = -1;
    std::string output;
};

std::string UnixPath(const std::wstring& path);

ToolRun RunHostCommand(const std::string& command, const TempFolder& folder)
{
    ToolRun run;
    const std::wstring outPath = folder / L"tool-output.txt";
    const std::wstring codePath = folder / L"tool-exit-code.txt";
    const std::string script = command + " >'" + UnixPath(outPath) + "' 2>&1; echo $? >'" + UnixPath(codePath) + "'";
    std::wstring line = L"Z:\\bin\\sh -c \"" + FromUtf8(script) + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return run;
    UniqueKernelHandle process(pi.hProcess), thread(pi.hThread);
    for (int waited = 0; waited < 60000 && ReadFileBytes(codePath).find('\n') == std::string::npos; waited += 50)
        Sleep(50);
    const std::string code = ReadFileBytes(codePath);
    if (!code.empty())
        run.exitCode = std::atoi(code.c_str());
    run.output = ReadFileBytes(outPath);
    return run;
}

// The host system's path of a file, through Wine's own conversion.
std::string UnixPath(const std::wstring& path)
{
    using Convert = char*(CDECL*)(const wchar_t*);
    const auto convert = reinterpret_cast<Convert>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!convert)
        return {};
    char* unix = convert(path.c_str());
    if (!unix)
        return {};
    std::string result = unix;
    HeapFree(GetProcessHeap(), 0, unix);
    return result;
}

} // namespace

TEST(ProjectPageLogic, TheFieldsAreCheckedInOrderWithCaseSensitiveContainment)
{
    TempFolder root;
    CreateDirectoryW((root / L"Target").c_str(), nullptr);
    WriteFileBytes(root / L"plain.txt", "not a folder");
    const std::wstring target = root / L"Target";

    struct Case
    {
        ProjectInputs inputs;
        const wchar_t* message; // empty when accepted
        int field;
    };
    const Case cases[] = {
        {{root / L"missing", L"p.xml", L"p.msi"}, L"Given Path does not exist", IDC_TARGET_PATH},
        {{L"   ", L"p.xml", L"p.msi"}, L"Given Path does not exist", IDC_TARGET_PATH},
        {{root / L"plain.txt", L"p.xml", L"p.msi"}, L"Given Path is not an direectory", IDC_TARGET_PATH},
        {{target, L"  \t", L"p.msi"}, L"Project File Name can not be empty", IDC_PROJECT_FILE_NAME},
        {{target, L"project.XML", L"p.msi"}, L"Repackager only supports XML file format", IDC_PROJECT_FILE_NAME},
        {{target, L".xml", L"p.msi"}, L"Specify name of the XML file", IDC_PROJECT_FILE_NAME},
        {{target, L" .xml.xml", L"p.msi"}, L"Specify name of the XML file", IDC_PROJECT_FILE_NAME},
        {{target, L"p.xml", L""}, L"MSI File Name can not be empty", IDC_MSI_NAME},
        {{target, L"p.xml", L"package.MSI"}, L"Repackager file should have .msi extension", IDC_MSI_NAME},
        {{target, L"p.xml", L".msi"}, L"Specify name of the MSI file", IDC_MSI_NAME},
        {{target, L"p.xml.old", L"a.msi.bak"}, L"", 0},
        {{L"  " + target + L" ", L" p.xml ", L" p.msi\t"}, L"", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(ToUtf8(c.inputs.targetPath + L"|" + c.inputs.projectFileName + L"|" + c.inputs.msiName));
        const ProjectInputCheck check = CheckProjectInputs(c.inputs);
        EXPECT_EQ(check.accepted, c.message[0] == 0);
        EXPECT_EQ(check.message, c.message);
        EXPECT_EQ(check.field, c.field);
    }

    // Accepted values are trimmed, and the folder is spelt as the file system spells it.
    const ProjectInputCheck check = CheckProjectInputs({L" " + root / L"TARGET" + L" ", L" p.xml ", L"p.msi "});
    ASSERT_TRUE(check.accepted) << ToUtf8(check.message);
    EXPECT_EQ(check.values.targetPath, target);
    EXPECT_EQ(check.values.projectFileName, L"p.xml");
    EXPECT_EQ(check.values.msiName, L"p.msi");
}

TEST(ProjectPageLogic, DefaultShortcutNamesAndIconSources)
{
    const std::pair<const wchar_t*, const wchar_t*> names[] = {
        {L"setup.exe", L"setup"}, {L"tool", L"tool"}, {L"my.app.exe", L"my"}, {L".exe", L""}};
    for (const auto& [executable, name] : names)
        EXPECT_EQ(DefaultShortcutName(executable), name) << ToUtf8(executable);

    const std::pair<const wchar_t*, IconSourceKind> kinds[] = {
        {L"C:\\a\\App.EXE", IconSourceKind::Program},   {L"C:\\a\\shell.Dll", IconSourceKind::Program},
        {L"C:\\a\\pic.ICO", IconSourceKind::IconFile},  {L"C:\\a\\readme.txt", IconSourceKind::None},
        {L"C:\\a.exe\\noextension", IconSourceKind::None}, {L"", IconSourceKind::None}};
    for (const auto& [path, kind] : kinds)
        EXPECT_EQ(ClassifyIconSource(path), kind) << ToUtf8(path);

    EXPECT_EQ(ExtractedIconPath(L"C:\\prog\\ExtractedIcon", L"C:\\Program Files\\App\\app.exe", 2),
              L"C:\\prog\\ExtractedIcon\\app.exe_2.ico");
}

TEST(ProjectPageLogic, PrepareShortcutsMakesRecordsAndIconFilesInEntryOrder)
{
    OleInitialize(nullptr);
    TempFolder root;
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    const std::wstring app = root / L"app.exe";
    ASSERT_TRUE(CopyFileW(self, app.c_str(), FALSE));
    ASSERT_GE(CountIcons(app), 1) << "the test program carries the wizard's icons";
    const std::wstring icons = root / L"ExtractedIcon";
    const std::wstring firstIcon = icons + L"\\app.exe_0.ico";
    const std::wstring dll = L"C:\\windows\\system32\\shell32.dll";

    ShortcutEntryMap entries;
    entries[L"App"] = {L" App ", L"app.exe", L" " + app + L" ", 0, true, true, true};
    entries[L"Dll"] = {L"Dll", L"app.exe", dll, 3, false, true, false};
    entries[L"Ico"] = {L"Ico", L"other.exe", firstIcon, 0, false, false, true};
    entries[L"Missing"] = {L"Missing", L"tool.exe", app, 99, true, false, false}; // no icon 99
    entries[L"Unticked"] = {L"", L"quiet.exe", app, 0, false, false, false};

    ShortcutList records{{L"Earlier", L"x.exe", L"DesktopFolder", L"", L"0"}};
    IconMap iconFiles;
    ASSERT_TRUE(PrepareShortcuts(entries, icons, records, iconFiles));

    const std::wstring missingIcon = icons + L"\\app.exe_99.ico";
    const ShortcutList expected = {
        {L"Earlier", L"x.exe", L"DesktopFolder", L"", L"0"},
        {L"App", L"app.exe", L"DesktopFolder", firstIcon, L"0"},
        {L"App", L"app.exe", L"ProgramMenuFolder", firstIcon, L"0"},
        {L"App", L"app.exe", L"QuickLaunchFolder", firstIcon, L"0"},
        {L"Dll", L"app.exe", L"ProgramMenuFolder", dll, L"3"},
        {L"Ico", L"other.exe", L"QuickLaunchFolder", firstIcon, L"0"},
        {L"Missing", L"tool.exe", L"DesktopFolder", missingIcon, L"99"},
    };
    EXPECT_EQ(records, expected);
    EXPECT_EQ(entries[L"Unticked"].name, L"quiet.exe") << "an empty name becomes the executable's";
    EXPECT_EQ(entries[L"Unticked"].iconSource, icons + L"\\app.exe_0.ico");
    EXPECT_EQ(entries[L"Missing"].iconSource, missingIcon) << "the path changes even without an icon";
    EXPECT_FALSE(PathExists(missingIcon));

    // One icon file, used by three executables, with its contents.
    ASSERT_EQ(iconFiles.size(), 1u);
    const IconRecord& icon = iconFiles.begin()->second;
    EXPECT_EQ(iconFiles.begin()->first, firstIcon);
    EXPECT_EQ(icon.Executables, (std::vector<std::wstring>{L"app.exe", L"other.exe", L"quiet.exe"}));
    IconRecord reread;
    ASSERT_TRUE(ReadIconFile(firstIcon, reread));
    EXPECT_EQ(icon.Data, reread.Data);
    EXPECT_EQ(icon.Size, std::to_wstring(icon.Data.size()));

    // An independent reader takes the saved file for a 32 by 32 icon.
    const std::string bytes = ReadFileBytes(firstIcon);
    ASSERT_GE(bytes.size(), 6u);
    EXPECT_EQ(bytes.substr(0, 4), std::string("\0\0\1\0", 4));
    const std::string unixIcon = UnixPath(firstIcon);
    if (unixIcon.empty())
        GTEST_SKIP() << "no host path for the icon file: not running under Wine";
    const ToolRun listing = RunHostCommand("icotool -l '" + unixIcon + "'", root);
    EXPECT_EQ(listing.exitCode, 0) << listing.output;
    EXPECT_NE(listing.output.find("--icon"), std::string::npos) << listing.output;
    EXPECT_NE(listing.output.find("--width=32 --height=32"), std::string::npos) << listing.output;
    OleUninitialize();
}

TEST(ProjectPageLogic, CapturedShortcutsBecomeEntriesAndKeepTheirDetailsThroughTheUsersEdits)
{
    TempFolder root;
    const auto captured = [](const wchar_t* name, const wchar_t* directory, const wchar_t* subfolder) {
        ShortcutRecord record{name, L"%PROGRAMFILES%\\Vendor\\app.exe", directory, L"", L""};
        record.Subfolder = subfolder;
        record.Arguments = L"--start";
        record.WorkingFolder = L"%PROGRAMFILES%\\Vendor";
        return record;
    };
    const ShortcutRecord menu = captured(L"App", L"ProgramMenuFolder", L"Vendor\\App");
    const ShortcutRecord desktop = captured(L"App", L"DesktopFolder", L"");
    const ShortcutRecord startMenu = captured(L"Tool", L"StartMenuFolder", L"");
    ShortcutEntryMap entries = EntriesFromCapturedShortcuts({menu, desktop, startMenu});
    ASSERT_EQ(entries.size(), 2u);
    const ShortcutEntry& app = entries[L"App"];
    EXPECT_TRUE(app.desktop && app.programMenu && !app.quickLaunch);
    EXPECT_EQ(app.executable, L"%PROGRAMFILES%\\Vendor\\app.exe");
    EXPECT_EQ(app.captured, (ShortcutList{menu, desktop}));
    EXPECT_FALSE(entries[L"Tool"].desktop || entries[L"Tool"].programMenu || entries[L"Tool"].quickLaunch);

    // The user renames App, takes it off the desktop and adds the quick-launch bar.
    ShortcutEntry edited = entries[L"App"];
    edited.name = L"My App";
    edited.desktop = false;
    edited.quickLaunch = true;
    entries.erase(L"App");
    entries[L"My App"] = edited;
    ShortcutList records;
    IconMap icons;
    ASSERT_TRUE(PrepareShortcuts(entries, root / L"ExtractedIcon", records, icons));
    ShortcutRecord renamedMenu = menu;
    renamedMenu.Name = L"My App";
    renamedMenu.IconIndex = L"0";
    ShortcutRecord tool = startMenu;
    tool.IconIndex = L"0";
    const ShortcutList expected = {
        renamedMenu,
        {L"My App", L"%PROGRAMFILES%\\Vendor\\app.exe", L"QuickLaunchFolder", L"", L"0"},
        tool,
    };
    EXPECT_EQ(records, expected);
}

TEST(ProjectPageLogic, TheBarStopsShortOfEachWorkersShare)
{
    // The project writer has the whole bar; the build has half per step.
    EXPECT_EQ(ProgressCeiling(1000, 0), 950);
    EXPECT_EQ(ProgressCeiling(500, 0), 450);
    EXPECT_EQ(ProgressCeiling(500, 1), 950);

    struct Case
    {
        int position, increment, steps, next;
    };
    const Case cases[] = {
        {0, 1000, 0, 1},     {950, 1000, 0, 951}, {951, 1000, 0, 951}, {450, 500, 0, 451},
        {451, 500, 0, 451},  {451, 500, 1, 452},  {951, 500, 1, 951},  {999, 500, 5, 1000},
        {1000, 500, 5, 1000},
    };
    for (const Case& c : cases)
        EXPECT_EQ(NextProgressPosition(c.position, c.increment, c.steps), c.next)
            << c.position << " " << c.increment << " " << c.steps;

    // A measured build: the bar follows its share, never back, never full.
    struct Measured
    {
        int position, share, next;
    };
    const Measured measured[] = {
        {0, -1, 1}, {451, -1, 451}, {0, 0, 0}, {10, 500, 475}, {600, 500, 600}, {0, 1000, 950}, {0, 1200, 950},
    };
    for (const Measured& m : measured)
        EXPECT_EQ(NextMeasuredProgressPosition(m.position, 500, 0, m.share), m.next) << m.position << " " << m.share;
}

TEST(ProjectPageLogic, OnlyExecutablesAndShortcutTargetsTheProjectStillHoldsCount)
{
    const FolderTokenValues tokens = MachineTokens();
    const std::wstring app = L"C:\\Program Files\\App";
    const std::vector<std::wstring> recorded = {app + L"\\app.exe", app + L"\\uninstall.exe", app + L"\\tool.exe"};
    // The review page left tool.exe out, the clean-up the uninstaller.
    const DirectoryChangeMap added = {{app, {app + L"\\readme.txt", app + L"\\TOOL.EXE"}},
                                      {app + L"\\Bin", {app + L"\\Bin\\helper.dll"}},
                                      {L"C:\\Other", {app + L"\\app.exe"}}};
    EXPECT_EQ(IncludedExecutables(recorded, added),
              (std::vector<std::wstring>{app + L"\\app.exe", app + L"\\tool.exe"}));
    EXPECT_TRUE(IncludedExecutables(recorded, {}).empty());

    struct Case
    {
        const char* name;
        ShortcutEntry entry;
        bool refused;
    };
    const Case cases[] = {
        {"chosen for a file of the project", {L"A", L"app.exe", L"", 0}, false},
        {"chosen for a file left out", {L"U", L"uninstall.exe", L"", 0}, true},
        {"left out but in no place", {L"U", L"uninstall.exe", L"", 0, false, false, false}, false},
        {"captured, target in the project", {L"T", app + L"\\tool.exe", L"", 0}, false},
        {"captured, target left out", {L"C", app + L"\\uninstall.exe", L"", 0}, true},
        {"captured, target modified", {L"M", L"C:\\Windows\\notepad.exe", L"", 0}, false},
    };
    const DirectoryChangeMap modified = {{L"C:\\Windows", {L"C:\\Windows\\notepad.exe"}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ShortcutEntryMap entries = {{c.entry.name, c.entry}};
        const ShortcutEntry* refused = ShortcutWithoutTarget(entries, {&added, &modified}, tokens);
        EXPECT_EQ(refused != nullptr, c.refused);
        if (refused) {
            EXPECT_EQ(refused->name, c.entry.name);
        }
    }
}

TEST(ProjectPageLogic, AFailureNamesTheErrorLogTheLogWritesOrTheSettingThatKeepsOne)
{
    TempFolder folder;
    ScopedCurrentDirectory current(folder.Path());
    const std::wstring config = folder / L"CorvaneRepackager.ini";
    struct Case
    {
        const char* name;
        std::string settings;
        std::wstring text;
    };
    const Case cases[] = {
        {"configured name", "LogLevel=2\r\nErrorLogFileName=Problems.txt",
         L"The reason is in the error log " + (folder / L"Problems.txt") + L"."},
        {"a path, which the log replaces by its default", "LogLevel=3\r\nErrorLogFileName=D:\\logs\\e.txt",
         L"The reason is in the error log c:\\ErrorLog.txt."},
        {"debug log only", "LogLevel=1\r\nErrorLogFileName=Problems.txt",
         L"No error log is kept at LogLevel 1: set LogLevel=2 in section [LogFileDetails] of " + config +
             L" to keep one, then try again."},
        {"no log", "LogLevel=0", L"No error log is kept at LogLevel 0: set LogLevel=2 in section [LogFileDetails] of " +
                                     config + L" to keep one, then try again."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFileBytes(config, "[LogFileDetails]\r\nDebugLogFileName=Debug.txt\r\n" + c.settings + "\r\n");
        ScopedFileLog log(folder.Path());
        EXPECT_EQ(FailureReasonText(folder / L"Unused.ini"), c.text);
    }
}
