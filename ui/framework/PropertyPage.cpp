#include "ui/framework/PropertyPage.h"

#include "common/Log.h"
#include "ui/framework/UiServices.h"

#include <exception>

namespace {

// The sheet whose PropertySheet call is running on this thread: the sheet
// callback receives no user data, so it finds its object here.
thread_local CPropertySheet* t_creatingSheet = nullptr;

HINSTANCE ModuleInstance()
{
    return GetModuleHandleW(nullptr);
}

} // namespace

// ---- CPropertyPage -------------------------------------------------------------

CPropertyPage::CPropertyPage(UINT templateId, std::wstring title)
    : m_templateId(templateId), m_title(std::move(title))
{
    m_page.dwSize = sizeof m_page;
    m_page.dwFlags = PSP_USETITLE;
    m_page.hInstance = ModuleInstance();
    m_page.pszTemplate = MAKEINTRESOURCEW(templateId);
    m_page.pszTitle = m_title.c_str();
    m_page.pfnDlgProc = DialogProc;
    m_page.lParam = reinterpret_cast<LPARAM>(this);
}

HWND CPropertyPage::SheetWindow() const
{
    return m_hwnd ? GetParent(m_hwnd) : nullptr;
}

void CPropertyPage::SetWizardButtons(DWORD flags) const
{
    if (HWND sheet = SheetWindow())
        PostMessageW(sheet, PSM_SETWIZBUTTONS, 0, static_cast<LPARAM>(flags));
}

void CPropertyPage::EnableSheetButton(int buttonId, bool enable) const
{
    if (HWND sheet = SheetWindow())
        EnableWindow(GetDlgItem(sheet, buttonId), enable);
}

void CPropertyPage::SetActivePage(int position) const
{
    if (m_sheet)
        m_sheet->SetActivePage(position);
}

void CPropertyPage::SetActivePageById(UINT pageId) const
{
    if (m_sheet)
        m_sheet->SetActivePageById(pageId);
}

bool CPropertyPage::IsActive() const
{
    HWND sheet = SheetWindow();
    return sheet && m_hwnd && PropSheet_GetCurrentPageHwnd(sheet) == m_hwnd;
}

BOOL CPropertyPage::OnInitDialog()
{
    UpdateData(false);
    return TRUE;
}

BOOL CPropertyPage::OnSetActive()
{
    if (m_firstSetActive)
        m_firstSetActive = false;
    else
        UpdateData(false);
    return TRUE;
}

bool CPropertyPage::OnSysCommand(WPARAM)
{
    return false;
}

void CPropertyPage::SetResult(LRESULT result) const
{
    SetWindowLongPtrW(m_hwnd, DWLP_MSGRESULT, result);
}

INT_PTR CALLBACK CPropertyPage::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    try {
        CPropertyPage* page = nullptr;
        if (message == WM_INITDIALOG) {
            const auto* sheetPage = reinterpret_cast<const PROPSHEETPAGEW*>(lParam);
            page = reinterpret_cast<CPropertyPage*>(sheetPage->lParam);
            SetWindowLongPtrW(hwnd, DWLP_USER, reinterpret_cast<LONG_PTR>(page));
            page->m_hwnd = hwnd;
            // The sheet's banner lies over the top of every page.
            SetWindowLongPtrW(hwnd, GWL_STYLE, GetWindowLongPtrW(hwnd, GWL_STYLE) | WS_CLIPSIBLINGS);
        } else {
            page = reinterpret_cast<CPropertyPage*>(GetWindowLongPtrW(hwnd, DWLP_USER));
        }
        if (!page)
            return FALSE;
        return page->HandleMessage(message, wParam, lParam);
    } catch (...) {
        LogCallbackFailure("CPropertyPage::DialogProc");
        return FALSE;
    }
}

INT_PTR CPropertyPage::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog();
    case WM_NOTIFY:
        return HandleNotify(*reinterpret_cast<const NMHDR*>(lParam));
    case WM_SYSCOMMAND:
        if (OnSysCommand(wParam)) {
            SetResult(0);
            return TRUE;
        }
        return FALSE;
    case WM_DESTROY:
        // Nothing the worker uses goes before it has ended.
        m_worker.RequestStop();
        m_worker.WaitWhilePainting();
        OnDestroy();
        return FALSE;
    case WM_NCDESTROY:
        m_hwnd = nullptr;
        m_firstSetActive = true;
        return FALSE;
    default: {
        bool handled = false;
        const INT_PTR result = DispatchCommon(message, wParam, lParam, handled);
        return handled ? result : FALSE;
    }
    }
}

