#include "ui/controls/BannerCtrl.h"

#include "common/Log.h"
#include "ui/wizard/Resource.h"

#include <exdisp.h>
#include <exdispid.h>
#include <ole2.h>
#include <oleidl.h>
#include <ocidl.h>

#include <atomic>

namespace {

constexpr wchar_t BannerClassName[] = L"CorvaneBannerCtrl";
constexpr UINT BrowserChildId = 0xE900;
constexpr DISPID NavigateErrorId = 271;    // DISPID_NAVIGATEERROR
constexpr DISPID NavigateCompleteId = 252; // DISPID_NAVIGATECOMPLETE2

// {8856F961-340A-11D0-A96B-00C04FD705A2}
constexpr CLSID WebBrowserClassId = {0x8856F961, 0x340A, 0x11D0, {0xA9, 0x6B, 0x00, 0xC0, 0x4F, 0xD7, 0x05, 0xA2}};
// DWebBrowserEvents2 {34A715A0-6587-11D0-924A-0020AFC7AC4D}
constexpr IID BrowserEventsId = {0x34A715A0, 0x6587, 0x11D0, {0x92, 0x4A, 0x00, 0x20, 0xAF, 0xC7, 0xAC, 0x4D}};

bool RegisterBannerClass()
{
    static const bool registered = [] {
        WNDCLASSW wc{};
        wc.style = CS_HREDRAW | CS_VREDRAW;
        wc.lpfnWndProc = DefWindowProcW; // replaced per window below
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        wc.lpszClassName = BannerClassName;
        return RegisterClassW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    }();
    return registered;
}

} // namespace

class CBrowserSite;

// An interface of the site that lives inside it (a tear-off): its identity,
// reference count and other interfaces are the site's.
template <class Interface>
class CSitePart : public Interface
{
public:
    explicit CSitePart(CBrowserSite& site) : m_site(site) {}
    STDMETHODIMP QueryInterface(REFIID riid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

protected:
    CBrowserSite& m_site;
};

// IOleWindow, shared by the in-place site and the frame: the banner's window.
HRESULT BannerWindow(const CBrowserSite& site, HWND* window);

class CInPlaceSite final : public CSitePart<IOleInPlaceSite>
{
public:
    using CSitePart::CSitePart;
    STDMETHODIMP GetWindow(HWND* window) override { return BannerWindow(m_site, window); }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP CanInPlaceActivate() override { return S_OK; }
    STDMETHODIMP OnInPlaceActivate() override { return S_OK; }
    STDMETHODIMP OnUIActivate() override { return S_OK; }
    STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document, LPRECT position,
                                  LPRECT clip, LPOLEINPLACEFRAMEINFO info) override;
    STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
    STDMETHODIMP OnUIDeactivate(BOOL) override { return S_OK; }
    STDMETHODIMP OnInPlaceDeactivate() override { return S_OK; }
    STDMETHODIMP DiscardUndoState() override { return E_NOTIMPL; }
    STDMETHODIMP DeactivateAndUndo() override { return E_NOTIMPL; }
    STDMETHODIMP OnPosRectChange(LPCRECT) override { return S_OK; }
};

class CInPlaceFrame final : public CSitePart<IOleInPlaceFrame>
{
public:
    using CSitePart::CSitePart;
    STDMETHODIMP GetWindow(HWND* window) override { return BannerWindow(m_site, window); }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS) override { return S_OK; }
    STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override { return S_OK; }
    STDMETHODIMP InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return S_OK; }
    STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
    STDMETHODIMP RemoveMenus(HMENU) override { return S_OK; }
    STDMETHODIMP SetStatusText(LPCOLESTR) override { return S_OK; }
    STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }
    STDMETHODIMP TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }
};

// The sink of the browser's events.
class CBrowserEvents final : public CSitePart<IDispatch>
{
public:
    using CSitePart::CSitePart;
    STDMETHODIMP GetTypeInfoCount(UINT* count) override
    {
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override;
};

// The container the browser talks to: client site, in-place site and frame,
// and the sink of the browser's events. Reference-counted on its own, so a
// late call from the browser after the window is gone finds no banner.
class CBrowserSite final : public IOleClientSite
{
public:
    explicit CBrowserSite(CBannerCtrl* banner) : m_banner(banner) {}
    void Detach() { m_banner = nullptr; }
    CBannerCtrl* Banner() const noexcept { return m_banner; }
    IDispatch* Events() noexcept { return &m_events; }
    IOleInPlaceFrame* Frame() noexcept { return &m_frame; }

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** object) override
    {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        if (riid == IID_IUnknown || riid == IID_IOleClientSite)
            *object = static_cast<IOleClientSite*>(this);
        else if (riid == IID_IOleInPlaceSite || riid == IID_IOleWindow)
            *object = static_cast<IOleInPlaceSite*>(&m_inPlace);
        else if (riid == IID_IOleInPlaceFrame || riid == IID_IOleInPlaceUIWindow)
            *object = static_cast<IOleInPlaceFrame*>(&m_frame);
        else if (riid == IID_IDispatch || riid == BrowserEventsId)
            *object = static_cast<IDispatch*>(&m_events);
        else
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_references; }
    STDMETHODIMP_(ULONG) Release() override
    {
        const ULONG left = --m_references;
        if (left == 0)
            delete this;
        return left;
    }

