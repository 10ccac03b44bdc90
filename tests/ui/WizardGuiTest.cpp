// The real wizard sheet under the virtual display: page order and titles, the
// welcome page's time-out and resume decision, the Existing Snapshot page's
// two roads, and every check of the basic information page.
#include "common/Config.h"
#include "common/PathSetup.h"
#include "common/Utf.h"
#include "manager/UIManager.h"
#include "tests/ui/WizardHarness.h"
#include "ui/framework/UiServices.h"
#include "ui/wizard/Resource.h"

#include <gtest/gtest.h>

#include <ole2.h>

#include <optional>

namespace {

std::wstring ThisProgram()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

class WizardTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        OleInitialize(nullptr);
        m_environment = std::make_unique<WizardEnvironment>(m_session);
        SetAdministratorCheck([this] { return m_administrator; });
        SetFileOpenFunction([this](HWND, const std::wstring& filter) {
            m_filters.push_back(filter);
            return m_chosenFile;
        });
        m_manager = std::make_unique<CUIManager>(m_session);
        ASSERT_TRUE(m_manager->Initialize());
    }

    void TearDown() override
    {
        m_wizard.reset();
        m_manager->Uninitialize();
        m_manager.reset();
        SetAdministratorCheck(nullptr);
        SetFileOpenFunction(nullptr);
        m_environment.reset();
        OleUninitialize();
    }

    WizardDriver& Open()
    {
        m_wizard = std::make_unique<WizardDriver>(m_session, *m_manager);
        return *m_wizard;
    }

    // The wizard on the basic information page with a choice made.
    WizardDriver& OpenBasicInformation(int choice)
    {
        WizardDriver& w = Open();
        EXPECT_TRUE(w.LeaveWelcome(PagePosition::CaptureBasicInformation));
        if (choice)
            w.Click(choice);
        return w;
    }

    std::wstring File(const std::wstring& name, std::string_view content = "content")
    {
        const std::wstring path = m_environment->Files() + L"\\" + name;
        WriteFileBytes(path, content);
        return path;
    }

    std::wstring SetupProgram(const std::wstring& name = L"App.exe")
    {
        const std::wstring path = m_environment->Files() + L"\\" + name;
        EXPECT_TRUE(CopyFileW(ThisProgram().c_str(), path.c_str(), FALSE));
        return path;
    }

    void TypeProduct(WizardDriver& w, const std::wstring& name, const std::wstring& version,
                     const std::wstring& company)
    {
        w.Type(IDC_APPLICATION_NAME, name);
        w.Type(IDC_VERSION, version);
        w.Type(IDC_COMPANY_NAME, company);
    }

    bool NavigationDisabled(WizardDriver& w)
    {
        return WaitUntil([&] {
            return !w.IsButtonEnabled(ID_WIZBACK) && !w.IsButtonEnabled(ID_WIZNEXT) &&
                   w.IsButtonVisible(ID_WIZFINISH) && !w.IsButtonEnabled(ID_WIZFINISH);
        });
    }

    bool BackAndNextEnabled(WizardDriver& w)
    {
        return WaitUntil([&] { return w.IsButtonEnabled(ID_WIZBACK) && w.IsButtonEnabled(ID_WIZNEXT); });
    }

    std::unique_ptr<WizardEnvironment> m_environment;
    std::unique_ptr<WizardDriver> m_wizard;
    MessageBoxRecorder m_messages;
    Session m_session;
    std::unique_ptr<CUIManager> m_manager;
    bool m_administrator = true;
    std::wstring m_chosenFile;
    std::vector<std::wstring> m_filters;
};

// ---- The sheet -------------------------------------------------------------------

