#include "ui/pages/PostInstallationSnapshotPage.h"

#include "common/Paths.h"
#include "manager/UIManager.h"
#include "ui/framework/UiServices.h"
#include "ui/pages/CaptureProgress.h"
#include "ui/wizard/PagePositions.h"
#include "ui/wizard/Resource.h"

#include <commctrl.h>

CSecondSnapshotDlg::CSecondSnapshotDlg(Session& session, CUIManager& manager)
    : CPropertyPage(IDD_POST_INSTALLATION, L"Corvane Repackager 1.0: Post Installation Snapshot"),
      m_session(session), m_manager(manager)
{
}

std::wstring CSecondSnapshotDlg::ReadyText(const std::wstring& name)
{
    return L"The application \"" + name +
           L"\" has been installed.Corvane Repackager is now ready to take the post installation snapshot.\r\n\r\n"
           L"The Corvane Repacakger will now take a second snapshot (based on the pre-selected locations below) in "
           L"order to determine the changes made by the installation.";
}

BOOL CSecondSnapshotDlg::OnInitDialog()
{
    CPropertyPage::OnInitDialog();
    for (int id : {IDC_FOLDERS_LABEL, IDC_HIVES_LABEL, IDC_POST_STATUS, IDC_POST_DETAIL, IDC_FOLDER_TREE,
                   IDC_HIVE_TREE, IDC_DESCRIPTION})
        SetItemFont(id, DialogFont());
    SendMessageW(Item(IDC_POST_PROGRESS), PBM_SETRANGE32, 0, CaptureProgress::Range);
    SendMessageW(Item(IDC_POST_PROGRESS), PBM_SETSTEP, 1, 0);

    const ScanDetails details = m_manager.GetScanDetails();
    m_itemCount = CaptureProgress::ShowSelection(Item(IDC_FOLDER_TREE), Item(IDC_HIVE_TREE), details);
    const auto info = details.find(L"SetupFileInfo");
    const std::wstring name = info != details.end() && !info->second.empty()
                                  ? info->second.front()
                                  : m_manager.GetProductInfo().ApplicationName;
    SetItemText(IDC_DESCRIPTION, ReadyText(name));
    return TRUE;
}

void CSecondSnapshotDlg::ShowSelectionControls(bool show) const
{
    for (int id : {IDC_FOLDERS_LABEL, IDC_HIVES_LABEL, IDC_FOLDER_TREE, IDC_HIVE_TREE})
        ShowItem(id, show);
}

BOOL CSecondSnapshotDlg::OnSetActive()
{
    if (m_phase == Phase::Compared) {
        ShowSelectionControls(true);
        for (int id : {IDC_POST_PROGRESS, IDC_POST_STATUS, IDC_POST_DETAIL})
            ShowItem(id, false);
        SetItemText(IDC_DESCRIPTION, L"Corvane Repackager has taken pre and post installation snapshot and "
                                     L"comparision of both snapshot has been done.");
        SetWizardButtons(PSWIZB_NEXT);
    } else {
        SetWizardButtons(PSWIZB_BACK | PSWIZB_NEXT);
    }
    return CPropertyPage::OnSetActive();
}

LRESULT CSecondSnapshotDlg::OnWizardBack()
{
    SetWizardButtons(PSWIZB_BACK);
    // A resumed run came from the Existing Snapshot page.
    return m_session.SnapshotPending ? IDD_EXISTING_SNAPSHOT : IDD_LAUNCH_SETUP;
}

LRESULT CSecondSnapshotDlg::OnWizardNext()
{
    if (m_phase == Phase::Compared)
        return IDD_REVIEW_FILES;
    if (m_phase == Phase::Ready)
        StartCapture();
    return StayOnPage;
}

void CSecondSnapshotDlg::StartCapture()
{
    EnableSheetButton(ID_WIZNEXT, false);
    EnableSheetButton(ID_WIZBACK, false);
    ShowSelectionControls(false);
    ShowItem(IDC_POST_STATUS, true);
    ShowItem(IDC_POST_DETAIL, true);
    SetItemText(IDC_DESCRIPTION, L"Corvane Repackager is now taking post installation snapshot.");
    m_progressStep = CaptureProgress::StepFor(m_itemCount, m_progressStep);
    ShowItem(IDC_POST_PROGRESS, true);

    m_phase = Phase::Capturing;
    HWND bar = Item(IDC_POST_PROGRESS);
    SendMessageW(bar, PBM_SETPOS, 0, 0);
    SendMessageW(bar, PBM_SETSTEP, 1, 0);
    CUIManager* manager = &m_manager;
    const ScanDetails details = manager->GetScanDetails();
    m_session.Capture.Begin(CaptureStep::SecondSnapshot);
    if (!Worker().Start([manager, details] { return manager->Coordinator().CaptureSnapshot(details) ? 1 : 0; })) {
        Failed(L"The post installation snapshot could not be started.");
        return;
    }
    SetTimer(Window(), IDT_CAPTURE_PROGRESS, 100, nullptr);
}

