// The rules of the existing-project road without a window: icons of a project
// file written back as files, shortcut records merged per name, the build
// target checks, and the updates of the content review page on real files
// and registry keys.
#include "common/FolderTokens.h"
#include "common/Utf.h"
#include "project/Base64.h"
#include "tests/support/RegistryTestHelpers.h"
#include "tests/support/TestSupport.h"
#include "ui/pages/BuildMsiRules.h"
#include "ui/pages/ProjectFileContentReviewRules.h"
#include "ui/wizard/Resource.h"

#include <gtest/gtest.h>

namespace {

std::wstring Token(const std::wstring& real, const FolderTokenValues& tokens)
{
    std::wstring path = real;
    ToTokenPath(path, tokens);
    return path;
}

} // namespace

TEST(BuildMsiLogic, StoredIconsAreWrittenBackUnderTheirFileNames)
{
    TempFolder folder;
    const std::string bytes("\x00\x00\x01\x00\x01\x00\x10\x10\xFF\x0A", 10);
    IconMap icons;
    icons[L"C:\\elsewhere\\ExtractedIcon\\app.exe_2.ico"].Data = EncodeBase64(bytes.data(), bytes.size());
    icons[L"tool.ico"].Data = L"AAECAw";
    icons[L"C:\\ends\\with\\"].Data = L"AAECAw"; // no file name: nothing to write
    const std::wstring target = folder / L"ExtractedIcon"; // made when missing
    EXPECT_EQ(RestoreIconFiles(icons, target), 2);
    EXPECT_EQ(ReadFileBytes(target + L"\\app.exe_2.ico"), bytes);
    EXPECT_EQ(ReadFileBytes(target + L"\\tool.ico"), std::string("\x00\x01\x02\x03", 4));
}

TEST(BuildMsiLogic, RecordsOfOneNameMergeIntoOneEntryWithTheirPlaces)
{
    TempFolder folder;
    const std::wstring icons = folder / L"ExtractedIcon";
    ASSERT_TRUE(CreateDirectoryW(icons.c_str(), nullptr));
    WriteFileBytes(icons + L"\\app.exe_0.ico", "icon");
    const std::wstring dll = folder / L"shell.dll"; // an icon source that was not stored, still on the machine
    WriteFileBytes(dll, "dll");
    const ShortcutList records = {
        {L"App", L"app.exe", L"QuickLaunchFolder", L"C:\\old\\ExtractedIcon\\app.exe_0.ico", L"0"},
        {L"Tool", L"tool.exe", L"ProgramMenuFolder", dll, L"3"},
        {L"App", L"app.exe", L"DesktopFolder", L"C:\\old\\ExtractedIcon\\app.exe_0.ico", L"0"},
        {L"Gone", L"gone.exe", L"SomewhereFolder", L"C:\\old\\gone.ico", L"1"},
    };
    const ShortcutEntryMap entries = MergeShortcutRecords(records, icons);
    const ShortcutEntryMap expected = {
        {L"App", {L"App", L"app.exe", icons + L"\\app.exe_0.ico", 0, true, false, true, {records[0], records[2]}}},
        {L"Gone", {L"Gone", L"gone.exe", icons + L"\\gone.ico", 1, false, false, false, {records[3]}}},
        {L"Tool", {L"Tool", L"tool.exe", dll, 3, false, true, false, {records[1]}}},
    };
    EXPECT_EQ(entries, expected);

    // Back into records, the merged entry gives one record per place again.
    ShortcutEntryMap app = {*entries.find(L"App")};
    ShortcutList again;
    IconMap files;
    ASSERT_TRUE(PrepareShortcuts(app, icons, again, files));
    EXPECT_EQ(again, (ShortcutList{{L"App", L"app.exe", L"DesktopFolder", icons + L"\\app.exe_0.ico", L"0"},
                                   {L"App", L"app.exe", L"QuickLaunchFolder", icons + L"\\app.exe_0.ico", L"0"}}));
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files.begin()->second.Data, EncodeBase64("icon", 4));
}