TEST_F(WizardTest, SheetHoldsElevenPagesInOrderWithTheirTitles)
{
    WizardDriver& w = Open();
    const std::vector<std::pair<UINT, std::wstring>> expected = {
        {151, L"Welcome"},
        {102, L"Capture Basic Information"},
        {133, L"Pre Installation Snapshot"},
        {130, L"Launch Setup"},
        {131, L"Post Installation Snapshot"},
        {143, L"Package Content Review"},
        {144, L"Package Content Review"},
        {145, L"Create Project File and MSI"},
        {146, L"Project File Content Review"},
        {163, L"Build MSI"},
        {134, L"Existing Snapshot"}};
    ASSERT_EQ(w.Sheet().PageCount(), PagePosition::Count);
    for (int i = 0; i < PagePosition::Count; ++i) {
        SCOPED_TRACE(i);
        const auto& [id, name] = expected[static_cast<std::size_t>(i)];
        EXPECT_EQ(w.Sheet().Page(i)->Id(), id);
        EXPECT_EQ(w.Sheet().PositionOf(id), i);
        EXPECT_EQ(w.Sheet().Page(i)->Title(), L"Corvane Repackager 1.0: " + name);
    }
    // Every page can be shown, and the caption follows the current page.
    for (int i = PagePosition::Count - 1; i >= 0; --i) {
        SCOPED_TRACE(i);
        ASSERT_TRUE(w.Sheet().SetActivePage(i));
        ASSERT_TRUE(w.WaitForPosition(i));
        EXPECT_EQ(w.Caption(), w.Sheet().Page(i)->Title());
    }
    EXPECT_FALSE(w.IsButtonVisible(IDHELP));
    EXPECT_NE(GetDlgItem(w.Window(), IDC_SHEET_BANNER), nullptr);
}

TEST_F(WizardTest, LaterStepsFollowTheirTargetsByIdentifier)
{
    // The capture pages between them have their own tests (CapturePagesTest.cpp).
    WizardDriver& w = Open();
    ASSERT_TRUE(w.Sheet().SetActivePage(PagePosition::ReviewFiles));
    for (int position : {PagePosition::ReviewRegistry, PagePosition::CreateProjectFile}) {
        ASSERT_TRUE(BackAndNextEnabled(w));
        w.PressNext();
        ASSERT_TRUE(w.WaitForPosition(position)) << position;
    }
    // The Create Project File page does not lead to the review of an existing project file.
    w.PressNext();
    PumpMessages();
    EXPECT_EQ(w.Position(), PagePosition::CreateProjectFile);

    ASSERT_TRUE(w.Sheet().SetActivePage(PagePosition::ShowProjectFile));
    w.PressBack();
    EXPECT_TRUE(w.WaitForPosition(PagePosition::CaptureBasicInformation));
}

// ---- Welcome page and resume decision ------------------------------------------------

TEST_F(WizardTest, WelcomeEnablesOnlyNextAfterTheTimeOut)
{
    WizardDriver& w = Open();
    EXPECT_EQ(w.PageId(), IDD_WELCOME);
    EXPECT_EQ(w.Caption(), L"Corvane Repackager 1.0: Welcome");
    // Whatever the browsers do on this machine, the user is not kept waiting.
    ASSERT_TRUE(WaitUntil([&] { return w.IsButtonEnabled(ID_WIZNEXT); }, 10000));
    EXPECT_FALSE(w.IsButtonEnabled(ID_WIZBACK));
    EXPECT_TRUE(w.Sheet().WelcomePage().Sequence().NextEnabled());
    EXPECT_EQ(w.Sheet().WelcomePage().BaseAddress(), L"file://" + m_environment->Program() + L"\\");

    // Back from the basic information page: Next only.
    w.PressNext();
    ASSERT_TRUE(w.WaitForPosition(PagePosition::CaptureBasicInformation));
    ASSERT_TRUE(BackAndNextEnabled(w));
    w.PressBack();
    ASSERT_TRUE(w.WaitForPosition(PagePosition::Welcome));
    EXPECT_TRUE(WaitUntil([&] { return w.IsButtonEnabled(ID_WIZNEXT) && !w.IsButtonEnabled(ID_WIZBACK); }));
    EXPECT_TRUE(m_messages.shown.empty());
}

TEST_F(WizardTest, ResumeDecisionFollowsThePendingCapture)
{
    {
        WizardDriver& w = Open();
        ASSERT_TRUE(w.LeaveWelcome(PagePosition::CaptureBasicInformation));
    }
    m_session.SnapshotPending = true;
    {
        WizardDriver& w = Open();
        EXPECT_TRUE(w.LeaveWelcome(PagePosition::ExistingSnapshot));
    }
    m_session.SnapshotPending = false;
    EXPECT_TRUE(m_messages.shown.empty());
}

TEST_F(WizardTest, UserWithoutAdministratorRightsIsAskedFirst)
{
    m_administrator = false;
    m_messages.answer = IDNO;
    WizardDriver& w = Open();
    ASSERT_TRUE(WaitUntil([&] { return w.IsButtonEnabled(ID_WIZNEXT); }, 10000));
    w.PressNext();
    ASSERT_TRUE(WaitUntil([&] { return m_messages.shown.size() == 1; }));
    PumpMessages();
    EXPECT_EQ(w.Position(), PagePosition::Welcome);
    EXPECT_EQ(m_messages.shown[0].text,
              L"You do not have administrative rights Repackager may not work properly still want to continue");
    EXPECT_EQ(m_messages.shown[0].caption, L"ADMIN Rights");
    EXPECT_EQ(m_messages.shown[0].type, static_cast<UINT>(MB_YESNO | MB_ICONWARNING));

    m_messages.answer = IDYES;
    w.PressNext();
    EXPECT_TRUE(w.WaitForPosition(PagePosition::CaptureBasicInformation));
    EXPECT_EQ(m_messages.shown.size(), 2u);
}

