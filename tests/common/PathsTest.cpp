#include "common/PathSetup.h"
#include "common/Utf.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

TEST(Paths, TableIsBuiltFromTheCurrentFolderAndTheEnvironment)
{
    TempFolder root;
    CreateDirectoryW((root / L"prog").c_str(), nullptr);
    ScopedCurrentDirectory cd(root / L"prog");
    ScopedEnvironment temp(L"temp", (root / L"work").c_str());
    ScopedEnvironment appdata(L"appdata", (root / L"Caf\u00e9 data").c_str());

    WorkPaths t;
    FolderTokenValues tokens;
    ASSERT_TRUE(InitializePaths(t, tokens, L"", L""));
    const std::wstring prog = root / L"prog";
    const std::wstring work = root / L"work";
    EXPECT_EQ(t.ProgramFolder, prog);
    EXPECT_EQ(t.WorkingRoot, work);
    EXPECT_EQ(t.OutputFolder, prog) << "wizard mode writes beside the program";
    EXPECT_EQ(t.MsiFileName, L"");
    EXPECT_EQ(t.ExtractedIconFolder, prog + L"\\ExtractedIcon");
    EXPECT_EQ(t.FileChangesPath, work + L"\\Temp\\FileChanges.xml");
    EXPECT_EQ(t.RegChangesPath, work + L"\\Temp\\RegChanges.xml");
    EXPECT_EQ(t.IniChangesPath, work + L"\\Temp\\INIChanges.xml");
    EXPECT_EQ(t.DefaultIncludeExcludePath, prog + L"\\DefaultIncludeExclude.xml");
    EXPECT_EQ(t.UpdatedIncludeExcludePath, prog + L"\\UpdatedIncludeExclude.xml");
    EXPECT_EQ(t.RawProjectFilePath, prog + L"\\RawProjectFile.xml");
    EXPECT_EQ(t.IniBackupFolder, (root / L"Caf\u00e9 data") + L"\\INIBackup");
    EXPECT_EQ(t.ConfigFilePath, prog + L"\\CorvaneRepackager.ini");
    EXPECT_EQ(tokens.temp, root / L"work");

    ASSERT_TRUE(InitializePaths(t, tokens, L"D:\\out\\", L"App.msi"));
    EXPECT_EQ(t.OutputFolder, L"D:\\out");
    EXPECT_EQ(t.MsiFileName, L"App.msi");
    EXPECT_EQ(t.PackagesFolder(), L"D:\\out\\Packages");
}

