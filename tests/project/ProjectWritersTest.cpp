#include "common/Paths.h"
#include "project/Base64.h"
#include "tests/project/XmlTestSupport.h"

#include <gtest/gtest.h>

namespace {

// Each test writes into its own folder, with the project file path pointing
// there and %PROGRAMFILES% standing for a folder of its own.
class ProjectWritersTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_tokens.programfiles = m_folder / L"Program Files";
        ASSERT_TRUE(CreateDirectoryW(m_tokens.programfiles.c_str(), nullptr));
    }
    std::wstring ProjectFile() const { return m_folder / L"ProjectFile.xml"; }
    std::wstring Changes() const { return m_folder / L"Changes.xml"; }
    std::wstring ProgramFiles() const { return m_tokens.programfiles; }

    // A file with content under %PROGRAMFILES%; returns its full path.
    std::wstring MakeFile(const std::wstring& folder, const std::wstring& name)
    {
        const std::wstring dir = ProgramFiles() + L"\\" + folder;
        CreateDirectoryW(dir.c_str(), nullptr);
        WriteFileBytes(dir + L"\\" + name, "content");
        return dir + L"\\" + name;
    }

    static XmlNode List(const XmlDocument& doc, const wchar_t* path)
    {
        return doc.Root().SelectSingleNode(path);
    }

    TempFolder m_folder;
    FolderTokenValues m_tokens;
};

} // namespace

TEST_F(ProjectWritersTest, PackableFilesOnlyWithKeepAllClear)
{
    const std::wstring app = ProgramFiles() + L"\\App";
    const std::wstring readme = MakeFile(L"App", L"readme.txt");
    const std::wstring setup = MakeFile(L"App", L"setup.exe");
    const std::wstring upper = MakeFile(L"App", L"TOOL.EXE");
    const std::wstring scratch = MakeFile(L"App", L"work.tmp");
    const std::wstring link = MakeFile(L"App", L"start.lnk.txt");
    const std::wstring gone = app + L"\\deleted.dll";
    const std::wstring temps = ProgramFiles() + L"\\Temps";
    const std::wstring lib = MakeFile(L"Lib", L"core.dll");
    CreateDirectoryW((ProgramFiles() + L"\\Tree").c_str(), nullptr);
    DirectoryChangeMap map{
        {app, {readme, scratch, setup, gone, link, upper}},
        {temps, {MakeFile(L"Temps", L"a.tmp"), MakeFile(L"Temps", L"b.tmp")}},
        {ProgramFiles() + L"\\Vanished", {ProgramFiles() + L"\\Vanished\\x.dll"}},
        {ProgramFiles() + L"\\Empty", {}},
        // Not empty: its subfolder holds a file.
        {ProgramFiles() + L"\\Tree", {}},
        {ProgramFiles() + L"\\Tree\\Sub", {MakeFile(L"Tree\\Sub", L"leaf.txt")}},
        {ProgramFiles() + L"\\Lib", {lib}},
    };

    XmlDocument doc;
    ASSERT_TRUE(doc.Load(ShippedRawProjectFile()));
    std::vector<std::wstring> executables;
    EXPECT_TRUE(WriteFileList(doc, ChangeOrigin::Added, map, m_tokens, Changes(), FileListMode::PackableOnly, &executables));

    // The caller's map is pruned: folders with nothing packable disappear,
    // and unpackable files leave their lists in place; a folder the setup
    // left empty stays. Only the extension tells temporary files and links.
    EXPECT_EQ(map, (DirectoryChangeMap{{app, {readme, setup, link, upper}},
                                       {ProgramFiles() + L"\\Empty", {}},
                                       {ProgramFiles() + L"\\Tree\\Sub", {ProgramFiles() + L"\\Tree\\Sub\\leaf.txt"}},
                                       {ProgramFiles() + L"\\Lib", {lib}}}));
    EXPECT_EQ(executables, std::vector<std::wstring>{setup}) << "only a lower-case .exe counts";

    XmlDocument saved;
    ASSERT_TRUE(saved.Load(Changes()));
    const XmlNode list = List(saved, NodePath::FilesAdded);
    EXPECT_EQ(ElementNames(list), (std::vector<std::wstring>(4, L"Directory")));
    EXPECT_EQ(ChildNames(list), (std::vector<std::wstring>{L"%PROGRAMFILES%\\Tree\\Sub", L"%PROGRAMFILES%\\Lib",
                                                           L"%PROGRAMFILES%\\Empty", L"%PROGRAMFILES%\\App"}))
        << "folders in descending order, in token form";
    EXPECT_TRUE(ElementNames(list.GetChild(2)).empty()) << "the empty folder has no files";
    const XmlNode appDir = list.GetChild(3);
    EXPECT_EQ(ElementNames(appDir), (std::vector<std::wstring>(4, L"File")));
    EXPECT_EQ(ChildNames(appDir), (std::vector<std::wstring>{L"TOOL.EXE", L"start.lnk.txt", L"setup.exe", L"readme.txt"}))
        << "files in reverse input order, bare names";
    EXPECT_EQ(Attributes(appDir.GetChild(0)), std::vector<std::wstring>{L"TOOL.EXE"});
    EXPECT_TRUE(ElementNames(List(saved, NodePath::FilesModified)).empty());
}

