#include "common/PathSetup.h"
#include "project/IncludeExclude.h"
#include "tests/project/XmlTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

const char* const SampleFile =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
    "<IncludeExclude><FileSystem><IncludedItems><IncludedEntry Name=\"%SYSDRIVE%\"/></IncludedItems>"
    "<ExcludedItems>"
    "<ExcludedEntry Name=\"%WINDIR%\\temp\" Description=\"first one wins\"/>"
    "<ExcludedEntry Name=\"%WINDIR%\\TEMP\" Description=\"duplicate\"/>"
    "<ExcludedEntry Name=\"%WINDIR%\\Prefetch\"/>"
    "<ExcludedEntry Name=\"%SYSDRIVE%\\Caf\xc3\xa9 &amp; co\" Description=\"quotes &quot;kept&quot;\"/>"
    "</ExcludedItems></FileSystem>"
    "<RegistrySystem><IncludedItems><IncludedEntry Name=\"HKEY_LOCAL_MACHINE\"/>"
    "<IncludedEntry Name=\"HKEY_CURRENT_USER\"/></IncludedItems>"
    "<ExcludedItems><ExcludedEntry Name=\"HKEY_LOCAL_MACHINE\\SYSTEM\\RNG\" Description=\"seed\"/></ExcludedItems>"
    "</RegistrySystem></IncludeExclude>\r\n";

// A program folder with the default include/exclude file, work paths
// pointing at it, and an empty selection.
class IncludeExcludeFile : public ::testing::Test
{
protected:
    void SetUp() override
    {
        WriteFileBytes(m_folder / L"DefaultIncludeExclude.xml", SampleFile);
        ASSERT_TRUE(InitializePaths(m_paths, m_tokens, L"", L""));
    }

    void LoadAll(XmlDocument& doc, const std::wstring& file)
    {
        ASSERT_TRUE(doc.Load(file));
        for (const wchar_t* path : {IncludeExcludePath::FilesIncluded, IncludeExcludePath::FilesExcluded,
                                    IncludeExcludePath::RegistryIncluded, IncludeExcludePath::RegistryExcluded})
            ReadIncludeExcludeList(doc, path, m_selection);
    }

    std::wstring Default() const { return m_folder / L"DefaultIncludeExclude.xml"; }
    std::wstring Updated() const { return m_folder / L"UpdatedIncludeExclude.xml"; }

    TempFolder m_folder;
    CapturedLog m_log{m_folder};
    IncludeExcludeSelection m_selection;
    WorkPaths m_paths;
    FolderTokenValues m_tokens;
};

} // namespace

TEST_F(IncludeExcludeFile, ListsAreKeyedByUpperCaseNamesAndTheFirstEntryWins)
{
    XmlDocument doc;
    LoadAll(doc, Default());
    EXPECT_EQ(m_selection.FilesIncluded, (IncludedItemMap{{L"%SYSDRIVE%", L"%SYSDRIVE%"}}));
    EXPECT_EQ(m_selection.RegistryIncluded.size(), 2u);
    ASSERT_EQ(m_selection.FilesExcluded.size(), 3u);
    EXPECT_EQ(m_selection.FilesExcluded.at(L"%WINDIR%\\TEMP"), (ExcludedItem{L"%WINDIR%\\temp", L"first one wins"}));
    EXPECT_EQ(m_selection.FilesExcluded.at(L"%WINDIR%\\PREFETCH"), (ExcludedItem{L"%WINDIR%\\Prefetch", L""}))
        << "a missing description reads as empty";
    EXPECT_EQ(m_selection.FilesExcluded.at(L"%SYSDRIVE%\\CAF\u00e9 & CO").Description, L"quotes \"kept\"");
    EXPECT_EQ(m_selection.RegistryExcluded.at(L"HKEY_LOCAL_MACHINE\\SYSTEM\\RNG").Description, L"seed");

    // Loading again adds nothing and removes nothing.
    LoadAll(doc, Default());
    EXPECT_EQ(m_selection.FilesExcluded.size(), 3u);
}

