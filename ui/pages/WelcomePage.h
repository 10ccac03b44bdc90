#pragma once
// The welcome page: a wait page while the advertisement loads, then the
// advertisement (or the local page about the products); Next checks the
// administrator rights and chooses between a new capture and a pending one.
#include "manager/UIManager.h"
#include "ui/controls/BannerCtrl.h"
#include "ui/framework/PropertyPage.h"
#include "ui/pages/WelcomeRules.h"

#include <string>

// The two loads of the second browser, as the banner sees them.
class CBannerCallback
{
public:
    virtual ~CBannerCallback() = default;
    virtual void LoadDynamicAdvertisement() = 0;
    virtual void LoadStaticAdvertisement() = 0;
};

// The resume decision of the welcome page's Next: the page to go to, or
// StayOnPage when a user without administrator rights declines to go on.
LRESULT ChooseFirstPage(HWND owner, bool snapshotPending);

class CCorvaneRepackagerStartDlg : public CPropertyPage, public CBannerCallback
{
public:
    CCorvaneRepackagerStartDlg(Session& session, CUIManager& manager);

    void LoadDynamicAdvertisement() override;
    void LoadStaticAdvertisement() override;

    const CWelcomeSequence& Sequence() const noexcept { return m_sequence; }
    const CBannerCtrl& WaitBrowser() const noexcept { return m_waitBrowser; }
    const CBannerCtrl& AdvertisementBrowser() const noexcept { return m_advertisementBrowser; }
    // "file://" + program folder + "\".
    const std::wstring& BaseAddress() const noexcept { return m_baseAddress; }
    UINT TimeOutMilliseconds() const noexcept { return m_timeOut; }

    // The page the "More Information" button opens.
    std::wstring MoreInformationAddress() const;

protected:
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    LRESULT OnWizardNext() override;
    bool OnCommand(WORD controlId, WORD code, HWND control) override;
    void OnTimer(UINT_PTR timerId) override;
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;
    void OnDestroy() override;

private:
    void Apply(CWelcomeSequence::Action action);
    void EnableNextIfActive() const;
    void OpenMoreInformation() const;

    Session& m_session;
    CUIManager& m_manager;
    CBannerCtrl m_waitBrowser;
    CBannerCtrl m_advertisementBrowser;
    CWelcomeSequence m_sequence;
    std::wstring m_baseAddress;
    std::wstring m_dynamicAdvertisementUrl;
    std::wstring m_staticAdvertisementHtml;
    std::wstring m_waitHtml;
    UINT m_timeOut = 10000;
};
