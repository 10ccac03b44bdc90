#include "msi/ProductRows.h"

#include "common/Log.h"
#include "common/NameUuid.h"
#include "common/Utf.h"
#include "msi/BuildContext.h"
#include "msi/FileRules.h"
#include "msi/MsiResult.h"
#include "msi/MsiTableIds.h"
#include "msi/MsiTables.h"
#include "msi/Upgrade.h"

#include <utility>

void ResolveUpgradeCodeAndVersion(BuildContext& build)
{
    const ProductInfo& product = build.product;
    MsiBuildResults& results = build.results;
    const std::wstring derived = DeriveUpgradeCode(product.CompanyName, product.ApplicationName);
    // A hand-edited attribute may carry blanks around the code.
    std::wstring pinned = product.UpgradeCode;
    pinned.erase(0, pinned.find_first_not_of(L" \t\r\n"));
    pinned.erase(pinned.find_last_not_of(L" \t\r\n") + 1);
    GUID code{};
    if (!pinned.empty() && ParseGuid(pinned, code)) {
        results.upgradeCode = GuidToText(code);
    } else {
        results.upgradeCode = derived.empty() ? NewGuidString() : derived;
        if (!pinned.empty())
            build.Note(L"The UpgradeCode \"" + pinned + L"\" of the project file is not a GUID; the package uses " +
                       results.upgradeCode + L".");
        else if (derived.empty())
            build.Note(L"No UpgradeCode could be derived; the package uses " + results.upgradeCode +
                       L" and will not replace earlier versions.");
    }
    results.productVersion = NormalizeProductVersion(product.Version);
    if (results.productVersion != product.Version)
        build.Note(L"The version \"" + product.Version + L"\" is written as ProductVersion " +
                   results.productVersion + L".");
}

void AddProperties(BuildContext& build)
{
    CTableInserter& table = build.Table(TableId::Property);
    (void)table.Insert({L"ProductName", build.product.ApplicationName});
    (void)table.Insert({L"Manufacturer", build.product.CompanyName});
    (void)table.Insert({L"ProductVersion", build.results.productVersion});
    build.results.productCode = NewGuidString();
    (void)table.Insert({L"ProductCode", build.results.productCode});
    (void)table.Insert({L"UpgradeCode", build.results.upgradeCode});
}

// This version is included, so that a rebuild of the same version replaces
// the installed build; the template's PreventDowngrade action stops the
// installation when a newer one is detected.
void AddUpgradeRows(BuildContext& build)
{
    CTableInserter& table = build.Table(TableId::Upgrade);
    const std::wstring& upgradeCode = build.results.upgradeCode;
    const std::wstring& version = build.results.productVersion;
    constexpr int OnlyDetect = 0x2;           // msidbUpgradeAttributesOnlyDetect
    constexpr int VersionMaxInclusive = 0x200; // msidbUpgradeAttributesVersionMaxInclusive
    (void)table.Insert({upgradeCode, L"", version, L"", VersionMaxInclusive, L"", PreviousVersionsProperty});
    (void)table.Insert({upgradeCode, version, L"", L"", OnlyDetect, L"", NewerVersionProperty});
}

void WriteSummaryInformation(BuildContext& build)
{
    const std::wstring title = build.product.ApplicationName + L"_" + build.product.Version;
    const std::wstring comments = L"MSI created with the Corvane Repackager.";
    UniqueMsiHandle summary;
    if (const UINT rc = MsiGetSummaryInformationW(build.database, nullptr, 10, summary.put()); rc != ERROR_SUCCESS) {
        summary.reset();
        LogError(L"CMSIHandler::WriteSummaryInformation: Unable to open the summary information" + InstallerSuffix(rc));
        return;
    }
    const std::wstring revision = NewGuidString();
    const std::wstring empty;
    const std::pair<UINT, const std::wstring*> values[] = {
        {2, &title}, {3, &title}, {4, &empty}, {6, &comments}, {9, &revision},
    };
    const std::wstring application = L"Corvane Repackager Installation Database";
    const UINT codePage = build.CodePage();
    // The summary information's strings are kept in its own code page.
    if (codePage == CP_UTF8)
        MsiSummaryInfoSetPropertyW(summary.get(), 1, VT_I2, static_cast<INT>(CP_UTF8), nullptr, nullptr);
    // Windows keeps the strings in the code page of PID_CODEPAGE; Wine's
    // msi.dll converts wide strings with the ANSI code page whatever it says,
    // so under Wine a UTF-8 package's strings go in as UTF-8 bytes.
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    const bool utf8Bytes = codePage == CP_UTF8 && ntdll && GetProcAddress(ntdll, "wine_get_version");
    auto setText = [&](UINT id, const std::wstring& text) {
        if (utf8Bytes)
            MsiSummaryInfoSetPropertyA(summary.get(), id, VT_LPSTR, 0, nullptr, ToUtf8(text).c_str());
        else
            MsiSummaryInfoSetPropertyW(summary.get(), id, VT_LPSTR, 0, nullptr, text.c_str());
    };
    for (const auto& [id, text] : values)
        setText(id, *text);
    setText(8, empty);
    setText(18, application);
    // A package with a 64-bit component is an x64 package (schema 200, as
    // the template's); without one it stays the template's Intel package.
    build.counts.Platform = build.has64BitComponent ? L"x64" : L"Intel";
    if (build.has64BitComponent) {
        const std::wstring platform = L"x64;1033";
        MsiSummaryInfoSetPropertyW(summary.get(), 7, VT_LPSTR, 0, nullptr, platform.c_str());
        MsiSummaryInfoSetPropertyW(summary.get(), 14, VT_I4, 200, nullptr, nullptr);
    }
    if (const UINT rc = MsiSummaryInfoPersist(summary.get()); rc != ERROR_SUCCESS)
        LogError(L"CMSIHandler::WriteSummaryInformation: Unable to save the summary information" + InstallerSuffix(rc));
}

void CheckOwnRows(BuildContext& build)
{
    const std::vector<std::wstring> findings = CheckPackageRules(build.database);
    for (const std::wstring& finding : findings)
        LogError(L"CMSIHandler::CheckPackage: " + finding);
    build.counts.RuleFindings = findings.size();
    if (!findings.empty())
        build.Note(L"The package check found " + std::to_wstring(findings.size()) +
                   L" row problem(s) that Windows Installer's validation would reject; see the error log.");
}
