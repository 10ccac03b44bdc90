#include "msi/TableKeys.h"

#include "msi/MsiTables.h"

std::wstring MsiIdentifier(const std::wstring& name)
{
    std::wstring id = name;
    for (wchar_t& c : id) {
        const bool allowed = (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') || (c >= L'0' && c <= L'9') ||
                             c == L'_' || c == L'.';
        if (!allowed)
            c = L'_';
    }
    if (id.empty() || (id[0] >= L'0' && id[0] <= L'9') || id[0] == L'.')
        id.insert(0, 1, L'_');
    return id;
}

std::wstring CUniqueKeys::Make(const std::wstring& name)
{
    const std::wstring upper = UpperKey(name);
    if (m_used.insert(upper).second)
        return name;
    unsigned& count = m_counts[upper];
    for (;;) {
        ++count;
        const std::wstring suffix = std::to_wstring(count);
        if (m_used.insert(upper + suffix).second)
            return name + suffix;
    }
}

void CUniqueKeys::Reserve(const std::wstring& name)
{
    m_used.insert(UpperKey(name));
}
