#include "ui/dialogs/WarningMSIDetected.h"

#include "common/Utf.h"
#include "ui/framework/UiServices.h"
#include "ui/wizard/Resource.h"

CWarningMSIDetected::CWarningMSIDetected(std::wstring notesAddress)
    : CDialog(IDD_WARNING_MSI), m_notesAddress(std::move(notesAddress))
{
}

std::wstring CWarningMSIDetected::WarningText(const std::wstring& notesAddress)
{
    return L"This installation appears to be a Windows Installer setup and should not be repackaged. Windows "
           L"Installer setups may be customized using transform files. You will find details on most applications "
           L"and how to properly customize their deployment at " +
           notesAddress;
}

BOOL CWarningMSIDetected::OnInitDialog()
{
    CDialog::OnInitDialog();
    for (int id : {IDC_MSI_WARNING_TEXT, IDOK, IDCANCEL})
        SetItemFont(id, DialogFont());
    SetItemText(IDC_MSI_WARNING_TEXT, WarningText(m_notesAddress));
    return TRUE;
}

std::wstring DeploymentNotesAddress(const WorkPaths& paths)
{
    return paths.ProgramFolder + L"\\DeploymentNotes.html";
}