TEST_F(IncludeExcludeFile, EachSaveGoesToItsOwnTargetWhateverFileTheDocumentCameFrom)
{
    XmlDocument doc;
    std::wstring includeExcludePath = Default();
    LoadAll(doc, Default());
    m_selection.FilesExcluded.emplace(L"%WINDIR%\\LOGS", ExcludedItem{L"%WINDIR%\\Logs", L"logs"});

    // OK on Excluded Items: the updated file, made from the default one.
    RegenerateIncludeExcludeFile(doc, m_selection, 1, L"UpdatedIncludeExclude.xml", m_paths, includeExcludePath);
    EXPECT_EQ(includeExcludePath, m_paths.UpdatedIncludeExcludePath);
    {
        XmlDocument saved;
        ASSERT_TRUE(saved.Load(Updated()));
        // Entries are added as first children: descending order of the upper-cased names.
        EXPECT_EQ(ChildNames(saved.Root().SelectSingleNode(IncludeExcludePath::FilesExcluded)),
                  (std::vector<std::wstring>{L"%WINDIR%\\temp", L"%WINDIR%\\Prefetch", L"%WINDIR%\\Logs",
                                             L"%SYSDRIVE%\\Caf\u00e9 & co"}));
        const XmlNode logs =
            saved.Root().SelectSingleNode(IncludeExcludePath::FilesExcluded).GetChild(2);
        EXPECT_EQ(Attributes(logs), (std::vector<std::wstring>{L"%WINDIR%\\Logs", L"logs"}));
        EXPECT_EQ(ChildNames(saved.Root().SelectSingleNode(IncludeExcludePath::FilesIncluded)),
                  (std::vector<std::wstring>{L"%SYSDRIVE%"}))
            << "the included lists stay as they were";
    }

    m_selection.RegistryIncluded.emplace(L"HKEY_USERS", L"HKEY_USERS");
    ASSERT_TRUE(doc.Load(Updated()));
    RegenerateIncludeExcludeFile(doc, m_selection, 0, L"UpdatedIncludeExclude.xml", m_paths, includeExcludePath);
    EXPECT_EQ(includeExcludePath, m_paths.UpdatedIncludeExcludePath);

    // Set As Default on Excluded Items after that: the default file, though
    // the document came from the updated one.
    m_selection.FilesExcluded.emplace(L"%WINDIR%\\DEBUG", ExcludedItem{L"%WINDIR%\\Debug", L"debug"});
    ASSERT_TRUE(doc.Load(Default()));
    RegenerateIncludeExcludeFile(doc, m_selection, 1, L"DefaultIncludeExclude.xml", m_paths, includeExcludePath);
    EXPECT_EQ(includeExcludePath, m_paths.DefaultIncludeExcludePath);
    XmlDocument updated;
    ASSERT_TRUE(updated.Load(Updated()));
    EXPECT_EQ(ChildNames(updated.Root().SelectSingleNode(IncludeExcludePath::RegistryIncluded)),
              (std::vector<std::wstring>{L"HKEY_USERS", L"HKEY_LOCAL_MACHINE", L"HKEY_CURRENT_USER"}));
    EXPECT_EQ(ChildNames(updated.Root().SelectSingleNode(IncludeExcludePath::FilesExcluded)).size(), 4u)
        << "the updated file keeps its own exclusions";
    XmlDocument original;
    ASSERT_TRUE(original.Load(Default()));
    EXPECT_EQ(ChildNames(original.Root().SelectSingleNode(IncludeExcludePath::FilesExcluded)).size(), 5u);
    EXPECT_EQ(ChildNames(original.Root().SelectSingleNode(IncludeExcludePath::RegistryIncluded)).size(), 2u)
        << "its included lists stay as they were";
}

TEST_F(IncludeExcludeFile, FailuresAreLoggedWithTheirExactMessages)
{
    {
        XmlDocument notLoaded;
        std::wstring path = Default();
        RegenerateIncludeExcludeFile(notLoaded, m_selection, 0, L"UpdatedIncludeExclude.xml", m_paths, path);
        RegenerateIncludeExcludeFile(notLoaded, m_selection, 7, L"UpdatedIncludeExclude.xml", m_paths, path); // no such mode: nothing

        WriteFileBytes(m_folder / L"bare.xml", "<Root><FileSystem/></Root>");
        XmlDocument bare;
        ASSERT_TRUE(bare.Load(m_folder / L"bare.xml"));
        WriteIncludeExcludeEntries(bare, m_selection, IncludeExcludePath::RegistryExcluded, m_folder / L"bare.xml");
    }
    EXPECT_EQ(m_log.Messages(),
              (std::vector<std::string>{
                  "CXMLDocumentHandler::RegenerateIncludeExcludeFile XML File Not Loaded",
                  "CXMLDocumentHandler::RegenerateIncludeExcludeFile Unable to \t\t\t\t\t\t\t   find "
                  "RegistrySystem//ExcludedItems node in XML file",
              }));
}

