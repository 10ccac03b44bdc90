#include "common/Paths.h"
#include "common/UniqueHandle.h"
#include "project/ProjectCheck.h"
#include "project/SystemSettings.h"
#include "tests/project/XmlTestSupport.h"

#include <gtest/gtest.h>

namespace {

class ProjectReadersTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_tokens.programfiles = L"C:\\Program Files";
    }

    std::wstring ProjectFile() const { return m_folder / L"Project\u00e9.xml"; }

    // Writes a whole project file through the writers.
    void WriteFullProject()
    {
        XmlDocument doc;
        ProjectModel docModel;
        ASSERT_TRUE(doc.Load(ShippedRawProjectFile()));
        const std::wstring path = ProjectFile();
        DirectoryChangeMap added{{L"C:\\Program Files\\App", {L"C:\\Program Files\\App\\a.exe",
                                                              L"C:\\Program Files\\App\\b \"&\" \u00e9.dll"}},
                                 {L"C:\\Program Files\\App\\Sub", {L"C:\\Program Files\\App\\Sub\\c.txt"}}};
        DirectoryChangeMap modified{{L"D:\\Data", {L"D:\\Data\\d.dat"}}};
        DirectoryChangeMap deleted;
        EXPECT_TRUE(WriteFileList(doc, ChangeOrigin::Added, added, m_tokens, path, FileListMode::KeepAll));
        EXPECT_TRUE(WriteFileList(doc, ChangeOrigin::Modified, modified, m_tokens, path, FileListMode::KeepAll));
        EXPECT_TRUE(WriteFileList(doc, ChangeOrigin::Deleted, deleted, m_tokens, path, FileListMode::KeepAll));
        RegistryChangeMap keys{{L"HKEY_CURRENT_USER\\Software\\App",
                                {{L"", L"\"A\"", L"REG_SZ", L"ignored"}, {L"", L"@", L"REG_DWORD", L""}}}};
        RegistryChangeMap none;
        RegistryChangeMap gone{{L"HKEY_LOCAL_MACHINE\\Software\\Old", {{L"", L"\"X\"", L"REG_BINARY", L""}}}};
        EXPECT_TRUE(WriteRegistryList(doc, ChangeOrigin::Added, keys, path));
        EXPECT_TRUE(WriteRegistryList(doc, ChangeOrigin::Modified, none, path));
        EXPECT_TRUE(WriteRegistryList(doc, ChangeOrigin::Deleted, gone, path));
        IniChangeMap ini{{L"%WINDIR%\\app.ini", {{L"Main", L"K1", L"V1"}, {L"Main", L"K2", L"V2"}}}};
        IniChangeMap noIni;
        EXPECT_TRUE(WriteIniList(doc, ChangeOrigin::Added, noIni, path));
        EXPECT_TRUE(WriteIniList(doc, ChangeOrigin::Modified, ini, path));
        EXPECT_TRUE(WriteIniList(doc, ChangeOrigin::Deleted, noIni, path));
        const std::wstring icon = L"C:\\Program Files\\App\\app.ico";
        EXPECT_TRUE(WriteShortcutList(doc, {{L"App", L"a.exe", L"[ProgramMenuFolder]", icon, L"1"}, CapturedShortcut()},
                                      m_tokens, ProjectFile()));
        EXPECT_TRUE(WriteShortcutIcons(doc, {{icon, {L"6", L"AAECAw", {L"a.exe", L"b.exe"}}}}, ProjectFile()));
        EXPECT_TRUE(WriteProductInfo(doc, {L"First", L"1.0", L"Maker"}, ProjectFile()));
        EXPECT_TRUE(WriteProductInfo(doc, {L"Second", L"2.0", L"Maker", Pinned}, ProjectFile()));
    }

    // A shortcut the capture read from a setup's link, with the optional attributes.
    static ShortcutRecord CapturedShortcut()
    {
        ShortcutRecord tool{L"Tool", L"%PROGRAMFILES%\\App\\a.exe", L"ProgramMenuFolder", L"", L""};
        tool.Subfolder = L"Vendor\\Tools";
        tool.Arguments = L"--mode \"fast\"";
        tool.WorkingFolder = L"C:\\Program Files\\App";
        tool.Description = L"Runs the tool";
        tool.ShowCommand = L"7";
        return tool;
    }

    // An UpgradeCode the user wrote into the project file.
    static constexpr const wchar_t* Pinned = L"{0C0FFEE0-1234-5678-9ABC-DEF012345678}";

    TempFolder m_folder;
    FolderTokenValues m_tokens;
};

} // namespace

