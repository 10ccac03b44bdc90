#pragma once
// The Existing Snapshot page: shown instead of the basic information page
// when a capture is pending; the user continues it or discards it.
#include "manager/Session.h"
#include "ui/framework/PropertyPage.h"

class CExistingSnapshotDlg : public CPropertyPage
{
public:
    explicit CExistingSnapshotDlg(Session& session);

    // "Continue": on to the Post Installation Snapshot page; nothing changes on disk.
    void Continue();
    // "Start Over": the earlier capture's files and the pending-capture key
    // go, then on to the Capture Basic Information page.
    void StartOver();

protected:
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    LRESULT OnWizardBack() override;
    LRESULT OnWizardNext() override;
    bool OnCommand(WORD controlId, WORD code, HWND control) override;
    HBRUSH OnCtlColor(HDC dc, HWND control, UINT message, HBRUSH defaultBrush) override;

private:
    Session& m_session;
};
