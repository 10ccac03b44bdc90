#pragma once
// The Project File Content Review page of the existing-project road: the
// project's files and registry keys in two trees, what is missing on this
// machine in red, and the ways to repair it: "Update Files" (a folder where
// missing files now are), "Rescan Registry" (a key below which missing keys
// now are), or "Ignore missing items and continue". Next rebuilds the project
// file when an update changed it.
#include "manager/UIManager.h"
#include "ui/controls/ProjectTreeCtrl.h"
#include "ui/framework/PropertyPage.h"
#include "ui/pages/ProjectFileContentReviewRules.h"

#include <array>
#include <string>
#include <vector>

class CShowProjectFileDlg : public CPropertyPage
{
public:
    CShowProjectFileDlg(Session& session, CUIManager& manager);

    CProjectTreeCtrl& FileTree() noexcept { return m_fileTree; }
    CProjectTreeCtrl& RegistryTree() noexcept { return m_registryTree; }
    // An update changed the maps since the page became current.
    bool IsModified() const noexcept { return m_modified; }
    // Waits for both trees' existence checks and shows their results (the
    // summaries and buttons follow when a check ends; tests wait here).
    void WaitForExistenceChecks();

    // The handlers, callable by tests as the controls would call them.
    void OnShowOnlyMissingFiles();
    void OnShowOnlyMissingRegistries();
    void OnUpdateFiles();
    void OnRescanRegistry();
    // What the two buttons do once the user has chosen a folder or a key.
    void UpdateFilesFrom(const std::wstring& folder);
    void RescanRegistryUnder(const std::wstring& key);

protected:
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    LRESULT OnWizardBack() override;
    LRESULT OnWizardNext() override;
    bool OnCommand(WORD controlId, WORD code, HWND control) override;
    void OnDestroy() override;

private:
    // Reads the project file and fills both trees.
    void LoadProject();
    void ShowFiles(bool onlyMissing);
    void ShowRegistry(bool onlyMissing);
    // What follows a tree's existence check: after a load, the missing-only
    // view and its buttons; each time, the summary.
    void OnFilesChecked();
    void OnRegistryChecked();
    static std::vector<std::wstring> TickedPaths(const CProjectTreeCtrl& tree);
    CUIManager& Manager() { return m_manager; }

    std::wstring m_text;
    Session& m_session;
    CUIManager& m_manager;
    CProjectTreeCtrl m_fileTree;
    CProjectTreeCtrl m_registryTree;
    std::array<RegistryChangeMap*, 3> m_keys{};
    std::array<DirectoryChangeMap*, 3> m_files{};
    bool m_modified = false;
    // The check running was started by a load (the missing-only view follows it).
    bool m_filesLoading = false;
    bool m_registryLoading = false;
    RegistrySummaryWording m_registryWording = RegistrySummaryWording::Opening;
    std::wstring m_loadedProject;
};
