// The MSI builder against the real msi.dll, the template from the build and
// the cabinet maker from the build: rows of every table, the stored cabinet,
// the failure paths and their log lines.
#include "common/PathSetup.h"
#include "common/Progress.h"
#include "common/StopToken.h"
#include "msi/BuildPacer.h"
#include "msi/MSIHandler.h"
#include "msi/MsiPlatform.h"
#include "msi/MsiTables.h"
#include "msi/Upgrade.h"
#include "common/NameUuid.h"
#include "tests/msi/BuilderScene.h"
#include "tests/project/XmlTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cwctype>
#include <map>
#include <set>
#include <thread>
#include <vector>

namespace {

using Row = std::vector<std::wstring>;

std::wstring FieldText(MSIHANDLE record, UINT field)
{
    DWORD size = 0;
    wchar_t empty[1] = L"";
    if (MsiRecordGetStringW(record, field, empty, &size) != ERROR_MORE_DATA && size == 0)
        return L"";
    std::wstring text(size + 1, L'\0');
    DWORD got = size + 1;
    MsiRecordGetStringW(record, field, text.data(), &got);
    text.resize(got);
    return text;
}

std::vector<Row> Query(MSIHANDLE database, const std::wstring& sql)
{
    std::vector<Row> rows;
    UniqueMsiHandle view;
    if (MsiDatabaseOpenViewW(database, sql.c_str(), view.put()) != ERROR_SUCCESS) {
        ADD_FAILURE() << "cannot open view " << ToUtf8(sql);
        return rows;
    }
    EXPECT_EQ(ERROR_SUCCESS, MsiViewExecute(view.get(), 0));
    for (;;) {
        UniqueMsiHandle record;
        if (MsiViewFetch(view.get(), record.put()) != ERROR_SUCCESS)
            break;
        Row row;
        const UINT count = MsiRecordGetFieldCount(record.get());
        for (UINT i = 1; i <= count; ++i)
            row.push_back(FieldText(record.get(), i));
        rows.push_back(std::move(row));
    }
    MsiViewClose(view.get());
    return rows;
}

// Key column -> the rest of the row.
std::map<std::wstring, Row> Keyed(const std::vector<Row>& rows)
{
    std::map<std::wstring, Row> keyed;
    for (const Row& row : rows)
        keyed[row[0]] = Row(row.begin() + 1, row.end());
    return keyed;
}

std::wstring SummaryText(MSIHANDLE database, UINT id)
{
    UniqueMsiHandle summary;
    if (MsiGetSummaryInformationW(database, nullptr, 0, summary.put()) != ERROR_SUCCESS)
        return L"<none>";
    UINT type = 0;
    INT number = 0;
    FILETIME time{};
    wchar_t text[512] = {};
    DWORD size = 512;
    MsiSummaryInfoGetPropertyW(summary.get(), id, &type, &number, &time, text, &size);
    return text;
}

// The row of a key; a missing key fails the test with its name.
Row At(const std::map<std::wstring, Row>& rows, const std::wstring& key)
{
    const auto found = rows.find(key);
    if (found == rows.end()) {
        ADD_FAILURE() << "no row " << ToUtf8(key);
        return Row(16);
    }
    return found->second;
}

bool HasLine(const std::vector<std::string>& lines, const std::string& line)
{
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// A failure's line: `start`, then " (error <code>: <the system's text>)".
bool HasFailureLine(const std::vector<std::string>& lines, const std::string& start, DWORD code)
{
    const std::string head = start + " (error " + std::to_string(code) + ": ";
    return std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
        return line.starts_with(head) && line.size() > head.size() + 1 && line.ends_with(")");
    });
}

class BuilderTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_paths = BuilderPaths(m_temp.Path());
        m_tokens = MachineTokens();
    }
    void TearDown() override { EXPECT_EQ(0u, MsiCloseAllHandles()); }

    std::wstring ProjectPath() const { return m_temp / L"Project.xml"; }
    BuildRequest ProjectRequest(const std::wstring& packageName = L"") const
    {
        return BuilderRequest(m_paths, m_tokens, ProjectPath(), packageName);
    }

    // A project file of the raw skeleton with only the product information.
    void WriteMinimalProject(const ProductInfo& product, const DirectoryChangeMap& files = {})
    {
        XmlDocument doc;
        ASSERT_TRUE(doc.Load(ExecutableFolder() + L"\\..\\bin\\RawProjectFile.xml"));
        DirectoryChangeMap copy = files;
        EXPECT_TRUE(WriteFileList(doc, ChangeOrigin::Added, copy, m_tokens, ProjectPath(), FileListMode::KeepAll));
        EXPECT_TRUE(WriteProductInfo(doc, product, ProjectPath()));
    }

    UniqueMsiHandle OpenPackage(const std::wstring& path)
    {
        UniqueMsiHandle database;
        EXPECT_EQ(ERROR_SUCCESS, MsiOpenDatabaseW(path.c_str(), MSIDBOPEN_READONLY, database.put()));
        return database;
    }

    TempFolder m_temp;
    WorkPaths m_paths;
    FolderTokenValues m_tokens;
};

