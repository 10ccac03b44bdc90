#pragma once
// A page of a later step that is not built yet: it holds its place, title
// and targets in the sheet so that the page sequence is complete.
#include "ui/PropertyPage.h"

class CPlaceholderPage : public CPropertyPage
{
public:
    // `back` and `next`: page identifiers, or StayOnPage.
    CPlaceholderPage(UINT pageId, const std::wstring& name, LRESULT back, LRESULT next);

protected:
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    LRESULT OnWizardBack() override;
    LRESULT OnWizardNext() override;

private:
    LRESULT m_back;
    LRESULT m_next;
};
