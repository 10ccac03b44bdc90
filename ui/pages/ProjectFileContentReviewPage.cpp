#include "ui/pages/ProjectFileContentReviewPage.h"

#include "common/Log.h"
#include "common/Utf.h"
#include "manager/UIManager.h"
#include "project/ProjectReaders.h"
#include "ui/framework/BrowseDialogs.h"
#include "ui/framework/UiServices.h"
#include "ui/pages/ProjectFileContentReviewRules.h"
#include "ui/wizard/Resource.h"

#include <utility>

namespace {

constexpr wchar_t Description[] =
    L"On this screen you can review the contents of Project file. Items in \"Red\" color does not exist on the "
    L"system. Going further may create problem in repackaged application.";
constexpr wchar_t NothingTicked[] = L"Please select entry to update the list";
constexpr wchar_t MissingRefused[] =
    L"Project file contains some missing file entries. Due to missing files repackager can not build MSI";

} // namespace

CShowProjectFileDlg::CShowProjectFileDlg(Session& session, CUIManager& manager)
    : CPropertyPage(IDD_SHOW_PROJECT, L"Corvane Repackager 1.0: Project File Content Review"), m_session(session),
      m_manager(manager), m_fileTree(session.Tokens), m_registryTree(session.Tokens)
{
}

BOOL CShowProjectFileDlg::OnInitDialog()
{
    CPropertyPage::OnInitDialog();
    for (int id : {IDC_DESCRIPTION, IDC_SHOW_FILES_LABEL, IDC_SHOW_REGISTRY_LABEL, IDC_SHOW_FILES_SUMMARY,
                   IDC_SHOW_REGISTRY_SUMMARY, IDC_SHOW_MISSING_FILES, IDC_SHOW_MISSING_REGISTRIES, IDC_UPDATE_FILES,
                   IDC_RESCAN_REGISTRY, IDC_IGNORE_MISSING, IDC_SHOW_FILE_TREE, IDC_SHOW_REGISTRY_TREE})
        SetItemFont(id, DialogFont());
    SetItemText(IDC_DESCRIPTION, Description);
    SendMessageW(Item(IDC_CHOSEN_FOLDER), EM_LIMITTEXT, 128, 0);
    m_fileTree.Attach(Item(IDC_SHOW_FILE_TREE), {nullptr, [this] { OnFilesChecked(); }});
    m_registryTree.Attach(Item(IDC_SHOW_REGISTRY_TREE), {nullptr, [this] { OnRegistryChecked(); }});
    LoadProject();
    return TRUE;
}

void CShowProjectFileDlg::LoadProject()
{
    m_loadedProject = m_session.ProjectFilePath();
    // A project file that cannot be read leaves the maps empty (the reader logs why).
    ProjectModel& project = Manager().Project().Model;
    if (!Manager().ParseProjectFile())
        project = {};
    ChangeSet& changes = project.Changes;
    m_keys = {&changes.Registry(ChangeOrigin::Added), &changes.Registry(ChangeOrigin::Modified),
              &changes.Registry(ChangeOrigin::Deleted)};
    m_files = {&changes.Files(ChangeOrigin::Added), &changes.Files(ChangeOrigin::Modified),
               &changes.Files(ChangeOrigin::Deleted)};

    // The trees show at once; what is missing follows when their checks end.
    m_filesLoading = m_registryLoading = true;
    m_registryWording = RegistrySummaryWording::Opening;
    SetItemText(IDC_SHOW_FILES_SUMMARY, L"");
    SetItemText(IDC_SHOW_REGISTRY_SUMMARY, L"");
    m_fileTree.ShowFileSystem(m_files[0], m_files[1], m_files[2], true);
    m_registryTree.ShowRegistry(m_keys[0], m_keys[1], m_keys[2], true);
    for (int id : {IDC_SHOW_MISSING_FILES, IDC_SHOW_MISSING_REGISTRIES, IDC_UPDATE_FILES, IDC_RESCAN_REGISTRY,
                   IDC_IGNORE_MISSING}) {
        EnableItem(id, false);
        CheckDlgButton(Window(), id, BST_UNCHECKED);
    }
    m_fileTree.ExpandAll();
    m_registryTree.ExpandAll();
}

