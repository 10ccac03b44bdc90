#include "tests/project/XmlTestSupport.h"

#include <gtest/gtest.h>

namespace {

class XmlLayerTest : public ::testing::Test
{
protected:
    std::wstring Write(const wchar_t* name, const std::string& xml)
    {
        const std::wstring path = m_folder / name;
        WriteFileBytes(path, xml);
        return path;
    }

    TempFolder m_folder;
};

} // namespace

TEST_F(XmlLayerTest, LoadReportsMissingAndMalformedFilesAsFailures)
{
    XmlDocument doc;
    EXPECT_FALSE(doc.IsLoaded());
    EXPECT_FALSE(doc.Load(m_folder / L"missing.xml"));
    EXPECT_FALSE(doc.IsLoaded());

    const std::wstring good = Write(L"good.xml", "<Root><A/></Root>");
    EXPECT_TRUE(doc.Load(good));
    EXPECT_TRUE(doc.IsLoaded());
    EXPECT_EQ(doc.Root().GetName(), L"Root");

    const std::wstring bad = Write(L"bad.xml", "<Root><A></Root>");
    EXPECT_FALSE(doc.Load(bad));
    EXPECT_FALSE(doc.IsLoaded()) << "a failed load clears the loaded flag";
}

TEST_F(XmlLayerTest, ChildrenAddedOneAfterAnotherStandInReverseOrder)
{
    XmlDocument doc;
    ASSERT_TRUE(doc.Load(Write(L"d.xml", "<Root><List/></Root>")));
    XmlNode list = doc.Root().SelectSingleNode(L"List");
    ASSERT_FALSE(list.IsNull());
    for (const wchar_t* name : {L"A", L"B", L"C"})
        ASSERT_FALSE(list.AddChildElement(name).IsNull());
    EXPECT_EQ(ElementNames(list), (std::vector<std::wstring>{L"C", L"B", L"A"}));
    EXPECT_EQ(list.GetChildCount(), 3);
    EXPECT_EQ(list.GetChild(0).GetName(), L"C");
    EXPECT_EQ(list.GetChild(2).GetName(), L"A");
    EXPECT_TRUE(list.GetChild(3).IsNull());
    EXPECT_TRUE(list.GetChild(-1).IsNull());
}

TEST_F(XmlLayerTest, AttributesAreReadBackByThePositionTheyWereSetIn)
{
    XmlDocument doc;
    ASSERT_TRUE(doc.Load(Write(L"d.xml", "<Root/>")));
    XmlNode entry = doc.Root().AddChildElement(L"ExcludedEntry");
    ASSERT_TRUE(entry.SetAttribute(L"Name", L"C:\\Temp"));
    ASSERT_TRUE(entry.SetAttribute(L"Description", L"scratch"));
    EXPECT_EQ(entry.GetAttribute(0), L"C:\\Temp");
    EXPECT_EQ(entry.GetAttribute(1), L"scratch");
    EXPECT_EQ(entry.GetAttribute(2), L"") << "past the last attribute";
    EXPECT_EQ(entry.GetAttribute(-1), L"");
    // Setting an existing attribute again replaces its value in place.
    ASSERT_TRUE(entry.SetAttribute(L"Name", L"D:\\Other"));
    EXPECT_EQ(Attributes(entry), (std::vector<std::wstring>{L"D:\\Other", L"scratch"}));
}

TEST_F(XmlLayerTest, EmptyHandlerAnswersNoneEverywhere)
{
    XmlNode none;
    EXPECT_TRUE(none.IsNull());
    EXPECT_TRUE(none.SelectSingleNode(L"A").IsNull());
    EXPECT_TRUE(none.SelectNodes(L"A").empty());
    EXPECT_TRUE(none.AddChildElement(L"A").IsNull());
    EXPECT_FALSE(none.SetAttribute(L"Name", L"x"));
    EXPECT_EQ(none.GetAttribute(0), L"");
    EXPECT_EQ(none.GetChildCount(), 0);
    EXPECT_EQ(none.GetName(), L"");
    EXPECT_EQ(none.RemoveNodes(L"A"), 0);
    EXPECT_FALSE(none.RemoveChild(none));

    XmlDocument doc; // nothing loaded
    EXPECT_TRUE(doc.Root().IsNull());
    EXPECT_FALSE(doc.Save()) << "no loaded file to save back to";
}

TEST_F(XmlLayerTest, MalformedPathSelectsNothingAndDoesNotThrow)
{
    XmlDocument doc;
    ASSERT_TRUE(doc.Load(Write(L"d.xml", "<Root><A><B/></A></Root>")));
    const XmlNode root = doc.Root();
    EXPECT_TRUE(root.SelectSingleNode(L"A//[").IsNull());
    EXPECT_TRUE(root.SelectSingleNode(L"((").IsNull());
    EXPECT_TRUE(root.SelectNodes(L"A//[").empty());
    EXPECT_FALSE(root.SelectSingleNode(L"A//B").IsNull());
    EXPECT_TRUE(root.SelectSingleNode(L"Nothing").IsNull());
}

TEST_F(XmlLayerTest, SaveWithEmptyPathWritesBackToTheLoadedFile)
{
    const std::wstring path = Write(L"d.xml", "<Root><List/></Root>");
    {
        XmlDocument doc;
        ASSERT_TRUE(doc.Load(path));
        doc.Root().SelectSingleNode(L"List").AddChildElement(L"Item").SetAttribute(L"Name", L"one");
        ASSERT_TRUE(doc.Save());
    }
    XmlDocument again;
    ASSERT_TRUE(again.Load(path));
    EXPECT_EQ(ChildNames(again.Root().SelectSingleNode(L"List")), std::vector<std::wstring>{L"one"});
}

