#pragma once
// The Create Project File and MSI page: shortcuts for the captured
// executables, the target folder, the project file name and the MSI name;
// Next writes the project file and then builds the package, each on the
// page's worker, while a timer moves the bar and the status lines.
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

class CCreateProjectFileMsiDlg : public CPropertyPage
{
public:
    CCreateProjectFileMsiDlg(Session& session, CUIManager& manager);

    enum class State { Editing, Creating, ProjectCreated, Building, Finished, Failed };
    State CurrentState() const noexcept { return m_state; }
    const ShortcutEntryMap& Entries() const noexcept { return m_shortcuts.Entries(); }
    const std::map<std::wstring, std::wstring>& ExecutableNames() const noexcept { return m_executables; }

    // The handlers, callable by tests as the controls would call them.
    void OnSelect();
    void OnEditShortcut(int line);
    bool ValidateInputs();

protected:
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    LRESULT OnWizardBack() override;
    LRESULT OnWizardNext() override;
    BOOL OnWizardFinish() override;
    bool OnCommand(WORD controlId, WORD code, HWND control) override;
    void OnTimer(UINT_PTR timerId) override;
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;
    void OnDestroy() override;

private:
    void CreateExecutableCombo();
    // The combo box lists the captured executables the project still holds
    // (the review pages may have left some out since the last visit).
    void FillExecutableCombo();
    bool StartOperation(State state);
    void WorkerEnded(bool succeeded);
    void ShowFailure(const std::wstring& what);
    // A project file that could not be written: the page is editable again,
    // Next tries again, and the capture stays pending.
    void CreationFailed();
    // The controls of the editing state shown (true) or those of the run.
    void ShowEditingControls(bool editing);
    CUIManager& Manager() { return m_manager; }

    Session& m_session;
    CUIManager& m_manager;
    HWND m_combo = nullptr;
    CShortcutListEditor m_shortcuts;
    std::map<std::wstring, std::wstring> m_executables;
    std::map<int, std::wstring> m_openingTexts;
    State m_state = State::Editing;
    bool m_buildMsi = true;
    bool m_projectCreated = false;
    CBuildRunner m_run;
    ULONGLONG m_buildAt = 0;
    // The package the Next of the page asked for.
    BuildRequest m_request;
    ReportLinkState m_report;
    // Writes the capture report and shows where it is.
    void ShowReport(bool built);
};
