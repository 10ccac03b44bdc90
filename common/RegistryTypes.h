#pragma once
// Names of the registry value types as the project file records them. The
// five names of the first project files (REG_SZ, REG_EXPAND_SZ, REG_BINARY,
// REG_DWORD, REG_QWORD) keep their meaning; the other types have names of
// their own, which a builder that does not know them leaves out.
#include <windows.h>

#include <string>
#include <string_view>

// "REG_MULTI_SZ", "REG_NONE", "REG_DWORD_BIG_ENDIAN", ...; "REG_TYPE_<n>" for
// a number without a name.
std::wstring RegistryTypeName(DWORD type);

// The value of one hexadecimal digit (either case); -1 for any other character.
constexpr int HexDigitValue(wchar_t c)
{
    return c >= L'0' && c <= L'9'   ? c - L'0'
           : c >= L'a' && c <= L'f' ? c - L'a' + 10
           : c >= L'A' && c <= L'F' ? c - L'A' + 10
                                    : -1;
}

// The type of an export prefix "hex(<n>):" (n in hexadecimal), as the
// registry editor writes types it has no notation for. False for any other text.
bool ParseHexTypePrefix(std::wstring_view data, DWORD& type, std::size_t& prefixLength);
