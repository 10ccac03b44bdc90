#include "common/NameUuid.h"

#include "common/RegistryTypes.h"
#include "common/Utf.h"

#include <bcrypt.h>

#include <cstdio>
#include <cwchar>

// {00A1D61C-94D5-482D-9DC4-D296EE6DF423}
const GUID CorvaneUpgradeNamespace = {0x00a1d61c, 0x94d5, 0x482d, {0x9d, 0xc4, 0xd2, 0x96, 0xee, 0x6d, 0xf4, 0x23}};

namespace {

// A GUID's 16 bytes in the order RFC 4122 hashes them (network order).
void ToBytes(const GUID& id, unsigned char bytes[16])
{
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<unsigned char>(id.Data1 >> (24 - 8 * i));
    bytes[4] = static_cast<unsigned char>(id.Data2 >> 8);
    bytes[5] = static_cast<unsigned char>(id.Data2);
    bytes[6] = static_cast<unsigned char>(id.Data3 >> 8);
    bytes[7] = static_cast<unsigned char>(id.Data3);
    for (int i = 0; i < 8; ++i)
        bytes[8 + i] = id.Data4[i];
}

GUID FromBytes(const unsigned char bytes[16])
{
    GUID id{};
    id.Data1 = (static_cast<unsigned long>(bytes[0]) << 24) | (static_cast<unsigned long>(bytes[1]) << 16) |
               (static_cast<unsigned long>(bytes[2]) << 8) | bytes[3];
    id.Data2 = static_cast<unsigned short>((bytes[4] << 8) | bytes[5]);
    id.Data3 = static_cast<unsigned short>((bytes[6] << 8) | bytes[7]);
    for (int i = 0; i < 8; ++i)
        id.Data4[i] = bytes[8 + i];
    return id;
}

bool Sha1(const unsigned char* a, ULONG aSize, const unsigned char* b, ULONG bSize, unsigned char digest[20])
{
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA1_ALGORITHM, nullptr, 0)))
        return false;
    BCRYPT_HASH_HANDLE hash = nullptr;
    bool ok = BCRYPT_SUCCESS(BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0));
    if (ok) {
        ok = BCRYPT_SUCCESS(BCryptHashData(hash, const_cast<PUCHAR>(a), aSize, 0)) &&
             (bSize == 0 || BCRYPT_SUCCESS(BCryptHashData(hash, const_cast<PUCHAR>(b), bSize, 0))) &&
             BCRYPT_SUCCESS(BCryptFinishHash(hash, digest, 20, 0));
        BCryptDestroyHash(hash);
    }
    BCryptCloseAlgorithmProvider(algorithm, 0);
    return ok;
}

std::wstring_view Trimmed(std::wstring_view text)
{
    const auto first = text.find_first_not_of(L" \t\r\n");
    if (first == std::wstring_view::npos)
        return {};
    const auto last = text.find_last_not_of(L" \t\r\n");
    return text.substr(first, last - first + 1);
}

} // namespace

std::wstring InvariantUpper(std::wstring_view text)
{
    std::wstring upper(text);
    if (upper.empty())
        return upper;
    const int n = LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, upper.data(), static_cast<int>(upper.size()),
                                nullptr, 0, nullptr, nullptr, 0);
    if (n <= 0)
        return upper;
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, upper.data(), static_cast<int>(upper.size()), out.data(), n,
                  nullptr, nullptr, 0);
    return out;
}

bool MakeNameBasedGuid(const GUID& space, std::string_view name, GUID& out)
{
    unsigned char bytes[16];
    ToBytes(space, bytes);
    unsigned char digest[20];
    if (!Sha1(bytes, 16, reinterpret_cast<const unsigned char*>(name.data()), static_cast<ULONG>(name.size()),
              digest))
        return false;
    digest[6] = static_cast<unsigned char>((digest[6] & 0x0f) | 0x50); // version 5
    digest[8] = static_cast<unsigned char>((digest[8] & 0x3f) | 0x80); // RFC 4122 variant
    out = FromBytes(digest);
    return true;
}

bool ParseGuid(std::wstring_view text, GUID& out)
{
    if (text.size() == 38 && text.front() == L'{' && text.back() == L'}')
        text = text.substr(1, 36);
    if (text.size() != 36)
        return false;
    unsigned char bytes[16];
    std::size_t at = 0;
    for (int i = 0; i < 16; ++i) {
        if (at == 8 || at == 13 || at == 18 || at == 23) {
            if (text[at] != L'-')
                return false;
            ++at;
        }
        const int high = HexDigitValue(text[at]);
        const int low = HexDigitValue(text[at + 1]);
        if (high < 0 || low < 0)
            return false;
        bytes[i] = static_cast<unsigned char>(high * 16 + low);
        at += 2;
    }
    out = FromBytes(bytes);
    return true;
}

std::wstring GuidToText(const GUID& id)
{
    wchar_t text[40];
    std::swprintf(text, 40, L"{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  static_cast<unsigned long>(id.Data1), id.Data2, id.Data3, id.Data4[0], id.Data4[1], id.Data4[2],
                  id.Data4[3], id.Data4[4], id.Data4[5], id.Data4[6], id.Data4[7]);
    return text;
}

std::wstring DeriveUpgradeCode(std::wstring_view company, std::wstring_view application)
{
    // A line feed cannot be part of either name, so no two pairs give one text.
    const std::wstring name = InvariantUpper(Trimmed(company)) + L"\n" + InvariantUpper(Trimmed(application));
    GUID code{};
    if (!MakeNameBasedGuid(CorvaneUpgradeNamespace, ToUtf8(name), code))
        return L"";
    return GuidToText(code);
}