TEST_F(BuilderTest, FullProjectGivesTheRowsOfEveryTable)
{
    CapturedLog log(m_temp);
    BuilderScene scene(m_tokens, L"CorvaneBuilderTest" + NewGuidText().substr(1, 8), L"BuilderRows");
    scene.CreatePayload();
    scene.CreateRegistry();
    ASSERT_TRUE(scene.WriteProject(ProjectPath()));

    std::wstring packagePath;
    MsiBuildCounts counts;
    std::vector<std::wstring> leftOut;
    std::vector<LeftOutItem> items;
    {
        CMSIHandler builder;
        ASSERT_EQ(1, builder.Initialize(ProjectRequest()));
        EXPECT_EQ(1, builder.BuildMSI());
        packagePath = builder.PackagePath();
        counts = builder.Counts();
        leftOut = builder.LeftOutFiles();
        items = builder.LeftOutItems();
        builder.Uninitialize();
    }
    scene.RemoveRegistry();
    EXPECT_EQ(m_temp / L"out\\Packages\\CorvaneBT.msi", packagePath);
    EXPECT_EQ(8u, counts.FilesPacked);
    EXPECT_EQ(2u, counts.FilesLeftOut);
    // Nine added (one is gone, the QWORD cannot be written) and one modified.
    EXPECT_EQ(10u, counts.RegistryRows);
    EXPECT_EQ(2u, counts.RegistryLeftOut);
    // What existed before the setup: the modified file, value and INI entries.
    EXPECT_EQ(1u, counts.FilesKept);
    EXPECT_EQ(1u, counts.RegistryKept);
    EXPECT_EQ(2u, counts.IniKept);
    EXPECT_EQ(5u, counts.IniRows);
    EXPECT_EQ(3u, counts.ShortcutRows);
    EXPECT_EQ(0u, counts.RejectedRows);
    // Captured names that are not identifiers become valid keys: the package
    // check finds nothing in the builder's own rows.
    EXPECT_EQ(0u, counts.RuleFindings);
    // Files stand in the project file in the reverse of the order they were written.
    EXPECT_EQ((std::vector<std::wstring>{scene.Real(L"\\App\\gone.txt"), scene.Real(L"\\App\\cache.tmp")}), leftOut);
    // Each item left out, with why: the kind, the end of its name and a part of the reason.
    const struct
    {
        const wchar_t* kind;
        const wchar_t* ending;
        const wchar_t* reason;
    } why[] = {{L"File", L"\\App\\gone.txt", L"missing or unreadable at build time"},
               {L"File", L"\\App\\cache.tmp", L"a temporary file or a shell link"},
               {L"Registry value", L"BuilderRows Gone", L"value \"Gone\" (error 2: "},
               {L"Registry value", L"BuilderRows Big", L"is of type REG_QWORD, which Windows Installer cannot write"},
               {L"Shortcut", L"Not packaged", L"its program missing.exe is not in the package"}};
    std::string listed;
    for (const LeftOutItem& item : items)
        listed += ToUtf8(item.Kind + L"|" + item.Item + L"|" + item.Reason) + "\n";
    ASSERT_EQ(std::size(why), items.size()) << listed;
    for (std::size_t i = 0; i < items.size(); ++i) {
        EXPECT_EQ(why[i].kind, items[i].Kind) << i;
        EXPECT_TRUE(items[i].Item.ends_with(why[i].ending)) << ToUtf8(items[i].Item);
        EXPECT_NE(items[i].Reason.find(why[i].reason), std::wstring::npos) << ToUtf8(items[i].Reason);
    }

    {
        UniqueMsiHandle db = OpenPackage(packagePath);
        ASSERT_TRUE(db);

        // Folders chain up to Program Files; each gets one row.
        const auto directories = Keyed(Query(db.get(), L"SELECT * FROM `Directory`"));
        const std::wstring top = UpperKey(scene.Root().substr(scene.Root().find_last_of(L'\\') + 1));
        EXPECT_EQ((Row{L"ProgramFilesFolder", scene.Root().substr(scene.Root().find_last_of(L'\\') + 1)}),
                  At(directories, top));
        EXPECT_EQ((Row{top, L"App"}), At(directories, L"APP"));
        EXPECT_EQ((Row{L"APP", L"Data"}), At(directories, L"DATA"));
        EXPECT_EQ((Row{top, L"Other"}), At(directories, L"OTHER"));
        EXPECT_EQ((Row{L"OTHER", L"Sub"}), At(directories, L"SUB"));
        EXPECT_EQ(L"TARGETDIR", At(directories, L"WindowsFolder")[0]);

        // File keys are unique without regard to case; sequences follow the cabinet
        // order, where the files of random bytes (app.exe, données ü.bin) come
        // last, stored uncompressed.
        const auto files = Keyed(Query(db.get(), L"SELECT `File`,`Component_`,`FileName`,`FileSize`,`Attributes`,"
                                                 L"`Sequence` FROM `File` ORDER BY `Sequence`"));
        ASSERT_EQ(8u, files.size());
        EXPECT_EQ((Row{L"APP.EXECOMP", L"app.exe", L"3000", L"16384", L"7"}), At(files, L"app.exe"));
        EXPECT_EQ((Row{L"README.TXTCOMP", L"readme.txt", L"9", L"16384", L"1"}), At(files, L"readme.txt"));
        const std::wstring data = L"donn\u00e9es \u00fc.bin";
        // Keys are installer identifiers (the name in the cabinet too): what is
        // not a letter, digit, period or underscore becomes "_"; the file name stays.
        EXPECT_EQ((Row{L"__.BINCOMP", L"\u65e5\u672c.bin", L"31", L"16384", L"2"}), At(files, L"__.bin"));
        EXPECT_EQ((Row{L"DONN_ES__.BINCOMP", data, L"70000", L"16384", L"8"}), At(files, L"donn_es__.bin"));
        EXPECT_EQ((Row{L"IT_S.TXTCOMP", L"it's.txt", L"21", L"16384", L"3"}), At(files, L"it_s.txt"));
        EXPECT_EQ((Row{L"README.TXT1COMP", L"readme.txt", L"17", L"16384", L"4"}), At(files, L"readme.txt1"));
        EXPECT_EQ((Row{L"README.TXT2COMP", L"README.TXT", L"200000", L"16384", L"5"}), At(files, L"README.TXT2"));
        EXPECT_EQ((Row{L"SETTINGS.DATCOMP", L"settings.dat", L"19", L"16384", L"6"}), At(files, L"settings.dat"));

        const auto components = Keyed(Query(db.get(), L"SELECT `Component`,`Directory_`,`Attributes`,`ComponentId` "
                                                      L"FROM `Component`"));
        EXPECT_EQ(L"APP", At(components, L"APP.EXECOMP")[0]);
        EXPECT_EQ(L"DATA", At(components, L"IT_S.TXTCOMP")[0]);
        EXPECT_EQ(L"DATA", At(components, L"__.BINCOMP")[0]);
        EXPECT_EQ(L"SUB", At(components, L"README.TXT2COMP")[0]);
        EXPECT_EQ(L"8", At(components, L"README.TXT2COMP")[1]);
        // The modified file is kept on removal: a permanent component.
        EXPECT_EQ(L"24", At(components, L"SETTINGS.DATCOMP")[1]);
        const Row keptValues = At(components, L"REGKEEPCOMP");
        EXPECT_EQ((Row{L"ProgramFilesFolder", L"20"}), Row(keptValues.begin(), keptValues.begin() + 2));
        const Row keptIni = At(components, L"INIKEEPCOMP");
        EXPECT_EQ((Row{L"INSTALLDIR", L"20"}), Row(keptIni.begin(), keptIni.begin() + 2));
        // The fixed components' key paths are registry values of their own.
        const Row registryComponent = At(components, L"REGDIFFCOMP");
        EXPECT_EQ((Row{L"ProgramFilesFolder", L"12"}), Row(registryComponent.begin(), registryComponent.begin() + 2));
        const Row iniComponent = At(components, L"INIHANDLECOMP");
        EXPECT_EQ((Row{L"INSTALLDIR", L"4"}), Row(iniComponent.begin(), iniComponent.begin() + 2));
        const std::wstring guid = At(components, L"APP.EXECOMP")[2];
        ASSERT_EQ(38u, guid.size());
        EXPECT_EQ(L'{', guid.front());
        EXPECT_EQ(UpperKey(guid), guid);
        EXPECT_NE(guid, At(components, L"README.TXTCOMP")[2]);

        const auto features = Query(db.get(), L"SELECT `Component_` FROM `FeatureComponents` WHERE "
                                              L"`Feature_`='MSIFeature'");
        // Eight files, the template's two fixed components and the two permanent ones.
        EXPECT_EQ(12u, features.size());

        EXPECT_EQ((std::vector<Row>{{L"1", L"8", L"#MSIProject.cab"}}),
                  Query(db.get(), L"SELECT `DiskId`,`LastSequence`,`Cabinet` FROM `Media`"));

        // Registry data read live at build time, in the installer's notation.
        const auto registry = Query(db.get(), L"SELECT `Registry`,`Root`,`Key`,`Name`,`Value`,`Component_` FROM "
                                              L"`Registry`");
        std::map<std::wstring, Row> byName;
        for (const Row& row : registry) {
            if (row[0].starts_with(L"CorvaneKeyPath"))
                continue;
            EXPECT_EQ(L"1", row[1]);
            EXPECT_EQ(row[3] == L"Mod" ? L"REGKEEPCOMP" : L"REGDIFFCOMP", row[5]) << ToUtf8(row[3]);
            byName[row[3]] = {row[0], row[2], row[4]};
        }
        const std::wstring key = scene.KeyPath();
        EXPECT_EQ((Row{L"CorvaneRegistry10", key, L"[ProgramFilesFolder]" +
                                                     scene.Root().substr(scene.Root().find_last_of(L'\\') + 1) +
                                                     L"\\App\\bin"}),
                  At(byName, L"Path"));
        EXPECT_EQ(L"#%%SystemRoot%\\system32\\shell32.dll,3", At(byName, L"Icon")[2]);
        EXPECT_EQ(L"#x0a0bff", At(byName, L"Blob")[2]);
        EXPECT_EQ(L"#10", At(byName, L"Count")[2]);
        EXPECT_EQ(L"#-1", At(byName, L"Minus")[2]);
        EXPECT_EQ(0u, byName.count(L"Big")) << "no installer notation for a QWORD";
        EXPECT_EQ(L"a[~]b b[~]c", At(byName, L"List")[2]);
        EXPECT_EQ(L"it's [\\[]literal[\\]]", At(byName, L"Say \"hi\"")[2]);
        EXPECT_EQ((Row{L"CorvaneRegistry2", key, L"default text"}), At(byName, L""));
        EXPECT_EQ(L"##not a number", At(byName, L"Hash")[2]);
        EXPECT_EQ(0u, byName.count(L"Gone"));
        // Values stand in the project file in reverse; the gone value used up number 0
        // and the numbering runs on through the modified list.
        EXPECT_EQ((Row{L"CorvaneRegistry11", key + L"\\Sub", L"modified"}), At(byName, L"Mod"));

        EXPECT_EQ((std::vector<Row>{{L"INIFile1", L"corvane_bt.ini", L"WindowsFolder", L"Settings", L"Quote",
                                     L"it's on", L"0", L"INIHANDLECOMP"},
                                    {L"INIFile2", L"corvane_bt.ini", L"WindowsFolder", L"Settings", L"Mode", L"fast",
                                     L"0", L"INIHANDLECOMP"},
                                    {L"INIFile3", L"app.ini", L"APP", L"Main", L"Home",
                                     L"[ProgramFilesFolder]" + scene.Root().substr(scene.Root().find_last_of(L'\\') + 1) +
                                         L"\\App",
                                     L"0", L"INIKEEPCOMP"},
                                    {L"INIFile4", L"app.ini", L"APP", L"Main", L"Key", L"v", L"0",
                                     L"INIKEEPCOMP"}}),
                  Query(db.get(), L"SELECT * FROM `IniFile` ORDER BY `IniFile`"));
        EXPECT_EQ((std::vector<Row>{{L"INIFile1", L"corvane_old.ini", L"WindowsFolder", L"Old", L"Gone", L"1", L"2",
                                     L"INIHANDLECOMP"}}),
                  Query(db.get(), L"SELECT * FROM `RemoveIniFile`"));

        // Two shortcuts share one icon; the one whose target was not packaged (Shortcut0) is left out.
        EXPECT_EQ((std::vector<Row>{{L"Shortcut1", L"ProgramMenuFolder", L"Corvane BT 2", L"APP.EXECOMP",
                                     L"[#app.exe]", L"Icon1", L"0"},
                                    {L"Shortcut2", L"DesktopFolder", L"Corvane BT", L"APP.EXECOMP", L"[#app.exe]",
                                     L"Icon1", L"0"}}),
                  Query(db.get(), L"SELECT `Shortcut`,`Directory_`,`Name`,`Component_`,`Target`,`Icon_`,`IconIndex` "
                                  L"FROM `Shortcut` WHERE `Shortcut`<>'Shortcut3' ORDER BY `Shortcut`"));
        EXPECT_EQ((std::vector<Row>{{L"Icon1"}}), Query(db.get(), L"SELECT `Name` FROM `Icon`"));
        // The captured shortcut: its nested subfolder chained below the program
        // menu and removed on uninstall; arguments with the folder property, the
        // working folder by its Directory key.
        const std::wstring rootName = scene.Root().substr(scene.Root().find_last_of(L'\\') + 1);
        EXPECT_EQ((std::vector<Row>{{L"TOOLS", L"Corvane BT 3", L"APP.EXECOMP", L"[#app.exe]",
                                     L"--ini \"[ProgramFilesFolder]" + rootName + L"\\App\\app.ini\" [\\[]x[\\]]",
                                     L"Runs the tool", L"", L"", L"7", L"DATA"}}),
                  Query(db.get(), L"SELECT `Directory_`,`Name`,`Component_`,`Target`,`Arguments`,`Description`,"
                                  L"`Icon_`,`IconIndex`,`ShowCmd`,`WkDir` FROM `Shortcut` WHERE `Shortcut`='Shortcut3'"));
        EXPECT_EQ((Row{L"ProgramMenuFolder", L"Corvane BT"}), At(directories, L"CORVANE_BT"));
        EXPECT_EQ((Row{L"CORVANE_BT", L"Tools"}), At(directories, L"TOOLS"));
        EXPECT_EQ((std::vector<Row>{{L"APP.EXECOMP", L"", L"CORVANE_BT", L"2"}, {L"APP.EXECOMP", L"", L"TOOLS", L"2"}}),
                  Query(db.get(), L"SELECT `Component_`,`FileName`,`DirProperty`,`InstallMode` FROM `RemoveFile` "
                                  L"ORDER BY `DirProperty`"));

        const auto properties = Keyed(Query(db.get(), L"SELECT * FROM `Property`"));
        EXPECT_EQ(L"CorvaneBT", At(properties, L"ProductName")[0]);
        EXPECT_EQ(L"Corvane Test", At(properties, L"Manufacturer")[0]);
        EXPECT_EQ(L"1.2", At(properties, L"ProductVersion")[0]);
        EXPECT_EQ(38u, At(properties, L"ProductCode")[0].size());
        EXPECT_NE(At(properties, L"ProductCode")[0], At(properties, L"UpgradeCode")[0]);

        EXPECT_EQ(L"CorvaneBT_1.2", SummaryText(db.get(), 2));
        EXPECT_EQ(L"CorvaneBT_1.2", SummaryText(db.get(), 3));
        EXPECT_EQ(L"MSI created with the Corvane Repackager.", SummaryText(db.get(), 6));
        EXPECT_EQ(L"Corvane Repackager Installation Database", SummaryText(db.get(), 18));
        EXPECT_EQ(38u, SummaryText(db.get(), 9).size());

        EXPECT_EQ((std::vector<Row>{{L"MSIProject.cab"}}),
                  Query(db.get(), L"SELECT `Name` FROM `_Streams` WHERE `Name`='MSIProject.cab'"));
    }
    // The cabinet went into the package; the directive file names every packed file.
    EXPECT_FALSE(PathExists(m_temp / L"out\\Packages\\MSIProject.cab"));
    const std::string ddf = ReadFileBytes(m_temp / L"work\\Temp\\MSIProject.ddf");
    EXPECT_NE(std::string::npos, ddf.find("\"" + ToUtf8(scene.Real(L"\\App\\Data\\it's.txt")) + "\" 'it_s.txt'\n"));
    EXPECT_NE(std::string::npos, ddf.find("' 'README.TXT2'\n"));
    EXPECT_EQ(std::string::npos, ddf.find("cache.tmp"));
    scene.RemovePayload();
}

