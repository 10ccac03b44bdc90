#pragma once
// A child window that hosts the platform's web browser control and tells its
// page when a navigation completed. Without a browser (none installed, or it
// cannot be created) the window stays empty and navigation does nothing.
#include <windows.h>

#include <string>

struct IWebBrowser2;
struct IDispatch;
class CBrowserSite;
class CBrowserEvents;

class CBannerCtrl
{
public:
    CBannerCtrl() = default;
    ~CBannerCtrl();
    CBannerCtrl(const CBannerCtrl&) = delete;
    CBannerCtrl& operator=(const CBannerCtrl&) = delete;

    // Creates the window (control 1127) over `rect` of `parent` and the browser
    // inside it. False, with nothing left behind, when the browser cannot be made.
    bool Create(DWORD style, const RECT& rect, HWND parent);
    void Destroy();

    // Does nothing without a browser. Clears "error" and starts the navigation.
    void Navigate(const std::wstring& address);
    void Stop();

    HWND Window() const noexcept { return m_hwnd; }
    bool HasBrowser() const noexcept { return m_browser != nullptr; }
    // The last navigation completed without error.
    bool Loaded() const noexcept { return m_loaded; }
    bool Error() const noexcept { return m_error; }

private:
    friend class CBrowserEvents;
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    bool CreateBrowser();
    void ReleaseBrowser();
    void OnNavigateError();
    void OnNavigateComplete();
    void Resize();

    HWND m_hwnd = nullptr;
    IWebBrowser2* m_browser = nullptr;
    IDispatch* m_dispatch = nullptr;
    CBrowserSite* m_site = nullptr;
    DWORD m_cookie = 0;
    bool m_loaded = false;
    bool m_error = false;
};