TEST_F(ProjectReadersTest, FullProjectFileReadsBackIntoTheModel)
{
    WriteFullProject();
    XmlDocument doc;
    ProjectModel docModel;
    ASSERT_TRUE(doc.Load(ProjectFile()));
    ReadProjectLists(doc, docModel);

    const std::wstring app = L"%PROGRAMFILES%\\App";
    const std::wstring sub = L"%PROGRAMFILES%\\App\\Sub";
    EXPECT_EQ(docModel.AllFolders, (std::vector<std::wstring>{sub, app, L"D:\\Data"}));
    EXPECT_EQ(docModel.AllFiles, (std::vector<std::wstring>{sub + L"\\c.txt", app + L"\\b \"&\" \u00e9.dll",
                                                          app + L"\\a.exe", L"D:\\Data\\d.dat"}));
    EXPECT_EQ(docModel.Changes.Files(ChangeOrigin::Added),
              (DirectoryChangeMap{{app, {app + L"\\b \"&\" \u00e9.dll", app + L"\\a.exe"}}, {sub, {sub + L"\\c.txt"}}}));
    EXPECT_EQ(docModel.Changes.Files(ChangeOrigin::Modified), (DirectoryChangeMap{{L"D:\\Data", {L"D:\\Data\\d.dat"}}}));
    EXPECT_TRUE(docModel.Changes.Files(ChangeOrigin::Deleted).empty());

    const std::wstring key = L"HKEY_CURRENT_USER\\Software\\App";
    EXPECT_EQ(docModel.AllRegistryKeys, (std::vector<std::wstring>{key, L"HKEY_LOCAL_MACHINE\\Software\\Old"}));
    EXPECT_EQ(docModel.Changes.Registry(ChangeOrigin::Added), (RegistryChangeMap{{key, {{key, L"@", L"REG_DWORD", L""}, {key, L"\"A\"", L"REG_SZ", L""}}}}))
        << "the data string is not stored; it reads back empty";
    EXPECT_TRUE(docModel.Changes.Registry(ChangeOrigin::Modified).empty());
    EXPECT_EQ(docModel.Changes.Registry(ChangeOrigin::Deleted).size(), 1u);
    EXPECT_TRUE(docModel.Changes.Ini(ChangeOrigin::Added).empty()) << "INI lists are read on their own";

    docModel.Changes.Ini(ChangeOrigin::Modified) = ReadIniList(doc, ChangeOrigin::Modified);
    EXPECT_EQ(docModel.Changes.Ini(ChangeOrigin::Modified),
              (IniChangeMap{{L"%WINDIR%\\app.ini", {{L"Main", L"K2", L"V2"}, {L"Main", L"K1", L"V1"}}}}));

    ShortcutList shortcuts;
    ReadShortcutList(doc, shortcuts, m_tokens);
    EXPECT_EQ(shortcuts, (ShortcutList{CapturedShortcut(), {L"App", L"a.exe", L"[ProgramMenuFolder]",
                                                             L"C:\\Program Files\\App\\app.ico", L"1"}}))
        << "the icon path and working folder come back real; a shortcut without the optional attributes reads "
           "them empty";
    IconMap icons;
    ReadShortcutIcons(doc, icons);
    EXPECT_EQ(icons, (IconMap{{L"C:\\Program Files\\App\\app.ico", {L"6", L"AAECAw", {L"b.exe", L"a.exe"}}}}));

    ProductInfo product;
    ASSERT_TRUE(ReadProductInfo(doc, product));
    EXPECT_EQ(product, (ProductInfo{L"Second", L"2.0", L"Maker", Pinned})) << "the newest stands first";

    // Reading again replaces the model instead of adding to it.
    ReadProjectLists(doc, docModel);
    EXPECT_EQ(docModel.AllFiles.size(), 4u);
    EXPECT_EQ(docModel.Changes.Files(ChangeOrigin::Added).size(), 2u);
}

