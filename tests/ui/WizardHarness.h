#pragma once
// Drives the real wizard sheet in the test process: a program folder, working
// root and configuration of the test's own, every message box answered by the
// test, and helpers that press buttons, type and wait for window conditions.
#include "tests/support/TestSupport.h"
#include "ui/wizard/ApplicationMain.h"

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

// The program folder (with the configuration and the welcome pages), the
// working root and the application-data folder, all below one TempFolder;
// `session`'s paths point at them (the environment and the current folder
// too, for the life of the object).
class WizardEnvironment
{
public:
    // `waitTimeOut`: seconds the welcome page waits for its advertisement.
    explicit WizardEnvironment(Session& session, int waitTimeOut = 1);
    ~WizardEnvironment();

    std::wstring Program() const { return m_root / L"prog"; }
    std::wstring Work() const { return m_root / L"work"; }
    std::wstring AppData() const { return m_root / L"appdata"; }
    std::wstring Files() const { return m_root / L"files"; }
    std::wstring ConfigPath() const { return Program() + L"\\CorvaneRepackager.ini"; }

private:
    TempFolder m_root;
    std::unique_ptr<ScopedEnvironment> m_temp;
    std::unique_ptr<ScopedEnvironment> m_appData;
    std::unique_ptr<ScopedCurrentDirectory> m_directory;
};

struct ShownMessage
{
    std::wstring text;
    std::wstring caption;
    UINT type = 0;
};

// Receives every message box of the pages while it lives; answers with `answer`.
class MessageBoxRecorder
{
public:
    MessageBoxRecorder();
    ~MessageBoxRecorder();
    std::vector<ShownMessage> shown;
    int answer = IDOK;
};

// Pumps the thread's messages until `condition` holds or `timeoutMs` passed.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs = 5000);
// Pumps what is queued now.
void PumpMessages();

// The wizard sheet, modeless, with the ways a user works it.
class WizardDriver
{
public:
    WizardDriver(Session& session, CUIManager& manager);
    ~WizardDriver();

    CApplicationMain& Sheet() { return m_sheet; }
    HWND Window() const { return m_sheet.Window(); }
    int Position() const { return m_sheet.ActivePosition(); }
    UINT PageId() const;
    bool WaitForPosition(int position, DWORD timeoutMs = 5000);

    // The sheet's buttons.
    void PressNext() { m_sheet.PressButton(PSBTN_NEXT); }
    void PressBack() { m_sheet.PressButton(PSBTN_BACK); }
    bool IsButtonEnabled(int id) const;
    bool IsButtonVisible(int id) const;
    std::wstring Caption() const;

    // Controls of the current page.
    HWND Control(int id) const;
    void Click(int id) const;
    void Type(int id, const std::wstring& text) const;
    std::wstring Text(int id) const;
    bool IsVisible(int id) const;
    // Puts the focus into a control and then on another, as a user tabbing out would.
    void Leave(int id, int nextId) const;
    // The text colour the page chooses for a static control.
    COLORREF TextColour(int id) const;

    // Shows the welcome page's Next (after the advertisement time-out) and
    // presses it; true once the sheet moved on.
    bool LeaveWelcome(int expectedPosition);

private:
    CApplicationMain m_sheet;
};

// Runs `open` (which shows the shortcut dialog modally) and lets `action` work
// the dialog from inside its modal loop once it shows; a test failure when it did not show.
void RunWithShortcutDialog(const std::function<void()>& open, std::function<void(HWND)> action);
// The text of a dialog's control.
std::wstring DialogItemText(HWND dialog, int id);
