#include "ui/framework/Dialog.h"

#include "common/Log.h"

INT_PTR CDialog::DoModal(HWND owner)
{
    m_modeless = false;
    const INT_PTR result = DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(m_templateId), owner,
                                           DialogProc, reinterpret_cast<LPARAM>(this));
    if (result == -1)
        LogError(L"CDialog::DoModal: Unable to create dialog " + std::to_wstring(m_templateId));
    return result;
}

HWND CDialog::Create(HWND owner)
{
    m_modeless = true;
    HWND hwnd = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(m_templateId), owner, DialogProc,
                                   reinterpret_cast<LPARAM>(this));
    if (!hwnd) {
        LogError(L"CDialog::Create: Unable to create dialog " + std::to_wstring(m_templateId));
        return nullptr;
    }
    ShowWindow(hwnd, SW_SHOW);
    return hwnd;
}

void CDialog::EndDialog(INT_PTR result)
{
    if (!m_hwnd)
        return;
    if (m_modeless)
        DestroyWindow(m_hwnd);
    else
        ::EndDialog(m_hwnd, result);
}

BOOL CDialog::OnInitDialog()
{
    UpdateData(false);
    return TRUE;
}

void CDialog::OnOK()
{
    UpdateData(true);
    EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    try {
        CDialog* dialog = nullptr;
        if (message == WM_INITDIALOG) {
            dialog = reinterpret_cast<CDialog*>(lParam);
            SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
            dialog->m_hwnd = hwnd;
        } else {
            dialog = reinterpret_cast<CDialog*>(GetWindowLongPtrW(hwnd, DWLP_USER));
        }
        if (!dialog)
            return FALSE;
        return dialog->HandleMessage(message, wParam, lParam);
    } catch (...) {
        LogCallbackFailure("CDialog::DialogProc");
        return FALSE;
    }
}

INT_PTR CDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog();
    case WM_COMMAND:
        if (OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam)))
            return TRUE;
        if (LOWORD(wParam) == IDOK) {
            OnOK();
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            OnCancel();
            return TRUE;
        }
        return FALSE;
    case WM_DESTROY:
        OnDestroy();
        return FALSE;
    case WM_NCDESTROY:
        SetWindowLongPtrW(m_hwnd, DWLP_USER, 0);
        m_hwnd = nullptr;
        return FALSE;
    default: {
        bool handled = false;
        const INT_PTR result = DispatchCommon(message, wParam, lParam, handled);
        return handled ? result : FALSE;
    }
    }
}
