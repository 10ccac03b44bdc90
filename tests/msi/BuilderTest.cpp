// The MSI builder against the real msi.dll, the template from the build and
// the cabinet maker from the build: rows of every table, the stored cabinet,
// the failure paths and their log lines.
#include "common/StopToken.h"
#include "msi/MSIHandler.h"
#include "msi/MsiTables.h"
#include "msi/Upgrade.h"
#include "common/NameUuid.h"
#include "tests/msi/BuilderScene.h"
#include "tests/project/XmlTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
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

class BuilderTest : public ::testing::Test
{
protected:
    void SetUp() override { SetUpBuilderPaths(m_temp.Path()); }
    void TearDown() override { EXPECT_EQ(0u, MsiCloseAllHandles()); }

    std::wstring ProjectPath() const { return m_temp / L"Project.xml"; }

    // A project file of the raw skeleton with only the product information.
    void WriteMinimalProject(const ProductInfo& product, const DirectoryChangeMap& files = {})
    {
        CXMLDocumentHandler doc;
        ASSERT_EQ(1, doc.Load(ExecutableFolder() + L"\\..\\bin\\RawProjectFile.xml"));
        SetProjectFilePath(ProjectPath());
        DirectoryChangeMap copy = files;
        doc.InsertDirectoryAndFileInXML(NodePath::FilesAdded, copy, ToUtf8(ProjectPath()), true);
        doc.InsertProductInfoInXML(NodePath::Product, product);
    }

    UniqueMsiHandle OpenPackage(const std::string& path)
    {
        UniqueMsiHandle database;
        EXPECT_EQ(ERROR_SUCCESS, MsiOpenDatabaseW(FromUtf8(path).c_str(), MSIDBOPEN_READONLY, database.put()));
        return database;
    }

    TempFolder m_temp;
};

