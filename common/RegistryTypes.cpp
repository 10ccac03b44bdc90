#include "common/RegistryTypes.h"

#include <string_view>

std::wstring RegistryTypeName(DWORD type)
{
    switch (type) {
    case REG_NONE: return L"REG_NONE";
    case REG_SZ: return L"REG_SZ";
    case REG_EXPAND_SZ: return L"REG_EXPAND_SZ";
    case REG_BINARY: return L"REG_BINARY";
    case REG_DWORD: return L"REG_DWORD";
    case REG_DWORD_BIG_ENDIAN: return L"REG_DWORD_BIG_ENDIAN";
    case REG_LINK: return L"REG_LINK";
    case REG_MULTI_SZ: return L"REG_MULTI_SZ";
    case REG_RESOURCE_LIST: return L"REG_RESOURCE_LIST";
    case REG_FULL_RESOURCE_DESCRIPTOR: return L"REG_FULL_RESOURCE_DESCRIPTOR";
    case REG_RESOURCE_REQUIREMENTS_LIST: return L"REG_RESOURCE_REQUIREMENTS_LIST";
    case REG_QWORD: return L"REG_QWORD";
    default: return L"REG_TYPE_" + std::to_wstring(type);
    }
}

bool ParseHexTypePrefix(std::wstring_view data, DWORD& type, std::size_t& prefixLength)
{
    if (data.substr(0, 4) != L"hex(")
        return false;
    const std::size_t close = data.find(L"):", 4);
    if (close == std::wstring_view::npos || close == 4 || close > 12)
        return false;
    DWORD value = 0;
    for (std::size_t i = 4; i < close; ++i) {
        const wchar_t c = data[i];
        const int digit = HexDigitValue(c);
        if (digit < 0)
            return false;
        value = value * 16 + static_cast<DWORD>(digit);
    }
    type = value;
    prefixLength = close + 2;
    return true;
}
