#include "ui/pages/PackageContentReviewPage.h"

#include "common/FolderTokens.h"
#include "common/Utf.h"
#include "manager/UIManager.h"
#include "ui/framework/UiServices.h"
#include "ui/pages/CreateProjectFileAndMsiRules.h"
#include "ui/wizard/Resource.h"

const wchar_t* const CContentReviewPage::DescriptionText =
    L"This screen allows you to review (and optionally include or exclude items) the contents of your package. To "
    L"move an item, check it and press the appropriate button to move the item between the lists of included and "
    L"excluded items. When moving an item to the excluded list be sure to enter a brief description of the item in "
    L"the space below.";

namespace {

std::wstring TokenPath(std::wstring path, const FolderTokenValues& tokens)
{
    ToTokenPath(path, tokens);
    return path;
}


} // namespace

CContentReviewPage::CContentReviewPage(UINT pageId, bool registry, Session& session, CUIManager& manager)
    : CPropertyPage(pageId, L"Corvane Repackager 1.0: Package Content Review"), m_registry(registry),
      m_session(session), m_manager(manager), m_included(session.Tokens), m_excluded(session.Tokens)
{
}

CContentReviewFileDlg::CContentReviewFileDlg(Session& session, CUIManager& manager)
    : CContentReviewPage(IDD_REVIEW_FILES, false, session, manager)
{
}

CContentReviewRegistryDlg::CContentReviewRegistryDlg(Session& session, CUIManager& manager)
    : CContentReviewPage(IDD_REVIEW_REGISTRY, true, session, manager)
{
}

CContentReviewPage::~CContentReviewPage()
{
    m_included.Detach();
    m_excluded.Detach();
}

BOOL CContentReviewPage::OnInitDialog()
{
    CPropertyPage::OnInitDialog();
    const int excludedTree = m_registry ? IDC_EXCLUDED_REGISTRY_TREE : IDC_EXCLUDED_FILE_TREE;
    for (int id : {IDC_INCLUDED_LABEL, IDC_EXCLUDED_LABEL, IDC_EXCLUDE_DESCRIPTION_LABEL, IDC_EXCLUDE_DESCRIPTION,
                   IDC_EXCLUDE, IDC_INCLUDE, IDC_DESCRIPTION, IDC_INCLUDED_TREE, excludedTree})
        SetItemFont(id, DialogFont());
    SetItemText(IDC_DESCRIPTION, DescriptionText);
    SendMessageW(Item(IDC_EXCLUDE_DESCRIPTION), EM_LIMITTEXT, 512, 0);

    const std::wstring list = m_registry ? IncludeExcludePath::RegistryExcluded : IncludeExcludePath::FilesExcluded;
    CUIManager& manager = m_manager;
    if (const ExcludedItemMap* defaults =
            manager.IncludeExclude().LoadExcludedItems(list, manager.IncludeExclude().LoadedPath()))
        m_defaults = *defaults;

    // Earlier exclusions stay in force.
    if (m_registry)
        m_session.ExcludedRegistry.Reapply(RegistryChangeMaps(m_session.Changes));
    else
        m_session.ExcludedFiles.Reapply(FileChangeMaps(m_session.Changes));

    m_included.Attach(Item(IDC_INCLUDED_TREE));
    m_excluded.Attach(Item(excludedTree));
    RefillTrees();
    PublishExclusions();
    return TRUE;
}

void CContentReviewPage::RefillTrees()
{
    ChangeSet& changes = m_session.Changes;
    constexpr ChangeOrigin added = ChangeOrigin::Added, modified = ChangeOrigin::Modified,
                           deleted = ChangeOrigin::Deleted;
    if (m_registry)
        m_included.ShowRegistry(&changes.Registry(added), &changes.Registry(modified), &changes.Registry(deleted),
                                false);
    else
        m_included.ShowFileSystem(&changes.Files(added), &changes.Files(modified), &changes.Files(deleted), false);
    m_excluded.ShowExclusions(m_defaults);
    if (m_registry) {
        for (const auto& [key, entries] : m_session.ExcludedRegistry.EntriesByKey())
            m_excluded.AddPath(key, CProjectTreeCtrl::ItemKind::Key);
    } else {
        for (const auto& change : m_session.ExcludedFiles.Changes()) {
            if (change.WholeKey)
                m_excluded.AddPath(change.Key, CProjectTreeCtrl::ItemKind::Folder);
            for (const std::wstring& file : change.Entries)
                m_excluded.AddPath(file, CProjectTreeCtrl::ItemKind::File);
        }
    }
    m_included.ExpandAll();
    m_excluded.ExpandAll();
}

void CContentReviewPage::PublishExclusions() const
{
    ReviewExclusionCopies& copies = m_session.ReviewCopies;
    (m_registry ? copies.DefaultRegistry : copies.DefaultFiles) = m_defaults;
    (m_registry ? copies.ReviewRegistry : copies.ReviewFiles) = m_pageExclusions;
}

