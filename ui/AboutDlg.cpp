#include "ui/AboutDlg.h"

#include "common/Log.h"
#include "ui/Resource.h"
#include "ui/UiServices.h"

INT_PTR CALLBACK CAboutDlg::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM)
{
    try {
        if (message == WM_INITDIALOG) {
            for (int id : {IDC_ABOUT_VERSION, IDC_ABOUT_YEAR, IDOK})
                SendDlgItemMessageW(hwnd, id, WM_SETFONT, reinterpret_cast<WPARAM>(DialogFont()), TRUE);
            return TRUE;
        }
        if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
            if (GetWindowLongPtrW(hwnd, DWLP_USER) == 1)
                DestroyWindow(hwnd);
            else
                EndDialog(hwnd, LOWORD(wParam));
            return TRUE;
        }
    } catch (...) {
        LogError("CAboutDlg::DialogProc: unexpected exception");
    }
    return FALSE;
}

void CAboutDlg::Show(HWND owner)
{
    DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_ABOUTBOX), owner, DialogProc, 0);
}

HWND CAboutDlg::Create(HWND owner)
{
    HWND hwnd = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_ABOUTBOX), owner, DialogProc, 0);
    if (hwnd) {
        SetWindowLongPtrW(hwnd, DWLP_USER, 1); // modeless: OK destroys the window
        ShowWindow(hwnd, SW_SHOW);
    }
    return hwnd;
}
