#include "ui/pages/BuildMsiPage.h"

#include "common/Log.h"
#include "common/Utf.h"
#include "manager/UIManager.h"
#include "project/ProjectWriters.h"
#include "ui/framework/UiServices.h"
#include "ui/pages/BuildMsiRules.h"
#include "ui/pages/FailureReason.h"
#include "ui/wizard/Resource.h"

#include <optional>

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

CBuildMSIDlg::CBuildMSIDlg(Session& session, CUIManager& manager)
    : CPropertyPage(IDD_BUILD_MSI, L"Corvane Repackager 1.0: Build MSI"),
      m_session(session), m_manager(manager),
      m_run(*this, session.Progress, IDC_BUILD_PROGRESS, IDC_BUILD_DETAIL, 100)
{
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
    m_shortcuts.Attach(Item(IDC_BUILD_SHORTCUT_LIST));
    LoadProject();
    m_run.SetUpBar();
    return TRUE;
}

void CBuildMSIDlg::LoadProject()
{
    m_loadedProject = m_session.ProjectFilePath();
    // The project's shortcuts, with the icon files they use written back
    // where the shortcut dialog and the build find them.
    IconMap storedIcons;
    ShortcutList records;
    if (Manager().ParseShortcutList(&storedIcons, true))
        records = Manager().Project().Model.Shortcuts;
    const std::wstring iconFolder = m_session.Paths.ExtractedIconFolder;
    RestoreIconFiles(storedIcons, iconFolder);
    m_shortcuts.ShowEntries(MergeShortcutRecords(records, iconFolder));

    // The package is named after the product the basic information page
    // holds for this project.
    SetItemText(IDC_BUILD_TARGET_PATH, m_session.Paths.OutputFolder);
    SetItemText(IDC_BUILD_MSI_NAME, Manager().GetProductInfo().ApplicationName + L".msi");
    for (int id : EditControls)
        m_openingTexts[id] = ItemText(id);
}

BOOL CBuildMSIDlg::OnSetActive()
{
    if (m_state == State::Editing) {
        // Another project chosen on the way back: what Next writes and builds is that one.
        if (m_loadedProject != m_session.ProjectFilePath())
            LoadProject();
        SetWizardButtons(PSWIZB_BACK | PSWIZB_NEXT);
    }
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
    if (const std::optional<int> line = m_shortcuts.DoubleClickedLine(*reinterpret_cast<const NMHDR*>(lParam))) {
        if (*line >= 0 && m_state == State::Editing)
            OnEditShortcut(*line);
        handled = true;
    }
    return 0;
}

void CBuildMSIDlg::OnEditShortcut(int line)
{
    ShowItem(IDC_BUILD_STATUS, false);
    ShowItem(IDC_BUILD_DETAIL, false);
    if (!m_shortcuts.EditLine(SheetWindow(), line))
        return;
    HWND list = m_shortcuts.Window();
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
    return PrepareShortcuts(m_shortcuts.Entries(), m_session.Paths.ExtractedIconFolder, m_records, m_iconFiles);
}

bool CBuildMSIDlg::WriteShortcutsToProject()
{
    XmlDocument& document = Manager().Project().Document;
    const std::wstring path = m_session.ProjectFilePath();
    // A project file that cannot be loaded is built as it is stored.
    if (const Result loaded = document.Load(path); !loaded) {
        LogError(Result::Because(L"CBuildMSIDlg::OnWizardNext: Unable to Load " + path + L" File", loaded).Text());
        return true;
    }
    bool written = static_cast<bool>(ReplaceShortcutList(document, m_records, m_session.Tokens, path));
    written = ReplaceShortcutIcons(document, m_iconFiles, path) && written;
    if (!written)
        LogError(L"CBuildMSIDlg::OnWizardNext: Unable to write the shortcuts into " + path);
    return written;
}

