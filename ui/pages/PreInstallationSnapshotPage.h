#pragma once
// The Pre Installation Snapshot page: the folders and registry hives the
// snapshots will cover, and the first snapshot, taken on the page's worker
// with a progress bar and two status lines, after which the sheet moves to
// the Launch Setup page by itself.
#include "manager/UIManager.h"
#include "ui/framework/PropertyPage.h"
#include "ui/pages/CaptureProgress.h"

class CCaptureSnapshotDlg : public CPropertyPage
{
public:
    CCaptureSnapshotDlg(Session& session, CUIManager& manager);

    // Folders and hives listed in the trees, which the bar divides its range by.
    int ItemCount() const noexcept { return m_itemCount; }
    int ProgressStep() const noexcept { return m_progressStep; }
    bool IsSnapshotDone() const noexcept { return m_snapshotDone; }
    bool IsCapturing() const noexcept { return m_capturing; }

    // Lists the manager's scan details in the trees again and recounts the
    // items (after the selection changed).
    void ReloadSelection();
    // "Advanced": runs the advanced include/exclude sheet modally, then lists
    // the manager's scan details again.
    void OnAdvanced();

protected:
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    LRESULT OnWizardBack() override;
    LRESULT OnWizardNext() override;
    void OnCancel() override;
    void OnTimer(UINT_PTR timerId) override;
    bool OnCommand(WORD controlId, WORD code, HWND control) override;

private:
    CUIManager& Manager() { return m_manager; }
    void StartCapture();
    void CaptureEnded();
    // A failed capture (or one that could not start): the listing again, with
    // the failure in the description and a message; Next tries again.
    void CaptureFailed();

    Session& m_session;
    CUIManager& m_manager;
    int m_itemCount = 0;
    int m_progressStep = 0;
    bool m_snapshotDone = false;
    bool m_capturing = false;
    bool m_cancelled = false;
    CaptureProgress::CBarFill m_fill;
};