TEST_F(BuilderTest, MissingProjectFileFailsInitialize)
{
    CapturedLog log(m_temp);
    {
        CMSIHandler builder;
        EXPECT_EQ(0, builder.Initialize(BuilderRequest(m_paths, m_tokens, m_temp / L"NoSuchProject.xml")));
        EXPECT_EQ(0, builder.BuildMSI());
        builder.Uninitialize();
    }
    const auto lines = log.Messages();
    EXPECT_TRUE(HasLine(lines, "CMSIHandler::Initialize: Unable to load Project File"));
    EXPECT_TRUE(HasLine(lines, "CMSIHandler::BuildMSI: XML not loaded"));
    EXPECT_FALSE(PathExists(m_temp / L"work\\Temp\\MSIProject.ddf"));
}

TEST_F(BuilderTest, MissingTemplateFailsInitializeWithItsPath)
{
    CapturedLog log(m_temp);
    WriteMinimalProject({L"Foo", L"1.0", L"Acme"});
    m_paths.ProgramFolder = m_temp.Path();
    {
        CMSIHandler builder;
        EXPECT_EQ(0, builder.Initialize(ProjectRequest()));
        builder.Uninitialize();
    }
    EXPECT_TRUE(HasFailureLine(log.Messages(), "CMSIHandler::Initialize: Unable to Open " + m_temp.Utf8() +
                                                   "\\Blank.msi File",
                               ERROR_FILE_NOT_FOUND));
}

// The template and the working folder come from the request's work paths,
// whatever the process's path table holds.
TEST_F(BuilderTest, RequestWorkPathsNameTemplateAndWorkingFolder)
{
    CapturedLog log(m_temp);
    WriteMinimalProject({L"Foo", L"1.0", L"Acme"});
    const std::wstring own = m_temp / L"own";
    ASSERT_TRUE(CreateDirectoryW(own.c_str(), nullptr));
    BuildRequest request = ProjectRequest();
    request.Paths.ProgramFolder = own;
    request.Paths.WorkingRoot = own;
    {
        CMSIHandler builder;
        EXPECT_EQ(0, builder.Initialize(request));
        builder.Uninitialize();
    }
    EXPECT_TRUE(PathExists(own + L"\\Temp"));
    EXPECT_TRUE(HasFailureLine(log.Messages(), "CMSIHandler::Initialize: Unable to Open " + m_temp.Utf8() +
                                                   "\\own\\Blank.msi File",
                               ERROR_FILE_NOT_FOUND));
}

TEST_F(BuilderTest, EarlierPackageThatIsNoDatabaseIsReplacedWithItsErrorLogged)
{
    CapturedLog log(m_temp);
    WriteMinimalProject({L"Foo", L"1.0", L"Acme"});
    CreateDirectoryW((m_temp / L"out").c_str(), nullptr);
    CreateDirectoryW((m_temp / L"out\\Packages").c_str(), nullptr);
    const std::wstring package = m_temp / L"out\\Packages\\Foo.msi";
    WriteFileBytes(package, std::string(4096, 'x'));
    UINT code = ERROR_SUCCESS;
    {
        UniqueMsiHandle database;
        code = MsiOpenDatabaseW(package.c_str(), MSIDBOPEN_READONLY, database.put());
    }
    ASSERT_NE(static_cast<UINT>(ERROR_SUCCESS), code);
    {
        CMSIHandler builder;
        builder.SetCabinetMaker(m_temp / L"never-run.exe");
        ASSERT_EQ(1, builder.Initialize(ProjectRequest()));
        EXPECT_EQ(1, builder.BuildMSI());
        builder.Uninitialize();
    }
    EXPECT_TRUE(OpenPackage(package)) << "the new package replaced it";
    EXPECT_TRUE(HasFailureLine(log.Messages(), "CMSIHandler::BuildMSI: Unable to read the cabinets of " + ToUtf8(package),
                               code));
}

TEST_F(BuilderTest, ProjectWithoutFilesNeedsNoCabinet)
{
    WriteMinimalProject({L"Foo", L"1.0", L"Acme"});
    std::wstring packagePath;
    {
        CMSIHandler builder;
        builder.SetCabinetMaker(m_temp / L"never-run.exe");
        ASSERT_EQ(1, builder.Initialize(ProjectRequest()));
        EXPECT_EQ(1, builder.BuildMSI());
        packagePath = builder.PackagePath();
        builder.Uninitialize();
    }
    EXPECT_EQ(m_temp / L"out\\Packages\\Foo.msi", packagePath);
    UniqueMsiHandle db = OpenPackage(packagePath);
    EXPECT_EQ((std::vector<Row>{{L"1", L"0", L""}}), Query(db.get(), L"SELECT `DiskId`,`LastSequence`,`Cabinet` "
                                                                     L"FROM `Media`"));
    EXPECT_EQ(0u, Query(db.get(), L"SELECT `Name` FROM `_Streams` WHERE `Name`='MSIProject.cab'").size());
    EXPECT_EQ(L"Foo_1.0", SummaryText(db.get(), 2));
    // The header alone.
    const std::string ddf = ReadFileBytes(m_temp / L"work\\Temp\\MSIProject.ddf");
    EXPECT_EQ(ddf.size() - 1, ddf.rfind(".Set UniqueFiles=off\n") + std::string(".Set UniqueFiles=off\n").size() - 1);
}

TEST_F(BuilderTest, GivenPackageNameIsUsedAsIs)
{
    WriteMinimalProject({L"Foo", L"1.0", L"Acme"});
    CMSIHandler builder;
    ASSERT_EQ(1, builder.Initialize(ProjectRequest(L"Bar.msi")));
    EXPECT_EQ(m_temp / L"out\\Packages\\Bar.msi", builder.PackagePath());
    EXPECT_EQ(1, builder.BuildMSI());
    builder.Uninitialize();
    EXPECT_TRUE(PathExists(m_temp / L"out\\Packages\\Bar.msi"));
}

