#include "common/Paths.h"
#include "common/Progress.h"
#include "common/UniqueHandle.h"
#include "common/Utf.h"
#include "engine/RegLineReader.h"
#include "engine/RegistryEnumerate.h"
#include "project/ProjectReaders.h"
#include "tests/support/RegistryTestHelpers.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <ostream>
#include <utility>
#include <vector>

void PrintTo(const RegistryChangeEntry& e, std::ostream* os)
{
    *os << "{" << ToUtf8(e.KeyLine) << " | " << ToUtf8(e.ValueName) << " | " << ToUtf8(e.TypeName) << " | "
        << ToUtf8(e.Data) << "}";
}

namespace {

const std::wstring DifferenceHeader = L"Windows Registry Editor Version 5.00\r\n";

// A working root, a program folder (the current directory) whose
// configuration sends error lines to a log file, and the registry side set up
// on them.
class RegistryCapture : public ::testing::Test
{
protected:
    RegistryCapture()
    {
        const std::wstring ini = L"[LogFileDetails]\r\nLogLevel=2\r\nErrorLogFileName=Error.log\r\n";
        std::string bytes = "\xff\xfe";
        bytes.append(reinterpret_cast<const char*>(ini.data()), ini.size() * sizeof(wchar_t));
        WriteFileBytes(m_root / L"CorvaneRepackager.ini", bytes);
        m_log.emplace(m_root.Path());

        WriteFileBytes(m_root / L"RawProjectFile.xml", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
                                                        "<CorvaneProject><RegistrySystem>"
                                                        "<AddedItems><SubKeyList/></AddedItems>"
                                                        "<ModifiedItems><SubKeyList/></ModifiedItems>"
                                                        "<DeletedItems><SubKeyList/></DeletedItems>"
                                                        "</RegistrySystem></CorvaneProject>\r\n");
        WorkPaths& paths = m_paths;
        paths.WorkingRoot = m_root / L"work";
        paths.RawProjectFilePath = m_root / L"RawProjectFile.xml";
        paths.RegChangesPath = paths.WorkingRoot + L"\\Temp\\RegChanges.xml";
        EnsureFolder(paths.WorkingRoot);
        m_registry.emplace(m_progress, m_changes, m_paths);
        EXPECT_TRUE(m_registry->Initialize());
    }
    ~RegistryCapture() override
    {
        m_registry.reset();
    }

    std::wstring LogFile() const { return m_root / L"Error.log"; }
    std::string LogText() const { return PathExists(LogFile()) ? ReadFileBytes(LogFile()) : std::string(); }
    std::wstring WorkingFile(const std::wstring& relative) const { return m_root / (L"work\\" + relative); }
    std::wstring Difference0() const { return WorkingFile(L"Temp\\Difference0.reg"); }

    // First capture, the changes, second capture, comparison.
    template <typename Change>
    void CaptureAround(const std::vector<std::wstring>& roots, Change change)
    {
        EXPECT_EQ(m_registry->IsFirstSnapshotTaken(), 0);
        ASSERT_TRUE(m_registry->CaptureSnapshot(roots));
        change();
        EXPECT_EQ(m_registry->IsFirstSnapshotTaken(), 1);
        ASSERT_TRUE(m_registry->CaptureSnapshot(roots));
        ASSERT_TRUE(m_registry->CompareSnapshot());
        ASSERT_TRUE(m_registry->WriteChangeDocument());
    }

