#pragma once
// "Corvane Repackager 1.0: Shortcut": the name, icon and places of one
// shortcut. The icon list shows every icon of the chosen program or icon
// file; the preview shows the selected one.
#include "ui/framework/Dialog.h"
#include "ui/pages/CreateProjectFileAndMsiRules.h"

#include <commctrl.h>

#include <set>
#include <string>

class CShortcutDlg : public CDialog
{
public:
    // A new shortcut: all three places ticked, the first icon selected.
    CShortcutDlg(const std::wstring& name, const std::wstring& iconSource);
    // An existing shortcut: its stored values.
    explicit CShortcutDlg(const ShortcutEntry& entry);
    ~CShortcutDlg() override;

    // Names of the other shortcuts: OK refuses them.
    void SetTakenNames(std::set<std::wstring> names) { m_takenNames = std::move(names); }

    // The results (and, before the dialog opens, the values it starts from).
    std::wstring Name() const { return m_name; }
    std::wstring IconSource() const { return m_iconSource; }
    int IconIndex() const noexcept { return m_selected; }
    bool Desktop() const noexcept { return m_desktop; }
    bool ProgramMenu() const noexcept { return m_programMenu; }
    bool QuickLaunch() const noexcept { return m_quickLaunch; }
    // The number of icons in the list.
    int IconCount() const noexcept { return m_iconCount; }

    // The handlers, callable by tests as the controls would call them.
    void OnBrowse();
    void FillIconList(const std::wstring& source);
    void SelectIcon(int index);

protected:
    void DoDataExchange(CDataExchange& exchange) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    bool OnCommand(WORD controlId, WORD code, HWND control) override;
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;
    void OnDestroy() override;

private:
    void ShowPreview();

    std::wstring m_name;
    std::wstring m_iconSource;
    bool m_desktop = true;
    bool m_programMenu = true;
    bool m_quickLaunch = true;
    bool m_editing = false;
    int m_storedIndex = 0;
    int m_selected = -1;
    int m_iconCount = 0;
    bool m_filling = false;
    std::set<std::wstring> m_takenNames;
    HIMAGELIST m_images = nullptr;
    HICON m_preview = nullptr;
};
