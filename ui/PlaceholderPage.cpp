#include "ui/PlaceholderPage.h"

#include "common/Paths.h"
#include "ui/Resource.h"
#include "ui/UiServices.h"

CPlaceholderPage::CPlaceholderPage(UINT pageId, const std::wstring& name, LRESULT back, LRESULT next)
    : CPropertyPage(pageId, L"Corvane Repackager 1.0: " + name), m_back(back), m_next(next)
{
}

BOOL CPlaceholderPage::OnInitDialog()
{
    CPropertyPage::OnInitDialog();
    SetItemFont(IDC_DESCRIPTION, DialogFont());
    SetItemText(IDC_DESCRIPTION, L"This step is not available in this version of Corvane Repackager.");
    return TRUE;
}

BOOL CPlaceholderPage::OnSetActive()
{
    SetWizardButtons(PSWIZB_BACK | PSWIZB_NEXT);
    return CPropertyPage::OnSetActive();
}

LRESULT CPlaceholderPage::OnWizardBack()
{
    // The Post Installation Snapshot page of a resumed run leads back to the
    // Existing Snapshot page instead of the Launch Setup page.
    if (Id() == IDD_POST_INSTALLATION && IsSnapshotTaken)
        return IDD_EXISTING_SNAPSHOT;
    return m_back;
}

LRESULT CPlaceholderPage::OnWizardNext()
{
    return m_next;
}
