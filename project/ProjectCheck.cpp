#include "project/ProjectCheck.h"
#include "project/ProjectReaders.h"

#include <set>

namespace {

// A file the packaged lists (added and modified) name twice, or "". Two
// entries of one file would be two components with the same ComponentId.
std::wstring DuplicateFile(const XmlNode& root)
{
    std::set<std::wstring> seen;
    for (const wchar_t* list : {L"FileSystem/AddedItems/DirectoryList/Directory/File",
                                L"FileSystem/ModifiedItems/DirectoryList/Directory/File"}) {
        for (const XmlNode& file : root.SelectNodes(list)) {
            std::wstring path;
            if (IXMLDOMNode* parent = nullptr; file.Get() && file.Get()->get_parentNode(&parent) == S_OK && parent) {
                path = XmlNode(parent).GetNamedAttribute(L"Name");
                parent->Release();
            }
            path += L"\\" + file.GetNamedAttribute(L"Name");
            std::wstring key = path;
            CharUpperBuffW(key.data(), static_cast<DWORD>(key.size()));
            if (!seen.insert(key).second)
                return path;
        }
    }
    return L"";
}

} // namespace

std::wstring ProjectFileProblem(const XmlDocument& document)
{
    if (!document.IsLoaded())
        return L"the file is not a well-formed XML document" +
               (document.LoadError().empty() ? std::wstring() : L": " + document.LoadError());
    const XmlNode root = document.Root();
    if (root.IsNull() || root.GetName() != ProjectRootName)
        return L"the root element is not " + std::wstring(ProjectRootName) + L" (is this an include/exclude file?)";
    ProductInfo product;
    if (!ReadProductInfo(document, product))
        return L"the product information (ProductInformation) is missing";
    std::wstring missing;
    if (product.ApplicationName.empty())
        missing += L" ApplicationName";
    if (product.Version.empty())
        missing += L" Version";
    if (product.CompanyName.empty())
        missing += L" CompanyName";
    if (!missing.empty())
        return L"the product information has no" + missing;
    if (const std::wstring twice = DuplicateFile(root); !twice.empty())
        return L"the file " + twice + L" is listed twice";
    return L"";
}
