#pragma once
// The Capture Basic Information page: the choice between a new capture and an
// existing project file, the file to start from and the product information.
#include "manager/UIManager.h"
#include "ui/framework/PropertyPage.h"
#include "ui/pages/BasicInformationRules.h"

#include <string>
#include <vector>

class CCorvaneRepackagerDlg : public CPropertyPage
{
public:
    CCorvaneRepackagerDlg(Session& session, CUIManager& manager);

    // The selected radio button, 0 when none.
    int SelectedChoice() const;
    const std::vector<int>& MarkedLabels() const noexcept { return m_markedLabels; }
    bool IsMarked(int labelId) const;
    // The values accepted (or last read) by Next.
    BasicInformationFields Accepted() const;

    // The handlers, callable by tests as the controls would call them.
    void OnChoiceClicked(int choice);
    void OnLocationKillFocus();
    void OnBrowse();

protected:
    void DoDataExchange(CDataExchange& exchange) override;
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    LRESULT OnWizardBack() override;
    LRESULT OnWizardNext() override;
    bool OnCommand(WORD controlId, WORD code, HWND control) override;
    HBRUSH OnCtlColor(HDC dc, HWND control, UINT message, HBRUSH defaultBrush) override;

private:
    void FillProductFields(const ProductInfo& product) const;
    ProductInfo TypedProduct() const;
    void EmptyFields();
    CUIManager& Manager() { return m_manager; }

    std::wstring m_location;
    std::wstring m_applicationName;
    std::wstring m_version;
    std::wstring m_companyName;
    // The location text the product fields were last proposed from.
    std::wstring m_proposedFrom;
    Session& m_session;
    CUIManager& m_manager;
    std::vector<int> m_markedLabels;
    int m_rememberedChoice = 0;
    bool m_cameBack = false;
};
