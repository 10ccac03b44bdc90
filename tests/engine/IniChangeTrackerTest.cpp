#include "common/Paths.h"
#include "tests/engine/FileTestFixture.h"

#include "engine/IniChangeTracker.h"

namespace {

using IniTracker = FileEnumerateFixture;
using Entries = std::vector<IniChangeEntry>;

} // namespace

TEST_F(IniTracker, ReadsKeyValueEntriesTheWayTheFormatDefines)
{
    const std::wstring file = m_root / L"read.ini";
    WriteFileBytes(file, "[Main]\r\n"
                         "plain=value\r\n"
                         "split=a=b\r\n"
                         "empty=\r\n"
                         "novalue\r\n"
                         "==lead=v\r\n"
                         "twice=first\r\n"
                         "twice=second\r\n"
                         "[Nothing]\r\n"
                         "empty=\r\n"
                         "[main]\r\n"
                         "other=1\r\n");
    const IniSectionMap sections = CIniChangeTracker::ReadIniFile(file);
    ASSERT_EQ(sections.count(L"Main"), 1u);
    const auto& main = sections.at(L"Main");
    EXPECT_EQ(main, (std::map<std::wstring, std::wstring>{{L"plain", L"value"},
                                                          {L"split", L"a=b"},
                                                          {L"empty", L""},
                                                          {L"lead", L"v"},
                                                          {L"twice", L"first"}}));
    ASSERT_EQ(sections.count(L"Nothing"), 1u) << "an empty value is kept";
    EXPECT_EQ(sections.at(L"Nothing"), (std::map<std::wstring, std::wstring>{{L"empty", L""}}));
    EXPECT_TRUE(CIniChangeTracker::ReadIniFile(m_root / L"missing.ini").empty());
}

TEST_F(IniTracker, LongSectionsAndManySectionNamesAreReadWhole)
{
    // Beyond 1024 characters of section names and 8192 characters in one section.
    std::string text;
    for (int s = 0; s < 120; ++s)
        text += "[Section number " + std::to_string(s) + "]\r\nk=v\r\n";
    text += "[Big]\r\n";
    for (int k = 0; k < 600; ++k)
        text += "key" + std::to_string(k) + "=value number " + std::to_string(k) + "\r\n";
    const std::wstring file = m_root / L"big.ini";
    WriteFileBytes(file, text);

    const IniSectionMap sections = CIniChangeTracker::ReadIniFile(file);
    EXPECT_EQ(sections.size(), 121u);
    EXPECT_EQ(sections.count(L"Section number 119"), 1u);
    ASSERT_EQ(sections.count(L"Big"), 1u);
    EXPECT_EQ(sections.at(L"Big").size(), 600u);
    EXPECT_EQ(sections.at(L"Big").at(L"key599"), L"value number 599");
}

TEST_F(IniTracker, NewFileYieldsOnlyAddedEntries)
{
    CIniChangeTracker tracker(m_paths, m_tokens);
    const std::wstring file = m_root / L"Windows\\new.ini";
    MakeFolder(m_root / L"Windows");
    WriteFileBytes(file, "[B]\r\nz=1\r\ny=2\r\n[A]\r\nx=3\r\nnone=\r\n");
    EXPECT_TRUE(tracker.CompareINIFile(m_root / L"nobackup.ini", file));
    EXPECT_EQ(tracker.CurrentPath(), L"%WINDIR%\\new.ini");
    const IniChangeMap expected = {
        {L"%WINDIR%\\new.ini", Entries{{L"A", L"none", L""}, {L"A", L"x", L"3"}, {L"B", L"y", L"2"}, {L"B", L"z", L"1"}}}};
    EXPECT_EQ(tracker.AddedItems(), expected);
    EXPECT_TRUE(tracker.ModifiedItems().empty());
    EXPECT_TRUE(tracker.DeletedItems().empty());
}

// As the profile functions read a line: the key ends at the first "=", the
// value is all the rest.
TEST(IniEntrySplit, KeyUpToTheFirstEqualsValueAllTheRest)
{
    const struct
    {
        const wchar_t* line;
        bool kept;
        const wchar_t* key;
        const wchar_t* value;
    } cases[] = {
        {L"plain=value", true, L"plain", L"value"},
        {L"url=http://h/?a=b&c=d", true, L"url", L"http://h/?a=b&c=d"},
        {L"dsn=Server=db;Database=x", true, L"dsn", L"Server=db;Database=x"},
        {L"empty=", true, L"empty", L""},
        {L"trail==", true, L"trail", L"="},
        {L"==lead=v", true, L"lead", L"v"},
        {L"spaced = v ", true, L"spaced ", L" v "},
        {L"novalue", false, L"", L""},
        {L"===", false, L"", L""},
        {L"", false, L"", L""},
    };
    for (const auto& c : cases) {
        std::wstring key, value;
        ASSERT_EQ(SplitIniEntry(c.line, key, value), c.kept) << ToUtf8(c.line);
        if (!c.kept)
            continue;
        EXPECT_EQ(key, c.key) << ToUtf8(c.line);
        EXPECT_EQ(value, c.value) << ToUtf8(c.line);
    }
}