TEST_F(ProjectWritersTest, KeepAllWritesEveryListedFileAndCollectsNoExecutables)
{
    const std::wstring a = ProgramFiles() + L"\\A";
    const std::wstring b = ProgramFiles() + L"\\B";
    DirectoryChangeMap map{
        {a, {a + L"\\missing.exe", a + L"\\x.tmp"}},
        {b, {b + L"\\gone.dll"}},
        {ProgramFiles() + L"\\C", {}},
    };
    XmlDocument doc;
    ASSERT_TRUE(doc.Load(ShippedRawProjectFile()));
    std::vector<std::wstring> executables;
    EXPECT_TRUE(WriteFileList(doc, ChangeOrigin::Added, map, m_tokens, Changes(), FileListMode::KeepAll, &executables));
    EXPECT_EQ(map.size(), 3u) << "an added folder without files is an empty folder";
    EXPECT_TRUE(executables.empty());

    XmlDocument saved;
    ASSERT_TRUE(saved.Load(Changes()));
    const XmlNode list = List(saved, NodePath::FilesAdded);
    EXPECT_EQ(ChildNames(list),
              (std::vector<std::wstring>{L"%PROGRAMFILES%\\C", L"%PROGRAMFILES%\\B", L"%PROGRAMFILES%\\A"}));
    EXPECT_EQ(ChildNames(list.GetChild(2)), (std::vector<std::wstring>{L"x.tmp", L"missing.exe"}));

    // In the other lists a folder without files is no empty folder: it goes.
    DirectoryChangeMap modified{{ProgramFiles() + L"\\C", {}}};
    EXPECT_TRUE(WriteFileList(doc, ChangeOrigin::Modified, modified, m_tokens, Changes(), FileListMode::KeepAll));
    EXPECT_TRUE(modified.empty());
}

TEST_F(ProjectWritersTest, ExecutablesAreCollectedFromTheAddedListOnly)
{
    DirectoryChangeMap map{{ProgramFiles() + L"\\App", {MakeFile(L"App", L"run.exe")}}};
    XmlDocument doc;
    ASSERT_TRUE(doc.Load(ShippedRawProjectFile()));
    std::vector<std::wstring> executables;
    EXPECT_TRUE(WriteFileList(doc, ChangeOrigin::Modified, map, m_tokens, Changes(), FileListMode::PackableOnly, &executables));
    EXPECT_TRUE(executables.empty());
    XmlDocument saved;
    ASSERT_TRUE(saved.Load(Changes()));
    EXPECT_EQ(ChildNames(List(saved, NodePath::FilesModified).GetChild(0)), std::vector<std::wstring>{L"run.exe"});
}