void CShowProjectFileDlg::OnFilesChecked()
{
    const bool missing = m_fileTree.Existence().Missing > 0;
    if (std::exchange(m_filesLoading, false) && missing) {
        m_fileTree.Refill(CProjectTreeCtrl::View::OnlyMissing);
        EnableItem(IDC_UPDATE_FILES, true);
        CheckDlgButton(Window(), IDC_SHOW_MISSING_FILES, BST_CHECKED);
        EnableItem(IDC_IGNORE_MISSING, true);
        m_fileTree.ExpandAll();
    }
    if (missing)
        EnableItem(IDC_SHOW_MISSING_FILES, true);
    SetItemText(IDC_SHOW_FILES_SUMMARY, FilesSummaryText(m_fileTree.Existence().Total, m_fileTree.Existence().Missing));
}

void CShowProjectFileDlg::OnRegistryChecked()
{
    const bool missing = m_registryTree.Existence().Missing > 0;
    if (std::exchange(m_registryLoading, false) && missing) {
        m_registryTree.Refill(CProjectTreeCtrl::View::OnlyMissing);
        EnableItem(IDC_RESCAN_REGISTRY, true);
        CheckDlgButton(Window(), IDC_SHOW_MISSING_REGISTRIES, BST_CHECKED);
        EnableItem(IDC_IGNORE_MISSING, true);
        m_registryTree.ExpandAll();
    }
    if (missing)
        EnableItem(IDC_SHOW_MISSING_REGISTRIES, true);
    SetItemText(IDC_SHOW_REGISTRY_SUMMARY, RegistrySummaryText(m_registryWording, m_registryTree.Existence().Total,
                                                               m_registryTree.Existence().Missing));
}

void CShowProjectFileDlg::WaitForExistenceChecks()
{
    m_fileTree.WaitForExistenceCheck();
    m_registryTree.WaitForExistenceCheck();
}

BOOL CShowProjectFileDlg::OnSetActive()
{
    // Another project file chosen on the way back is read afresh, and so is
    // one whose repairs were not written: the trees show what Next builds.
    if (m_loadedProject != m_session.ProjectFilePath() || m_modified)
        LoadProject();
    SetWizardButtons(PSWIZB_BACK | PSWIZB_NEXT);
    if (m_fileTree.Existence().Missing > 0)
        EnableItem(IDC_SHOW_MISSING_FILES, true);
    if (m_registryTree.Existence().Missing > 0)
        EnableItem(IDC_SHOW_MISSING_REGISTRIES, true);
    m_modified = false;
    return CPropertyPage::OnSetActive();
}

LRESULT CShowProjectFileDlg::OnWizardBack()
{
    return IDD_BASIC_INFORMATION;
}

bool CShowProjectFileDlg::OnCommand(WORD controlId, WORD code, HWND)
{
    if (code != BN_CLICKED)
        return false;
    switch (controlId) {
    case IDC_SHOW_MISSING_FILES:
        OnShowOnlyMissingFiles();
        return true;
    case IDC_SHOW_MISSING_REGISTRIES:
        OnShowOnlyMissingRegistries();
        return true;
    case IDC_UPDATE_FILES:
        OnUpdateFiles();
        return true;
    case IDC_RESCAN_REGISTRY:
        OnRescanRegistry();
        return true;
    default:
        return false;
    }
}

void CShowProjectFileDlg::ShowFiles(bool onlyMissing)
{
    m_fileTree.Refill(onlyMissing ? CProjectTreeCtrl::View::OnlyMissing : CProjectTreeCtrl::View::All);
    m_fileTree.ExpandAll();
}

void CShowProjectFileDlg::ShowRegistry(bool onlyMissing)
{
    m_registryTree.Refill(onlyMissing ? CProjectTreeCtrl::View::OnlyMissing : CProjectTreeCtrl::View::All);
    m_registryTree.ExpandAll();
}

void CShowProjectFileDlg::OnShowOnlyMissingFiles()
{
    // The whole tree is checked again; its check sets the summary.
    const bool onlyMissing = IsChecked(IDC_SHOW_MISSING_FILES);
    ShowFiles(onlyMissing);
    if (onlyMissing)
        OnFilesChecked();
}

void CShowProjectFileDlg::OnShowOnlyMissingRegistries()
{
    const bool onlyMissing = IsChecked(IDC_SHOW_MISSING_REGISTRIES);
    m_registryWording = RegistrySummaryWording::ShowOnlyMissing;
    ShowRegistry(onlyMissing);
    if (onlyMissing)
        OnRegistryChecked();
}

std::vector<std::wstring> CShowProjectFileDlg::TickedPaths(const CProjectTreeCtrl& tree)
{
    std::vector<std::wstring> paths;
    for (const auto& item : tree.GetCheckedItems())
        paths.push_back(item.Path);
    return paths;
}

