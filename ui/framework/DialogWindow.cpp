#include "ui/framework/DialogWindow.h"

#include "common/Log.h"
#include "common/Utf.h"
#include "ui/framework/UiServices.h"

#include <exception>

// ---- CDataExchange -------------------------------------------------------------

void CDataExchange::Text(int controlId, std::wstring& value)
{
    HWND control = GetDlgItem(m_dialog, controlId);
    if (!control)
        return;
    if (m_saving) {
        const int length = GetWindowTextLengthW(control);
        std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
        const int got = GetWindowTextW(control, text.data(), length + 1);
        text.resize(static_cast<std::size_t>(got));
        value = text;
    } else {
        SetWindowTextW(control, value.c_str());
    }
}

void CDataExchange::Check(int controlId, bool& checked)
{
    if (!GetDlgItem(m_dialog, controlId))
        return;
    if (m_saving)
        checked = IsDlgButtonChecked(m_dialog, controlId) == BST_CHECKED;
    else
        CheckDlgButton(m_dialog, controlId, checked ? BST_CHECKED : BST_UNCHECKED);
}

// ---- CDialogWindow -------------------------------------------------------------

std::wstring CDialogWindow::ItemText(int controlId) const
{
    std::wstring text;
    CDataExchange(m_hwnd, true).Text(controlId, text);
    return text;
}

void CDialogWindow::SetItemText(int controlId, const std::wstring& text) const
{
    SetDlgItemTextW(m_hwnd, controlId, text.c_str());
}

void CDialogWindow::ShowItem(int controlId, bool show) const
{
    ShowWindow(Item(controlId), show ? SW_SHOW : SW_HIDE);
}

void CDialogWindow::EnableItem(int controlId, bool enable) const
{
    EnableWindow(Item(controlId), enable);
}

bool CDialogWindow::IsChecked(int controlId) const
{
    return IsDlgButtonChecked(m_hwnd, controlId) == BST_CHECKED;
}

void CDialogWindow::SetItemFont(int controlId, HFONT font) const
{
    if (font)
        SendMessageW(Item(controlId), WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

void CDialogWindow::RepaintItem(int controlId) const
{
    HWND control = Item(controlId);
    InvalidateRect(control, nullptr, TRUE);
    UpdateWindow(control);
}

void CDialogWindow::UpdateData(bool saving)
{
    if (!m_hwnd)
        return;
    CDataExchange exchange(m_hwnd, saving);
    DoDataExchange(exchange);
}

int CDialogWindow::ShowMessage(const std::wstring& text, const std::wstring& caption, UINT type) const
{
    return ShowMessageBox(m_hwnd, text, caption, type);
}

bool CDialogWindow::OnCommand(WORD, WORD, HWND)
{
    return false;
}

void CDialogWindow::OnTimer(UINT_PTR) {}

HBRUSH CDialogWindow::OnCtlColor(HDC, HWND, UINT, HBRUSH defaultBrush)
{
    return defaultBrush;
}

INT_PTR CDialogWindow::OnMessage(UINT, WPARAM, LPARAM, bool& handled)
{
    handled = false;
    return 0;
}

INT_PTR CDialogWindow::DispatchCommon(UINT message, WPARAM wParam, LPARAM lParam, bool& handled)
{
    handled = true;
    switch (message) {
    case WM_COMMAND:
        handled = OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
        return handled ? TRUE : FALSE;
    case WM_TIMER:
        OnTimer(wParam);
        return TRUE;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORLISTBOX: {
        // What the dialog would paint with, so that an override changes only the colour.
        const auto defaultBrush = reinterpret_cast<HBRUSH>(DefWindowProcW(m_hwnd, message, wParam, lParam));
        HBRUSH brush = OnCtlColor(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam), message,
                                  defaultBrush);
        return reinterpret_cast<INT_PTR>(brush);
    }
    default: {
        handled = false;
        const INT_PTR result = OnMessage(message, wParam, lParam, handled);
        return handled ? result : FALSE;
    }
    }
}

void CDialogWindow::LogCallbackFailure(const char* where)
{
    try {
        throw;
    } catch (const std::exception& e) {
        LogError(FromUtf8(where) + L": " + FromUtf8(e.what()));
    } catch (...) {
        LogError(FromUtf8(where) + L": unknown exception");
    }
}