INT_PTR CPropertyPage::HandleNotify(const NMHDR& header)
{
    switch (header.code) {
    case PSN_SETACTIVE: {
        m_savedOnLeave = false;
        const BOOL accept = OnSetActive();
        // A wizard shows the current page's title as its caption.
        if (accept && m_sheet && m_sheet->GetMode() == CPropertySheet::Mode::Wizard && SheetWindow())
            SetWindowTextW(SheetWindow(), m_title.c_str());
        SetResult(accept ? 0 : -1);
        return TRUE;
    }
    // Leaving the page (Back, Next, or another page chosen) first copies the
    // controls into the members, so that a page shown again gets back what was
    // typed; the page's own handler runs afterwards and its changes win. The
    // kill-active notice that may follow Back or Next saves nothing again.
    case PSN_KILLACTIVE:
        if (!m_savedOnLeave)
            UpdateData(true);
        m_savedOnLeave = false;
        SetResult(OnKillActive() ? FALSE : TRUE);
        return TRUE;
    case PSN_WIZBACK:
    case PSN_WIZNEXT: {
        UpdateData(true);
        const LRESULT target = header.code == PSN_WIZBACK ? OnWizardBack() : OnWizardNext();
        m_savedOnLeave = target != StayOnPage;
        SetResult(target);
        return TRUE;
    }
    case PSN_WIZFINISH:
        SetResult(OnWizardFinish() ? FALSE : TRUE);
        return TRUE;
    case PSN_APPLY:
        OnOK();
        SetResult(PSNRET_NOERROR);
        return TRUE;
    case PSN_QUERYCANCEL:
        // Cancel closes the sheet once every worker has stopped.
        if (m_sheet)
            m_sheet->StopWorkers();
        SetResult(FALSE);
        return TRUE;
    case PSN_RESET:
        OnCancel();
        return TRUE;
    default:
        bool handled = false;
        const INT_PTR result = OnMessage(WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header), handled);
        return handled ? result : FALSE;
    }
}

// ---- CPropertySheet ------------------------------------------------------------

CPropertySheet::CPropertySheet(std::wstring caption, Mode mode) : m_caption(std::move(caption)), m_mode(mode) {}

CPropertySheet::~CPropertySheet()
{
    Destroy();
}

void CPropertySheet::AddPage(CPropertyPage& page)
{
    page.m_sheet = this;
    m_pages.push_back(&page);
}

PROPSHEETHEADERW CPropertySheet::Header(HWND owner, bool modeless, std::vector<HPROPSHEETPAGE>& pages)
{
    for (CPropertyPage* page : m_pages) {
        page->m_page.dwFlags &= ~PSP_HASHELP;
        HPROPSHEETPAGE handle = CreatePropertySheetPageW(&page->m_page);
        if (!handle)
            LogError(L"CPropertySheet::Create: CreatePropertySheetPage failed for page " + std::to_wstring(page->Id()));
        else
            pages.push_back(handle);
    }
    PROPSHEETHEADERW header{};
    header.dwSize = sizeof header;
    header.dwFlags = PSH_USECALLBACK | PSH_NOAPPLYNOW;
    if (m_mode == Mode::Wizard)
        header.dwFlags |= PSH_WIZARD;
    if (modeless)
        header.dwFlags |= PSH_MODELESS;
    if (m_icon) {
        header.dwFlags |= PSH_USEHICON;
        header.hIcon = m_icon;
    }
    header.hwndParent = owner;
    header.hInstance = ModuleInstance();
    header.pszCaption = m_caption.c_str();
    header.nPages = static_cast<UINT>(pages.size());
    header.phpage = pages.data();
    header.pfnCallback = SheetCallback;
    return header;
}

INT_PTR CPropertySheet::DoModal(HWND owner)
{
    std::vector<HPROPSHEETPAGE> pages;
    PROPSHEETHEADERW header = Header(owner, false, pages);
    if (pages.size() != m_pages.size())
        return -1;
    t_creatingSheet = this;
    const INT_PTR result = PropertySheetW(&header);
    t_creatingSheet = nullptr;
    m_hwnd = nullptr;
    if (result < 0) {
        LogError(L"CPropertySheet::DoModal: PropertySheet failed");
        return -1;
    }
    return result > 0 ? IDOK : IDCANCEL;
}

