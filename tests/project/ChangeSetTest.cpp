#include "project/ChangeSet.h"

#include <gtest/gtest.h>

#include <set>

TEST(ChangeSet, EachAreaAndOriginHasItsOwnListAndMap)
{
    struct Row
    {
        ChangeArea Area;
        ChangeOrigin Origin;
        const wchar_t* Path;
    };
    const Row rows[] = {
        {ChangeArea::Files, ChangeOrigin::Added, L"FileSystem//AddedItems//DirectoryList"},
        {ChangeArea::Files, ChangeOrigin::Modified, L"FileSystem//ModifiedItems//DirectoryList"},
        {ChangeArea::Files, ChangeOrigin::Deleted, L"FileSystem//DeletedItems//DirectoryList"},
        {ChangeArea::Registry, ChangeOrigin::Added, L"RegistrySystem//AddedItems//SubKeyList"},
        {ChangeArea::Registry, ChangeOrigin::Modified, L"RegistrySystem//ModifiedItems//SubKeyList"},
        {ChangeArea::Registry, ChangeOrigin::Deleted, L"RegistrySystem//DeletedItems//SubKeyList"},
        {ChangeArea::Ini, ChangeOrigin::Added, L"INIFileSystem//AddedItems//FileList"},
        {ChangeArea::Ini, ChangeOrigin::Modified, L"INIFileSystem//ModifiedItems//FileList"},
        {ChangeArea::Ini, ChangeOrigin::Deleted, L"INIFileSystem//DeletedItems//FileList"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.Path);
        EXPECT_STREQ(ListPathOf(row.Area, row.Origin), row.Path);
        const auto list = ChangeListOf(row.Path);
        ASSERT_TRUE(list.has_value());
        EXPECT_EQ(list->Area, row.Area);
        EXPECT_EQ(list->Origin, row.Origin);
    }
    for (const wchar_t* other : {L"ShortcutList", L"FileSystem//AddedItems", L"", L"fileSystem//AddedItems//DirectoryList"})
        EXPECT_FALSE(ChangeListOf(other).has_value()) << other;

    // One change filed per origin lands in three different maps, and only there.
    ChangeSet set;
    EXPECT_TRUE(set.Empty());
    std::set<const void*> maps;
    for (ChangeOrigin origin : Origins) {
        set.Files(origin)[L"C:\\App"].push_back(L"C:\\App\\a.dll");
        set.Registry(origin)[L"HKEY_LOCAL_MACHINE\\Software\\App"];
        set.Ini(origin)[L"[WINDIR]\\app.ini"];
        maps.insert(&set.Files(origin));
        maps.insert(&set.Registry(origin));
        maps.insert(&set.Ini(origin));
    }
    EXPECT_EQ(maps.size(), 9u);
    EXPECT_FALSE(set.Empty());
    for (ChangeOrigin origin : Origins)
        EXPECT_EQ(set.Files(origin).size(), 1u);
}