TEST_F(ProjectWritersTest, EmptyMapStillSavesACompleteDocument)
{
    DirectoryChangeMap files;
    RegistryChangeMap keys;
    XmlDocument doc;
    ASSERT_TRUE(doc.Load(ShippedRawProjectFile()));
    EXPECT_TRUE(WriteFileList(doc, ChangeOrigin::Deleted, files, m_tokens, Changes(), FileListMode::PackableOnly));
    XmlDocument saved;
    ASSERT_TRUE(saved.Load(Changes()));
    EXPECT_EQ(ElementNames(saved.Root()).size(), 6u);

    DeleteFileW(Changes().c_str());
    EXPECT_TRUE(WriteRegistryList(doc, ChangeOrigin::Deleted, keys, Changes()));
    EXPECT_TRUE(saved.Load(Changes()));
}

TEST_F(ProjectWritersTest, RegistryKeysAndValues)
{
    RegistryChangeMap map{
        {L"HKEY_CURRENT_USER\\Software\\Alpha",
         {{L"", L"\"Path\"", L"REG_SZ", L"c:\\x"}, {L"", L"@", L"REG_DWORD", L"1"}, {L"", L"\"Bin\"", L"REG_BINARY", L""}}},
        {L"HKEY_CURRENT_USER\\Software\\Beta", {}},
        {L"HKEY_LOCAL_MACHINE\\Software\\Gamma", {{L"", L"\"Q\"", L"REG_QWORD", L"2"}}},
    };
    XmlDocument doc;
    ASSERT_TRUE(doc.Load(ShippedRawProjectFile()));
    EXPECT_TRUE(WriteRegistryList(doc, ChangeOrigin::Modified, map, Changes()));
    EXPECT_EQ(map.size(), 3u) << "the registry writer leaves the caller's map alone";

    XmlDocument saved;
    ASSERT_TRUE(saved.Load(Changes()));
    const XmlNode list = List(saved, NodePath::RegistryModified);
    EXPECT_EQ(ElementNames(list), (std::vector<std::wstring>{L"SubKey", L"SubKey"})) << "a key without values writes nothing";
    EXPECT_EQ(ChildNames(list), (std::vector<std::wstring>{L"HKEY_LOCAL_MACHINE\\Software\\Gamma",
                                                          L"HKEY_CURRENT_USER\\Software\\Alpha"}));
    const XmlNode alpha = list.GetChild(1);
    EXPECT_EQ(ElementNames(alpha), (std::vector<std::wstring>{L"Value", L"Value", L"Value"}));
    EXPECT_EQ(Attributes(alpha.GetChild(0)), (std::vector<std::wstring>{L"\"Bin\"", L"REG_BINARY"}));
    EXPECT_EQ(Attributes(alpha.GetChild(1)), (std::vector<std::wstring>{L"@", L"REG_DWORD"}));
    EXPECT_EQ(Attributes(alpha.GetChild(2)), (std::vector<std::wstring>{L"\"Path\"", L"REG_SZ"}));
}

TEST_F(ProjectWritersTest, IniFilesAndTheirKeys)
{
    IniChangeMap map{
        {L"%WINDIR%\\app.ini", {{L"Main", L"Path", L"c:\\app"}, {L"Main", L"Mode", L"2"}}},
        {L"%WINDIR%\\zeta.ini", {{L"S", L"K", L"V"}}},
    };
    XmlDocument doc;
    ASSERT_TRUE(doc.Load(ShippedRawProjectFile()));
    EXPECT_TRUE(WriteIniList(doc, ChangeOrigin::Added, map, Changes()));

    XmlDocument saved;
    ASSERT_TRUE(saved.Load(Changes()));
    const XmlNode list = List(saved, NodePath::IniAdded);
    EXPECT_EQ(ChildNames(list), (std::vector<std::wstring>{L"%WINDIR%\\zeta.ini", L"%WINDIR%\\app.ini"}));
    const XmlNode app = list.GetChild(1);
    EXPECT_EQ(app.GetName(), L"File");
    EXPECT_EQ(ElementNames(app), (std::vector<std::wstring>{L"Section", L"Section"}));
    EXPECT_EQ(Attributes(app.GetChild(0)), (std::vector<std::wstring>{L"Main", L"Mode", L"2"}));
    EXPECT_EQ(Attributes(app.GetChild(1)), (std::vector<std::wstring>{L"Main", L"Path", L"c:\\app"}));
}

