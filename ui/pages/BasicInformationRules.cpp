#include "ui/pages/BasicInformationRules.h"

#include "common/FileVersionInfo.h"
#include "manager/UIManager.h"
#include "ui/wizard/Resource.h"

#include <algorithm>
#include <cwctype>

namespace {

constexpr wchar_t RequiredFieldsMessage[] = L"Please provide required fields and then click Next to proceed";

std::wstring Trim(const std::wstring& text)
{
    const auto first = std::find_if_not(text.begin(), text.end(), [](wchar_t c) { return std::iswspace(c); });
    const auto last = std::find_if_not(text.rbegin(), text.rend(), [](wchar_t c) { return std::iswspace(c); });
    if (first == text.end())
        return {};
    return std::wstring(first, last.base());
}

std::wstring UpperCase(std::wstring text)
{
    if (!text.empty())
        CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

void Refuse(BasicInformationCheck& check, const wchar_t* message, const wchar_t* caption, UINT type)
{
    check.message = message;
    check.caption = caption;
    check.messageType = type;
}

} // namespace

std::wstring RemoveBlanks(std::wstring text)
{
    text.erase(std::remove(text.begin(), text.end(), L' '), text.end());
    return text;
}

bool LocationNamesFile(const std::wstring& location)
{
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW(location.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return false;
    FindClose(search);
    const std::wstring name = found.cFileName;
    return !(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && name != L"." && name != L"..";
}

BasicInformationCheck CheckBasicInformation(int choice, const BasicInformationFields& typed)
{
    BasicInformationCheck check;
    check.values.location = typed.location;
    if (choice != IDC_CREATE_PROJECT && choice != IDC_BUILD_PACKAGE) {
        Refuse(check, L"Please select any radio button to proceed", L"Information", MB_OK | MB_ICONINFORMATION);
        return check;
    }
    if (typed.location.empty()) {
        check.markedLabels.push_back(IDC_LOCATION_LABEL);
        return check;
    }
    if (!LocationNamesFile(typed.location)) {
        check.clearFields = true;
        Refuse(check, L"File doesn't exist, please provide existing File Path", L"Warning", MB_OK | MB_ICONWARNING);
        return check;
    }

    // A substring test on the whole path, as the checks have always been.
    const std::wstring upper = UpperCase(typed.location);
    if (choice == IDC_CREATE_PROJECT && upper.find(L".MSI") != std::wstring::npos) {
        Refuse(check,
               L"This application does not support MSI setups. Please contact Corvane for details about how to "
               L"deploy the MSI setup properly ",
               L"Error", MB_OK | MB_ICONERROR);
        check.disableNavigation = check.clearFields = true;
        return check;
    }
    if (choice == IDC_CREATE_PROJECT && upper.find(L".EXE") == std::wstring::npos) {
        Refuse(check, L"This application supports only executable (.exe) files.This is not an executable file.",
               L"Error", MB_OK | MB_ICONERROR);
        check.disableNavigation = check.clearFields = true;
        return check;
    }
    if (choice == IDC_BUILD_PACKAGE && upper.find(L".XML") == std::wstring::npos) {
        check.disableNavigation = check.clearFields = true;
        return check;
    }

    check.productRead = true;
    check.values.applicationName = RemoveBlanks(typed.applicationName);
    check.values.version = RemoveBlanks(typed.version);
    check.values.companyName = RemoveBlanks(typed.companyName);
    bool failed = false;
    if (check.values.applicationName.empty() || check.values.applicationName == L"setup.exe") {
        check.markedLabels.push_back(IDC_APPLICATION_LABEL);
        check.writeBack.push_back(IDC_APPLICATION_NAME);
        failed = true;
    }
    if (check.values.version.empty()) {
        check.markedLabels.push_back(IDC_VERSION_LABEL);
        check.writeBack.push_back(IDC_VERSION);
        failed = true;
    }
    if (check.values.companyName.empty()) {
        check.markedLabels.push_back(IDC_COMPANY_LABEL);
        check.writeBack.push_back(IDC_COMPANY_NAME);
        failed = true;
    }
    if (failed) {
        Refuse(check, RequiredFieldsMessage, L"Warning", MB_OK | MB_ICONWARNING);
        return check;
    }
    check.accepted = true;
    return check;
}

UINT AcceptBasicInformation(Session& session, CUIManager& manager, int choice, const BasicInformationFields& values)
{
    manager.SetProductInfo(values.applicationName, values.version, values.companyName);
    if (choice == IDC_CREATE_PROJECT) {
        manager.SetSetupFilePath(values.location);
        return IDD_PRE_INSTALLATION;
    }
    EnsureFolder(session.Paths.TempFolder());
    EnsureFolder(session.Paths.PackagesFolder());
    session.SetProjectFilePath(values.location);
    return IDD_SHOW_PROJECT;
}

ProductInfo ProposeFromSetupFile(const std::wstring& path, bool trim)
{
    CFileVersionInfo info;
    if (!info.Create(path))
        return {};
    ProductInfo product{info.GetProductName(), info.GetProductVersion(), info.GetCompanyName()};
    if (trim) {
        product.ApplicationName = Trim(product.ApplicationName);
        product.Version = Trim(product.Version);
        product.CompanyName = Trim(product.CompanyName);
    }
    return product;
}

ProductInfo KeepTypedWhereEmpty(const ProductInfo& typed, const ProductInfo& proposed)
{
    ProductInfo result = typed;
    if (!proposed.ApplicationName.empty())
        result.ApplicationName = proposed.ApplicationName;
    if (!proposed.Version.empty())
        result.Version = proposed.Version;
    if (!proposed.CompanyName.empty())
        result.CompanyName = proposed.CompanyName;
    return result;
}

ProductInfo ProposeOnLeavingLocation(const std::wstring& location, std::wstring& proposedFrom, const ProductInfo& typed)
{
    // Tabbing through an unchanged location must not undo what was typed
    // since the last proposal.
    if (location == proposedFrom)
        return typed;
    proposedFrom = location;
    return KeepTypedWhereEmpty(typed, ProposeFromSetupFile(location, true));
}

ProductInfo ProposeFromProjectFile(Session& session, CUIManager& manager, const std::wstring& path)
{
    session.SetProjectFilePath(path);
    ProductInfo product;
    (void)manager.ParseSetupFileInfo(product); // logged; the fields stay empty
    return product;
}