TEST_F(BuilderTest, AFailedBuildLeavesNoHalfMadePackageAndKeepsTheEarlierOne)
{
    CapturedLog log(m_temp);
    CreateDirectoryW((m_temp / L"payload").c_str(), nullptr);
    WriteFileBytes(m_temp / L"payload\\one.txt", "one");
    WriteMinimalProject({L"Foo", L"1.0", L"Acme"}, {{m_temp / L"payload", {m_temp / L"payload\\one.txt"}}});
    const std::wstring package = m_temp / L"out\\Packages\\Foo.msi";
    {
        CMSIHandler builder;
        ASSERT_EQ(1, builder.Initialize(ProjectRequest()));
        ASSERT_EQ(1, builder.BuildMSI());
        builder.Uninitialize();
    }
    const std::string good = ReadFileBytes(package);

    struct Case
    {
        const char* name;
        std::wstring cabinetMaker;
        bool folderInTheCabinetsPlace;
        bool buildRuns; // false: Initialize alone, the build never runs
    };
    const Case cases[] = {
        {"no cabinet maker", m_temp / L"no-makecab.exe", false, true},
        {"cabinet cannot be made", L"", true, true},
        {"initialised, never built", L"", false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.folderInTheCabinetsPlace) {
            ASSERT_TRUE(CreateDirectoryW((m_temp / L"out\\Packages\\MSIProject.cab").c_str(), nullptr));
        }
        {
            CMSIHandler builder;
            if (!c.cabinetMaker.empty())
                builder.SetCabinetMaker(c.cabinetMaker);
            ASSERT_EQ(1, builder.Initialize(ProjectRequest()));
            if (c.buildRuns) {
                EXPECT_EQ(0, builder.BuildMSI());
            }
            builder.Uninitialize();
        }
        RemoveDirectoryW((m_temp / L"out\\Packages\\MSIProject.cab").c_str());
        EXPECT_EQ(ReadFileBytes(package), good) << "the earlier package is untouched";
        WIN32_FIND_DATAW data;
        UniqueFind find(FindFirstFileW((m_temp / L"out\\Packages\\*.tmp").c_str(), &data));
        EXPECT_FALSE(find.valid()) << "no half-made package is left";
    }
    const auto lines = log.Messages();
    EXPECT_TRUE(HasFailureLine(lines, "CMSIHandler::RunBatchFile: Create Process Fail", ERROR_FILE_NOT_FOUND));
    EXPECT_TRUE(HasFailureLine(lines, "CMSIHandler::RunBatchFile: Unable to remove the old cabinet " + m_temp.Utf8() +
                                          "\\out\\Packages\\MSIProject.cab",
                               ERROR_ACCESS_DENIED));
}

TEST_F(BuilderTest, LongPackagePathsAndDamagedTemplatesAreRefusedBeforeTheDatabaseOpens)
{
    CapturedLog log(m_temp);
    WriteMinimalProject({L"Foo", L"1.0", L"Acme"});
    const std::string blank = ReadFileBytes(ExecutableFolder() + L"\\..\\bin\\Blank.msi");
    const std::size_t room = 259 - (m_temp / L"out\\Packages\\").size();
    struct Case
    {
        const char* name;
        std::string msiName;
        std::string templateBytes; // empty: the shipped template
        const char* logText;
    };
    const Case cases[] = {
        {"package path of 260 characters", std::string(room - 3, 'a') + ".msi", "", " characters long"},
        {"template cut in half", "", blank.substr(0, blank.size() / 2), " cannot be used: "},
        {"template cut at a sector", "", blank.substr(0, blank.size() - 512), " cannot be used: "},
        {"template of text", "", std::string(4096, 'x'), " cannot be used: "},
        {"template header only", "", blank.substr(0, 1536), " cannot be used: "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_paths.ProgramFolder = ExecutableFolder() + L"\\..\\bin";
        if (!c.templateBytes.empty()) {
            WriteFileBytes(m_temp / L"Blank.msi", c.templateBytes);
            m_paths.ProgramFolder = m_temp.Path();
        }
        CMSIHandler builder;
        EXPECT_EQ(0, builder.Initialize(ProjectRequest(FromUtf8(c.msiName))));
        EXPECT_EQ(0, builder.BuildMSI());
        builder.Uninitialize();
        const auto lines = log.Messages();
        EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
            return line.find(c.logText) != std::string::npos;
        })) << c.logText;
    }
    m_paths.ProgramFolder = ExecutableFolder() + L"\\..\\bin";
    CMSIHandler builder;
    EXPECT_EQ(1, builder.Initialize(ProjectRequest(std::wstring(room - 4, L'a') + L".msi")))
        << "259 characters are fine";
    EXPECT_EQ(1, builder.BuildMSI());
    builder.Uninitialize();
}

