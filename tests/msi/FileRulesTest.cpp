// Windows Installer's file rules in the built package: key paths, the File
// table's Version and Language, MsiFileHash rows, and the check of the rows
// against what the installer's validation rejects. This executable carries
// the version resource of tests/common/VersionResource.rc.
#include "common/PathSetup.h"
#include "msi/FileRules.h"
#include "msi/MSIHandler.h"
#include "tests/msi/BuilderScene.h"
#include "tests/project/XmlTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <vector>

namespace {

using Row = std::vector<std::wstring>;

std::vector<Row> Rows(MSIHANDLE database, const std::wstring& sql)
{
    std::vector<Row> rows;
    UniqueMsiHandle view;
    if (MsiDatabaseOpenViewW(database, sql.c_str(), view.put()) != ERROR_SUCCESS ||
        MsiViewExecute(view.get(), 0) != ERROR_SUCCESS) {
        ADD_FAILURE() << "cannot run " << ToUtf8(sql);
        return rows;
    }
    for (UniqueMsiHandle record; MsiViewFetch(view.get(), record.put()) == ERROR_SUCCESS;) {
        Row row;
        for (UINT i = 1; i <= MsiRecordGetFieldCount(record.get()); ++i) {
            wchar_t text[1024] = {};
            DWORD size = 1024;
            MsiRecordGetStringW(record.get(), i, text, &size);
            row.emplace_back(text);
        }
        rows.push_back(std::move(row));
    }
    MsiViewClose(view.get());
    return rows;
}

void Execute(MSIHANDLE database, const std::wstring& sql)
{
    UniqueMsiHandle view;
    ASSERT_EQ(ERROR_SUCCESS, MsiDatabaseOpenViewW(database, sql.c_str(), view.put())) << ToUtf8(sql);
    ASSERT_EQ(ERROR_SUCCESS, MsiViewExecute(view.get(), 0)) << ToUtf8(sql);
    MsiViewClose(view.get());
}

std::wstring OwnPath()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

// Wine's ORDER BY on text follows the string pool, not the alphabet.
template <typename T> std::vector<T> Sorted(std::vector<T> lines)
{
    std::sort(lines.begin(), lines.end());
    return lines;
}

class FileRulesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_paths = BuilderPaths(m_temp.Path());
        m_tokens = MachineTokens();
    }
    void TearDown() override { EXPECT_EQ(0u, MsiCloseAllHandles()); }
    TempFolder m_temp;
    WorkPaths m_paths;
    FolderTokenValues m_tokens;
};

} // namespace

// The Registry table's Value of each registry type: the types Windows
// Installer can write get their prefix, the others are refused.
TEST(RegistryValueFields, EachTypeItsNotationOrRefused)
{
    const auto bytes = [](const std::wstring& text) {
        return std::vector<BYTE>(reinterpret_cast<const BYTE*>(text.data()),
                                 reinterpret_cast<const BYTE*>(text.data() + text.size()));
    };
    const struct
    {
        const char* what;
        DWORD type;
        std::vector<BYTE> data;
        bool written;
        const wchar_t* value;
        std::size_t dropped;
    } cases[] = {
        {"string", REG_SZ, bytes(std::wstring(L"a[b]\0", 5)), true, L"a[\\[]b[\\]]", 0},
        {"string without terminator", REG_SZ, bytes(L"ab"), true, L"ab", 0},
        {"leading #", REG_SZ, bytes(std::wstring(L"#1\0", 3)), true, L"##1", 0},
        {"expandable", REG_EXPAND_SZ, bytes(std::wstring(L"%x%\0", 4)), true, L"#%%x%", 0},
        {"multi-string", REG_MULTI_SZ, bytes(std::wstring(L"a\0b\0c\0\0", 7)), true, L"a[~]b[~]c", 0},
        {"multi-string with empty strings", REG_MULTI_SZ, bytes(std::wstring(L"a\0\0b\0\0\0c\0\0", 11)), true,
         L"a[~]b[~]c", 3},
        {"multi-string of one", REG_MULTI_SZ, bytes(std::wstring(L"a\0\0", 3)), true, L"[~]a[~]", 0},
        {"multi-string without terminators", REG_MULTI_SZ, bytes(std::wstring(L"a\0b", 3)), true, L"a[~]b", 0},
        {"empty multi-string", REG_MULTI_SZ, bytes(std::wstring(L"\0", 1)), true, L"[~]", 0},
        {"binary", REG_BINARY, {0x0a, 0xb0}, true, L"#x0ab0", 0},
        {"empty binary", REG_BINARY, {}, true, L"#x", 0},
        {"dword", REG_DWORD, {0xff, 0xff, 0xff, 0xff}, true, L"#-1", 0},
        {"short dword", REG_DWORD, {1, 0}, false, L"", 0},
        {"qword", REG_QWORD, {1, 0, 0, 0, 1, 0, 0, 0}, false, L"", 0},
        {"none", REG_NONE, {0xab}, false, L"", 0},
        {"big-endian dword", REG_DWORD_BIG_ENDIAN, {0, 0, 0, 1}, false, L"", 0},
        {"resource list", REG_RESOURCE_LIST, {1}, false, L"", 0},
        {"link", REG_LINK, bytes(L"\\x"), false, L"", 0},
    };
    for (const auto& c : cases) {
        std::wstring value = L"stale";
        std::size_t dropped = 99;
        EXPECT_EQ(RegistryValueField(c.type, c.data.data(), c.data.size(), value, dropped), c.written) << c.what;
        if (c.written) {
            EXPECT_EQ(value, c.value) << c.what;
        }
        EXPECT_EQ(dropped, c.dropped) << c.what;
    }
}

