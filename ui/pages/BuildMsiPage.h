#pragma once
// The Build MSI page of the existing-project road: the shortcuts stored in
// the project file, editable with the shortcut dialog, the target folder and
// the MSI name; Next writes the edited shortcuts and their icons back into
// the project file and builds the package on the page's worker while a timer
// moves the bar and the status lines.
#include "manager/UIManager.h"
#include "ui/controls/ShortcutListEditor.h"
#include "ui/framework/PropertyPage.h"
#include "ui/pages/BuildRunner.h"
#include "ui/pages/CreateProjectFileAndMsiRules.h"
#include "ui/pages/ReportLink.h"

#include <commctrl.h>

#include <map>
#include <set>
#include <string>

class CBuildMSIDlg : public CPropertyPage
{
public:
    CBuildMSIDlg(Session& session, CUIManager& manager);

    enum class State { Editing, Building, Finished, Failed };
    State CurrentState() const noexcept { return m_state; }
    const ShortcutEntryMap& Entries() const noexcept { return m_shortcuts.Entries(); }
    // The records and icon files of the last accepted ValidateBuildTarget.
    const ShortcutList& Records() const noexcept { return m_records; }
    const IconMap& IconFiles() const noexcept { return m_iconFiles; }

    // The handlers, callable by tests as the controls would call them.
    void OnEditShortcut(int line);
    bool ValidateBuildTarget();

protected:
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    LRESULT OnWizardBack() override;
    LRESULT OnWizardNext() override;
    BOOL OnWizardFinish() override;
    void OnTimer(UINT_PTR timerId) override;
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;
    void OnDestroy() override;

private:
    // Reads the project file's shortcuts, icons and product into the page
    // (again when another project was chosen on the way back).
    void LoadProject();
    // False (logged) when the loaded project file could not take the page's
    // shortcuts and icons.
    bool WriteShortcutsToProject();
    void BuildEnded(bool succeeded);
    bool OnCommand(WORD controlId, WORD code, HWND control) override;
    CUIManager& Manager() { return m_manager; }

    Session& m_session;
    CUIManager& m_manager;
    CShortcutListEditor m_shortcuts;
    CBuildRunner m_run;
    ShortcutList m_records;
    IconMap m_iconFiles;
    std::map<int, std::wstring> m_openingTexts;
    State m_state = State::Editing;
    // The project file the page shows.
    std::wstring m_loadedProject;
    ReportLinkState m_report;
};
