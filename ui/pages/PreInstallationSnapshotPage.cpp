#include "ui/pages/PreInstallationSnapshotPage.h"

#include "manager/UIManager.h"
#include "ui/dialogs/AdvanceSheet.h"
#include "ui/framework/UiServices.h"
#include "ui/pages/CaptureProgress.h"
#include "ui/wizard/PagePositions.h"
#include "ui/wizard/Resource.h"

#include <commctrl.h>

namespace {

constexpr wchar_t Description[] =
    L"This screen shows you the list of directories and registry keys that will be included in snapshot of the "
    L"system. You can change this default list of included items by clicking the \"Advanced\" button. You may also "
    L"modify items that are excluded by default by clicking the \"Advanced\" button.";

} // namespace

CCaptureSnapshotDlg::CCaptureSnapshotDlg(Session& session, CUIManager& manager)
    : CPropertyPage(IDD_PRE_INSTALLATION, L"Corvane Repackager 1.0: Pre Installation Snapshot"),
      m_session(session), m_manager(manager)
{
}

BOOL CCaptureSnapshotDlg::OnInitDialog()
{
    CPropertyPage::OnInitDialog();
    for (int id : {IDC_FOLDERS_LABEL, IDC_HIVES_LABEL, IDC_SNAPSHOT_DONE, IDC_SNAPSHOT_STATUS, IDC_ADVANCED,
                   IDC_SNAPSHOT_DETAIL, IDC_FOLDER_TREE, IDC_HIVE_TREE, IDC_DESCRIPTION})
        SetItemFont(id, DialogFont());
    SetItemText(IDC_DESCRIPTION, Description);

    // The selection of both snapshots, with the setup program and the product
    // information; the manager saves it so that a restart can resume.
    CUIManager& manager = Manager();
    manager.SetScanDetails(manager.ScanDetailsFromIncludedLists());
    (void)manager.WriteScanDetails(); // logged
    ReloadSelection();

    SendMessageW(Item(IDC_SNAPSHOT_PROGRESS), PBM_SETRANGE32, 0, CaptureProgress::Range);
    SendMessageW(Item(IDC_SNAPSHOT_PROGRESS), PBM_SETSTEP, 1, 0);
    return TRUE;
}