LRESULT CBuildMSIDlg::OnWizardNext()
{
    if (m_state != State::Editing || !ValidateBuildTarget())
        return StayOnPage;
    // The build reads the project file: with the old shortcuts in it, it
    // would build what the page no longer shows.
    if (!WriteShortcutsToProject()) {
        ShowMessage(L"The shortcuts could not be written into the project file " + m_session.ProjectFilePath() +
                        L"; nothing was built. " + FailureReasonText(m_session.Paths.ConfigFilePath),
                    L"Error", MB_OK | MB_ICONERROR);
        return StayOnPage;
    }

    EnableSheetButton(IDCANCEL, false);
    ShowItem(IDC_BUILD_SHORTCUT_LIST, false);
    SetWizardButtons(PSWIZB_DISABLEDFINISH);

    // The manager adds the run's work paths and token values.
    const BuildRequest request{m_session.ProjectFilePath(), TrimText(ItemText(IDC_BUILD_TARGET_PATH)),
                               TrimText(ItemText(IDC_BUILD_MSI_NAME)), {}, {}};
    EnsureFolder(request.PackagesFolder());

    for (int id : {IDC_BUILD_PROGRESS, IDC_BUILD_STATUS, IDC_BUILD_DETAIL})
        ShowItem(id, true);
    for (int id : EditControls)
        SendMessageW(Item(id), EM_SETREADONLY, TRUE, 0);
    ShowItem(IDC_DESCRIPTION, false);

    SetItemText(IDC_BUILD_STATUS, BuildingText);
    CUIManager* manager = &Manager();
    m_state = State::Building;
    m_session.Capture.Clear();
    m_session.Capture.Begin(CaptureStep::Package);
    if (m_run.Start([manager, request] { return manager->BuildPackage(request) ? 1 : 0; }, Increment))
        m_run.StartTimer();
    else
        BuildEnded(false);
    return StayOnPage;
}

void CBuildMSIDlg::OnTimer(UINT_PTR timerId)
{
    if (m_state != State::Building)
        return;
    if (const std::optional<int> result = m_run.Tick(timerId))
        BuildEnded(*result == 1);
}

void CBuildMSIDlg::BuildEnded(bool succeeded)
{
    m_run.StopTimer();
    m_session.Capture.End(CaptureStep::Package);
    m_run.Ended(succeeded);
    ShowItem(IDC_BUILD_PROGRESS, false);
    if (succeeded) {
        m_state = State::Finished;
        SetItemText(IDC_BUILD_STATUS, BuiltText);
    } else {
        // The user learns that the package is not there and where to look.
        m_state = State::Failed;
        SetItemText(IDC_BUILD_DETAIL, L"");
        SetItemText(IDC_BUILD_STATUS,
                    L"The MSI file could not be built. " + FailureReasonText(m_session.Paths.ConfigFilePath));
        EnableSheetButton(IDCANCEL, true);
    }
    // A failed build writes no report: its package is not there.
    if (succeeded) {
        m_report = WriteReportForPage(Manager(), m_session, m_session.ProjectFilePath(), true);
        SetItemText(IDC_REPORT_TEXT, m_report.Text);
        ShowItem(IDC_REPORT_TEXT, true);
        ShowItem(IDC_OPEN_REPORT, !m_report.Path.empty());
    }
    SetWizardButtons(PSWIZB_FINISH);
}

bool CBuildMSIDlg::OnCommand(WORD controlId, WORD code, HWND control)
{
    if (controlId != IDC_OPEN_REPORT || code != BN_CLICKED)
        return CPropertyPage::OnCommand(controlId, code, control);
    OpenReport(SheetWindow(), m_report.Path);
    return true;
}

BOOL CBuildMSIDlg::OnWizardFinish()
{
    m_run.StopTimer();
    m_manager.Uninitialize();
    return TRUE;
}

void CBuildMSIDlg::OnDestroy()
{
    m_run.StopTimer();
}