TEST_F(BuilderTest, FullProjectGivesTheRowsOfEveryTable)
{
    CapturedLog log(m_temp);
    CLogReference keepLogOpen;
    BuilderScene scene(L"CorvaneBuilderTest" + NewGuidText().substr(1, 8), L"BuilderRows");
    scene.CreatePayload();
    scene.CreateRegistry();
    ASSERT_TRUE(scene.WriteProject(ProjectPath()));

    std::string packagePath;
    MsiBuildCounts counts;
    std::vector<std::wstring> leftOut;
    {
        CMSIHandler builder;
        ASSERT_EQ(1, builder.Initialize(ToUtf8(ProjectPath())));
        EXPECT_EQ(1, builder.BuildMSI());
        packagePath = builder.PackagePath();
        counts = builder.Counts();
        leftOut = builder.LeftOutFiles();
        builder.Uninitialize();
    }
    scene.RemoveRegistry();
    EXPECT_EQ(ToUtf8(m_temp / L"out\\Packages\\CorvaneBT.msi"), packagePath);
    EXPECT_EQ(7u, counts.FilesPacked);
    EXPECT_EQ(3u, counts.FilesLeftOut);
    EXPECT_EQ(11u, counts.RegistryRows); // ten added (one is gone) and one modified
    EXPECT_EQ(1u, counts.RegistryLeftOut);
    EXPECT_EQ(4u, counts.IniRows);
    EXPECT_EQ(2u, counts.ShortcutRows);
    EXPECT_EQ(0u, counts.RejectedRows);
    // The captured names that are not identifiers stay in the keys; the
    // package check counts them, each with its log line.
    EXPECT_LT(0u, counts.RuleFindings);
    EXPECT_TRUE(HasLine(log.Messages(), "CMSIHandler::CheckPackage: File.File \"it's.txt\" is not an identifier."));
    EXPECT_TRUE(HasLine(log.Messages(), "CMSIHandler::BuildMSI: The package check found " +
                                            std::to_string(counts.RuleFindings) +
                                            " row problem(s) that Windows Installer's validation would reject; see "
                                            "the error log."));
    // Files stand in the project file in the reverse of the order they were written.
    const std::wstring japanese = scene.Real(L"\\App\\Data\\\u65e5\u672c.bin");
    EXPECT_EQ((std::vector<std::wstring>{scene.Real(L"\\App\\gone.txt"), scene.Real(L"\\App\\cache.tmp"), japanese}),
              leftOut);
    EXPECT_TRUE(HasLine(log.Messages(), "CMSIHandler::AddFileRows: " + ToUtf8(japanese) +
                                            " cannot be named in the package's code page; left out"));

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

        // File keys are unique without regard to case; sequences follow the cabinet order.
        const auto files = Keyed(Query(db.get(), L"SELECT `File`,`Component_`,`FileName`,`FileSize`,`Attributes`,"
                                                 L"`Sequence` FROM `File` ORDER BY `Sequence`"));
        ASSERT_EQ(7u, files.size());
        EXPECT_EQ((Row{L"APP.EXECOMP", L"app.exe", L"3000", L"16384", L"2"}), At(files, L"app.exe"));
        EXPECT_EQ((Row{L"README.TXTCOMP", L"readme.txt", L"9", L"16384", L"1"}), At(files, L"readme.txt"));
        const std::wstring data = L"donn\u00e9es \u00fc.bin";
        // Beyond ASCII the key (the name in the cabinet) has "_"; the file name stays.
        EXPECT_EQ((Row{L"DONN_ES _.BINCOMP", data, L"70000", L"16384", L"4"}), At(files, L"donn_es _.bin"));
        EXPECT_EQ((Row{L"IT'S.TXTCOMP", L"it's.txt", L"21", L"16384", L"3"}), At(files, L"it's.txt"));
        EXPECT_EQ((Row{L"README.TXT1COMP", L"readme.txt", L"17", L"16384", L"5"}), At(files, L"readme.txt1"));
        EXPECT_EQ((Row{L"README.TXT2COMP", L"README.TXT", L"200000", L"16384", L"6"}), At(files, L"README.TXT2"));
        EXPECT_EQ((Row{L"SETTINGS.DATCOMP", L"settings.dat", L"19", L"16384", L"7"}), At(files, L"settings.dat"));

        const auto components = Keyed(Query(db.get(), L"SELECT `Component`,`Directory_`,`Attributes`,`ComponentId` "
                                                      L"FROM `Component`"));
        EXPECT_EQ(L"APP", At(components, L"APP.EXECOMP")[0]);
        EXPECT_EQ(L"DATA", At(components, L"IT'S.TXTCOMP")[0]);
        EXPECT_EQ(L"SUB", At(components, L"README.TXT2COMP")[0]);
        EXPECT_EQ(L"8", At(components, L"README.TXT2COMP")[1]);
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
        EXPECT_EQ(9u, features.size()); // seven files and the template's two fixed components

        EXPECT_EQ((std::vector<Row>{{L"1", L"7", L"#MSIProject.cab"}}),
                  Query(db.get(), L"SELECT `DiskId`,`LastSequence`,`Cabinet` FROM `Media`"));

        // Registry data read live at build time, in the installer's notation.
        const auto registry = Query(db.get(), L"SELECT `Registry`,`Root`,`Key`,`Name`,`Value`,`Component_` FROM "
                                              L"`Registry`");
        std::map<std::wstring, Row> byName;
        for (const Row& row : registry) {
            if (row[0].starts_with(L"CorvaneKeyPath"))
                continue;
            EXPECT_EQ(L"1", row[1]);
            EXPECT_EQ(L"REGDIFFCOMP", row[5]);
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
        EXPECT_EQ(L"#x0807060504030201", At(byName, L"Big")[2]);
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
                                    {L"INIFile3", L"app.ini", L"APP", L"Main", L"Key", L"v", L"0",
                                     L"INIHANDLECOMP"}}),
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
                                  L"FROM `Shortcut` ORDER BY `Shortcut`"));
        EXPECT_EQ((std::vector<Row>{{L"Icon1"}}), Query(db.get(), L"SELECT `Name` FROM `Icon`"));

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
    EXPECT_NE(std::string::npos, ddf.find("\"" + ToUtf8(scene.Real(L"\\App\\Data\\it's.txt")) + "\" \"it's.txt\"\n"));
    EXPECT_NE(std::string::npos, ddf.find("' 'README.TXT2'\n"));
    EXPECT_EQ(std::string::npos, ddf.find("cache.tmp"));
    scene.RemovePayload();
}