// ---- Existing Snapshot page ------------------------------------------------------------

class ExistingSnapshotTest : public WizardTest
{
protected:
    void SetUp() override
    {
        WizardTest::SetUp();
        // What an earlier capture left behind.
        ASSERT_TRUE(WriteSnapshotTakenKey(m_session.Paths));
        m_session.SnapshotPending = true;
        EnsureFolder(m_session.Paths.TempFolder());
        WriteFileBytes(m_session.Paths.TempFolder() + L"\\FileChanges.xml", "<x/>");
        WriteFileBytes(m_session.Paths.SnapshotFolder() + L"\\FirstSnapShot.txt", "snapshot");
        WriteFileBytes(m_session.Paths.IniBackupFolder + L"\\app.ini", "[a]");
    }
    void TearDown() override
    {
        m_session.SnapshotPending = false;
        WizardTest::TearDown();
    }

    WizardDriver& OpenExistingSnapshot()
    {
        WizardDriver& w = Open();
        EXPECT_TRUE(w.LeaveWelcome(PagePosition::ExistingSnapshot));
        EXPECT_TRUE(WaitUntil([&] { return w.IsButtonEnabled(ID_WIZBACK) && !w.IsButtonEnabled(ID_WIZNEXT); }));
        return w;
    }
};

TEST_F(ExistingSnapshotTest, ContinueGoesToThePostInstallationSnapshotAndKeepsEverything)
{
    WizardDriver& w = OpenExistingSnapshot();
    EXPECT_EQ(w.Caption(), L"Corvane Repackager 1.0: Existing Snapshot");
    w.Click(IDC_CONTINUE);
    ASSERT_TRUE(w.WaitForPosition(PagePosition::PostInstallationSnapshot));
    EXPECT_TRUE(PathExists(m_session.Paths.TempFolder() + L"\\FileChanges.xml"));
    EXPECT_TRUE(PathExists(m_session.Paths.SnapshotFolder() + L"\\FirstSnapShot.txt"));
    EXPECT_TRUE(PathExists(m_session.Paths.IniBackupFolder + L"\\app.ini"));
    EXPECT_TRUE(ReadSnapshotTakenKey(m_session.Paths));
    // A resumed run goes back to where it came from.
    ASSERT_TRUE(BackAndNextEnabled(w));
    w.PressBack();
    EXPECT_TRUE(w.WaitForPosition(PagePosition::ExistingSnapshot));
}

TEST_F(ExistingSnapshotTest, StartOverDiscardsTheEarlierCapture)
{
    WizardDriver& w = OpenExistingSnapshot();
    w.Click(IDC_START_OVER);
    ASSERT_TRUE(w.WaitForPosition(PagePosition::CaptureBasicInformation));
    EXPECT_FALSE(PathExists(m_session.Paths.TempFolder()));
    EXPECT_TRUE(IsFolder(m_session.Paths.SnapshotFolder()));
    EXPECT_FALSE(PathExists(m_session.Paths.SnapshotFolder() + L"\\FirstSnapShot.txt"));
    EXPECT_TRUE(IsFolder(m_session.Paths.IniBackupFolder));
    EXPECT_FALSE(PathExists(m_session.Paths.IniBackupFolder + L"\\app.ini"));
    EXPECT_FALSE(ReadSnapshotTakenKey(m_session.Paths));
    EXPECT_FALSE(m_session.SnapshotPending);

    // The page is left as it was found for a later visit.
    ASSERT_TRUE(w.Sheet().SetActivePage(PagePosition::ExistingSnapshot));
    ASSERT_TRUE(w.WaitForPosition(PagePosition::ExistingSnapshot));
    EXPECT_EQ(w.Text(IDC_STATUS), L"");
    EXPECT_TRUE(IsWindowEnabled(w.Control(IDC_CONTINUE)));
    EXPECT_EQ(w.TextColour(IDC_STATUS), RGB(0, 0, 255));
    w.PressBack();
    EXPECT_TRUE(w.WaitForPosition(PagePosition::Welcome));
}

