#include "engine/CapturedValues.h"

#include "common/RegistryTypes.h"

#include <cwchar>

namespace {

// Bytes from hexadecimal digits; none when a pair is not hexadecimal.
std::optional<std::vector<unsigned char>> HexBytes(std::wstring_view digits)
{
    std::vector<unsigned char> bytes;
    std::wstring clean;
    for (const wchar_t c : digits)
        if (c != L',' && c != L'\\' && c != L' ' && c != L'\r' && c != L'\n')
            clean += c;
    if (clean.size() % 2 != 0)
        return std::nullopt;
    for (std::size_t i = 0; i < clean.size(); i += 2) {
        const int high = HexDigitValue(clean[i]);
        const int low = HexDigitValue(clean[i + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        bytes.push_back(static_cast<unsigned char>(high << 4 | low));
    }
    return bytes;
}

// The NUL-separated strings of UTF-16 little-endian bytes.
std::vector<std::wstring> Utf16Strings(const std::vector<unsigned char>& bytes)
{
    std::vector<std::wstring> strings;
    std::wstring current;
    bool open = false;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const wchar_t c = static_cast<wchar_t>(bytes[i] | bytes[i + 1] << 8);
        if (c == L'\0') {
            if (open)
                strings.push_back(current);
            current.clear();
            open = false;
            continue;
        }
        current += c;
        open = true;
    }
    if (open)
        strings.push_back(current);
    return strings;
}

std::wstring Unquoted(const std::wstring& text)
{
    if (text.size() >= 2 && text.front() == L'"' && text.back() == L'"')
        return text.substr(1, text.size() - 2);
    return text;
}

} // namespace

std::optional<std::wstring> CapturedText(const RegistryChangeEntry& value)
{
    if (value.TypeName == L"REG_SZ" && !value.Data.starts_with(L"hex"))
        return Unquoted(value.Data);
    if (value.TypeName == L"REG_EXPAND_SZ") {
        const auto bytes = HexBytes(value.Data);
        if (!bytes)
            return std::nullopt;
        const std::vector<std::wstring> strings = Utf16Strings(*bytes);
        return strings.empty() ? std::wstring() : strings.front();
    }
    return std::nullopt;
}

std::optional<std::vector<std::wstring>> CapturedStrings(const RegistryChangeEntry& value)
{
    if (value.Data.starts_with(L"hex(7):")) {
        const auto bytes = HexBytes(std::wstring_view(value.Data).substr(7));
        if (!bytes)
            return std::nullopt;
        return Utf16Strings(*bytes);
    }
    if (const auto text = CapturedText(value))
        return text->empty() ? std::vector<std::wstring>() : std::vector<std::wstring>{*text};
    return std::nullopt;
}

std::optional<std::uint32_t> CapturedNumber(const RegistryChangeEntry& value)
{
    if (value.TypeName != L"REG_DWORD" || value.Data.empty() || value.Data.size() > 8)
        return std::nullopt;
    wchar_t* end = nullptr;
    const unsigned long number = std::wcstoul(value.Data.c_str(), &end, 16);
    if (!end || *end != L'\0')
        return std::nullopt;
    return static_cast<std::uint32_t>(number);
}

std::wstring CapturedValueName(const RegistryChangeEntry& value)
{
    if (value.ValueName == L"@")
        return L"";
    return Unquoted(value.ValueName);
}