TEST_F(BuilderTest, MissingProjectFileFailsInitialize)
{
    CapturedLog log(m_temp);
    CLogReference keepLogOpen;
    {
        CMSIHandler builder;
        EXPECT_EQ(0, builder.Initialize(ToUtf8(m_temp / L"NoSuchProject.xml")));
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
    CLogReference keepLogOpen;
    WriteMinimalProject({L"Foo", L"1.0", L"Acme"});
    Paths().ProgramFolder = ToUtf8(m_temp.Path());
    {
        CMSIHandler builder;
        EXPECT_EQ(0, builder.Initialize(ToUtf8(ProjectPath())));
        builder.Uninitialize();
    }
    EXPECT_TRUE(HasLine(log.Messages(), "CMSIHandler::Initialize: Unable to Open " + m_temp.Utf8() +
                                            "\\Blank.msi File"));
}

TEST_F(BuilderTest, ProjectWithoutFilesNeedsNoCabinet)
{
    WriteMinimalProject({L"Foo", L"1.0", L"Acme"});
    std::string packagePath;
    {
        CMSIHandler builder;
        builder.SetCabinetMaker(m_temp / L"never-run.exe");
        ASSERT_EQ(1, builder.Initialize(ToUtf8(ProjectPath())));
        EXPECT_EQ(1, builder.BuildMSI());
        packagePath = builder.PackagePath();
        builder.Uninitialize();
    }
    EXPECT_EQ(ToUtf8(m_temp / L"out\\Packages\\Foo.msi"), packagePath);
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
    Paths().MsiFileName = "Bar.msi";
    CMSIHandler builder;
    ASSERT_EQ(1, builder.Initialize(ToUtf8(ProjectPath())));
    EXPECT_EQ(ToUtf8(m_temp / L"out\\Packages\\Bar.msi"), builder.PackagePath());
    EXPECT_EQ(1, builder.BuildMSI());
    builder.Uninitialize();
    EXPECT_TRUE(PathExists(m_temp / L"out\\Packages\\Bar.msi"));
}

TEST_F(BuilderTest, CabinetFailuresFailTheBuildButKeepTheRows)
{
    CapturedLog log(m_temp);
    CLogReference keepLogOpen;
    CreateDirectoryW((m_temp / L"payload").c_str(), nullptr);
    WriteFileBytes(m_temp / L"payload\\one.txt", "one");
    WriteMinimalProject({L"Foo", L"1.0", L"Acme"}, {{m_temp / L"payload", {m_temp / L"payload\\one.txt"}}});

    // No cabinet maker at all.
    {
        CMSIHandler builder;
        builder.SetCabinetMaker(m_temp / L"no-makecab.exe");
        ASSERT_EQ(1, builder.Initialize(ToUtf8(ProjectPath())));
        EXPECT_EQ(0, builder.BuildMSI());
        builder.Uninitialize();
        UniqueMsiHandle db = OpenPackage(builder.PackagePath());
        EXPECT_EQ(1u, Query(db.get(), L"SELECT `File` FROM `File` WHERE `File`='one.txt'").size());
    }
    // The cabinet's place is taken by a folder.
    ASSERT_TRUE(CreateDirectoryW((m_temp / L"out\\Packages\\MSIProject.cab").c_str(), nullptr));
    {
        CMSIHandler builder;
        ASSERT_EQ(1, builder.Initialize(ToUtf8(ProjectPath())));
        EXPECT_EQ(0, builder.BuildMSI());
        builder.Uninitialize();
        UniqueMsiHandle db = OpenPackage(builder.PackagePath());
        EXPECT_EQ(1u, Query(db.get(), L"SELECT `File` FROM `File`").size());
        EXPECT_EQ(0u, Query(db.get(), L"SELECT `Name` FROM `_Streams` WHERE `Name`='MSIProject.cab'").size());
    }
    const auto lines = log.Messages();
    EXPECT_TRUE(HasLine(lines, "CMSIHandler::RunBatchFile: Create Process Fail"));
    EXPECT_TRUE(HasLine(lines, "CMSIHandler::RunBatchFile: Unable to remove the old cabinet " + m_temp.Utf8() +
                                   "\\out\\Packages\\MSIProject.cab"));
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
        ASSERT_EQ(1, builder.Initialize(ToUtf8(ProjectPath())));
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
        ASSERT_EQ(1, builder.Initialize(ToUtf8(ProjectPath())));
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
    std::string packagePath;
    {
        CMSIHandler builder;
        ASSERT_EQ(1, builder.Initialize(ToUtf8(ProjectPath())));
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
    CLogReference keepLogOpen;
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
        ASSERT_EQ(1, builder.Initialize(ToUtf8(ProjectPath())));
        EXPECT_EQ(1, builder.BuildMSI());
        EXPECT_EQ(1u, builder.Counts().FilesPacked);
        EXPECT_EQ((std::vector<std::wstring>{big}), builder.LeftOutFiles());
        builder.Uninitialize();
    }
    EXPECT_TRUE(HasLine(log.Messages(), "CMSIHandler::AddFileRows: " + ToUtf8(big) +
                                            " is 2 GiB or larger and cannot be stored in a cabinet; left out"));
}

TEST(FolderPathsInValues, EveryKnownFolderBecomesItsProperty)
{
    ReadEnvironment();
    const FolderTokenValues& env = TokenValues();
    EXPECT_EQ(L"[ProgramFilesFolder]Vendor\\App\\bin", ReplaceFolderPaths(env.programfiles + L"\\Vendor\\App\\bin"));
    EXPECT_EQ(L"\"[ProgramFilesFolder]A\\a.exe\" /ini [WindowsFolder]a.ini",
              ReplaceFolderPaths(L"\"" + UpperKey(env.programfiles) + L"\\A\\a.exe\" /ini " + env.windir +
                                 L"\\a.ini"));
    EXPECT_EQ(L"[APPDATA]x;[USERPROFILE]y", ReplaceFolderPaths(env.appdata + L"\\x;" + env.userprofile + L"\\y"));
    // The folder itself, without a backslash after it, stays as it is.
    EXPECT_EQ(env.programfiles, ReplaceFolderPaths(env.programfiles));
}

} // namespace

