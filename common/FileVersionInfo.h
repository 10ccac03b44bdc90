#pragma once
// Reads the version resource of an executable: the fixed block and the twelve
// standard strings of the best-matching language.
#include <windows.h>

#include <string>

class CFileVersionInfo
{
public:
    // Reads the version resource of `path`. Returns false, with every field
    // empty, when the file has none or cannot be read.
    bool Create(const std::wstring& path);
    void Reset();

    std::wstring GetCompanyName() const { return m_strings[CompanyName]; }
    std::wstring GetProductName() const { return m_strings[ProductName]; }
    std::wstring GetProductVersion() const { return m_strings[ProductVersion]; }
    std::wstring GetFileDescription() const { return m_strings[FileDescription]; }
    std::wstring GetFileVersion() const { return m_strings[FileVersion]; }
    const VS_FIXEDFILEINFO& GetFixedInfo() const { return m_fixed; }

    enum Field {
        CompanyName, FileDescription, FileVersion, InternalName, LegalCopyright, OriginalFileName,
        ProductName, ProductVersion, Comments, LegalTrademarks, PrivateBuild, SpecialBuild, FieldCount
    };
    std::wstring Get(Field field) const { return m_strings[field]; }

private:
    VS_FIXEDFILEINFO m_fixed{};
    std::wstring m_strings[FieldCount];
};
