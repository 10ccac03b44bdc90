#include "ui/pages/ExistingSnapshotPage.h"

#include "common/Workspace.h"
#include "ui/framework/UiServices.h"
#include "ui/wizard/PagePositions.h"
#include "ui/wizard/Resource.h"

CExistingSnapshotDlg::CExistingSnapshotDlg(Session& session)
    : CPropertyPage(IDD_EXISTING_SNAPSHOT, L"Corvane Repackager 1.0: Existing Snapshot"), m_session(session)
{
}

BOOL CExistingSnapshotDlg::OnInitDialog()
{
    CPropertyPage::OnInitDialog();
    for (int id : {IDC_DESCRIPTION, IDC_STATUS, IDC_CONTINUE, IDC_START_OVER})
        SetItemFont(id, DialogFont());
    return TRUE;
}

BOOL CExistingSnapshotDlg::OnSetActive()
{
    // Next stays disabled: the two buttons of the page are the way on.
    SetWizardButtons(PSWIZB_BACK);
    return CPropertyPage::OnSetActive();
}

LRESULT CExistingSnapshotDlg::OnWizardBack()
{
    return IDD_WELCOME;
}

LRESULT CExistingSnapshotDlg::OnWizardNext()
{
    return IDD_BASIC_INFORMATION;
}

bool CExistingSnapshotDlg::OnCommand(WORD controlId, WORD code, HWND)
{
    if (code != BN_CLICKED)
        return false;
    if (controlId == IDC_CONTINUE) {
        Continue();
        return true;
    }
    if (controlId == IDC_START_OVER) {
        StartOver();
        return true;
    }
    return false;
}

void CExistingSnapshotDlg::Continue()
{
    SetActivePage(PagePosition::PostInstallationSnapshot);
}

void CExistingSnapshotDlg::StartOver()
{
    // The clean-up runs on this thread; the status line shows while it does.
    SetItemText(IDC_STATUS, L"Please wait while temporary files are cleaned up from previous session.");
    EnableItem(IDC_CONTINUE, false);
    RepaintItem(IDC_STATUS);
    DiscardPendingCapture(m_session.Paths);
    m_session.SnapshotPending = false;
    SetItemText(IDC_STATUS, L"");
    EnableItem(IDC_CONTINUE, true);
    SetActivePage(PagePosition::CaptureBasicInformation);
}

HBRUSH CExistingSnapshotDlg::OnCtlColor(HDC dc, HWND control, UINT message, HBRUSH defaultBrush)
{
    if (message == WM_CTLCOLORSTATIC && GetDlgCtrlID(control) == IDC_STATUS)
        SetTextColor(dc, RGB(0, 0, 255));
    return defaultBrush;
}