    TempFolder m_root;
    ScopedCurrentDirectory m_cd{m_root.Path()};
    std::optional<ScopedFileLog> m_log;
    WorkPaths m_paths;
    CProgressState m_progress;
    ChangeSet m_changes; // what the comparison fills
    std::optional<CRegistryEnumerate> m_registry;
};

RegistryChangeEntry Value(const std::wstring& keyLine, const std::wstring& name, const wchar_t* type,
                          const std::wstring& data)
{
    return RegistryChangeEntry{keyLine, name, type, data};
}

// Keys and values whose order trips a merge that sorts differently from the
// export: a default value beside names sorting below "@" and the quote, sibling
// keys with blanks, digits and dashes beside a key with subkeys, names that
// differ from their neighbours only in case, and names needing escapes.
void FillTrickyTree(HKEY root)
{
    UniqueHKey mixed = CreateKey(root, L"Mixed");
    SetString(mixed.get(), L"", L"d");
    SetString(mixed.get(), L"!x", L"1");
    SetString(mixed.get(), L" lead", L"1");
    SetString(mixed.get(), L"A", L"2");
    SetString(mixed.get(), L"b", L"3");
    SetString(mixed.get(), L"Z", L"4");
    SetString(mixed.get(), L"[", L"5");
    SetDword(CreateKey(root, L"Order\\K\\Sub").get(), L"v", 1);
    CreateKey(root, L"Order\\K 2");
    CreateKey(root, L"Order\\K-x");
    CreateKey(root, L"Order\\k0");
    CreateKey(root, L"Order\\K1\\Deeper");
    CreateKey(root, L"Order\\abc");
    CreateKey(root, L"Order\\ABD");
    UniqueHKey weird = CreateKey(root, L"Weird");
    SetString(weird.get(), L"we\"ird\\na=me", L"keep \"q\" \\ x");
    SetString(weird.get(), L"Text", L"say");
    SetString(weird.get(), L"Multi", L"line one\r\nline two");
}

} // namespace

TEST_F(RegistryCapture, ReportsAddedModifiedAndDeletedKeysAndValues)
{
    TestRegistryKey test(L"Compare");
    const HKEY root = test.Key();
    SetDword(CreateKey(root, L"CaseKey").get(), L"v", 1);
    SetString(CreateKey(root, L"Gone").get(), L"x", L"y");
    SetDword(CreateKey(root, L"Gone\\Child").get(), L"c", 3);
    CreateKey(root, L"Gone\\Child\\Deep");
    {
        UniqueHKey keep = CreateKey(root, L"Keep");
        SetDword(keep.get(), L"Old", 5);
        SetString(keep.get(), L"Stay", L"s");
    }
    SetDword(CreateKey(root, L"Run").get(), L"r", 1);
    CreateKey(root, L"Run\\Sub");
    SetDword(CreateKey(root, L"RunOnce").get(), L"v", 1);
    FillTrickyTree(root);

    const std::wstring path = L"HKEY_CURRENT_USER\\" + test.SubPath();
    CaptureAround({path}, [&] {
        // Same key and value, other letter case: no change.
        ASSERT_EQ(RegDeleteTreeW(root, L"CaseKey"), ERROR_SUCCESS);
        SetDword(CreateKey(root, L"CASEKEY").get(), L"v", 1);
        ASSERT_EQ(RegDeleteTreeW(root, L"Gone"), ERROR_SUCCESS);
        ASSERT_EQ(RegDeleteValueW(CreateKey(root, L"Keep").get(), L"Old"), ERROR_SUCCESS);
        UniqueHKey added = CreateKey(root, L"New");
        SetDword(added.get(), L"One", 1);
        SetString(added.get(), L"Two", L"2");
        ASSERT_EQ(RegDeleteTreeW(root, L"Run"), ERROR_SUCCESS);
        SetDword(CreateKey(root, L"RunOnce").get(), L"v", 2);
        UniqueHKey weird = CreateKey(root, L"Weird");
        SetString(weird.get(), L"Text", L"say \"hi\" \\ bye");
        SetString(weird.get(), L"Lines", L"l1\r\nl2");
        SetDword(weird.get(), L"a\"b=c\\", 7);
    });

    const std::wstring newKey = L"[" + path + L"\\New]";
    const std::wstring weirdKey = L"[" + path + L"\\Weird]";
    const std::wstring linesHex = L"hex(1):6c,00,31,00,0d,00,0a,00,6c,00,32,00,00,00";
    EXPECT_EQ(m_registry->Changes().Registry(ChangeOrigin::Added),
              (RegistryChangeMap{
                  {path + L"\\New",
                   {Value(newKey, L"\"One\"", L"REG_DWORD", L"1"), Value(newKey, L"\"Two\"", L"REG_SZ", L"\"2\"")}},
                  {path + L"\\Weird",
                   {Value(weirdKey, L"\"a\"b=c\\\"", L"REG_DWORD", L"7"),
                    Value(weirdKey, L"\"Lines\"", L"REG_SZ", linesHex)}},
              }));
    const std::wstring runOnceKey = L"[" + path + L"\\RunOnce]";
    EXPECT_EQ(m_registry->Changes().Registry(ChangeOrigin::Modified),
              (RegistryChangeMap{
                  {path + L"\\RunOnce", {Value(runOnceKey, L"\"v\"", L"REG_DWORD", L"2")}},
                  {path + L"\\Weird", {Value(weirdKey, L"\"Text\"", L"REG_SZ", L"\"say \"hi\" \\ bye\"")}},
              }));
    const std::wstring keepKey = L"[" + path + L"\\Keep]";
    EXPECT_EQ(m_registry->Changes().Registry(ChangeOrigin::Deleted), (RegistryChangeMap{
                                                {path + L"\\Gone", {}},
                                                {path + L"\\Keep", {Value(keepKey, L"\"Old\"", L"REG_DWORD", L"5")}},
                                                {path + L"\\Run", {}},
                                            }));

    EXPECT_EQ(ReadRegFile(Difference0()), DifferenceHeader + L"\r\n[-" + path + L"\\Gone]\r\n" + L"\r\n" + keepKey +
                                              L"\r\n\"Old\"=-\r\n" + L"\r\n" + newKey +
                                              L"\r\n\"One\"=dword:00000001\r\n\"Two\"=\"2\"\r\n" + L"\r\n[-" + path +
                                              L"\\Run]\r\n" + L"\r\n" + runOnceKey + L"\r\n\"v\"=dword:00000002\r\n" +
                                              L"\r\n" + weirdKey + L"\r\n\"a\\\"b=c\\\\\"=dword:00000007\r\n\"Lines\"=" +
                                              linesHex + L"\r\n\"Text\"=\"say \\\"hi\\\" \\\\ bye\"\r\n");
    EXPECT_EQ(m_registry->SnapshotFileCount(), 1);
    EXPECT_EQ(LogText(), "");
}

