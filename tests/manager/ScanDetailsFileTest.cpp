#include "manager/ScanDetailsFile.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

std::string Record(std::int32_t code, const std::string& text, std::int32_t length = -2)
{
    if (length == -2)
        length = static_cast<std::int32_t>(text.size());
    std::string out(8, '\0');
    for (int i = 0; i < 4; ++i) {
        out[i] = static_cast<char>((static_cast<std::uint32_t>(code) >> (8 * i)) & 0xff);
        out[4 + i] = static_cast<char>((static_cast<std::uint32_t>(length) >> (8 * i)) & 0xff);
    }
    return out + text;
}

} // namespace

TEST(ScanDetailsFile, WritesCategoriesInNameOrderWithLittleEndianRecords)
{
    TempFolder folder;
    const std::wstring file = folder / L"ScanDetails.txt";
    ScanDetails details;
    details[L"SetupFilePath"] = {L"C:\\Setup\\caf\u00e9.exe"};
    details[L"SetupFileInfo"] = {L"App", L"1.0", L"Acme"};
    details[L"Registry"] = {L"HKEY_LOCAL_MACHINE", L"HKEY_CURRENT_USER"};
    details[L"File"] = {L"C:"};
    ASSERT_TRUE(WriteScanDetailsFile(file, details));

    const std::string expected = Record(1, "C:") + Record(2, "HKEY_LOCAL_MACHINE") + Record(2, "HKEY_CURRENT_USER") +
                                 Record(4, "App") + Record(4, "1.0") + Record(4, "Acme") +
                                 Record(3, "C:\\Setup\\caf\xc3\xa9.exe");
    EXPECT_EQ(ReadFileBytes(file), expected);
    EXPECT_EQ(ReadScanDetailsFile(file), details);
}

TEST(ScanDetailsFile, EmptyOrMissingFilesGiveAnEmptyMap)
{
    TempFolder folder;
    EXPECT_TRUE(ReadScanDetailsFile(folder / L"none.txt").empty());
    WriteFileBytes(folder / L"empty.txt", "");
    EXPECT_TRUE(ReadScanDetailsFile(folder / L"empty.txt").empty());
}

TEST(ScanDetailsFile, DamagedRecordsEndTheReadingWithoutOverrun)
{
    TempFolder folder;
    const std::wstring file = folder / L"bad.txt";
    const std::string good = Record(1, "C:");

    WriteFileBytes(file, good + Record(2, "HKCU", -5));
    EXPECT_EQ(ReadScanDetailsFile(file), (ScanDetails{{L"File", {L"C:"}}})) << "negative length";

    WriteFileBytes(file, good + Record(2, std::string(1024, 'x')));
    EXPECT_EQ(ReadScanDetailsFile(file), (ScanDetails{{L"File", {L"C:"}}})) << "over 1023 bytes";

    WriteFileBytes(file, good + Record(2, "HKEY_LOCAL_MACHINE").substr(0, 14));
    EXPECT_EQ(ReadScanDetailsFile(file), (ScanDetails{{L"File", {L"C:"}}})) << "text cut short";

    WriteFileBytes(file, good + std::string("\x02\x00\x00", 3));
    EXPECT_EQ(ReadScanDetailsFile(file), (ScanDetails{{L"File", {L"C:"}}})) << "header cut short";

    WriteFileBytes(file, good + Record(9, "ignored") + Record(2, "HKLM"));
    EXPECT_EQ(ReadScanDetailsFile(file), (ScanDetails{{L"File", {L"C:"}}, {L"Registry", {L"HKLM"}}}))
        << "unknown codes are read and ignored";
}

TEST(ScanDetailsFile, StringsTooLongToReadBackAreLeftOutNotCut)
{
    TempFolder folder;
    const std::wstring file = folder / L"ScanDetails.txt";
    ScanDetails details{{L"File", {L"C:\\" + std::wstring(1100, L'x'), L"D:"}}};
    ASSERT_TRUE(WriteScanDetailsFile(file, details));
    EXPECT_EQ(ReadScanDetailsFile(file), (ScanDetails{{L"File", {L"D:"}}}));
}