TEST_F(IncludeExcludeFile, EntriesWithoutANameAreSkippedWithALogLine)
{
    WriteFileBytes(Default(), "<IncludeExclude><FileSystem><IncludedItems><IncludedEntry Name=\"\"/>"
                              "<IncludedEntry/><IncludedEntry Description=\"no name\"/>"
                              "<IncludedEntry Name=\"%PROGRAMFILES%\"/></IncludedItems><ExcludedItems>"
                              "<ExcludedEntry Description=\"nameless\"/></ExcludedItems></FileSystem>"
                              "<RegistrySystem><IncludedItems><IncludedEntry/></IncludedItems></RegistrySystem>"
                              "</IncludeExclude>");
    {
        XmlDocument doc;
        LoadAll(doc, Default());
    }
    EXPECT_EQ(m_selection.FilesIncluded, (IncludedItemMap{{L"%PROGRAMFILES%", L"%PROGRAMFILES%"}}));
    EXPECT_TRUE(m_selection.FilesExcluded.empty());
    EXPECT_TRUE(m_selection.RegistryIncluded.empty());
    const auto messages = m_log.Messages();
    EXPECT_EQ(std::count_if(messages.begin(), messages.end(),
                            [](const std::string& m) { return m.find("has no name; skipped") != std::string::npos; }),
              5);
}

TEST_F(IncludeExcludeFile, ASelectionOfItsOwnIsReadAndWrittenWithoutTheProcessWideLists)
{
    IncludeExcludeSelection selection;
    const struct {
        const wchar_t* listPath;
        const void* included;
        const void* excluded;
    } lists[] = {
        {IncludeExcludePath::FilesIncluded, &selection.FilesIncluded, nullptr},
        {IncludeExcludePath::RegistryIncluded, &selection.RegistryIncluded, nullptr},
        {IncludeExcludePath::FilesExcluded, nullptr, &selection.FilesExcluded},
        {IncludeExcludePath::RegistryExcluded, nullptr, &selection.RegistryExcluded},
        {NodePath::FilesAdded, nullptr, nullptr},
    };
    for (const auto& list : lists) {
        EXPECT_EQ(selection.IncludedFor(list.listPath), list.included) << list.listPath;
        EXPECT_EQ(selection.ExcludedFor(list.listPath), list.excluded) << list.listPath;
    }

    XmlDocument doc;
    ASSERT_TRUE(doc.Load(Default()));
    for (const auto& list : lists)
        ReadIncludeExcludeList(doc, list.listPath, selection);
    EXPECT_EQ(selection.FilesExcluded.size(), 3u);
    EXPECT_EQ(selection.RegistryIncluded.size(), 2u);
    EXPECT_EQ(m_selection, IncludeExcludeSelection{}) << "the fixture's own selection stays empty";

    // Written from the selection alone, to the file the given work paths name
    // (not the process's table), the file reads back as the same selection.
    selection.RegistryExcluded.emplace(L"HKEY_USERS\\X", ExcludedItem{L"HKEY_USERS\\x", L"own"});
    std::wstring path = Default();
    WorkPaths elsewhere;
    elsewhere.UpdatedIncludeExcludePath = Updated() + L".elsewhere.xml";
    RegenerateIncludeExcludeFile(doc, selection, 1, L"UpdatedIncludeExclude.xml", elsewhere, path);
    EXPECT_EQ(path, elsewhere.UpdatedIncludeExcludePath);
    XmlDocument saved;
    ASSERT_TRUE(saved.Load(path));
    IncludeExcludeSelection again;
    for (const auto& list : lists)
        ReadIncludeExcludeList(saved, list.listPath, again);
    EXPECT_EQ(again, selection);
}