// The limit counts a root's UTF-8 bytes, not its UTF-16 characters: with the
// 32 bytes kept for the longest name, "C:\" and 494 two-byte characters just fit.
TEST(Paths, ARootTooLongForTheWorkingBuffersIsRefusedNotCut)
{
    TempFolder root;
    ScopedCurrentDirectory cd(root.Path());
    const std::wstring atLimit = L"C:\\" + std::wstring(494, L'\u00e9');
    const struct
    {
        const char* name;
        std::wstring temp;
        bool accepted;
    } cases[] = {
        {"far beyond the limit", L"C:\\" + std::wstring(1100, L'x'), false},
        {"two-byte characters up to the limit", atLimit, true},
        {"one byte beyond the limit", atLimit + L"x", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedEnvironment temp(L"temp", c.temp.c_str());
        WorkPaths paths;
        paths.WorkingRoot = L"C:\\earlier";
        FolderTokenValues tokens;
        EXPECT_EQ(InitializePaths(paths, tokens, L"", L""), c.accepted);
        EXPECT_EQ(paths.WorkingRoot, c.accepted ? c.temp : L"");
        EXPECT_EQ(paths.FileChangesPath.empty(), !c.accepted);
    }
}

TEST(Paths, HiveNamesMapShortAndLongNames)
{
    const auto& names = HiveNames();
    EXPECT_EQ(names.size(), 10u);
    EXPECT_EQ(names.at(L"HKLM"), HKEY_LOCAL_MACHINE);
    EXPECT_EQ(names.at(L"HKEY_LOCAL_MACHINE"), HKEY_LOCAL_MACHINE);
    EXPECT_EQ(names.at(L"HKCU"), HKEY_CURRENT_USER);
    EXPECT_EQ(names.at(L"HKEY_CLASSES_ROOT"), HKEY_CLASSES_ROOT);
    EXPECT_EQ(names.at(L"HKU"), HKEY_USERS);
    EXPECT_EQ(names.at(L"HKEY_CURRENT_CONFIG"), HKEY_CURRENT_CONFIG);
    EXPECT_EQ(names.count(L"hklm"), 0u) << "names are compared exactly";
}

TEST(Paths, ValueTextsAreClassifiedByTheirFirstMatchingPrefix)
{
    std::string_view data;
    EXPECT_EQ(ValueTypeNames[ClassifyValueText("dword:0000002a", &data)], std::string("REG_DWORD"));
    EXPECT_EQ(data, "0000002a");
    EXPECT_EQ(ValueTypeNames[ClassifyValueText("hex(2):25,00,00,00", &data)], std::string("REG_EXPAND_SZ"));
    EXPECT_EQ(data, "25,00,00,00");
    EXPECT_EQ(ValueTypeNames[ClassifyValueText("hex:01,02", &data)], std::string("REG_BINARY"));
    EXPECT_EQ(ValueTypeNames[ClassifyValueText("hex(b):01,00,00,00,00,00,00,00", &data)], std::string("REG_QWORD"));
    EXPECT_EQ(ValueTypeNames[ClassifyValueText("\"plain text\"", &data)], std::string("REG_SZ"));
    EXPECT_EQ(data, "\"plain text\"");
    EXPECT_EQ(ValueTypeNames[ClassifyValueText("", &data)], std::string("REG_SZ"));
    // hex(7) has no prefix of its own: it stays REG_SZ with its whole text.
    EXPECT_EQ(ValueTypeNames[ClassifyValueText("hex(7):61,00", &data)], std::string("REG_SZ"));
    EXPECT_EQ(data, "hex(7):61,00");
}

TEST(Paths, EnsureFolderCreatesOneLevelAndLeavesWhatExists)
{
    TempFolder root;
    const std::wstring& base = root.Path();
    EXPECT_TRUE(EnsureFolder(base + L"\\a"));
    EXPECT_TRUE(IsFolder(root / L"a"));
    EXPECT_FALSE(EnsureFolder(base + L"\\x\\y")) << "the parent must exist";
    EXPECT_FALSE(PathExists(root / L"x"));
    WriteFileBytes(root / L"file", "data");
    EXPECT_FALSE(EnsureFolder(base + L"\\file"));
    EXPECT_EQ(ReadFileBytes(root / L"file"), "data");
    EXPECT_TRUE(EnsureFolder(base + L"\\caf\u00e9"));
    EXPECT_TRUE(IsFolder(root / L"caf\u00e9"));
}

TEST(Paths, RemoveFolderTreeDeletesDeepTreesWithReadOnlyFiles)
{
    TempFolder root;
    std::wstring deep = root / L"tree";
    CreateDirectoryW(deep.c_str(), nullptr);
    for (int level = 0; level < 40; ++level) {
        deep += L"\\level" + std::to_wstring(level);
        ASSERT_TRUE(CreateDirectoryW(deep.c_str(), nullptr));
        WriteFileBytes(deep + L"\\f.txt", "x");
        WriteFileBytes(deep + L"\\ro\u00e9.txt", "y");
        SetFileAttributesW((deep + L"\\ro\u00e9.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    }
    SetFileAttributesW(deep.c_str(), FILE_ATTRIBUTE_READONLY);
    WriteFileBytes(root / L"tree\\hidden.txt", "h");
    SetFileAttributesW((root / L"tree\\hidden.txt").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);

    RemoveFolderTree(root / L"tree\\");
    EXPECT_FALSE(PathExists(root / L"tree"));
    EXPECT_TRUE(IsFolder(root.Path())) << "only the named tree goes";

    RemoveFolderTree(root / L"never-there"); // nothing to do, nothing reported
    EXPECT_FALSE(PathExists(root / L"never-there"));
}
