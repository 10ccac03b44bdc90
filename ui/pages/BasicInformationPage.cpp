#include "ui/pages/BasicInformationPage.h"

#include "manager/UIManager.h"
#include "ui/framework/UiServices.h"
#include "ui/wizard/Resource.h"

#include <algorithm>

namespace {

constexpr wchar_t Description[] =
    L"On this screen you can choose one of the two options to build a MSI package.\r\n\r\nThe first option allows "
    L"you to create a new project file by identifying changes done to the system by an application installater. "
    L"Alternately you can specify an existing project file to build a MSI package.";

constexpr int ChoiceControls[] = {IDC_LOCATION_LABEL, IDC_LOCATION,     IDC_BROWSE,        IDC_APPLICATION_LABEL,
                                  IDC_APPLICATION_NAME, IDC_VERSION_LABEL, IDC_VERSION,     IDC_COMPANY_LABEL,
                                  IDC_COMPANY_NAME,   IDC_MANDATORY_NOTE};
constexpr int Labels[] = {IDC_LOCATION_LABEL, IDC_APPLICATION_LABEL, IDC_VERSION_LABEL, IDC_COMPANY_LABEL};

} // namespace

CCorvaneRepackagerDlg::CCorvaneRepackagerDlg(Session& session, CUIManager& manager)
    : CPropertyPage(IDD_BASIC_INFORMATION, L"Corvane Repackager 1.0: Capture Basic Information"), m_session(session),
      m_manager(manager)
{
}

int CCorvaneRepackagerDlg::SelectedChoice() const
{
    if (IsChecked(IDC_CREATE_PROJECT))
        return IDC_CREATE_PROJECT;
    if (IsChecked(IDC_BUILD_PACKAGE))
        return IDC_BUILD_PACKAGE;
    return 0;
}

bool CCorvaneRepackagerDlg::IsMarked(int labelId) const
{
    return std::find(m_markedLabels.begin(), m_markedLabels.end(), labelId) != m_markedLabels.end();
}

BasicInformationFields CCorvaneRepackagerDlg::Accepted() const
{
    return {m_location, m_applicationName, m_version, m_companyName};
}

void CCorvaneRepackagerDlg::DoDataExchange(CDataExchange& exchange)
{
    exchange.Text(IDC_LOCATION, m_location);
    exchange.Text(IDC_APPLICATION_NAME, m_applicationName);
    exchange.Text(IDC_VERSION, m_version);
    exchange.Text(IDC_COMPANY_NAME, m_companyName);
}

BOOL CCorvaneRepackagerDlg::OnInitDialog()
{
    CPropertyPage::OnInitDialog();
    for (int id : {IDC_MANDATORY_NOTE, IDC_LOCATION_LABEL, IDC_APPLICATION_LABEL, IDC_VERSION_LABEL,
                   IDC_COMPANY_LABEL, IDC_CREATE_PROJECT, IDC_BUILD_PACKAGE, IDC_DESCRIPTION})
        SetItemFont(id, DialogFont());
    SetItemText(IDC_DESCRIPTION, Description);

    if (m_manager.Coordinator().IsFirstSnapshotTaken())
        m_manager.ReadScanDetails();

    SendMessageW(Item(IDC_LOCATION), EM_LIMITTEXT, 512, 0);
    for (int id : {IDC_APPLICATION_NAME, IDC_VERSION, IDC_COMPANY_NAME})
        SendMessageW(Item(id), EM_LIMITTEXT, 128, 0);
    return TRUE;
}

BOOL CCorvaneRepackagerDlg::OnSetActive()
{
    SetWizardButtons(PSWIZB_BACK | PSWIZB_NEXT);
    if (!m_cameBack)
        m_rememberedChoice = SelectedChoice();
    return CPropertyPage::OnSetActive();
}

LRESULT CCorvaneRepackagerDlg::OnWizardBack()
{
    m_cameBack = true;
    return IDD_WELCOME;
}

bool CCorvaneRepackagerDlg::OnCommand(WORD controlId, WORD code, HWND)
{
    if ((controlId == IDC_CREATE_PROJECT || controlId == IDC_BUILD_PACKAGE) && code == BN_CLICKED) {
        if (IsChecked(controlId))
            OnChoiceClicked(controlId);
        return true;
    }
    if (controlId == IDC_LOCATION && code == EN_KILLFOCUS) {
        OnLocationKillFocus();
        return true;
    }
    if (controlId == IDC_BROWSE && code == BN_CLICKED) {
        OnBrowse();
        return true;
    }
    return false;
}

