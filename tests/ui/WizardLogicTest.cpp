// The rules behind the wizard's pages, without a window: the checks of the
// basic information page, the proposals from a setup program, and the
// welcome page's sequence of browser reports and time-out.
#include "common/Paths.h"
#include "common/Utf.h"
#include "tests/support/TestSupport.h"
#include "ui/framework/UiServices.h"
#include "ui/pages/BasicInformationRules.h"
#include "ui/pages/WelcomePage.h"
#include "ui/wizard/Resource.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

namespace {

std::wstring ThisProgram()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

class BasicInformationRules : public ::testing::Test
{
protected:
    std::wstring File(const std::wstring& name)
    {
        const std::wstring path = m_folder / name;
        WriteFileBytes(path, "content");
        return path;
    }
    TempFolder m_folder;
};

TEST_F(BasicInformationRules, ChoiceAndLocationAreCheckedFirst)
{
    BasicInformationCheck none = CheckBasicInformation(0, {File(L"a.exe"), L"A", L"1", L"C"});
    EXPECT_FALSE(none.accepted);
    EXPECT_EQ(none.message, L"Please select any radio button to proceed");
    EXPECT_EQ(none.caption, L"Information");
    EXPECT_TRUE(none.markedLabels.empty());

    BasicInformationCheck empty = CheckBasicInformation(IDC_CREATE_PROJECT, {L"", L"A", L"1", L"C"});
    EXPECT_FALSE(empty.accepted);
    EXPECT_EQ(empty.message, L"");
    EXPECT_EQ(empty.markedLabels, std::vector<int>{IDC_LOCATION_LABEL});
    EXPECT_FALSE(empty.clearFields);

    BasicInformationCheck wildcard = CheckBasicInformation(IDC_CREATE_PROJECT, {m_folder / L"*.none", L"A", L"1", L"C"});
    EXPECT_EQ(wildcard.message, L"File doesn't exist, please provide existing File Path");
    EXPECT_TRUE(wildcard.clearFields);
    EXPECT_FALSE(wildcard.disableNavigation);
}

TEST_F(BasicInformationRules, ExtensionChecksAreSubstringTestsOnTheWholePath)
{
    // ".MSI" anywhere in the path refuses a new capture, even before ".exe".
    CreateDirectoryW((m_folder / L"old.msi.d").c_str(), nullptr);
    BasicInformationCheck msi = CheckBasicInformation(IDC_CREATE_PROJECT, {File(L"old.msi.d\\setup.exe"), L"A", L"1", L"C"});
    EXPECT_EQ(msi.caption, L"Error");
    EXPECT_TRUE(msi.disableNavigation);
    EXPECT_TRUE(msi.clearFields);
    EXPECT_FALSE(msi.productRead);

    // A setup whose folder name carries ".exe" passes the executable test.
    CreateDirectoryW((m_folder / L"tools.exe.d").c_str(), nullptr);
    EXPECT_TRUE(CheckBasicInformation(IDC_CREATE_PROJECT, {File(L"tools.exe.d\\setup.cmd"), L"A", L"1", L"C"}).accepted);

    // Wildcards match the first file found; the check runs on the typed text.
    File(L"install.exe");
    EXPECT_TRUE(CheckBasicInformation(IDC_CREATE_PROJECT, {m_folder / L"inst*.exe", L"A", L"1", L"C"}).accepted);

    BasicInformationCheck notXml = CheckBasicInformation(IDC_BUILD_PACKAGE, {File(L"project.txt"), L"A", L"1", L"C"});
    EXPECT_FALSE(notXml.accepted);
    EXPECT_EQ(notXml.message, L"");
    EXPECT_TRUE(notXml.disableNavigation);
    EXPECT_TRUE(CheckBasicInformation(IDC_BUILD_PACKAGE, {File(L"p.Xml"), L"A", L"1", L"C"}).accepted);
    // An executable is no project file and a project file no setup.
    EXPECT_FALSE(CheckBasicInformation(IDC_CREATE_PROJECT, {File(L"p.xml"), L"A", L"1", L"C"}).accepted);
}

TEST_F(BasicInformationRules, ProductFieldsLoseTheirBlanksAndAreRequired)
{
    const std::wstring setup = File(L"setup.exe");
    BasicInformationCheck ok = CheckBasicInformation(IDC_CREATE_PROJECT, {setup, L" My App ", L"1. 0", L"Acme Corp"});
    EXPECT_TRUE(ok.accepted);
    EXPECT_EQ(ok.values, (BasicInformationFields{setup, L"MyApp", L"1.0", L"AcmeCorp"}));
    EXPECT_EQ(ok.message, L"");

    // Only blanks go; tabs are kept.
    EXPECT_EQ(RemoveBlanks(L"a b\tc  "), L"a" L"b\tc");

    BasicInformationCheck setupName = CheckBasicInformation(IDC_CREATE_PROJECT, {setup, L"setup .exe", L"1", L"C"});
    EXPECT_EQ(setupName.markedLabels, std::vector<int>{IDC_APPLICATION_LABEL});
    EXPECT_EQ(setupName.writeBack, std::vector<int>{IDC_APPLICATION_NAME});
    EXPECT_EQ(setupName.message, L"Please provide required fields and then click Next to proceed");
    // The comparison is exact: another letter case is a name like any other.
    EXPECT_TRUE(CheckBasicInformation(IDC_CREATE_PROJECT, {setup, L"Setup.exe", L"1", L"C"}).accepted);

    BasicInformationCheck allEmpty = CheckBasicInformation(IDC_CREATE_PROJECT, {setup, L" ", L"", L"   "});
    EXPECT_EQ(allEmpty.markedLabels, (std::vector<int>{IDC_APPLICATION_LABEL, IDC_VERSION_LABEL, IDC_COMPANY_LABEL}));
    EXPECT_EQ(allEmpty.caption, L"Warning");
    EXPECT_TRUE(allEmpty.productRead);
    EXPECT_FALSE(allEmpty.disableNavigation);

    BasicInformationCheck companyOnly = CheckBasicInformation(IDC_CREATE_PROJECT, {setup, L"A", L"1", L""});
    EXPECT_EQ(companyOnly.markedLabels, std::vector<int>{IDC_COMPANY_LABEL});
    EXPECT_EQ(companyOnly.message, L"Please provide required fields and then click Next to proceed");
}

TEST_F(BasicInformationRules, SetupProgramProposesItsVersionStrings)
{
    const std::wstring setup = m_folder / L"App.exe";
    ASSERT_TRUE(CopyFileW(ThisProgram().c_str(), setup.c_str(), FALSE));
    const ProductInfo trimmed = ProposeFromSetupFile(setup, true);
    EXPECT_EQ(trimmed, (ProductInfo{L"Widget Maker", L"2.5", L"Acme Test Corp"}));
    EXPECT_EQ(ProposeFromSetupFile(setup, false).CompanyName, L"  Acme Test Corp  ");
    EXPECT_EQ(ProposeFromSetupFile(File(L"plain.exe"), true), ProductInfo{});
    EXPECT_EQ(ProposeFromSetupFile(m_folder / L"missing.exe", true), ProductInfo{});
}

TEST_F(BasicInformationRules, LeavingTheLocationProposesOnlyFromANewLocationAndOnlyWhatTheResourceHas)
{
    const std::wstring setup = m_folder / L"App.exe";
    ASSERT_TRUE(CopyFileW(ThisProgram().c_str(), setup.c_str(), FALSE));
    const std::wstring plain = File(L"plain.exe");
    const ProductInfo typed{L"My App", L"1.0", L"Acme"};
    const ProductInfo resource{L"Widget Maker", L"2.5", L"Acme Test Corp"};
    std::wstring proposedFrom;

    // A setup without a version resource: the typed fields stay, whether the location changed or not.
    EXPECT_EQ(ProposeOnLeavingLocation(plain, proposedFrom, typed), typed);
    EXPECT_EQ(proposedFrom, plain);
    EXPECT_EQ(ProposeOnLeavingLocation(plain, proposedFrom, typed), typed);
    // A setup with one proposes its values when the location changes to it...
    EXPECT_EQ(ProposeOnLeavingLocation(setup, proposedFrom, typed), resource);
    // ...but not again while the location stays the same: corrections stay.
    EXPECT_EQ(ProposeOnLeavingLocation(setup, proposedFrom, typed), typed);
    // Back to a setup without one: what is shown stays.
    EXPECT_EQ(ProposeOnLeavingLocation(plain, proposedFrom, resource), resource);
    // A resource with some values only replaces those.
    EXPECT_EQ(KeepTypedWhereEmpty(typed, ProductInfo{L"", L"3.0", L""}), (ProductInfo{L"My App", L"3.0", L"Acme"}));
}

TEST(LocationNamesFile, FoldersAndDotEntriesAreNoFiles)
{
    TempFolder folder;
    EXPECT_FALSE(LocationNamesFile(folder.Path()));
    EXPECT_FALSE(LocationNamesFile(folder / L"."));
    EXPECT_FALSE(LocationNamesFile(folder / L"*"));  // "." comes first
    WriteFileBytes(folder / L"a.exe", "x");
    EXPECT_TRUE(LocationNamesFile(folder / L"a.exe"));
    EXPECT_TRUE(LocationNamesFile(folder / L"?.exe"));
    EXPECT_FALSE(LocationNamesFile(L""));
}

// ---- Welcome page ------------------------------------------------------------------

using Action = CWelcomeSequence::Action;

TEST(WelcomeSequence, AdvertisementThatLoadsShowsAtOnceAndTheTimerOnlyEnablesNext)
{
    CWelcomeSequence s;
    EXPECT_FALSE(s.NextEnabled());
    EXPECT_EQ(s.OnAdvertisementNavigated(true), Action::ShowAdvertisement);
    EXPECT_TRUE(s.NextEnabled());
    EXPECT_TRUE(s.AdvertisementShown());
    EXPECT_EQ(s.OnTimeOut(true), Action::None);
    // A later navigation inside the advertisement changes nothing.
    EXPECT_EQ(s.OnAdvertisementNavigated(true), Action::None);
    EXPECT_TRUE(s.NextEnabled());
}

TEST(WelcomeSequence, FailedAdvertisementFallsBackToTheLocalPage)
{
    CWelcomeSequence s;
    EXPECT_EQ(s.OnAdvertisementNavigated(false), Action::LoadStaticPage);
    EXPECT_FALSE(s.NextEnabled());
    EXPECT_EQ(s.OnAdvertisementNavigated(true), Action::ShowAdvertisement);
    EXPECT_TRUE(s.NextEnabled());
}

TEST(WelcomeSequence, SlowAdvertisementIsReplacedAtTheTimeOut)
{
    CWelcomeSequence s;
    EXPECT_EQ(s.OnTimeOut(false), Action::LoadStaticPage);
    EXPECT_TRUE(s.NextEnabled());
    EXPECT_FALSE(s.AdvertisementShown());
    EXPECT_EQ(s.OnAdvertisementNavigated(true), Action::ShowAdvertisement);
}

TEST(WelcomeSequence, NothingLoadsAndTheUserIsStillLetThrough)
{
    CWelcomeSequence s;
    EXPECT_EQ(s.OnAdvertisementNavigated(false), Action::LoadStaticPage);
    EXPECT_EQ(s.OnAdvertisementNavigated(false), Action::LoadStaticPage);
    // The local page failed twice: no endless reloading.
    EXPECT_EQ(s.OnAdvertisementNavigated(false), Action::None);
    EXPECT_FALSE(s.NextEnabled());
    EXPECT_EQ(s.OnTimeOut(false), Action::None);
    EXPECT_TRUE(s.NextEnabled());
    EXPECT_FALSE(s.AdvertisementShown());
}

TEST(ResumeDecision, AdministratorGoesOnAndOthersAreAsked)
{
    std::vector<std::wstring> captions;
    int answer = IDNO;
    SetMessageBoxFunction([&](HWND, const std::wstring&, const std::wstring& caption, UINT) {
        captions.push_back(caption);
        return answer;
    });
    bool administrator = true;
    SetAdministratorCheck([&] { return administrator; });

    EXPECT_EQ(ChooseFirstPage(nullptr, false), IDD_BASIC_INFORMATION);
    EXPECT_EQ(ChooseFirstPage(nullptr, true), IDD_EXISTING_SNAPSHOT);
    EXPECT_TRUE(captions.empty());

    administrator = false;
    EXPECT_EQ(ChooseFirstPage(nullptr, true), CPropertyPage::StayOnPage);
    answer = IDYES;
    EXPECT_EQ(ChooseFirstPage(nullptr, true), IDD_EXISTING_SNAPSHOT);
    EXPECT_EQ(captions, (std::vector<std::wstring>{L"ADMIN Rights", L"ADMIN Rights"}));

    SetMessageBoxFunction(nullptr);
    SetAdministratorCheck(nullptr);
}

} // namespace

