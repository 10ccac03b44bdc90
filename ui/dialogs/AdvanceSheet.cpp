#include "ui/dialogs/AdvanceSheet.h"

#include "common/FolderTokens.h"
#include "common/Utf.h"
#include "manager/UIManager.h"
#include "ui/dialogs/AdvanceSheetRules.h"
#include "ui/framework/UiServices.h"
#include "ui/wizard/Resource.h"

#include <algorithm>

namespace {

constexpr wchar_t IncludeDescription[] =
    L"This screen displays list of included items. Corvane Repackager will only include these items in the system "
    L"snapshot.";
constexpr wchar_t ExcludeDescription[] =
    L"This screen displays list of excluded items. These items will be excluded while taking the snapshot of system.";
constexpr wchar_t IncludeWait[] =
    L"The application is loading included files/directories and registry hives.\n\n Please wait...";
constexpr wchar_t ExcludeWait[] =
    L"The application is loading excluded files/directories and registry hives.\n\n Please wait...";
constexpr COLORREF WaitColour = RGB(0, 0, 255);
constexpr UINT LoaderPollMs = 50;

// The ticked items of a tree as paths without their final "\", in the
// order of the tree.
std::vector<std::wstring> TickedPaths(const CSelectionTreeCtrl& tree)
{
    CPathList list;
    tree.CollectTicked(list);
    std::vector<std::wstring> paths;
    for (const std::wstring& path : list)
        paths.push_back(SelectionTree::WithoutFinalSeparator(path));
    std::reverse(paths.begin(), paths.end());
    return paths;
}

std::wstring TokenOf(const std::wstring& fullPath, const FolderTokenValues& tokens)
{
    std::wstring token = SelectionTree::WithoutFinalSeparator(fullPath);
    ToTokenPath(token, tokens);
    return token;
}

// The file the excluded lists are read from: the user's once it exists.
std::wstring ExcludedListFile(const WorkPaths& paths)
{
    const std::wstring updated = paths.UpdatedIncludeExcludePath;
    return GetFileAttributesW(updated.c_str()) != INVALID_FILE_ATTRIBUTES
               ? updated
               : paths.DefaultIncludeExcludePath;
}

} // namespace

// ---- CAdvanceInclude ------------------------------------------------------------------

CAdvanceInclude::CAdvanceInclude(CParentSheet& sheet, Session& session, CUIManager& manager)
    : CPropertyPage(IDD_ADVANCE_INCLUDE, L"Included Items"), m_sheet(sheet), m_session(session),
      m_manager(manager)
{
}

BOOL CAdvanceInclude::OnInitDialog()
{
    CPropertyPage::OnInitDialog();
    for (int id : {IDC_DESCRIPTION, IDC_ADVANCE_FOLDER_LABEL, IDC_ADVANCE_REGISTRY_LABEL, IDC_INCLUDE_WAIT,
                   IDC_SET_AS_DEFAULT})
        SetItemFont(id, DialogFont());
    SetItemText(IDC_DESCRIPTION, IncludeDescription);
    SetItemText(IDC_INCLUDE_WAIT, IncludeWait);
    m_folders.Attach(Item(IDC_INCLUDE_FOLDER_TREE));
    m_registry.Attach(Item(IDC_INCLUDE_REGISTRY_TREE));

    ShowItem(IDC_INCLUDE_FOLDER_TREE, false);
    ShowItem(IDC_INCLUDE_REGISTRY_TREE, false);
    ShowItem(IDC_INCLUDE_WAIT, true);
    // Saving before the trees are filled would save an empty selection.
    EnableItem(IDC_SET_AS_DEFAULT, false);
    m_loading = true;
    m_sheet.LoaderStarted();
    CUIManager* manager = &m_manager;
    Worker().Start([this, manager] {
        manager->IncludeExclude().LoadIncludedItems(IncludeExcludePath::FilesIncluded);
        manager->IncludeExclude().LoadIncludedItems(IncludeExcludePath::RegistryIncluded);
        m_loaded = manager->GetScanDetails();
        return 1;
    });
    SetTimer(Window(), IDT_ADVANCE_LOADER, LoaderPollMs, nullptr);
    return TRUE;
}