void CCaptureSnapshotDlg::ReloadSelection()
{
    SendMessageW(Item(IDC_FOLDER_TREE), TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
    SendMessageW(Item(IDC_HIVE_TREE), TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
    m_itemCount = CaptureProgress::ShowSelection(Item(IDC_FOLDER_TREE), Item(IDC_HIVE_TREE), Manager().GetScanDetails());
}

bool CCaptureSnapshotDlg::OnCommand(WORD controlId, WORD code, HWND)
{
    if (controlId != IDC_ADVANCED || code != BN_CLICKED || m_capturing)
        return false;
    OnAdvanced();
    return true;
}

void CCaptureSnapshotDlg::OnAdvanced()
{
    // The sheet's result does not matter: its OK has already handed the new
    // selection to the manager, and Cancel left the old one.
    {
        CParentSheet sheet(m_session, m_manager);
        sheet.DoModal(SheetWindow());
    }
    ReloadSelection();
}

BOOL CCaptureSnapshotDlg::OnSetActive()
{
    ShowItem(IDC_FOLDERS_LABEL, true);
    ShowItem(IDC_HIVES_LABEL, true);
    ShowItem(IDC_SNAPSHOT_STATUS, false);
    ShowItem(IDC_SNAPSHOT_DETAIL, false);
    if (m_snapshotDone)
        SetItemText(IDC_DESCRIPTION, L"Pre installation snapshot done");
    ShowItem(IDC_FOLDER_TREE, true);
    ShowItem(IDC_HIVE_TREE, true);
    return CPropertyPage::OnSetActive();
}

LRESULT CCaptureSnapshotDlg::OnWizardBack()
{
    return IDD_BASIC_INFORMATION;
}

LRESULT CCaptureSnapshotDlg::OnWizardNext()
{
    if (m_capturing)
        return StayOnPage;
    if (m_itemCount == 0 &&
        ShowMessage(L"No item selected for snapshot. Do you wish to continue?", L"Warning",
                    MB_YESNO | MB_ICONWARNING) == IDNO)
        return StayOnPage;
    if (m_snapshotDone)
        return IDD_LAUNCH_SETUP;
    StartCapture();
    return StayOnPage;
}

void CCaptureSnapshotDlg::StartCapture()
{
    EnableItem(IDC_ADVANCED, false);
    SetItemText(IDC_DESCRIPTION,
                L"Corvane Repackager is now taking snapshot of the file system and the system registry.");
    EnableSheetButton(ID_WIZNEXT, false);
    EnableSheetButton(ID_WIZBACK, false);
    for (int id : {IDC_ADVANCED, IDC_SNAPSHOT_DONE, IDC_FOLDERS_LABEL, IDC_HIVES_LABEL, IDC_FOLDER_TREE, IDC_HIVE_TREE})
        ShowItem(id, false);
    for (int id : {IDC_SNAPSHOT_STATUS, IDC_SNAPSHOT_DETAIL, IDC_SNAPSHOT_PROGRESS})
        ShowItem(id, true);
    m_progressStep = CaptureProgress::StepFor(m_itemCount, m_progressStep);

    // The basic information may have changed since the page was first shown:
    // the setup program and product information of the saved selection follow it.
    CUIManager& manager = Manager();
    ScanDetails details = manager.GetScanDetails();
    const ProductInfo& product = manager.GetProductInfo();
    details[L"SetupFilePath"] = {manager.GetSetupFilePath()};
    details[L"SetupFileInfo"] = {product.ApplicationName, product.Version, product.CompanyName};
    manager.SetScanDetails(details);
    (void)manager.WriteScanDetails(); // logged

    m_capturing = true;
    SendMessageW(Item(IDC_SNAPSHOT_PROGRESS), PBM_SETPOS, 0, 0);
    SendMessageW(Item(IDC_SNAPSHOT_PROGRESS), PBM_SETSTEP, 1, 0);
    CUIManager* shared = &manager;
    m_session.Capture.Clear();
    m_session.Capture.Begin(CaptureStep::FirstSnapshot);
    if (!Worker().Start([shared, details] { return shared->Coordinator().CaptureSnapshot(details) ? 1 : 0; })) {
        CaptureFailed();
        return;
    }
    SetTimer(Window(), IDT_CAPTURE_PROGRESS, 100, nullptr);
}

void CCaptureSnapshotDlg::OnCancel()
{
    // The sheet closes: a tick that still arrives must not take the stopped
    // capture for a finished one.
    m_cancelled = true;
    KillTimer(Window(), IDT_CAPTURE_PROGRESS);
}

void CCaptureSnapshotDlg::OnTimer(UINT_PTR timerId)
{
    if (timerId != IDT_CAPTURE_PROGRESS)
        return;
    if (m_cancelled) {
        KillTimer(Window(), IDT_CAPTURE_PROGRESS);
        return;
    }
    if (m_fill.IsFilling()) {
        if (m_fill.Tick())
            CaptureEnded();
        return;
    }
    if (!Worker().IsRunning()) {
        if (Worker().Result() != 1) {
            CaptureFailed();
            return;
        }
        m_session.Capture.End(CaptureStep::FirstSnapshot);
        // The bar runs to its end on the following ticks.
        m_fill.Begin(Item(IDC_SNAPSHOT_PROGRESS), 2);
        return;
    }
    HWND bar = Item(IDC_SNAPSHOT_PROGRESS);
    const int position = static_cast<int>(SendMessageW(bar, PBM_GETPOS, 0, 0));
    if (CaptureProgress::ShouldAdvance(m_progressStep, m_session.Progress.StepCount(), position))
        SendMessageW(bar, PBM_STEPIT, 0, 0);
    // The first line keeps its announcement until the capture reports.
    const std::wstring status = m_session.Progress.StatusText();
    if (!status.empty())
        SetItemText(IDC_SNAPSHOT_STATUS, status);
    SetItemText(IDC_SNAPSHOT_DETAIL, m_session.Progress.DetailText());
}

void CCaptureSnapshotDlg::CaptureEnded()
{
    KillTimer(Window(), IDT_CAPTURE_PROGRESS);
    m_session.Progress.SetStatusText(L"");
    m_session.Progress.SetDetailText(L"");
    ShowItem(IDC_SNAPSHOT_PROGRESS, false);
    SetItemText(IDC_SNAPSHOT_DONE, L"Initial snapshot done ");
    ShowItem(IDC_SNAPSHOT_DONE, true);
    m_snapshotDone = true;
    m_capturing = false;
    CaptureProgress::PauseWhilePainting(500);
    if (m_cancelled)
        return;
    SetWizardButtons(PSWIZB_BACK | PSWIZB_NEXT);
    SetActivePage(PagePosition::LaunchSetup);
}

void CCaptureSnapshotDlg::CaptureFailed()
{
    // Nothing of the failed capture counts (the coordinator dropped it): the
    // page is back in its listing, and Next takes the snapshot again.
    KillTimer(Window(), IDT_CAPTURE_PROGRESS);
    m_capturing = false;
    m_snapshotDone = false;
    m_session.Progress.SetStatusText(L"");
    m_session.Progress.SetDetailText(L"");
    for (int id : {IDC_SNAPSHOT_STATUS, IDC_SNAPSHOT_DETAIL, IDC_SNAPSHOT_PROGRESS})
        ShowItem(id, false);
    for (int id : {IDC_ADVANCED, IDC_FOLDERS_LABEL, IDC_HIVES_LABEL, IDC_FOLDER_TREE, IDC_HIVE_TREE})
        ShowItem(id, true);
    EnableItem(IDC_ADVANCED, true);
    const std::wstring text = CaptureProgress::FailureText(L"The snapshot of the system could not be taken.", false,
                                                            m_session.Paths.ConfigFilePath);
    SetItemText(IDC_DESCRIPTION, text);
    SetWizardButtons(PSWIZB_BACK | PSWIZB_NEXT);
    if (!m_cancelled)
        ShowMessage(text, L"Error", MB_OK | MB_ICONERROR);
}
