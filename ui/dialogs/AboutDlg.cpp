#include "ui/dialogs/AboutDlg.h"

#include "ui/framework/UiServices.h"
#include "ui/wizard/Resource.h"

CAboutDlg::CAboutDlg() : CDialog(IDD_ABOUTBOX) {}

void CAboutDlg::Show(HWND owner)
{
    CAboutDlg dialog;
    dialog.DoModal(owner);
}

BOOL CAboutDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    for (int id : {IDC_ABOUT_VERSION, IDC_ABOUT_YEAR, IDOK})
        SetItemFont(id, DialogFont());
    return TRUE;
}