TEST_F(RegistryCapture, UnchangedTreeGivesNoChangesWhateverItsNamesAndOrder)
{
    TestRegistryKey test(L"Unchanged");
    FillTrickyTree(test.Key());
    SetDword(CreateKey(test.Key(), L"CaseOnly").get(), L"v", 1);
    CaptureAround({L"HKCU\\" + test.SubPath(), L"HKEY_CURRENT_USER\\" + test.SubPath() + L"\\Order"}, [&] {
        ASSERT_EQ(RegDeleteTreeW(test.Key(), L"CaseOnly"), ERROR_SUCCESS);
        SetDword(CreateKey(test.Key(), L"caseONLY").get(), L"v", 1);
    });

    EXPECT_EQ(m_registry->Changes().Registry(ChangeOrigin::Added), RegistryChangeMap{});
    EXPECT_EQ(m_registry->Changes().Registry(ChangeOrigin::Modified), RegistryChangeMap{});
    EXPECT_EQ(m_registry->Changes().Registry(ChangeOrigin::Deleted), RegistryChangeMap{});
    EXPECT_EQ(ReadRegFile(Difference0()), DifferenceHeader);
    EXPECT_EQ(ReadRegFile(WorkingFile(L"Temp\\Difference1.reg")), DifferenceHeader);
    EXPECT_EQ(m_registry->SnapshotFileCount(), 2);
    // The second capture opened the 14 keys of the first root and the 10 of the second.
    EXPECT_EQ(m_registry->KeysOpened(), 24);
    EXPECT_EQ(m_progress.DetailText(), L"Registries Scanned: 24");
    EXPECT_EQ(m_progress.StatusText(), L"Comparing Registry System Snapshot");
}

