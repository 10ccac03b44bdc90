#include "tests/ui/WizardHarness.h"

#include "common/Config.h"
#include "common/Utf.h"
#include "manager/UIManager.h"
#include "ui/framework/UiServices.h"

#include <gtest/gtest.h>

#include <ole2.h>

// ---- WizardEnvironment ----------------------------------------------------------

WizardEnvironment::WizardEnvironment(Session& session, int waitTimeOut)
{
    for (const wchar_t* folder : {L"prog", L"work", L"appdata", L"files"})
        CreateDirectoryW((m_root / folder).c_str(), nullptr);
    const std::wstring bin = ExecutableFolder() + L"\\..\\bin\\";
    for (const wchar_t* file : {L"RawProjectFile.xml", L"DefaultIncludeExclude.xml", L"Wait.html", L"Products.html"})
        CopyFileW((bin + file).c_str(), (Program() + L"\\" + file).c_str(), FALSE);
    WriteFileBytes(ConfigPath(), "[LogFileDetails]\r\nLogLevel=0\r\n"
                                 "[AdvertisementURL]\r\nWaitHTML=Wait.html\r\nDynamicAdvertisementURL=\r\n"
                                 "StaticAdvertisementHTML=Products.html\r\nWaitTimeOut=" +
                                     std::to_string(waitTimeOut) + "\r\n");
    m_temp = std::make_unique<ScopedEnvironment>(L"temp", Work().c_str());
    m_appData = std::make_unique<ScopedEnvironment>(L"appdata", AppData().c_str());
    m_directory = std::make_unique<ScopedCurrentDirectory>(Program());
    InitializePaths(session, L"", L"");
}

WizardEnvironment::~WizardEnvironment()
{
    m_directory.reset();
    m_appData.reset();
    m_temp.reset();
}

// ---- MessageBoxRecorder -------------------------------------------------------------

MessageBoxRecorder::MessageBoxRecorder()
{
    SetMessageBoxFunction([this](HWND, const std::wstring& text, const std::wstring& caption, UINT type) {
        shown.push_back({text, caption, type});
        return answer;
    });
}

MessageBoxRecorder::~MessageBoxRecorder()
{
    SetMessageBoxFunction(nullptr);
}

// ---- Message pump -----------------------------------------------------------------

namespace {
CPropertySheet* g_pumpedSheet = nullptr;
}

void PumpMessages()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (g_pumpedSheet && g_pumpedSheet->IsSheetMessage(message))
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs)
{
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        PumpMessages();
        if (condition())
            return true;
        if (GetTickCount64() >= deadline)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
}

// ---- WizardDriver -----------------------------------------------------------------

WizardDriver::WizardDriver(Session& session, CUIManager& manager) : m_sheet(session, manager)
{
    m_sheet.Create();
    g_pumpedSheet = &m_sheet;
    PumpMessages();
}

WizardDriver::~WizardDriver()
{
    g_pumpedSheet = nullptr;
    m_sheet.Destroy();
    PumpMessages();
}

UINT WizardDriver::PageId() const
{
    const CPropertyPage* page = m_sheet.ActivePage();
    return page ? page->Id() : 0;
}

bool WizardDriver::WaitForPosition(int position, DWORD timeoutMs)
{
    return WaitUntil([&] { return Position() == position; }, timeoutMs);
}

bool WizardDriver::IsButtonEnabled(int id) const
{
    HWND button = GetDlgItem(Window(), id);
    return button && IsWindowVisible(button) && IsWindowEnabled(button);
}

bool WizardDriver::IsButtonVisible(int id) const
{
    HWND button = GetDlgItem(Window(), id);
    return button && IsWindowVisible(button);
}

std::wstring WizardDriver::Caption() const
{
    wchar_t text[256] = {};
    GetWindowTextW(Window(), text, 256);
    return text;
}

HWND WizardDriver::Control(int id) const
{
    const CPropertyPage* page = m_sheet.ActivePage();
    return page ? GetDlgItem(page->Window(), id) : nullptr;
}

void WizardDriver::Click(int id) const
{
    SendMessageW(Control(id), BM_CLICK, 0, 0);
    PumpMessages();
}

void WizardDriver::Type(int id, const std::wstring& text) const
{
    SetWindowTextW(Control(id), text.c_str());
}

std::wstring WizardDriver::Text(int id) const
{
    wchar_t text[1024] = {};
    GetWindowTextW(Control(id), text, 1024);
    return text;
}

bool WizardDriver::IsVisible(int id) const
{
    return IsWindowVisible(Control(id)) != FALSE;
}

void WizardDriver::Leave(int id, int nextId) const
{
    SetFocus(Control(id));
    PumpMessages();
    SetFocus(Control(nextId));
    PumpMessages();
}

COLORREF WizardDriver::TextColour(int id) const
{
    HDC dc = CreateCompatibleDC(nullptr);
    SetTextColor(dc, RGB(1, 2, 3));
    SendMessageW(GetParent(Control(id)), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                 reinterpret_cast<LPARAM>(Control(id)));
    const COLORREF colour = GetTextColor(dc);
    DeleteDC(dc);
    return colour;
}

bool WizardDriver::LeaveWelcome(int expectedPosition)
{
    if (!WaitUntil([&] { return IsButtonEnabled(ID_WIZNEXT); }))
        return false;
    PressNext();
    return WaitForPosition(expectedPosition);
}

// ---- Shortcut dialog ------------------------------------------------------------------

namespace {
std::function<void(HWND)> g_dialogAction;
bool g_dialogSeen = false;

VOID CALLBACK WatchForShortcutDialog(HWND, UINT, UINT_PTR id, DWORD)
{
    HWND dialog = FindWindowW(nullptr, L"Corvane Repackager 1.0: Shortcut");
    if (!dialog || !IsWindowVisible(dialog))
        return;
    KillTimer(nullptr, id);
    g_dialogSeen = true;
    g_dialogAction(dialog);
}
} // namespace

void RunWithShortcutDialog(const std::function<void()>& open, std::function<void(HWND)> action)
{
    g_dialogAction = std::move(action);
    g_dialogSeen = false;
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, WatchForShortcutDialog);
    open();
    KillTimer(nullptr, timer);
    EXPECT_TRUE(g_dialogSeen) << "the shortcut dialog did not show";
}

std::wstring DialogItemText(HWND dialog, int id)
{
    wchar_t text[512] = {};
    GetDlgItemTextW(dialog, id, text, 512);
    return text;
}
