#include "ui/pages/WelcomeRules.h"

CWelcomeSequence::Action CWelcomeSequence::OnAdvertisementNavigated(bool loaded)
{
    if (!loaded)
        return RequestStaticPage();
    m_nextEnabled = true;
    if (m_shown)
        return Action::None;
    m_shown = true;
    return Action::ShowAdvertisement;
}

CWelcomeSequence::Action CWelcomeSequence::OnTimeOut(bool loaded)
{
    m_nextEnabled = true;
    return loaded ? Action::None : RequestStaticPage();
}

CWelcomeSequence::Action CWelcomeSequence::RequestStaticPage()
{
    if (m_staticAttempts >= StaticPageAttempts)
        return Action::None;
    ++m_staticAttempts;
    return Action::LoadStaticPage;
}