void CAdvanceInclude::OnTimer(UINT_PTR timerId)
{
    if (timerId != IDT_ADVANCE_LOADER || !m_loading || Worker().IsRunning())
        return;
    KillTimer(Window(), IDT_ADVANCE_LOADER);
    ShowLoaded();
}

void CAdvanceInclude::ShowLoaded()
{
    m_folders.FillRoots();
    m_registry.FillRoots();
    m_hiddenFolders.clear();
    m_hiddenKeys.clear();
    for (const std::wstring& folder : m_loaded[L"File"])
        if (!m_folders.TickByPath(folder))
            m_hiddenFolders.push_back(folder);
    for (const std::wstring& key : m_loaded[L"Registry"])
        if (!m_registry.TickByPath(key))
            m_hiddenKeys.push_back(key);
    ShowItem(IDC_INCLUDE_WAIT, false);
    EnableItem(IDC_SET_AS_DEFAULT, true);
    for (int id : {IDC_INCLUDE_FOLDER_TREE, IDC_INCLUDE_REGISTRY_TREE, IDC_ADVANCE_FOLDER_LABEL,
                   IDC_ADVANCE_REGISTRY_LABEL})
        ShowItem(id, true);
    RedrawWindow(Window(), nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    m_loading = false;
    m_sheet.LoaderEnded();
}

bool CAdvanceInclude::OnCommand(WORD controlId, WORD code, HWND)
{
    if (controlId != IDC_SET_AS_DEFAULT || code != BN_CLICKED)
        return false;
    // The other page's loader may be reading the include/exclude file.
    if (m_sheet.LoadersRunning() > 0)
        return true;
    EnableItem(IDC_SET_AS_DEFAULT, false);
    Save(DefaultIncludeExcludeName);
    return true;
}

void CAdvanceInclude::OnOK()
{
    if (!m_loading)
        Save(UpdatedIncludeExcludeName);
}

void CAdvanceInclude::Save(const std::wstring& targetName)
{
    m_session.WindowThread.AssertCurrent(L"the included lists");
    CUIManager* manager = &m_manager;
    const ScanDetails details =
        AdvanceSheet::SaveIncluded(AdvanceSheet::WithHidden(TickedPaths(m_folders), m_hiddenFolders),
                                   AdvanceSheet::WithHidden(TickedPaths(m_registry), m_hiddenKeys), m_session.Tokens,
                                   manager->GetSetupFilePath(), manager->GetProductInfo(), m_session.Selection);
    manager->SetScanDetails(details);
    (void)manager->WriteScanDetails(); // logged
    manager->IncludeExclude().Save(0, targetName);
}

HBRUSH CAdvanceInclude::OnCtlColor(HDC dc, HWND control, UINT message, HBRUSH defaultBrush)
{
    if (control == Item(IDC_INCLUDE_WAIT))
        SetTextColor(dc, WaitColour);
    return CPropertyPage::OnCtlColor(dc, control, message, defaultBrush);
}

// ---- CAdvanceExclude ------------------------------------------------------------------

CAdvanceExclude::CAdvanceExclude(CParentSheet& sheet, Session& session, CUIManager& manager)
    : CPropertyPage(IDD_ADVANCE_EXCLUDE, L"Excluded Items"), m_sheet(sheet), m_added(session.AddToExclude),
      m_session(session), m_manager(manager)
{
}

BOOL CAdvanceExclude::OnInitDialog()
{
    CPropertyPage::OnInitDialog();
    for (int id : {IDC_DESCRIPTION, IDC_ADVANCE_FOLDER_LABEL, IDC_ADVANCE_REGISTRY_LABEL, IDC_EXCLUDE_WAIT,
                   IDC_ADVANCE_DESCRIPTION_LABEL, IDC_SELECTION_RECORD, IDC_ADVANCE_DESCRIPTION, IDC_ADD_TO_EXCLUDE,
                   IDC_SET_AS_DEFAULT})
        SetItemFont(id, DialogFont());
    SetItemText(IDC_DESCRIPTION, ExcludeDescription);
    SetItemText(IDC_EXCLUDE_WAIT, ExcludeWait);
    SendMessageW(Item(IDC_ADVANCE_DESCRIPTION), EM_LIMITTEXT, 512, 0);
    m_folders.Attach(Item(IDC_EXCLUDE_FOLDER_TREE));
    m_registry.Attach(Item(IDC_EXCLUDE_REGISTRY_TREE));
    m_folders.SetSelectionHandler([this](HTREEITEM item) { OnSelection(m_folders, item, true); });
    m_registry.SetSelectionHandler([this](HTREEITEM item) { OnSelection(m_registry, item, false); });

    ShowItem(IDC_EXCLUDE_WAIT, true);
    m_loading = true;
    m_sheet.LoaderStarted();
    const std::wstring file = ExcludedListFile(m_session.Paths);
    CUIManager* manager = &m_manager;
    Worker().Start([this, manager, file] {
        manager->IncludeExclude().LoadExcludedItems(IncludeExcludePath::FilesExcluded, file);
        manager->IncludeExclude().LoadExcludedItems(IncludeExcludePath::RegistryExcluded, file);
        manager->IncludeExclude().CopyExcludedItems(IncludeExcludePath::FilesExcluded, m_loadedFiles);
        manager->IncludeExclude().CopyExcludedItems(IncludeExcludePath::RegistryExcluded, m_loadedKeys);
        return 1;
    });
    SetTimer(Window(), IDT_ADVANCE_LOADER, LoaderPollMs, nullptr);
    return TRUE;
}

void CAdvanceExclude::OnTimer(UINT_PTR timerId)
{
    if (timerId != IDT_ADVANCE_LOADER || !m_loading || Worker().IsRunning())
        return;
    KillTimer(Window(), IDT_ADVANCE_LOADER);
    ShowLoaded();
}

void CAdvanceExclude::ShowLoaded()
{
    m_folders.FillRoots();
    m_registry.FillRoots();
    // What the trees cannot show (a folder missing here, a file) is kept aside
    // and saved again as it was.
    ExcludedItemMap rekeyed;
    for (auto entry = m_loadedFiles.begin(); entry != m_loadedFiles.end();) {
        std::wstring real = entry->second.Name;
        ToRealPath(real, m_session.Tokens);
        if (m_folders.TickByPath(real)) {
            // Kept under the key its ticked item gives on a save (a name such
            // as "%SYSDRIVE%\Data" comes back as "C:\Data"); the name stays.
            const std::wstring key = ToUpperAscii(TokenOf(real, m_session.Tokens));
            if (key == entry->first) {
                ++entry;
                continue;
            }
            rekeyed.emplace(key, entry->second);
            entry = m_loadedFiles.erase(entry);
        } else {
            m_hiddenFiles[entry->first] = entry->second;
            entry = m_loadedFiles.erase(entry);
        }
    }
    m_loadedFiles.merge(rekeyed);
    for (auto entry = m_loadedKeys.begin(); entry != m_loadedKeys.end();) {
        if (m_registry.TickByPath(entry->second.Name)) {
            ++entry;
        } else {
            m_hiddenKeys[entry->first] = entry->second;
            entry = m_loadedKeys.erase(entry);
        }
    }
    ShowItem(IDC_EXCLUDE_WAIT, false);
    for (int id : {IDC_EXCLUDE_FOLDER_TREE, IDC_EXCLUDE_REGISTRY_TREE, IDC_ADVANCE_FOLDER_LABEL,
                   IDC_ADVANCE_REGISTRY_LABEL, IDC_ADVANCE_DESCRIPTION_LABEL, IDC_ADVANCE_DESCRIPTION,
                   IDC_ADD_TO_EXCLUDE, IDC_SET_AS_DEFAULT})
        ShowItem(id, true);
    RedrawWindow(Window(), nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    m_loading = false;
    m_sheet.LoaderEnded();
}

void CAdvanceExclude::OnSelection(CSelectionTreeCtrl& tree, HTREEITEM item, bool folders)
{
    const ExcludedItemMap& recorded = folders ? m_added.Files : m_added.Registry;
    const ExcludedItemMap& loaded = folders ? m_loadedFiles : m_loadedKeys;
    auto lookup = [&](const std::wstring& token, std::wstring& description) {
        const std::wstring key = ToUpperAscii(token);
        for (const ExcludedItemMap* map : {&recorded, &loaded}) {
            if (const auto found = map->find(key); found != map->end()) {
                description = found->second.Description;
                return true;
            }
        }
        return false;
    };
    auto tokenOf = [this, folders](const std::wstring& path) {
        return folders ? TokenOf(path, m_session.Tokens) : SelectionTree::WithoutFinalSeparator(path);
    };
    CSelectionTreeCtrl::Access access = tree.Tree();
    const SelectionTree::SelectionRecord selection =
        SelectionTree::DescribeSelection(access, item, folders ? L"File" : L"Registry",
                                         folders ? L"FileNotChecked" : L"RegistryNotChecked", tokenOf, lookup);
    SetItemText(IDC_SELECTION_RECORD, selection.record);
    SetItemText(IDC_ADVANCE_DESCRIPTION, selection.description);
}

void CAdvanceExclude::AddToExclude()
{
    const AdvanceSheet::AddResult result = AdvanceSheet::AddToExclude(
        m_added, m_session.Tokens, ItemText(IDC_SELECTION_RECORD), ItemText(IDC_ADVANCE_DESCRIPTION),
        [this](const std::wstring& real) { return m_folders.TickByPath(real); },
        [this](const std::wstring& key) { return m_registry.TickByPath(key); });
    switch (result) {
    case AdvanceSheet::AddResult::NoDescription:
        ShowMessage(L"Please provide the description and then click \"Add To Exclude\"", L"Warning",
                    MB_OK | MB_ICONWARNING);
        return;
    case AdvanceSheet::AddResult::UnknownKind:
        ShowMessage(L"Unknown Error Can't exclude this item", L"Error", MB_OK | MB_ICONWARNING);
        break;
    case AdvanceSheet::AddResult::Added:
        break;
    }
    SetItemText(IDC_ADVANCE_DESCRIPTION_LABEL, L"Description of excluded item:");
    SetItemText(IDC_SELECTION_RECORD, L"");
    SetItemText(IDC_ADVANCE_DESCRIPTION, L"");
}

bool CAdvanceExclude::OnCommand(WORD controlId, WORD code, HWND)
{
    if (code != BN_CLICKED)
        return false;
    if (controlId == IDC_ADD_TO_EXCLUDE) {
        AddToExclude();
        return true;
    }
    if (controlId == IDC_SET_AS_DEFAULT) {
        if (m_sheet.LoadersRunning() > 0)
            return true;
        EnableItem(IDC_SET_AS_DEFAULT, false);
        SaveAndTell(DefaultIncludeExcludeName);
        return true;
    }
    return false;
}

void CAdvanceExclude::OnOK()
{
    if (!m_loading)
        SaveAndTell(UpdatedIncludeExcludeName);
}

void CAdvanceExclude::SaveAndTell(const std::wstring& targetName)
{
    const std::wstring message = AdvanceSheet::NotSavedMessage(Save(targetName));
    if (!message.empty())
        ShowMessage(message, L"Warning", MB_OK | MB_ICONWARNING);
}

std::vector<std::wstring> CAdvanceExclude::Save(const std::wstring& targetName)
{
    std::vector<std::wstring> folders;
    for (const std::wstring& real : TickedPaths(m_folders)) {
        std::wstring token = real;
        ToTokenPath(token, m_session.Tokens);
        folders.push_back(token);
    }
    AdvanceSheet::ExclusionSave files =
        AdvanceSheet::ExclusionsToSave(folders, m_loadedFiles, m_added.Files, m_hiddenFiles);
    AdvanceSheet::ExclusionSave keys = AdvanceSheet::ExclusionsToSave(
        TickedPaths(m_registry), m_loadedKeys, m_added.Registry, m_hiddenKeys);
    m_session.WindowThread.AssertCurrent(L"the excluded lists");
    m_session.Selection.FilesExcluded = std::move(files.saved);
    m_session.Selection.RegistryExcluded = std::move(keys.saved);
    m_manager.IncludeExclude().Save(1, targetName);
    std::vector<std::wstring> notSaved = std::move(files.withoutDescription);
    notSaved.insert(notSaved.end(), keys.withoutDescription.begin(), keys.withoutDescription.end());
    return notSaved;
}

HBRUSH CAdvanceExclude::OnCtlColor(HDC dc, HWND control, UINT message, HBRUSH defaultBrush)
{
    if (control == Item(IDC_EXCLUDE_WAIT))
        SetTextColor(dc, WaitColour);
    return CPropertyPage::OnCtlColor(dc, control, message, defaultBrush);
}

// ---- CParentSheet ---------------------------------------------------------------------

CParentSheet::CParentSheet(Session& session, CUIManager& manager)
    : CPropertySheet(L"Corvane Repackager 1.0: Advance Functionality", Mode::Tabbed),
      m_include(*this, session, manager),
      m_exclude(*this, session, manager)
{
    AddPage(m_include);
    AddPage(m_exclude);
    m_icon = static_cast<HICON>(
        LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE));
    SetIcon(m_icon);
}

CParentSheet::~CParentSheet()
{
    // The pages are members: the window goes before they do.
    Destroy();
    if (m_icon)
        DestroyIcon(m_icon);
}

void CParentSheet::OnInitDialog()
{
    HWND sheet = Window();
    HINSTANCE instance = GetModuleHandleW(nullptr);
    for (auto [kind, metric] : {std::pair{ICON_BIG, SM_CXICON}, std::pair{ICON_SMALL, SM_CXSMICON}}) {
        const int size = GetSystemMetrics(metric);
        SendMessageW(sheet, WM_SETICON, kind,
                     reinterpret_cast<LPARAM>(
                         LoadImageW(instance, MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON, size, size, LR_SHARED)));
    }
    ShowWindow(GetDlgItem(sheet, IDHELP), SW_HIDE);
    // OK and Cancel move right, into the room of the hidden Apply and Help
    // buttons, unless the platform has placed them at the right edge already.
    RECT client{};
    GetClientRect(sheet, &client);
    auto placeOf = [sheet](int id) {
        RECT rect{};
        if (HWND button = GetDlgItem(sheet, id)) {
            GetWindowRect(button, &rect);
            MapWindowPoints(nullptr, sheet, reinterpret_cast<POINT*>(&rect), 2);
        }
        return rect;
    };
    const RECT ok = placeOf(IDOK);
    const RECT cancel = placeOf(IDCANCEL);
    if (cancel.right + 80 <= client.right) {
        MoveWindow(GetDlgItem(sheet, IDOK), ok.left + 105, ok.top, ok.right + 92 - ok.left - 105, ok.bottom - ok.top,
                   TRUE);
        MoveWindow(GetDlgItem(sheet, IDCANCEL), cancel.left + 95, cancel.top, cancel.right + 80 - cancel.left - 95,
                   cancel.bottom - cancel.top, TRUE);
    }
    EnableCloseButtons(m_loaders == 0);
}

void CParentSheet::LoaderStarted()
{
    ++m_loaders;
    EnableCloseButtons(false);
}

void CParentSheet::LoaderEnded()
{
    if (m_loaders > 0)
        --m_loaders;
    if (m_loaders == 0)
        EnableCloseButtons(true);
}

void CParentSheet::EnableCloseButtons(bool enable) const
{
    if (HWND sheet = Window()) {
        EnableWindow(GetDlgItem(sheet, IDOK), enable);
        EnableWindow(GetDlgItem(sheet, IDCANCEL), enable);
    }
}
