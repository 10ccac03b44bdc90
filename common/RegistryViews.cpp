#include "common/RegistryViews.h"

namespace {

constexpr std::wstring_view Node = L"WOW6432Node";

bool SameText(std::wstring_view a, std::wstring_view b) noexcept
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        wchar_t x = a[i], y = b[i];
        if (x >= L'a' && x <= L'z')
            x = static_cast<wchar_t>(x - L'a' + L'A');
        if (y >= L'a' && y <= L'z')
            y = static_cast<wchar_t>(y - L'a' + L'A');
        if (x != y)
            return false;
    }
    return true;
}

// Length of `prefix` when the key starts with it as whole key names, else 0.
std::size_t LeadingKeys(std::wstring_view key, std::wstring_view prefix) noexcept
{
    if (key.size() < prefix.size() || !SameText(key.substr(0, prefix.size()), prefix))
        return 0;
    if (key.size() > prefix.size() && key[prefix.size()] != L'\\')
        return 0;
    return prefix.size();
}

// Where the 32-bit view's node sits below a root: the levels above it.
struct ViewBase
{
    std::wstring_view root;
    std::wstring_view base; // "" for the root itself
};
constexpr ViewBase Bases[] = {
    {L"HKEY_LOCAL_MACHINE", L"SOFTWARE\\Classes"},
    {L"HKEY_LOCAL_MACHINE", L"SOFTWARE"},
    {L"HKEY_CURRENT_USER", L"Software\\Classes"},
    {L"HKEY_CLASSES_ROOT", L""},
};

// The rest of the key below `base`, when the key lies below it (not the base itself).
bool Below(std::wstring_view key, std::wstring_view base, std::wstring_view& rest) noexcept
{
    if (base.empty()) {
        rest = key;
        return !key.empty();
    }
    const std::size_t n = LeadingKeys(key, base);
    if (n == 0 || n == key.size())
        return false;
    rest = key.substr(n + 1);
    return true;
}

} // namespace

std::vector<std::wstring> Wow6432NodeTwins(std::wstring_view keyPath)
{
    std::vector<std::wstring> twins;
    const std::size_t slash = keyPath.find(L'\\');
    if (slash == std::wstring_view::npos)
        return twins;
    const std::wstring_view root = keyPath.substr(0, slash);
    const std::wstring_view key = keyPath.substr(slash + 1);
    for (const ViewBase& view : Bases) {
        std::wstring_view rest;
        if (!SameText(root, view.root) || !Below(key, view.base, rest) || LeadingKeys(rest, Node) != 0)
            continue;
        std::wstring twin(keyPath.substr(0, keyPath.size() - rest.size()));
        twin += Node;
        twin += L'\\';
        twin += rest;
        twins.push_back(std::move(twin));
    }
    return twins;
}

bool StripWow6432Node(const std::wstring& root, std::wstring& key)
{
    for (const ViewBase& view : Bases) {
        std::wstring_view rest;
        if (!SameText(root, view.root) || !Below(key, view.base, rest) || LeadingKeys(rest, Node) == 0)
            continue;
        const std::size_t at = key.size() - rest.size();
        // The node and the backslash after it, or the backslash before it when it ends the key.
        if (rest.size() > Node.size())
            key.erase(at, Node.size() + 1);
        else
            key.erase(at == 0 ? 0 : at - 1, at == 0 ? Node.size() : Node.size() + 1);
        return true;
    }
    return false;
}

bool IsIn32BitView(std::wstring_view keyPath)
{
    const std::size_t slash = keyPath.find(L'\\');
    if (slash == std::wstring_view::npos)
        return false;
    const std::wstring_view root = keyPath.substr(0, slash);
    const std::wstring_view key = keyPath.substr(slash + 1);
    for (const ViewBase& view : Bases) {
        std::wstring_view rest;
        if (SameText(root, view.root) && Below(key, view.base, rest) && LeadingKeys(rest, Node) != 0 &&
            rest.size() > Node.size())
            return true;
    }
    return false;
}

bool IsOnly64BitViewKey(const std::wstring& root, const std::wstring& key)
{
    std::wstring stripped = key;
    if (StripWow6432Node(root, stripped))
        return false;
    if (SameText(root, L"HKEY_LOCAL_MACHINE"))
        return LeadingKeys(key, L"SOFTWARE") != 0;
    if (SameText(root, L"HKEY_CLASSES_ROOT"))
        return !key.empty();
    if (SameText(root, L"HKEY_CURRENT_USER")) {
        // Only these class keys of the user are redirected; the rest is shared.
        for (const wchar_t* redirected : {L"Software\\Classes\\CLSID", L"Software\\Classes\\DirectShow",
                                          L"Software\\Classes\\Interface", L"Software\\Classes\\Media Type",
                                          L"Software\\Classes\\MediaFoundation"})
            if (LeadingKeys(key, redirected) != 0)
                return true;
    }
    return false;
}
