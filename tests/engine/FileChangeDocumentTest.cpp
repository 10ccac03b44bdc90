#include "common/Paths.h"
#include "tests/engine/FileTestFixture.h"

#include "project/ProjectReaders.h"
#include "project/ProjectWriters.h"

namespace {

using FileChangeDocument = FileEnumerateFixture;

// One element of a change list with the first attribute of each child.
struct ListedItem
{
    std::wstring Name;
    std::vector<std::vector<std::wstring>> Children; // every attribute of each child, in order

    friend bool operator==(const ListedItem&, const ListedItem&) = default;
};

void PrintTo(const ListedItem& item, std::ostream* os)
{
    *os << ToUtf8(item.Name) << " {";
    for (const auto& child : item.Children) {
        *os << " (";
        for (const auto& a : child)
            *os << ToUtf8(a) << ";";
        *os << ")";
    }
    *os << " }";
}

std::vector<ListedItem> ReadList(const std::wstring& documentPath, const std::wstring& listPath)
{
    std::vector<ListedItem> items;
    XmlDocument document;
    EXPECT_TRUE(document.Load(documentPath)) << ToUtf8(documentPath);
    const XmlNode list = document.Root().SelectSingleNode(listPath);
    EXPECT_FALSE(list.IsNull()) << ToUtf8(listPath);
    for (long i = 0; i < list.GetChildCount(); ++i) {
        const XmlNode element = list.GetChild(i);
        if (!element.IsElement())
            continue;
        ListedItem item{element.GetAttribute(0), {}};
        for (long j = 0; j < element.GetChildCount(); ++j) {
            const XmlNode child = element.GetChild(j);
            if (!child.IsElement())
                continue;
            std::vector<std::wstring> attributes;
            for (long a = 0; a < child.GetAttributeCount(); ++a)
                attributes.push_back(child.GetAttribute(a));
            item.Children.push_back(attributes);
        }
        items.push_back(item);
    }
    return items;
}

using Names = std::vector<std::vector<std::wstring>>;

// As the coordinator does: the second capture removed the change files'
// folder, which must exist again before the comparison writes there.
Result Compare(CFileEnumerate& e, const WorkPaths& paths)
{
    EnsureFolder(paths.TempFolder());
    Result compared = e.CompareSnapshot();
    return compared ? e.WriteChangeDocuments() : compared;
}

} // namespace

