#include "msi/Upgrade.h"

#include "common/NameUuid.h"
#include "common/Utf.h"

namespace {

// The platform of the template's summary information ("Intel;1033").
constexpr const wchar_t* PackagePlatform = L"Intel";

bool IsDigit(wchar_t c)
{
    return c >= L'0' && c <= L'9';
}

} // namespace

std::wstring NormalizeProductVersion(std::wstring_view text)
{
    static constexpr unsigned long limits[] = {255, 255, 65535};
    std::size_t at = 0;
    while (at < text.size() && !IsDigit(text[at]))
        ++at;
    std::wstring version;
    int fields = 0;
    while (fields < 3 && at < text.size() && IsDigit(text[at])) {
        unsigned long value = 0;
        for (; at < text.size() && IsDigit(text[at]); ++at)
            if (value <= limits[fields])
                value = value * 10 + static_cast<unsigned long>(text[at] - L'0');
        if (value > limits[fields])
            value = limits[fields];
        if (fields)
            version += L'.';
        version += std::to_wstring(value);
        ++fields;
        // A field goes on only through a dot followed by a digit.
        if (at + 1 < text.size() && text[at] == L'.' && IsDigit(text[at + 1]))
            ++at;
        else
            break;
    }
    if (fields == 0)
        return L"0.0";
    if (fields == 1)
        version += L".0";
    return version;
}

std::wstring ComponentCode(std::wstring_view upgradeCode, std::wstring_view identity)
{
    GUID space{};
    GUID code{};
    if (!ParseGuid(upgradeCode, space) || !MakeNameBasedGuid(space, ToUtf8(InvariantUpper(identity)), code))
        return L"";
    return GuidToText(code);
}

std::wstring FileComponentIdentity(std::wstring_view tokenFolder, std::wstring_view fileName)
{
    return std::wstring(tokenFolder) + L"\\" + std::wstring(fileName);
}

std::wstring FixedComponentIdentity(std::wstring_view componentName)
{
    return std::wstring(componentName) + L"|" + PackagePlatform;
}
