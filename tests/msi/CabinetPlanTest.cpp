// The rule that spreads a package's files over cabinets, and its settings.
#include "msi/CabinetPlan.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

struct Expected
{
    int diskId;
    int lastSequence;
    std::size_t firstFile;
    std::size_t fileCount;
};

constexpr std::uint64_t KiB = 1024;
constexpr std::uint64_t MiB = 1024 * KiB;
// 10 blocks of 32 KiB under an 8-character name: 327,680 bytes of data, 11
// blocks' framing (264) and the entry (25) make 327,969 at most; two of them
// with the cabinet's header (6,208) make 662,146.
constexpr std::uint64_t TenBlocks = 327680;

} // namespace

TEST(CabinetPlanTest, FilesFillCabinetsInSequenceUpToTheLimit)
{
    EXPECT_EQ(CabinetBound(TenBlocks, 8), 327969u);
    EXPECT_EQ(CabinetBound(0, 3), 24u + 17u + 3u);

    struct Case
    {
        const char* name;
        std::vector<std::uint64_t> sizes; // names of 8 characters
        std::uint64_t cabinetLimit;
        std::uint64_t embedLimit;
        std::vector<Expected> cabinets;
        bool external;
    };
    const Case cases[] = {
        {"no files, no cabinet", {}, MiB, MiB, {}, false},
        {"the limit exactly reached", {TenBlocks, TenBlocks}, 662146, MiB, {{1, 2, 0, 2}}, false},
        {"one byte less", {TenBlocks, TenBlocks}, 662145, 2 * MiB, {{1, 1, 0, 1}, {2, 2, 1, 1}}, false},
        {"a file larger than the limit goes alone",
         {100 * KiB, 3 * MiB, 100 * KiB},
         MiB,
         8 * MiB,
         {{1, 1, 0, 1}, {2, 2, 1, 1}, {3, 3, 2, 1}},
         false},
        {"small files share, the next cabinet takes over at the limit",
         std::vector<std::uint64_t>(25, 100 * KiB),
         MiB,
         8 * MiB,
         {{1, 10, 0, 10}, {2, 20, 10, 10}, {3, 25, 20, 5}},
         false},
        {"empty files are counted", {0, 0, 0}, MiB, MiB, {{1, 3, 0, 3}}, false},
        {"more than the package embeds: beside it",
         {TenBlocks, TenBlocks},
         662146,
         662145,
         {{1, 2, 0, 2}},
         true},
        {"three 1 GB files at the default limits",
         {1024 * MiB, 1024 * MiB, 1024 * MiB, 5 * KiB},
         1536 * MiB,
         1536 * MiB,
         {{1, 1, 0, 1}, {2, 2, 1, 1}, {3, 4, 2, 2}},
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<CabinetFileSize> files;
        for (std::uint64_t size : c.sizes)
            files.push_back({size, 8});
        const CabinetPlan plan = PlanCabinets(files, {c.cabinetLimit, c.embedLimit});
        ASSERT_EQ(plan.cabinets.size(), c.cabinets.size());
        std::uint64_t total = 0;
        for (std::size_t i = 0; i < c.cabinets.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(plan.cabinets[i].diskId, c.cabinets[i].diskId);
            EXPECT_EQ(plan.cabinets[i].lastSequence, c.cabinets[i].lastSequence);
            EXPECT_EQ(plan.cabinets[i].firstFile, c.cabinets[i].firstFile);
            EXPECT_EQ(plan.cabinets[i].fileCount, c.cabinets[i].fileCount);
            // A cabinet passes the limit only when it holds one file.
            if (plan.cabinets[i].fileCount > 1) {
                EXPECT_LE(plan.cabinets[i].bound, c.cabinetLimit);
            }
            total += plan.cabinets[i].bound;
        }
        EXPECT_EQ(plan.totalBound, total);
        EXPECT_EQ(plan.external, c.external);
    }
}

TEST(CabinetPlanTest, ExternalNamesAreShortAndPassOverTakenOnes)
{
    const std::set<std::wstring> taken = {L"data2.cab", L"data3.cab"};
    const auto names = ExternalCabinetNames(3, [&](const std::wstring& name) { return taken.count(name) != 0; });
    EXPECT_EQ(names, (std::vector<std::wstring>{L"data1.cab", L"data4.cab", L"data5.cab"}));
    const auto many = ExternalCabinetNames(1200, nullptr);
    ASSERT_EQ(many.size(), 1200u);
    EXPECT_EQ(many.back(), L"data1200.cab");
    for (const std::wstring& name : many)
        EXPECT_LE(name.find(L'.'), 8u) << "an 8.3 name";
}

TEST(CabinetPlanTest, SizeSettingsReadBytesAndBinaryUnits)
{
    struct Case
    {
        const wchar_t* text;
        std::optional<std::uint64_t> value;
    };
    const Case cases[] = {
        {L"1536M", 1536 * MiB}, {L"64k", 64 * KiB}, {L"2G", 2048 * MiB}, {L" 70000 ", 70000},
        {L"", std::nullopt},    {L"M", std::nullopt}, {L"1.5G", std::nullopt}, {L"12X", std::nullopt},
        {L"-5M", std::nullopt}, {L"9999999999999G", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::string(c.text, c.text + wcslen(c.text)));
        EXPECT_EQ(ParseSizeSetting(c.text), c.value);
    }
}

TEST(CabinetPlanTest, StoredFilesMoveBehindTheOthersOfTheirOwnCabinet)
{
    const auto plan = [](std::vector<std::size_t> counts) {
        CabinetPlan p;
        std::size_t first = 0;
        for (std::size_t c = 0; c < counts.size(); ++c) {
            p.cabinets.push_back({static_cast<int>(c + 1), static_cast<int>(first + counts[c]), first, counts[c], 0});
            first += counts[c];
        }
        return p;
    };
    const struct
    {
        const char* what;
        CabinetPlan plan;
        std::set<std::size_t> stored;
        std::size_t count;
        std::vector<std::size_t> order;
    } cases[] = {
        {"nothing stored", plan({3}), {}, 3, {0, 1, 2}},
        {"one cabinet", plan({5}), {0, 3}, 5, {1, 2, 4, 0, 3}},
        {"two cabinets, each keeps its files", plan({3, 3}), {0, 4}, 6, {1, 2, 0, 3, 5, 4}},
        {"a cabinet of stored files only", plan({2, 2}), {2, 3}, 4, {0, 1, 2, 3}},
        {"the plan misses a file", plan({2}), {0}, 3, {}},
        {"no cabinets for files", plan({}), {}, 1, {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.order, PackedOrder(c.plan, c.stored, c.count)) << c.what;
}