// ---- Basic information page ----------------------------------------------------------

TEST_F(WizardTest, ChoosingShowsTheFieldsAndLabelsTheLocation)
{
    WizardDriver& w = OpenBasicInformation(0);
    EXPECT_FALSE(w.IsVisible(IDC_LOCATION));
    EXPECT_EQ(w.Text(IDC_DESCRIPTION).substr(0, 40), L"On this screen you can choose one of the");
    w.PressNext();
    ASSERT_TRUE(WaitUntil([&] { return m_messages.shown.size() == 1; }));
    EXPECT_EQ(m_messages.shown[0].text, L"Please select any radio button to proceed");
    EXPECT_EQ(m_messages.shown[0].caption, L"Information");
    EXPECT_EQ(m_messages.shown[0].type, static_cast<UINT>(MB_OK | MB_ICONINFORMATION));
    EXPECT_EQ(w.Position(), PagePosition::CaptureBasicInformation);

    w.Click(IDC_CREATE_PROJECT);
    for (int id : {IDC_LOCATION_LABEL, IDC_LOCATION, IDC_BROWSE, IDC_APPLICATION_NAME, IDC_VERSION,
                   IDC_COMPANY_NAME, IDC_MANDATORY_NOTE})
        EXPECT_TRUE(w.IsVisible(id)) << id;
    EXPECT_EQ(w.Text(IDC_LOCATION_LABEL), L"Setup File Location: *");
    EXPECT_EQ(w.TextColour(IDC_MANDATORY_NOTE), RGB(230, 0, 0));
    w.Click(IDC_BUILD_PACKAGE);
    EXPECT_EQ(w.Text(IDC_LOCATION_LABEL), L"Project File Location: *");

    // Empty location: the label turns red, nothing is said.
    w.PressNext();
    PumpMessages();
    EXPECT_EQ(m_messages.shown.size(), 1u);
    EXPECT_TRUE(w.Sheet().BasicInformationPage().IsMarked(IDC_LOCATION_LABEL));
    EXPECT_EQ(w.TextColour(IDC_LOCATION_LABEL), RGB(230, 0, 0));
    EXPECT_NE(w.TextColour(IDC_APPLICATION_LABEL), RGB(230, 0, 0));
}

TEST_F(WizardTest, MsiSetupIsRefusedUntilTheLocationChanges)
{
    const std::wstring msi = File(L"App.MSI");
    WizardDriver& w = OpenBasicInformation(IDC_CREATE_PROJECT);
    w.Type(IDC_LOCATION, msi);
    TypeProduct(w, L"App", L"1.0", L"Acme");
    w.PressNext();
    ASSERT_TRUE(NavigationDisabled(w));
    ASSERT_EQ(m_messages.shown.size(), 1u);
    EXPECT_EQ(m_messages.shown[0].text, L"This application does not support MSI setups. Please contact Corvane for "
                                        L"details about how to deploy the MSI setup properly ");
    EXPECT_EQ(m_messages.shown[0].caption, L"Error");
    EXPECT_EQ(m_messages.shown[0].type, static_cast<UINT>(MB_OK | MB_ICONERROR));
    for (int id : {IDC_LOCATION, IDC_APPLICATION_NAME, IDC_VERSION, IDC_COMPANY_NAME})
        EXPECT_EQ(w.Text(id), L"") << id;

    w.Type(IDC_LOCATION, SetupProgram());
    w.Leave(IDC_LOCATION, IDC_APPLICATION_NAME);
    EXPECT_TRUE(BackAndNextEnabled(w));
}

TEST_F(WizardTest, NonExecutableAndMissingFilesAreRefused)
{
    WizardDriver& w = OpenBasicInformation(IDC_CREATE_PROJECT);
    w.Type(IDC_LOCATION, File(L"setup.bat"));
    TypeProduct(w, L"App", L"1.0", L"Acme");
    w.PressNext();
    ASSERT_TRUE(NavigationDisabled(w));
    ASSERT_EQ(m_messages.shown.size(), 1u);
    EXPECT_EQ(m_messages.shown[0].text,
              L"This application supports only executable (.exe) files.This is not an executable file.");
    EXPECT_EQ(m_messages.shown[0].caption, L"Error");

    w.Type(IDC_LOCATION, m_environment->Files() + L"\\missing.exe");
    TypeProduct(w, L"App", L"1.0", L"Acme");
    w.PressNext();
    ASSERT_TRUE(WaitUntil([&] { return m_messages.shown.size() == 2; }));
    EXPECT_EQ(m_messages.shown[1].text, L"File doesn't exist, please provide existing File Path");
    EXPECT_EQ(m_messages.shown[1].caption, L"Warning");
    EXPECT_EQ(m_messages.shown[1].type, static_cast<UINT>(MB_OK | MB_ICONWARNING));
    EXPECT_EQ(w.Text(IDC_APPLICATION_NAME), L"");

    // A folder is no file either.
    w.Type(IDC_LOCATION, m_environment->Files());
    w.PressNext();
    ASSERT_TRUE(WaitUntil([&] { return m_messages.shown.size() == 3; }));
    EXPECT_EQ(m_messages.shown[2].caption, L"Warning");
    EXPECT_EQ(w.Position(), PagePosition::CaptureBasicInformation);
}