void CSecondSnapshotDlg::OnCancel()
{
    // The sheet closes; the pending capture stays as the stopped worker left it.
    m_cancelled = true;
    KillTimer(Window(), IDT_CAPTURE_PROGRESS);
}

void CSecondSnapshotDlg::OnTimer(UINT_PTR timerId)
{
    if (timerId != IDT_CAPTURE_PROGRESS)
        return;
    if (m_cancelled) {
        KillTimer(Window(), IDT_CAPTURE_PROGRESS);
        return;
    }
    SetItemText(IDC_POST_STATUS, m_session.Progress.StatusText());
    SetItemText(IDC_POST_DETAIL, m_session.Progress.DetailText());
    HWND bar = Item(IDC_POST_PROGRESS);
    if (m_fill.IsFilling()) {
        if (!m_fill.Tick())
            return;
        if (m_phase == Phase::Capturing) {
            CaptureEnded();
        } else {
            ComparisonEnded();
            return;
        }
    } else if (!Worker().IsRunning()) {
        if (Worker().Result() != 1) {
            Failed(m_phase == Phase::Capturing ? L"The post installation snapshot could not be taken."
                                               : L"The snapshots could not be compared.");
            return;
        }
        m_session.Capture.End(m_phase == Phase::Capturing ? CaptureStep::SecondSnapshot : CaptureStep::Comparison);
        // The bar runs to its end on the following ticks, then the page goes on.
        m_fill.Begin(bar, 2);
        return;
    }
    const int position = static_cast<int>(SendMessageW(bar, PBM_GETPOS, 0, 0));
    if (CaptureProgress::ShouldAdvance(m_progressStep, m_session.Progress.StepCount(), position))
        SendMessageW(bar, PBM_STEPIT, 0, 0);
}

void CSecondSnapshotDlg::CaptureEnded()
{
    ShowItem(IDC_POST_DETAIL, false);
    SetItemText(IDC_DESCRIPTION, L"Post installation snapshot done");
    m_session.Progress.SetStatusText(L"");
    m_session.Progress.SetDetailText(L"");
    SetItemText(IDC_POST_STATUS, L"");
    HWND bar = Item(IDC_POST_PROGRESS);
    SendMessageW(bar, PBM_SETPOS, 0, 0);
    ShowItem(IDC_POST_PROGRESS, true);
    CaptureProgress::PauseWhilePainting(500);
    if (m_cancelled)
        return;
    SetItemText(IDC_DESCRIPTION, L"Corvane Repackager is now comparing snapshots.");
    // The bar keeps the step of 2 it finished with.
    m_progressStep = CaptureProgress::ComparisonStep;
    m_session.Progress.SetStepCount(0);
    m_phase = Phase::Comparing;
    CUIManager* manager = &m_manager;
    m_session.Capture.Begin(CaptureStep::Comparison);
    if (!Worker().Start([manager] { return manager->Coordinator().CompareSnapshot() ? 1 : 0; }))
        Failed(L"The comparison of the snapshots could not be started.");
}

void CSecondSnapshotDlg::ComparisonEnded()
{
    m_session.Progress.SetStatusText(L"");
    m_session.Progress.SetDetailText(L"");
    SetItemText(IDC_DESCRIPTION, L"Comparision finished.\r\n");
    KillTimer(Window(), IDT_CAPTURE_PROGRESS);
    m_phase = Phase::Compared;
    SetWizardButtons(PSWIZB_BACK | PSWIZB_NEXT);
    SetActivePage(PagePosition::ReviewFiles);
}

void CSecondSnapshotDlg::Failed(const std::wstring& what)
{
    // The first snapshot and the pending mark stay: Next takes the second
    // snapshot again, and Cancel leaves the capture for a later start.
    KillTimer(Window(), IDT_CAPTURE_PROGRESS);
    m_phase = Phase::Ready;
    m_session.Progress.SetStatusText(L"");
    m_session.Progress.SetDetailText(L"");
    for (int id : {IDC_POST_PROGRESS, IDC_POST_STATUS, IDC_POST_DETAIL})
        ShowItem(id, false);
    ShowSelectionControls(true);
    const std::wstring text = CaptureProgress::FailureText(what, true, m_session.Paths.ConfigFilePath);
    SetItemText(IDC_DESCRIPTION, text);
    SetWizardButtons(PSWIZB_BACK | PSWIZB_NEXT);
    if (!m_cancelled)
        ShowMessage(text, L"Error", MB_OK | MB_ICONERROR);
}