    // IOleClientSite
    STDMETHODIMP SaveObject() override { return E_NOTIMPL; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
    STDMETHODIMP GetContainer(IOleContainer** container) override
    {
        *container = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP ShowObject() override { return S_OK; }
    STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
    STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }

private:
    ~CBrowserSite() = default;
    std::atomic<ULONG> m_references{1};
    CBannerCtrl* m_banner;
    CInPlaceSite m_inPlace{*this};
    CInPlaceFrame m_frame{*this};
    CBrowserEvents m_events{*this};
};

template <class Interface>
HRESULT CSitePart<Interface>::QueryInterface(REFIID riid, void** object)
{
    return m_site.QueryInterface(riid, object);
}

template <class Interface>
ULONG CSitePart<Interface>::AddRef()
{
    return m_site.AddRef();
}

template <class Interface>
ULONG CSitePart<Interface>::Release()
{
    return m_site.Release();
}

HRESULT BannerWindow(const CBrowserSite& site, HWND* window)
{
    *window = site.Banner() ? site.Banner()->Window() : nullptr;
    return *window ? S_OK : E_FAIL;
}

HRESULT CInPlaceSite::GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document, LPRECT position,
                                       LPRECT clip, LPOLEINPLACEFRAMEINFO info)
{
    *frame = m_site.Frame();
    m_site.AddRef();
    *document = nullptr;
    CBannerCtrl* banner = m_site.Banner();
    RECT client{};
    if (banner && banner->Window())
        GetClientRect(banner->Window(), &client);
    *position = client;
    *clip = client;
    info->fMDIApp = FALSE;
    info->hwndFrame = banner ? GetParent(banner->Window()) : nullptr;
    info->haccel = nullptr;
    info->cAccelEntries = 0;
    return S_OK;
}

HRESULT CBrowserEvents::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*)
{
    try {
        CBannerCtrl* banner = m_site.Banner();
        if (!banner)
            return S_OK;
        if (id == NavigateErrorId)
            banner->OnNavigateError();
        else if (id == NavigateCompleteId)
            banner->OnNavigateComplete();
    } catch (...) {
        LogError(L"CBannerCtrl: browser event handler failed");
    }
    return S_OK;
}

CBannerCtrl::~CBannerCtrl()
{
    Destroy();
}

bool CBannerCtrl::Create(DWORD style, const RECT& rect, HWND parent)
{
    if (!RegisterBannerClass())
        return false;
    m_hwnd = CreateWindowExW(0, BannerClassName, L"", style | WS_CHILD | WS_CLIPCHILDREN, rect.left, rect.top,
                             rect.right - rect.left, rect.bottom - rect.top, parent,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_BROWSER_PLACEHOLDER)),
                             GetModuleHandleW(nullptr), nullptr);
    if (!m_hwnd) {
        LogError(L"CBannerCtrl::Create: CreateWindowEx failed");
        return false;
    }
    SetWindowLongPtrW(m_hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrW(m_hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(WindowProc));
    if (!CreateBrowser()) {
        Destroy();
        return false;
    }
    return true;
}