HWND CPropertySheet::Create(HWND owner)
{
    std::vector<HPROPSHEETPAGE> pages;
    PROPSHEETHEADERW header = Header(owner, true, pages);
    if (pages.size() != m_pages.size())
        return nullptr;
    t_creatingSheet = this;
    const INT_PTR result = PropertySheetW(&header);
    t_creatingSheet = nullptr;
    if (result == 0 || result == -1) {
        LogError(L"CPropertySheet::Create: PropertySheet failed");
        return nullptr;
    }
    m_hwnd = reinterpret_cast<HWND>(result);
    return m_hwnd;
}

bool CPropertySheet::IsSheetMessage(MSG& message) const
{
    return m_hwnd && PropSheet_IsDialogMessage(m_hwnd, &message);
}

bool CPropertySheet::IsFinished() const
{
    return !m_hwnd || PropSheet_GetCurrentPageHwnd(m_hwnd) == nullptr;
}

void CPropertySheet::Destroy()
{
    if (m_hwnd && IsWindow(m_hwnd))
        DestroyWindow(m_hwnd);
    m_hwnd = nullptr;
}

CPropertyPage* CPropertySheet::Page(int position) const
{
    if (position < 0 || position >= PageCount())
        return nullptr;
    return m_pages[static_cast<std::size_t>(position)];
}

int CPropertySheet::PositionOf(UINT pageId) const
{
    for (int i = 0; i < PageCount(); ++i)
        if (m_pages[static_cast<std::size_t>(i)]->Id() == pageId)
            return i;
    return -1;
}

int CPropertySheet::ActivePosition() const
{
    if (!m_hwnd)
        return -1;
    HWND current = PropSheet_GetCurrentPageHwnd(m_hwnd);
    for (int i = 0; i < PageCount(); ++i)
        if (current && m_pages[static_cast<std::size_t>(i)]->Window() == current)
            return i;
    return -1;
}

CPropertyPage* CPropertySheet::ActivePage() const
{
    return Page(ActivePosition());
}

bool CPropertySheet::SetActivePage(int position)
{
    if (!m_hwnd || !Page(position))
        return false;
    return PropSheet_SetCurSel(m_hwnd, nullptr, position) != FALSE;
}

bool CPropertySheet::SetActivePageById(UINT pageId)
{
    return SetActivePage(PositionOf(pageId));
}

void CPropertySheet::PressButton(int button)
{
    if (m_hwnd)
        PropSheet_PressButton(m_hwnd, button);
}

void CPropertySheet::StopWorkers()
{
    // Waiting dispatches paint and sent messages only, but a second Cancel
    // could still arrive through a sent message: it waits for nothing new.
    if (m_stoppingWorkers)
        return;
    m_stoppingWorkers = true;
    for (CPropertyPage* page : m_pages)
        page->Worker().RequestStop();
    for (CPropertyPage* page : m_pages)
        page->Worker().WaitWhilePainting();
    m_stoppingWorkers = false;
}

bool CPropertySheet::OnSheetMessage(UINT, WPARAM, LPARAM, LRESULT&)
{
    return false;
}

void CPropertySheet::Attach(HWND hwnd)
{
    m_hwnd = hwnd;
    SetWindowSubclass(hwnd, SubclassProc, 1, reinterpret_cast<DWORD_PTR>(this));
}

int CALLBACK CPropertySheet::SheetCallback(HWND hwnd, UINT message, LPARAM)
{
    try {
        if (message == PSCB_INITIALIZED && t_creatingSheet) {
            CPropertySheet* sheet = t_creatingSheet;
            sheet->Attach(hwnd);
            sheet->OnInitDialog();
        }
    } catch (...) {
        CDialogWindow::LogCallbackFailure("CPropertySheet::SheetCallback");
    }
    return 0;
}

LRESULT CALLBACK CPropertySheet::SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                              DWORD_PTR data)
{
    try {
        auto* sheet = reinterpret_cast<CPropertySheet*>(data);
        if (message == WM_NCDESTROY) {
            RemoveWindowSubclass(hwnd, SubclassProc, 1);
            if (sheet->m_hwnd == hwnd)
                sheet->m_hwnd = nullptr;
        } else {
            LRESULT result = 0;
            if (sheet->OnSheetMessage(message, wParam, lParam, result))
                return result;
        }
    } catch (...) {
        CDialogWindow::LogCallbackFailure("CPropertySheet::SubclassProc");
    }
    return DefSubclassProc(hwnd, message, wParam, lParam);
}