TEST_F(BuilderTest, NamesOutsideTheAnsiCodePageAndOddNamesGoInUnchanged)
{
    // A CJK folder and file, a product and company outside code page 1252,
    // names that are not installer identifiers, a registry key with brackets,
    // and a folder on a drive other than the system drive.
    CapturedLog log(m_temp);
    const std::wstring cjk = m_temp / L"\u8cc7\u6599";
    CreateDirectoryW(cjk.c_str(), nullptr);
    WriteFileBytes(cjk + L"\\\u65e5\u672c\u8a9e.txt", "nihongo");
    CreateDirectoryW((m_temp / L"Sample Files").c_str(), nullptr);
    WriteFileBytes(m_temp / L"Sample Files\\read me.txt", "read me");
    WriteFileBytes(m_temp / L"Sample Files\\1st.txt", "first");
    const std::wstring otherDrive = m_tokens.systemdrive == L"D:" ? L"E:\\Tools" : L"D:\\Tools";
    TestRegistryKey odd(L"Odd [x]");
    SetRegistryString(odd.Key(), L"V", REG_SZ, L"odd");

    XmlDocument doc;
    ASSERT_TRUE(doc.Load(ExecutableFolder() + L"\\..\\bin\\RawProjectFile.xml"));
    const std::wstring save = ProjectPath();
    DirectoryChangeMap files{{cjk, {cjk + L"\\\u65e5\u672c\u8a9e.txt"}},
                             {m_temp / L"Sample Files",
                              {m_temp / L"Sample Files\\read me.txt", m_temp / L"Sample Files\\1st.txt"}},
                             {otherDrive, {otherDrive + L"\\tool.exe"}}};
    EXPECT_TRUE(WriteFileList(doc, ChangeOrigin::Added, files, m_tokens, save, FileListMode::KeepAll));
    const std::wstring key = L"HKEY_CURRENT_USER\\" + odd.SubPath();
    RegistryChangeMap keys{{key, {RegistryChangeEntry{key, L"\"V\"", L"REG_SZ", L""}}}};
    EXPECT_TRUE(WriteRegistryList(doc, ChangeOrigin::Added, keys, save));
    EXPECT_TRUE(WriteProductInfo(doc, {L"\u88fd\u54c1", L"1.0", L"\u4f1a\u793e"}, save));

    MsiBuildCounts counts;
    std::wstring packagePath;
    {
        CMSIHandler builder;
        ASSERT_EQ(1, builder.Initialize(ProjectRequest()));
        EXPECT_EQ(1, builder.BuildMSI());
        counts = builder.Counts();
        packagePath = builder.PackagePath();
        builder.Uninitialize();
    }
    EXPECT_EQ(m_temp / L"out\\Packages\\\u88fd\u54c1.msi", packagePath);
    EXPECT_EQ(3u, counts.FilesPacked);
    EXPECT_EQ(1u, counts.FilesLeftOut);
    EXPECT_EQ(1u, counts.FoldersLeftOut);
    EXPECT_EQ(1u, counts.RegistryRows);
    EXPECT_TRUE(HasLine(log.Messages(), "CMSIHandler::AddFileRows: " + ToUtf8(otherDrive) +
                                            " is not on the system drive, where the package installs; its files "
                                            "are left out"));

    UniqueMsiHandle db = OpenPackage(packagePath);
    ASSERT_TRUE(db);
    const auto files1 = Keyed(Query(db.get(), L"SELECT `File`,`Component_`,`FileName` FROM `File`"));
    EXPECT_EQ((Row{L"___.TXTCOMP", L"\u65e5\u672c\u8a9e.txt"}), At(files1, L"___.txt"));
    EXPECT_EQ((Row{L"READ_ME.TXTCOMP", L"read me.txt"}), At(files1, L"read_me.txt"));
    EXPECT_EQ((Row{L"_1ST.TXTCOMP", L"1st.txt"}), At(files1, L"_1st.txt"));
    const auto directories = Keyed(Query(db.get(), L"SELECT * FROM `Directory`"));
    EXPECT_EQ(L"Sample Files", At(directories, L"SAMPLE_FILES")[1]);
    EXPECT_EQ(L"\u8cc7\u6599", At(directories, L"__")[1]);
    for (const auto& [directory, row] : directories) {
        const bool parentKnown = row[0].empty() || directories.count(row[0]) || row[0] == L"TARGETDIR";
        EXPECT_TRUE(parentKnown) << ToUtf8(directory) << " has the parent " << ToUtf8(row[0]) << " without a row";
        EXPECT_EQ(directory.find_first_not_of(L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_."),
                  std::wstring::npos)
            << ToUtf8(directory);
    }
    const auto properties = Keyed(Query(db.get(), L"SELECT * FROM `Property`"));
    EXPECT_EQ(L"\u88fd\u54c1", At(properties, L"ProductName")[0]);
    EXPECT_EQ(L"\u4f1a\u793e", At(properties, L"Manufacturer")[0]);
    EXPECT_EQ((std::vector<Row>{{L"Software\\[Manufacturer]\\[ProductName]", L"Registry"},
                                {L"Software\\CorvaneTest\\Odd [\\[]x[\\]]", L"V"},
                                {L"Software\\[Manufacturer]\\[ProductName]", L"IniFiles"}}),
              Query(db.get(), L"SELECT `Key`,`Name` FROM `Registry`"));
    // The summary information says UTF-8 and holds the title in it. (Wine's
    // msi.dll reads the bytes back through the ANSI code page: the 8-bit
    // function shows them as stored.)
    UniqueMsiHandle summary;
    ASSERT_EQ(static_cast<UINT>(ERROR_SUCCESS), MsiGetSummaryInformationW(db.get(), nullptr, 0, summary.put()));
    UINT type = 0;
    INT codePage = 0;
    ASSERT_EQ(static_cast<UINT>(ERROR_SUCCESS),
              MsiSummaryInfoGetPropertyW(summary.get(), 1, &type, &codePage, nullptr, nullptr, nullptr));
    EXPECT_EQ(65001, static_cast<std::uint16_t>(codePage));
    char title[64] = {};
    DWORD length = sizeof title;
    ASSERT_EQ(static_cast<UINT>(ERROR_SUCCESS),
              MsiSummaryInfoGetPropertyA(summary.get(), 2, &type, nullptr, nullptr, title, &length));
    EXPECT_EQ(ToUtf8(L"\u88fd\u54c1_1.0"), std::string(title, length));
}

TEST_F(BuilderTest, OnOneProcessorTheCabinetIsMadeAfterTheRows)
{
    // With one processor the cabinet maker is started after the rows instead
    // of beside them; the package must come out the same.
    DWORD_PTR process = 0, system = 0;
    ASSERT_TRUE(GetProcessAffinityMask(GetCurrentProcess(), &process, &system));
    DWORD_PTR one = process & (~process + 1); // the lowest processor allowed
    ASSERT_TRUE(SetProcessAffinityMask(GetCurrentProcess(), one));
    struct RestoreAffinity
    {
        DWORD_PTR mask;
        ~RestoreAffinity() { SetProcessAffinityMask(GetCurrentProcess(), mask); }
    } restore{process};

    CreateDirectoryW((m_temp / L"payload").c_str(), nullptr);
    std::vector<std::wstring> paths;
    for (int i = 0; i < 5; ++i) {
        paths.push_back(m_temp / (L"payload\\file" + std::to_wstring(i) + L".bin"));
        WriteFileBytes(paths.back(), RandomBytes(3000 + i, static_cast<unsigned>(i)));
    }
    WriteMinimalProject({L"Foo", L"1.0", L"Acme"}, {{m_temp / L"payload", paths}});
    {
        CMSIHandler builder;
        ASSERT_EQ(1, builder.Initialize(ProjectRequest()));
        EXPECT_EQ(1, builder.BuildMSI());
        builder.Uninitialize();
        UniqueMsiHandle db = OpenPackage(builder.PackagePath());
        EXPECT_EQ(5u, Query(db.get(), L"SELECT `File` FROM `File`").size());
        // One component per file, beside the template's registry and INI components.
        EXPECT_EQ(5u + 2u, Query(db.get(), L"SELECT `Component` FROM `Component`").size());
        EXPECT_EQ(5u + 2u, Query(db.get(), L"SELECT `Component_` FROM `FeatureComponents`").size());
        EXPECT_EQ((std::vector<Row>{{L"1", L"5", L"#MSIProject.cab"}}),
                  Query(db.get(), L"SELECT `DiskId`,`LastSequence`,`Cabinet` FROM `Media`"));
        EXPECT_EQ(1u, Query(db.get(), L"SELECT `Name` FROM `_Streams` WHERE `Name`='MSIProject.cab'").size());
    }
    // A cabinet maker that cannot start still fails the build.
    {
        CMSIHandler builder;
        builder.SetCabinetMaker(m_temp / L"no-makecab.exe");
        ASSERT_EQ(1, builder.Initialize(ProjectRequest()));
        EXPECT_EQ(0, builder.BuildMSI());
        builder.Uninitialize();
    }
}

TEST_F(BuilderTest, KeysAreUniqueWithoutRegardToCaseAtAnyDepthAndCount)
{
    // 120 files of one name (a two-digit suffix would not do), names that
    // differ only in case, and a folder 30 levels deep.
    DirectoryChangeMap files;
    std::wstring deep = m_temp / L"p";
    CreateDirectoryW(deep.c_str(), nullptr);
    for (int i = 0; i < 30; ++i) {
        deep += (i % 2 ? L"\\Level" : L"\\level");
        CreateDirectoryW(deep.c_str(), nullptr);
    }
    WriteFileBytes(deep + L"\\deep.txt", "deep");
    files[deep] = {deep + L"\\deep.txt"};
    for (int i = 0; i < 120; ++i) {
        const std::wstring folder = m_temp / (L"f" + std::to_wstring(i));
        CreateDirectoryW(folder.c_str(), nullptr);
        const std::wstring name = i % 2 ? L"Same.txt" : L"same.TXT";
        WriteFileBytes(folder + L"\\" + name, std::to_string(i));
        files[folder] = {folder + L"\\" + name};
    }
    WriteMinimalProject({L"Keys", L"1", L"Acme"}, files);
    MsiBuildCounts counts;
    std::wstring packagePath;
    {
        CMSIHandler builder;
        ASSERT_EQ(1, builder.Initialize(ProjectRequest()));
        EXPECT_EQ(1, builder.BuildMSI());
        counts = builder.Counts();
        packagePath = builder.PackagePath();
        builder.Uninitialize();
    }
    EXPECT_EQ(121u, counts.FilesPacked);
    EXPECT_EQ(0u, counts.RejectedRows);
    UniqueMsiHandle db = OpenPackage(packagePath);
    std::set<std::wstring> upperKeys;
    for (const Row& row : Query(db.get(), L"SELECT `File` FROM `File`"))
        upperKeys.insert(UpperKey(row[0]));
    EXPECT_EQ(121u, upperKeys.size());
    EXPECT_EQ(1u, upperKeys.count(L"SAME.TXT119"));
    // Every folder of the deep path has its row, chained to its parent.
    const auto directories = Keyed(Query(db.get(), L"SELECT * FROM `Directory`"));
    const auto component = Query(db.get(), L"SELECT `Directory_` FROM `Component` WHERE `Component`='DEEP.TXTCOMP'");
    ASSERT_EQ(1u, component.size());
    std::wstring at = component[0][0];
    int levels = 0;
    while (directories.count(at) && UpperKey(At(directories, at)[1]) == L"LEVEL" && levels < 100) {
        at = At(directories, at)[0];
        ++levels;
    }
    EXPECT_EQ(30, levels);
}

TEST_F(BuilderTest, FileOfTwoGibibytesIsLeftOutWithALogLine)
{
    CapturedLog log(m_temp);
    CreateDirectoryW((m_temp / L"big").c_str(), nullptr);
    const std::wstring big = m_temp / L"big\\huge.bin";
    {
        UniqueFile file(CreateFileW(big.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                    nullptr));
        ASSERT_TRUE(file);
        LARGE_INTEGER size{};
        size.QuadPart = 0x80000000ll;
        ASSERT_TRUE(SetFilePointerEx(file.get(), size, nullptr, FILE_BEGIN));
        ASSERT_TRUE(SetEndOfFile(file.get()));
    }
    WriteFileBytes(m_temp / L"big\\small.bin", "small");
    WriteMinimalProject({L"Big", L"1", L"Acme"}, {{m_temp / L"big", {big, m_temp / L"big\\small.bin"}}});
    {
        CMSIHandler builder;
        ASSERT_EQ(1, builder.Initialize(ProjectRequest()));
        EXPECT_EQ(1, builder.BuildMSI());
        EXPECT_EQ(1u, builder.Counts().FilesPacked);
        EXPECT_EQ((std::vector<std::wstring>{big}), builder.LeftOutFiles());
        ASSERT_EQ(1u, builder.LeftOutItems().size());
        EXPECT_EQ(L"2 GiB or larger", builder.LeftOutItems()[0].Reason);
        builder.Uninitialize();
    }
    EXPECT_TRUE(HasLine(log.Messages(), "CMSIHandler::AddFileRows: " + ToUtf8(big) +
                                            " is 2 GiB or larger and cannot be stored in a cabinet; left out"));
}

TEST(FolderPathsInValues, EveryKnownFolderBecomesItsProperty)
{
    const FolderTokenValues env = MachineTokens();
    const std::vector<FolderProperty> folders = CaptureMachine::Current(env).folders;
    const auto ReplaceFolderPaths = [&](std::wstring value) { return ::ReplaceFolderPaths(std::move(value), folders); };
    EXPECT_EQ(L"[ProgramFilesFolder]Vendor\\App\\bin", ReplaceFolderPaths(env.programfiles + L"\\Vendor\\App\\bin"));
    EXPECT_EQ(L"\"[ProgramFilesFolder]A\\a.exe\" /ini [WindowsFolder]a.ini",
              ReplaceFolderPaths(L"\"" + UpperKey(env.programfiles) + L"\\A\\a.exe\" /ini " + env.windir +
                                 L"\\a.ini"));
    EXPECT_EQ(L"[APPDATA]x;[USERPROFILE]y", ReplaceFolderPaths(env.appdata + L"\\x;" + env.userprofile + L"\\y"));
    // The folder itself becomes its property (which ends with a backslash).
    EXPECT_EQ(L"[ProgramFilesFolder]", ReplaceFolderPaths(env.programfiles));
}

TEST(PackagePlatform, EachLocationKindGetsItsComponentAndFolder)
{
    struct Folder
    {
        const wchar_t* folder;
        bool is64;            // in a capture of 64-bit Windows
        const wchar_t* standard; // its installer folder there, "" for none
    };
    const Folder folders[] = {
        {L"%PROGRAMFILES64%", true, L"ProgramFiles64Folder"},
        {L"%PROGRAMFILES64%\\Vendor\\App", true, L""},
        {L"%programfiles64%\\Vendor", true, L""},
        {L"%WINDIR%\\System32", true, L"System64Folder"},
        {L"%WINDIR%\\system32\\drivers", true, L""},
        {L"%WINDIR%\\SysWOW64", false, L"SystemFolder"},
        {L"%WINDIR%\\System32x", false, L""},
        {L"%PROGRAMFILES%\\Vendor\\App", false, L""},
        {L"%WINDIR%", false, L""},
        {L"%APPDATA%\\Vendor", false, L""},
        {L"%SYSDRIVE%\\Data", false, L""},
    };
    for (const Folder& f : folders) {
        EXPECT_EQ(IsFolder64Bit(f.folder, true), f.is64) << ToUtf8(f.folder);
        EXPECT_EQ(PlatformFolderProperty(f.folder, true), f.standard) << ToUtf8(f.folder);
        // A project without the platform builds as before.
        EXPECT_FALSE(IsFolder64Bit(f.folder, false)) << ToUtf8(f.folder);
        EXPECT_EQ(PlatformFolderProperty(f.folder, false), L"") << ToUtf8(f.folder);
    }

    struct Key
    {
        const wchar_t* root;
        const wchar_t* key;
        bool is64;
        const wchar_t* written;
    };
    const Key keys[] = {
        {L"HKEY_LOCAL_MACHINE", L"SOFTWARE\\Vendor\\App", true, L"SOFTWARE\\Vendor\\App"},
        {L"HKEY_LOCAL_MACHINE", L"SOFTWARE\\WOW6432Node\\Vendor\\App", false, L"SOFTWARE\\Vendor\\App"},
        {L"HKEY_CURRENT_USER", L"Software\\Vendor\\App", false, L"Software\\Vendor\\App"},
    };
    for (const Key& k : keys) {
        std::wstring key = k.key;
        EXPECT_EQ(TakeRegistryKeyView(k.root, key, true), k.is64) << ToUtf8(k.key);
        EXPECT_EQ(key, k.written);
        key = k.key;
        EXPECT_FALSE(TakeRegistryKeyView(k.root, key, false));
        EXPECT_EQ(key, k.key) << "a 32-bit capture keeps its keys as they are";
    }
    EXPECT_TRUE(IsX64Platform(L"X64"));
    EXPECT_FALSE(IsX64Platform(L""));
}

// A capture of 64-bit Windows as the build machine's folders allow it: the
// 64-bit Program Files is a test folder, System32 the prefix's own.
class PlatformBuildTest : public BuilderTest
{
protected:
    void SetUp() override
    {
        BuilderTest::SetUp();
        m_tokens.programfiles64 = m_temp / L"PF64";
        CreateDirectoryW((m_temp / L"PF64").c_str(), nullptr);
        CreateDirectoryW((m_temp / L"PF64\\App64").c_str(), nullptr);
        CreateDirectoryW((m_temp / L"PF32").c_str(), nullptr);
        WriteFileBytes(m_temp / L"PF64\\App64\\app64.exe", "64-bit program");
        WriteFileBytes(m_temp / L"PF32\\app32.exe", "32-bit program");
        wchar_t windows[MAX_PATH];
        GetWindowsDirectoryW(windows, MAX_PATH);
        std::wstring unique = NewGuidText();
        std::erase_if(unique, [](wchar_t c) { return !iswalnum(c); });
        m_systemFile = std::wstring(windows) + L"\\system32\\corvane" + unique.substr(0, 12) + L".dll";
        WriteFileBytes(m_systemFile, "64-bit library");
    }
    void TearDown() override
    {
        DeleteFileW(m_systemFile.c_str());
        BuilderTest::TearDown();
    }

    // Builds the project and opens the package.
    UniqueMsiHandle Build(std::wstring& platform)
    {
        CMSIHandler builder;
        EXPECT_EQ(1, builder.Initialize(ProjectRequest()));
        EXPECT_EQ(1, builder.BuildMSI());
        platform = builder.Counts().Platform;
        const std::wstring path = builder.PackagePath();
        builder.Uninitialize();
        return OpenPackage(path);
    }

    static std::vector<Row> Components(MSIHANDLE db)
    {
        std::vector<Row> rows = Query(db, L"SELECT `Component`,`Directory_`,`Attributes` FROM `Component` WHERE "
                                          L"`Component`<>'REGDIFFCOMP' AND `Component`<>'INIHANDLECOMP'");
        std::sort(rows.begin(), rows.end());
        return rows;
    }

    std::wstring m_systemFile;
};

TEST_F(PlatformBuildTest, SixtyFourBitLocationsMakeAnX64Package)
{
    const std::wstring systemName = m_systemFile.substr(m_systemFile.find_last_of(L'\\') + 1);
    const std::wstring pf32 = m_temp / L"PF32";
    WriteMinimalProject({L"Mixed", L"1.0", L"Acme", L"", L"x64"},
                        {{L"%PROGRAMFILES64%\\App64", {L"%PROGRAMFILES64%\\App64\\app64.exe"}},
                         {L"%WINDIR%\\system32", {L"%WINDIR%\\system32\\" + systemName}},
                         {pf32, {pf32 + L"\\app32.exe"}}});
    std::wstring platform;
    UniqueMsiHandle db = Build(platform);
    EXPECT_EQ(L"x64", platform);
    EXPECT_EQ(L"x64;1033", SummaryText(db.get(), 7));
    const std::wstring systemKey = UpperKey(systemName + L"Comp");
    EXPECT_EQ(Components(db.get()), (std::vector<Row>{{L"APP32.EXECOMP", L"PF32", L"8"},
                                                      {L"APP64.EXECOMP", L"APP64", L"264"},
                                                      {systemKey, L"System64Folder", L"264"}}));
    const auto directories = Keyed(Query(db.get(), L"SELECT `Directory`,`Directory_Parent`,`DefaultDir` FROM "
                                                   L"`Directory`"));
    EXPECT_EQ(At(directories, L"ProgramFiles64Folder"), (Row{L"TARGETDIR", L"."}));
    EXPECT_EQ(At(directories, L"System64Folder"), (Row{L"TARGETDIR", L"."}));
    EXPECT_EQ(At(directories, L"APP64"), (Row{L"ProgramFiles64Folder", L"App64"}));
    EXPECT_EQ(1u, Query(db.get(), L"SELECT `Name` FROM `_Streams` WHERE `Name`='MSIProject.cab'").size());
}

} // namespace