TEST_F(RegistryCapture, DeletedDefaultValueAndChangedValueNameCase)
{
    TestRegistryKey test(L"DefaultValue");
    {
        UniqueHKey key = CreateKey(test.Key(), L"K");
        SetString(key.get(), L"", L"d");
        SetString(key.get(), L"!a", L"1");
        SetString(key.get(), L"Name", L"old");
    }
    const std::wstring path = L"HKEY_CURRENT_USER\\" + test.SubPath();
    CaptureAround({path}, [&] {
        UniqueHKey key = CreateKey(test.Key(), L"K");
        ASSERT_EQ(RegDeleteValueW(key.get(), L""), ERROR_SUCCESS);
        ASSERT_EQ(RegDeleteValueW(key.get(), L"Name"), ERROR_SUCCESS);
        SetString(key.get(), L"NAME", L"new");
    });
    const std::wstring keyLine = L"[" + path + L"\\K]";
    EXPECT_EQ(m_registry->Changes().Registry(ChangeOrigin::Added), RegistryChangeMap{});
    EXPECT_EQ(m_registry->Changes().Registry(ChangeOrigin::Deleted),
              (RegistryChangeMap{{path + L"\\K", {Value(keyLine, L"@", L"REG_SZ", L"\"d\"")}}}));
    EXPECT_EQ(m_registry->Changes().Registry(ChangeOrigin::Modified),
              (RegistryChangeMap{{path + L"\\K", {Value(keyLine, L"\"NAME\"", L"REG_SZ", L"\"new\"")}}}));
    EXPECT_EQ(ReadRegFile(Difference0()), DifferenceHeader + L"\r\n" + keyLine + L"\r\n@=-\r\n\"NAME\"=\"new\"\r\n");
}

// The change document as the project file reader sees it: key path to the
// (name, type) pairs of its values.
RegistryChangeMap ReadChangeDocument(const WorkPaths& paths, const wchar_t* listPath)
{
    XmlDocument document;
    EXPECT_TRUE(document.Load(paths.RegChangesPath));
    const std::optional<ChangeList> list = ChangeListOf(listPath);
    EXPECT_TRUE(list && list->Area == ChangeArea::Registry);
    ProjectModel model;
    ReadRegistryList(document, list->Origin, model);
    return model.Changes.Registry(list->Origin);
}

TEST_F(RegistryCapture, WritesTheChangeDocumentAndRewritesItFromEditedMaps)
{
    TestRegistryKey test(L"Document");
    SetDword(CreateKey(test.Key(), L"Keep").get(), L"Count", 1);
    SetString(CreateKey(test.Key(), L"Keep").get(), L"Old", L"o");
    CreateKey(test.Key(), L"Gone\\Child");
    const std::wstring path = L"HKEY_CURRENT_USER\\" + test.SubPath();
    CaptureAround({path}, [&] {
        UniqueHKey added = CreateKey(test.Key(), L"New");
        SetDword(added.get(), L"One", 1);
        SetString(added.get(), L"Two", L"2");
        UniqueHKey keep = CreateKey(test.Key(), L"Keep");
        SetDword(keep.get(), L"Count", 2);
        ASSERT_EQ(RegDeleteValueW(keep.get(), L"Old"), ERROR_SUCCESS);
        ASSERT_EQ(RegDeleteTreeW(test.Key(), L"Gone"), ERROR_SUCCESS);
    });

    const std::wstring newKey = path + L"\\New";
    const std::wstring keepKey = path + L"\\Keep";
    // Every element goes in as its list's first child: values come back last first.
    EXPECT_EQ(ReadChangeDocument(m_paths, NodePath::RegistryAdded),
              (RegistryChangeMap{{newKey, {Value(newKey, L"\"Two\"", L"REG_SZ", L""),
                                           Value(newKey, L"\"One\"", L"REG_DWORD", L"")}}}));
    EXPECT_EQ(ReadChangeDocument(m_paths, NodePath::RegistryModified),
              (RegistryChangeMap{{keepKey, {Value(keepKey, L"\"Count\"", L"REG_DWORD", L"")}}}));
    // A key reported alone (Gone) has no values and so no element.
    EXPECT_EQ(ReadChangeDocument(m_paths, NodePath::RegistryDeleted),
              (RegistryChangeMap{{keepKey, {Value(keepKey, L"\"Old\"", L"REG_SZ", L"")}}}));

    // The review page moves the modified value out and the document is rewritten
    // from a fresh raw project file: nothing is doubled.
    m_changes.Registry(ChangeOrigin::Modified).clear();
    EXPECT_TRUE(m_registry->WriteRegistryChanges());
    EXPECT_EQ(ReadChangeDocument(m_paths, NodePath::RegistryModified), RegistryChangeMap{});
    EXPECT_EQ(ReadChangeDocument(m_paths, NodePath::RegistryAdded).at(newKey).size(), 2u);
    EXPECT_EQ(ReadChangeDocument(m_paths, NodePath::RegistryDeleted).size(), 1u);

    // Without a raw project file nothing can be written.
    ASSERT_TRUE(DeleteFileW(m_paths.RawProjectFilePath.c_str()));
    EXPECT_FALSE(m_registry->WriteRegistryChanges());
    EXPECT_EQ(ReadChangeDocument(m_paths, NodePath::RegistryAdded).at(newKey).size(), 2u);
}