bool CContentReviewPage::ExcludeItem(const CProjectTreeCtrl::CheckedItem& item, const std::wstring& description)
{
    m_session.WindowThread.AssertCurrent(L"the excluded changes");
    if (m_registry)
        return !m_session.ExcludedRegistry.ExcludeKey(RegistryChangeMaps(m_session.Changes), item.Path, description)
                    .empty();
    const auto maps = FileChangeMaps(m_session.Changes);
    if (item.Kind != CProjectTreeCtrl::ItemKind::File)
        return !m_session.ExcludedFiles.ExcludeKey(maps, item.Path, description).empty();
    const std::wstring folder = ParentKey(item.Path);
    if (!m_session.ExcludedFiles.ExcludeEntry(maps, folder, item.Path, description))
        return false;
    // A folder left without files has nothing to write (the writer drops it too).
    for (DirectoryChangeMap& map : maps.Maps) {
        const auto it = map.find(folder);
        if (it != map.end() && it->second.empty())
            map.erase(it);
    }
    return true;
}

bool CContentReviewPage::IncludeItem(const CProjectTreeCtrl::CheckedItem& item)
{
    m_session.WindowThread.AssertCurrent(L"the excluded changes");
    if (m_registry)
        return !m_session.ExcludedRegistry.RestoreKey(RegistryChangeMaps(m_session.Changes), item.Path).empty();
    const auto maps = FileChangeMaps(m_session.Changes);
    if (item.Kind == CProjectTreeCtrl::ItemKind::File)
        return m_session.ExcludedFiles.RestoreEntry(maps, ParentKey(item.Path), item.Path);
    return !m_session.ExcludedFiles.RestoreKey(maps, item.Path).empty();
}

void CContentReviewPage::ExcludeChecked()
{
    const CProjectList checked = m_included.GetCheckedItems();
    if (checked.empty()) {
        if (!m_registry)
            ShowMessage(L"Please check the item that need to be excluded", L"Warning", MB_OK | MB_ICONWARNING);
        return;
    }
    bool stopped = false;
    bool moved = false;
    for (const auto& item : checked) {
        const std::wstring token = TokenPath(item.Path, m_session.Tokens);
        const std::wstring description = TrimText(ItemText(IDC_EXCLUDE_DESCRIPTION));
        if (description.empty()) {
            ShowMessage(L"Please provide description for excluded item and then click >> button", L"Warning",
                        MB_OK | MB_ICONWARNING);
            stopped = true;
            break;
        }
        m_description = description;
        if (!ExcludeItem(item, description))
            continue;
        m_pageExclusions[ToUpperAscii(token)] = ExcludedItem{token, description};
        m_changed = moved = true;
    }
    if (!stopped)
        SetItemText(IDC_EXCLUDE_DESCRIPTION, L"");
    PublishExclusions();
    // Nothing moved: the ticks stay for another try.
    if (moved)
        RefillTrees();
}

void CContentReviewPage::IncludeChecked()
{
    const CProjectList checked = m_excluded.GetCheckedItems();
    if (checked.empty()) {
        if (!m_registry)
            ShowMessage(L"Please check the item that need to be included", L"Warning", MB_OK | MB_ICONWARNING);
        return;
    }
    bool moved = false;
    for (const auto& item : checked) {
        if (!IncludeItem(item))
            continue; // a default exclusion: nothing of it was captured
        const std::wstring upper = ToUpperAscii(TokenPath(item.Path, m_session.Tokens));
        std::erase_if(m_pageExclusions, [&](const auto& entry) { return IsSameOrBelow(entry.first, upper); });
        m_changed = moved = true;
    }
    PublishExclusions();
    if (moved)
        RefillTrees();
}

bool CContentReviewPage::OnCommand(WORD controlId, WORD code, HWND control)
{
    if (code == BN_CLICKED && controlId == IDC_EXCLUDE) {
        ExcludeChecked();
        return true;
    }
    if (code == BN_CLICKED && controlId == IDC_INCLUDE) {
        IncludeChecked();
        return true;
    }
    return CPropertyPage::OnCommand(controlId, code, control);
}

BOOL CContentReviewPage::OnSetActive()
{
    SetWizardButtons(PSWIZB_BACK | PSWIZB_NEXT);
    return CPropertyPage::OnSetActive();
}

LRESULT CContentReviewPage::OnWizardBack()
{
    return m_registry ? IDD_REVIEW_FILES : IDD_POST_INSTALLATION;
}

LRESULT CContentReviewPage::OnWizardNext()
{
    if (m_changed) {
        // A failed write is logged by the engine.
        if (m_registry)
            (void)m_manager.Coordinator().RegistrySide().WriteRegistryChanges();
        else
            (void)m_manager.Coordinator().FileSide().WriteFileChanges();
        m_changed = false;
    }
    return m_registry ? IDD_CREATE_PROJECT : IDD_REVIEW_REGISTRY;
}
