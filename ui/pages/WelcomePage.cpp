#include "ui/pages/WelcomePage.h"

#include "common/Config.h"
#include "common/Log.h"
#include "common/Utf.h"
#include "manager/UIManager.h"
#include "ui/framework/UiServices.h"
#include "ui/wizard/Resource.h"

#include <shellapi.h>

#include <algorithm>

namespace {

constexpr UINT_PTR WaitTimerId = 1;

} // namespace

// ---- Resume decision -------------------------------------------------------------

LRESULT ChooseFirstPage(HWND owner, bool snapshotPending)
{
    if (!CheckAdministrator() &&
        ShowMessageBox(owner,
                       L"You do not have administrative rights Repackager may not work properly still want to continue",
                       L"ADMIN Rights", MB_YESNO | MB_ICONWARNING) != IDYES)
        return CPropertyPage::StayOnPage;
    return snapshotPending ? IDD_EXISTING_SNAPSHOT : IDD_BASIC_INFORMATION;
}

// ---- CCorvaneRepackagerStartDlg ------------------------------------------------

CCorvaneRepackagerStartDlg::CCorvaneRepackagerStartDlg(Session& session, CUIManager& manager)
    : CPropertyPage(IDD_WELCOME, L"Corvane Repackager 1.0: Welcome"), m_session(session),
      m_manager(manager)
{
}

BOOL CCorvaneRepackagerStartDlg::OnInitDialog()
{
    CPropertyPage::OnInitDialog();
    SetItemFont(IDC_MORE_INFORMATION, DialogFont());
    EnableSheetButton(ID_WIZNEXT, false);
    EnableSheetButton(ID_WIZBACK, false);

    if (m_manager.Coordinator().IsFirstSnapshotTaken())
        m_manager.ReadScanDetails();

    m_baseAddress = L"file://" + m_session.Paths.ProgramFolder + L"\\";
    const std::wstring config = m_session.Paths.ConfigFilePath;
    m_waitHtml = ReadConfigString(config, L"AdvertisementURL", L"WaitHTML", L"");
    m_staticAdvertisementHtml = ReadConfigString(config, L"AdvertisementURL", L"StaticAdvertisementHTML", L"");
    m_dynamicAdvertisementUrl = ReadConfigString(config, L"AdvertisementURL", L"DynamicAdvertisementURL", L"");
    m_timeOut = static_cast<UINT>(std::max(0, ReadConfigInt(config, L"AdvertisementURL", L"WaitTimeOut", 10))) * 1000;

    RECT area{};
    GetWindowRect(Item(IDC_BROWSER_PLACEHOLDER), &area);
    MapWindowPoints(nullptr, Window(), reinterpret_cast<POINT*>(&area), 2);
    m_waitBrowser.Create(WS_VISIBLE, area, Window());
    m_advertisementBrowser.Create(0, area, Window());

    SetTimer(Window(), WaitTimerId, m_timeOut, nullptr);
    m_waitBrowser.Navigate(m_baseAddress + m_waitHtml);
    LoadDynamicAdvertisement();
    return TRUE;
}

void CCorvaneRepackagerStartDlg::LoadDynamicAdvertisement()
{
    // An empty address cannot load; go straight to the local page.
    if (m_dynamicAdvertisementUrl.empty())
        Apply(m_sequence.OnAdvertisementNavigated(false));
    else
        m_advertisementBrowser.Navigate(m_dynamicAdvertisementUrl);
}

void CCorvaneRepackagerStartDlg::LoadStaticAdvertisement()
{
    m_advertisementBrowser.Stop();
    m_advertisementBrowser.Navigate(m_baseAddress + m_staticAdvertisementHtml);
}

void CCorvaneRepackagerStartDlg::Apply(CWelcomeSequence::Action action)
{
    switch (action) {
    case CWelcomeSequence::Action::ShowAdvertisement:
        ShowWindow(m_waitBrowser.Window(), SW_HIDE);
        ShowWindow(m_advertisementBrowser.Window(), SW_SHOW);
        EnableNextIfActive();
        break;
    case CWelcomeSequence::Action::LoadStaticPage:
        LoadStaticAdvertisement();
        break;
    case CWelcomeSequence::Action::None:
        break;
    }
}

void CCorvaneRepackagerStartDlg::EnableNextIfActive() const
{
    if (m_sequence.NextEnabled() && IsActive())
        SetWizardButtons(PSWIZB_NEXT);
}

BOOL CCorvaneRepackagerStartDlg::OnSetActive()
{
    SetWizardButtons(m_sequence.NextEnabled() ? PSWIZB_NEXT : 0);
    return CPropertyPage::OnSetActive();
}

LRESULT CCorvaneRepackagerStartDlg::OnWizardNext()
{
    return ChooseFirstPage(Window(), m_session.SnapshotPending);
}

bool CCorvaneRepackagerStartDlg::OnCommand(WORD controlId, WORD code, HWND)
{
    if (controlId == IDC_MORE_INFORMATION && code == BN_CLICKED) {
        OpenMoreInformation();
        return true;
    }
    return false;
}

void CCorvaneRepackagerStartDlg::OnTimer(UINT_PTR timerId)
{
    if (timerId != WaitTimerId)
        return;
    KillTimer(Window(), WaitTimerId);
    Apply(m_sequence.OnTimeOut(m_advertisementBrowser.Loaded()));
    EnableNextIfActive();
}

INT_PTR CCorvaneRepackagerStartDlg::OnMessage(UINT message, WPARAM, LPARAM lParam, bool& handled)
{
    handled = false;
    if (message != WM_BANNER_NAVIGATED)
        return 0;
    handled = true;
    // Only the advertisement decides; the wait page just shows.
    if (reinterpret_cast<HWND>(lParam) == m_advertisementBrowser.Window() && m_advertisementBrowser.Window())
        Apply(m_sequence.OnAdvertisementNavigated(m_advertisementBrowser.Loaded()));
    return TRUE;
}

void CCorvaneRepackagerStartDlg::OnDestroy()
{
    KillTimer(Window(), WaitTimerId);
    m_waitBrowser.Destroy();
    m_advertisementBrowser.Destroy();
}

std::wstring CCorvaneRepackagerStartDlg::MoreInformationAddress() const
{
    return m_baseAddress + m_staticAdvertisementHtml;
}

void CCorvaneRepackagerStartDlg::OpenMoreInformation() const
{
    const std::wstring address = MoreInformationAddress();
    const auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteW(Window(), L"open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    if (result > 32)
        return;
    // No association for the address: the browser registered for .htm.
    OpenWithHtmHandler(address);
}
