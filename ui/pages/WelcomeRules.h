#pragma once
// The rules of the welcome page that work without a window.

// What the welcome page does as its second browser reports and its timer
// fires. The user is never kept on the page: Next is enabled once the
// advertisement shows or the time-out passes, whichever comes first.
class CWelcomeSequence
{
public:
    enum class Action { None, ShowAdvertisement, LoadStaticPage };
    // Failed loads of the local page after which the browser is left alone.
    static constexpr int StaticPageAttempts = 2;

    // The second browser completed a navigation (`loaded`: without error).
    Action OnAdvertisementNavigated(bool loaded);
    // The time-out passed; `loaded`: the second browser's last navigation succeeded.
    Action OnTimeOut(bool loaded);

    bool NextEnabled() const noexcept { return m_nextEnabled; }
    bool AdvertisementShown() const noexcept { return m_shown; }

private:
    Action RequestStaticPage();

    bool m_shown = false;
    bool m_nextEnabled = false;
    int m_staticAttempts = 0;
};
