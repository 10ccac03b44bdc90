#pragma once
// The Post Installation Snapshot page: the selection of the first snapshot,
// then, on Next, the second snapshot and the comparison, one after the other
// on the page's worker, after which the sheet moves to the first package
// content review page by itself. Reached from Launch Setup, or directly when
// a pending capture is resumed.
#include "manager/UIManager.h"
#include "ui/framework/PropertyPage.h"
#include "ui/pages/CaptureProgress.h"

class CSecondSnapshotDlg : public CPropertyPage
{
public:
    enum class Phase { Ready, Capturing, Comparing, Compared };

    CSecondSnapshotDlg(Session& session, CUIManager& manager);

    Phase CurrentPhase() const noexcept { return m_phase; }
    int ItemCount() const noexcept { return m_itemCount; }
    int ProgressStep() const noexcept { return m_progressStep; }

    // The description shown before the capture, for the application `name`.
    static std::wstring ReadyText(const std::wstring& name);

protected:
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    LRESULT OnWizardBack() override;
    LRESULT OnWizardNext() override;
    void OnCancel() override;
    void OnTimer(UINT_PTR timerId) override;

private:
    void StartCapture();
    void CaptureEnded();
    void ComparisonEnded();
    // A failed capture or comparison (or a worker that could not start): the
    // page is ready again with the failure shown; the capture stays pending.
    void Failed(const std::wstring& what);
    void ShowSelectionControls(bool show) const;

    Session& m_session;
    CUIManager& m_manager;
    int m_itemCount = 0;
    int m_progressStep = 0;
    Phase m_phase = Phase::Ready;
    bool m_cancelled = false;
    CaptureProgress::CBarFill m_fill;
};
