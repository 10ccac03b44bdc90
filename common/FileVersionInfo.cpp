#include "common/FileVersionInfo.h"

#include <cwchar>
#include <vector>

namespace {

constexpr const wchar_t* FieldNames[CFileVersionInfo::FieldCount] = {
    L"CompanyName", L"FileDescription", L"FileVersion", L"InternalName", L"LegalCopyright", L"OriginalFileName",
    L"ProductName", L"ProductVersion", L"Comments", L"LegalTrademarks", L"PrivateBuild", L"SpecialBuild",
};

struct Translation
{
    WORD language;
    WORD codePage;
};

// The user's language first; then neutral, then English, each matched on the
// whole identifier before its primary language (low byte); else the first pair.
const Translation* ChooseTranslation(const Translation* pairs, std::size_t count)
{
    if (count == 0)
        return nullptr;
    const WORD user = GetUserDefaultLangID();
    for (std::size_t i = 0; i < count; ++i)
        if (pairs[i].language == user)
            return &pairs[i];
    for (WORD wanted : {user, WORD(0), WORD(9)}) {
        for (std::size_t i = 0; i < count; ++i)
            if (pairs[i].language == wanted)
                return &pairs[i];
        for (std::size_t i = 0; i < count; ++i)
            if ((pairs[i].language & 0xff) == (wanted & 0xff))
                return &pairs[i];
    }
    return &pairs[0];
}

} // namespace

void CFileVersionInfo::Reset()
{
    m_fixed = VS_FIXEDFILEINFO{};
    for (auto& s : m_strings)
        s.clear();
}

bool CFileVersionInfo::Create(const std::wstring& path)
{
    Reset();
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    if (size == 0)
        return false;
    std::vector<BYTE> block(size);
    if (!GetFileVersionInfoW(path.c_str(), 0, size, block.data()))
        return false;

    void* value = nullptr;
    UINT length = 0;
    if (VerQueryValueW(block.data(), L"\\", &value, &length) && length == sizeof(VS_FIXEDFILEINFO))
        m_fixed = *static_cast<const VS_FIXEDFILEINFO*>(value);

    const Translation* chosen = nullptr;
    if (VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", &value, &length) && value)
        chosen = ChooseTranslation(static_cast<const Translation*>(value), length / sizeof(Translation));
    if (!chosen)
        return true;

    for (int i = 0; i < FieldCount; ++i) {
        wchar_t query[96];
        std::swprintf(query, 96, L"\\StringFileInfo\\%04X%04X\\%ls", chosen->language, chosen->codePage, FieldNames[i]);
        if (VerQueryValueW(block.data(), query, &value, &length) && value && length > 0) {
            // The length counts characters and may include the terminator.
            std::wstring text(static_cast<const wchar_t*>(value), length);
            text.resize(wcsnlen(text.c_str(), text.size()));
            m_strings[i] = std::move(text);
        }
    }
    return true;
}
