#include "common/Utf.h"

#include <gtest/gtest.h>

#include <string>

TEST(Utf, NonAsciiPathsSurviveTheRoundTrip)
{
    const std::wstring paths[] = {
        L"C:\\Program Files\\Caf\u00e9\\na\u00efve.txt",
        L"C:\\\u30d7\u30ed\u30b0\u30e9\u30e0\\\u6587\u4ef6.ini",
        L"C:\\emoji\\\U0001F600.dat", // a surrogate pair
        L"",
    };
    for (const auto& p : paths)
        EXPECT_EQ(FromUtf8(ToUtf8(p)), p);
    EXPECT_EQ(ToUtf8(L"Caf\u00e9"), "Caf\xc3\xa9");
}

TEST(Utf, CopyToFixedRefusesWhatDoesNotFitAndNeverWritesPastTheBuffer)
{
    char buffer[8 + 4];
    std::fill(std::begin(buffer), std::end(buffer), 'X');
    EXPECT_TRUE(CopyToFixed("1234567", buffer, 8)); // 7 bytes + terminator fit exactly
    EXPECT_STREQ(buffer, "1234567");

    EXPECT_FALSE(CopyToFixed("12345678", buffer, 8));
    EXPECT_STREQ(buffer, "") << "a refused copy leaves the buffer empty, not cut";
    for (int i = 8; i < 12; ++i)
        EXPECT_EQ(buffer[i], 'X') << "byte " << i << " lies past the buffer";
}

TEST(Utf, UpperCasingTouchesOnlyAsciiLetters)
{
    EXPECT_EQ(ToUpperAscii(std::wstring(L"c:\\caf\u00e9\\a-z")), L"C:\\CAF\u00e9\\A-Z");
    EXPECT_EQ(ToUpperAscii(std::string("abc\xc3\xa9")), "ABC\xc3\xa9");
}
