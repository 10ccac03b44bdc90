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
    CXMLDocumentHandler doc;
    EXPECT_FALSE(doc.IsLoaded());
    EXPECT_EQ(doc.Load(m_folder / L"missing.xml"), 0);
    EXPECT_FALSE(doc.IsLoaded());

    const std::wstring good = Write(L"good.xml", "<Root><A/></Root>");
    EXPECT_EQ(doc.Load(good), 1);
    EXPECT_TRUE(doc.IsLoaded());
    EXPECT_EQ(doc.GetRootNode().GetName(), L"Root");

    const std::wstring bad = Write(L"bad.xml", "<Root><A></Root>");
    EXPECT_EQ(doc.Load(bad), 0);
    EXPECT_FALSE(doc.IsLoaded()) << "a failed load clears the loaded flag";
}

TEST_F(XmlLayerTest, ChildrenAddedOneAfterAnotherStandInReverseOrder)
{
    CXMLDocumentHandler doc;
    ASSERT_EQ(doc.Load(Write(L"d.xml", "<Root><List/></Root>")), 1);
    XmlNode list = doc.GetRootNode().SelectSingleNode(L"List");
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
    CXMLDocumentHandler doc;
    ASSERT_EQ(doc.Load(Write(L"d.xml", "<Root/>")), 1);
    XmlNode entry = doc.GetRootNode().AddChildElement(L"ExcludedEntry");
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

    CXMLDocumentHandler doc; // nothing loaded
    EXPECT_TRUE(doc.GetRootNode().IsNull());
    EXPECT_EQ(doc.Save(), 0) << "no loaded file to save back to";
}

TEST_F(XmlLayerTest, MalformedPathSelectsNothingAndDoesNotThrow)
{
    CXMLDocumentHandler doc;
    ASSERT_EQ(doc.Load(Write(L"d.xml", "<Root><A><B/></A></Root>")), 1);
    const XmlNode root = doc.GetRootNode();
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
        CXMLDocumentHandler doc;
        ASSERT_EQ(doc.Load(path), 1);
        doc.GetRootNode().SelectSingleNode(L"List").AddChildElement(L"Item").SetAttribute(L"Name", L"one");
        ASSERT_EQ(doc.Save(), 1);
    }
    CXMLDocumentHandler again;
    ASSERT_EQ(again.Load(path), 1);
    EXPECT_EQ(ChildNames(again.GetRootNode().SelectSingleNode(L"List")), std::vector<std::wstring>{L"one"});
}

TEST_F(XmlLayerTest, NonAsciiTextAndMarkupCharactersSurviveARoundTrip)
{
    const std::wstring value = L"Caf\u00e9 \"quoted\" & <tagged> 'single' \u65e5\u672c \U0001F600";
    const std::wstring folder = m_folder / L"\u00fcber \u0444\u0430\u0439\u043b";
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    const std::wstring path = folder + L"\\Pr\u00f6ject.xml";
    WriteFileBytes(path, "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Root/>");
    {
        CXMLDocumentHandler doc;
        ASSERT_EQ(doc.Load(path), 1) << "UTF-8 path overload";
        XmlNode e = doc.GetRootNode().AddChildElement(L"Entry");
        ASSERT_TRUE(e.SetAttribute(L"Name", value));
        ASSERT_EQ(doc.Save(path), 1);
    }
    CXMLDocumentHandler again;
    ASSERT_EQ(again.Load(path), 1);
    EXPECT_EQ(again.GetRootNode().SelectSingleNode(L"Entry").GetAttribute(0), value);
}

TEST_F(XmlLayerTest, RemoveAndReplaceChildren)
{
    CXMLDocumentHandler doc;
    ASSERT_EQ(doc.Load(Write(L"d.xml", "<Root><S><L><X/><X/></L><L><X/></L></S><T/></Root>")), 1);
    XmlNode root = doc.GetRootNode();
    EXPECT_EQ(root.RemoveNodes(L"S//X"), 3);
    EXPECT_TRUE(root.SelectSingleNode(L"S//X").IsNull());
    EXPECT_EQ(root.RemoveNodes(L"S//X"), 0);

    // A subtree of another document takes the place of a section.
    CXMLDocumentHandler other;
    ASSERT_EQ(other.Load(Write(L"o.xml", "<Other><T><Y Name=\"from other\"/></T></Other>")), 1);
    XmlNode replacement = other.GetRootNode().SelectSingleNode(L"T");
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
    CXMLDocumentHandler doc;
    ASSERT_EQ(doc.Load(ShippedRawProjectFile()), 1);
    const XmlNode root = doc.GetRootNode();
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