// What the IniFile table cannot hold sends a new INI file into the package whole.
TEST(IniFileBeyondEntries, RepeatsAndLinesWithoutEqualsAreFound)
{
    const struct
    {
        const wchar_t* text;
        const wchar_t* found; // part of the answer; "" when entries hold it all
    } cases[] = {
        {L"[S]\r\na=1\r\nb=\r\n\r\n; comment\r\n[T]\r\na=2\r\n", L""},
        {L"", L""},
        {L"[S]\r\na=1\r\n[T]\r\n[s]\r\nb=2\r\n", L"section [s] appears twice"},
        {L"[S]\na=1\nA = 2\n", L"key A appears twice in [S]"},
        {L"[S]\r\njust a line\r\n", L"has no \"=\""},
        {L"a=1\r\n[S]\r\n", L"outside any section"},
        {L"  [ S ]  \r\n  a = 1 \r\n[T]\r\na=1\r\n", L""},
    };
    for (const auto& c : cases) {
        const std::wstring found = IniTextBeyondEntries(c.text);
        if (*c.found == L'\0')
            EXPECT_EQ(found, L"") << ToUtf8(c.text);
        else
            EXPECT_NE(found.find(c.found), std::wstring::npos) << ToUtf8(c.text) << " gave " << ToUtf8(found);
    }
}

TEST_F(IniTracker, ChangesAreFiledPerSectionAndKeyUnderTheTokenPath)
{
    MakeFolder(m_root / L"Windows");
    const std::wstring backup = m_root / L"backup.ini";
    const std::wstring current = m_root / L"Windows\\app.ini";
    WriteFileBytes(backup, "[Main]\r\nVersion=1\r\nSame=s\r\nEmptied=e\r\nGone=g\r\n"
                           "[Section]\r\nk=v\r\n[Removed]\r\nr=1\r\n");
    WriteFileBytes(current, "[Main]\r\nVersion=2\r\nSame=s\r\nEmptied=\r\nNew=n\r\n"
                            "[SECTION]\r\nk=v\r\n[Added]\r\na=1\r\n");
    CIniChangeTracker tracker(m_paths, m_tokens);
    EXPECT_TRUE(tracker.CompareINIFile(backup, current));

    // (not win.ini: the platform maps that name to the registry wherever it lies)
    const std::wstring key = L"%WINDIR%\\app.ini";
    // A value set to empty is a change of the value, not a removal of the key.
    EXPECT_EQ(tracker.ModifiedItems(),
              (IniChangeMap{{key, Entries{{L"Main", L"Emptied", L""}, {L"Main", L"Version", L"2"}}}}));
    EXPECT_EQ(tracker.DeletedItems(),
              (IniChangeMap{{key, Entries{{L"Main", L"Gone", L"g"}, {L"Removed", L"r", L"1"},
                                          {L"Section", L"k", L"v"}}}}));
    EXPECT_EQ(tracker.AddedItems(),
              (IniChangeMap{{key, Entries{{L"Main", L"New", L"n"}, {L"Added", L"a", L"1"}, {L"SECTION", L"k", L"v"}}}}));

    // A deleted file gives back every backed-up entry as deleted, under its own path.
    CIniChangeTracker second(m_paths, m_tokens);
    EXPECT_TRUE(second.CompareINIFile(backup, m_root / L"Windows\\vanished.ini"));
    ASSERT_EQ(second.DeletedItems().count(L"%WINDIR%\\vanished.ini"), 1u);
    EXPECT_EQ(second.DeletedItems().at(L"%WINDIR%\\vanished.ini").size(), 6u);
    EXPECT_TRUE(second.AddedItems().empty());
}

TEST_F(IniTracker, TwoFilesGiveTwoKeysAndResetEmptiesEverything)
{
    const std::wstring one = m_root / L"one.ini";
    const std::wstring two = m_root / L"two.ini";
    WriteFileBytes(one, "[S]\r\na=1\r\n");
    WriteFileBytes(two, "[S]\r\nb=2\r\n");
    CIniChangeTracker tracker(m_paths, m_tokens);
    EXPECT_TRUE(tracker.CompareINIFile(m_root / L"none1.ini", one));
    EXPECT_TRUE(tracker.CompareINIFile(m_root / L"none2.ini", two));
    EXPECT_EQ(tracker.AddedItems(), (IniChangeMap{{one, Entries{{L"S", L"a", L"1"}}}, {two, Entries{{L"S", L"b", L"2"}}}}));

    if (const auto list = ChangeListOf(L"INIFileSystem//AddedItems//Filelist"); list && list->Area == ChangeArea::Ini)
        tracker.AddINIChange(list->Origin, {L"x", L"y", L"z"});
    EXPECT_EQ(tracker.AddedItems().at(two).size(), 1u) << "an unknown category files nothing";
    tracker.AddINIChange(ChangeOrigin::Deleted, {L"x", L"y", L"z"});
    EXPECT_EQ(tracker.DeletedItems(), (IniChangeMap{{two, Entries{{L"x", L"y", L"z"}}}}));

    tracker.Reset();
    EXPECT_TRUE(tracker.AddedItems().empty());
    EXPECT_TRUE(tracker.DeletedItems().empty());
    EXPECT_TRUE(tracker.CurrentPath().empty());
}

TEST_F(IniTracker, WritesNothingWhenTheRawProjectFileDidNotLoad)
{
    ASSERT_TRUE(DeleteFileW((m_root / L"Raw.xml").c_str()));
    CIniChangeTracker tracker(m_paths, m_tokens);
    EXPECT_FALSE(tracker.Initialize());
    EXPECT_FALSE(tracker.IsLoaded());
    WriteFileBytes(m_root / L"n.ini", "[S]\r\na=1\r\n");
    EXPECT_TRUE(tracker.CompareINIFile(m_root / L"none.ini", m_root / L"n.ini"));
    EXPECT_FALSE(tracker.WriteINIChanges());
    EXPECT_FALSE(PathExists(m_paths.IniChangesPath));
}