TEST(BuildMsiLogic, BuildTargetChecksTheFolderAndTheMsiNameOnly)
{
    TempFolder folder;
    WriteFileBytes(folder / L"file.txt", "x");
    const struct {
        std::wstring target, msi, message;
        int field;
    } cases[] = {
        {folder / L"none", L"a.msi", L"Given Path does not exist", IDC_TARGET_PATH},
        {folder / L"file.txt", L"a.msi", L"Given Path is not an direectory", IDC_TARGET_PATH},
        {folder.Path(), L"  ", L"MSI File Name can not be empty", IDC_MSI_NAME},
        {folder.Path(), L"package.MSI", L"Repackager file should have .msi extension", IDC_MSI_NAME},
        {folder.Path(), L".msi", L"Specify name of the MSI file", IDC_MSI_NAME},
        {L" " + folder.Path() + L" ", L" a.msi.bak ", L"", 0},
    };
    for (const auto& c : cases) {
        const ProjectInputCheck check = CheckBuildTarget(c.target, c.msi);
        EXPECT_EQ(check.accepted, c.message.empty()) << ToUtf8(c.target + L" " + c.msi);
        EXPECT_EQ(check.message, c.message);
        EXPECT_EQ(check.field, c.field);
        if (check.accepted) {
            EXPECT_EQ(check.values.msiName, L"a.msi.bak");
        }
    }
}

TEST(ShowProjectLogic, TickedPathsCoverTheMissingEntriesBelowThem)
{
    const MissingEntryMap files = {
        {L"%PROGRAMFILES%\\App", {L"%PROGRAMFILES%\\App\\a.txt", L"%PROGRAMFILES%\\App\\b.txt"}},
        {L"%PROGRAMFILES%\\App\\Sub", {L"%PROGRAMFILES%\\App\\Sub\\c.txt"}},
        {L"%PROGRAMFILES%\\Apple", {L"%PROGRAMFILES%\\Apple\\d.txt"}},
    };
    const FolderTokenValues tokens = MachineTokens();
    std::wstring app = L"%PROGRAMFILES%\\App";
    ToRealPath(app, tokens);
    using Paths = std::vector<std::wstring>;
    EXPECT_EQ(MissingFilesUnder(files, {app + L"\\b.txt"}, tokens), Paths{L"%PROGRAMFILES%\\App\\b.txt"});
    // A folder covers its files and its subfolders' (not a sibling that shares its beginning), in any case.
    EXPECT_EQ(MissingFilesUnder(files, {app + L"\\"}, tokens),
              (Paths{L"%PROGRAMFILES%\\App\\a.txt", L"%PROGRAMFILES%\\App\\b.txt", L"%PROGRAMFILES%\\App\\Sub\\c.txt"}));
    std::wstring upper = app;
    CharUpperW(upper.data());
    EXPECT_EQ(MissingFilesUnder(files, {upper, app + L"\\Sub"}, tokens).size(), 3u);
    EXPECT_TRUE(MissingFilesUnder(files, {}, tokens).empty());

    const MissingEntryMap keys = {{L"HKEY_CURRENT_USER\\Software\\A", {}}, {L"HKEY_CURRENT_USER\\Software\\A\\B", {}},
                                  {L"HKEY_CURRENT_USER\\Software\\AB", {}}};
    EXPECT_EQ(MissingKeysUnder(keys, {L"HKEY_CURRENT_USER\\Software\\A"}),
              (Paths{L"HKEY_CURRENT_USER\\Software\\A", L"HKEY_CURRENT_USER\\Software\\A\\B"}));
}

