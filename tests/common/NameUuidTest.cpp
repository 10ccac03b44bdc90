// Name-based UUIDs against published vectors, GUID text forms, and the
// UpgradeCode derived from the product's names.
#include "common/NameUuid.h"

#include <gtest/gtest.h>

namespace {

// RFC 4122, appendix C: the name space for DNS names.
const GUID DnsNamespace = {0x6ba7b810, 0x9dad, 0x11d1, {0x80, 0xb4, 0x00, 0xc0, 0x4f, 0xd4, 0x30, 0xc8}};

TEST(NameUuid, Version5MatchesKnownVectors)
{
    const struct
    {
        const char* name;
        const wchar_t* uuid;
    } cases[] = {
        {"www.example.com", L"{2ED6657D-E927-568B-95E1-2665A8AEA6A2}"},
        {"python.org", L"{886313E1-3B8A-5372-9B90-0C9AEE199E5D}"},
        {"", L"{4EBD0208-8328-5D69-8C44-EC50939C0967}"},
    };
    for (const auto& c : cases) {
        GUID id{};
        ASSERT_TRUE(MakeNameBasedGuid(DnsNamespace, c.name, id)) << c.name;
        EXPECT_EQ(std::wstring(c.uuid), GuidToText(id)) << c.name;
    }
}

TEST(NameUuid, GuidTextIsParsedInItsUsualFormsOnly)
{
    const std::wstring canonical = L"{6BA7B810-9DAD-11D1-80B4-00C04FD430C8}";
    for (const wchar_t* text : {L"{6BA7B810-9DAD-11D1-80B4-00C04FD430C8}", L"6ba7b810-9dad-11d1-80b4-00c04fd430c8",
                                L"{6ba7b810-9DAD-11d1-80B4-00c04fd430c8}"}) {
        GUID id{};
        ASSERT_TRUE(ParseGuid(text, id));
        EXPECT_EQ(canonical, GuidToText(id));
        EXPECT_TRUE(IsEqualGUID(DnsNamespace, id));
    }
    for (const wchar_t* text : {L"", L"{}", L"6ba7b810-9dad-11d1-80b4-00c04fd430c", L"{6ba7b810-9dad-11d1-80b4-00c04fd430c8",
                                L"6ba7b810x9dad-11d1-80b4-00c04fd430c8", L"6ba7b810-9dad-11d1-80b4-00c04fd430cg",
                                L"(6ba7b810-9dad-11d1-80b4-00c04fd430c8)"}) {
        GUID id{};
        EXPECT_FALSE(ParseGuid(text, id)) << std::string(text, text + wcslen(text));
    }
}

TEST(NameUuid, UpgradeCodeDependsOnTheNamesNotOnTheirCase)
{
    const std::wstring code = DeriveUpgradeCode(L"Acme Corp", L"Widget \u00e9dition");
    ASSERT_EQ(38u, code.size());
    EXPECT_EQ(L'5', code[15]) << "a version 5 UUID";
    EXPECT_EQ(code, DeriveUpgradeCode(L"ACME CORP", L"widget \u00c9DITION"));
    EXPECT_EQ(code, DeriveUpgradeCode(L" Acme Corp ", L"Widget \u00e9dition\t"));
    EXPECT_NE(code, DeriveUpgradeCode(L"Acme Corp", L"Widget"));
    EXPECT_NE(code, DeriveUpgradeCode(L"Widget \u00e9dition", L"Acme Corp")) << "company and name do not swap";
    EXPECT_NE(DeriveUpgradeCode(L"A B", L"C"), DeriveUpgradeCode(L"A", L"B C"));
    // Pinned (computed independently): a change to this derivation would break
    // every upgrade from a package built before it.
    EXPECT_EQ(L"{BE580D7C-1E29-5200-8078-59BDC269D07A}", code);
}

} // namespace
