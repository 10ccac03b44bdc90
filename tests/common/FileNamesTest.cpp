// Plain file names, the run lock and the snapshot completion records.
#include "common/FileNames.h"
#include "common/RunLock.h"
#include "common/SnapshotSeal.h"
#include "common/Utf.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

TEST(PlainFileNames, PathsDevicesAndForbiddenCharactersAreRefusedOrReplaced)
{
    struct Case
    {
        const wchar_t* name;
        bool plain;
        const wchar_t* made; // MakePlainFileName's result
    };
    const Case cases[] = {
        {L"App 1.0.msi", true, L"App 1.0.msi"},
        {L"\u65e5\u672c\u8a9e.msi", true, L"\u65e5\u672c\u8a9e.msi"},
        {L"..x.msi", true, L"..x.msi"},
        {L"..\\..\\..\\windows\\evil.msi", false, L".._.._.._windows_evil.msi"},
        {L"sub/evil.msi", false, L"sub_evil.msi"},
        {L"C:evil.msi", false, L"C_evil.msi"},
        {L"\\\\server\\share\\x.msi", false, L"__server_share_x.msi"},
        {L"..", false, L"__"},
        {L"CON", false, L"CON_"},
        {L"nul.msi", false, L"nul_.msi"},
        {L"Com7.txt", false, L"Com7_.txt"},
        {L"LPT1 .msi", false, L"LPT1_ .msi"},
        {L"COM0.msi", true, L"COM0.msi"},
        {L"CONSOLE.msi", true, L"CONSOLE.msi"},
        {L"a<b>c|d?e*f\"g.msi", false, L"a_b_c_d_e_f_g.msi"},
        {L"tab\there.msi", false, L"tab_here.msi"},
        {L"trailing.", false, L"trailing_"},
        {L"trailing. .", false, L"trailing___"},
        {L"", false, L"_"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(ToUtf8(c.name));
        EXPECT_EQ(PlainFileNameProblem(c.name).empty(), c.plain) << ToUtf8(PlainFileNameProblem(c.name));
        EXPECT_EQ(MakePlainFileName(c.name), c.made);
        EXPECT_EQ(PlainFileNameProblem(MakePlainFileName(c.name)), L"") << "what is made is plain";
    }
}

// Temporary files and shell links are told by the extension of the name alone.
TEST(LeftOutFiles, TheExtensionDecidesInAnyLetterCase)
{
    const std::pair<const wchar_t*, bool> cases[] = {
        {L"C:\\App\\scratch.tmp", true},
        {L"C:\\App\\SCRATCH.TMP", true},
        {L"C:\\Users\\a\\Desktop\\App.Lnk", true},
        {L"C:\\App\\a.b.tmp", true},
        {L"C:\\App\\.tmp", true},
        {L"C:\\App\\layout.tmpl", false},
        {L"C:\\App\\my.lnkhelper.dll", false},
        {L"C:\\App\\cache.tmpdir\\data.bin", false},
        {L"C:\\App.tmp\\readme", false},
        {L"C:\\App\\tmp", false},
        {L"C:\\App\\notatmp", false},
        {L"scratch.tmp", true},
        {L"", false},
    };
    for (const auto& [path, leftOut] : cases)
        EXPECT_EQ(IsTemporaryOrLinkFile(path), leftOut) << ToUtf8(path);
}

TEST(RunLock, OneHolderPerProgramFolderUntilItLetsGo)
{
    const std::wstring folder = L"C:\\Corvane\\Test-" + NewGuidText();
    CRunLock first;
    ASSERT_TRUE(first.Acquire(folder));
    // A mutex is held per thread: another run is another thread (or process).
    auto tryOther = [](const std::wstring& path) {
        bool got = false;
        std::thread([&] {
            CRunLock other;
            got = other.Acquire(path);
        }).join();
        return got;
    };
    EXPECT_FALSE(tryOther(folder));
    EXPECT_FALSE(tryOther(folder + L"\\")) << "a trailing backslash names the same folder";
    EXPECT_FALSE(tryOther(L"c:\\corvane\\TEST-" + folder.substr(16))) << "letter case does not matter";
    EXPECT_TRUE(tryOther(folder + L"-other")) << "another program folder runs alongside";
    first.Release();
    EXPECT_TRUE(tryOther(folder));
}

TEST(SnapshotSeal, OnlyAFileThatMatchesItsRecordPasses)
{
    TempFolder root;
    const std::wstring file = root / L"FirstSnapShot.txt";
    const std::string content(3 * 1060, 'r');
    struct Case
    {
        const char* name;
        std::string after; // the file's bytes when checked; empty: no record written
        bool sealed;
        bool passes;
    };
    std::string changed = content;
    changed[1500] = 's';
    const Case cases[] = {
        {"untouched", content, true, true},
        {"cut at a record boundary", content.substr(0, 2 * 1060), true, false},
        {"cut inside a record", content.substr(0, 1500), true, false},
        {"one byte changed", changed, true, false},
        {"grown", content + "x", true, false},
        {"no record", content, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFileBytes(file, content);
        RemoveSnapshotSeal(file);
        if (c.sealed) {
            ASSERT_TRUE(WriteSnapshotSeal(file));
        }
        WriteFileBytes(file, c.after);
        EXPECT_EQ(CheckSnapshotSeal(file), c.passes);
    }
    EXPECT_FALSE(WriteSnapshotSeal(root / L"missing.txt"));
}

// A writer that counts its bytes seals the file as a read-back would, however
// the bytes were handed over; counts of other bytes do not pass.
TEST(SnapshotSeal, CountedWhileWrittenSealsLikeAReadBack)
{
    CSnapshotChecksum check;
    check.Add("123456789", 9);
    EXPECT_EQ(check.Crc(), 0xCBF43926u) << "the CRC-32 check value";

    TempFolder root;
    const std::wstring file = root / L"SecondSnapShot.txt";
    std::string content;
    for (int i = 0; i < 5000; ++i)
        content += static_cast<char>(i * 7 + i / 13);
    WriteFileBytes(file, content);
    for (const std::size_t chunk : {1u, 3u, 8u, 13u, 4096u, 5000u}) {
        SCOPED_TRACE(chunk);
        CSnapshotChecksum sum;
        for (std::size_t at = 0; at < content.size(); at += chunk)
            sum.Add(content.data() + at, std::min(chunk, content.size() - at));
        EXPECT_EQ(sum.Size(), content.size());
        ASSERT_TRUE(WriteSnapshotSeal(file, sum.Size(), sum.Crc()));
        EXPECT_TRUE(CheckSnapshotSeal(file));
    }
    CSnapshotChecksum shorter;
    shorter.Add(content.data(), content.size() - 1);
    ASSERT_TRUE(WriteSnapshotSeal(file, shorter.Size(), shorter.Crc()));
    EXPECT_FALSE(CheckSnapshotSeal(file));
}