void CCorvaneRepackagerDlg::OnChoiceClicked(int choice)
{
    SetWizardButtons(PSWIZB_BACK | PSWIZB_NEXT);
    for (int id : ChoiceControls)
        ShowItem(id, true);
    SetItemText(IDC_LOCATION_LABEL,
                choice == IDC_CREATE_PROJECT ? L"Setup File Location: *" : L"Project File Location: *");
    if (m_rememberedChoice == choice)
        UpdateData(false);
    else
        EmptyFields();
    m_proposedFrom = ItemText(IDC_LOCATION);
}

void CCorvaneRepackagerDlg::OnLocationKillFocus()
{
    SetWizardButtons(PSWIZB_BACK | PSWIZB_NEXT);
    m_location = ItemText(IDC_LOCATION);
    if (SelectedChoice() == IDC_CREATE_PROJECT)
        FillProductFields(ProposeOnLeavingLocation(m_location, m_proposedFrom, TypedProduct()));
    else
        FillProductFields(ProposeFromProjectFile(m_session, Manager(), m_location));
}

void CCorvaneRepackagerDlg::OnBrowse()
{
    SetWizardButtons(PSWIZB_BACK | PSWIZB_NEXT);
    const bool setup = SelectedChoice() == IDC_CREATE_PROJECT;
    const std::wstring path =
        ShowFileOpenDialog(Window(), setup ? L"Exe Files (*.exe)|*.exe||" : L"XML Filess (*.xml)|*.xml||");
    SetItemText(IDC_LOCATION, path);
    if (path.empty())
        return;
    if (setup) {
        m_proposedFrom = path;
        FillProductFields(KeepTypedWhereEmpty(TypedProduct(), ProposeFromSetupFile(path, false)));
    } else {
        FillProductFields(ProposeFromProjectFile(m_session, Manager(), path));
    }
}

LRESULT CCorvaneRepackagerDlg::OnWizardNext()
{
    m_location = ItemText(IDC_LOCATION);
    m_cameBack = false;
    m_markedLabels.clear();
    const int choice = SelectedChoice();

    const BasicInformationCheck check = CheckBasicInformation(
        choice, {m_location, ItemText(IDC_APPLICATION_NAME), ItemText(IDC_VERSION), ItemText(IDC_COMPANY_NAME)});
    if (check.productRead) {
        m_applicationName = check.values.applicationName;
        m_version = check.values.version;
        m_companyName = check.values.companyName;
    }
    m_markedLabels = check.markedLabels;
    for (int id : Labels)
        RepaintItem(id);
    // The message first: while it shows, the focus may leave the location
    // field, whose handler must not undo what follows.
    if (!check.message.empty())
        ShowMessage(check.message, check.caption, check.messageType);
    if (check.disableNavigation)
        SetWizardButtons(PSWIZB_DISABLEDFINISH);
    if (check.clearFields)
        EmptyFields();
    for (int id : check.writeBack)
        SetItemText(id, id == IDC_APPLICATION_NAME ? m_applicationName : id == IDC_VERSION ? m_version : m_companyName);
    if (!check.accepted)
        return StayOnPage;
    return AcceptBasicInformation(m_session, Manager(), choice, check.values);
}

HBRUSH CCorvaneRepackagerDlg::OnCtlColor(HDC dc, HWND control, UINT message, HBRUSH defaultBrush)
{
    if (message == WM_CTLCOLORSTATIC) {
        const int id = GetDlgCtrlID(control);
        if (id == IDC_MANDATORY_NOTE || IsMarked(id))
            SetTextColor(dc, RGB(230, 0, 0));
    }
    return defaultBrush;
}

void CCorvaneRepackagerDlg::FillProductFields(const ProductInfo& product) const
{
    SetItemText(IDC_APPLICATION_NAME, product.ApplicationName);
    SetItemText(IDC_VERSION, product.Version);
    SetItemText(IDC_COMPANY_NAME, product.CompanyName);
}

ProductInfo CCorvaneRepackagerDlg::TypedProduct() const
{
    return {ItemText(IDC_APPLICATION_NAME), ItemText(IDC_VERSION), ItemText(IDC_COMPANY_NAME)};
}

void CCorvaneRepackagerDlg::EmptyFields()
{
    for (int id : {IDC_LOCATION, IDC_APPLICATION_NAME, IDC_VERSION, IDC_COMPANY_NAME})
        SetItemText(id, L"");
    m_proposedFrom.clear();
}