TEST_F(ProjectReadersTest, HandWrittenFileWithExtrasAndGaps)
{
    // A fourth value attribute, an element without attributes, comments and
    // whitespace between elements, a missing INI section and no product.
    WriteFileBytes(ProjectFile(),
                   "<?xml version=\"1.0\"?>\r\n<P>\r\n"
                   "  <FileSystem><AddedItems><DirectoryList>\r\n"
                   "    <!-- a comment -->\r\n"
                   "    <Directory Name=\"%WINDIR%\\System32\">\r\n      <File Name=\"x.dll\"/>\r\n      <File/>\r\n"
                   "    </Directory>\r\n"
                   "    <Directory Name=\"%APPDATA%\\Empty\"/>\r\n"
                   "  </DirectoryList></AddedItems></FileSystem>\r\n"
                   "  <RegistrySystem><DeletedItems><SubKeyList>\r\n"
                   "    <SubKey Name=\"HKLM\\Software\\K\"><Value Name=\"v\" Type=\"REG_SZ\" Data=\"d\"/>"
                   "<Value Name=\"w\"/></SubKey>\r\n"
                   "  </SubKeyList></DeletedItems></RegistrySystem>\r\n"
                   "  <ProductInformation>\r\n  </ProductInformation>\r\n"
                   "</P>\r\n");
    XmlDocument doc;
    ProjectModel docModel;
    ASSERT_TRUE(doc.Load(ProjectFile()));
    ReadProjectLists(doc, docModel);
    EXPECT_EQ(docModel.AllFolders, (std::vector<std::wstring>{L"%WINDIR%\\System32", L"%APPDATA%\\Empty"}));
    EXPECT_EQ(docModel.AllFiles, (std::vector<std::wstring>{L"%WINDIR%\\System32\\x.dll", L"%WINDIR%\\System32\\"}))
        << "folders keep their tokens; a missing attribute reads as empty";
    EXPECT_EQ(docModel.Changes.Files(ChangeOrigin::Added).count(L"%APPDATA%\\Empty"), 1u);
    EXPECT_TRUE(docModel.Changes.Files(ChangeOrigin::Added).at(L"%APPDATA%\\Empty").empty());
    EXPECT_EQ(docModel.Changes.Registry(ChangeOrigin::Deleted), (RegistryChangeMap{{L"HKLM\\Software\\K",
                                                      {{L"HKLM\\Software\\K", L"v", L"REG_SZ", L"d"},
                                                       {L"HKLM\\Software\\K", L"w", L"", L""}}}}));
    docModel.Changes.Ini(ChangeOrigin::Added) = ReadIniList(doc, ChangeOrigin::Added);
    EXPECT_TRUE(docModel.Changes.Ini(ChangeOrigin::Added).empty()) << "a missing list reads as empty";

    ProductInfo product{L"kept", L"kept", L"kept"};
    EXPECT_FALSE(ReadProductInfo(doc, product));
    EXPECT_EQ(product, (ProductInfo{L"kept", L"kept", L"kept"}));
    ShortcutList shortcuts;
    ReadShortcutList(doc, shortcuts, m_tokens);
    EXPECT_TRUE(shortcuts.empty());
}