TEST_F(BuilderTest, AStoppedBuildLeavesNoPackageAndOneLogLine)
{
    CapturedLog log(m_temp);
    CreateDirectoryW((m_temp / L"payload").c_str(), nullptr);
    WriteFileBytes(m_temp / L"payload\\one.txt", "one");
    WriteMinimalProject({L"Foo", L"1.0", L"Acme"}, {{m_temp / L"payload", {m_temp / L"payload\\one.txt"}}});
    std::stop_source stop;
    stop.request_stop();
    {
        CMSIHandler builder;
        ASSERT_EQ(1, builder.Initialize(ProjectRequest()));
        {
            CStopScope scope(stop.get_token());
            EXPECT_EQ(0, builder.BuildMSI());
        }
        builder.Uninitialize();
        EXPECT_FALSE(PathExists(builder.PackagePath())) << "a cut package would be installed";
        EXPECT_FALSE(PathExists(m_temp / L"out\\Packages\\MSIProject.cab"));
        // Without a stop the same builder makes the whole package.
        ASSERT_EQ(1, builder.Initialize(ProjectRequest()));
        EXPECT_EQ(1, builder.BuildMSI());
        builder.Uninitialize();
        EXPECT_TRUE(PathExists(builder.PackagePath()));
        // A later stopped build keeps that earlier package.
        ASSERT_EQ(1, builder.Initialize(ProjectRequest()));
        {
            CStopScope scope(stop.get_token());
            EXPECT_EQ(0, builder.BuildMSI());
        }
        builder.Uninitialize();
        EXPECT_TRUE(PathExists(builder.PackagePath())) << "a stopped build removed the earlier package";
    }
    // The package check's lines of the builds (the test folder's name may not
    // be an identifier) are left aside.
    std::vector<std::string> messages;
    for (const std::string& line : log.Messages())
        if (!line.starts_with("CMSIHandler::CheckPackage: ") &&
            !line.starts_with("CMSIHandler::BuildMSI: The package check found"))
            messages.push_back(line);
    const std::string stopped = "CMSIHandler::BuildMSI: Stopped before the package was complete; " + m_temp.Utf8() +
                                "\\out\\Packages\\Foo.msi not written";
    EXPECT_EQ(messages, (std::vector<std::string>{stopped, stopped}));
}

// ---- Upgrades ---------------------------------------------------------------