TEST_F(ProjectWritersTest, ShortcutsIconsAndProductGoToTheProjectFile)
{
    const std::wstring iconFile = ProgramFiles() + L"\\App\\app.ico";
    ShortcutList shortcuts{
        {L"App", L"app.exe", L"[ProgramMenuFolder]", iconFile, L"0"},
        {L"Help", L"help.exe", L"[DesktopFolder]", L"d:\\other.ico", L"3"},
    };
    IconMap icons{
        {iconFile, {L"6", L"AAECAw", {L"a.exe", L"b.exe"}}},
        {L"d:\\other.ico", {L"2", L"AA", {}}},
    };
    XmlDocument doc;
    ASSERT_TRUE(doc.Load(ShippedRawProjectFile()));
    EXPECT_TRUE(WriteShortcutList(doc, shortcuts, m_tokens, ProjectFile()));
    EXPECT_TRUE(WriteShortcutIcons(doc, icons, ProjectFile()));
    EXPECT_TRUE(WriteProductInfo(doc, {L"Old", L"1.0", L"Maker"}, ProjectFile()));
    EXPECT_TRUE(WriteProductInfo(doc, {L"New", L"2.0", L"Maker & Sons"}, ProjectFile()));

    XmlDocument saved;
    ASSERT_TRUE(saved.Load(ProjectFile()));
    const XmlNode list = List(saved, NodePath::Shortcuts);
    EXPECT_EQ(ElementNames(list), (std::vector<std::wstring>{L"Shortcut", L"Shortcut"}));
    EXPECT_EQ(Attributes(list.GetChild(0)),
              (std::vector<std::wstring>{L"Help", L"help.exe", L"[DesktopFolder]", L"d:\\other.ico", L"3"}));
    EXPECT_EQ(Attributes(list.GetChild(1)), (std::vector<std::wstring>{L"App", L"app.exe", L"[ProgramMenuFolder]",
                                                                       L"%PROGRAMFILES%\\App\\app.ico", L"0"}));

    const XmlNode iconList = List(saved, NodePath::ShortcutIcons);
    EXPECT_EQ(ChildNames(iconList), (std::vector<std::wstring>{L"d:\\other.ico", iconFile}))
        << "descending path order ('d' after 'C'); icon paths are written as given";
    const XmlNode first = iconList.GetChild(1);
    EXPECT_EQ(Attributes(first), (std::vector<std::wstring>{iconFile, L"6", L"AAECAw"}));
    EXPECT_EQ(ElementNames(first), (std::vector<std::wstring>{L"EXE", L"EXE"}));
    EXPECT_EQ(ChildNames(first), (std::vector<std::wstring>{L"b.exe", L"a.exe"}));

    const XmlNode product = List(saved, NodePath::Product);
    EXPECT_EQ(ElementNames(product), (std::vector<std::wstring>{L"ProductInformation", L"ProductInformation"}));
    EXPECT_EQ(Attributes(product.GetChild(0)), (std::vector<std::wstring>{L"New", L"2.0", L"Maker & Sons"}));
    EXPECT_EQ(Attributes(product.GetChild(1)), (std::vector<std::wstring>{L"Old", L"1.0", L"Maker"}));

    // Replacing empties the list first.
    EXPECT_TRUE(ReplaceShortcutList(doc, {{L"Only", L"o.exe", L"[DesktopFolder]", L"", L"1"}}, m_tokens, ProjectFile()));
    EXPECT_TRUE(ReplaceShortcutIcons(doc, {}, ProjectFile()));
    ASSERT_TRUE(saved.Load(ProjectFile()));
    EXPECT_EQ(ChildNames(List(saved, NodePath::Shortcuts)), std::vector<std::wstring>{L"Only"});
    EXPECT_EQ(List(saved, NodePath::ShortcutIcons).GetChildCount(), 0);
}

