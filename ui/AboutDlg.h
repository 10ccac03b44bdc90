#pragma once
// The About box: icon, program name and version, year line, OK.
#include <windows.h>

class CAboutDlg
{
public:
    // Modal.
    static void Show(HWND owner);
    // Modeless, for pictures of it; the caller destroys the window.
    static HWND Create(HWND owner);

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
};
