#pragma once
// The advanced include/exclude sheet, opened by the Pre Installation Snapshot
// page: "Included Items" (CAdvanceInclude), where the user ticks what the
// snapshots cover, and "Excluded Items" (CAdvanceExclude), where the user
// ticks what is listed as excluded, each exclusion with a description. OK
// saves into "UpdatedIncludeExclude.xml", "Set As Default" into
// "DefaultIncludeExclude.xml", Cancel saves nothing.
//
// Each page fills its trees once, when its window is created: a worker loads
// the lists, the window thread (polling from a timer) fills and ticks the
// trees. OK and Cancel stay disabled while any page loads.
#include "manager/UIManager.h"
#include "project/IncludeExclude.h"
#include "ui/controls/SelectionTreeCtrl.h"
#include "ui/framework/PropertyPage.h"

#include <string>
#include <vector>

class CParentSheet;

class CAdvanceInclude : public CPropertyPage
{
public:
    CAdvanceInclude(CParentSheet& sheet, Session& session, CUIManager& manager);

    bool IsLoading() const noexcept { return m_loading; }
    CFolderTreeCtrl& FolderTree() noexcept { return m_folders; }
    CRegistryTreeCtrl& RegistryTree() noexcept { return m_registry; }
    // Saves the ticked items as included lists under `targetName` and hands
    // the new scan details to the manager.
    void Save(const std::wstring& targetName);

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
    bool OnCommand(WORD controlId, WORD code, HWND control) override;
    void OnTimer(UINT_PTR timerId) override;
    HBRUSH OnCtlColor(HDC dc, HWND control, UINT message, HBRUSH defaultBrush) override;

private:
    void ShowLoaded();

    CParentSheet& m_sheet;
    const FolderTokenValues& m_tokens;
    CUIManager& m_manager;
    CFolderTreeCtrl m_folders;
    CRegistryTreeCtrl m_registry;
    bool m_loading = false;
    // Written by the loader, read by the window thread once it is done.
    ScanDetails m_loaded;
    // Included folders and keys the trees cannot tick (an absent drive, a key
    // not made yet): saved again as they were.
    std::vector<std::wstring> m_hiddenFolders;
    std::vector<std::wstring> m_hiddenKeys;
};

class CAdvanceExclude : public CPropertyPage
{
public:
    CAdvanceExclude(CParentSheet& sheet, Session& session, CUIManager& manager);

    bool IsLoading() const noexcept { return m_loading; }
    CFolderTreeCtrl& FolderTree() noexcept { return m_folders; }
    CRegistryTreeCtrl& RegistryTree() noexcept { return m_registry; }
    // The excluded entries the trees cannot show, kept for every save.
    const ExcludedItemMap& HiddenFiles() const noexcept { return m_hiddenFiles; }
    const ExcludedItemMap& HiddenKeys() const noexcept { return m_hiddenKeys; }
    // Saves the excluded lists under `targetName`; returns the ticked items
    // left out for want of a description.
    std::vector<std::wstring> Save(const std::wstring& targetName);
    // "Add To Exclude" with the current selection record and description.
    void AddToExclude();

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
    bool OnCommand(WORD controlId, WORD code, HWND control) override;
    void OnTimer(UINT_PTR timerId) override;
    HBRUSH OnCtlColor(HDC dc, HWND control, UINT message, HBRUSH defaultBrush) override;

private:
    void ShowLoaded();
    void OnSelection(CSelectionTreeCtrl& tree, HTREEITEM item, bool folders);
    void SaveAndTell(const std::wstring& targetName);

    CParentSheet& m_sheet;
    AddedExclusions& m_added;
    const WorkPaths& m_paths;
    const FolderTokenValues& m_tokens;
    CUIManager& m_manager;
    CFolderTreeCtrl m_folders;
    CRegistryTreeCtrl m_registry;
    bool m_loading = false;
    // The loaded excluded lists (written by the loader), less the hidden ones.
    ExcludedItemMap m_loadedFiles;
    ExcludedItemMap m_loadedKeys;
    ExcludedItemMap m_hiddenFiles;
    ExcludedItemMap m_hiddenKeys;
};

class CParentSheet : public CPropertySheet
{
public:
    CParentSheet(Session& session, CUIManager& manager);
    ~CParentSheet() override;

    CAdvanceInclude& IncludePage() noexcept { return m_include; }
    CAdvanceExclude& ExcludePage() noexcept { return m_exclude; }

    // A page's loader started or ended: OK and Cancel are enabled only while
    // no page loads.
    void LoaderStarted();
    void LoaderEnded();
    int LoadersRunning() const noexcept { return m_loaders; }

protected:
    void OnInitDialog() override;

private:
    void EnableCloseButtons(bool enable) const;

    CAdvanceInclude m_include;
    CAdvanceExclude m_exclude;
    HICON m_icon = nullptr;
    int m_loaders = 0;
};
