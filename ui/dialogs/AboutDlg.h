#pragma once
// The About box: icon, program name and version, year line, OK.
#include "ui/framework/Dialog.h"

class CAboutDlg : public CDialog
{
public:
    CAboutDlg();

    // Runs the About box modally.
    static void Show(HWND owner);

protected:
    BOOL OnInitDialog() override;
};
