#pragma once
// A small property-sheet framework over the Win32 property sheet API: a page
// base class whose virtual operations the pages override, and a sheet that
// runs in wizard or tabbed mode, modally or modeless.
//
// A page's window procedure only dispatches; pages keep their logic in
// operations that work without a window. A page runs its long operations on
// its Worker(); Cancel stops and waits for the workers of every page, and a
// page's window does not go away before its worker has ended.
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include "common/Worker.h"
#include "ui/framework/DialogWindow.h"

#include <string>
#include <vector>

// The identifiers of a wizard's own buttons.
#ifndef ID_WIZBACK
#define ID_WIZBACK   0x3023
#define ID_WIZNEXT   0x3024
#define ID_WIZFINISH 0x3025
#endif

class CPropertySheet;

class CPropertyPage : public CDialogWindow
{
public:
    // `templateId` names the dialog template and is the page's identifier.
    CPropertyPage(UINT templateId, std::wstring title);

    UINT Id() const noexcept { return m_templateId; }
    const std::wstring& Title() const noexcept { return m_title; }
    HWND SheetWindow() const;

    // The page's worker thread (Worker.h): one operation at a time.
    CWorker& Worker() noexcept { return m_worker; }
    const CWorker& Worker() const noexcept { return m_worker; }

    // Return values of OnWizardBack/OnWizardNext besides a page identifier.
    static constexpr LRESULT StayOnPage = -1;
    static constexpr LRESULT DefaultPage = 0;

    // ---- The sheet's buttons --------------------------------------------------
    // Posts the wizard-button request (PSWIZB_BACK | PSWIZB_NEXT | PSWIZB_FINISH | PSWIZB_DISABLEDFINISH).
    void SetWizardButtons(DWORD flags) const;
    // Enables one of the sheet's buttons (ID_WIZBACK, ID_WIZNEXT, ...) directly.
    void EnableSheetButton(int buttonId, bool enable) const;
    // Switches the sheet to a position or to the page with an identifier.
    void SetActivePage(int position) const;
    void SetActivePageById(UINT pageId) const;

    // True while this page is the sheet's current page.
    bool IsActive() const;

protected:
    // After the controls exist; the base refreshes them from the members.
    virtual BOOL OnInitDialog();
    virtual void OnOK() {}
    virtual void OnCancel() {}
    // Return FALSE to refuse activation. The base refreshes the controls from
    // the members on every activation but the first; overrides end with it.
    // (Before OnKillActive, OnWizardBack and OnWizardNext the framework copies
    // the controls into the members, so the fields keep what was typed.)
    virtual BOOL OnSetActive();
    // Return FALSE to keep the page (validation failed).
    virtual BOOL OnKillActive() { return TRUE; }
    // A page identifier, StayOnPage or DefaultPage.
    virtual LRESULT OnWizardBack() { return DefaultPage; }
    virtual LRESULT OnWizardNext() { return DefaultPage; }
    // Return FALSE to keep the sheet open.
    virtual BOOL OnWizardFinish() { return TRUE; }
    virtual bool OnSysCommand(WPARAM command);

private:
    friend class CPropertySheet;
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR HandleNotify(const NMHDR& header);
    void SetResult(LRESULT result) const;

    UINT m_templateId;
    std::wstring m_title;
    CPropertySheet* m_sheet = nullptr;
    bool m_firstSetActive = true;
    // Back or Next copied the controls into the members for this leave.
    bool m_savedOnLeave = false;
    PROPSHEETPAGEW m_page{};
    CWorker m_worker;
};

class CPropertySheet
{
public:
    enum class Mode { Wizard, Tabbed };

    CPropertySheet(std::wstring caption, Mode mode);
    virtual ~CPropertySheet();
    CPropertySheet(const CPropertySheet&) = delete;
    CPropertySheet& operator=(const CPropertySheet&) = delete;

    // Pages are shown in the order they were added; the sheet borrows them.
    void AddPage(CPropertyPage& page);

    // Runs the sheet modally. IDOK for Finish or OK, IDCANCEL for Cancel, -1
    // when the sheet could not be created.
    INT_PTR DoModal(HWND owner = nullptr);
    // Creates the sheet modeless; the caller pumps messages through
    // IsSheetMessage and destroys it with Destroy once IsFinished.
    HWND Create(HWND owner = nullptr);
    bool IsSheetMessage(MSG& message) const;
    // A modeless sheet whose Finish, OK or Cancel was pressed.
    bool IsFinished() const;
    void Destroy();

    HWND Window() const noexcept { return m_hwnd; }
    Mode GetMode() const noexcept { return m_mode; }
    int PageCount() const noexcept { return static_cast<int>(m_pages.size()); }
    CPropertyPage* Page(int position) const;
    int PositionOf(UINT pageId) const;
    // The position of the current page, -1 when there is none.
    int ActivePosition() const;
    CPropertyPage* ActivePage() const;
    bool SetActivePage(int position);
    bool SetActivePageById(UINT pageId);
    // Presses a sheet button (PSBTN_BACK, PSBTN_NEXT, PSBTN_FINISH, PSBTN_CANCEL...).
    void PressButton(int button);
    // Asks the worker of every page to stop and waits for them while the
    // windows keep painting. Cancel does this before the sheet closes.
    void StopWorkers();

protected:
    // After the standard sheet initialisation.
    virtual void OnInitDialog() {}
    // Messages of the sheet window; return true with `result` set to answer one.
    virtual bool OnSheetMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    // The icon the header carries (PSH_USEHICON), if any.
    void SetIcon(HICON icon) { m_icon = icon; }

private:
    static int CALLBACK SheetCallback(HWND hwnd, UINT message, LPARAM lParam);
    static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                         DWORD_PTR data);
    PROPSHEETHEADERW Header(HWND owner, bool modeless, std::vector<HPROPSHEETPAGE>& pages);
    void Attach(HWND hwnd);

    std::wstring m_caption;
    Mode m_mode;
    HWND m_hwnd = nullptr;
    HICON m_icon = nullptr;
    bool m_stoppingWorkers = false;
    std::vector<CPropertyPage*> m_pages;
};
