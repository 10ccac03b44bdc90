// The store of excluded changes, where the review pages do not reach: paths
// compared by components, a file taken back out of a folder excluded whole,
// and exclusions applied again to maps filled anew. (Folders and keys going
// out and back whole are tested through the review pages.)
#include "engine/ExcludedChanges.h"

#include <gtest/gtest.h>

namespace {

// The file area of a capture's change set, seen through the maps the store edits.
struct FileMaps
{
    ChangeSet changes;
    DirectoryChangeMap& added = changes.Files(ChangeOrigin::Added);
    DirectoryChangeMap& modified = changes.Files(ChangeOrigin::Modified);
    DirectoryChangeMap& deleted = changes.Files(ChangeOrigin::Deleted);
    ChangeMaps<std::wstring> Maps() { return FileChangeMaps(changes); }
    FileMaps() = default;
    FileMaps(const FileMaps& other) : changes(other.changes) {}
};

FileMaps Capture()
{
    FileMaps maps;
    maps.added = {{L"C:\\App", {L"C:\\App\\a.exe", L"C:\\App\\b.dll"}},
                  {L"C:\\App\\sub", {L"C:\\App\\sub\\c.txt"}},
                  {L"C:\\App2", {L"C:\\App2\\d.txt"}}};
    maps.modified = {{L"C:\\App", {L"C:\\App\\old.cfg"}}, {L"C:\\Windows", {L"C:\\Windows\\win.dat"}}};
    maps.deleted = {{L"C:\\App\\gone", {L"C:\\App\\gone\\e.txt"}}, {L"C:", {L"C:\\root.txt"}}};
    return maps;
}

TEST(ExcludedChanges, PathsCompareByComponents)
{
    struct Case { const wchar_t* key; const wchar_t* path; bool below; };
    const Case cases[] = {
        {L"C:\\App", L"C:\\App", true},      {L"C:\\App\\sub", L"C:\\App", true},
        {L"C:\\App2", L"C:\\App", false},    {L"C:\\app", L"C:\\App", false},
        {L"C:\\App", L"C:", true},           {L"HKEY_CURRENT_USER\\Run", L"HKEY_CURRENT_USER\\RunOnce", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsSameOrBelow(c.key, c.path), c.below) << c.key << L" under " << c.path;
    EXPECT_EQ(ParentKey(L"C:\\App\\bin\\a.dll"), L"C:\\App\\bin");
    EXPECT_EQ(ParentKey(L"C:\\a.txt"), L"C:");
}

TEST(ExcludedChanges, FileExclusionAndPartialRestore)
{
    FileMaps maps = Capture();
    CExcludedFileChanges store;

    EXPECT_TRUE(store.ExcludeEntry(maps.Maps(), L"C:", L"C:\\root.txt", L"deleted file"));
    EXPECT_TRUE(maps.deleted.at(L"C:").empty());
    EXPECT_FALSE(store.ExcludeEntry(maps.Maps(), L"C:\\App", L"C:\\App\\none.txt", L"x"));

    // A file of a folder that is then excluded whole comes back alone; the
    // rest of the folder stays excluded until the folder is included.
    store.ExcludeKey(maps.Maps(), L"C:\\App\\sub", L"sub folder");
    ASSERT_FALSE(maps.added.count(L"C:\\App\\sub"));
    EXPECT_TRUE(store.RestoreEntry(maps.Maps(), L"C:\\App\\sub", L"C:\\App\\sub\\c.txt"));
    EXPECT_EQ(maps.added.at(L"C:\\App\\sub"), std::vector<std::wstring>{L"C:\\App\\sub\\c.txt"});
    EXPECT_EQ(store.Changes().size(), 2u); // the deleted file and the (now empty) sub folder

    // Reapplying after the maps were filled again takes the same entries out.
    FileMaps fresh = Capture();
    store.Reapply(fresh.Maps());
    EXPECT_FALSE(fresh.added.count(L"C:\\App\\sub"));
    EXPECT_TRUE(fresh.deleted.at(L"C:").empty());

    store.RestoreEntry(maps.Maps(), L"C:", L"C:\\root.txt");
    EXPECT_EQ(maps.deleted.at(L"C:"), std::vector<std::wstring>{L"C:\\root.txt"});
}

} // namespace