TEST_F(FileChangeDocument, ComparisonWritesFileAndIniChangesInDocumentOrder)
{
    // The captured tree lies below the program files token.
    const std::wstring pf = m_root / L"Program Files";
    MakeFolder(pf);
    MakeFolder(pf + L"\\App");
    WriteFileBytes(pf + L"\\App\\keep.dll", "keep");
    WriteFileBytes(pf + L"\\App\\gone.dll", "gone");
    WriteFileBytes(pf + L"\\App\\app.ini", "[Main]\r\nVersion=1\r\nOld=o\r\n");
    ChangeSet changes;
    auto e = NewEnumerator(&changes);
    ASSERT_TRUE(e->CaptureSnapshot({pf + L"\\"}));

    ASSERT_TRUE(DeleteFileW((pf + L"\\App\\gone.dll").c_str()));
    WriteFileBytes(pf + L"\\App\\app.ini", "[Main]\r\nVersion=2\r\n[Zed]\r\nb=2\r\na=1\r\n");
    WriteFileBytes(pf + L"\\App\\b.dll", "b");
    WriteFileBytes(pf + L"\\App\\a.exe", "a");
    WriteFileBytes(pf + L"\\App\\c.tmp", "c");
    MakeFolder(pf + L"\\Alpha");
    WriteFileBytes(pf + L"\\Alpha\\x.txt", "x");
    MakeFolder(pf + L"\\Caf\u00e9");
    WriteFileBytes(pf + L"\\Caf\u00e9\\na\u00efve.txt", "n");
    MakeFolder(pf + L"\\\u6587\u4ef6");
    WriteFileBytes(pf + L"\\\u6587\u4ef6\\\u6f22.dat", "k");
    MakeFolder(pf + L"\\Empty");

    e = NewEnumerator(&changes); // the second capture after a restart
    ASSERT_TRUE(e->CaptureSnapshot({pf + L"\\"}));
    ASSERT_TRUE(Compare(*e, m_paths));

    // Added: folders in descending order of name, the files of each reversed;
    // the temporary file has nothing to pack, the empty folder is written
    // without files (the package creates it).
    const auto added = ReadList(m_paths.FileChangesPath, NodePath::FilesAdded);
    std::vector<ListedItem> expected = {
        {L"%PROGRAMFILES%\\\u6587\u4ef6", Names{{L"\u6f22.dat"}}},
        {L"%PROGRAMFILES%\\Empty", Names{}},
        {L"%PROGRAMFILES%\\Caf\u00e9", Names{{L"na\u00efve.txt"}}},
        {L"%PROGRAMFILES%\\App", Names{{L"b.dll"}, {L"a.exe"}}},
        {L"%PROGRAMFILES%\\Alpha", Names{{L"x.txt"}}},
    };
    EXPECT_EQ(added, expected);
    EXPECT_EQ(e->Changes().Files(ChangeOrigin::Added).count(pf + L"\\Empty"), 1u) << "the empty folder stays in the map";
    EXPECT_EQ(e->AddedNotes().Executables, std::vector<std::wstring>{pf + L"\\App\\a.exe"});

    // A deleted file cannot be packed, so nothing is written for it.
    EXPECT_TRUE(ReadList(m_paths.FileChangesPath, NodePath::FilesDeleted).empty());
    EXPECT_TRUE(e->Changes().Files(ChangeOrigin::Deleted).empty());

    const std::wstring iniKey = L"%PROGRAMFILES%\\App\\app.ini";
    EXPECT_EQ(ReadList(m_paths.IniChangesPath, NodePath::IniModified),
              (std::vector<ListedItem>{{iniKey, Names{{L"Main", L"Version", L"2"}}}}));
    EXPECT_EQ(ReadList(m_paths.IniChangesPath, NodePath::IniAdded),
              (std::vector<ListedItem>{{iniKey, Names{{L"Zed", L"b", L"2"}, {L"Zed", L"a", L"1"}}}}));
    EXPECT_EQ(ReadList(m_paths.IniChangesPath, NodePath::IniDeleted),
              (std::vector<ListedItem>{{iniKey, Names{{L"Main", L"Old", L"o"}}}}));

    // The review page edits the maps and has them written again: every listed
    // file is kept, even one that no longer exists.
    changes.Files(ChangeOrigin::Deleted)[pf + L"\\App"].push_back(pf + L"\\App\\gone.dll");
    changes.Files(ChangeOrigin::Added).erase(pf + L"\\Alpha");
    EXPECT_TRUE(e->WriteFileChanges());
    const auto rewritten = ReadList(m_paths.FileChangesPath, NodePath::FilesAdded);
    ASSERT_EQ(rewritten.size(), 4u);
    EXPECT_EQ(rewritten.back().Name, L"%PROGRAMFILES%\\App");
    EXPECT_EQ(ReadList(m_paths.FileChangesPath, NodePath::FilesDeleted),
              (std::vector<ListedItem>{{L"%PROGRAMFILES%\\App", Names{{L"gone.dll"}}}}));
}

TEST_F(FileChangeDocument, ARepeatedComparisonDoesNotDuplicateElements)
{
    WriteFileBytes(In(L"a.txt"), "a");
    auto e = NewEnumerator();
    ASSERT_TRUE(e->CaptureSnapshot({TreeRoot()}));
    WriteFileBytes(In(L"b.txt"), "b");
    WriteFileBytes(In(L"n.ini"), "[S]\r\nk=v\r\n");
    ASSERT_TRUE(e->CaptureSnapshot({TreeRoot()}));
    ASSERT_TRUE(Compare(*e, m_paths));
    ASSERT_TRUE(e->CaptureSnapshot({TreeRoot()}));
    ASSERT_TRUE(Compare(*e, m_paths));

    EXPECT_EQ(ReadList(m_paths.FileChangesPath, NodePath::FilesAdded),
              (std::vector<ListedItem>{{Tree(), Names{{L"b.txt"}}}}));
    EXPECT_EQ(ReadList(m_paths.IniChangesPath, NodePath::IniAdded),
              (std::vector<ListedItem>{{In(L"n.ini"), Names{{L"S", L"k", L"v"}}}}));
}

TEST_F(FileChangeDocument, WriteFileChangesNeedsTheRawProjectFile)
{
    ChangeSet changes;
    auto e = NewEnumerator(&changes);
    changes.Files(ChangeOrigin::Added)[L"C:\\App"].push_back(L"C:\\App\\a.dll");
    ASSERT_TRUE(DeleteFileW((m_root / L"Raw.xml").c_str()));
    EXPECT_FALSE(e->WriteFileChanges());
    EXPECT_FALSE(PathExists(m_paths.FileChangesPath));
    EXPECT_EQ(e->Changes().Files(ChangeOrigin::Added).size(), 1u);
}
