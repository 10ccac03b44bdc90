#pragma once
// The two browse dialogs of the review pages: CFolderDialog, the platform's
// folder browser ("Pick a folder, any folder:", file-system folders only,
// not below domains), and CDialogRegistry ("Browse for Registry", dialog 177),
// a registry tree in which the user selects one key.
//
//   CFolderDialog folders;
//   if (folders.DoModal(Window()) == IDOK) use(folders.GetFolderPath());   // "C:\Apps\Tool"
//   CDialogRegistry keys;
//   if (keys.DoModal(Window()) == IDOK) use(keys.GetKeyPath());            // "HKEY_LOCAL_MACHINE\SOFTWARE\Vendor"
//
// The folder browser goes through BrowseForFolder (UiServices.h), which tests
// answer instead of a person.
#include "ui/controls/SelectionTreeCtrl.h"
#include "ui/framework/Dialog.h"

#include <string>

class CFolderDialog
{
public:
    static constexpr const wchar_t* Title = L"Pick a folder, any folder:";
    static constexpr size_t MaxPath = 260;

    // Shows the browser: IDOK with a folder chosen, IDCANCEL otherwise.
    INT_PTR DoModal(HWND owner);
    // The chosen folder (at most 259 characters), empty after Cancel.
    const std::wstring& GetFolderPath() const noexcept { return m_path; }

private:
    std::wstring m_path;
};

class CDialogRegistry : public CDialog
{
public:
    CDialogRegistry();

    // The selected key: the hive's long name and the key names separated by
    // "\", without a final "\"; empty after Cancel or with nothing selected.
    const std::wstring& GetKeyPath() const noexcept { return m_keyPath; }
    // The registry tree (for tests driving the dialog).
    CRegistryTreeCtrl& Tree() noexcept { return m_tree; }

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;

private:
    CRegistryTreeCtrl m_tree;
    std::wstring m_keyPath;
};