TEST_F(ProjectReadersTest, RegenerateRebuildsTheFileFromTheEditedModel)
{
    WriteFullProject();
    XmlDocument doc;
    ProjectModel docModel;
    ASSERT_TRUE(doc.Load(ProjectFile()));
    ReadProjectLists(doc, docModel);

    // The review page moves a file to another folder in the model.
    const std::wstring app = L"%PROGRAMFILES%\\App";
    DirectoryChangeMap& added = docModel.Changes.Files(ChangeOrigin::Added);
    added.erase(L"%PROGRAMFILES%\\App\\Sub");
    added[L"E:\\Found"].push_back(L"E:\\Found\\c.txt");
    docModel.Changes.Registry(ChangeOrigin::Deleted).clear();

    ASSERT_TRUE(RegenerateProjectFile(doc, docModel, m_tokens, ShippedRawProjectFile(), ProjectFile()));
    ASSERT_TRUE(doc.Save()) << "a later plain save goes to the project file";

    XmlDocument check;

    ProjectModel checkModel;
    ASSERT_TRUE(check.Load(ProjectFile()));
    ReadProjectLists(check, checkModel);
    EXPECT_EQ(checkModel.Changes.Files(ChangeOrigin::Added),
              (DirectoryChangeMap{{app, {app + L"\\a.exe", app + L"\\b \"&\" \u00e9.dll"}},
                                  {L"E:\\Found", {L"E:\\Found\\c.txt"}}}))
        << "rewritten from the model (file order reverses with each write)";
    EXPECT_EQ(checkModel.Changes.Files(ChangeOrigin::Modified).size(), 1u);
    EXPECT_TRUE(checkModel.Changes.Registry(ChangeOrigin::Deleted).empty());
    EXPECT_EQ(checkModel.Changes.Registry(ChangeOrigin::Added).size(), 1u);
    checkModel.Changes.Ini(ChangeOrigin::Modified) = ReadIniList(check, ChangeOrigin::Modified);
    EXPECT_EQ(checkModel.Changes.Ini(ChangeOrigin::Modified).at(L"%WINDIR%\\app.ini").size(), 2u);

    ShortcutList shortcuts;
    ReadShortcutList(check, shortcuts, m_tokens);
    ASSERT_EQ(shortcuts.size(), 2u);
    EXPECT_EQ(shortcuts[0].Icon, L"C:\\Program Files\\App\\app.ico");
    EXPECT_EQ(shortcuts[1], CapturedShortcut()) << "the optional attributes survive a rebuild";
    IconMap icons;
    ReadShortcutIcons(check, icons);
    EXPECT_EQ(icons.size(), 1u);
    ProductInfo product;
    ASSERT_TRUE(ReadProductInfo(check, product));
    EXPECT_EQ(product, (ProductInfo{L"Second", L"2.0", L"Maker", Pinned})) << "a pinned UpgradeCode is kept";
    EXPECT_EQ(check.Root().SelectSingleNode(NodePath::Product).GetChildCount(), 1)
        << "the rebuilt file holds one product information";

    // The raw project file itself is never written.
    XmlDocument raw;
    ASSERT_TRUE(raw.Load(ShippedRawProjectFile()));
    EXPECT_EQ(raw.Root().SelectSingleNode(NodePath::FilesAdded).GetChildCount(), 0);

    // A project file that cannot be written fails the rebuild and keeps its content.
    const std::wstring project = ProjectFile();
    const std::string before = ReadFileBytes(project);
    ASSERT_TRUE(check.Load(project));
    ReadProjectLists(check, checkModel);
    checkModel.Changes.Files(ChangeOrigin::Added)[L"E:\\Later"].push_back(L"E:\\Later\\d.txt");
    {
        // Another program holds the file open for reading, sharing no writes.
        UniqueFile held(CreateFileW(project.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(held.valid());
        EXPECT_FALSE(RegenerateProjectFile(check, checkModel, m_tokens, ShippedRawProjectFile(), ProjectFile()));
    }
    EXPECT_EQ(ReadFileBytes(project), before);
}

TEST_F(ProjectReadersTest, AttributesAreReadByNameAndOnlyProjectFilesPassTheBuildCheck)
{
    struct Case
    {
        const char* name;
        const char* xml;
        ProductInfo product; // as read
        const wchar_t* problem; // part of ProjectFileProblem's answer; "" when it passes
    };
    const Case cases[] = {
        {"attributes in another order",
         "<CorvaneProject><ProductInformation><ProductInformation CompanyName=\"Acme\" Version=\"2.0\" "
         "ApplicationName=\"App\"/></ProductInformation></CorvaneProject>",
         {L"App", L"2.0", L"Acme"}, L""},
        {"no Version",
         "<CorvaneProject><ProductInformation><ProductInformation ApplicationName=\"App\" CompanyName=\"Acme\"/>"
         "</ProductInformation></CorvaneProject>",
         {L"App", L"", L"Acme"}, L"no Version"},
        {"empty product information",
         "<CorvaneProject><ProductInformation/></CorvaneProject>", {}, L"product information"},
        {"include/exclude file",
         "<IncludeExclude><FileSystem><IncludedItems/></FileSystem></IncludeExclude>", {}, L"root element"},
        {"web page", "<html><body>x</body></html>", {}, L"root element"},
        {"a file listed twice, once in each list and another letter case",
         "<CorvaneProject><FileSystem><AddedItems><DirectoryList><Directory Name=\"%PROGRAMFILES%\\App\">"
         "<File Name=\"a.dll\"/></Directory></DirectoryList></AddedItems><ModifiedItems><DirectoryList>"
         "<Directory Name=\"%PROGRAMFILES%\\app\"><File Name=\"A.DLL\"/></Directory></DirectoryList>"
         "</ModifiedItems></FileSystem><ProductInformation><ProductInformation ApplicationName=\"App\" "
         "Version=\"1\" CompanyName=\"Acme\"/></ProductInformation></CorvaneProject>",
         {L"App", L"1", L"Acme"}, L"the file %PROGRAMFILES%\\app\\A.DLL is listed twice"},
        {"the same name in two folders",
         "<CorvaneProject><FileSystem><AddedItems><DirectoryList><Directory Name=\"C:\\A\"><File Name=\"x\"/>"
         "</Directory><Directory Name=\"C:\\B\"><File Name=\"x\"/></Directory></DirectoryList></AddedItems>"
         "</FileSystem><ProductInformation><ProductInformation ApplicationName=\"App\" Version=\"1\" "
         "CompanyName=\"Acme\"/></ProductInformation></CorvaneProject>",
         {L"App", L"1", L"Acme"}, L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFileBytes(ProjectFile(), c.xml);
        XmlDocument doc;
        ProjectModel docModel;
        ASSERT_TRUE(doc.Load(ProjectFile()));
        ProductInfo read;
        // Found exactly where the file has a product information element.
        const bool found = static_cast<bool>(ReadProductInfo(doc, read));
        EXPECT_EQ(found, c.product != ProductInfo{});
        EXPECT_EQ(read, c.product);
        const std::wstring problem = ProjectFileProblem(doc);
        if (*c.problem == L'\0')
            EXPECT_EQ(problem, L"");
        else
            EXPECT_NE(problem.find(c.problem), std::wstring::npos) << ToUtf8(problem);
    }
    // A section whose elements lack attributes reads them as empty, not as
    // their neighbours'.
    WriteFileBytes(ProjectFile(), "<CorvaneProject><RegistrySystem><AddedItems><SubKeyList><SubKey Name=\"HKCU\\K\">"
                                  "<Value Type=\"REG_SZ\"/></SubKey></SubKeyList></AddedItems></RegistrySystem>"
                                  "<INIFileSystem><AddedItems><FileList><File Name=\"a.ini\"><Section Key=\"k\" "
                                  "Value=\"v\"/></File></FileList></AddedItems></INIFileSystem></CorvaneProject>");
    XmlDocument doc;
    ProjectModel docModel;
    ASSERT_TRUE(doc.Load(ProjectFile()));
    ReadRegistryList(doc, ChangeOrigin::Added, docModel);
    ASSERT_EQ(docModel.Changes.Registry(ChangeOrigin::Added).at(L"HKCU\\K").size(), 1u);
    EXPECT_EQ(docModel.Changes.Registry(ChangeOrigin::Added).at(L"HKCU\\K")[0], (RegistryChangeEntry{L"HKCU\\K", L"", L"REG_SZ", L""}));
    docModel.Changes.Ini(ChangeOrigin::Added) = ReadIniList(doc, ChangeOrigin::Added);
    EXPECT_EQ(docModel.Changes.Ini(ChangeOrigin::Added).at(L"a.ini")[0], (IniChangeEntry{L"", L"k", L"v"}));

    // A document the parser refuses: its reason and line come with the answer.
    WriteFileBytes(ProjectFile(), "<CorvaneProject>\n<FileSystem>\n</CorvaneProject>\n");
    XmlDocument broken;
    EXPECT_FALSE(broken.Load(ProjectFile()));
    const std::wstring problem = ProjectFileProblem(broken);
    const std::wstring lead = L"not a well-formed XML document: ";
    const auto at = problem.find(lead);
    ASSERT_NE(at, std::wstring::npos) << ToUtf8(problem);
    EXPECT_GT(problem.size(), at + lead.size()) << "the parser's reason follows";
    // MSXML gives the line where it stopped; Wine's parser gives a reason only.
    if (const auto line = problem.find(L"(line "); line != std::wstring::npos) {
        EXPECT_EQ(problem.substr(line, 8), L"(line 3,") << ToUtf8(problem);
    }
}

TEST_F(ProjectReadersTest, PlatformIsReadByNameWhereverItStands)
{
    struct Case
    {
        const char* element;
        const wchar_t* platform;
    };
    const Case cases[] = {
        {"<ProductInformation ApplicationName=\"A\" Version=\"1\" CompanyName=\"C\"/>", L""},
        {"<ProductInformation ApplicationName=\"A\" Version=\"1\" CompanyName=\"C\" Platform=\"x64\"/>", L"x64"},
        // Another optional attribute before it: the position does not matter.
        {"<ProductInformation ApplicationName=\"A\" Version=\"1\" CompanyName=\"C\" Extra=\"{1}\" Platform=\"x64\"/>",
         L"x64"},
    };
    for (const Case& c : cases) {
        WriteFileBytes(ProjectFile(), std::string("<?xml version=\"1.0\"?>\r\n<P><ProductInformation>") + c.element +
                                          "</ProductInformation></P>\r\n");
        XmlDocument doc;
        ProjectModel docModel;
        ASSERT_TRUE(doc.Load(ProjectFile()));
        ProductInfo product;
        ASSERT_TRUE(ReadProductInfo(doc, product));
        EXPECT_EQ(product, (ProductInfo{L"A", L"1", L"C", L"", c.platform})) << c.element;
    }

    // Written only when there is one, after the three attributes readers take by position.
    XmlDocument doc;
    ProjectModel docModel;
    ASSERT_TRUE(doc.Load(ShippedRawProjectFile()));
    EXPECT_TRUE(WriteProductInfo(doc, {L"A", L"1", L"C", L"", L"x64"}, ProjectFile()));
    EXPECT_TRUE(WriteProductInfo(doc, {L"B", L"2", L"C"}, ProjectFile()));
    const std::string saved = ReadFileBytes(ProjectFile());
    EXPECT_NE(saved.find("<ProductInformation ApplicationName=\"A\" Version=\"1\" CompanyName=\"C\" Platform=\"x64\"/>"),
              std::string::npos)
        << saved;
    EXPECT_NE(saved.find("<ProductInformation ApplicationName=\"B\" Version=\"2\" CompanyName=\"C\"/>"),
              std::string::npos)
        << saved;
}

TEST_F(ProjectReadersTest, RegenerateKeepsServicesAndVariablesOnlyWhereTheFileHadThem)
{
    WriteFullProject();
    const ServiceList services{{L"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\S", L"S", L"Display"}};
    const EnvironmentList variables{{L"HKEY_CURRENT_USER\\Environment", L"Path", false, EnvironmentAction::Extend,
                                     L"", {}, {L"C:\\Program Files\\App\\bin"}}};
    for (const bool recorded : {true, false}) {
        SCOPED_TRACE(recorded ? "recorded" : "an earlier project file");
        XmlDocument doc;
        ProjectModel docModel;
        ASSERT_TRUE(doc.Load(ProjectFile()));
        if (recorded) {
            ASSERT_TRUE(WriteServiceList(doc, services, ProjectFile()));
            ASSERT_TRUE(WriteEnvironmentList(doc, variables, ProjectFile()));
        }
        ReadProjectLists(doc, docModel);
        ASSERT_TRUE(RegenerateProjectFile(doc, docModel, m_tokens, ShippedRawProjectFile(), ProjectFile()));

        XmlDocument check;

        ProjectModel checkModel;
        ASSERT_TRUE(check.Load(ProjectFile()));
        EXPECT_EQ(ReadServiceList(check), recorded ? services : ServiceList{});
        EXPECT_EQ(ReadEnvironmentList(check), recorded ? variables : EnvironmentList{});
        EXPECT_EQ(check.Root().SelectSingleNode(SystemSection::Services).IsNull(), !recorded);
        if (recorded)
            WriteFullProject(); // the next round starts from a file without the sections
    }
}

TEST_F(ProjectReadersTest, TheWholeModelReadsEverySectionAtOnce)
{
    WriteFullProject();
    XmlDocument doc;
    ASSERT_TRUE(doc.Load(ProjectFile()));
    const ProjectModel model = ReadProjectModel(doc, m_tokens);
    const std::wstring app = L"%PROGRAMFILES%\\App";
    EXPECT_EQ(model.AllFiles.size(), 4u);
    EXPECT_EQ(model.Changes.Files(ChangeOrigin::Added).at(app).size(), 2u);
    EXPECT_EQ(model.Changes.Registry(ChangeOrigin::Deleted).size(), 1u);
    EXPECT_EQ(model.Changes.Ini(ChangeOrigin::Modified).at(L"%WINDIR%\\app.ini").size(), 2u)
        << "unlike the list readers, the whole model holds the INI lists";
    EXPECT_TRUE(model.Changes.Ini(ChangeOrigin::Added).empty());
    EXPECT_EQ(model.Shortcuts.size(), 2u);
    EXPECT_EQ(model.Icons.size(), 1u);
    EXPECT_EQ(model.Product, (ProductInfo{L"Second", L"2.0", L"Maker", Pinned}));
    EXPECT_FALSE(model.HasSystemSettings) << "the shipped raw project file has no service list";
    EXPECT_TRUE(model.Services.empty());
}
