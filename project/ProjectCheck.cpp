#include "project/ProjectCheck.h"

std::wstring ProjectFileProblem(const CXMLDocumentHandler& document)
{
    if (!document.IsLoaded())
        return L"the file is not a well-formed XML document";
    const CXMLNodeHandler root = document.GetRootNode();
    if (root.IsNull() || root.GetName() != ProjectRootName)
        return L"the root element is not " + std::wstring(ProjectRootName) + L" (is this an include/exclude file?)";
    ProductInfo product;
    if (document.ReadProductInfo(product) != 1)
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
    return L"";
}