TEST(ProductVersion, NormalizedToWhatTheInstallerCompares)
{
    const struct
    {
        const wchar_t* text;
        const wchar_t* version;
    } cases[] = {
        {L"1.0", L"1.0"},           {L"2.5 beta", L"2.5"},        {L"1.2.3.4", L"1.2.3"},
        {L"1.2.3-rc1", L"1.2.3"},   {L"7", L"7.0"},               {L"v3.1", L"3.1"},
        {L"Version 4.02", L"4.2"},  {L"01.02", L"1.2"},           {L"2.", L"2.0"},
        {L"1..2", L"1.0"},          {L"", L"0.0"},                {L"beta", L"0.0"},
        {L"255.255.65535", L"255.255.65535"},                     {L"256.1", L"255.1"},
        {L"1.300.70000", L"1.255.65535"},                         {L"99999999999999999999.1", L"255.1"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(std::wstring(c.version), NormalizeProductVersion(c.text)) << ToUtf8(c.text);
}

namespace {

// What one build made of the product information and the components.
struct UpgradeBuild
{
    std::map<std::wstring, Row> properties;
    std::map<std::wstring, Row> componentIds;
    std::vector<Row> upgradeRows;
    std::vector<std::wstring> notes;
};

} // namespace

class UpgradeBuildTest : public BuilderTest
{
protected:
    UpgradeBuild Build(const ProductInfo& product, const DirectoryChangeMap& files)
    {
        UpgradeBuild built;
        WriteMinimalProject(product, files);
        const std::wstring packageName = L"Build" + std::to_wstring(++m_builds) + L".msi";
        std::wstring packagePath;
        {
            CMSIHandler builder;
            EXPECT_EQ(1, builder.Initialize(ProjectRequest(packageName)));
            EXPECT_EQ(1, builder.BuildMSI());
            builder.Uninitialize();
            // The test folder's name is not an identifier: the package
            // check's note is left aside here.
            for (const std::wstring& note : builder.BuildNotes())
                if (!note.starts_with(L"The package check found"))
                    built.notes.push_back(note);
            packagePath = builder.PackagePath();
        }
        UniqueMsiHandle db = OpenPackage(packagePath);
        if (!db)
            return built;
        built.properties = Keyed(Query(db.get(), L"SELECT * FROM `Property`"));
        built.componentIds = Keyed(Query(db.get(), L"SELECT `Component`,`ComponentId` FROM `Component`"));
        built.upgradeRows = Query(db.get(), L"SELECT `UpgradeCode`,`VersionMin`,`VersionMax`,`Language`,`Attributes`,"
                                            L"`Remove`,`ActionProperty` FROM `Upgrade` ORDER BY `Attributes`");
        return built;
    }

    int m_builds = 0;
};

TEST_F(UpgradeBuildTest, CodesStayWithTheProductAndItsFilesAcrossBuildsAndVersions)
{
    CapturedLog log(m_temp);
    const std::wstring app = m_temp / L"App";
    CreateDirectoryW(app.c_str(), nullptr);
    WriteFileBytes(app + L"\\common.txt", "version one\r\n");
    WriteFileBytes(app + L"\\only1.txt", "one\r\n");
    const DirectoryChangeMap v1{{app, {app + L"\\common.txt", app + L"\\only1.txt"}}};

    const UpgradeBuild first = Build({L"Widget", L"1.0", L"Acme"}, v1);
    const UpgradeBuild again = Build({L"Widget", L"1.0", L"Acme"}, v1);
    WriteFileBytes(app + L"\\common.txt", "version two, longer\r\n");
    WriteFileBytes(app + L"\\only2.txt", "two\r\n");
    const UpgradeBuild second =
        Build({L"WIDGET", L"2.0 beta", L"acme"}, {{app, {app + L"\\only2.txt", app + L"\\common.txt"}}});

    const std::wstring code = DeriveUpgradeCode(L"Acme", L"Widget");
    for (const UpgradeBuild* build : {&first, &again, &second})
        EXPECT_EQ(code, At(build->properties, L"UpgradeCode")[0]);
    EXPECT_NE(At(first.properties, L"ProductCode")[0], At(again.properties, L"ProductCode")[0]);
    EXPECT_NE(At(first.properties, L"ProductCode")[0], At(second.properties, L"ProductCode")[0]);

    // A file keeps its component code; the fixed components keep theirs.
    for (const wchar_t* component : {L"COMMON.TXTCOMP", L"REGDIFFCOMP", L"INIHANDLECOMP"}) {
        const std::wstring id = At(first.componentIds, component)[0];
        EXPECT_EQ(38u, id.size()) << ToUtf8(component);
        EXPECT_EQ(id, At(again.componentIds, component)[0]) << ToUtf8(component);
        EXPECT_EQ(id, At(second.componentIds, component)[0]) << ToUtf8(component);
    }
    EXPECT_EQ(At(first.componentIds, L"ONLY1.TXTCOMP")[0], At(again.componentIds, L"ONLY1.TXTCOMP")[0]);
    std::set<std::wstring> distinct;
    for (const auto& [component, id] : second.componentIds)
        distinct.insert(id[0]);
    EXPECT_EQ(second.componentIds.size(), distinct.size()) << "no two components share a code";

    EXPECT_EQ(L"1.0", At(first.properties, L"ProductVersion")[0]);
    EXPECT_TRUE(first.notes.empty());
    EXPECT_EQ(L"2.0", At(second.properties, L"ProductVersion")[0]);
    EXPECT_EQ((std::vector<std::wstring>{L"The version \"2.0 beta\" is written as ProductVersion 2.0."}),
              second.notes);
    EXPECT_EQ((std::vector<Row>{{code, L"2.0", L"", L"", L"2", L"", L"NEWERVERSIONDETECTED"},
                                {code, L"", L"2.0", L"", L"512", L"", L"PREVIOUSVERSIONSINSTALLED"}}),
              second.upgradeRows);
    EXPECT_TRUE(HasLine(log.Messages(),
                        "CMSIHandler::BuildMSI: The version \"2.0 beta\" is written as ProductVersion 2.0."));
}

TEST_F(UpgradeBuildTest, APinnedUpgradeCodeIsUsedAndNamesTheComponentCodes)
{
    CapturedLog log(m_temp);
    const std::wstring app = m_temp / L"App";
    CreateDirectoryW(app.c_str(), nullptr);
    WriteFileBytes(app + L"\\common.txt", "text\r\n");
    const DirectoryChangeMap files{{app, {app + L"\\common.txt"}}};

    const UpgradeBuild derived = Build({L"Widget", L"1.0", L"Acme"}, files);
    const UpgradeBuild pinned = Build({L"Widget", L"1.0", L"Acme", L" 0c0ffee0-1234-5678-9abc-def012345678 "}, files);
    const UpgradeBuild broken = Build({L"Widget", L"1.0", L"Acme", L"not a code"}, files);

    const std::wstring code = L"{0C0FFEE0-1234-5678-9ABC-DEF012345678}";
    EXPECT_EQ(code, At(pinned.properties, L"UpgradeCode")[0]);
    EXPECT_EQ(code, pinned.upgradeRows.at(0).at(0));
    EXPECT_TRUE(pinned.notes.empty());
    EXPECT_NE(At(derived.componentIds, L"COMMON.TXTCOMP")[0], At(pinned.componentIds, L"COMMON.TXTCOMP")[0])
        << "component codes are the product's own";

    const std::wstring fallback = DeriveUpgradeCode(L"Acme", L"Widget");
    EXPECT_EQ(fallback, At(broken.properties, L"UpgradeCode")[0]);
    EXPECT_EQ((std::vector<std::wstring>{L"The UpgradeCode \"not a code\" of the project file is not a GUID; the "
                                         L"package uses " + fallback + L"."}),
              broken.notes);
}

TEST(BuildPacer, TheStepCountTurnsOneAtTheMiddleAndStays)
{
    struct Case
    {
        std::size_t total;
        std::vector<std::size_t> finished;
        std::vector<int> counts; // after each Finished
        std::vector<int> shares; // thousandths, after each Finished
    };
    const Case cases[] = {
        {10, {3, 1, 1, 4, 1}, {0, 0, 1, 1, 1}, {300, 400, 500, 900, 1000}}, // rows first, the cabinet (half) last
        {10, {5, 1, 1}, {1, 1, 1}, {500, 600, 700}},                         // the cabinet first
        {3, {1, 1, 1}, {0, 1, 1}, {333, 666, 1000}},                          // no cabinet: half the rows
        {0, {0}, {1}, {1000}},                                                // nothing to do
        {4, {3, 3}, {1, 1}, {750, 1000}},                                      // more than the total
    };
    for (const Case& c : cases) {
        CProgressState progress;
        progress.SetStepCount(7);
        {
            CBuildPacer pacer(progress, c.total);
            EXPECT_EQ(progress.StepCount(), 0);
            EXPECT_EQ(progress.Share(), 0);
            std::vector<int> seen, shares;
            for (std::size_t units : c.finished) {
                pacer.Finished(units);
                seen.push_back(progress.StepCount());
                shares.push_back(progress.Share());
            }
            EXPECT_EQ(seen, c.counts) << "total " << c.total;
            EXPECT_EQ(shares, c.shares) << "total " << c.total;
        }
        EXPECT_EQ(progress.Share(), -1) << "no share once the build is over";
    }
}

TEST_F(BuilderTest, TheStepCountOnlyRisesDuringABuildOnAnyNumberOfProcessors)
{
    CreateDirectoryW((m_temp / L"payload").c_str(), nullptr);
    std::vector<std::wstring> paths;
    for (int i = 0; i < 100; ++i) {
        paths.push_back(m_temp / (L"payload\\f" + std::to_wstring(i) + L".bin"));
        WriteFileBytes(paths.back(), RandomBytes(2000, static_cast<unsigned>(i)));
    }
    WriteMinimalProject({L"Foo", L"1.0", L"Acme"}, {{m_temp / L"payload", paths}});
    DWORD_PTR process = 0, system = 0;
    ASSERT_TRUE(GetProcessAffinityMask(GetCurrentProcess(), &process, &system));
    struct RestoreAffinity
    {
        DWORD_PTR mask;
        ~RestoreAffinity() { SetProcessAffinityMask(GetCurrentProcess(), mask); }
    } restore{process};

    for (const bool oneProcessor : {false, true}) {
        SCOPED_TRACE(oneProcessor ? "cabinet after the rows" : "cabinet beside the rows");
        if (oneProcessor) {
            ASSERT_TRUE(SetProcessAffinityMask(GetCurrentProcess(), process & (~process + 1)));
        }
        CProgressState progress;
        progress.SetStepCount(7);
        std::atomic<bool> building{true};
        std::vector<int> seen;
        std::thread watcher([&] {
            int last = progress.StepCount();
            seen.push_back(last);
            while (building) {
                const int now = progress.StepCount();
                if (now != last)
                    seen.push_back(last = now);
            }
        });
        CMSIHandler builder(progress);
        ASSERT_EQ(1, builder.Initialize(ProjectRequest()));
        EXPECT_EQ(1, builder.BuildMSI());
        builder.Uninitialize();
        building = false;
        watcher.join();
        ASSERT_GE(seen.size(), 2u);
        EXPECT_EQ(seen.front(), 7);
        seen.erase(seen.begin());
        // 0 from the start of the build (a busy machine may hide that short
        // moment from the watcher), then 1, and never back.
        if (seen.front() == 0)
            seen.erase(seen.begin());
        EXPECT_EQ(seen, std::vector<int>{1});
    }
}

// ---- Cabinets beyond one ----------------------------------------------------

// A folder below Program Files, removed with its files at the end of a test.
struct RemovedFolder
{
    std::wstring path;
    ~RemovedFolder() { RemoveFolderTree(path); }
};

TEST_F(BuilderTest, TheRequestsOutputFolderTakesThePackageAndTheCabinetsBesideIt)
{
    const std::wstring root = m_tokens.programfiles + L"\\CorvaneRequest" + NewGuidText().substr(1, 8);
    ASSERT_TRUE(CreateDirectoryW(root.c_str(), nullptr));
    const RemovedFolder removed{root};
    // Two cabinets of 40,000 bytes that do not compress: more than may be embedded.
    std::vector<std::wstring> files;
    for (int i = 1; i <= 2; ++i) {
        files.push_back(root + L"\\f" + std::to_wstring(i) + L".bin");
        WriteFileBytes(files.back(), RandomBytes(40000, 40 + i));
    }
    WriteMinimalProject({L"Elsewhere", L"1.0", L"Acme"}, {{root, files}});
    m_paths.ConfigFilePath = m_temp / L"CorvaneRepackager.ini";
    WriteFileBytes(m_paths.ConfigFilePath, "[PackageBuild]\r\nCabinetSizeLimit=64K\r\nEmbeddedCabinetLimit=64K\r\n");
    const std::wstring output = m_temp / L"requested";
    ASSERT_TRUE(CreateDirectoryW(output.c_str(), nullptr));

    CMSIHandler builder;
    builder.SetCabinetMaker(ExecutableFolder() + L"\\..\\bin\\makecab.exe");
    ASSERT_EQ(1, builder.Initialize({ProjectPath(), output, L"", m_paths, m_tokens}));
    EXPECT_EQ(builder.PackagePath(), output + L"\\Packages\\Elsewhere.msi");
    ASSERT_EQ(1, builder.BuildMSI()) << builder.FailureReason();
    builder.Uninitialize();
    EXPECT_TRUE(PathExists(output + L"\\Packages\\Elsewhere.msi"));
    EXPECT_TRUE(PathExists(output + L"\\Packages\\data1.cab")) << "the cabinet goes beside its package";
    EXPECT_FALSE(PathExists(m_temp / L"out\\Packages\\Elsewhere.msi"));
    EXPECT_FALSE(PathExists(m_temp / L"out\\Packages\\data1.cab")) << "nothing lands in the path table's folder";
}

TEST_F(BuilderTest, FilesSpreadOverCabinetsEmbeddedOrBesideThePackage)
{
    CapturedLog log(m_temp);
    const std::wstring root = m_tokens.programfiles + L"\\CorvaneCabinets" + NewGuidText().substr(1, 8);
    ASSERT_TRUE(CreateDirectoryW(root.c_str(), nullptr));
    const RemovedFolder removed{root};
    DirectoryChangeMap files;
    for (int i = 1; i <= 4; ++i) {
        // 40,000 bytes that do not compress: one file per cabinet of 64K.
        const std::wstring path = root + L"\\f" + std::to_wstring(i) + L".bin";
        WriteFileBytes(path, RandomBytes(40000, 29 + i));
        files[root].push_back(path);
    }
    WriteMinimalProject({L"Cabs", L"1.0", L"Acme"}, files);
    const std::wstring packages = m_temp / L"out\\Packages";
    // A file of another package has the name data2.cab.
    WriteFileBytes(packages + L"\\data2.cab", "not ours");
    m_paths.ConfigFilePath = m_temp / L"CorvaneRepackager.ini";

    // Media.Cabinet by DiskId.
    const std::vector<std::wstring> embedded = {L"#MSIProject.cab", L"#MSIProject2.cab", L"#MSIProject3.cab",
                                                L"#MSIProject4.cab"},
                                    beside = {L"data1.cab", L"data3.cab", L"data4.cab", L"data5.cab"};
    struct Case { const char* name; const char* embedLimit; std::vector<std::wstring> cabinets; };
    const Case cases[] = {
        {"embedded", "2000M", embedded},
        {"beside the package", "64K", beside},
        {"beside it again, the earlier cabinets replaced", "64K", beside},
        {"embedded again, the earlier cabinets gone", "2000M", embedded},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFileBytes(m_temp / L"CorvaneRepackager.ini", std::string("[PackageBuild]\r\nCabinetSizeLimit=64K\r\n"
                                                                      "EmbeddedCabinetLimit=") +
                                                              c.embedLimit + "\r\n");
        CMSIHandler builder;
        builder.SetCabinetMaker(ExecutableFolder() + L"\\..\\bin\\makecab.exe");
        ASSERT_EQ(1, builder.Initialize(ProjectRequest()));
        ASSERT_EQ(1, builder.BuildMSI()) << builder.FailureReason();
        builder.Uninitialize();
        EXPECT_EQ(builder.FailureReason(), "");
        const bool external = c.cabinets[0][0] != L'#';
        EXPECT_EQ(external, std::any_of(builder.BuildNotes().begin(), builder.BuildNotes().end(), [](auto& note) {
                      return note.find(L"a folder of files to be deployed together") != std::wstring::npos;
                  }));

        UniqueMsiHandle db = OpenPackage(packages + L"\\Cabs.msi");
        std::vector<Row> expected;
        for (std::size_t i = 0; i < c.cabinets.size(); ++i)
            expected.push_back({std::to_wstring(i + 1), std::to_wstring(i + 1), c.cabinets[i]});
        EXPECT_EQ(expected, Query(db.get(), L"SELECT `DiskId`,`LastSequence`,`Cabinet` FROM `Media` ORDER BY `DiskId`"));
        for (const std::wstring& cabinet : c.cabinets) {
            SCOPED_TRACE(ToUtf8(cabinet));
            // Each cabinet whole: its header's size field gives its length.
            std::string bytes;
            if (external) {
                bytes = ReadFileBytes(packages + L"\\" + cabinet);
            } else {
                UniqueMsiHandle view;
                ASSERT_EQ(ERROR_SUCCESS, MsiDatabaseOpenViewW(db.get(),
                                                              (L"SELECT `Data` FROM `_Streams` WHERE `Name`='" +
                                                               cabinet.substr(1) + L"'").c_str(),
                                                              view.put()));
                ASSERT_EQ(ERROR_SUCCESS, MsiViewExecute(view.get(), 0));
                UniqueMsiHandle record;
                ASSERT_EQ(ERROR_SUCCESS, MsiViewFetch(view.get(), record.put()));
                bytes.resize(MsiRecordDataSize(record.get(), 1));
                DWORD size = static_cast<DWORD>(bytes.size());
                ASSERT_EQ(ERROR_SUCCESS, MsiRecordReadStream(record.get(), 1, bytes.data(), &size));
                EXPECT_FALSE(PathExists(packages + L"\\" + cabinet.substr(1))) << "stored, then removed";
            }
            ASSERT_GT(bytes.size(), 40000u);
            EXPECT_EQ(bytes.substr(0, 4), "MSCF");
            const std::uint32_t length = static_cast<unsigned char>(bytes[8]) |
                                         static_cast<unsigned char>(bytes[9]) << 8 |
                                         static_cast<unsigned char>(bytes[10]) << 16 |
                                         static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[11])) << 24;
            EXPECT_EQ(length, bytes.size());
        }
        for (const std::wstring& name : beside)
            EXPECT_EQ(PathExists(packages + L"\\" + name), external) << ToUtf8(name);
        EXPECT_EQ(ReadFileBytes(packages + L"\\data2.cab"), "not ours");
        WIN32_FIND_DATAW data;
        UniqueFind find(FindFirstFileW((packages + L"\\*.tmp").c_str(), &data));
        EXPECT_FALSE(find.valid()) << "no temporary file is left";
    }
    m_paths.ConfigFilePath.clear();
}

