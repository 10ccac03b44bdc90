#pragma once
// What property pages (PropertyPage.h) and modal dialogs (Dialog.h) share:
// the controls of one dialog window, the data exchange between controls and
// members, the message boxes, and the dispatch of the messages both handle
// the same way. Logic stays out of the window procedures: the handlers call
// operations that work without a window.
#include <windows.h>

#include <string>

// Copies values between a dialog's controls and its members.
class CDataExchange
{
public:
    CDataExchange(HWND dialog, bool saving) : m_dialog(dialog), m_saving(saving) {}
    bool Saving() const noexcept { return m_saving; }
    // Edit or static text <-> string.
    void Text(int controlId, std::wstring& value);
    // Check box or radio button <-> checked.
    void Check(int controlId, bool& checked);

private:
    HWND m_dialog;
    bool m_saving;
};

class CDialogWindow
{
public:
    CDialogWindow() = default;
    virtual ~CDialogWindow() = default;
    CDialogWindow(const CDialogWindow&) = delete;
    CDialogWindow& operator=(const CDialogWindow&) = delete;

    HWND Window() const noexcept { return m_hwnd; }

    // ---- Controls -------------------------------------------------------------
    HWND Item(int controlId) const { return GetDlgItem(m_hwnd, controlId); }
    std::wstring ItemText(int controlId) const;
    void SetItemText(int controlId, const std::wstring& text) const;
    void ShowItem(int controlId, bool show) const;
    void EnableItem(int controlId, bool enable) const;
    bool IsChecked(int controlId) const;
    void SetItemFont(int controlId, HFONT font) const;
    void RepaintItem(int controlId) const;
    // Refreshes the controls from the members (false) or the members from the
    // controls (true) through DoDataExchange.
    void UpdateData(bool saving);

    // A message box owned by the window, through the replaceable function of
    // UiServices.h.
    int ShowMessage(const std::wstring& text, const std::wstring& caption, UINT type) const;

    // Inside a catch block of a callback Windows calls: one log line naming
    // the callback and the exception.
    static void LogCallbackFailure(const char* where);

protected:
    virtual void DoDataExchange(CDataExchange&) {}
    // Return true when handled.
    virtual bool OnCommand(WORD controlId, WORD code, HWND control);
    virtual void OnTimer(UINT_PTR timerId);
    // Called with the brush and colours the dialog would use; return the brush
    // to paint with (usually `defaultBrush`, after changing the text colour).
    virtual HBRUSH OnCtlColor(HDC dc, HWND control, UINT message, HBRUSH defaultBrush);
    // Any other message; set `handled` to answer it.
    virtual INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual void OnDestroy() {}

    // The messages pages and dialogs dispatch alike: WM_COMMAND, WM_TIMER, the
    // control colours, and any other message to OnMessage. `handled` is
    // cleared for a message the caller should leave to the dialog manager.
    INT_PTR DispatchCommon(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);

    HWND m_hwnd = nullptr;
};