// Project files name a value's type; older ones named every string and hex
// type REG_SZ and a big-endian number REG_DWORD.
TEST(RegistryValueFields, RecordedTypeNamesCoverTheirLiveTypes)
{
    const struct
    {
        const wchar_t* recorded;
        DWORD actual;
        bool covers;
    } cases[] = {
        {L"REG_SZ", REG_SZ, true},           {L"REG_SZ", REG_EXPAND_SZ, true},
        {L"REG_SZ", REG_MULTI_SZ, true},     {L"REG_SZ", REG_NONE, true},
        {L"REG_SZ", REG_BINARY, false},      {L"REG_SZ", REG_DWORD, false},
        {L"REG_SZ", REG_QWORD, false},       {L"REG_EXPAND_SZ", REG_EXPAND_SZ, true},
        {L"REG_EXPAND_SZ", REG_SZ, false},   {L"REG_MULTI_SZ", REG_MULTI_SZ, true},
        {L"REG_MULTI_SZ", REG_SZ, false},    {L"REG_DWORD", REG_DWORD, true},
        {L"REG_DWORD", REG_DWORD_BIG_ENDIAN, true}, {L"REG_DWORD", REG_BINARY, false},
        {L"REG_QWORD", REG_QWORD, true},     {L"REG_NONE", REG_NONE, true},
        {L"REG_BINARY", REG_BINARY, true},   {L"REG_BINARY", REG_NONE, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RecordedTypeCovers(c.recorded, c.actual), c.covers)
            << ToUtf8(c.recorded) << " for type " << c.actual;
}

TEST(FileVersionColumns, FromTheVersionResourceOrEmpty)
{
    TempFolder temp;
    std::wstring version = L"x", language = L"x";
    // Two translations of one resource: both languages, in the table's order.
    EXPECT_TRUE(ReadFileVersionColumns(OwnPath(), version, language));
    EXPECT_EQ(L"2.5.0.7", version);
    EXPECT_EQ(L"1031,1033", language);

    WriteFileBytes(temp / L"notes.txt", "no version here\r\n");
    version = L"x";
    language = L"x";
    EXPECT_FALSE(ReadFileVersionColumns(temp / L"notes.txt", version, language));
    EXPECT_EQ(L"", version);
    EXPECT_EQ(L"", language);
    EXPECT_FALSE(ReadFileVersionColumns(temp / L"missing.dll", version, language));
}

TEST(InstallerIdentifiers, LetterOrUnderscoreThenLettersDigitsUnderscoresPeriods)
{
    const std::pair<const wchar_t*, bool> cases[] = {
        {L"a", true},           {L"_x", true},     {L"README.TXT2COMP", true}, {L"A_b.9", true},
        {L"", false},           {L"9a", false},    {L".a", false},             {L"CORVANE UPGRADE", false},
        {L"it's.txt", false},   {L"DONN\u00c9ES", false}, {L"{GUID}", false},  {L"a-b", false},
    };
    for (const auto& [text, valid] : cases)
        EXPECT_EQ(valid, IsInstallerIdentifier(text)) << ToUtf8(text);
}

// A package whose names are all identifiers: each file is its component's key
// path, a versioned file has its version and languages, every other file a
// hash equal to msi.dll's, and the package check finds nothing.
TEST_F(FileRulesTest, KeyPathsVersionsAndHashesOfABuiltPackage)
{
    CapturedLog log(m_temp);
    const std::wstring root = m_tokens.programfiles + L"\\CorvaneRules" + NewGuidText().substr(1, 8);
    CreateDirectoryW(root.c_str(), nullptr);
    ASSERT_TRUE(CopyFileW(OwnPath().c_str(), (root + L"\\tool.exe").c_str(), FALSE));
    WriteFileBytes(root + L"\\notes.txt", "same size A\r\n");
    WriteFileBytes(root + L"\\other.txt", "same size B\r\n");
    WriteFileBytes(root + L"\\empty.txt", "");

    XmlDocument doc;
    ASSERT_TRUE(doc.Load(ExecutableFolder() + L"\\..\\bin\\RawProjectFile.xml"));
    const std::wstring project = m_temp / L"Project.xml";
    DirectoryChangeMap files{{root,
                              {root + L"\\tool.exe", root + L"\\notes.txt", root + L"\\other.txt",
                               root + L"\\empty.txt"}}};
    EXPECT_TRUE(WriteFileList(doc, ChangeOrigin::Added, files, m_tokens, project, FileListMode::KeepAll));
    EXPECT_TRUE(WriteProductInfo(doc, {L"Rules", L"1.0", L"Acme"}, project));

    std::wstring packagePath;
    MsiBuildCounts counts;
    std::vector<std::wstring> notes;
    {
        CMSIHandler builder;
        ASSERT_EQ(1, builder.Initialize(BuilderRequest(m_paths, m_tokens, project)));
        EXPECT_EQ(1, builder.BuildMSI());
        packagePath = builder.PackagePath();
        counts = builder.Counts();
        notes = builder.BuildNotes();
        builder.Uninitialize();
    }
    EXPECT_EQ(0u, counts.RejectedRows);
    EXPECT_EQ(0u, counts.RuleFindings);
    EXPECT_TRUE(notes.empty());

    UniqueMsiHandle db;
    ASSERT_EQ(ERROR_SUCCESS, MsiOpenDatabaseW(packagePath.c_str(), MSIDBOPEN_READONLY, db.put()));
    EXPECT_EQ((std::vector<Row>{{L"empty.txt", L"EMPTY.TXTCOMP", L"", L""},
                                {L"notes.txt", L"NOTES.TXTCOMP", L"", L""},
                                {L"other.txt", L"OTHER.TXTCOMP", L"", L""},
                                {L"tool.exe", L"TOOL.EXECOMP", L"2.5.0.7", L"1031,1033"}}),
              Sorted(Rows(db.get(), L"SELECT `File`,`Component_`,`Version`,`Language` FROM `File`")));

    const auto keyPaths = Sorted(Rows(db.get(), L"SELECT `Component`,`Attributes`,`KeyPath` FROM `Component`"));
    EXPECT_EQ((std::vector<Row>{{L"EMPTY.TXTCOMP", L"8", L"empty.txt"},
                                {L"INIHANDLECOMP", L"4", L"CorvaneKeyPathINIHANDLECOMP"},
                                {L"NOTES.TXTCOMP", L"8", L"notes.txt"},
                                {L"OTHER.TXTCOMP", L"8", L"other.txt"},
                                {L"REGDIFFCOMP", L"12", L"CorvaneKeyPathREGDIFFCOMP"},
                                {L"TOOL.EXECOMP", L"8", L"tool.exe"}}),
              keyPaths);
    // Values of their own below the product's key, one per component.
    EXPECT_EQ((std::vector<Row>{{L"CorvaneKeyPathINIHANDLECOMP", L"-1", L"Software\\[Manufacturer]\\[ProductName]",
                                 L"IniFiles", L"[ProductVersion]", L"INIHANDLECOMP"},
                                {L"CorvaneKeyPathREGDIFFCOMP", L"-1", L"Software\\[Manufacturer]\\[ProductName]",
                                 L"Registry", L"[ProductVersion]", L"REGDIFFCOMP"}}),
              Sorted(Rows(db.get(), L"SELECT * FROM `Registry`")));

    // The unversioned files have msi.dll's hash; the two of the same size differ.
    std::map<std::wstring, Row> hashes;
    for (const Row& row : Rows(db.get(), L"SELECT * FROM `MsiFileHash`"))
        hashes[row[0]] = Row(row.begin() + 1, row.end());
    ASSERT_EQ(3u, hashes.size());
    EXPECT_EQ(0u, hashes.count(L"tool.exe"));
    for (const wchar_t* name : {L"empty.txt", L"notes.txt", L"other.txt"}) {
        MSIFILEHASHINFO hash{sizeof(MSIFILEHASHINFO), {}};
        ASSERT_EQ(ERROR_SUCCESS, MsiGetFileHashW((root + L"\\" + name).c_str(), 0, &hash));
        Row expected{L"0"};
        for (ULONG part : hash.dwData)
            expected.push_back(std::to_wstring(static_cast<int>(part)));
        EXPECT_EQ(expected, hashes[name]) << ToUtf8(name);
    }
    EXPECT_NE(hashes[L"notes.txt"], hashes[L"other.txt"]);
    EXPECT_TRUE(CheckPackageRules(db.get()).empty());
    db.reset();
    RemoveFolderTree(root);
}

// The template is clean; a database made to have each defect kind gives one
// finding per defect.
TEST_F(FileRulesTest, ThePackageCheckFindsEachDefectKind)
{
    const std::wstring path = m_temp / L"defects.msi";
    ASSERT_TRUE(CopyFileW((ExecutableFolder() + L"\\..\\bin\\Blank.msi").c_str(), path.c_str(), FALSE));
    UniqueMsiHandle db;
    ASSERT_EQ(ERROR_SUCCESS, MsiOpenDatabaseW(path.c_str(), MSIDBOPEN_TRANSACT, db.put()));
    EXPECT_EQ(std::vector<std::wstring>{}, CheckPackageRules(db.get()));

    const wchar_t* statements[] = {
        L"INSERT INTO `Directory` (`Directory`,`Directory_Parent`,`DefaultDir`) VALUES ('APP','ProgramFilesFolder','App')",
        L"INSERT INTO `Directory` (`Directory`,`Directory_Parent`,`DefaultDir`) VALUES ('ORPHAN','NOWHERE','Orphan')",
        L"INSERT INTO `Component` (`Component`,`ComponentId`,`Directory_`,`Attributes`,`KeyPath`) VALUES "
        L"('GOOD','{11111111-2222-3333-4444-555555555555}','APP',8,'good.txt')",
        L"INSERT INTO `Component` (`Component`,`ComponentId`,`Directory_`,`Attributes`) VALUES "
        L"('NOKEY','{21111111-2222-3333-4444-555555555555}','APP',8)",
        L"INSERT INTO `Component` (`Component`,`ComponentId`,`Directory_`,`Attributes`,`KeyPath`) VALUES "
        L"('TWIN','{11111111-2222-3333-4444-555555555555}','APP',8,'twin.txt')",
        L"INSERT INTO `Component` (`Component`,`ComponentId`,`Directory_`,`Attributes`,`KeyPath`) VALUES "
        L"('THIEF','{31111111-2222-3333-4444-555555555555}','APP',8,'good.txt')",
        L"INSERT INTO `Component` (`Component`,`ComponentId`,`Directory_`,`Attributes`,`KeyPath`) VALUES "
        L"('REG','{41111111-2222-3333-4444-555555555555}','APP',4,'NoValue')",
        L"INSERT INTO `Component` (`Component`,`ComponentId`,`Directory_`,`Attributes`,`KeyPath`) VALUES "
        L"('bad name','{51111111-2222-3333-4444-555555555555}','APP',8,'bad.txt')",
        L"INSERT INTO `File` (`File`,`Component_`,`FileName`,`FileSize`,`Sequence`) VALUES "
        L"('good.txt','GOOD','good.txt',1,1)",
        L"INSERT INTO `File` (`File`,`Component_`,`FileName`,`FileSize`,`Sequence`) VALUES "
        L"('twin.txt','TWIN','twin.txt',1,2)",
        L"INSERT INTO `File` (`File`,`Component_`,`FileName`,`FileSize`,`Sequence`) VALUES "
        L"('bad.txt','bad name','bad.txt',1,3)",
    };
    for (const wchar_t* sql : statements)
        Execute(db.get(), sql);

    EXPECT_EQ(Sorted<std::wstring>({
                  L"Component.Component \"bad name\" is not an identifier.",
                  L"File.Component_ \"bad name\" is not an identifier.",
                  L"Component NOKEY has no key path.",
                  L"Components GOOD and TWIN have the same ComponentId {11111111-2222-3333-4444-555555555555}.",
                  L"The key path good.txt of component THIEF is a File row of component GOOD.",
                  L"The key path NoValue of component REG has no Registry row.",
                  L"The parent NOWHERE of directory ORPHAN has no row.",
              }),
              Sorted(CheckPackageRules(db.get())));
}