TEST_F(WizardTest, VersionResourceProposesTheProductInformation)
{
    const std::wstring setup = SetupProgram();
    WizardDriver& w = OpenBasicInformation(IDC_CREATE_PROJECT);
    w.Type(IDC_LOCATION, setup);
    w.Leave(IDC_LOCATION, IDC_APPLICATION_NAME);
    EXPECT_EQ(w.Text(IDC_APPLICATION_NAME), L"Widget Maker");
    EXPECT_EQ(w.Text(IDC_VERSION), L"2.5");
    EXPECT_EQ(w.Text(IDC_COMPANY_NAME), L"Acme Test Corp");

    // Browsing proposes the strings as they are.
    m_chosenFile = setup;
    w.Click(IDC_BROWSE);
    ASSERT_EQ(m_filters.size(), 1u);
    EXPECT_EQ(m_filters[0], L"Exe Files (*.exe)|*.exe||");
    EXPECT_EQ(w.Text(IDC_LOCATION), setup);
    EXPECT_EQ(w.Text(IDC_COMPANY_NAME), L"  Acme Test Corp  ");

    // A file without a version resource leaves what the fields hold, as does
    // tabbing through an unchanged location after the user typed.
    TypeProduct(w, L"Typed", L"9.9", L"Typed Inc");
    w.Leave(IDC_LOCATION, IDC_VERSION);
    w.Type(IDC_LOCATION, File(L"plain.exe", "MZ"));
    w.Leave(IDC_LOCATION, IDC_VERSION);
    w.Leave(IDC_LOCATION, IDC_VERSION);
    EXPECT_EQ(w.Text(IDC_APPLICATION_NAME), L"Typed");
    EXPECT_EQ(w.Text(IDC_VERSION), L"9.9");
    EXPECT_EQ(w.Text(IDC_COMPANY_NAME), L"Typed Inc");
    EXPECT_TRUE(m_messages.shown.empty());
}

TEST_F(WizardTest, TypedFieldsSurviveBackThenNext)
{
    const std::wstring setup = SetupProgram();
    WizardDriver& w = OpenBasicInformation(IDC_CREATE_PROJECT);
    w.Type(IDC_LOCATION, setup);
    TypeProduct(w, L"Typed App", L"3.0", L"Typed Inc");
    w.PressBack();
    ASSERT_TRUE(w.WaitForPosition(PagePosition::Welcome));
    ASSERT_TRUE(w.LeaveWelcome(PagePosition::CaptureBasicInformation));
    EXPECT_EQ(w.Text(IDC_LOCATION), setup);
    EXPECT_EQ(w.Text(IDC_APPLICATION_NAME), L"Typed App");
    EXPECT_EQ(w.Text(IDC_VERSION), L"3.0");
    EXPECT_EQ(w.Text(IDC_COMPANY_NAME), L"Typed Inc");
    w.PressNext();
    ASSERT_TRUE(w.WaitForPosition(PagePosition::PreInstallationSnapshot));
    EXPECT_EQ(m_manager->GetProductInfo(), (ProductInfo{L"TypedApp", L"3.0", L"TypedInc"}));
}