bool CBannerCtrl::CreateBrowser()
{
    m_site = new CBrowserSite(this);
    IOleObject* object = nullptr;
    HRESULT hr = CoCreateInstance(WebBrowserClassId, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                                  reinterpret_cast<void**>(&object));
    if (FAILED(hr)) {
        LogError(L"CBannerCtrl::Create: the web browser control is not available");
        return false;
    }
    RECT client{};
    GetClientRect(m_hwnd, &client);
    hr = object->SetClientSite(static_cast<IOleClientSite*>(m_site));
    if (SUCCEEDED(hr))
        hr = object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, static_cast<IOleClientSite*>(m_site), 0, m_hwnd,
                            &client);
    if (SUCCEEDED(hr))
        hr = object->QueryInterface(IID_IWebBrowser2, reinterpret_cast<void**>(&m_browser));
    if (SUCCEEDED(hr))
        hr = object->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&m_dispatch));
    if (SUCCEEDED(hr)) {
        IConnectionPointContainer* container = nullptr;
        if (SUCCEEDED(object->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&container)))) {
            IConnectionPoint* point = nullptr;
            if (SUCCEEDED(container->FindConnectionPoint(BrowserEventsId, &point))) {
                point->Advise(m_site->Events(), &m_cookie);
                point->Release();
            }
            container->Release();
        }
        // The browser's own window carries the child identifier of a view.
        IOleWindow* window = nullptr;
        HWND browserWindow = nullptr;
        if (SUCCEEDED(object->QueryInterface(IID_IOleWindow, reinterpret_cast<void**>(&window)))) {
            window->GetWindow(&browserWindow);
            window->Release();
        }
        if (browserWindow) {
            SetWindowLongPtrW(browserWindow, GWLP_ID, BrowserChildId);
            SetWindowLongPtrW(browserWindow, GWL_STYLE,
                              GetWindowLongPtrW(browserWindow, GWL_STYLE) | WS_VISIBLE | WS_TABSTOP);
        }
        m_browser->put_Silent(VARIANT_TRUE);
    }
    object->Release();
    if (FAILED(hr)) {
        LogError(L"CBannerCtrl::Create: the web browser control could not be placed");
        return false;
    }
    Resize();
    return true;
}

void CBannerCtrl::ReleaseBrowser()
{
    if (m_browser) {
        if (m_cookie) {
            IConnectionPointContainer* container = nullptr;
            if (SUCCEEDED(m_browser->QueryInterface(IID_IConnectionPointContainer,
                                                    reinterpret_cast<void**>(&container)))) {
                IConnectionPoint* point = nullptr;
                if (SUCCEEDED(container->FindConnectionPoint(BrowserEventsId, &point))) {
                    point->Unadvise(m_cookie);
                    point->Release();
                }
                container->Release();
            }
            m_cookie = 0;
        }
        IOleObject* object = nullptr;
        if (SUCCEEDED(m_browser->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&object)))) {
            object->Close(OLECLOSE_NOSAVE);
            object->SetClientSite(nullptr);
            object->Release();
        }
        m_browser->Release();
        m_browser = nullptr;
    }
    if (m_dispatch) {
        m_dispatch->Release();
        m_dispatch = nullptr;
    }
    if (m_site) {
        m_site->Detach();
        m_site->Release();
        m_site = nullptr;
    }
}

void CBannerCtrl::Destroy()
{
    ReleaseBrowser();
    if (m_hwnd) {
        HWND window = m_hwnd;
        m_hwnd = nullptr;
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        if (IsWindow(window))
            DestroyWindow(window);
    }
    m_loaded = false;
    m_error = false;
}

void CBannerCtrl::Navigate(const std::wstring& address)
{
    if (!m_browser)
        return;
    m_error = false;
    VARIANT flags;
    VariantInit(&flags);
    flags.vt = VT_I4;
    flags.lVal = 0;
    VARIANT empty;
    VariantInit(&empty);
    empty.vt = VT_BSTR;
    empty.bstrVal = SysAllocString(L"");
    BSTR url = SysAllocString(address.c_str());
    const HRESULT hr = m_browser->Navigate(url, &flags, &empty, &empty, &empty);
    SysFreeString(url);
    VariantClear(&empty);
    if (FAILED(hr))
        LogError(L"CBannerCtrl::Navigate: the browser refused the address");
}

void CBannerCtrl::Stop()
{
    if (m_browser)
        m_browser->Stop();
}

void CBannerCtrl::OnNavigateError()
{
    m_error = true;
    Stop();
}

void CBannerCtrl::OnNavigateComplete()
{
    m_loaded = !m_error;
    if (m_hwnd)
        SendMessageW(GetParent(m_hwnd), WM_BANNER_NAVIGATED, 0, reinterpret_cast<LPARAM>(m_hwnd));
}

void CBannerCtrl::Resize()
{
    if (!m_browser || !m_hwnd)
        return;
    RECT client{};
    GetClientRect(m_hwnd, &client);
    IOleInPlaceObject* inPlace = nullptr;
    if (SUCCEEDED(m_browser->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inPlace)))) {
        inPlace->SetObjectRects(&client, &client);
        inPlace->Release();
    }
}

LRESULT CALLBACK CBannerCtrl::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    try {
        auto* banner = reinterpret_cast<CBannerCtrl*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (banner) {
            if (message == WM_SIZE)
                banner->Resize();
            else if (message == WM_DESTROY) {
                banner->ReleaseBrowser();
                banner->m_hwnd = nullptr;
                SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
            }
        }
    } catch (...) {
        LogError(L"CBannerCtrl::WindowProc: unexpected exception");
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}