TEST_F(RegistryCapture, EmptyRootListLeavesAnEmptyFirstSnapshotFile)
{
    EXPECT_EQ(m_registry->IsFirstSnapshotTaken(), 0);
    EXPECT_TRUE(m_registry->CaptureSnapshot({}));
    const std::wstring first = WorkingFile(L"SnapShot\\RegSystemDir\\FirstSnapShot\\RegSnapShot0.reg");
    ASSERT_TRUE(PathExists(first));
    EXPECT_EQ(ReadFileBytes(first), "");

    CRegistryEnumerate restarted(m_paths);
    ASSERT_TRUE(restarted.Initialize());
    EXPECT_EQ(restarted.IsFirstSnapshotTaken(), 1);
    EXPECT_TRUE(IsFolder(WorkingFile(L"SnapShot\\RegSystemDir\\SecondSnapShot")));
    EXPECT_EQ(restarted.SnapshotFileCount(), 0);
}

TEST_F(RegistryCapture, RootListIsLimitedToOneHundred)
{
    TestRegistryKey test(L"Limit");
    std::vector<std::wstring> roots(100, L"HKCU\\" + test.SubPath());
    EXPECT_TRUE(m_registry->CaptureSnapshot(roots));
    EXPECT_TRUE(PathExists(WorkingFile(L"SnapShot\\RegSystemDir\\FirstSnapShot\\RegSnapShot99.reg")));
    EXPECT_EQ(m_registry->SnapshotFileCount(), 100);

    roots.push_back(roots.front());
    EXPECT_FALSE(m_registry->CaptureSnapshot(roots));
    EXPECT_FALSE(PathExists(WorkingFile(L"SnapShot\\RegSystemDir\\SecondSnapShot\\RegSnapShot0.reg")));
    EXPECT_EQ(m_registry->SnapshotFileCount(), 100);
    m_registry.reset();
    EXPECT_NE(LogText().find(" CRegistryEnumerate::CaptureSnapshot Unable to capture 101 registry roots: at most "
                             "100 can be captured\r\n"),
              std::string::npos)
        << LogText();
}

TEST_F(RegistryCapture, MissingSnapshotFileFailsTheComparisonWithItsName)
{
    TestRegistryKey test(L"MoreRoots");
    const std::wstring root = L"HKCU\\" + test.SubPath();
    ASSERT_TRUE(m_registry->CaptureSnapshot({root}));
    ASSERT_TRUE(m_registry->CaptureSnapshot({root, root}));
    EXPECT_FALSE(m_registry->CompareSnapshot());
    m_registry.reset();
    const std::string missing = ToUtf8(WorkingFile(L"SnapShot\\RegSystemDir\\FirstSnapShot\\RegSnapShot1.reg"));
    EXPECT_NE(LogText().find(" CRegistryEnumerate::CompareSnapshotFiles Unable to open snapshot file " + missing +
                             " (error 2: " + ToUtf8(Result::SystemText(ERROR_FILE_NOT_FOUND)) + ")\r\n"),
              std::string::npos)
        << LogText();
}

