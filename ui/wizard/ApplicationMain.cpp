#include "ui/wizard/ApplicationMain.h"

#include "common/Log.h"
#include "ui/dialogs/AboutDlg.h"
#include "ui/framework/UiServices.h"
#include "ui/wizard/Resource.h"

CApplicationMain::CApplicationMain(Session& session, CUIManager& manager)
    : CPropertySheet(L"Corvane Repackager Main", Mode::Wizard), m_welcome(session, manager),
      m_basicInformation(session, manager), m_preInstallation(session, manager), m_launchSetup(session, manager),
      m_postInstallation(session, manager), m_reviewFiles(session, manager), m_reviewRegistry(session, manager),
      m_createProject(session, manager), m_showProject(session, manager), m_buildMsi(session, manager),
      m_existingSnapshot(session)
{
    for (CPropertyPage* page :
         {static_cast<CPropertyPage*>(&m_welcome), static_cast<CPropertyPage*>(&m_basicInformation),
          static_cast<CPropertyPage*>(&m_preInstallation), static_cast<CPropertyPage*>(&m_launchSetup),
          static_cast<CPropertyPage*>(&m_postInstallation), static_cast<CPropertyPage*>(&m_reviewFiles),
          static_cast<CPropertyPage*>(&m_reviewRegistry), static_cast<CPropertyPage*>(&m_createProject),
          static_cast<CPropertyPage*>(&m_showProject), static_cast<CPropertyPage*>(&m_buildMsi),
          static_cast<CPropertyPage*>(&m_existingSnapshot)})
        AddPage(*page);
    m_icon = static_cast<HICON>(
        LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE));
    SetIcon(m_icon);
}

CApplicationMain::~CApplicationMain()
{
    // The pages are members: the window goes before they do.
    Destroy();
    if (m_banner)
        DeleteObject(m_banner);
    if (m_icon)
        DestroyIcon(m_icon);
}

void CApplicationMain::OnInitDialog()
{
    HWND sheet = Window();
    SetWindowLongPtrW(sheet, GWL_STYLE, GetWindowLongPtrW(sheet, GWL_STYLE) | WS_MINIMIZEBOX);
    if (HMENU menu = GetSystemMenu(sheet, FALSE)) {
        AppendMenuW(menu, MF_STRING, SC_MINIMIZE, L"Minimize");
        wchar_t about[128] = {};
        if (LoadStringW(GetModuleHandleW(nullptr), IDS_ABOUTBOX, about, 128) > 0) {
            AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
            AppendMenuW(menu, MF_STRING, IDM_ABOUTBOX, about);
        }
    }

    HINSTANCE instance = GetModuleHandleW(nullptr);
    const int large = GetSystemMetrics(SM_CXICON);
    const int small = GetSystemMetrics(SM_CXSMICON);
    SendMessageW(sheet, WM_SETICON, ICON_BIG,
                 reinterpret_cast<LPARAM>(LoadImageW(instance, MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON, large,
                                                     large, LR_SHARED)));
    SendMessageW(sheet, WM_SETICON, ICON_SMALL,
                 reinterpret_cast<LPARAM>(LoadImageW(instance, MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON, small,
                                                     small, LR_SHARED)));

    m_banner = static_cast<HBITMAP>(LoadImageW(instance, MAKEINTRESOURCEW(IDB_BANNER), IMAGE_BITMAP, 0, 0, 0));
    if (m_banner) {
        HWND banner = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_BITMAP, 0, 0, 0, 0, sheet,
                                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_SHEET_BANNER)), instance,
                                      nullptr);
        SendMessageW(banner, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(m_banner));
        SetWindowPos(banner, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    } else {
        LogError(L"CApplicationMain::OnInitDialog: the banner bitmap is missing");
    }

    ShowWindow(GetDlgItem(sheet, IDHELP), SW_HIDE);
    // The buttons move right into the place of the hidden Help button. A
    // platform that already leaves no room for Help keeps its own layout:
    // moved, Cancel would leave the sheet and cover Next.
    if (ButtonsFitAfterMove()) {
        MoveButton(IDCANCEL, 100, 85);
        MoveButton(ID_WIZNEXT, 115, 100);
        MoveButton(ID_WIZFINISH, 115, 100);
        MoveButton(ID_WIZBACK, 121, 106);
    }
    for (int id : {IDCANCEL, ID_WIZNEXT, ID_WIZFINISH, ID_WIZBACK})
        SendDlgItemMessageW(sheet, id, WM_SETFONT, reinterpret_cast<WPARAM>(DialogFont()), TRUE);
}

RECT CApplicationMain::ButtonRect(int id) const
{
    RECT r{};
    if (HWND button = GetDlgItem(Window(), id)) {
        GetWindowRect(button, &r);
        MapWindowPoints(nullptr, Window(), reinterpret_cast<POINT*>(&r), 2);
    }
    return r;
}

bool CApplicationMain::ButtonsFitAfterMove() const
{
    RECT client{};
    GetClientRect(Window(), &client);
    const RECT cancel = ButtonRect(IDCANCEL);
    return cancel.right + 85 <= client.right;
}

void CApplicationMain::MoveButton(int id, int leftShift, int rightShift) const
{
    HWND button = GetDlgItem(Window(), id);
    if (!button)
        return;
    const RECT r = ButtonRect(id);
    MoveWindow(button, r.left + leftShift, r.top, r.right + rightShift - (r.left + leftShift), r.bottom - r.top, TRUE);
}

bool CApplicationMain::OnSheetMessage(UINT message, WPARAM wParam, LPARAM, LRESULT& result)
{
    if (message == WM_SYSCOMMAND && (wParam & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg::Show(Window());
        result = 0;
        return true;
    }
    return false;
}
