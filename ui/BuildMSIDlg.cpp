#include "ui/BuildMSIDlg.h"

#include "common/Log.h"
#include "common/Paths.h"
#include "common/Progress.h"
#include "common/Utf.h"
#include "manager/UIManager.h"
#include "ui/BuildMsiLogic.h"
#include "ui/Resource.h"
#include "ui/ShortcutDlg.h"
#include "ui/ProjectPageControls.h"
#include "ui/UiServices.h"


namespace {

constexpr wchar_t Header[] = L"This screen shows you the details of the shorcuts available in project file.You can edit "
                             L"the information by clicking on the displayed shortcut";
constexpr wchar_t BuildingText[] = L"Building MSI setup file is in progress:";
constexpr wchar_t BuiltText[] = L"Successfully built MSI file";
// The bar's share of each build step: up to 450 while the cabinet is made,
// up to 950 while the tables are filled.
constexpr int Increment = ProgressRange / 2;

constexpr int EditControls[] = {IDC_BUILD_TARGET_PATH, IDC_BUILD_MSI_NAME};

// The page's own control for a field of the shared checks.
int PageField(int checkedField)
{
    return checkedField == IDC_TARGET_PATH ? IDC_BUILD_TARGET_PATH : IDC_BUILD_MSI_NAME;
}

} // namespace

CBuildMSIDlg::CBuildMSIDlg() : CPropertyPage(IDD_BUILD_MSI, L"Corvane Repackager 1.0: Build MSI") {}

CBuildMSIDlg::~CBuildMSIDlg()
{
    if (m_smallIcons)
        ImageList_Destroy(m_smallIcons);
}

BOOL CBuildMSIDlg::OnInitDialog()
{
    CPropertyPage::OnInitDialog();
    for (int id : {IDC_DESCRIPTION, IDC_BUILD_SHORTCUT_LIST, IDC_BUILD_STATUS, IDC_BUILD_DETAIL,
                   IDC_BUILD_TARGET_LABEL, IDC_BUILD_MSI_LABEL, IDC_BUILD_TARGET_PATH, IDC_BUILD_MSI_NAME})
        SetItemFont(id, DialogFont());
    SetItemText(IDC_DESCRIPTION, Header);
    for (int id : EditControls)
        SendMessageW(Item(id), EM_LIMITTEXT, 128, 0);

    // The project's shortcuts, with the icon files they use written back
    // where the shortcut dialog and the build find them.
    IconMap storedIcons;
    Manager().ParseShortcutList(&storedIcons, true);
    const std::wstring iconFolder = FromUtf8(Paths().ExtractedIconFolder);
    RestoreIconFiles(storedIcons, iconFolder);
    m_entries = MergeShortcutRecords(Manager().ProjectDocument().Shortcuts(), iconFolder);

    m_smallIcons = SetUpShortcutListView(Item(IDC_BUILD_SHORTCUT_LIST));
    for (const auto& [name, entry] : m_entries)
        ShowShortcutLine(Item(IDC_BUILD_SHORTCUT_LIST), m_smallIcons, entry, -1);

    SetItemText(IDC_BUILD_TARGET_PATH, FromUtf8(Paths().OutputFolder));
    SetItemText(IDC_BUILD_MSI_NAME, Manager().GetProductInfo().ApplicationName + L".msi");
    for (int id : EditControls)
        m_openingTexts[id] = ItemText(id);

    SendMessageW(Item(IDC_BUILD_PROGRESS), PBM_SETRANGE32, 0, ProgressRange);
    SendMessageW(Item(IDC_BUILD_PROGRESS), PBM_SETSTEP, 1, 0);
    return TRUE;
}

BOOL CBuildMSIDlg::OnSetActive()
{
    if (m_state == State::Editing)
        SetWizardButtons(PSWIZB_BACK | PSWIZB_NEXT);
    return CPropertyPage::OnSetActive();
}

LRESULT CBuildMSIDlg::OnWizardBack()
{
    return IDD_SHOW_PROJECT;
}

INT_PTR CBuildMSIDlg::OnMessage(UINT message, WPARAM, LPARAM lParam, bool& handled)
{
    if (message != WM_NOTIFY)
        return 0;
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    if (header->idFrom == IDC_BUILD_SHORTCUT_LIST && header->code == NM_DBLCLK) {
        const auto* activate = reinterpret_cast<const NMITEMACTIVATE*>(lParam);
        if (activate->iItem >= 0 && m_state == State::Editing)
            OnEditShortcut(activate->iItem);
        handled = true;
    }
    return 0;
}

void CBuildMSIDlg::OnEditShortcut(int line)
{
    HWND list = Item(IDC_BUILD_SHORTCUT_LIST);
    const auto found = m_entries.find(ShortcutLineName(list, line));
    if (found == m_entries.end())
        return;
    ShowItem(IDC_BUILD_STATUS, false);
    ShowItem(IDC_BUILD_DETAIL, false);

    CShortcutDlg dialog(found->second);
    std::set<std::wstring> others;
    for (const auto& [name, entry] : m_entries)
        if (name != found->first)
            others.insert(name);
    dialog.SetTakenNames(std::move(others));
    if (dialog.DoModal(SheetWindow()) != IDOK)
        return;
    ShortcutEntry entry = found->second;
    entry.name = dialog.Name();
    entry.iconSource = dialog.IconSource();
    entry.iconIndex = dialog.IconIndex();
    entry.desktop = dialog.Desktop();
    entry.programMenu = dialog.ProgramMenu();
    entry.quickLaunch = dialog.QuickLaunch();
    m_entries.erase(found);
    m_entries[entry.name] = entry;
    ShowShortcutLine(list, m_smallIcons, entry, line);
    InvalidateRect(list, nullptr, TRUE);
    UpdateWindow(list);
}