TEST_F(RegistryCapture, UnwritableDifferenceFileFailsTheComparison)
{
    TestRegistryKey test(L"NoTemp");
    const std::wstring root = L"HKCU\\" + test.SubPath();
    ASSERT_TRUE(m_registry->CaptureSnapshot({root}));
    ASSERT_TRUE(m_registry->CaptureSnapshot({root}));
    // A file where the Temp folder should be.
    WriteFileBytes(WorkingFile(L"Temp"), "x");
    EXPECT_FALSE(m_registry->CompareSnapshot());
    m_registry.reset();
    EXPECT_NE(LogText().find(" CRegistryEnumerate::CompareSnapshotFiles Unable to create difference file " +
                             ToUtf8(Difference0())),
              std::string::npos)
        << LogText();
}

TEST(RegistryValueChange, NormalisesTheDataTextByType)
{
    const std::wstring key = L"[HKEY_CURRENT_USER\\K]";
    const auto check = [&](const wchar_t* name, const wchar_t* data, const wchar_t* type, const wchar_t* expected) {
        const RegistryChangeEntry e = MakeValueChange(key, name, true, data);
        EXPECT_EQ(e.KeyLine, key);
        EXPECT_EQ(e.TypeName, type) << ToUtf8(data);
        EXPECT_EQ(e.Data, expected) << ToUtf8(data);
    };
    check(L"\"a\"", L"dword:0000000a", L"REG_DWORD", L"a");
    check(L"\"a\"", L"dword:00000000", L"REG_DWORD", L"0");
    check(L"\"a\"", L"hex(2):25,00,00,00", L"REG_EXPAND_SZ", L"25000000");
    check(L"\"a\"", L"hex:", L"REG_BINARY", L"");
    check(L"\"a\"", L"hex(b):01,02,00,00,00,00,00,00", L"REG_QWORD", L"0102000000000000");
    // Types without a notation of their own keep their text and their true type.
    check(L"\"a\"", L"hex(7):61,00,00,00", L"REG_MULTI_SZ", L"hex(7):61,00,00,00");
    check(L"\"a\"", L"hex(0):ab", L"REG_NONE", L"hex(0):ab");
    check(L"\"a\"", L"hex(5):00,00,01,02", L"REG_DWORD_BIG_ENDIAN", L"hex(5):00,00,01,02");
    check(L"\"a\"", L"hex(8):01", L"REG_RESOURCE_LIST", L"hex(8):01");
    check(L"\"a\"", L"hex(20):01", L"REG_TYPE_32", L"hex(20):01");
    check(L"\"a\"", L"hex(1):61,00,0a,00", L"REG_SZ", L"hex(1):61,00,0a,00");
    check(L"\"a\"", L"hex(zz):01", L"REG_SZ", L"hex(zz):01");
    check(L"\"a\"", L"\"x \\\"y\\\" \\\\z\"", L"REG_SZ", L"\"x \"y\" \\z\"");
    check(L"@", L"\"\"", L"REG_SZ", L"\"\"");
    EXPECT_EQ(MakeValueChange(key, L"\"q\\\"u\\\\o\"", true, L"hex:").ValueName, L"\"q\"u\\o\"");
    EXPECT_EQ(MakeValueChange(key, L"@", true, L"hex:").ValueName, L"@");
}

TEST(RegistryChangeMaps, FilesEntriesUnderTheirKeyByCategory)
{
    const WorkPaths paths;
    CRegistryEnumerate registry(paths);
    const RegistryChangeEntry keyAlone{L"[HKLM\\A]", L"", L"", L""};
    const RegistryChangeEntry value{L"[HKLM\\A]", L"\"v\"", L"REG_DWORD", L"1"};
    registry.AddRegistryChange(ChangeOrigin::Added, keyAlone);
    registry.AddRegistryChange(ChangeOrigin::Added, value);
    registry.AddRegistryChange(ChangeOrigin::Added, keyAlone);
    registry.AddRegistryChange(ChangeOrigin::Deleted, value);
    if (const auto list = ChangeListOf(L"RegistrySystem//Other"); list && list->Area == ChangeArea::Registry)
        registry.AddRegistryChange(list->Origin, value); // no list: files nothing
    registry.AddRegistryChange(ChangeOrigin::Modified, RegistryChangeEntry{L"]", L"\"v\"", L"", L""});
    EXPECT_EQ(registry.Changes().Registry(ChangeOrigin::Added), (RegistryChangeMap{{L"HKLM\\A", {value}}}));
    EXPECT_EQ(registry.Changes().Registry(ChangeOrigin::Deleted), (RegistryChangeMap{{L"HKLM\\A", {value}}}));
    EXPECT_EQ(registry.Changes().Registry(ChangeOrigin::Modified), RegistryChangeMap{});
    registry.Reset();
    EXPECT_EQ(registry.Changes().Registry(ChangeOrigin::Added), RegistryChangeMap{});
}