TEST_F(BuilderTest, AStoppedBuildLeavesNoPackageAndOneLogLine)
{
    CapturedLog log(m_temp);
    CLogReference keepLogOpen;
    CreateDirectoryW((m_temp / L"payload").c_str(), nullptr);
    WriteFileBytes(m_temp / L"payload\\one.txt", "one");
    WriteMinimalProject({L"Foo", L"1.0", L"Acme"}, {{m_temp / L"payload", {m_temp / L"payload\\one.txt"}}});
    std::stop_source stop;
    stop.request_stop();
    {
        CMSIHandler builder;
        ASSERT_EQ(1, builder.Initialize(ToUtf8(ProjectPath())));
        {
            CStopScope scope(stop.get_token());
            EXPECT_EQ(0, builder.BuildMSI());
        }
        builder.Uninitialize();
        EXPECT_FALSE(PathExists(FromUtf8(builder.PackagePath()))) << "a cut package would be installed";
        EXPECT_FALSE(PathExists(m_temp / L"out\\Packages\\MSIProject.cab"));
        // Without a stop the same builder makes the whole package.
        ASSERT_EQ(1, builder.Initialize(ToUtf8(ProjectPath())));
        EXPECT_EQ(1, builder.BuildMSI());
        builder.Uninitialize();
        EXPECT_TRUE(PathExists(FromUtf8(builder.PackagePath())));
    }
    // The package check's lines of the second build (the test folder's name
    // is not an identifier) are left aside.
    std::vector<std::string> messages;
    for (const std::string& line : log.Messages())
        if (!line.starts_with("CMSIHandler::CheckPackage: ") &&
            !line.starts_with("CMSIHandler::BuildMSI: The package check found"))
            messages.push_back(line);
    EXPECT_EQ(messages, (std::vector<std::string>{"CMSIHandler::BuildMSI: Stopped before the package was "
                                                        "complete; " +
                                                        m_temp.Utf8() + "\\out\\Packages\\Foo.msi removed"}));
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
        Paths().MsiFileName = "Build" + std::to_string(++m_builds) + ".msi";
        std::string packagePath;
        {
            CMSIHandler builder;
            EXPECT_EQ(1, builder.Initialize(ToUtf8(ProjectPath())));
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
    CLogReference keepLogOpen;
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
    CLogReference keepLogOpen;
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