bool CBuildMSIDlg::ValidateBuildTarget()
{
    const ProjectInputCheck check = CheckBuildTarget(ItemText(IDC_BUILD_TARGET_PATH), ItemText(IDC_BUILD_MSI_NAME));
    // Once the folder is found, the field shows it as the file system does.
    if (check.accepted || check.field != IDC_TARGET_PATH)
        SetItemText(IDC_BUILD_TARGET_PATH, check.values.targetPath);
    if (!check.accepted) {
        ShowMessage(check.message, L"Warning", MB_OK | MB_ICONWARNING);
        const int field = PageField(check.field);
        SetItemText(field, m_openingTexts[field]);
        return false;
    }
    m_records.clear();
    m_iconFiles.clear();
    return PrepareShortcuts(m_entries, FromUtf8(Paths().ExtractedIconFolder), m_records, m_iconFiles);
}

void CBuildMSIDlg::WriteShortcutsToProject()
{
    CXMLDocumentHandler& document = Manager().ProjectDocument();
    const std::string path = GetProjectFilePath();
    // A project file that cannot be loaded is built as it is stored.
    if (document.Load(path) != 1) {
        LogError("CBuildMSIDlg::OnWizardNext: Unable to Load " + path + " File");
        return;
    }
    document.ReplaceShortcutsInXML(NodePath::Shortcuts, m_records);
    document.ReplaceShortcutICONsInXML(NodePath::ShortcutIcons, m_iconFiles);
}

LRESULT CBuildMSIDlg::OnWizardNext()
{
    if (m_state != State::Editing || !ValidateBuildTarget())
        return StayOnPage;

    EnableSheetButton(IDCANCEL, false);
    ShowItem(IDC_BUILD_SHORTCUT_LIST, false);
    SetWizardButtons(PSWIZB_DISABLEDFINISH);

    Paths().OutputFolder = ToUtf8(TrimText(ItemText(IDC_BUILD_TARGET_PATH)));
    Paths().MsiFileName = ToUtf8(TrimText(ItemText(IDC_BUILD_MSI_NAME)));
    EnsureFolder(Paths().OutputFolder + "\\Packages");

    for (int id : {IDC_BUILD_PROGRESS, IDC_BUILD_STATUS, IDC_BUILD_DETAIL})
        ShowItem(id, true);
    for (int id : EditControls)
        SendMessageW(Item(id), EM_SETREADONLY, TRUE, 0);
    ShowItem(IDC_DESCRIPTION, false);

    WriteShortcutsToProject();

    SetItemText(IDC_BUILD_STATUS, BuildingText);
    Progress().SetStepCount(0);
    SendMessageW(Item(IDC_BUILD_PROGRESS), PBM_SETPOS, 0, 0);
    CUIManager* manager = &Manager();
    m_state = State::Building;
    if (Worker().Start([manager] { return manager->BuildPackage(); }))
        SetTimer(Window(), TimerId, 100, nullptr);
    else
        BuildEnded(false);
    return StayOnPage;
}

void CBuildMSIDlg::OnTimer(UINT_PTR timerId)
{
    if (timerId != TimerId || m_state != State::Building)
        return;
    SetItemText(IDC_BUILD_DETAIL, Progress().StatusText());
    if (Worker().IsDone()) {
        BuildEnded(Worker().Result() == 1);
        return;
    }
    HWND bar = Item(IDC_BUILD_PROGRESS);
    const int position = static_cast<int>(SendMessageW(bar, PBM_GETPOS, 0, 0));
    const int next = NextMeasuredProgressPosition(position, Increment, Progress().StepCount(), Progress().Share());
    if (next != position)
        SendMessageW(bar, PBM_SETPOS, next, 0);
}

void CBuildMSIDlg::BuildEnded(bool succeeded)
{
    KillTimer(Window(), TimerId);
    HWND bar = Item(IDC_BUILD_PROGRESS);
    if (succeeded)
        FillProgressBar(bar);
    Progress().SetStatusText(L"");
    ShowItem(IDC_BUILD_PROGRESS, false);
    if (succeeded) {
        m_state = State::Finished;
        SetItemText(IDC_BUILD_STATUS, BuiltText);
    } else {
        // The user learns that the package is not there and where to look.
        m_state = State::Failed;
        SetItemText(IDC_BUILD_DETAIL, L"");
        SetItemText(IDC_BUILD_STATUS,
                    L"The MSI file could not be built. The reason is in the error log " + ErrorLogPath() + L".");
        EnableSheetButton(IDCANCEL, true);
    }
    SetWizardButtons(PSWIZB_FINISH);
}

BOOL CBuildMSIDlg::OnWizardFinish()
{
    KillTimer(Window(), TimerId);
    m_manager.UninitializeAndRelease();
    return TRUE;
}

void CBuildMSIDlg::OnDestroy()
{
    KillTimer(Window(), TimerId);
}