// ---- Artwork ------------------------------------------------------------------------

TEST(TreeIcons, EveryTreeIconIsAResourceOfItsOwn)
{
    // The colour bits of each icon at 16 x 16; no two icons may be the same picture.
    std::map<std::string, int> pictures;
    for (int id : {IDI_CD_DRIVE, IDI_FIXED_DRIVE, IDI_FLOPPY_DRIVE, IDI_REMOVABLE_DRIVE, IDI_CLOSED_FOLDER,
                   IDI_OPEN_FOLDER, IDI_TREE_ITEM}) {
        HICON icon = static_cast<HICON>(
            LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR));
        ASSERT_NE(icon, nullptr) << "icon " << id;
        ICONINFO info{};
        ASSERT_TRUE(GetIconInfo(icon, &info)) << id;
        BITMAPINFO header{};
        header.bmiHeader.biSize = sizeof header.bmiHeader;
        header.bmiHeader.biWidth = 16;
        header.bmiHeader.biHeight = 16;
        header.bmiHeader.biPlanes = 1;
        header.bmiHeader.biBitCount = 32;
        std::string bits(16 * 16 * 4, '\0');
        HDC dc = GetDC(nullptr);
        EXPECT_EQ(GetDIBits(dc, info.hbmColor, 0, 16, bits.data(), &header, DIB_RGB_COLORS), 16) << id;
        ReleaseDC(nullptr, dc);
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        DestroyIcon(icon);
        const auto [at, added] = pictures.emplace(bits, id);
        EXPECT_TRUE(added) << "icons " << at->second << " and " << id << " are the same picture";
    }
}
