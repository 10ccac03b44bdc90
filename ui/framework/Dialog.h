#pragma once
// A modal dialog from a dialog template, the dialogs' counterpart of the page
// base class (PropertyPage.h): the same control helpers, data exchange,
// message dispatch and exception barrier (CDialogWindow).
//
// How a dialog uses it:
//   class CShortcutDlg : public CDialog
//   {
//   public:
//       CShortcutDlg() : CDialog(IDD_SHORTCUT) {}
//       std::wstring name;                     // in and out
//   protected:
//       void DoDataExchange(CDataExchange& dx) override { dx.Text(IDC_SHORTCUT_NAME, name); }
//       BOOL OnInitDialog() override;          // call the base first: it fills the controls
//       void OnOK() override;                  // validate; ShowMessage(...) and return to stay,
//   };                                         // or CDialog::OnOK() to save the members and close
//   CShortcutDlg dialog; dialog.name = L"App";
//   if (dialog.DoModal(Window()) == IDOK) ... dialog.name ...
// Message boxes go through ShowMessage (replaceable in tests, UiServices.h).
#include "ui/framework/DialogWindow.h"

class CDialog : public CDialogWindow
{
public:
    explicit CDialog(UINT templateId) : m_templateId(templateId) {}

    UINT TemplateId() const noexcept { return m_templateId; }

    // Runs the dialog modally: the value given to EndDialog (IDOK after OK,
    // IDCANCEL after Cancel), or -1 when it could not be created (logged).
    INT_PTR DoModal(HWND owner);
    // Shows the dialog modeless (for pictures of it); OK and Cancel destroy
    // it, as does the caller. Null when it could not be created.
    HWND Create(HWND owner);
    // Ends a modal run with `result`; destroys a modeless dialog.
    void EndDialog(INT_PTR result);

protected:
    // After the controls exist; the base refreshes them from the members.
    // Return TRUE to let the dialog manager set the focus.
    virtual BOOL OnInitDialog();
    // OK (IDOK, Enter): the base copies the controls into the members and
    // ends the dialog with IDOK; an override that finds a fault stays open by
    // not calling it.
    virtual void OnOK();
    // Cancel (IDCANCEL, Escape, the close box): ends the dialog with IDCANCEL.
    virtual void OnCancel();

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    UINT m_templateId;
    bool m_modeless = false;
};