TEST(ShowProjectLogic, MissingFilesMoveToTheChosenFolderWhereTheyExist)
{
    TempFolder folder;
    const FolderTokenValues tokens = MachineTokens();
    const std::wstring moved = folder / L"Moved";
    ASSERT_TRUE(CreateDirectoryW(moved.c_str(), nullptr));
    WriteFileBytes(moved + L"\\a.txt", "a");
    WriteFileBytes(moved + L"\\c.txt", "c");
    const std::wstring old = Token(folder / L"Old", tokens);
    const std::wstring other = Token(folder / L"Other", tokens);
    DirectoryChangeMap added = {{old, {old + L"\\a.txt", old + L"\\b.txt"}}};
    DirectoryChangeMap modified = {{other, {other + L"\\c.txt"}}};
    DirectoryChangeMap deleted;
    const std::vector<std::wstring> missing = {old + L"\\a.txt", old + L"\\b.txt", other + L"\\c.txt"};

    const auto relocated = RelocateFiles({&added, &modified, &deleted}, missing, moved + L"\\", tokens);
    const std::wstring to = Token(moved, tokens);
    ASSERT_EQ(relocated.size(), 2u) << "b.txt is not in the chosen folder";
    EXPECT_EQ(relocated[0].oldFolder, old);
    EXPECT_EQ(relocated[0].oldPath, old + L"\\a.txt");
    EXPECT_EQ(relocated[0].newPath, to + L"\\a.txt");
    // Each file stays in its own map; the emptied folder leaves it.
    EXPECT_EQ(added, (DirectoryChangeMap{{old, {old + L"\\b.txt"}}, {to, {to + L"\\a.txt"}}}));
    EXPECT_EQ(modified, (DirectoryChangeMap{{to, {to + L"\\c.txt"}}}));
    EXPECT_TRUE(deleted.empty());
    // Once there, a second update moves nothing.
    EXPECT_TRUE(RelocateFiles({&added, &modified, &deleted}, {to + L"\\a.txt"}, moved, tokens).empty());
}

TEST(ShowProjectLogic, MissingKeysMoveBelowTheChosenKeyWhereTheyExist)
{
    TestRegistryKey root(L"ShowProjectRescan");
    const std::wstring base = L"HKEY_CURRENT_USER\\" + root.SubPath();
    CreateKey(root.Key(), L"New\\Settings");
    const std::wstring oldKey = base + L"\\Old\\Settings";
    RegistryChangeMap added = {{oldKey, {{oldKey, L"\"v\"", L"REG_SZ", L"x"}}},
                               {base + L"\\Old\\Other", {{base + L"\\Old\\Other", L"@", L"REG_SZ", L"y"}}}};
    RegistryChangeMap modified, deleted;
    const auto relocated = RelocateKeys({&added, &modified, &deleted},
                                        {oldKey, base + L"\\Old\\Other", L"HKEY_NOWHERE\\Settings"}, base + L"\\New");
    ASSERT_EQ(relocated.size(), 1u);
    const std::wstring newKey = base + L"\\New\\Settings";
    EXPECT_EQ(relocated[0].newPath, newKey);
    EXPECT_EQ(added.count(oldKey), 0u);
    EXPECT_EQ(added[newKey], (std::vector<RegistryChangeEntry>{{newKey, L"\"v\"", L"REG_SZ", L"x"}}));
    EXPECT_EQ(added.count(base + L"\\Old\\Other"), 1u) << "no Other below the chosen key";
}

TEST(ShowProjectLogic, SummariesAndNext)
{
    EXPECT_EQ(FilesSummaryText(10, 1), L"Files Summary:\nTotal number of files: 10\nNumber of missing files: 1");
    EXPECT_EQ(RegistrySummaryText(RegistrySummaryWording::Opening, 4, 0),
              L"Registry Summary:\nTotal number of Subkeys: 4\nNumber of missing subkeys: 0");
    EXPECT_EQ(RegistrySummaryText(RegistrySummaryWording::ShowOnlyMissing, 4, 2),
              L"Registry Summary:\nTotal number of subkeys: 4\nNumber of missing subkeys: 2");
    EXPECT_EQ(RegistrySummaryText(RegistrySummaryWording::Rescanned, 4, 1),
              L"Registry Summary:\nTotal number of registries: 4\nNumber of missing registries: 1");

    using N = ShowProjectNext;
    const struct {
        bool missing, ignore, modified;
        N expected;
    } cases[] = {
        {true, false, false, N::Refuse},  {true, false, true, N::Refuse},
        {true, true, false, N::GoOn},     {true, true, true, N::RegenerateAndGoOn},
        {false, false, false, N::GoOn},   {false, false, true, N::RegenerateAndGoOn},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DecideShowProjectNext(c.missing, c.ignore, c.modified), c.expected)
            << c.missing << c.ignore << c.modified;
}