void CShowProjectFileDlg::OnUpdateFiles()
{
    if (m_fileTree.GetCheckedItems().empty()) {
        ShowMessage(NothingTicked, L"Information", MB_OK | MB_ICONINFORMATION);
        return;
    }
    CFolderDialog folders;
    if (folders.DoModal(Window()) != IDOK)
        return;
    SetItemText(IDC_CHOSEN_FOLDER, folders.GetFolderPath());
    UpdateFilesFrom(ItemText(IDC_CHOSEN_FOLDER));
}

void CShowProjectFileDlg::UpdateFilesFrom(const std::wstring& folder)
{
    m_fileTree.WaitForExistenceCheck();
    const auto files = MissingFilesUnder(m_fileTree.Existence().Entries, TickedPaths(m_fileTree), m_session.Tokens);
    for (const Relocation& moved : RelocateFiles(m_files, files, folder, m_session.Tokens)) {
        m_fileTree.MarkFound(moved.oldFolder, moved.oldPath);
        m_modified = true;
    }
    SetItemText(IDC_SHOW_FILES_SUMMARY, FilesSummaryText(m_fileTree.Existence().Total, m_fileTree.Existence().Missing));
    const bool missing = m_fileTree.Existence().Missing > 0;
    ShowFiles(missing);
    if (missing)
        EnableItem(IDC_UPDATE_FILES, true);
    CheckDlgButton(Window(), IDC_SHOW_MISSING_FILES, missing ? BST_CHECKED : BST_UNCHECKED);
}

void CShowProjectFileDlg::OnRescanRegistry()
{
    if (m_registryTree.GetCheckedItems().empty()) {
        ShowMessage(NothingTicked, L"Information", MB_OK | MB_ICONINFORMATION);
        return;
    }
    CDialogRegistry keys;
    if (keys.DoModal(SheetWindow()) != IDOK || keys.GetKeyPath().empty())
        return;
    RescanRegistryUnder(keys.GetKeyPath());
}

void CShowProjectFileDlg::RescanRegistryUnder(const std::wstring& key)
{
    m_registryTree.WaitForExistenceCheck();
    m_registryWording = RegistrySummaryWording::Rescanned;
    const auto keys = MissingKeysUnder(m_registryTree.Existence().Entries, TickedPaths(m_registryTree));
    for (const Relocation& moved : RelocateKeys(m_keys, keys, key)) {
        m_registryTree.MarkFound(moved.oldPath);
        m_modified = true;
    }
    SetItemText(IDC_SHOW_REGISTRY_SUMMARY, RegistrySummaryText(RegistrySummaryWording::Rescanned,
                                                               m_registryTree.Existence().Total,
                                                               m_registryTree.Existence().Missing));
    const bool missing = m_registryTree.Existence().Missing > 0;
    ShowRegistry(missing);
    if (missing)
        EnableItem(IDC_RESCAN_REGISTRY, true);
    CheckDlgButton(Window(), IDC_SHOW_MISSING_REGISTRIES, missing ? BST_CHECKED : BST_UNCHECKED);
}

LRESULT CShowProjectFileDlg::OnWizardNext()
{
    // The decision needs the answer: the running checks are short.
    WaitForExistenceChecks();
    const bool missing = m_fileTree.Existence().Missing > 0 || m_registryTree.Existence().Missing > 0;
    switch (DecideShowProjectNext(missing, IsChecked(IDC_IGNORE_MISSING), m_modified)) {
    case ShowProjectNext::Refuse:
        ShowMessage(MissingRefused, L"Information", MB_OK | MB_ICONINFORMATION);
        return StayOnPage;
    case ShowProjectNext::RegenerateAndGoOn:
        if (!RegenerateProjectFile(Manager().Project().Document, Manager().Project().Model, m_session.Tokens,
                                   m_session.Paths.RawProjectFilePath, m_session.ProjectFilePath())) {
            // The reader logged why; the old file would build without the repairs.
            ShowMessage(L"The project file " + m_session.ProjectFilePath() +
                            L" could not be rewritten with the updated entries.",
                        L"Error", MB_OK | MB_ICONERROR);
            return StayOnPage;
        }
        m_modified = false;
        return IDD_BUILD_MSI;
    case ShowProjectNext::GoOn:
        break;
    }
    return IDD_BUILD_MSI;
}

void CShowProjectFileDlg::OnDestroy()
{
    m_fileTree.Detach();
    m_registryTree.Detach();
}