TEST_F(BuilderTest, TheCabinetMakersReasonReachesTheLogAndTheFailureReason)
{
    CapturedLog log(m_temp);
    const std::wstring root = m_tokens.programfiles + L"\\CorvaneCabinets" + NewGuidText().substr(1, 8);
    ASSERT_TRUE(CreateDirectoryW(root.c_str(), nullptr));
    const RemovedFolder removed{root};
    WriteFileBytes(root + L"\\a.txt", "a");
    WriteMinimalProject({L"Reason", L"1.0", L"Acme"}, {{root, {root + L"\\a.txt"}}});
    // The cabinet maker's temporary files go to a folder that is not there.
    const std::wstring missing = m_temp / L"no-such-temp";
    wchar_t saved[MAX_PATH] = {};
    GetEnvironmentVariableW(L"TMP", saved, MAX_PATH);
    SetEnvironmentVariableW(L"TMP", missing.c_str());
    SetEnvironmentVariableW(L"TEMP", missing.c_str());
    CMSIHandler builder;
    builder.SetCabinetMaker(ExecutableFolder() + L"\\..\\bin\\makecab.exe");
    ASSERT_EQ(1, builder.Initialize(ProjectRequest()));
    EXPECT_EQ(0, builder.BuildMSI());
    builder.Uninitialize();
    SetEnvironmentVariableW(L"TMP", saved);
    SetEnvironmentVariableW(L"TEMP", saved);

    const std::string reason = builder.FailureReason();
    EXPECT_TRUE(reason.starts_with("CMSIHandler::RunBatchFile: the cabinet maker failed with exit code 1: makecab: "))
        << reason;
    EXPECT_NE(reason.find("MSIProject.ddf"), std::string::npos) << reason;
    EXPECT_NE(reason.find("cannot make a temporary file in '" + ToUtf8(missing)), std::string::npos) << reason;
    EXPECT_NE(reason.find("(error "), std::string::npos) << "the system's reason: " << reason;
    EXPECT_TRUE(HasLine(log.Messages(), reason));
    EXPECT_FALSE(PathExists(m_temp / L"out\\Packages\\Reason.msi"));
}