TEST_F(WizardTest, NewCaptureIsAcceptedWithoutBlanks)
{
    const std::wstring setup = SetupProgram();
    WizardDriver& w = OpenBasicInformation(IDC_CREATE_PROJECT);
    w.Type(IDC_LOCATION, setup);
    TypeProduct(w, L"My App", L"1.0", L"Acme Corp");
    w.PressNext();
    ASSERT_TRUE(w.WaitForPosition(PagePosition::PreInstallationSnapshot));
    EXPECT_TRUE(m_messages.shown.empty());
    const ProductInfo expected{L"MyApp", L"1.0", L"AcmeCorp"};
    EXPECT_EQ(m_manager->GetProductInfo(), expected);
    EXPECT_EQ(m_manager->GetSetupFilePath(), setup);

    // Coming back shows the accepted values; switching choice and back restores them.
    w.PressBack();
    ASSERT_TRUE(w.WaitForPosition(PagePosition::CaptureBasicInformation));
    EXPECT_EQ(w.Text(IDC_APPLICATION_NAME), L"MyApp");
    w.Click(IDC_BUILD_PACKAGE);
    EXPECT_EQ(w.Text(IDC_LOCATION), L"");
    w.Click(IDC_CREATE_PROJECT);
    EXPECT_EQ(w.Text(IDC_LOCATION), setup);
    EXPECT_EQ(w.Text(IDC_COMPANY_NAME), L"AcmeCorp");
}

TEST_F(WizardTest, MissingProductFieldsTurnTheirLabelsRed)
{
    const std::wstring setup = SetupProgram();
    WizardDriver& w = OpenBasicInformation(IDC_CREATE_PROJECT);
    w.Type(IDC_LOCATION, setup);
    TypeProduct(w, L"setup.exe", L"2.0", L"Acme");
    w.PressNext();
    ASSERT_TRUE(WaitUntil([&] { return m_messages.shown.size() == 1; }));
    EXPECT_EQ(m_messages.shown[0].text, L"Please provide required fields and then click Next to proceed");
    EXPECT_EQ(m_messages.shown[0].caption, L"Warning");
    const CCorvaneRepackagerDlg& page = w.Sheet().BasicInformationPage();
    EXPECT_EQ(page.MarkedLabels(), std::vector<int>{IDC_APPLICATION_LABEL});
    EXPECT_EQ(w.TextColour(IDC_APPLICATION_LABEL), RGB(230, 0, 0));

    TypeProduct(w, L"  ", L" ", L"");
    w.PressNext();
    ASSERT_TRUE(WaitUntil([&] { return m_messages.shown.size() == 2; }));
    PumpMessages();
    EXPECT_EQ(m_messages.shown.size(), 2u);
    EXPECT_EQ(page.MarkedLabels(), (std::vector<int>{IDC_APPLICATION_LABEL, IDC_VERSION_LABEL, IDC_COMPANY_LABEL}));
    // The blank-free values are written back.
    EXPECT_EQ(w.Text(IDC_APPLICATION_NAME), L"");
    EXPECT_EQ(w.Position(), PagePosition::CaptureBasicInformation);
}

TEST_F(WizardTest, ExistingProjectFileLeadsToItsReview)
{
    const std::wstring project =
        File(L"Project.xml", "<?xml version=\"1.0\"?><CorvaneProject><ProductInformation>"
                             "<ProductInformation ApplicationName=\"Viewer\" Version=\"3.1\" CompanyName=\"Acme\"/>"
                             "</ProductInformation></CorvaneProject>");
    WizardDriver& w = OpenBasicInformation(IDC_BUILD_PACKAGE);

    // Not an ".XML" path: Back and Next go, without a word.
    w.Type(IDC_LOCATION, File(L"project.txt"));
    TypeProduct(w, L"Viewer", L"3.1", L"Acme");
    w.PressNext();
    ASSERT_TRUE(NavigationDisabled(w));
    EXPECT_TRUE(m_messages.shown.empty());

    m_chosenFile = project;
    w.Click(IDC_BROWSE);
    ASSERT_EQ(m_filters.size(), 1u);
    EXPECT_EQ(m_filters[0], L"XML Filess (*.xml)|*.xml||");
    EXPECT_TRUE(BackAndNextEnabled(w));
    EXPECT_EQ(w.Text(IDC_APPLICATION_NAME), L"Viewer");
    EXPECT_EQ(w.Text(IDC_VERSION), L"3.1");
    EXPECT_EQ(w.Text(IDC_COMPANY_NAME), L"Acme");

    EXPECT_FALSE(PathExists(m_session.Paths.TempFolder()));
    w.PressNext();
    ASSERT_TRUE(w.WaitForPosition(PagePosition::ShowProjectFile));
    EXPECT_TRUE(IsFolder(m_session.Paths.TempFolder()));
    EXPECT_TRUE(IsFolder(m_session.Paths.PackagesFolder()));
    EXPECT_EQ(m_session.ProjectFilePath(), project);
    EXPECT_TRUE(m_messages.shown.empty());
}

} // namespace
