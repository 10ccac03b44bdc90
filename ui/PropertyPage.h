#pragma once
// A small property-sheet framework over the Win32 property sheet API: a page
// base class whose virtual operations the pages override, and a sheet that
// runs in wizard or tabbed mode, modally or modeless.
//
// A page's window procedure only dispatches; pages keep their logic in
// operations that work without a window.
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <string>
#include <vector>

// The identifiers of a wizard's own buttons.
#ifndef ID_WIZBACK
#define ID_WIZBACK   0x3023
#define ID_WIZNEXT   0x3024
#define ID_WIZFINISH 0x3025
#endif

class CPropertySheet;

// Copies values between a page's controls and its members.
class CDataExchange
{
public:
    CDataExchange(HWND page, bool saving) : m_page(page), m_saving(saving) {}
    bool Saving() const noexcept { return m_saving; }
    // Edit or static text <-> string.
    void Text(int controlId, std::wstring& value);

private:
    HWND m_page;
    bool m_saving;
};

class CPropertyPage
{
public:
    // `templateId` names the dialog template and is the page's identifier.
    CPropertyPage(UINT templateId, std::wstring title);
    virtual ~CPropertyPage() = default;
    CPropertyPage(const CPropertyPage&) = delete;
    CPropertyPage& operator=(const CPropertyPage&) = delete;

    UINT Id() const noexcept { return m_templateId; }
    const std::wstring& Title() const noexcept { return m_title; }
    HWND Window() const noexcept { return m_hwnd; }
    HWND SheetWindow() const;

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

    // A message box owned by the page, through the replaceable function.
    int ShowMessage(const std::wstring& text, const std::wstring& caption, UINT type) const;

    // True while this page is the sheet's current page.
    bool IsActive() const;

protected:
    virtual void DoDataExchange(CDataExchange&) {}
    // After the controls exist; the base refreshes them from the members.
    virtual BOOL OnInitDialog();
    virtual void OnOK() {}
    virtual void OnCancel() {}
    // Return FALSE to refuse activation. The base refreshes the controls from
    // the members on every activation but the first; overrides end with it.
    virtual BOOL OnSetActive();
    // Return FALSE to keep the page (validation failed).
    virtual BOOL OnKillActive() { return TRUE; }
    // A page identifier, StayOnPage or DefaultPage.
    virtual LRESULT OnWizardBack() { return DefaultPage; }
    virtual LRESULT OnWizardNext() { return DefaultPage; }
    // Return FALSE to keep the sheet open.
    virtual BOOL OnWizardFinish() { return TRUE; }
    // Return true when handled.
    virtual bool OnCommand(WORD controlId, WORD code, HWND control);
    virtual void OnTimer(UINT_PTR timerId);
    // Called with the brush and colours the dialog would use; return the brush
    // to paint with (usually `defaultBrush`, after changing the text colour).
    virtual HBRUSH OnCtlColor(HDC dc, HWND control, UINT message, HBRUSH defaultBrush);
    virtual bool OnSysCommand(WPARAM command);
    // Any other message; set `handled` to answer it.
    virtual INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual void OnDestroy() {}

private:
    friend class CPropertySheet;
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR HandleNotify(const NMHDR& header);
    void SetResult(LRESULT result) const;

    UINT m_templateId;
    std::wstring m_title;
    CPropertySheet* m_sheet = nullptr;
    HWND m_hwnd = nullptr;
    bool m_firstSetActive = true;
    PROPSHEETPAGEW m_page{};
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
    std::vector<CPropertyPage*> m_pages;
};
