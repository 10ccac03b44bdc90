#include "ui/framework/BrowseDialogs.h"

#include "ui/framework/UiServices.h"
#include "ui/wizard/Resource.h"

INT_PTR CFolderDialog::DoModal(HWND owner)
{
    m_path = BrowseForFolder(owner, Title);
    if (m_path.size() >= MaxPath)
        m_path.clear();
    return m_path.empty() ? IDCANCEL : IDOK;
}

CDialogRegistry::CDialogRegistry() : CDialog(IDD_BROWSE_REGISTRY) {}

BOOL CDialogRegistry::OnInitDialog()
{
    CDialog::OnInitDialog();
    m_keyPath.clear();
    for (int id : {IDOK, IDCANCEL})
        SetItemFont(id, DialogFont());
    m_tree.Attach(Item(IDC_BROWSE_REGISTRY_TREE));
    m_tree.FillRoots();
    return TRUE;
}

void CDialogRegistry::OnOK()
{
    auto selected = reinterpret_cast<HTREEITEM>(
        SendMessageW(Item(IDC_BROWSE_REGISTRY_TREE), TVM_GETNEXTITEM, TVGN_CARET, 0));
    m_keyPath = selected ? SelectionTree::WithoutFinalSeparator(m_tree.PathOf(selected)) : std::wstring();
    m_tree.Detach();
    CDialog::OnOK();
}

void CDialogRegistry::OnCancel()
{
    m_keyPath.clear();
    m_tree.Detach();
    CDialog::OnCancel();
}