TEST_F(XmlLayerTest, NonAsciiTextAndMarkupCharactersSurviveARoundTrip)
{
    const std::wstring value = L"Caf\u00e9 \"quoted\" & <tagged> 'single' \u65e5\u672c \U0001F600";
    const std::wstring folder = m_folder / L"\u00fcber \u0444\u0430\u0439\u043b";
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    const std::wstring path = folder + L"\\Pr\u00f6ject.xml";
    WriteFileBytes(path, "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Root/>");
    {
        XmlDocument doc;
        ASSERT_TRUE(doc.Load(path)) << "UTF-8 path overload";
        XmlNode e = doc.Root().AddChildElement(L"Entry");
        ASSERT_TRUE(e.SetAttribute(L"Name", value));
        ASSERT_TRUE(doc.Save(path));
    }
    XmlDocument again;
    ASSERT_TRUE(again.Load(path));
    EXPECT_EQ(again.Root().SelectSingleNode(L"Entry").GetAttribute(0), value);
}

TEST_F(XmlLayerTest, RemoveAndReplaceChildren)
{
    XmlDocument doc;
    ASSERT_TRUE(doc.Load(Write(L"d.xml", "<Root><S><L><X/><X/></L><L><X/></L></S><T/></Root>")));
    XmlNode root = doc.Root();
    EXPECT_EQ(root.RemoveNodes(L"S//X"), 3);
    EXPECT_TRUE(root.SelectSingleNode(L"S//X").IsNull());
    EXPECT_EQ(root.RemoveNodes(L"S//X"), 0);

    // A subtree of another document takes the place of a section.
    XmlDocument other;
    ASSERT_TRUE(other.Load(Write(L"o.xml", "<Other><T><Y Name=\"from other\"/></T></Other>")));
    XmlNode replacement = other.Root().SelectSingleNode(L"T");
    XmlNode old = root.SelectSingleNode(L"T");
    ASSERT_TRUE(root.ReplaceChild(replacement, old));
    EXPECT_EQ(root.SelectSingleNode(L"T//Y").GetAttribute(0), L"from other");
    EXPECT_EQ(ElementNames(root), (std::vector<std::wstring>{L"S", L"T"}));

    XmlNode s = root.SelectSingleNode(L"S");
    EXPECT_TRUE(root.RemoveChild(s));
    EXPECT_FALSE(root.RemoveChild(s)) << "no longer a child";
    EXPECT_EQ(ElementNames(root), std::vector<std::wstring>{L"T"});
}

TEST_F(XmlLayerTest, ShippedRawProjectFileHoldsEveryEmptyList)
{
    XmlDocument doc;
    ASSERT_TRUE(doc.Load(ShippedRawProjectFile()));
    const XmlNode root = doc.Root();
    EXPECT_EQ(ElementNames(root), (std::vector<std::wstring>{L"FileSystem", L"RegistrySystem", L"INIFileSystem",
                                                            L"ShortcutList", L"ShortcutICONs", L"ProductInformation"}));
    for (const wchar_t* path :
         {NodePath::FilesAdded, NodePath::FilesModified, NodePath::FilesDeleted, NodePath::RegistryAdded,
          NodePath::RegistryModified, NodePath::RegistryDeleted, NodePath::IniAdded, NodePath::IniModified,
          NodePath::IniDeleted, NodePath::Shortcuts, NodePath::ShortcutIcons, NodePath::Product}) {
        const auto found = root.SelectNodes(path);
        ASSERT_EQ(found.size(), 1u) << path;
        EXPECT_TRUE(ElementNames(found[0]).empty()) << path;
    }
}

TEST_F(XmlLayerTest, FailedLoadsAndSavesCarryTheirCodeAndThePathInTheirText)
{
    XmlDocument doc;
    const std::wstring malformed = Write(L"bad.xml", "<Root><A></Root>");
    const struct {
        std::wstring path;
        bool parserReason; // the parser names why: the text holds LoadError()
    } loads[] = {
        {m_folder / L"missing.xml", false},
        {malformed, true},
    };
    for (const auto& load : loads) {
        const Result loaded = doc.Load(load.path);
        ASSERT_FALSE(loaded) << ToUtf8(load.path);
        EXPECT_NE(loaded.Code(), static_cast<DWORD>(ERROR_SUCCESS));
        EXPECT_EQ(loaded.Text().rfind(L"Unable to load " + load.path + L" (error ", 0), 0u) << ToUtf8(loaded.Text());
        if (load.parserReason) {
            EXPECT_FALSE(doc.LoadError().empty());
            EXPECT_NE(loaded.Text().find(doc.LoadError()), std::wstring::npos) << ToUtf8(loaded.Text());
        }
    }

    ASSERT_TRUE(doc.Load(Write(L"good.xml", "<Root/>")));
    const std::wstring nowhere = m_folder / L"no such folder\\out.xml";
    const Result saved = doc.Save(nowhere);
    ASSERT_FALSE(saved);
    EXPECT_NE(saved.Code(), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(saved.Text().rfind(L"Unable to save " + nowhere + L" (error ", 0), 0u) << ToUtf8(saved.Text());
    EXPECT_TRUE(doc.Save()) << "a failed save to elsewhere leaves the document's own path";
}