TEST(Base64Test, StandardAlphabetWithoutPadding)
{
    EXPECT_EQ(EncodeBase64("", 0), L"");
    EXPECT_EQ(EncodeBase64("f", 1), L"Zg");
    EXPECT_EQ(EncodeBase64("fo", 2), L"Zm8");
    EXPECT_EQ(EncodeBase64("foo", 3), L"Zm9v");
    EXPECT_EQ(EncodeBase64("foobar", 6), L"Zm9vYmFy");
    const unsigned char high[] = {0xFF, 0xFE, 0xFD, 0xFB, 0xEF, 0xBE};
    EXPECT_EQ(EncodeBase64(high, sizeof high), L"//79++++");
}

TEST(Base64Test, FourByteIconFileGivesSixCharacters)
{
    TempFolder folder;
    const std::wstring icon = folder / L"tiny.ico";
    WriteFileBytes(icon, std::string("\x00\x01\x02\x03", 4));
    IconRecord record{L"", L"", {L"kept.exe"}};
    ASSERT_TRUE(ReadIconFile(icon, record));
    EXPECT_EQ(record.Data, L"AAECAw");
    EXPECT_EQ(record.Size, L"6");
    EXPECT_EQ(record.Executables, std::vector<std::wstring>{L"kept.exe"});
    const Result missing = ReadIconFile(folder / L"none.ico", record);
    EXPECT_EQ(missing.Code(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(missing.Text(), L"Unable to open " + (folder / L"none.ico") + Result::Suffix(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(record.Data, L"AAECAw") << "a failed read leaves the record alone";
}

TEST(Base64Test, DecodingInvertsTheEncodingAndSkipsForeignCharacters)
{
    auto bytes = [](std::string_view text) { return std::vector<unsigned char>(text.begin(), text.end()); };
    const struct {
        std::wstring text;
        std::vector<unsigned char> expected;
    } cases[] = {
        {L"", {}},
        {L"Zg", bytes("f")},
        {L"Zm8", bytes("fo")},
        {L"Zm9vYmFy", bytes("foobar")},
        {L"Zg==", bytes("f")},                     // padding skipped
        {L"Zm9v\r\nYm Fy", bytes("foobar")},     // line breaks and blanks skipped without counting
        {L"Zm9v*Y!mFy", bytes("foobar")},
        {L"Z", {}},                                // a lone character carries no byte
        {std::wstring(L"Zm9v\0Zm9v", 9), bytes("foo")}, // NUL where a group begins ends the text
        {std::wstring(L"Zm\09v", 5), bytes("foo")},     // ...but not inside a group
        {L"//79++++", {0xFF, 0xFE, 0xFD, 0xFB, 0xEF, 0xBE}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DecodeBase64(c.text), c.expected) << ToUtf8(c.text);

    std::string all;
    for (int i = 0; i < 256; ++i)
        all += static_cast<char>(i);
    for (std::size_t size : {0u, 1u, 2u, 3u, 254u, 255u, 256u})
        EXPECT_EQ(DecodeBase64(EncodeBase64(all.data(), size)), bytes(std::string_view(all).substr(0, size)));
}

TEST(Base64Test, IconFileWrittenBackIsTheFileRead)
{
    TempFolder folder;
    std::string contents("\x00\x00\x01\x00\xFF\x10\x0D\x0A\x1A", 9);
    WriteFileBytes(folder / L"app.ico", contents);
    IconRecord record;
    ASSERT_TRUE(ReadIconFile(folder / L"app.ico", record));
    WriteFileBytes(folder / L"old.ico", std::string(100, 'x'));
    ASSERT_TRUE(WriteIconFile(record, folder / L"old.ico"));
    EXPECT_EQ(ReadFileBytes(folder / L"old.ico"), contents) << "created or truncated, binary";
    const Result unwritten = WriteIconFile(record, folder / L"no such folder\\a.ico");
    EXPECT_EQ(unwritten.Code(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(unwritten.Text(),
              L"Unable to create " + (folder / L"no such folder\\a.ico") + Result::Suffix(ERROR_PATH_NOT_FOUND));
}

TEST_F(ProjectWritersTest, FailuresAreLoggedWithTheirExactWording)
{
    TempFolder logs;
    CapturedLog log(logs);
    DirectoryChangeMap files{{L"c:\\x", {L"c:\\x\\y"}}};
    RegistryChangeMap keys;
    IniChangeMap inis;
    Result unsaved = Result::Ok();
    {
        XmlDocument notLoaded;
        EXPECT_FALSE(WriteFileList(notLoaded, ChangeOrigin::Added, files, m_tokens, Changes(), FileListMode::KeepAll));
        EXPECT_FALSE(WriteRegistryList(notLoaded, ChangeOrigin::Added, keys, Changes()));
        EXPECT_FALSE(WriteIniList(notLoaded, ChangeOrigin::Added, inis, Changes()));
        EXPECT_FALSE(WriteShortcutList(notLoaded, {}, m_tokens, ProjectFile()));
        EXPECT_FALSE(WriteShortcutIcons(notLoaded, {}, ProjectFile()));
        EXPECT_FALSE(WriteProductInfo(notLoaded, {}, ProjectFile()));

        XmlDocument bare;
        WriteFileBytes(m_folder / L"bare.xml", "<Root/>");
        ASSERT_TRUE(bare.Load(m_folder / L"bare.xml"));
        EXPECT_FALSE(WriteFileList(bare, ChangeOrigin::Added, files, m_tokens, Changes(), FileListMode::KeepAll));
        EXPECT_FALSE(WriteRegistryList(bare, ChangeOrigin::Added, keys, Changes()));
        EXPECT_FALSE(WriteIniList(bare, ChangeOrigin::Deleted, inis, Changes()));
        EXPECT_FALSE(WriteShortcutList(bare, {}, m_tokens, ProjectFile()));
        EXPECT_TRUE(WriteShortcutIcons(bare, {}, ProjectFile())); // silent
        EXPECT_FALSE(WriteProductInfo(bare, {}, ProjectFile()));

        XmlDocument raw;
        ASSERT_TRUE(raw.Load(ShippedRawProjectFile()));
        unsaved = WriteRegistryList(raw, ChangeOrigin::Added, keys, m_folder / L"no\\such\\dir.xml");
    }
    const std::string tabs7(7, '\t'), tabs8(8, '\t');
    std::vector<std::string> lines = log.Messages();
    ASSERT_FALSE(lines.empty());
    // A failed save: the writer's line, then the code and text of the save's
    // failure; the result carries the line.
    const std::string unsavedLine = lines.back();
    lines.pop_back();
    const std::string unsavedHead = "CXMLDocumentHandler::InsertRegistryKeyAndValueInXML Unable to save XML File";
    EXPECT_EQ(unsavedLine.rfind(unsavedHead + " (error 0x", 0), 0u) << unsavedLine;
    EXPECT_EQ(unsavedLine.back(), ')');
    EXPECT_EQ(unsavedLine, ToUtf8(unsaved.Text()));
    EXPECT_NE(unsaved.Code(), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(lines,
              (std::vector<std::string>{
                  "CXMLDocumentHandler::InsertDirectoryAndFileInXML XML File Not Loaded",
                  "CXMLDocumentHandler::InsertRegistryKeyAndValueInXML XML File Not Loaded",
                  "CXMLDocumentHandler::InsertINIKeyAndValueInXML XML File Not Loaded",
                  "CXMLDocumentHandler::InsertShortcutInXML XML File Not Loaded",
                  "CXMLDocumentHandler::InsertShortcutICONInXML XML File Not Loaded",
                  "CXMLDocumentHandler::InsertProductInfoInXML XML File Not Loaded",
                  "CXMLDocumentHandler::InsertDirectoryAndFileInXML Unable to " + tabs8 +
                      "find FileSystem//AddedItems//DirectoryList node in XML file",
                  "CXMLDocumentHandler::InsertRegistryKeyAndValueInXML Unable to " + tabs7 +
                      "    find RegistrySystem//AddedItems//SubKeyList node in XML file",
                  "CXMLDocumentHandler::InsertINIKeyAndValueInXML Unable to " + tabs7 +
                      "    find INIFileSystem//DeletedItems//FileList node in XML file",
                  "CXMLDocumentHandler::InsertShortcutInXML Unable to find node in XML file",
                  "CXMLDocumentHandler::InsertProductInfoInXML Unable to find node in XML file",
              }));
}
