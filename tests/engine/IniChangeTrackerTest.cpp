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
    EXPECT_EQ(main, (std::map<std::wstring, std::wstring>{
                        {L"plain", L"value"}, {L"split", L"a"}, {L"lead", L"v"}, {L"twice", L"first"}}));
    EXPECT_EQ(sections.count(L"Nothing"), 0u) << "a section without a kept entry is left out";
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
    CIniChangeTracker tracker;
    const std::wstring file = m_root / L"Windows\\new.ini";
    MakeFolder(m_root / L"Windows");
    WriteFileBytes(file, "[B]\r\nz=1\r\ny=2\r\n[A]\r\nx=3\r\nnone=\r\n");
    EXPECT_EQ(tracker.CompareINIFile(m_root / L"nobackup.ini", file), 1);
    EXPECT_EQ(tracker.CurrentPath(), L"%WINDIR%\\new.ini");
    const IniChangeMap expected = {{L"%WINDIR%\\new.ini", Entries{{L"A", L"x", L"3"}, {L"B", L"y", L"2"}, {L"B", L"z", L"1"}}}};
    EXPECT_EQ(tracker.AddedItems(), expected);
    EXPECT_TRUE(tracker.ModifiedItems().empty());
    EXPECT_TRUE(tracker.DeletedItems().empty());
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
    CIniChangeTracker tracker;
    tracker.CompareINIFile(backup, current);

    // (not win.ini: the platform maps that name to the registry wherever it lies)
    const std::wstring key = L"%WINDIR%\\app.ini";
    EXPECT_EQ(tracker.ModifiedItems(), (IniChangeMap{{key, Entries{{L"Main", L"Version", L"2"}}}}));
    EXPECT_EQ(tracker.DeletedItems(),
              (IniChangeMap{{key, Entries{{L"Main", L"Emptied", L"e"}, {L"Main", L"Gone", L"g"},
                                          {L"Removed", L"r", L"1"}, {L"Section", L"k", L"v"}}}}));
    EXPECT_EQ(tracker.AddedItems(),
              (IniChangeMap{{key, Entries{{L"Main", L"New", L"n"}, {L"Added", L"a", L"1"}, {L"SECTION", L"k", L"v"}}}}));

    // A deleted file gives back every backed-up entry as deleted, under its own path.
    CIniChangeTracker second;
    second.CompareINIFile(backup, m_root / L"Windows\\vanished.ini");
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
    CIniChangeTracker tracker;
    tracker.CompareINIFile(m_root / L"none1.ini", one);
    tracker.CompareINIFile(m_root / L"none2.ini", two);
    EXPECT_EQ(tracker.AddedItems(), (IniChangeMap{{one, Entries{{L"S", L"a", L"1"}}}, {two, Entries{{L"S", L"b", L"2"}}}}));

    tracker.AddINIChange(L"INIFileSystem//AddedItems//Filelist", {L"x", L"y", L"z"});
    EXPECT_EQ(tracker.AddedItems().at(two).size(), 1u) << "an unknown category files nothing";
    tracker.AddINIChange(NodePath::IniDeleted, {L"x", L"y", L"z"});
    EXPECT_EQ(tracker.DeletedItems(), (IniChangeMap{{two, Entries{{L"x", L"y", L"z"}}}}));

    tracker.Reset();
    EXPECT_TRUE(tracker.AddedItems().empty());
    EXPECT_TRUE(tracker.DeletedItems().empty());
    EXPECT_TRUE(tracker.CurrentPath().empty());
}

TEST_F(IniTracker, WritesNothingWhenTheRawProjectFileDidNotLoad)
{
    ASSERT_TRUE(DeleteFileW((m_root / L"Raw.xml").c_str()));
    CIniChangeTracker tracker;
    EXPECT_EQ(tracker.Initialize(), 0);
    EXPECT_FALSE(tracker.IsLoaded());
    WriteFileBytes(m_root / L"n.ini", "[S]\r\na=1\r\n");
    tracker.CompareINIFile(m_root / L"none.ini", m_root / L"n.ini");
    EXPECT_EQ(tracker.WriteINIChanges(), 0);
    EXPECT_FALSE(PathExists(FromUtf8(Paths().IniChangesPath)));
}