TEST_F(RegistryCapture, ASnapshotFileCutShortIsNeverCompared)
{
    TestRegistryKey test(L"CutShort");
    for (int i = 0; i < 20; ++i)
        SetString(test.Key(), (L"v" + std::to_wstring(i)).c_str(), L"value");
    const std::wstring root = L"HKCU\\" + test.SubPath();
    const std::wstring first = WorkingFile(L"SnapShot\\RegSystemDir\\FirstSnapShot\\RegSnapShot0.reg");
    const std::wstring second = WorkingFile(L"SnapShot\\RegSystemDir\\SecondSnapShot\\RegSnapShot0.reg");
    for (const std::wstring* damaged : {&first, &second}) {
        SCOPED_TRACE(ToUtf8(*damaged));
        m_registry.emplace(m_progress, m_changes, m_paths);
        ASSERT_TRUE(m_registry->Initialize());
        RemoveFolderTree(WorkingFile(L"SnapShot"));
        EXPECT_EQ(m_registry->IsFirstSnapshotTaken(), 0);
        ASSERT_TRUE(m_registry->CaptureSnapshot({root}));
        ASSERT_TRUE(m_registry->CaptureSnapshot({root}));
        const std::string bytes = ReadFileBytes(*damaged);
        WriteFileBytes(*damaged, bytes.substr(0, bytes.size() / 2));
        EXPECT_FALSE(m_registry->CompareSnapshot());
        EXPECT_TRUE(m_registry->Changes().Registry(ChangeOrigin::Added).empty());
        m_registry.reset();
        EXPECT_NE(LogText().find(ToUtf8(*damaged) + " does not match its completion record"), std::string::npos)
            << LogText();
    }
}

// A snapshot read from its file in windows gives the same lines, each with the
// same key, as the whole text in memory: lines and line ends cut by a window,
// a line longer than a window, and an odd last byte (left out).
TEST(RegistryLineReader, AFileReadInWindowsGivesTheLinesOfTheWholeText)
{
    std::wstring text = L"\xFEFFWindows Registry Editor Version 5.00\r\n\r\n";
    for (int key = 0; key < 6000; ++key) {
        text += L"[HKEY_LOCAL_MACHINE\\SOFTWARE\\T\\key" + std::to_wstring(key) + L"]\r\n";
        text += L"\"v\"=\"" + std::wstring(static_cast<std::size_t>(key % 97), L'x') + L"\"\r\n";
        if (key == 3000)
            text += L"\"long\"=hex:" + std::wstring(300000, L'0') + L"\r\n";
        text += L"@=dword:0000000" + std::to_wstring(key % 10) + L"\r\n\r\n";
    }
    text += L"[HKEY_LOCAL_MACHINE\\SOFTWARE\\T\\last]"; // no line end
    const auto lines = [](CRegLineReader& reader) {
        std::vector<std::pair<std::wstring, std::wstring>> all;
        while (reader.Next())
            all.emplace_back(reader.Line(), reader.CurrentKeyLine());
        return all;
    };
    CRegLineReader whole;
    whole.Assign(text);
    const auto expected = lines(whole);
    ASSERT_EQ(expected.size(), 6000u * 3 + 2);

    TempFolder root;
    std::string bytes(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
    for (const char* tail : {"", "\x41"}) {
        SCOPED_TRACE(*tail ? "odd last byte" : "even");
        WriteFileBytes(root / L"RegSnapShot0.reg", bytes + tail);
        CRegLineReader reader;
        ASSERT_EQ(reader.Open(root / L"RegSnapShot0.reg"), 0u);
        EXPECT_EQ(lines(reader), expected);
        EXPECT_EQ(reader.ReadError(), 0u);
    }
}
