#pragma once
// The two Package Content Review pages: the file system changes (143) and the
// registry changes (144) of the comparison, in an "included" tree beside an
// "excluded" tree that starts with the default exclusions of the
// include/exclude file. ">>" takes the ticked changes out of the change maps
// into the process-wide store of excluded changes (with the description the
// user typed), "<<" puts them back into the map each came from, and Next
// writes the page's change document again after a change.
//
// Both trees are filled from the data after every move, so they always show
// exactly the maps (included) and the default exclusions plus the store
// (excluded).
#include "engine/ExcludedChanges.h"
#include "manager/UIManager.h"
#include "project/IncludeExclude.h"
#include "ui/controls/ProjectTreeCtrl.h"
#include "ui/framework/PropertyPage.h"

class CContentReviewPage : public CPropertyPage
{
public:
    ~CContentReviewPage() override;

    // ">>": moves the ticked items of the included tree to the excluded one.
    void ExcludeChecked();
    // "<<": moves the ticked items of the excluded tree back.
    void IncludeChecked();

    bool IsRegistryPage() const noexcept { return m_registry; }
    bool Changed() const noexcept { return m_changed; }
    const std::wstring& LastDescription() const noexcept { return m_description; }
    // Upper-cased token path -> token path and description of the exclusions made here.
    const ExcludedItemMap& PageExclusions() const noexcept { return m_pageExclusions; }
    CProjectTreeCtrl& IncludedTree() noexcept { return m_included; }
    CProjectTreeCtrl& ExcludedTree() noexcept { return m_excluded; }

    static const wchar_t* const DescriptionText;

protected:
    CContentReviewPage(UINT pageId, bool registry, Session& session, CUIManager& manager);

    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    LRESULT OnWizardBack() override;
    LRESULT OnWizardNext() override;
    bool OnCommand(WORD controlId, WORD code, HWND control) override;

private:
    // Moves one item out of the maps; false when nothing was there.
    bool ExcludeItem(const CProjectTreeCtrl::CheckedItem& item, const std::wstring& description);
    // Puts back what was excluded at or below the item; false when nothing was.
    bool IncludeItem(const CProjectTreeCtrl::CheckedItem& item);
    void RefillTrees();
    void PublishExclusions() const;

    bool m_registry;
    std::wstring m_description;
    Session& m_session;
    CUIManager& m_manager;
    CProjectTreeCtrl m_included;
    CProjectTreeCtrl m_excluded;
    ExcludedItemMap m_defaults;
    ExcludedItemMap m_pageExclusions;
    bool m_changed = false;
};

class CContentReviewFileDlg : public CContentReviewPage
{
public:
    CContentReviewFileDlg(Session& session, CUIManager& manager);
};

class CContentReviewRegistryDlg : public CContentReviewPage
{
public:
    CContentReviewRegistryDlg(Session& session, CUIManager& manager);
};
